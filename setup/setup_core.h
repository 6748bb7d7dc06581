// The installer's portable part: the settings file model, the entry parsers,
// the folder rules and the WININIT.INI section text. Byte work only; the
// Win32 layer (setup_*.cpp) supplies what the system reports.
//
// Operations return 1 for success and 0 for failure, as all of setup does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "common/sjis.h"

// Fixed buffer sizes; a value that does not fit is refused, never cut.
const size_t SETUP_PATH_SIZE = 260;
const size_t SETUP_NAME_SIZE = 100;
const size_t SETUP_FLAG_SIZE = 10;
const size_t WININIT_BUFFER_SIZE = 32768;
const size_t WININIT_TEXT_LIMIT = 30000;
// Entry lists longer than this are refused: the progress bar counts in
// 16 bits, and no product needs more.
const size_t SETUP_MAX_ENTRIES = 10000;

// Reads a profile value with the contract of GetPrivateProfileStringA:
// copies the value of key in section into buffer (size bytes, always
// NUL-terminated, cut when too long) and returns the bytes copied; a missing
// key gives "". With key null it copies every key name of the section, each
// ended by a NUL, the list ended by an extra NUL.
typedef size_t (*ProfileReadFn)(void* context, const char* section, const char* key, char* buffer,
                                size_t size);
struct ProfileReader {
    ProfileReadFn read;
    void* context;
};

// Everything setup reads from its settings file, read once at start-up so
// that the uninstall can delete the file and still know its entries.
struct SetupSettings {
    char title[SETUP_NAME_SIZE];
    char subTitle[SETUP_NAME_SIZE];
    char folder[SETUP_NAME_SIZE];
    char className[SETUP_PATH_SIZE];
    int tsr;        // resident product: a Startup shortcut only
    int noUninst;   // no uninstaller copied, no uninstall entry
    int noDesktop;  // the desktop check box is not offered
    char groupName[SETUP_PATH_SIZE];
    std::vector<std::string> installEntries;  // [Install] 1..N
    std::vector<std::string> groupEntries;    // [Group] 1..G, each with a comma
    std::vector<std::string> execEntries;     // [Exec] 1..
    std::vector<std::string> regEntries;      // [Reg] 1..
};

// Loads every value. Fails when Title or Folder is empty, Title or
// GroupName is no safe name (IsSafeName) or any value is longer than its
// buffer.
int LoadSetupSettings(const ProfileReader& reader, SetupSettings* settings);

// Command-line modes.
enum SetupMode { MODE_INSTALL, MODE_UNINSTALL_REQUEST, MODE_UNINSTALL_RUN };
// The mode of a command line; for the uninstall run *path gets the installed
// setup's full file name.
SetupMode SetupModeOf(const char* commandLine, const char** path);
// False for the systems setup refuses: Win32s and Windows NT 3.x.
int OsAllowsSetup(uint32_t platform, uint32_t major);

// Cuts a full file name after its last "\" into folder (with the "\") and
// file name; the settings file name is the file name with its last three
// characters replaced by "INF".
int SplitModulePath(const char* path, char* folder, char* fileName);
int SettingsFileNameOf(const char* programFileName, char* settingsName);

// The proposed install folder for the Windows directory and Folder; false
// for a Folder that ends in half a double-byte character.
int DefaultInstallFolder(const char* windowsDir, const char* folder, char* installFolder);
// The folder of the installed setup in an UninstallString; false (out
// untouched) when it names no folder.
int FolderFromUninstallString(const char* value, char* installFolder);
// The folder an uninstall entry names as the installation: its
// InstallLocation (a "\" put last) when it has one, else the folder of its
// UninstallString, where setup used to be installed with the product.
int InstallationFolder(const char* installLocation, const char* uninstallString, char* installFolder);

// The folder that holds the installed setup, its settings file and its list
// of what the install made: one of its own under Program Files, which only
// administrators can write, "<Program Files>\<Title> Setup\". The
// product's own folder stays writable for its users, so nothing that the
// elevated uninstall reads or runs is kept there.
int UninstallFolderOf(const char* programFiles, const char* title, char* folder);
// A fresh folder in that one for the copy of setup that does the uninstall
// ("<8 hex digits>.tmp\"); the caller makes it new, trying other seeds when
// the name is taken.
int CopyFolderOf(const char* uninstallFolder, uint32_t seed, char* folder);
// The access list both folders are made with, in the system's SDDL: owner
// the administrators; full control for the system and the administrators,
// reading and running for the users; nothing inherited from above, all of
// it inherited below.
extern const char ADMIN_ONLY_FOLDER_SDDL[];

