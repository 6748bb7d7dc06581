// The installer's settings file and everything parsed from it: the entries,
// the folder texts, the created-files list and the WININIT.INI text built
// from a hostile file.
//
// Natively a libFuzzer target over the in-memory profile reader. In the
// Windows build (FUZZ_SETUP_REPLAY) the same checks run from a main of
// their own over the seed files and mutations of them, and the settings
// are read a second time through the system's own profile functions from a
// file, as setup.exe reads them.
#include <cstring>

#include "setup/setup_core.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#define FUZZ_CHECK(condition)                                                             \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            abort();                                                                      \
        }                                                                                 \
    } while (0)
#else
#include "tests/fuzz/fuzz_files.h"
#endif

namespace {

const char WINDOWS[] = "C:\\WINDOWS", SYSTEM[] = "C:\\WINDOWS\\SYSTEM32";

// Returns the number of install entries loaded, or -1.
long CheckSettings(const ProfileReader& reader)
{
    SetupSettings s;
    if (!LoadSetupSettings(reader, &s))
        return -1;
    FUZZ_CHECK(strlen(s.title) > 0 && strlen(s.title) < SETUP_NAME_SIZE);
    FUZZ_CHECK(IsSafeName(s.title) && IsSafeName(s.groupName));
    char folder[SETUP_PATH_SIZE];
    if (!DefaultInstallFolder(WINDOWS, s.folder, folder))
        return -1;
    FUZZ_CHECK(SjisEndsWithBackslash(folder));
    for (const std::string& text : s.installEntries) {
        InstallEntry e;
        if (ParseInstallEntry(text.c_str(), folder, WINDOWS, SYSTEM, &e)) {
            FUZZ_CHECK(strlen(e.destination) < SETUP_PATH_SIZE);
            FUZZ_CHECK(e.nameStart <= strlen(e.destination));
        }
    }
    char name[SETUP_PATH_SIZE], target[SETUP_PATH_SIZE], args[SETUP_PATH_SIZE];
    for (const std::string& text : s.groupEntries) {
        if (ParseGroupEntry(text.c_str(), folder, name, target, args))
            FUZZ_CHECK(IsSafeName(name));
    }
    for (const std::string& text : s.execEntries) {
        char line[2 * SETUP_PATH_SIZE];
        if (ExecCommandLine(folder, text.c_str(), line, sizeof line))
            FUZZ_CHECK(line[0] == '"' && strncmp(line + 1, folder, strlen(folder)) == 0);
    }
    for (const std::string& text : s.regEntries) {
        RegRoot root;
        const char* subkey;
        if (ParseRegEntry(text.c_str(), &root, &subkey))
            FUZZ_CHECK(strncasecmp(subkey, "Software\\", 9) == 0 && subkey[9] != '\0');
    }
    char cls[SETUP_PATH_SIZE], title[SETUP_PATH_SIZE];
    int hasTitle;
    SplitClassName(s.className, cls, title, &hasTitle);
    return (long)s.installEntries.size();
}

// Every value of [Folders] as a typed folder and as an UninstallString.
void CheckFolders(IniText* ini)
{
    static char keys[WININIT_BUFFER_SIZE];
    char value[SETUP_PATH_SIZE];
    size_t n = ReadIniText(ini, "Folders", nullptr, keys, sizeof keys);
    for (size_t at = 0; at < n && keys[at]; at += strlen(keys + at) + 1) {
        ReadIniText(ini, "Folders", keys + at, value, sizeof value);
        char folder[SETUP_PATH_SIZE], normal[SETUP_PATH_SIZE], again[SETUP_PATH_SIZE];
        if (CheckInstallFolder(value, folder) == FOLDER_OK) {
            FUZZ_CHECK(SjisEndsWithBackslash(folder));
            for (size_t length : FolderChainLengths(folder))
                FUZZ_CHECK(length <= strlen(folder));
            const char* system[] = {WINDOWS};
            MayCleanFolder(folder, system, 1);
        }
        if (NormalizeFolderText(value, normal)) {
            FUZZ_CHECK(SjisEndsWithBackslash(normal));
            FUZZ_CHECK(NormalizeFolderText(normal, again) && strcmp(normal, again) == 0);
            FUZZ_CHECK(SameFolder(value, normal) && !IsBelowFolder(value, normal));
        }
        FolderFromUninstallString(value, folder);
        IsGidFileName(value);
    }
}

void CheckTexts(const uint8_t* data, size_t size)
{
    const std::string bytes((const char*)data, size);
    CreatedList list;
    if (ParseCreatedList(bytes, &list)) {
        CreatedList back;
        FUZZ_CHECK(ParseCreatedList(FormatCreatedList(list), &back));
        FUZZ_CHECK(back.files == list.files && back.folders == list.folders);
    } else {
        FUZZ_CHECK(list.files.empty() && list.folders.empty());
    }

    // The whole input as the lines of a [Rename] section, and as the file.
    static const std::string last = "NUL=C:\\WINDOWS\\SYSTEM\\SETUP.EXE\r\n";
    std::string lines = bytes;
    for (char& c : lines)
        if (c == '\n')
            c = '\0';
    std::string text;
    if (BuildWininitText(lines.data(), lines.size(), "C:\\WINDOWS\\SYSTEM\\SETUP.EXE", &text)) {
        FUZZ_CHECK(text.size() <= WININIT_TEXT_LIMIT);
        FUZZ_CHECK(text.compare(0, 10, "[Rename]\r\n") == 0);
        FUZZ_CHECK(text.size() >= last.size() && text.compare(text.size() - last.size(), last.size(), last) == 0);
    }
    if (BuildWininitFile(bytes, "C:\\WINDOWS\\SYSTEM\\SETUP.EXE", &text))
        FUZZ_CHECK(text.size() >= last.size() && text.compare(text.size() - last.size(), last.size(), last) == 0);
}

#ifdef _WIN32
size_t ReadProfileFile(void* context, const char* section, const char* key, char* buffer, size_t size)
{
    return GetPrivateProfileStringA(section, key, "", buffer, (DWORD)size, (const char*)context);
}

// The input as a settings file read by the system. Each input gets a file
// of its own: the system keeps recently read profiles.
long CheckSystemProfile(const uint8_t* data, size_t size)
{
    static unsigned serial;
    char temp[MAX_PATH], path[MAX_PATH];
    if (!GetTempPathA(sizeof temp, temp))
        abort();
    snprintf(path, sizeof path, "%sfuzz_setup_%lu_%u.inf", temp, GetCurrentProcessId(), serial++);
    FILE* f = fopen(path, "wb");
    if (!f || fwrite(data, 1, size, f) != size || fclose(f) != 0)
        abort();
    ProfileReader reader = {ReadProfileFile, path};
    long entries = CheckSettings(reader);
    DeleteFileA(path);
    return entries;
}
#endif

}  // namespace

