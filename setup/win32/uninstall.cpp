// Uninstall: the request that hands over to a copy in the temporary folder,
// and the run of that copy, which removes the product and then itself.
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

// The message when setup's own folder is not the installation's.
static void NotInstalledHere()
{
    Message(nullptr, (std::string(g_settings.title) + " はこのﾌｫﾙﾀﾞにｲﾝｽﾄｰﾙされていないため、削除できません。").c_str(),
            g_settings.title, MB_ICONERROR);
}

// Copies the program to a new file in the temporary folder, under a name
// no file had; false when none could be written.
static int CopyToTemp(std::string* copy)
{
    char temp[SETUP_PATH_SIZE];
    DWORD n = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n >= sizeof temp)
        return 0;
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (DWORD i = 0; i < 100; i++) {
        char name[SETUP_PATH_SIZE];
        if (snprintf(name, sizeof name, "%s%08lx-%s", temp, (unsigned long)(seed + i), g_setup.programFile) >=
            (int)sizeof name)
            return 0;
        // Fails rather than overwrite: the file started is the one written here.
        if (CopyFileA(g_setup.modulePath, name, TRUE)) {
            *copy = name;
            return 1;
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            return 0;
    }
    return 0;
}

void RequestUninstall()
{
    // Started from anywhere but the installation (the unpacked package,
    // say), it would remove the files there and the real installation's
    // entry and shortcuts.
    if (!InstalledIn(g_setup.setupFolder)) {
        NotInstalledHere();
        return;
    }
    std::string question = std::string(g_settings.title) + " とそのすべてのｺﾝﾎﾟｰﾈﾝﾄを削除しますか？";
    if (Message(nullptr, question.c_str(), g_settings.title, MB_OKCANCEL | MB_ICONINFORMATION) != IDOK)
        return;
    // The program lies in the folder it removes: a copy does the work.
    std::string copy;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    int started = 0;
    if (CopyToTemp(&copy)) {
        std::string command = "\"" + copy + "\" x " + g_setup.modulePath;
        std::string folder = copy.substr(0, SjisFindLastChar(copy.c_str(), '\\') + 1);
        // The copy takes over the single-instance guard.
        ReleaseMutex(g_setup.guard);
        started = CreateProcessA(copy.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                                 &startup, &info);
        if (started) {
            // As long as the copy takes to show itself, as WinExec waits.
            WaitForInputIdle(info.hProcess, 30000);
            CloseHandle(info.hThread);
            CloseHandle(info.hProcess);
        } else {
            DeleteFileA(copy.c_str());
        }
    }
    if (!started)
        Message(nullptr, "ｱﾝｲﾝｽﾄｰﾙ用ﾌﾟﾛｸﾞﾗﾑの起動に失敗しました。手動で削除してください。", nullptr, MB_ICONERROR);
}

