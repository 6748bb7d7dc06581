// The installer's settings file and everything parsed from it: the entries,
// the folder texts and the WININIT.INI section built from a hostile file.
#include <cstring>

#include "setup/setup_core.h"
#include "tests/fuzz/fuzz_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    IniText ini{std::string((const char*)data, size)};
    ProfileReader reader = {ReadIniText, &ini};
    SetupSettings s;
    if (LoadSetupSettings(reader, &s)) {
        FUZZ_CHECK(strlen(s.title) > 0 && strlen(s.title) < SETUP_NAME_SIZE);
        char folder[SETUP_PATH_SIZE];
        if (!DefaultInstallFolder("C:\\WINDOWS", s.folder, folder))
            return 0;
        FUZZ_CHECK(SjisEndsWithBackslash(folder));
        for (const std::string& text : s.installEntries) {
            InstallEntry e;
            if (ParseInstallEntry(text.c_str(), folder, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM32", &e)) {
                FUZZ_CHECK(strlen(e.destination) < SETUP_PATH_SIZE);
                FUZZ_CHECK(e.nameStart <= strlen(e.destination));
            }
        }
        char name[SETUP_PATH_SIZE], target[SETUP_PATH_SIZE], args[SETUP_PATH_SIZE];
        for (const std::string& text : s.groupEntries)
            ParseGroupEntry(text.c_str(), folder, name, target, args);
        for (const std::string& text : s.regEntries) {
            RegRoot root;
            const char* subkey;
            if (ParseRegEntry(text.c_str(), &root, &subkey))
                FUZZ_CHECK(subkey[0] && subkey[0] != '\\');
        }
        char cls[SETUP_PATH_SIZE], title[SETUP_PATH_SIZE];
        int hasTitle;
        SplitClassName(s.className, cls, title, &hasTitle);
    }

    // Every value of [Folders] as a typed folder and as an UninstallString.
    char keys[WININIT_BUFFER_SIZE], value[SETUP_PATH_SIZE];
    size_t n = ReadIniText(&ini, "Folders", nullptr, keys, sizeof keys);
    for (size_t at = 0; at < n && keys[at]; at += strlen(keys + at) + 1) {
        ReadIniText(&ini, "Folders", keys + at, value, sizeof value);
        char folder[SETUP_PATH_SIZE];
        if (CheckInstallFolder(value, folder) == FOLDER_OK) {
            FUZZ_CHECK(SjisEndsWithBackslash(folder));
            for (size_t length : FolderChainLengths(folder))
                FUZZ_CHECK(length <= strlen(folder));
            const char* system[] = {"C:\\WINDOWS"};
            MayCleanFolder(folder, system, 1);
        }
        FolderFromUninstallString(value, folder);
        IsGidFileName(value);
    }

    // The whole input as the lines of a [Rename] section.
    std::string lines((const char*)data, size);
    for (char& c : lines)
        if (c == '\n')
            c = '\0';
    std::string text;
    if (BuildWininitText(lines.data(), lines.size(), "C:\\WINDOWS\\SYSTEM\\SETUP.EXE", &text)) {
        FUZZ_CHECK(text.size() <= WININIT_TEXT_LIMIT);
        FUZZ_CHECK(text.compare(0, 10, "[Rename]\r\n") == 0);
        static const std::string last = "NUL=C:\\WINDOWS\\SYSTEM\\SETUP.EXE\r\n";
        FUZZ_CHECK(text.size() >= last.size() && text.compare(text.size() - last.size(), last.size(), last) == 0);
    }
    return 0;
}
