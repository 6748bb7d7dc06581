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
    char setupFolder[SETUP_PATH_SIZE];   // with "\"; in the uninstall run the install folder
    char programFile[SETUP_PATH_SIZE];   // SETUP.EXE
    char settingsFile[SETUP_PATH_SIZE];  // SETUP.INF
    char settingsPath[SETUP_PATH_SIZE];
    char listFile[SETUP_PATH_SIZE];      // SETUP.LST: what the install created
    char windowsDir[SETUP_PATH_SIZE];
    char systemDir[SETUP_PATH_SIZE];
    char installFolder[SETUP_PATH_SIZE];  // always with "\"
    int startMenu;     // Start-menu shortcuts chosen
    int desktop;       // desktop shortcut chosen
    int step;          // install step
    int failed;        // an install step went wrong; the final message says so
    HWND owner;        // owner of error messages
    HANDLE guard;      // owned while this is the one setup of the product that runs
    CreatedList created;  // install: what this and earlier runs made; uninstall: read back
};
extern SetupState g_setup;
extern SetupSettings g_settings;

// The [Install] entry e (-1 setup itself, 0 its settings file, 1..N).
int ParseEntry(int e, InstallEntry* entry);
// The message boxes of setup: caption null gives the system's default.
int Message(HWND owner, const char* text, const char* caption, UINT flags);
void CenterDialog(HWND dialog);

// setup_files.cpp
// The folder as the system resolves it: full, in its long form as far as it
// exists, then NormalizeFolderText; false when it has no such form.
int NormalizeFolder(const char* path, char* out);
// path ends with "\"; *made (when given) tells whether this call made it.
int CreateFolderLevel(const char* path, int* made = nullptr);
// Creates the levels of path; those this call made go into made, shortest
// first, also when a later level fails.
int CreateFolderChain(const char* path, std::vector<std::string>* made);
int DeleteOneFile(const char* path);
// The created-files list beside the installed setup; false when it is
// missing or not in its form (the list is then empty).
int ReadCreatedList(const char* path, CreatedList* list);
int WriteCreatedList(const char* path, const CreatedList& list);
// True when the uninstall entry of Title names folder as the installation.
int InstalledIn(const char* folder);

// install.cpp, uninstall.cpp
void RunInstall();
void RequestUninstall();
void RunUninstall();

// shortcuts.cpp: kind 0 Programs, 1 Desktop, 2 Startup. Only shortcuts
// that lead into the install folder are replaced or removed; false when one
// could not be made or removed.
const int SHORTCUT_PROGRAMS = 0, SHORTCUT_DESKTOP = 1, SHORTCUT_STARTUP = 2;
int Shortcuts(int kind, int remove);

extern const char UNINSTALL_KEY[];
