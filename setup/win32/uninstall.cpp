// Uninstall: the request that hands over to a copy of itself in a new
// folder of the administrators, and the run of that copy, which removes the
// product and then itself. Everything either reads (the settings file and
// SETUP.LST) lies in the uninstall folder, which only administrators can
// write; what lies in the product's folder, which its users can write, is
// checked before anything is removed.
#include "setup/win32/setup.h"

#include "common/safe_file.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

const UINT_PTR START_TIMER = 1;
const UINT START_DELAY_MS = 300;
const UINT MSG_REMOVE = WM_APP + 1;  // the one step: removes the installation
// Longer than any registry key name in bytes: 255 characters of a
// double-byte code page are 510.
const DWORD KEY_NAME_SIZE = 1024;

// The message when setup's own folder is not the installation's.
static void NotInstalledHere()
{
    Message(nullptr, (std::string(g_settings.title) + " はこのﾌｫﾙﾀﾞにｲﾝｽﾄｰﾙされていないため、削除できません。").c_str(),
            g_settings.title, MB_ICONERROR);
}

// True when the uninstall entry names the setup folder as the one its
// program is in; installFolder gets the product's folder.
static int IsTheInstallation(char* installFolder)
{
    char setupFolder[SETUP_PATH_SIZE], installed[SETUP_PATH_SIZE], a[SETUP_PATH_SIZE], b[SETUP_PATH_SIZE];
    return ReadInstallation(g_settings.title, setupFolder, installed) && NormalizeFolder(setupFolder, a) &&
           NormalizeFolder(g_setup.setupFolder, b) && SameFolder(a, b) && NormalizeFolder(installed, installFolder);
}

// Copies the program into a new folder of the uninstall folder, made with
// the administrators' access list, so that no one else can put a program
// or a DLL beside the copy; false when none could be made.
static int CopyToNewFolder(std::string* copy)
{
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (DWORD i = 0; i < 100; i++) {
        char folder[SETUP_PATH_SIZE];
        if (!CopyFolderOf(g_setup.uninstallFolder, seed + i * 7919, folder))
            return 0;
        if (!CreateAdminFolder(folder, 1)) {
            if (GetLastError() == ERROR_ALREADY_EXISTS)
                continue;
            return 0;
        }
        std::string name = std::string(folder) + g_setup.programFile;
        if (name.size() < SETUP_PATH_SIZE && CopyFileA(g_setup.modulePath, name.c_str(), TRUE)) {
            *copy = name;
            return 1;
        }
        RemoveDirectoryA(std::string(folder, strlen(folder) - 1).c_str());
        return 0;
    }
    return 0;
}

// Starts the copy with the guard and a handle to this process, both
// inherited; the guard's count stays taken for the copy.
static int StartCopy(const std::string& copy)
{
    HANDLE self = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE, TRUE, 0))
        return 0;
    SetHandleInformation(g_setup.guard, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    char handover[64];
    snprintf(handover, sizeof handover, "%llx %llx", (unsigned long long)(ULONG_PTR)g_setup.guard,
             (unsigned long long)(ULONG_PTR)self);
    SetEnvironmentVariableA(HANDOVER_VARIABLE, handover);
    std::string command = "\"" + copy + "\" x " + g_setup.modulePath;
    std::string folder = copy.substr(0, SjisFindLastChar(copy.c_str(), '\\') + 1);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    int started = CreateProcessA(copy.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                                 &startup, &info);
    SetEnvironmentVariableA(HANDOVER_VARIABLE, nullptr);
    SetHandleInformation(g_setup.guard, HANDLE_FLAG_INHERIT, 0);
    CloseHandle(self);
    if (!started)
        return 0;
    // The count is the copy's now: this process ends without giving it back.
    CloseHandle(g_setup.guard);
    g_setup.guard = nullptr;
    // As long as the copy takes to show itself, as WinExec waits.
    WaitForInputIdle(info.hProcess, 30000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return 1;
}

void RequestUninstall()
{
    // Started from anywhere but the installation (the unpacked package,
    // say), it would remove the real installation's entry and shortcuts.
    char installFolder[SETUP_PATH_SIZE];
    if (!IsTheInstallation(installFolder)) {
        NotInstalledHere();
        return;
    }
    strcpy(g_setup.uninstallFolder, g_setup.setupFolder);
    std::string question = std::string(g_settings.title) + " とそのすべてのｺﾝﾎﾟｰﾈﾝﾄを削除しますか？";
    if (Message(nullptr, question.c_str(), g_settings.title, MB_OKCANCEL | MB_ICONINFORMATION) != IDOK)
        return;
    // The program lies in the folder it removes: a copy does the work.
    std::string copy;
    if (CopyToNewFolder(&copy)) {
        if (StartCopy(copy))
            return;
        DeleteFileA(copy.c_str());
        RemoveDirectoryA(copy.substr(0, SjisFindLastChar(copy.c_str(), '\\')).c_str());
    }
    Message(nullptr, "ｱﾝｲﾝｽﾄｰﾙ用ﾌﾟﾛｸﾞﾗﾑの起動に失敗しました。手動で削除してください。", nullptr, MB_ICONERROR);
}

// Deletes subkey of root with everything below it.
static void DeleteKeyTree(HKEY root, const char* subkey)
{
    HKEY key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        char name[KEY_NAME_SIZE], previous[KEY_NAME_SIZE] = "";
        DWORD i = 0, size;
        while (size = sizeof name, RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) ==
                                       ERROR_SUCCESS) {
            if (lstrcmpiA(name, previous) != 0) {
                DeleteKeyTree(key, name);  // the next child moves into index i
                strcpy(previous, name);
            } else {
                i++;  // it could not be deleted
            }
        }
        RegCloseKey(key);
    }
    RegDeleteKeyA(root, subkey);
}

