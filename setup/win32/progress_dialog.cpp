// The progress dialog of the install: one step a message, setup and its
// settings file into the uninstall folder first, then the uninstall entry,
// each of the product's entries, and the shortcuts; what is made is listed
// in SETUP.LST before it is made.
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

// Ends the install after the message saying why.
static void Stop(const std::string& why)
{
    Message(g_setup.owner, why, nullptr, MB_ICONERROR);
    g_setup.failed = 1;
    g_setup.stopped = 1;
}

static std::string ListPath()
{
    return std::string(g_setup.uninstallFolder) + g_setup.listFile;
}

// Writes SETUP.LST when it lacks something; false, after the message and
// with the install stopped, when it cannot be written.
static int SaveCreatedList()
{
    if (g_settings.noUninst || !g_setup.listChanged)
        return 1;
    if (!WriteCreatedList(ListPath().c_str(), g_setup.created)) {
        Stop(ListPath() + " に書き込めないため、ｲﾝｽﾄｰﾙを中止しました。");
        return 0;
    }
    g_setup.listChanged = 0;
    return 1;
}

static void Record(CreatedKind kind, const char* path)
{
    if (!HoldsPath(g_setup.created, kind, path)) {
        AddCreated(&g_setup.created, kind, path);
        g_setup.listChanged = 1;
    }
}

// True for a path of the install folder or of the uninstall folder that
// counts as made by this install although it was there: see adopt.
static int Adopted(const char* path)
{
    return g_setup.adopt && (SameFolder(path, g_setup.installFolder) || IsBelowFolder(path, g_setup.installFolder) ||
                             IsBelowFolder(path, g_setup.uninstallFolder));
}

// Copies source to a new file of a name no file had in folder (with "\"),
// so that nothing put there beforehand, a link least of all, is written
// through. False with the system's error.
static int CopyToNewName(const char* source, const std::string& folder, std::string* temp)
{
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (DWORD i = 0; i < 100; i++) {
        char name[SETUP_PATH_SIZE];
        if (snprintf(name, sizeof name, "%s~st%08lx.tmp", folder.c_str(), (unsigned long)(seed + i * 7919)) >=
            (int)sizeof name) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return 0;
        }
        if (CopyFileA(source, name, TRUE)) {
            *temp = name;
            return 1;
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            return 0;
    }
    return 0;
}

static void CopyFailed(const InstallEntry& e, DWORD error, bool existed)
{
    // A rename over a file that is open is refused with either error.
    if (error == ERROR_SHARING_VIOLATION || (existed && error == ERROR_ACCESS_DENIED))
        Message(g_setup.owner, std::string(e.destination) + " は他で使用中のため上書きできません。", nullptr,
                MB_ICONERROR);
    else
        Message(g_setup.owner, std::string(e.source) + " のｺﾋﾟｰに失敗しました。", nullptr, MB_ICONERROR);
    g_setup.failed = 1;
}

// Copies one entry; false when it failed (after its message).
// The folders of the destination below the base folder, shortest first,
// each recorded when this install made it (or an earlier one of ours).
static int MakeEntryFolders(const InstallEntry& e)
{
    for (size_t i = e.nameStart; e.destination[i]; i++) {
        if (e.destination[i] == '\\') {
            std::string level(e.destination, i + 1);
            int made;
            if (!CreateFolderLevel(level.c_str(), &made)) {
                g_setup.failed = 1;
                return 0;
            }
            if (made || Adopted(level.c_str()))
                Record(CREATED_FOLDER, level.c_str());
        } else if (IsSjisLeadByte((unsigned char)e.destination[i]) && e.destination[i + 1]) {
            i++;
        }
    }
    return 1;
}

