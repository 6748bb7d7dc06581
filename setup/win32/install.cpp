// Install mode: the folder dialog, the progress dialog that runs one step per
// message, copying, the uninstall entry and the [Exec] programs.
#include "setup/win32/setup.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/sjis.h"


const UINT_PTR START_TIMER = 1;
const UINT START_DELAY_MS = 300;
const uint64_t LOW_SPACE = 0xA00000;  // a tenth of the free bytes: about 100 MB
// The steps' chain: not WM_COMMAND 1, which is IDOK, sent by Enter too.
const UINT MSG_NEXT_STEP = WM_APP + 1;

static std::string Caption(const char* suffix)
{
    return std::string(g_settings.title) + suffix;
}

// --- Folder dialog -----------------------------------------------------------

static int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED)
        SendMessageA(window, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}

static void Browse(HWND dialog)
{
    char folder[SETUP_PATH_SIZE] = "";
    GetDlgItemTextA(dialog, IDC_FOLDER_EDIT, folder, sizeof folder);
    if (SjisEndsWithBackslash(folder))
        folder[strlen(folder) - 1] = '\0';
    IMalloc* shellMalloc = nullptr;
    if (FAILED(SHGetMalloc(&shellMalloc)))
        return;
    LPITEMIDLIST root = nullptr;
    SHGetSpecialFolderLocation(dialog, CSIDL_DESKTOP, &root);
    BROWSEINFOA info = {};
    info.hwndOwner = dialog;
    info.pidlRoot = root;
    info.lpszTitle = "ﾌｫﾙﾀﾞを選択してください";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallback;
    info.lParam = (LPARAM)folder;
    LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
    if (chosen) {
        char path[MAX_PATH];
        if (SHGetPathFromIDListA(chosen, path))
            SetDlgItemTextA(dialog, IDC_FOLDER_EDIT, path);
        shellMalloc->Free(chosen);
    }
    if (root)
        shellMalloc->Free(root);
    shellMalloc->Release();
}

// A tenth of the free bytes on the install folder's drive; 0 when unknown.
static uint64_t FreeSpace()
{
    char full[SETUP_PATH_SIZE];
    DWORD n = GetFullPathNameA(g_setup.installFolder, sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full || full[1] != ':' || full[2] != '\\')
        return 0;
    full[3] = '\0';
    DWORD sectors, bytes, freeClusters, clusters;
    if (!GetDiskFreeSpaceA(full, &sectors, &bytes, &freeClusters, &clusters))
        return 0;
    return FreeSpaceTenth(freeClusters, sectors, bytes);
}