// The install folder typed in the folder dialog, checked.
enum FolderCheck { FOLDER_OK, FOLDER_ROOT, FOLDER_NO_DRIVE, FOLDER_TOO_LONG };
FolderCheck CheckInstallFolder(const char* text, char* installFolder);
// True for "X:\" alone.
int IsDriveRoot(const char* path);
// Lengths of the prefixes of path ("X:\a\b\") that a folder chain creates,
// shortest first; a path without a drive gives its whole length.
std::vector<size_t> FolderChainLengths(const char* path);

// True for a name that stays below the folder it is put in: one or more
// levels joined by single "\", each a safe name (IsSafeName), so no "..",
// no drive, no stream, no root and no "/" can take it elsewhere.
int IsContainedName(const char* name);

// One install entry, parsed. Its source and the name of its destination
// must be contained names (IsContainedName): an entry that would leave the
// setup folder or the place it is put in is refused, at install and at
// uninstall alike.
struct InstallEntry {
    char source[SETUP_PATH_SIZE];       // relative to the setup folder
    char destination[SETUP_PATH_SIZE];  // full path
    size_t nameStart;   // where the part below the base folder begins
    int noOverwrite;    // "/e": an existing destination stays
    int outsideSystemDir;  // false for an "S!" entry, which the uninstall leaves
};
int ParseInstallEntry(const char* text, const char* installFolder, const char* windowsDir,
                      const char* systemDir, InstallEntry* entry);

// A [Group] entry: name, target in the install folder, optional arguments.
// False for a name that is no safe name.
int ParseGroupEntry(const char* text, const char* installFolder, char* name, char* target, char* arguments);

// ClassName split at its first comma; *hasTitle is false without a comma.
int SplitClassName(const char* value, char* className, char* title, int* hasTitle);

// A [Reg] entry. Only keys under Software of the user's or the machine's
// hive are taken (or under its 32-bit view Software\\Wow6432Node), at least
// one level further down, the vendor's own key ("Software\\Orbo"), which
// must not be one that the system or many programs share (SHARED_REG_KEYS)
// nor lie below one; HKEY_CLASSES_ROOT, whose keys every program shares,
// is refused whole.
extern const char* const SHARED_REG_KEYS[];
extern const size_t SHARED_REG_KEY_COUNT;
enum RegRoot { REG_ROOT_CURRENT_USER, REG_ROOT_LOCAL_MACHINE };
int ParseRegEntry(const char* value, RegRoot* root, const char** subkey);

// True for a file name whose text after its first "." is "gid" in any case.
int IsGidFileName(const char* name);
// The folder as the system resolves it, in text alone: "/" read as "\\",
// "." and empty levels dropped, ".." taken back, the dots and spaces that
// end a level cut (the system ignores them), a "\\" put last. Only a drive
// path ("X:\\...") or a share ("\\\\server\\share\\...") has a form;
// false for anything else or a result that does not fit.
int NormalizeFolderText(const char* path, char* out);
// True when both name the same folder once normalised (letters compared
// without regard to case outside double-byte characters).
int SameFolder(const char* a, const char* b);
// True when path lies below folder (both normalised), not the folder itself.
int IsBelowFolder(const char* path, const char* folder);
// True when the folder may be swept: not a drive root, and neither one of
// the system's folders nor one that holds them, both sides normalised.
int MayCleanFolder(const char* folder, const char* const* systemFolders, size_t count);