static int CopyEntry(const InstallEntry& e)
{
    // A source that is not there (quarantined, or left out of the package)
    // is a failed entry: whatever stands at the destination stays.
    DWORD source = GetFileAttributesA(e.source);
    if (source == INVALID_FILE_ATTRIBUTES || (source & FILE_ATTRIBUTE_DIRECTORY)) {
        CopyFailed(e, ERROR_FILE_NOT_FOUND, false);
        return 0;
    }
    // The install folder stays writable for its users: a folder of it
    // swapped for a junction would take the copy elsewhere.
    if (!NoReparsePoint(e.destination)) {
        Message(g_setup.owner, ThroughReparsePoint(e.destination, "ｲﾝｽﾄｰﾙしませんでした。"), nullptr, MB_ICONERROR);
        g_setup.failed = 1;
        return 0;
    }
    if (!MakeEntryFolders(e))
        return 0;
    DWORD old = GetFileAttributesA(e.destination);
    bool existed = old != INVALID_FILE_ATTRIBUTES;
    if (existed && e.noOverwrite)
        return 1;  // a "/e" entry that is already there
    if (existed && (old & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        CopyFailed(e, ERROR_FILE_READ_ONLY, false);  // as a copy over it fails
        return 0;
    }
    // Listed before it is made, so that an install cut short at any point
    // tells its uninstall. A file that was there before is not ours to
    // remove, unless an earlier install of ours made it.
    if (!existed || Adopted(e.destination))
        Record(CREATED_FILE, e.destination);
    if (!SaveCreatedList())
        return 0;
    // The new file is written beside the old one and renamed over it: a copy
    // cut short (a full disk) leaves the old file whole.
    std::string folder(e.destination, SjisFindLastChar(e.destination, '\\') + 1), temp;
    if (!CopyToNewName(e.source, folder, &temp)) {
        CopyFailed(e, GetLastError(), existed);
        return 0;
    }
    SetFileAttributesA(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (MoveFileExA(temp.c_str(), e.destination, e.noOverwrite ? 0 : MOVEFILE_REPLACE_EXISTING))
        return 1;
    DWORD error = GetLastError();
    DeleteFileA(temp.c_str());
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
        return 1;  // a "/e" file made in the meantime
    CopyFailed(e, error, existed);
    return 0;
}

static int WriteUninstallEntry()
{
    std::string keyName = std::string(UNINSTALL_KEY) + g_settings.title;
    std::string command = std::string("\"") + g_setup.uninstallFolder + g_setup.programFile + "\" /r";
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return 0;
    const struct {
        const char *name, *value;
    } values[] = {
        {"DisplayName", g_settings.title},
        {"UninstallString", command.c_str()},
        {"InstallLocation", g_setup.installFolder},
    };
    int ok = 1;
    for (const auto& v : values)
        ok = ok && RegSetValueExA(key, v.name, 0, REG_SZ, (const BYTE*)v.value, (DWORD)strlen(v.value) + 1) ==
                       ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

// Step 0: the folders, and what an earlier install here made.
static void Prepare()
{
    if (!g_settings.noUninst) {
        if (!CreateAdminFolder(g_setup.uninstallFolder, 0)) {
            Stop(std::string(g_setup.uninstallFolder) + " のﾌｫﾙﾀﾞ作成に失敗しました。");
            return;
        }
        // An earlier install of ours into this folder: what it made stays
        // ours. When its list is lost, the files this install replaces in
        // the install folder are taken for its, so that the uninstall still
        // removes them; a list that cannot be read is never written over
        // with one that lacks them.
        char setupFolder[SETUP_PATH_SIZE], installFolder[SETUP_PATH_SIZE];
        FileRead read = ReadCreatedList(ListPath().c_str(), &g_setup.created);
        g_setup.adopt = read == FILE_UNREADABLE ||
                        (read == FILE_MISSING && ReadInstallation(g_settings.title, setupFolder, installFolder));
        g_setup.listChanged = read != FILE_READ || g_setup.created.refused > 0;
    }
    std::vector<std::string> made;
    CreateFolderChain(g_setup.installFolder, &made);
    for (const std::string& level : made)
        Record(CREATED_FOLDER, level.c_str());
    if (Adopted(g_setup.installFolder))
        Record(CREATED_FOLDER, g_setup.installFolder);
}

static void RunStep(HWND dialog)
{
    int n = (int)g_settings.installEntries.size();
    int s = g_setup.step;
    HWND bar = GetDlgItem(dialog, IDC_PROGRESS);
    if (s == 0) {
        SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, n + 3));
        Prepare();
    } else if (s <= n + 2) {
        int e = s - 2;
        InstallEntry entry;
        if (g_settings.noUninst && e <= 0) {
            // setup and its settings file are not installed
        } else if (!ParseEntry(e, &entry)) {
            const char* text = e == -1 ? g_setup.programFile : e == 0 ? g_setup.settingsFile
                                                                      : g_settings.installEntries[e - 1].c_str();
            Message(g_setup.owner, (std::string(text) + " のｺﾋﾟｰに失敗しました。").c_str(), nullptr, MB_ICONERROR);
            g_setup.failed = 1;
            if (e <= 0)
                g_setup.stopped = 1;
        } else if (!CopyEntry(entry) && e <= 0) {
            // Without setup and its settings there is no uninstall: nothing
            // of the product is put in place.
            g_setup.stopped = 1;
        } else if (e == 0 && !WriteUninstallEntry()) {
            Stop("ｱﾝｲﾝｽﾄｰﾙ情報を登録できないため、ｲﾝｽﾄｰﾙを中止しました。");
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
        if (!ok)
            g_setup.failed = 1;
    }
    if (!g_setup.stopped)
        SaveCreatedList();
    SendMessageA(bar, PBM_DELTAPOS, 1, 0);
    g_setup.step = ++s;
    if (s > n + 3 || g_setup.stopped) {
        g_setup.step = n + 4;
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
