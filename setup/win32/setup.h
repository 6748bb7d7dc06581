// setup.exe: the process-wide state and the operations its files share.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "resources/setup_resource.h"
#include "setup/setup_core.h"

struct SetupState {
    HINSTANCE instance;
    char modulePath[SETUP_PATH_SIZE];    // the running program
    char setupFolder[SETUP_PATH_SIZE];   // with "\"; in the uninstall modes the installed setup's folder
    char programFile[SETUP_PATH_SIZE];   // SETUP.EXE
    char settingsFile[SETUP_PATH_SIZE];  // SETUP.INF
    char settingsPath[SETUP_PATH_SIZE];
    char listFile[SETUP_PATH_SIZE];      // SETUP.LST: what the install created
    char windowsDir[SETUP_PATH_SIZE];
    char systemDir[SETUP_PATH_SIZE];
    char installFolder[SETUP_PATH_SIZE];  // always with "\"
    // Where setup, its settings file and SETUP.LST are installed, with "\":
    // a folder only administrators can write (UninstallFolderOf). In the
    // uninstall modes the setup folder.
    char uninstallFolder[SETUP_PATH_SIZE];
    DWORD platform;    // GetVersionExA's platform id
    int startMenu;     // Start-menu shortcuts chosen
    int desktop;       // desktop shortcut chosen
    int step;          // install step
    int failed;        // an install step went wrong; the final message says so
    int stopped;       // the install ended before its last step, after a message saying why
    int adopt;         // the list of an earlier install here is lost: files replaced
                       // in the install folder count as made by this one
    int listChanged;   // created holds what SETUP.LST does not yet
    HWND owner;        // owner of error messages
    HANDLE guard;      // a count of the semaphore held while this is the one setup of the product
    HANDLE request;    // uninstall run: the request that started it, which it waits for
    CreatedList created;  // install: what this and earlier runs made; uninstall: read back
};
extern SetupState g_setup;
extern SetupSettings g_settings;

// The [Install] entry e (-1 setup itself, 0 its settings file, both into
// the uninstall folder; 1..N into the install folder or W!/S!).
int ParseEntry(int e, InstallEntry* entry);
// The message boxes of setup: caption null gives the system's default.
int Message(HWND owner, const char* text, const char* caption, UINT flags);
inline int Message(HWND owner, const std::string& text, const char* caption, UINT flags)
{
    return Message(owner, text.c_str(), caption, flags);
}
void CenterDialog(HWND dialog);
// The product's Title followed by suffix, as the dialogs' captions read.
std::string Caption(const char* suffix);

// setup_files.cpp
// The folder as the system resolves it: full, in its long form as far as it
// exists, then NormalizeFolderText; false when it has no such form.
int NormalizeFolder(const char* path, char* out);
// True when no level of path is a reparse point (NoReparsePointAlong,
// asked of the file system).
int NoReparsePoint(const char* path);
// The message for a path that leads through one, ended by what was not
// done ("ｲﾝｽﾄｰﾙしませんでした。").
std::string ThroughReparsePoint(const char* path, const char* notDone);
// path ends with "\"; *made (when given) tells whether this call made it.
int CreateFolderLevel(const char* path, int* made = nullptr);
// Creates the levels of path; those this call made go into made, shortest
// first, also when a later level fails.
int CreateFolderChain(const char* path, std::vector<std::string>* made);
// Makes path (with "\") with the administrators-only access list
// (ADMIN_ONLY_FOLDER_SDDL). An existing folder is refused when mustBeNew,
// else taken when no reparse point leads to it, and given the list again.
// Silent; false when the folder cannot be had so.
int CreateAdminFolder(const char* path, int mustBeNew);
int DeleteOneFile(const char* path);
// A whole file of at most limit bytes.
enum FileRead { FILE_READ, FILE_MISSING, FILE_UNREADABLE };
FileRead ReadWholeFile(const char* path, size_t limit, std::string* bytes);
// The created-files list (CREATED_LIST_LIMIT, ParseCreatedList); the list is
// empty unless it was read.
FileRead ReadCreatedList(const char* path, CreatedList* list);
// False, writing nothing, for a list that its reader would refuse.
int WriteCreatedList(const char* path, const CreatedList& list);
// The installation the uninstall entry of title names: the folder of the
// program it starts ("" when it names none) and the product's folder
// (InstallationFolder), both with "\"; false when there is no such entry
// or it names no product's folder.
int ReadInstallation(const char* title, char* setupFolder, char* installFolder);

// install.cpp, uninstall.cpp
void RunInstall();
// folder_dialog.cpp: true when the user chose a folder (g_setup.installFolder).
int AskInstallFolder();
// progress_dialog.cpp: the install's steps, under its progress bar.
void RunInstallSteps();
void RequestUninstall();
void RunUninstall();

// shortcuts.cpp: kind 0 Programs, 1 Desktop, 2 Startup. Only shortcuts
// that lead into the install folder are replaced or removed; false when one
// could not be made or removed.
const int SHORTCUT_PROGRAMS = 0, SHORTCUT_DESKTOP = 1, SHORTCUT_STARTUP = 2;
int Shortcuts(int kind, int remove);

extern const char UNINSTALL_KEY[];
// The environment variable through which an uninstall request hands its
// run the guard and its own process, as inherited handles ("%llx %llx").
extern const char HANDOVER_VARIABLE[];
