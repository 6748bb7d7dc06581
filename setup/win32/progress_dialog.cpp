// The progress dialog of the install: one step a message, each copying
// one entry (setup and its settings file first), then the shortcuts and
// the uninstall entry; what was made is listed after every step.
#include "setup/win32/setup.h"

#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/sjis.h"

const UINT_PTR START_TIMER = 1;
const UINT START_DELAY_MS = 300;
// The steps' chain: not WM_COMMAND 1, which is IDOK, sent by Enter too.
const UINT MSG_NEXT_STEP = WM_APP + 1;

static void CopyEntry(const InstallEntry& e)
{
    // A source that is not there (quarantined, or left out of the package)
    // is a failed entry: whatever stands at the destination stays.
    DWORD source = GetFileAttributesA(e.source);
    if (source == INVALID_FILE_ATTRIBUTES || (source & FILE_ATTRIBUTE_DIRECTORY)) {
        Message(g_setup.owner, (std::string(e.source) + " のｺﾋﾟｰに失敗しました。").c_str(), nullptr, MB_ICONERROR);
        g_setup.failed = 1;
        return;
    }
    // The folders below the base folder, shortest first.
    for (size_t i = e.nameStart; e.destination[i]; i++) {
        if (e.destination[i] == '\\') {
            std::string level(e.destination, i + 1);
            int made;
            if (!CreateFolderLevel(level.c_str(), &made)) {
                g_setup.failed = 1;
                return;
            }
            if (made)
                AddCreated(&g_setup.created.folders, level.c_str());
        } else if (IsSjisLeadByte((unsigned char)e.destination[i]) && e.destination[i + 1]) {
            i++;
        }
    }
    bool existed = GetFileAttributesA(e.destination) != INVALID_FILE_ATTRIBUTES;
    if (CopyFileA(e.source, e.destination, e.noOverwrite)) {
        SetFileAttributesA(e.destination, FILE_ATTRIBUTE_NORMAL);
        // A file that was there before is not ours to remove, unless an
        // earlier install of ours made it.
        if (!existed)
            AddCreated(&g_setup.created.files, e.destination);
        return;
    }
    switch (GetLastError()) {
    case ERROR_FILE_EXISTS:  // a "/e" entry that is already there
        return;
    case ERROR_SHARING_VIOLATION:
        Message(g_setup.owner, (std::string(e.destination) + " は他で使用中のため上書きできません。").c_str(),
                nullptr, MB_ICONERROR);
        break;
    default:
        Message(g_setup.owner, (std::string(e.source) + " のｺﾋﾟｰに失敗しました。").c_str(), nullptr,
                MB_ICONERROR);
        break;
    }
    g_setup.failed = 1;
}

static int WriteUninstallEntry()
{
    std::string keyName = std::string(UNINSTALL_KEY) + g_settings.title;
    std::string command = std::string("\"") + g_setup.installFolder + g_setup.programFile + "\" /r";
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return 0;
    int ok = RegSetValueExA(key, "DisplayName", 0, REG_SZ, (const BYTE*)g_settings.title,
                            (DWORD)strlen(g_settings.title) + 1) == ERROR_SUCCESS &&
             RegSetValueExA(key, "UninstallString", 0, REG_SZ, (const BYTE*)command.c_str(),
                            (DWORD)command.size() + 1) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

// The list beside the installed setup, written after every step so that
// an install cut short still tells its uninstall what it made.
static void SaveCreatedList()
{
    if (g_settings.noUninst)
        return;
    std::string path = std::string(g_setup.installFolder) + g_setup.listFile;
    if (!WriteCreatedList(path.c_str(), g_setup.created))
        g_setup.failed = 1;
}

static void RunStep(HWND dialog)
{
    int n = (int)g_settings.installEntries.size();
    int s = g_setup.step;
    HWND bar = GetDlgItem(dialog, IDC_PROGRESS);
    if (s == 0) {
        SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, n + 3));
        // An earlier install of ours into this folder: what it made stays ours.
        ReadCreatedList((std::string(g_setup.installFolder) + g_setup.listFile).c_str(), &g_setup.created);
        std::vector<std::string> made;
        CreateFolderChain(g_setup.installFolder, &made);
        for (const std::string& level : made)
            AddCreated(&g_setup.created.folders, level.c_str());
    } else if (s <= n + 2) {
        int e = s - 2;
        InstallEntry entry;
        if (g_settings.noUninst && e <= 0) {
            // setup and its settings file are not installed
        } else if (ParseEntry(e, &entry)) {
            CopyEntry(entry);
        } else {
            const char* text = e == -1 ? g_setup.programFile : e == 0 ? g_setup.settingsFile
                                                                      : g_settings.installEntries[e - 1].c_str();
            Message(g_setup.owner, (std::string(text) + " のｺﾋﾟｰに失敗しました。").c_str(), nullptr, MB_ICONERROR);
            g_setup.failed = 1;
        }
    } else {
        int ok = 1;
        if (g_settings.tsr) {
            ok = Shortcuts(SHORTCUT_STARTUP, 0);
        } else {
            if (g_setup.startMenu)
                ok = Shortcuts(SHORTCUT_PROGRAMS, 0);
            if (g_setup.desktop)
                ok = Shortcuts(SHORTCUT_DESKTOP, 0) && ok;
        }
        if (!g_settings.noUninst && !WriteUninstallEntry())
            ok = 0;
        if (!ok)
            g_setup.failed = 1;
    }
    SaveCreatedList();
    SendMessageA(bar, PBM_DELTAPOS, 1, 0);
    g_setup.step = ++s;
    if (s > n + 3) {
        ShowWindow(dialog, SW_HIDE);
        PostMessageA(dialog, WM_CLOSE, 0, 0);
    } else {
        PostMessageA(dialog, MSG_NEXT_STEP, 0, 0);
    }
}

static BOOL OnInitDialog(HWND dialog)
{
    g_setup.owner = dialog;
    SetWindowTextA(dialog, Caption("のｲﾝｽﾄｰﾙ").c_str());
    // The first step waits until the dialog has been seen.
    SetTimer(dialog, START_TIMER, START_DELAY_MS, nullptr);
    return TRUE;
}

static void OnTimer(HWND dialog)
{
    KillTimer(dialog, START_TIMER);
    PostMessageA(dialog, MSG_NEXT_STEP, 0, 0);
}

static void OnClose(HWND dialog)
{
    // Alt+F4 would leave the install half done and report success.
    if (g_setup.step > (int)g_settings.installEntries.size() + 3)
        EndDialog(dialog, 0);
}

static INT_PTR CALLBACK ProgressDialog(HWND dialog, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_TIMER: OnTimer(dialog); return TRUE;
    case MSG_NEXT_STEP: RunStep(dialog); return TRUE;
    case WM_CLOSE: OnClose(dialog); return TRUE;
    }
    return FALSE;
}

void RunInstallSteps()
{
    DialogBoxParamA(g_setup.instance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, ProgressDialog, 0);
}
