// Drives the real setup.exe from outside: its dialogs and message boxes are
// found among the top-level windows, read and answered as a user would.
// Every wait is bounded; processes started here are ended by their handles.
#pragma once

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/e2e_fixture.h"

const char UNINSTALL_ROOT[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char SUCCESS_TEXT[] =
    "ｲﾝｽﾄｰﾙは正常に終了しました。\nﾌﾟﾛｸﾞﾗﾑの削除はｺﾝﾄﾛｰﾙﾊﾟﾈﾙの 'ｱﾌﾟﾘｹｰｼｮﾝの追加と削除' を実行してください。";
const char FAILURE_TEXT[] =
    "ｲﾝｽﾄｰﾙ中にｴﾗｰがありました。一部のﾌｧｲﾙはｲﾝｽﾄｰﾙされていません。\nﾌﾟﾛｸﾞﾗﾑの削除はｺﾝﾄﾛｰﾙﾊﾟﾈﾙの 'ｱﾌﾟﾘｹｰｼｮﾝの追加と削除' を実行してください。";
const char LEFTOVER_TEXT[] = " ﾌｫﾙﾀﾞに削除できなかったﾌｧｲﾙがあります。不要なﾌｧｲﾙは後で削除してください。";
const int IDC_FOLDER_EDIT = 1001, IDC_DESKTOP = 1005, IDC_PROGRESS = 1003, IDC_REMOVING = 1010;

// What a run of setup showed, in order.
struct SetupRun {
    std::vector<std::string> messages;  // message box texts, each answered OK or Yes
    std::string proposed;               // the folder dialog's first text
    std::string browsed;                // its text after the browse dialog
    bool desktopOffered = false;
    std::string result;                 // the uninstall dialog's final text
    std::string runImage;               // the program file of the uninstall run
    long exitCode = -1;
};

// Options of one run: the folder to type (empty: keep the proposal), the
// desktop box, and screenshot names (empty: none).
struct SetupChoice {
    std::vector<std::string> refused;  // typed first, each expected to be refused
    std::string folder;
    bool browse = false;  // the browse dialog opened and accepted first
    bool desktop = false;
    std::string folderShot, progressShot, resultShot;
};

inline void Shot(const std::string& name)
{
    if (!name.empty())
        Screenshot(std::string(E2E_SHOT_DIR) + "/" + name + ".png");
}

inline BOOL CALLBACK CollectDialog(HWND w, LPARAM found)
{
    char cls[64];
    GetClassNameA(w, cls, sizeof cls);
    if (strcmp(cls, "#32770") == 0 && IsWindowVisible(w))
        ((std::vector<HWND>*)found)->push_back(w);
    return TRUE;
}

inline std::vector<HWND> VisibleDialogs()
{
    std::vector<HWND> found;
    EnumWindows(CollectDialog, (LPARAM)&found);
    return found;
}

inline void Click(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

// Opens the browse dialog of the folder dialog, accepts what it shows
// selected and returns the folder dialog's text after it.
inline std::string Browse(HWND folderDialog)
{
    Click(folderDialog, 1002);
    HWND browse = nullptr;
    WaitUntil([&] {
        for (HWND w : VisibleDialogs())
            if (w != folderDialog && GetWindow(w, GW_OWNER) == folderDialog)
                browse = w;
        return browse != nullptr;
    });
    if (!browse)
        return "<no browse dialog>";
    Sleep(500);  // the selection is made once the dialog is up
    Click(browse, IDOK);
    WaitUntil([&] { return !IsWindow(browse); });
    return EditText(GetDlgItem(folderDialog, IDC_FOLDER_EDIT));
}

// The program file a process runs; empty when it cannot be told.
inline std::string ImageOf(HANDLE process)
{
    char path[MAX_PATH] = "";
    DWORD size = MAX_PATH;
    return process && QueryFullProcessImageNameA(process, 0, path, &size) ? std::string(path) : "";
}

// Runs commandLine (in folder) and answers everything it shows until it and
// the uninstall copy it may start have ended.
inline SetupRun RunSetup(const std::string& commandLine, const std::string& folder, const SetupChoice& choice = {})
{
    SetupRun run;
    Process setup = StartProcess(commandLine, folder);
    EXPECT_TRUE(setup.handle) << commandLine;
    HANDLE copy = nullptr;  // the uninstall run, which is not our child
    bool progressShot = false;
    size_t attempt = 0, messagesAtClick = 0;  // typed folders; messages when OK was clicked
    std::vector<HWND> answered;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 60000) {
        bool setupEnded = WaitForSingleObject(setup.handle, 0) == WAIT_OBJECT_0;
        bool copyEnded = !copy || WaitForSingleObject(copy, 0) == WAIT_OBJECT_0;
        std::vector<HWND> dialogs = VisibleDialogs();
        if (setupEnded && copyEnded && dialogs.empty())
            break;
        for (HWND d : dialogs) {
            if (std::find(answered.begin(), answered.end(), d) != answered.end())
                continue;
            std::string text = MessageBoxText(d);
            if (!text.empty()) {
                if (!progressShot && !choice.progressShot.empty()) {
                    // Aside, so that the progress dialog behind it shows.
                    SetWindowPos(d, nullptr, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
                    Sleep(200);
                    Shot(choice.progressShot);
                    progressShot = true;
                }
                run.messages.push_back(text);
                Click(d, GetDlgItem(d, IDYES) ? IDYES : IDOK);
                answered.push_back(d);
            } else if (GetDlgItem(d, IDC_FOLDER_EDIT) && IsWindowEnabled(d) && attempt <= choice.refused.size() &&
                       (attempt == 0 || run.messages.size() > messagesAtClick)) {
                HWND edit = GetDlgItem(d, IDC_FOLDER_EDIT);
                if (attempt == 0) {
                    run.proposed = EditText(edit);
                    run.desktopOffered = IsWindowVisible(GetDlgItem(d, IDC_DESKTOP)) != FALSE;
                    if (choice.browse)
                        run.browsed = Browse(d);
                }
                const std::string& text = attempt < choice.refused.size() ? choice.refused[attempt] : choice.folder;
                if (!text.empty() || attempt < choice.refused.size())
                    SendMessageA(edit, WM_SETTEXT, 0, (LPARAM)text.c_str());
                if (choice.desktop)
                    SendMessageA(GetDlgItem(d, IDC_DESKTOP), BM_SETCHECK, BST_CHECKED, 0);
                if (attempt == choice.refused.size())
                    Shot(choice.folderShot);
                messagesAtClick = run.messages.size();
                attempt++;
                Click(d, IDOK);
            } else if (GetDlgItem(d, IDC_REMOVING) && IsWindowEnabled(GetDlgItem(d, IDCANCEL))) {
                run.result = WindowText(GetDlgItem(d, IDC_REMOVING));
                Shot(choice.resultShot);
                Click(d, IDCANCEL);
                answered.push_back(d);
            }
            if (GetDlgItem(d, IDC_REMOVING) && !copy) {
                DWORD id = 0;
                GetWindowThreadProcessId(d, &id);
                copy = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
                run.runImage = ImageOf(copy);
            }
        }
        Sleep(20);
    }
    run.exitCode = WaitForExit(&setup, 0);
    EndProcess(&setup);
    if (copy) {
        if (WaitForSingleObject(copy, 0) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "the uninstall run did not end";
            TerminateProcess(copy, 99);
            WaitForSingleObject(copy, WAIT_MS);
        }
        CloseHandle(copy);
    }
    return run;
}

inline bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline bool KeyExists(HKEY root, const std::string& subkey)
{
    HKEY key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

inline std::string RegText(HKEY root, const std::string& subkey, const char* name)
{
    char value[1024] = "";
    DWORD size = sizeof value - 1;
    HKEY key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<no key>";
    LONG r = RegQueryValueExA(key, name, nullptr, nullptr, (BYTE*)value, &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS ? std::string(value) : "<no value>";
}

// The files the system deletes or renames at its next start, each string
// of the value in brackets ("[\\??\\C:\\x.exe][]" for a deletion).
inline std::string PendingRenames()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return "<no key>";
    std::vector<char> value(1 << 16, '\0');
    DWORD size = (DWORD)value.size() - 2;
    LONG r = RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, (BYTE*)value.data(), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS)
        return "<no value>";
    std::string all;
    for (size_t at = 0; at + 1 < size || (at < size && value[at]);) {
        size_t n = strlen(value.data() + at);
        all += "[" + std::string(value.data() + at, n) + "]";
        at += n + 1;
    }
    return all;
}

// The user's shell folder ("Programs", "Desktop", "Startup").
inline std::string ShellFolder(const char* name)
{
    return RegText(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", name);
}

struct Link {
    std::string path, arguments, workdir;
};

// A shell link object and its file interface, released with it.
struct ShellLink {
    IShellLinkA* shell = nullptr;
    IPersistFile* persist = nullptr;
    WCHAR wide[MAX_PATH];
    explicit ShellLink(const std::string& file)
    {
        CoInitialize(nullptr);
        MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&shell)))
            shell->QueryInterface(IID_IPersistFile, (void**)&persist);
    }
    ~ShellLink()
    {
        if (persist)
            persist->Release();
        if (shell)
            shell->Release();
        CoUninitialize();
    }
};

