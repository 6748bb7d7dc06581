// Folders and files: creating folder levels, deleting one file, and cleaning
// the install folder tree at uninstall.
#include <cstring>
#include <string>

#include "setup/win32/setup.h"

int CreateFolderLevel(const char* path)
{
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
    if (CreateDirectoryA(folder.c_str(), nullptr))
        return 1;
    Message(g_setup.owner, (folder + " のﾌｫﾙﾀﾞ作成に失敗しました。").c_str(), nullptr, MB_ICONERROR);
    return 0;
}

int CreateFolderChain(const char* path)
{
    for (size_t length : FolderChainLengths(path)) {
        if (!CreateFolderLevel(std::string(path, length).c_str()))
            return 0;
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

int CleanFolderTree(const char* path)
{
    std::string folder = path;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "*.*").c_str(), &found);
    int result = 1;
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const char* name = found.cFileName;
            if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
                continue;
            std::string child = folder + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                // A junction leads out of the product's tree: it stays, and
                // so does the folder that holds it.
                if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
                    child.size() + 1 >= SETUP_PATH_SIZE || !CleanFolderTree((child + "\\").c_str())) {
                    result = 0;
                    break;
                }
            } else if (IsGidFileName(name) && !DeleteOneFile(child.c_str())) {
                result = 0;
            }
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    if (!result)
        return 0;
    if (SjisEndsWithBackslash(path))
        folder.pop_back();
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !RemoveDirectoryA(folder.c_str()))
        return 0;
    return 1;
}
