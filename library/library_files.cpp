#include "library/library_files.h"

#include <cstring>

#include "common/sjis.h"

size_t FolderLength(const char* path)
{
    size_t folder = 0;
    for (size_t i = 0; path[i];) {
        unsigned char c = (unsigned char)path[i];
        if (IsSjisLeadByte(c) && path[i + 1]) {
            i += 2;
            continue;
        }
        i++;
        if (c == '\\' || c == '/')
            folder = i;
    }
    return folder;
}

int SetLibraryFiles(LibraryFiles* files, const char* phrasePath)
{
    static const char kClip[] = "clip.txt";
    size_t n = strlen(phrasePath);
    size_t folder = FolderLength(phrasePath);
    memset(files, 0, sizeof *files);
    if (n < 4 || n >= PATH_BUFFER_SIZE || folder + sizeof kClip > PATH_BUFFER_SIZE || folder >= n)
        return -1;
    memcpy(files->phrase, phrasePath, n + 1);
    memcpy(files->backup, phrasePath, n - 3);
    memcpy(files->backup + n - 3, "bak", 4);
    memcpy(files->clip, phrasePath, folder);
    memcpy(files->clip + folder, kClip, sizeof kClip);
    // A library named like its own backup or clip file would be overwritten
    // by them; Windows file names ignore ASCII case, so a clash there is one.
    if (SjisEqualNoCase(files->phrase, files->backup) ||
        SjisEqualNoCase(files->phrase, files->clip)) {
        memset(files, 0, sizeof *files);
        return -1;
    }
    return 0;
}

int PhrasePathFromModule(const char* modulePath, char* phrasePath, int size)
{
    size_t n = strlen(modulePath);
    size_t folder = FolderLength(modulePath);
    size_t end = n;
    for (size_t i = folder; i < n; i++) {
        unsigned char c = (unsigned char)modulePath[i];
        if (IsSjisLeadByte(c) && i + 1 < n) {
            i++;
            continue;
        }
        if (c == '.')
            end = i;
    }
    if (end + 5 > (size_t)size)
        return -1;
    memcpy(phrasePath, modulePath, end);
    memcpy(phrasePath + end, ".htm", 5);
    return 0;
}