// A shortcut file as the shell reads it; empty path when it cannot be loaded.
inline Link ReadLink(const std::string& file)
{
    Link link;
    ShellLink shell(file);
    if (Exists(file) && shell.persist && SUCCEEDED(shell.persist->Load(shell.wide, 0))) {
        char text[MAX_PATH] = "";
        shell.shell->GetPath(text, MAX_PATH, nullptr, 0);
        link.path = text;
        text[0] = '\0';
        shell.shell->GetArguments(text, MAX_PATH);
        link.arguments = text;
        text[0] = '\0';
        shell.shell->GetWorkingDirectory(text, MAX_PATH);
        link.workdir = text;
        if (!link.workdir.empty() && link.workdir.back() == '\\')
            link.workdir.pop_back();
    }
    return link;
}

// Writes a shortcut file to target, as another program would.
inline bool WriteLink(const std::string& file, const std::string& target)
{
    ShellLink shell(file);
    return shell.persist && SUCCEEDED(shell.shell->SetPath(target.c_str())) &&
           SUCCEEDED(shell.persist->Save(shell.wide, TRUE));
}

// Calls each(name, isFolder) for the names in folder but "." and "..".
template <class F> void ForEachName(const std::string& folder, F each)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0)
            each(std::string(found.cFileName), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

// The names in folder, as the file system keeps them.
inline std::vector<std::string> FolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    ForEachName(folder, [&](const std::string& name, bool) { names.push_back(name); });
    std::sort(names.begin(), names.end());
    return names;
}