static void DeleteRegEntries(HWND dialog)
{
    const HKEY roots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
    for (const std::string& value : g_settings.regEntries) {
        RegRoot root;
        const char* subkey;
        if (ParseRegEntry(value.c_str(), &root, &subkey))
            DeleteKeyTree(roots[root], subkey);
        else
            Message(dialog, "Regセクションがおかしいです。", nullptr, MB_ICONERROR);
    }
}

// The folders that are never removed, nor any that holds one of them, each
// as the system resolves it.
static std::vector<std::string> SystemFolders()
{
    std::vector<std::string> folders = {g_setup.windowsDir, g_setup.systemDir};
    const int ids[] = {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON,
                       CSIDL_PROFILE, CSIDL_PERSONAL, CSIDL_DESKTOPDIRECTORY, CSIDL_APPDATA,
                       CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA, CSIDL_COMMON_DOCUMENTS, CSIDL_COMMON_DESKTOPDIRECTORY};
    for (int id : ids) {
        char path[MAX_PATH];
        if (SHGetFolderPathA(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK)
            folders.push_back(path);
    }
    // The Public folder has no CSIDL of its own; its documents' parent is it.
    char path[MAX_PATH];
    if (SHGetFolderPathA(nullptr, CSIDL_COMMON_DOCUMENTS, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK) {
        size_t slash = SjisFindLastChar(path, '\\');
        if (slash != SJIS_NOT_FOUND && slash > 2)
            folders.push_back(std::string(path, slash));
    }
    for (std::string& f : folders) {
        char normal[SETUP_PATH_SIZE];
        if (NormalizeFolder(f.c_str(), normal))
            f = normal;
    }
    return folders;
}

static int MayClean(const char* folder)
{
    std::vector<std::string> folders = SystemFolders();
    std::vector<const char*> names;
    for (const std::string& f : folders)
        names.push_back(f.c_str());
    return MayCleanFolder(folder, names.data(), names.size());
}

// The message for something the uninstall leaves because it is not what
// the install put there.
static void Refused(HWND dialog, const std::string& text)
{
    Message(dialog, text, nullptr, MB_ICONERROR);
}

// Removes one folder the install made, with the help indexes (*.gid) the
// product's help left in it; false when the folder stays.
static int RemoveCreatedFolder(HWND dialog, const std::string& folder)
{
    std::string bare = folder.substr(0, folder.size() - 1);
    DWORD attributes = GetFileAttributesA(bare.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return 1;
    // A junction put in its place, or in the place of any folder above it,
    // leads elsewhere: not ours.
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || !MayClean(folder.c_str()))
        return 0;
    if (!NoReparsePoint(folder.c_str())) {
        Refused(dialog, ThroughReparsePoint(bare.c_str(), "削除しませんでした。"));
        return 0;
    }
    int ok = 1;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "*.*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsGidFileName(found.cFileName) &&
                !DeleteOneFile((folder + found.cFileName).c_str()))
                ok = 0;
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    return RemoveDirectoryA(bare.c_str()) && ok;
}

// Removes what the install recorded as made by it and nothing else: the
// listed files that are install entries, the listed folders in the install
// folder, deepest first, then the registry keys, the uninstall entry and
// the shortcuts that lead into the install folder. Without its list it
// removes nothing: the product is left whole, with its entry, to be
// installed again over and removed then.
// The folders the install made inside the installation folder, deepest
// first, each only when empty. Returns 1 when every one went.
static int RemoveCreatedFolders(HWND dialog, const CreatedList& created)
{
    std::vector<std::string> folders;
    for (const std::string& f : created.folders) {
        if (SameFolder(f.c_str(), g_setup.installFolder) || IsBelowFolder(f.c_str(), g_setup.installFolder))
            folders.push_back(f);
    }
    std::sort(folders.begin(), folders.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    int ok = 1;
    for (const std::string& f : folders) {
        if (!RemoveCreatedFolder(dialog, f))
            ok = 0;
    }
    return ok;
}

// The list of what the install made, into g_setup.created. Without it
// nothing is removed: the user is told to install again first.
static bool ReadListOfMade(HWND dialog, const std::string& listPath)
{
    const char* again = "同じﾌｫﾙﾀﾞにもう一度ｲﾝｽﾄｰﾙしてから、削除し直してください。";
    switch (ReadCreatedList(listPath.c_str(), &g_setup.created)) {
    case FILE_READ: return true;
    case FILE_MISSING: Refused(dialog, listPath + " が見つからないため、削除を中止しました。" + again); return false;
    case FILE_UNREADABLE: Refused(dialog, listPath + " を読み込めないため、削除を中止しました。" + again); return false;
    }
    return false;
}

static int Remove(HWND dialog)
{
    const std::string listPath = std::string(g_setup.uninstallFolder) + g_setup.listFile;
    if (!ReadListOfMade(dialog, listPath))
        return 0;
    const CreatedList& created = g_setup.created;
    int ok = 1;
    // The places the install puts files in; a listed file elsewhere, or one
    // that climbs out of them, is refused.
    const std::string windowsFolder = std::string(g_setup.windowsDir) + "\\";
    const char* bases[] = {g_setup.installFolder, windowsFolder.c_str(), g_setup.uninstallFolder};
    size_t refused = created.refused;
    for (const std::string& f : created.files)
        refused += !IsListedFileAllowed(f.c_str(), bases, 3);
    if (refused > 0) {
        char text[64];
        snprintf(text, sizeof text, " の %u 行は削除の対象にできないため、無視しました。", (unsigned)refused);
        Refused(dialog, listPath + text);
        ok = 0;
    }
    for (int e = (int)g_settings.installEntries.size(); e >= -1; e--) {
        // An entry that leaves its place was refused at install too: it made nothing.
        InstallEntry entry;
        if (!ParseEntry(e, &entry) || !entry.outsideSystemDir || !HoldsPath(created, CREATED_FILE, entry.destination) ||
            !IsListedFileAllowed(entry.destination, bases, 3))
            continue;
        if (!NoReparsePoint(entry.destination)) {
            Refused(dialog, ThroughReparsePoint(entry.destination, "削除しませんでした。"));
            ok = 0;
            continue;
        }
        if (DeleteOneFile(entry.destination))
            continue;
        ok = 0;
        if (e == 1) {
            std::string text = std::string(entry.destination) + " の削除に失敗しました。" + g_settings.title +
                               "を終了して、もう一度ｱﾝｲﾝｽﾄｰﾙをやり直してください。";
            Message(dialog, text.c_str(), nullptr, MB_ICONERROR);
            return 0;
        }
    }
    if (!DeleteOneFile(listPath.c_str()))
        ok = 0;
    if (!RemoveCreatedFolders(dialog, created))
        ok = 0;
    // The settings go with the product, not before it: a removal stopped
    // above leaves a working installation.
    DeleteRegEntries(dialog);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, (std::string(UNINSTALL_KEY) + g_settings.title).c_str());
    ok = Shortcuts(SHORTCUT_PROGRAMS, 1) && ok;
    ok = Shortcuts(SHORTCUT_DESKTOP, 1) && ok;
    ok = Shortcuts(SHORTCUT_STARTUP, 1) && ok;
    return ok;
}

static BOOL OnInitDialog(HWND dialog)
{
    g_setup.owner = dialog;
    CenterDialog(dialog);
    // The removal waits until the dialog has been seen.
    SetTimer(dialog, START_TIMER, START_DELAY_MS, nullptr);
    SetWindowTextA(dialog, Caption("の削除").c_str());
    // No focus yet: Cancel, the one control to take it, is enabled at the end.
    return FALSE;
}

static void OnTimer(HWND dialog)
{
    KillTimer(dialog, START_TIMER);
    PostMessageA(dialog, MSG_REMOVE, 0, 0);
}

static void OnRemove(HWND dialog)
{
    // The request's program is among the files: it has to have ended.
    if (g_setup.request) {
        WaitForSingleObject(g_setup.request, 10000);
        CloseHandle(g_setup.request);
        g_setup.request = nullptr;
    }
    SetForegroundWindow(dialog);
    std::string text = Remove(dialog)
                           ? std::string(g_settings.title) + "のｱﾝｲﾝｽﾄｰﾙは正常に終了しました。"
                           : std::string(g_setup.installFolder) +
                                 " ﾌｫﾙﾀﾞに削除できなかったﾌｧｲﾙがあります。不要なﾌｧｲﾙは後で削除してください。";
    SetDlgItemTextA(dialog, IDC_REMOVING, text.c_str());
    EnableWindow(GetDlgItem(dialog, IDCANCEL), TRUE);
    SetFocus(GetDlgItem(dialog, IDCANCEL));
    SetForegroundWindow(dialog);
}

static INT_PTR CALLBACK UninstallDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_TIMER: OnTimer(dialog); break;
    case MSG_REMOVE: OnRemove(dialog); break;
    case WM_COMMAND: if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0); break;
    }
    return FALSE;
}