// True when the typed folder is accepted; otherwise the dialog stays.
static int AcceptFolder(HWND dialog)
{
    g_setup.desktop = IsDlgButtonChecked(dialog, IDC_DESKTOP) == BST_CHECKED;
    if (!g_settings.tsr)
        g_setup.startMenu = 1;
    char text[SETUP_PATH_SIZE] = "";
    GetDlgItemTextA(dialog, IDC_FOLDER_EDIT, text, sizeof text);
    switch (CheckInstallFolder(text, g_setup.installFolder)) {
    case FOLDER_OK: break;
    case FOLDER_ROOT:
        Message(dialog, "ﾙｰﾄﾃﾞｨﾚｸﾄﾘにはｲﾝｽﾄｰﾙできません。", nullptr, MB_ICONERROR);
        return 0;
    default:
        Message(dialog, "「C:\\APP」のように、ﾄﾞﾗｲﾌﾞ名も含めた正しいﾊﾟｽ名を指定してください。", nullptr,
                MB_ICONERROR);
        return 0;
    }
    char normal[SETUP_PATH_SIZE];
    if (!NormalizeFolder(g_setup.installFolder, normal)) {
        Message(dialog, "「C:\\APP」のように、ﾄﾞﾗｲﾌﾞ名も含めた正しいﾊﾟｽ名を指定してください。", nullptr,
                MB_ICONERROR);
        return 0;
    }
    strcpy(g_setup.installFolder, normal);
    // Tested without its "\", which no folder name matches; a junction
    // counts as the folder it is.
    std::string bare = g_setup.installFolder;
    if (!IsDriveRoot(bare.c_str()))
        bare.pop_back();
    DWORD attributes = GetFileAttributesA(bare.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // Proves the folder can be made; the first install step makes it.
        // Only the levels made here are taken back.
        std::vector<std::string> made;
        int ok = CreateFolderChain(g_setup.installFolder, &made);
        for (auto level = made.rbegin(); level != made.rend(); ++level)
            RemoveDirectoryA(level->substr(0, level->size() - 1).c_str());
        if (!ok)
            return 0;
    } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        Message(dialog, (bare + " - 同じ名前のﾌｧｲﾙが既に存在するのでﾌｫﾙﾀﾞが作成できません。").c_str(), nullptr,
                MB_ICONERROR);
        return 0;
    }
    uint64_t space = FreeSpace();
    if (space < LOW_SPACE) {
        char question[512];
        snprintf(question, sizeof question,
                 "指定されたﾄﾞﾗｲﾌﾞの残り容量が %uﾒｶﾞﾊﾞｲﾄしかありません。かまわずにｲﾝｽﾄｰﾙしますか？",
                 (unsigned)(space / 102 / 1024));
        if (Message(dialog, question, g_settings.title, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return 0;
    }
    return 1;
}

static INT_PTR CALLBACK FolderDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        g_setup.owner = dialog;
        CenterDialog(dialog);
        SendDlgItemMessageA(dialog, IDC_FOLDER_EDIT, EM_LIMITTEXT, SETUP_PATH_SIZE - 1, 0);
        SetDlgItemTextA(dialog, IDC_FOLDER_EDIT, g_setup.installFolder);
        SetDlgItemTextA(dialog, IDC_FOLDER_PROMPT, Caption("のｲﾝｽﾄｰﾙ先を指定してください").c_str());
        SetWindowTextA(dialog, Caption("のｲﾝｽﾄｰﾙ").c_str());
        if (g_settings.tsr || g_settings.noDesktop)
            ShowWindow(GetDlgItem(dialog, IDC_DESKTOP), SW_HIDE);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_BROWSE: Browse(dialog); return TRUE;
        case IDCANCEL: EndDialog(dialog, 1); return TRUE;
        case IDOK:
            if (AcceptFolder(dialog))
                EndDialog(dialog, 0);
            else
                SetWindowLongPtrA(dialog, DWLP_MSGRESULT, -1);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

// --- Progress dialog and the install steps --------------------------------------

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

static INT_PTR CALLBACK ProgressDialog(HWND dialog, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        g_setup.owner = dialog;
        SetWindowTextA(dialog, Caption("のｲﾝｽﾄｰﾙ").c_str());
        SetTimer(dialog, START_TIMER, START_DELAY_MS, nullptr);
        return TRUE;
    case WM_TIMER:
        KillTimer(dialog, START_TIMER);
        PostMessageA(dialog, MSG_NEXT_STEP, 0, 0);
        return TRUE;
    case MSG_NEXT_STEP:
        RunStep(dialog);
        return TRUE;
    case WM_CLOSE:
        // Alt+F4 would leave the install half done and report success.
        if (g_setup.step > (int)g_settings.installEntries.size() + 3)
            EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

// --- [Exec] -------------------------------------------------------------------

// Runs one program and waits for its end, keeping the screen painted.
static void RunAndWait(const std::string& commandLine)
{
    std::string line = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr,
                        &startup, &info))
        return;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, info.dwProcessId);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    if (!process)
        return;
    DWORD code = STILL_ACTIVE;
    for (;;) {
        if (!GetExitCodeProcess(process, &code) || code != STILL_ACTIVE)
            break;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) {
            if (msg.message == WM_PAINT)
                SendMessageA(msg.hwnd, WM_PAINT, msg.wParam, msg.lParam);
        }
        // Sleeps until the program ends or a message comes, instead of spinning.
        MsgWaitForMultipleObjects(1, &process, FALSE, 100, QS_ALLINPUT);
    }
    CloseHandle(process);
}

static void RunExecEntries()
{
    for (const std::string& entry : g_settings.execEntries) {
        // Quoted, so that D:\My Apps\x.exe is never taken for D:\My.exe.
        char command[2 * SETUP_PATH_SIZE];
        if (ExecCommandLine(g_setup.installFolder, entry.c_str(), command, sizeof command))
            RunAndWait(command);
    }
}

void RunInstall()
{
    SetCurrentDirectoryA(g_setup.setupFolder);
    if (DialogBoxParamA(g_setup.instance, MAKEINTRESOURCEA(IDD_FOLDER), nullptr, FolderDialog, 0) != 0)
        return;
    DialogBoxParamA(g_setup.instance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, ProgressDialog, 0);
    g_setup.owner = nullptr;
    RunExecEntries();
    std::string text = g_setup.failed ? "ｲﾝｽﾄｰﾙ中にｴﾗｰがありました。一部のﾌｧｲﾙはｲﾝｽﾄｰﾙされていません。"
                                      : "ｲﾝｽﾄｰﾙは正常に終了しました。";
    if (!g_settings.noUninst)
        text += "\nﾌﾟﾛｸﾞﾗﾑの削除はｺﾝﾄﾛｰﾙﾊﾟﾈﾙの 'ｱﾌﾟﾘｹｰｼｮﾝの追加と削除' を実行してください。";
    Message(nullptr, text.c_str(), "ｲﾝｽﾄｰﾙの終了", g_setup.failed ? MB_ICONWARNING : MB_ICONINFORMATION);
}
