// setup.exe: the process-wide state and the operations its files share.
#pragma once

#include <windows.h>

#include "resources/setup_resource.h"
#include "setup/setup_core.h"

struct SetupState {
    HINSTANCE instance;
    char modulePath[SETUP_PATH_SIZE];    // the running program
    char setupFolder[SETUP_PATH_SIZE];   // with "\"; in the uninstall run the install folder
    char programFile[SETUP_PATH_SIZE];   // SETUP.EXE
    char settingsFile[SETUP_PATH_SIZE];  // SETUP.INF
    char settingsPath[SETUP_PATH_SIZE];
    char windowsDir[SETUP_PATH_SIZE];
    char systemDir[SETUP_PATH_SIZE];
    char installFolder[SETUP_PATH_SIZE];  // always with "\"
    int startMenu;     // Start-menu shortcuts chosen
    int desktop;       // desktop shortcut chosen
    int step;          // install step
    int failed;        // an install step went wrong; the final message says so
    HWND owner;        // owner of error messages
};
extern SetupState g_setup;
extern SetupSettings g_settings;

// The [Install] entry e (-1 setup itself, 0 its settings file, 1..N).
int ParseEntry(int e, InstallEntry* entry);
// The message boxes of setup: caption null gives the system's default.
int Message(HWND owner, const char* text, const char* caption, UINT flags);
void CenterDialog(HWND dialog);

// setup_files.cpp
int CreateFolderLevel(const char* path);  // path ends with "\"
int CreateFolderChain(const char* path);
int DeleteOneFile(const char* path);
int CleanFolderTree(const char* path);    // path ends with "\"

// install.cpp, uninstall.cpp
void RunInstall();
void RequestUninstall();
void RunUninstall();

// shortcuts.cpp: kind 0 Programs, 1 Desktop, 2 Startup.
const int SHORTCUT_PROGRAMS = 0, SHORTCUT_DESKTOP = 1, SHORTCUT_STARTUP = 2;
void Shortcuts(int kind, int remove);

extern const char UNINSTALL_KEY[];