// Windows 9x: the file goes in WININIT.INI's [Rename] section. The whole
// file is written anew in one piece, its [Rename] lines and the new one at
// the end: a failed write leaves the old file as it was, and a file that
// is there but cannot be read whole is not written at all, since the new
// one would lack the other programs' lines.
static void DeleteThroughWininit(const char* path)
{
    std::string wininit = std::string(g_setup.windowsDir) + "\\WININIT.INI";
    char shortPath[SETUP_PATH_SIZE];
    DWORD n = GetShortPathNameA(path, shortPath, sizeof shortPath);
    if (n == 0 || n >= sizeof shortPath)
        return;
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr);
    std::string old, text;
    SafeWriter w;
    if (ReadWholeFile(wininit.c_str(), CREATED_LIST_LIMIT, &old) == FILE_UNREADABLE ||
        !BuildWininitFile(old, shortPath, &text) || BeginSafeWrite(&w, wininit.c_str()) != 0)
        return;
    if (fwrite(text.data(), 1, text.size(), w.file) != text.size())
        AbortSafeWrite(&w);
    else
        CommitSafeWrite(&w);
}

// The copy goes at the next restart, and its folder with it, and the
// uninstall folder when nothing else is left in it.
static void DeleteSelfAtRestart()
{
    if (RestartDeletionUsesWininit(g_setup.platform)) {
        DeleteThroughWininit(g_setup.modulePath);
        return;
    }
    // The NT family: the system deletes them in this order at its start.
    // Should it refuse, they stay: WININIT.INI means nothing there.
    std::string folder(g_setup.modulePath, SjisFindLastChar(g_setup.modulePath, '\\'));
    MoveFileExA(g_setup.modulePath, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    MoveFileExA(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    // A copy run by hand from elsewhere leaves the uninstall folder alone.
    std::string uninstall(g_setup.uninstallFolder, strlen(g_setup.uninstallFolder) - 1);
    if (!IsBelowFolder(folder.c_str(), g_setup.uninstallFolder) || folder.size() <= uninstall.size() + 1)
        return;
    std::string copyName = folder.substr(uninstall.size() + 1);
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((uninstall + "\\*").c_str(), &found);
    int others = 0;
    if (find != INVALID_HANDLE_VALUE) {
        do {
            others += strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0 &&
                      lstrcmpiA(found.cFileName, copyName.c_str()) != 0;
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    if (others == 0)
        MoveFileExA(uninstall.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

void RunUninstall()
{
    // Only the installation the uninstall entry names is ever the one
    // removed, and the product's folder is the one the entry names.
    if (!IsTheInstallation(g_setup.installFolder)) {
        NotInstalledHere();
        return;
    }
    strcpy(g_setup.uninstallFolder, g_setup.setupFolder);
    DialogBoxParamA(g_setup.instance, MAKEINTRESOURCEA(IDD_UNINSTALL), nullptr, UninstallDialog, 0);
    DeleteSelfAtRestart();
}