// Deletes subkey of root with everything below it.
static void DeleteKeyTree(HKEY root, const char* subkey)
{
    HKEY key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        char name[256], previous[256] = "";
        DWORD i = 0;
        while (RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS) {
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

// Removes one folder the install made, with the help indexes (*.gid) the
// product's help left in it; false when the folder stays.
static int RemoveCreatedFolder(const std::string& folder)
{
    std::string bare = folder.substr(0, folder.size() - 1);
    DWORD attributes = GetFileAttributesA(bare.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return 1;
    // A junction put in its place leads elsewhere; it is not ours.
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !MayClean(folder.c_str()))
        return 0;
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
// the shortcuts that lead into the install folder.
static int Remove(HWND dialog)
{
    const std::string listPath = std::string(g_setup.installFolder) + g_setup.listFile;
    int ok = ReadCreatedList(listPath.c_str(), &g_setup.created);
    const CreatedList& created = g_setup.created;
    for (int e = (int)g_settings.installEntries.size(); e >= -1; e--) {
        InstallEntry entry;
        if (!ParseEntry(e, &entry)) {
            ok = 0;
            continue;
        }
        if (!entry.outsideSystemDir || !HoldsPath(created.files, entry.destination))
            continue;
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
    std::vector<std::string> folders;
    for (const std::string& f : created.folders) {
        if (SameFolder(f.c_str(), g_setup.installFolder) || IsBelowFolder(f.c_str(), g_setup.installFolder))
            folders.push_back(f);
    }
    std::sort(folders.begin(), folders.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& f : folders) {
        if (!RemoveCreatedFolder(f))
            ok = 0;
    }
    // The settings go with the product, not before it: a removal stopped
    // above leaves a working installation.
    DeleteRegEntries(dialog);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, (std::string(UNINSTALL_KEY) + g_settings.title).c_str());
    ok = Shortcuts(SHORTCUT_PROGRAMS, 1) && ok;
    ok = Shortcuts(SHORTCUT_DESKTOP, 1) && ok;
    ok = Shortcuts(SHORTCUT_STARTUP, 1) && ok;
    return ok;
}

static INT_PTR CALLBACK UninstallDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        g_setup.owner = dialog;
        CenterDialog(dialog);
        SetTimer(dialog, START_TIMER, START_DELAY_MS, nullptr);
        SetWindowTextA(dialog, (std::string(g_settings.title) + "の削除").c_str());
        break;
    case WM_TIMER: {
        KillTimer(dialog, START_TIMER);
        SetForegroundWindow(dialog);
        std::string text = Remove(dialog)
                               ? std::string(g_settings.title) + "のｱﾝｲﾝｽﾄｰﾙは正常に終了しました。"
                               : std::string(g_setup.installFolder) +
                                     " ﾌｫﾙﾀﾞに削除できなかったﾌｧｲﾙがあります。不要なﾌｧｲﾙは後で削除してください。";
        SetDlgItemTextA(dialog, IDC_REMOVING, text.c_str());
        EnableWindow(GetDlgItem(dialog, IDCANCEL), TRUE);
        SetFocus(GetDlgItem(dialog, IDCANCEL));
        SetForegroundWindow(dialog);
        break;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, 0);
        break;
    }
    return FALSE;
}

// The copy in the temporary folder goes at the next restart: through the
// system on the NT family, through WININIT.INI on Windows 9x.
static void DeleteSelfAtRestart()
{
    if (MoveFileExA(g_setup.modulePath, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
        return;
    std::string wininit = std::string(g_setup.windowsDir) + "\\WININIT.INI";
    char shortPath[SETUP_PATH_SIZE];
    DWORD n = GetShortPathNameA(g_setup.modulePath, shortPath, sizeof shortPath);
    if (n == 0 || n >= sizeof shortPath)
        return;
    // The whole file is written anew in one piece, its [Rename] lines and
    // the new one at the end: a failed write leaves the old file as it was.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr);
    std::string old;
    if (FILE* f = fopen(wininit.c_str(), "rb")) {
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, f)) > 0 && old.size() < CREATED_LIST_LIMIT)
            old.append(buffer, got);
        fclose(f);
    }
    std::string text;
    SafeWriter w;
    if (old.size() >= CREATED_LIST_LIMIT || !BuildWininitFile(old, shortPath, &text) ||
        BeginSafeWrite(&w, wininit.c_str()) != 0)
        return;
    if (fwrite(text.data(), 1, text.size(), w.file) != text.size())
        AbortSafeWrite(&w);
    else
        CommitSafeWrite(&w);
}

void RunUninstall()
{
    // Only the folder the uninstall entry names is ever the one removed.
    if (!NormalizeFolder(g_setup.setupFolder, g_setup.installFolder) || !InstalledIn(g_setup.installFolder)) {
        NotInstalledHere();
        return;
    }
    DialogBoxParamA(g_setup.instance, MAKEINTRESOURCEA(IDD_UNINSTALL), nullptr, UninstallDialog, 0);
    DeleteSelfAtRestart();
}
