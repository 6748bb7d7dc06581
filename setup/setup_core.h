// The installer's portable part: the settings file model, the entry parsers,
// the folder rules and the WININIT.INI section text. Byte work only; the
// Win32 layer (setup_*.cpp) supplies what the system reports.
//
// Operations return 1 for success and 0 for failure, as all of setup does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Fixed buffer sizes; a value that does not fit is refused, never cut.
const size_t SETUP_PATH_SIZE = 260;
const size_t SETUP_NAME_SIZE = 100;
const size_t SETUP_FLAG_SIZE = 10;
const size_t WININIT_BUFFER_SIZE = 32768;
const size_t WININIT_TEXT_LIMIT = 30000;
const size_t SJIS_NOT_FOUND = (size_t)-1;

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

// Double-byte-aware scans: a byte of a Shift-JIS pair never counts.
size_t SjisFindChar(const char* text, char ch);      // first, or SJIS_NOT_FOUND
size_t SjisFindLastChar(const char* text, char ch);  // last, or SJIS_NOT_FOUND
// True when text ends with a "\" that is a character of its own.
int SjisEndsWithBackslash(const char* text);

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

// The install folder typed in the folder dialog, checked.
enum FolderCheck { FOLDER_OK, FOLDER_ROOT, FOLDER_NO_DRIVE, FOLDER_TOO_LONG };
FolderCheck CheckInstallFolder(const char* text, char* installFolder);
// True for "X:\" alone.
int IsDriveRoot(const char* path);
// Lengths of the prefixes of path ("X:\a\b\") that a folder chain creates,
// shortest first; a path without a drive gives its whole length.
std::vector<size_t> FolderChainLengths(const char* path);

// One install entry, parsed.
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
// hive are taken, at least two levels down ("Software\\Vendor"), never one
// of the system's shared keys (Microsoft, Classes, Policies, ...) or a key
// below them; HKEY_CLASSES_ROOT, whose keys every program shares, is
// refused whole.
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
    std::vector<std::string> files;
    std::vector<std::string> folders;
};
const size_t CREATED_LIST_LIMIT = 1 << 20;  // bytes; a longer file is refused
std::string FormatCreatedList(const CreatedList& list);
// False, with the list empty, for a text with any line that is not one of
// the two forms with a full path of less than 260 bytes.
int ParseCreatedList(const std::string& text, CreatedList* list);
// Adds path unless the list holds it already (compared as folders are).
void AddCreated(std::vector<std::string>* paths, const char* path);
int HoldsPath(const std::vector<std::string>& paths, const char* path);
// The name of the list beside the program file: its last three characters
// replaced by "LST" (SETUP.EXE gives SETUP.LST).
int CreatedListNameOf(const char* programFileName, char* listName);

// A tenth of the free bytes, as the free-space question measures it.
uint64_t FreeSpaceTenth(uint64_t freeClusters, uint64_t sectorsPerCluster, uint64_t bytesPerSector);

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