// What the file system says of one path: 1 with its attributes when
// something is there, 0 when nothing is, -1 when it cannot tell.
typedef int (*PathAttributesFn)(void* context, const char* path, uint32_t* attributes);
struct PathQuery {
    PathAttributesFn attributes;
    void* context;
};
const uint32_t PATH_ATTRIBUTE_REPARSE_POINT = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT
// True when no level of path (a drive path "X:\\..." or a share; its root
// aside, every level down to the last, a final "\\" or not) is a reparse
// point: a junction, a symbolic link or a mount point put anywhere along
// the way leads elsewhere. A level that does not exist ends the walk (nothing
// below it does either). False for a level the query cannot tell about and
// for a path without a root.
int NoReparsePointAlong(const char* path, const PathQuery& query);

// True for a name that stays one level inside the folder it is put in: not
// empty, no "\\", "/" or ":", no control characters, not made only of dots
// and spaces (the system reads ".." as the level above). Title, GroupName
// and the shortcut names must be such names.
int IsSafeName(const char* name);

// The command line of an [Exec] entry: the program (up to the first space,
// or the text in double quotes at its start) in the install folder, quoted,
// then the rest as its arguments. False for an empty program or a line that
// does not fit in size bytes.
int ExecCommandLine(const char* installFolder, const char* entry, char* out, size_t size);

// What an install created, kept beside the installed setup so that the
// uninstall removes that and nothing else: full file paths and full folder
// paths (with "\\"). Its text is one entry a line, "F " or "D " and the
// path, CR LF; lines that begin with ";" are comments.
struct CreatedList {
    std::vector<std::string> files;    // in the order they were made
    std::vector<std::string> folders;
    std::set<std::string> keys;        // "F"/"D" + each path as SameFolder compares it
    size_t refused = 0;  // lines of the text read that were in neither form
};
enum CreatedKind { CREATED_FILE, CREATED_FOLDER };
// Bytes; a longer file is refused, and setup never writes one (the install
// stops instead). A list of every entry a new file of 259 bytes in a new
// folder of its own fits.
const size_t CREATED_LIST_LIMIT = 8 << 20;
std::string FormatCreatedList(const CreatedList& list);
// Reads the list; a line that is not one of the two forms with a full path
// of less than 260 bytes is refused alone (counted in refused, acted on by
// nobody). False, with the list empty, only for a text over the limit.
int ParseCreatedList(const std::string& text, CreatedList* list);
// True for a listed file the uninstall may act on: below one of the
// folders the install puts files in (the install folder, the Windows
// folder, the folder of the installed setup), by a contained name.
int IsListedFileAllowed(const char* path, const char* const* bases, size_t count);
// Adds path unless the list holds it already (compared as folders are:
// SameFolder), looked up rather than compared with every path listed.
void AddCreated(CreatedList* list, CreatedKind kind, const char* path);
int HoldsPath(const CreatedList& list, CreatedKind kind, const char* path);
// The name of the list beside the program file: its last three characters
// replaced by "LST" (SETUP.EXE gives SETUP.LST).
int CreatedListNameOf(const char* programFileName, char* listName);

// A tenth of the free bytes, as the free-space question measures it.
uint64_t FreeSpaceTenth(uint64_t freeClusters, uint64_t sectorsPerCluster, uint64_t bytesPerSector);

// True when the deletion at restart goes through WININIT.INI: on Windows 9x
// (platform 1) only. Elsewhere MoveFileEx's MOVEFILE_DELAY_UNTIL_REBOOT is
// the one way, and a failure of it leaves the file.
int RestartDeletionUsesWininit(uint32_t platform);

// The [Rename] section of WININIT.INI: its existing lines (as
// GetPrivateProfileSectionA gives them, each NUL-terminated, within size
// bytes), which keep every line even when keys repeat, as "NUL=" does, and
// "NUL=" + shortPath last. Fails when it would exceed 30,000 bytes.
int BuildWininitText(const char* lines, size_t size, const char* shortPath, std::string* text);
// The whole new WININIT.INI from its old bytes: every other line as it was,
// the lines of its [Rename] sections gathered into one section at the end
// (BuildWininitText) and a final 1Ah byte dropped. The caller writes it in
// one piece, so the old entries are never gone before the new text is in.
int BuildWininitFile(const std::string& old, const char* shortPath, std::string* text);

// A profile reader over INI text in memory (sections and keys compared
// without regard to case; the first of equal keys counts).
struct IniText {
    std::string bytes;
};
size_t ReadIniText(void* context, const char* section, const char* key, char* buffer, size_t size);
