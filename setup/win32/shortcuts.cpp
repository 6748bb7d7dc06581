// The product's shortcuts in the Start menu's Programs folder, on the desktop
// and in the Startup folder, made through the shell's link object.
#include "setup/win32/setup.h"

#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <vector>


struct ShortcutItem {
    std::string name, target, arguments;
};

// The user's shell folder of the kind, with "\"; false when it is unknown.
static int ShellFolder(int kind, std::string* folder)
{
    static const char* const names[] = {"Programs", "Desktop", "Startup"};
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    char value[SETUP_PATH_SIZE + 1] = "";
    DWORD size = SETUP_PATH_SIZE, type = 0;
    LONG result = RegQueryValueExA(key, names[kind], nullptr, &type, (BYTE*)value, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || !value[0])
        return 0;
    value[size < SETUP_PATH_SIZE ? size : SETUP_PATH_SIZE] = '\0';
    *folder = std::string(value) + "\\";
    return 1;
}

// The target a shortcut file names, as stored; false when the file is no
// shortcut the shell can read.
static int LinkTarget(const std::string& file, std::string* target)
{
    WCHAR wide[SETUP_PATH_SIZE];
    if (!MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, SETUP_PATH_SIZE))
        return 0;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link)))
        return 0;
    IPersistFile* persist = nullptr;
    char path[MAX_PATH] = "";
    int ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&persist)) &&
             SUCCEEDED(persist->Load(wide, STGM_READ)) &&
             SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH)) && path[0];
    if (persist)
        persist->Release();
    link->Release();
    *target = path;
    return ok;
}

// True for a shortcut file of ours: one that leads into the install folder.
static int IsOurLink(const std::string& file)
{
    std::string target;
    return LinkTarget(file, &target) && IsBelowFolder(target.c_str(), g_setup.installFolder);
}

static int Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

static int SaveLink(const std::string& folder, const ShortcutItem& item)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(item.target.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return 1;  // not installed: no shortcut
    FindClose(find);
    std::string file = folder + item.name + ".lnk";
    WCHAR wide[SETUP_PATH_SIZE];
    if (file.size() >= SETUP_PATH_SIZE || !MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, SETUP_PATH_SIZE))
        return 0;
    // Another program's shortcut of the same name stays as it is.
    if (Exists(file) && !IsOurLink(file)) {
        Message(g_setup.owner, (file + " は他のﾌﾟﾛｸﾞﾗﾑのｼｮｰﾄｶｯﾄなので作成しませんでした。").c_str(), nullptr,
                MB_ICONERROR);
        return 0;
    }
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link)))
        return 0;
    if (!item.arguments.empty())
        link->SetArguments(item.arguments.c_str());
    link->SetPath(item.target.c_str());
    link->SetDescription(item.name.c_str());
    link->SetWorkingDirectory(g_setup.installFolder);
    IPersistFile* persist = nullptr;
    int ok = 0;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&persist))) {
        ok = SUCCEEDED(persist->Save(wide, TRUE));
        persist->Release();
    }
    link->Release();
    return ok;
}

// Removes the shortcut file when it is ours; false when that fails.
static int RemoveLink(const std::string& file)
{
    if (!Exists(file) || !IsOurLink(file))
        return 1;
    return DeleteFileA(file.c_str()) != 0;
}

static std::vector<ShortcutItem> GroupItems()
{
    std::vector<ShortcutItem> items;
    char name[SETUP_PATH_SIZE], target[SETUP_PATH_SIZE], arguments[SETUP_PATH_SIZE];
    for (const std::string& entry : g_settings.groupEntries) {
        if (ParseGroupEntry(entry.c_str(), g_setup.installFolder, name, target, arguments))
            items.push_back({name, target, arguments});
    }
    return items;
}

// True when the folder holds nothing but "." and "..".
static int IsEmptyFolder(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "*.*").c_str(), &found);
    int others = 0;
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0)
                others++;
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    return others == 0;
}

int Shortcuts(int kind, int remove)
{
    std::string folder;
    if (!ShellFolder(kind, &folder))
        return 0;
    std::vector<ShortcutItem> items;
    bool group = kind == SHORTCUT_PROGRAMS && !g_settings.groupEntries.empty();
    if (group) {
        folder += g_settings.groupName;
        folder += "\\";
        if (folder.size() >= SETUP_PATH_SIZE)
            return 0;
        items = GroupItems();
    } else if (remove) {
        items.push_back({g_settings.title, "", ""});
    } else {
        InstallEntry first;
        if (g_settings.installEntries.empty() || !ParseEntry(1, &first))
            return 0;
        items.push_back({g_settings.title, first.destination, ""});
    }

    int ok = 1;
    CoInitialize(nullptr);
    if (remove) {
        for (const ShortcutItem& item : items)
            ok = RemoveLink(folder + item.name + ".lnk") && ok;
        // The group folder goes only when it is ours and nothing else is in it.
        if (group && HoldsPath(g_setup.created, CREATED_FOLDER, folder.c_str()) && IsEmptyFolder(folder))
            RemoveDirectoryA(folder.substr(0, folder.size() - 1).c_str());
    } else {
        int made = 0;
        if (group && !CreateFolderLevel(folder.c_str(), &made))
            ok = 0;
        // With the list lost (adopt), the group folder is taken for the
        // earlier install's; it goes only when it is empty.
        if (group && (made || g_setup.adopt)) {
            AddCreated(&g_setup.created, CREATED_FOLDER, folder.c_str());
            g_setup.listChanged = 1;
        }
        for (const ShortcutItem& item : items)
            ok = SaveLink(folder, item) && ok;
    }
    CoUninitialize();
    return ok;
}
