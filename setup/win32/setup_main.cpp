// setup.exe: the start-up shared by every mode, the settings and the
// running-program check; the modes are in install.cpp and uninstall.cpp.
#include <cstdio>
#include <cstring>
#include <string>

#include "setup/win32/setup.h"

SetupState g_setup;
SetupSettings g_settings;

const char UNINSTALL_KEY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

int Message(HWND owner, const char* text, const char* caption, UINT flags)
{
    return MessageBoxA(owner, text, caption, flags);
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
    return ParseInstallEntry(text, g_setup.installFolder, g_setup.windowsDir, g_setup.systemDir, entry);
}

static size_t ReadProfile(void* context, const char* section, const char* key, char* buffer, size_t size)
{
    return GetPrivateProfileStringA(section, key, "", buffer, (DWORD)size, (const char*)context);
}

// The folder of an earlier installation, from its uninstall entry.
static void FindEarlierInstallation()
{
    char keyName[SETUP_PATH_SIZE];
    snprintf(keyName, sizeof keyName, "%s%s", UNINSTALL_KEY,
             g_settings.subTitle[0] ? g_settings.subTitle : g_settings.title);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    char value[SETUP_PATH_SIZE + 1] = "";
    DWORD size = SETUP_PATH_SIZE, type = 0;
    if (RegQueryValueExA(key, "UninstallString", nullptr, &type, (BYTE*)value, &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        value[size < SETUP_PATH_SIZE ? size : SETUP_PATH_SIZE] = '\0';
        FolderFromUninstallString(value, g_setup.installFolder);
    }
    RegCloseKey(key);
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

// False, after the message, while another setup of this product runs. The
// uninstall run waits a little: the request that started it is ending.
static int OnlyInstance(SetupMode mode)
{
    std::string name = std::string("SetupRunning:") + g_settings.title;
    g_setup.guard = CreateMutexA(nullptr, FALSE, name.c_str());
    if (g_setup.guard) {
        DWORD wait = WaitForSingleObject(g_setup.guard, mode == MODE_UNINSTALL_RUN ? 10000 : 0);
        if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED)
            return 1;
    }
    Message(nullptr, (std::string(g_settings.title) + " のｾｯﾄｱｯﾌﾟは既に実行中です。").c_str(), g_settings.title,
            MB_ICONERROR);
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    if (!OsAllowsSetup(version.dwPlatformId, version.dwMajorVersion)) {
        Message(nullptr, "このOSにはインストールすることができません。", nullptr, MB_ICONERROR);
        return 0;
    }

    g_setup.instance = instance;
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
    default: RunInstall(); break;
    }
    return 1;
}
