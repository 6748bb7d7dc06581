// Folders and files: the system's view of a folder, creating folder levels,
// deleting one file, the created-files list and the uninstall entry's
// folder.
#include <cstdio>
#include <cstring>
#include <string>

#include "common/safe_file.h"
#include "setup/win32/setup.h"

int NormalizeFolder(const char* path, char* out)
{
    // Without its final "\" the last level gets the system's own trimming
    // of dots and spaces ("C:\Windows \" is C:\Windows).
    std::string text = path;
    if (SjisEndsWithBackslash(path) && !IsDriveRoot(path))
        text.pop_back();
    char full[SETUP_PATH_SIZE];
    DWORD n = GetFullPathNameA(text.c_str(), sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full)
        return 0;
    // Short names made long ("C:\PROGRA~1"), for as much of it as exists.
    std::string head = full, tail;
    for (;;) {
        char longer[SETUP_PATH_SIZE];
        DWORD m = GetLongPathNameA(head.c_str(), longer, sizeof longer);
        if (m > 0 && m < sizeof longer) {
            head = longer;
            break;
        }
        size_t slash = SjisFindLastChar(head.c_str(), '\\');
        if (slash == SJIS_NOT_FOUND || slash < 3)
            break;
        tail = head.substr(slash) + tail;
        head.erase(slash);
    }
    return NormalizeFolderText((head + tail).c_str(), out);
}

int CreateFolderLevel(const char* path, int* made)
{
    if (made)
        *made = 0;
    if (IsDriveRoot(path))
        return 1;
    std::string folder = path;
    if (SjisEndsWithBackslash(path))
        folder.pop_back();
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(folder.c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        FindClose(find);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            return 1;
        Message(g_setup.owner, (folder + " - 同じ名前のﾌｧｲﾙが既に存在するのでﾌｫﾙﾀﾞが作成できません。").c_str(),
                nullptr, MB_ICONERROR);
        return 0;
    }
    if (CreateDirectoryA(folder.c_str(), nullptr)) {
        if (made)
            *made = 1;
        return 1;
    }
    Message(g_setup.owner, (folder + " のﾌｫﾙﾀﾞ作成に失敗しました。").c_str(), nullptr, MB_ICONERROR);
    return 0;
}

int CreateFolderChain(const char* path, std::vector<std::string>* made)
{
    for (size_t length : FolderChainLengths(path)) {
        std::string level(path, length);
        int created;
        if (!CreateFolderLevel(level.c_str(), &created))
            return 0;
        if (created)
            made->push_back(level);
    }
    return 1;
}

int DeleteOneFile(const char* path)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(path, &found);
    if (find == INVALID_HANDLE_VALUE)
        return 1;
    FindClose(find);
    if (DeleteFileA(path))
        return 1;
    Message(g_setup.owner, (std::string(path) + "の削除に失敗しました。このﾌｧｲﾙをｽｷｯﾌﾟして処理を続行します。").c_str(),
            nullptr, MB_ICONERROR);
    return 0;
}

int ReadCreatedList(const char* path, CreatedList* list)
{
    list->files.clear();
    list->folders.clear();
    FILE* f = fopen(path, "rb");
    if (!f)
        return 0;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0 && text.size() <= CREATED_LIST_LIMIT)
        text.append(buffer, n);
    int ok = !ferror(f);
    fclose(f);
    return ok && ParseCreatedList(text, list);
}

int WriteCreatedList(const char* path, const CreatedList& list)
{
    SafeWriter w;
    if (BeginSafeWrite(&w, path) != 0)
        return 0;
    std::string text = FormatCreatedList(list);
    if (fwrite(text.data(), 1, text.size(), w.file) != text.size()) {
        AbortSafeWrite(&w);
        return 0;
    }
    return CommitSafeWrite(&w) == 0;
}

int InstalledIn(const char* folder)
{
    std::string keyName = std::string(UNINSTALL_KEY) + g_settings.title;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    char value[SETUP_PATH_SIZE + 1] = "";
    DWORD size = SETUP_PATH_SIZE, type = 0;
    LONG result = RegQueryValueExA(key, "UninstallString", nullptr, &type, (BYTE*)value, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return 0;
    value[size < SETUP_PATH_SIZE ? size : SETUP_PATH_SIZE] = '\0';
    char installed[SETUP_PATH_SIZE], a[SETUP_PATH_SIZE], b[SETUP_PATH_SIZE];
    return FolderFromUninstallString(value, installed) && NormalizeFolder(installed, a) && NormalizeFolder(folder, b) &&
           SameFolder(a, b);
}
