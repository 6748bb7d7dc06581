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

static void SaveLink(const std::string& folder, const ShortcutItem& item)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(item.target.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;  // not installed: no shortcut
    FindClose(find);
    std::string file = folder + item.name + ".lnk";
    WCHAR wide[SETUP_PATH_SIZE];
    if (file.size() >= SETUP_PATH_SIZE || !MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, SETUP_PATH_SIZE))
        return;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link)))
        return;
    if (!item.arguments.empty())
        link->SetArguments(item.arguments.c_str());
    link->SetPath(item.target.c_str());
    link->SetDescription(item.name.c_str());
    link->SetWorkingDirectory(g_setup.installFolder);
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&persist))) {
        persist->Save(wide, TRUE);
        persist->Release();
    }
    link->Release();
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

void Shortcuts(int kind, int remove)
{
    std::string folder;
    if (!ShellFolder(kind, &folder))
        return;
    std::vector<ShortcutItem> items;
    if (kind == SHORTCUT_PROGRAMS && !g_settings.groupEntries.empty()) {
        folder += g_settings.groupName;
        items = GroupItems();
        if (remove) {
            for (const ShortcutItem& item : items)
                DeleteFileA((folder + "\\" + item.name + ".lnk").c_str());
            WIN32_FIND_DATAA found;
            HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &found);
            int others = 0;
            if (find != INVALID_HANDLE_VALUE) {
                do {
                    if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0)
                        others++;
                } while (FindNextFileA(find, &found));
                FindClose(find);
            }
            if (others == 0)
                RemoveDirectoryA(folder.c_str());
            return;
        }
        folder += "\\";
        if (folder.size() >= SETUP_PATH_SIZE)
            return;
        CreateFolderLevel(folder.c_str());
    } else {
        if (remove) {
            DeleteFileA((folder + g_settings.title + ".lnk").c_str());
            return;
        }
        InstallEntry first;
        if (g_settings.installEntries.empty() || !ParseEntry(1, &first))
            return;
        items.push_back({g_settings.title, first.destination, ""});
    }
    CoInitialize(nullptr);
    for (const ShortcutItem& item : items)
        SaveLink(folder, item);
    CoUninitialize();
}
