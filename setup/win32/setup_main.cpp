// setup.exe: the start-up shared by every mode, the settings and the
// running-program check; the modes are in install.cpp and uninstall.cpp,
// each dialog in a file of its own.
#include <cstdio>
#include <cstring>
#include <string>

#include <shlobj.h>

#include "setup/win32/setup.h"

SetupState g_setup;
SetupSettings g_settings;

const char UNINSTALL_KEY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char HANDOVER_VARIABLE[] = "SETUP_HANDOVER";

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

int Message(HWND owner, const char* text, const char* caption, UINT flags)
{
    return MessageBoxA(owner, text, caption, flags);
}

std::string Caption(const char* suffix)
{
    return std::string(g_settings.title) + suffix;
}

void CenterDialog(HWND dialog)
{
    RECT r;
    GetWindowRect(dialog, &r);
    int x = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOSIZE);
}

int ParseEntry(int e, InstallEntry* entry)
{
    const char* text = e == -1  ? g_setup.programFile
                       : e == 0 ? g_setup.settingsFile
                                : g_settings.installEntries[e - 1].c_str();
    const char* base = e <= 0 ? g_setup.uninstallFolder : g_setup.installFolder;
    return ParseInstallEntry(text, base, g_setup.windowsDir, g_setup.systemDir, entry);
}

// DLLs that are loaded by name from here on come from the system folder
// only, never from the program's folder or the current one. The imports of
// setup.exe (kernel32, user32, advapi32, shell32, ole32, msvcrt) are all
// known DLLs, which the loader takes from the system's own list before
// WinMain; comctl32, which is not one, is not imported: the manifest binds
// it to the side-by-side assembly (WinSxS), from which it is loaded when
// the progress bar is first made. What the system's DLLs load by name later
// (uxtheme, for one) is restricted by this call. Against anything that
// loads before it, the folders setup is installed in and runs its copy
// from are ones only administrators can write.
static void RestrictDllSearch()
{
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto setDefault = (SetDefaultDllDirectoriesFn)(void*)GetProcAddress(kernel, "SetDefaultDllDirectories");
    if (setDefault)
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Systems without it (Windows 7 without KB2533623) still lose the
    // current directory from the search.
    SetDllDirectoryA("");
}

static size_t ReadProfile(void* context, const char* section, const char* key, char* buffer, size_t size)
{
    return GetPrivateProfileStringA(section, key, "", buffer, (DWORD)size, (const char*)context);
}

// The folder of an earlier installation, from its uninstall entry.
static void FindEarlierInstallation()
{
    char setupFolder[SETUP_PATH_SIZE], installFolder[SETUP_PATH_SIZE];
    if (ReadInstallation(g_settings.subTitle[0] ? g_settings.subTitle : g_settings.title, setupFolder, installFolder))
        strcpy(g_setup.installFolder, installFolder);
}

static int LoadSettings()
{
    ProfileReader reader = {ReadProfile, g_setup.settingsPath};
    if (!LoadSetupSettings(reader, &g_settings) ||
        !DefaultInstallFolder(g_setup.windowsDir, g_settings.folder, g_setup.installFolder)) {
        Message(nullptr, "設定ﾌｧｲﾙが壊れているか、または見つかりません。", nullptr, MB_ICONERROR);
        return 0;
    }
    FindEarlierInstallation();
    return 1;
}

// The folder the install puts setup in; false when Program Files is unknown.
static int FindUninstallFolder()
{
    char programFiles[MAX_PATH];
    return SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles) == S_OK &&
           UninstallFolderOf(programFiles, g_settings.title, g_setup.uninstallFolder);
}

// False, after the message, while a window of ClassName exists.
static int NothingRunning()
{
    if (!g_settings.className[0])
        return 1;
    char cls[SETUP_PATH_SIZE], title[SETUP_PATH_SIZE];
    int hasTitle;
    SplitClassName(g_settings.className, cls, title, &hasTitle);
    if (!FindWindowA(cls, hasTitle ? title : nullptr))
        return 1;
    char text[512];
    snprintf(text, sizeof text,
             "%s が起動しています。\n関連するｱﾌﾟﾘｹｰｼｮﾝをすべて終了させてから再度、作業を開始してください。",
             g_settings.title);
    Message(nullptr, text, g_settings.title, MB_ICONERROR);
    return 0;
}

