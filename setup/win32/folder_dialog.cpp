// The folder dialog of the install: where to, a browse for it, and the
// checks on OK (a real folder path that can be made, and room on its drive).
#include "setup/win32/setup.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/sjis.h"

const uint64_t LOW_SPACE = 0xA00000;  // a tenth of the free bytes: about 100 MB

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
// The chosen folder exists, or can be made (proved by making it and taking
// back only the levels made here; the first install step makes it).
static bool FolderCanBeMade(HWND dialog)
{
    // Tested without its "\", which no folder name matches.
    std::string bare = g_setup.installFolder;
    if (!IsDriveRoot(bare.c_str()))
        bare.pop_back();
    DWORD attributes = GetFileAttributesA(bare.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        std::vector<std::string> made;
        int ok = CreateFolderChain(g_setup.installFolder, &made);
        for (auto level = made.rbegin(); level != made.rend(); ++level)
            RemoveDirectoryA(level->substr(0, level->size() - 1).c_str());
        return ok != 0;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        Message(dialog, (bare + " - 同じ名前のﾌｧｲﾙが既に存在するのでﾌｫﾙﾀﾞが作成できません。").c_str(), nullptr,
                MB_ICONERROR);
        return false;
    }
    return true;
}

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
    // The uninstall removes nothing that lies through a junction: nor is
    // anything installed so.
    if (!NoReparsePoint(g_setup.installFolder)) {
        Message(dialog, ThroughReparsePoint(g_setup.installFolder, "ｲﾝｽﾄｰﾙ先にできません。"), nullptr, MB_ICONERROR);
        return 0;
    }
    // One uninstall entry for the product: installed here too, the one
    // elsewhere would be left without it.
    char setupFolder[SETUP_PATH_SIZE], installed[SETUP_PATH_SIZE], installedNormal[SETUP_PATH_SIZE];
    if (!g_settings.noUninst && ReadInstallation(g_settings.title, setupFolder, installed) &&
        !(NormalizeFolder(installed, installedNormal) && SameFolder(installedNormal, g_setup.installFolder))) {
        Message(dialog,
                std::string(g_settings.title) + " は " + installed +
                    " にｲﾝｽﾄｰﾙされています。別のﾌｫﾙﾀﾞにｲﾝｽﾄｰﾙするには、先にｺﾝﾄﾛｰﾙﾊﾟﾈﾙの 'ｱﾌﾟﾘｹｰｼｮﾝの追加と削除' "
                    "でそれを削除してください。",
                g_settings.title, MB_ICONERROR);
        return 0;
    }
    if (!FolderCanBeMade(dialog))
        return 0;
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

static BOOL OnInitDialog(HWND dialog)
{
    g_setup.owner = dialog;
    CenterDialog(dialog);
    SendDlgItemMessageA(dialog, IDC_FOLDER_EDIT, EM_LIMITTEXT, SETUP_PATH_SIZE - 1, 0);
    SetDlgItemTextA(dialog, IDC_FOLDER_EDIT, g_setup.installFolder);
    SetDlgItemTextA(dialog, IDC_FOLDER_PROMPT, Caption("のｲﾝｽﾄｰﾙ先を指定してください").c_str());
    SetWindowTextA(dialog, Caption("のｲﾝｽﾄｰﾙ").c_str());
    if (g_settings.tsr || g_settings.noDesktop)
        ShowWindow(GetDlgItem(dialog, IDC_DESKTOP), SW_HIDE);
    return TRUE;
}

static void OnOk(HWND dialog)
{
    if (AcceptFolder(dialog))
        EndDialog(dialog, 0);
    else
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, -1);
}

static INT_PTR OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDC_BROWSE: Browse(dialog); return TRUE;
    case IDCANCEL: EndDialog(dialog, 1); return TRUE;
    case IDOK: OnOk(dialog); return TRUE;
    }
    return FALSE;
}

static INT_PTR CALLBACK FolderDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_COMMAND: return OnCommand(dialog, LOWORD(wParam));
    }
    return FALSE;
}

int AskInstallFolder()
{
    return DialogBoxParamA(g_setup.instance, MAKEINTRESOURCEA(IDD_FOLDER), nullptr, FolderDialog, 0) == 0;
}
