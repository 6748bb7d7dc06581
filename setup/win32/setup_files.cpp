// Folders and files: the system's view of a folder, reparse points along a
// path, creating folder levels and the administrators' folders, deleting
// one file, the created-files list and the installation the uninstall
// entry names.
#include <cstdio>
#include <cstring>
#include <string>

#include "common/safe_file.h"
#include "setup/win32/setup.h"

#include <sddl.h>

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

static int SystemAttributes(void*, const char* path, uint32_t* attributes)
{
    DWORD a = GetFileAttributesA(path);
    if (a != INVALID_FILE_ATTRIBUTES) {
        *attributes = a;
        return 1;
    }
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : -1;
}

int NoReparsePoint(const char* path)
{
    return NoReparsePointAlong(path, {SystemAttributes, nullptr});
}

std::string ThroughReparsePoint(const char* path, const char* notDone)
{
    return std::string(path) + " は再解析ﾎﾟｲﾝﾄ (ｼﾞｬﾝｸｼｮﾝなど) を経由しているため、" + notDone;
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

int CreateAdminFolder(const char* path, int mustBeNew)
{
    std::string folder = path;
    if (SjisEndsWithBackslash(path))
        folder.pop_back();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(ADMIN_ONLY_FOLDER_SDDL, SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return 0;
    // Made with the list, not given it afterwards: no one can open the new
    // folder in between.
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    int ok = CreateDirectoryA(folder.c_str(), &attributes);
    DWORD error = ok ? 0 : GetLastError();
    if (!ok && !mustBeNew && error == ERROR_ALREADY_EXISTS) {
        // An earlier install's, under a folder only administrators write:
        // its list is set again, whatever has been done to it since.
        DWORD a = GetFileAttributesA(folder.c_str());
        ok = a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) && NoReparsePoint(path) &&
             SetFileSecurityA(folder.c_str(), OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, descriptor);
    }
    LocalFree(descriptor);
    SetLastError(error);  // ERROR_ALREADY_EXISTS tells the caller to try another name
    return ok;
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

FileRead ReadWholeFile(const char* path, size_t limit, std::string* bytes)
{
    bytes->clear();
    FILE* f = fopen(path, "rb");
    if (!f) {
        // Only a file that is not there is missing; one that cannot be
        // opened is unreadable.
        DWORD a = GetFileAttributesA(path);
        DWORD error = GetLastError();
        return a == INVALID_FILE_ATTRIBUTES && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                   ? FILE_MISSING
                   : FILE_UNREADABLE;
    }
    char buffer[65536];
    size_t n;
    while (bytes->size() <= limit && (n = fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes->append(buffer, n);
    int ok = !ferror(f) && bytes->size() <= limit;
    fclose(f);
    if (!ok)
        bytes->clear();
    return ok ? FILE_READ : FILE_UNREADABLE;
}

FileRead ReadCreatedList(const char* path, CreatedList* list)
{
    std::string text;
    ParseCreatedList("", list);
    FileRead read = ReadWholeFile(path, CREATED_LIST_LIMIT, &text);
    if (read == FILE_READ && !ParseCreatedList(text, list))
        read = FILE_UNREADABLE;
    return read;
}

int WriteCreatedList(const char* path, const CreatedList& list)
{
    std::string text = FormatCreatedList(list);
    SafeWriter w;
    if (text.size() > CREATED_LIST_LIMIT || BeginSafeWrite(&w, path) != 0)
        return 0;
    if (fwrite(text.data(), 1, text.size(), w.file) != text.size()) {
        AbortSafeWrite(&w);
        return 0;
    }
    return CommitSafeWrite(&w) == 0;
}

// A REG_SZ value of at most 259 bytes; "" when it is missing.
static int ReadText(HKEY key, const char* name, char* value)
{
    value[0] = '\0';
    char text[SETUP_PATH_SIZE + 1] = "";
    DWORD size = SETUP_PATH_SIZE, type = 0;
    LONG result = RegQueryValueExA(key, name, nullptr, &type, (BYTE*)text, &size);
    if (result == ERROR_FILE_NOT_FOUND)
        return 1;
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return 0;
    text[size < SETUP_PATH_SIZE ? size : SETUP_PATH_SIZE] = '\0';
    strcpy(value, text);
    return 1;
}

int ReadInstallation(const char* title, char* setupFolder, char* installFolder)
{
    std::string keyName = std::string(UNINSTALL_KEY) + title;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    char command[SETUP_PATH_SIZE], location[SETUP_PATH_SIZE];
    int ok = ReadText(key, "UninstallString", command) && ReadText(key, "InstallLocation", location);
    RegCloseKey(key);
    // Another product's entry (SubTitle) may start a program of no folder.
    if (!ok || !FolderFromUninstallString(command, setupFolder))
        setupFolder[0] = '\0';
    return ok && InstallationFolder(location, command, installFolder);
}