#ifdef _WIN32
// The seed files are plain settings files: the system reads them as the
// in-memory reader does.
bool g_seed;
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    IniText ini{std::string((const char*)data, size)};
    long entries = CheckSettings({ReadIniText, &ini});
#ifdef _WIN32
    long system = CheckSystemProfile(data, size);
    if (g_seed)
        FUZZ_CHECK(system == entries);
#else
    (void)entries;
#endif
    CheckFolders(&ini);
    CheckTexts(data, size);
    return 0;
}

#ifdef FUZZ_SETUP_REPLAY
// fuzz_setup_replay FOLDER [MUTATIONS]: every file of FOLDER, then that many
// mutations of each (bytes changed, put in, cut off), from a fixed seed so
// that a failure comes back the same.
int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: fuzz_setup_replay FOLDER [MUTATIONS]\n");
        return 2;
    }
    int mutations = argc > 2 ? atoi(argv[2]) : 200;
    std::string folder = argv[1];
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "fuzz_setup_replay: no files in %s\n", folder.c_str());
        return 1;
    }
    unsigned seed = 12345, inputs = 0, loaded = 0;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        FILE* f = fopen((folder + "\\" + found.cFileName).c_str(), "rb");
        if (!f)
            return 1;
        std::string bytes;
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
            bytes.append(buffer, n);
        fclose(f);
        for (int m = 0; m <= mutations; m++) {
            std::string input = bytes;
            for (unsigned k = m ? 1 + next() % 4 : 0; k > 0 && !input.empty(); k--) {
                size_t at = next() % input.size();
                static const char bytesToTry[] = "=[]\\,;\r\n\x81\x5C/e!.: ";
                char b = next() % 2 ? bytesToTry[next() % (sizeof bytesToTry - 1)] : (char)next();
                switch (next() % 3) {
                case 0: input[at] = b; break;
                case 1: input.insert(input.begin() + at, b); break;
                default: input.erase(at, next() % 16); break;
                }
            }
            g_seed = m == 0;
            LLVMFuzzerTestOneInput((const uint8_t*)input.data(), input.size());
            if (g_seed && CheckSystemProfile((const uint8_t*)input.data(), input.size()) >= 0)
                loaded++;
            inputs++;
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
    printf("fuzz_setup_replay: %u inputs, %u seed files loaded through the system\n", inputs, loaded);
    return loaded > 0 ? 0 : 1;
}
#endif
