// Uninstall: the request that hands over to a copy in the system directory,
// and the run of that copy, which removes the product and then itself.
#include "setup/win32/setup.h"

#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>


const UINT_PTR START_TIMER = 1;
const UINT START_DELAY_MS = 300;

void RequestUninstall()
{
    std::string question = std::string(g_settings.title) + " とそのすべてのｺﾝﾎﾟｰﾈﾝﾄを削除しますか？";
    if (Message(nullptr, question.c_str(), g_settings.title, MB_OKCANCEL | MB_ICONINFORMATION) != IDOK)
        return;
    // The program lies in the folder it removes: a copy does the work.
    std::string copy = std::string(g_setup.systemDir) + "\\" + g_setup.programFile;
    CopyFileA(g_setup.modulePath, copy.c_str(), FALSE);
    std::string command = copy + " x " + g_setup.modulePath;
    SetCurrentDirectoryA(g_setup.systemDir);
    if (WinExec(command.c_str(), SW_SHOWNORMAL) < 32)
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
    const HKEY roots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT};
    for (const std::string& value : g_settings.regEntries) {
        RegRoot root;
        const char* subkey;
        if (ParseRegEntry(value.c_str(), &root, &subkey))
            DeleteKeyTree(roots[root], subkey);
        else
            Message(dialog, "Regセクションがおかしいです。", nullptr, MB_ICONERROR);
    }
}

// The folders whose tree is never cleaned, nor any that holds one of them.
static std::vector<std::string> SystemFolders()
{
    std::vector<std::string> folders = {g_setup.windowsDir, g_setup.systemDir};
    const int ids[] = {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON,
                       CSIDL_PROFILE, CSIDL_PERSONAL, CSIDL_DESKTOPDIRECTORY, CSIDL_APPDATA};
    for (int id : ids) {
        char path[MAX_PATH];
        if (SHGetFolderPathA(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK)
            folders.push_back(path);
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

static int Remove(HWND dialog)
{
    int ok = 1;
    DeleteRegEntries(dialog);
    for (int e = (int)g_settings.installEntries.size(); e >= -1; e--) {
        InstallEntry entry;
        if (!ParseEntry(e, &entry)) {
            ok = 0;
            continue;
        }
        if (!entry.outsideSystemDir)
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
    // A drive root or a folder of the system is never swept.
    if (!MayClean(g_setup.installFolder) || !CleanFolderTree(g_setup.installFolder))
        ok = 0;
    DeleteKeyTree(HKEY_LOCAL_MACHINE, (std::string(UNINSTALL_KEY) + g_settings.title).c_str());
    Shortcuts(SHORTCUT_PROGRAMS, 1);
    Shortcuts(SHORTCUT_DESKTOP, 1);
    Shortcuts(SHORTCUT_STARTUP, 1);
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

// The copy in the system directory goes at the next restart: through the
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
    // The section's lines as they are: its entries are mostly "NUL=" lines,
    // which a read by key name would give as the first one each time.
    std::vector<char> lines(WININIT_BUFFER_SIZE);
    DWORD length = GetPrivateProfileSectionA("Rename", lines.data(), (DWORD)lines.size(), wininit.c_str());
    std::string text;
    if (length >= WININIT_TEXT_LIMIT || !BuildWininitText(lines.data(), length + 1, shortPath, &text))
        return;
    WritePrivateProfileStringA("Rename", nullptr, nullptr, wininit.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr);
    AppendWininitText(wininit.c_str(), text);
}

void RunUninstall()
{
    strcpy(g_setup.installFolder, g_setup.setupFolder);
    DialogBoxParamA(g_setup.instance, MAKEINTRESOURCEA(IDD_UNINSTALL), nullptr, UninstallDialog, 0);
    DeleteSelfAtRestart();
}