inline void RemoveTree(const std::string& folder)
{
    ForEachName(folder, [&](const std::string& name, bool isFolder) {
        if (isFolder)
            RemoveTree(folder + "\\" + name);
        else
            DeleteFileA((folder + "\\" + name).c_str());
    });
    RemoveDirectoryA(folder.c_str());
}

inline std::string SystemDir()
{
    char dir[MAX_PATH];
    GetSystemDirectoryA(dir, MAX_PATH);
    return dir;
}

inline std::string WindowsDir()
{
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, MAX_PATH);
    return dir;
}

// The folder the install puts setup, its settings file and its list in:
// one of its own under Program Files.
inline std::string UninstallFolder(const std::string& title)
{
    char programFiles[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles);
    return std::string(programFiles) + "\\" + title + " Setup";
}

// The command of the product's entry in the list of installed programs.
inline std::string UninstallCommand(const std::string& title)
{
    return RegText(HKEY_LOCAL_MACHINE, UNINSTALL_ROOT + title, "UninstallString");
}

// The Unix path of a Windows path, through Wine's own export; empty when
// there is none.
inline std::string UnixPath(const std::string& path)
{
    typedef char*(CDECL * UnixFileNameFn)(LPCWSTR);
    auto unixFileName =
        (UnixFileNameFn)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    WCHAR wide[MAX_PATH];
    if (!unixFileName || !MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH))
        return "";
    char* name = unixFileName(wide);
    std::string text = name ? name : "";
    if (name)
        HeapFree(GetProcessHeap(), 0, name);
    return text;
}

// Makes link a symbolic link to target, which Wine shows as a reparse
// point (a junction, for a folder); false when it could not.
inline bool MakeLink(const std::string& target, const std::string& link)
{
    std::string from = UnixPath(target), to = UnixPath(link);
    return !from.empty() && !to.empty() && RunUnix("ln -s '" + from + "' '" + to + "'") == 0 &&
           (GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
}

inline void RemoveLink(const std::string& link)
{
    std::string to = UnixPath(link);
    if (!to.empty())
        RunUnix("rm -f '" + to + "'");
}