// The uninstall run takes over the guard its request holds for it: the
// request passes it, with a handle to itself, as inherited handles, and ends
// without giving the count back, so no other setup can start in between.
static int TakeHandedGuard()
{
    char text[64];
    DWORD n = GetEnvironmentVariableA(HANDOVER_VARIABLE, text, sizeof text);
    SetEnvironmentVariableA(HANDOVER_VARIABLE, nullptr);
    unsigned long long guard = 0, request = 0;
    DWORD flags;
    if (n == 0 || n >= sizeof text || sscanf(text, "%llx %llx", &guard, &request) != 2 ||
        !GetHandleInformation((HANDLE)(ULONG_PTR)guard, &flags) ||
        !GetHandleInformation((HANDLE)(ULONG_PTR)request, &flags))
        return 0;
    // Its count is the request's, now this run's; should the request have
    // given it back after all, the run takes it here.
    WaitForSingleObject((HANDLE)(ULONG_PTR)guard, 0);
    g_setup.guard = (HANDLE)(ULONG_PTR)guard;
    g_setup.request = (HANDLE)(ULONG_PTR)request;
    return 1;
}

// False, after the message, while another setup of this product runs. The
// guard is a semaphore of one count rather than a mutex, so that a request
// can hand it to the uninstall run it starts.
static int OnlyInstance(SetupMode mode)
{
    if (mode == MODE_UNINSTALL_RUN && TakeHandedGuard())
        return 1;
    std::string name = std::string("SetupRunning:") + g_settings.title;
    HANDLE guard = CreateSemaphoreA(nullptr, 1, 1, name.c_str());
    // A run started by hand waits a little, as for a request ending.
    if (guard && WaitForSingleObject(guard, mode == MODE_UNINSTALL_RUN ? 10000 : 0) == WAIT_OBJECT_0) {
        g_setup.guard = guard;
        return 1;
    }
    if (guard)
        CloseHandle(guard);
    Message(nullptr, (std::string(g_settings.title) + " のｾｯﾄｱｯﾌﾟは既に実行中です。").c_str(), g_settings.title,
            MB_ICONERROR);
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    RestrictDllSearch();
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    if (!OsAllowsSetup(version.dwPlatformId, version.dwMajorVersion)) {
        Message(nullptr, "このOSにはインストールすることができません。", nullptr, MB_ICONERROR);
        return 0;
    }

    g_setup.instance = instance;
    g_setup.platform = version.dwPlatformId;
    // A cut module path would name another folder and another settings file.
    DWORD length = GetModuleFileNameA(nullptr, g_setup.modulePath, sizeof g_setup.modulePath);
    GetWindowsDirectoryA(g_setup.windowsDir, sizeof g_setup.windowsDir);
    GetSystemDirectoryA(g_setup.systemDir, sizeof g_setup.systemDir);
    const char* runPath;
    SetupMode mode = SetupModeOf(commandLine, &runPath);
    const char* path = mode == MODE_UNINSTALL_RUN ? runPath : g_setup.modulePath;
    if (length == 0 || length >= sizeof g_setup.modulePath ||
        !SplitModulePath(path, g_setup.setupFolder, g_setup.programFile) ||
        !SettingsFileNameOf(g_setup.programFile, g_setup.settingsFile) ||
        !CreatedListNameOf(g_setup.programFile, g_setup.listFile) ||
        snprintf(g_setup.settingsPath, sizeof g_setup.settingsPath, "%s%s", g_setup.setupFolder,
                 g_setup.settingsFile) >= (int)sizeof g_setup.settingsPath) {
        Message(nullptr, "設定ﾌｧｲﾙが壊れているか、または見つかりません。", nullptr, MB_ICONERROR);
        return 1;
    }
    if (!LoadSettings() || !NothingRunning() || !OnlyInstance(mode))
        return 1;

    switch (mode) {
    case MODE_UNINSTALL_REQUEST: RequestUninstall(); break;
    case MODE_UNINSTALL_RUN: RunUninstall(); break;
    default:
        if (g_settings.noUninst || FindUninstallFolder())
            RunInstall();
        else
            Message(nullptr, "Program Files ﾌｫﾙﾀﾞが見つからないため、ｲﾝｽﾄｰﾙできません。", nullptr, MB_ICONERROR);
        break;
    }
    // A request that handed the guard on has closed its handle instead.
    if (g_setup.guard) {
        ReleaseSemaphore(g_setup.guard, 1, nullptr);
        CloseHandle(g_setup.guard);
    }
    return 1;
}
