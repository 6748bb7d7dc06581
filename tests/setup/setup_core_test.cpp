// The installer's portable part: settings file, entry parsers, folder rules
// and the WININIT.INI text.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "setup/setup_core.h"

namespace {

const char INSTALL_FOLDER[] = "C:\\App\\";
const char WINDOWS_DIR[] = "C:\\WINDOWS";
const char SYSTEM_DIR[] = "C:\\WINDOWS\\SYSTEM32";

const char EXAMPLE[] =
    "[Install]\r\nTitle=Fenlop\r\nFolder=Fenlop\r\nClassName=FLPTray\r\nNoDesktop=1\r\n"
    "1=fenlop.exe\r\n2=readme.txt,doc\\readme.txt\r\n3=user.txt/e\r\n"
    "[Group]\r\n1=Fenlop,fenlop.exe\r\n2=Readme,doc\\readme.txt\r\n3=NoComma\r\n4=After,x.exe\r\n"
    "[Exec]\r\n1=fenlop.exe\r\n"
    "[Reg]\r\n1=HKEY_CURRENT_USER\\Software\\Orbo\\Fenlop\r\n";

struct Ini {
    IniText text;
    ProfileReader reader;
    explicit Ini(const std::string& bytes) : text{bytes}, reader{ReadIniText, &text} {}
};

int Load(const std::string& bytes, SetupSettings* s)
{
    Ini ini(bytes);
    return LoadSetupSettings(ini.reader, s);
}

TEST(SetupSettings, ExampleFileAndDefaults)
{
    SetupSettings s;
    ASSERT_EQ(Load(EXAMPLE, &s), 1);
    EXPECT_STREQ(s.title, "Fenlop");
    EXPECT_STREQ(s.subTitle, "");
    EXPECT_STREQ(s.className, "FLPTray");
    EXPECT_EQ(s.tsr, 0);
    EXPECT_EQ(s.noDesktop, 1);
    EXPECT_STREQ(s.groupName, "Fenlop");  // the title when GroupName is missing
    EXPECT_EQ(s.installEntries.size(), 3u);
    EXPECT_EQ(s.groupEntries.size(), 2u);  // the entry without a comma ends the list
    EXPECT_EQ(s.execEntries.size(), 1u);
    ASSERT_EQ(s.regEntries.size(), 1u);
    EXPECT_EQ(s.regEntries[0], "HKEY_CURRENT_USER\\Software\\Orbo\\Fenlop");
}

TEST(SetupSettings, BrokenOrOverlongFilesAreRefused)
{
    const std::string title99(99, 'T'), title100(100, 'T'), entry259(259, 'e'), entry260(260, 'e');
    const struct {
        std::string ini;
        int ok;
        size_t entries;
    } rows[] = {
        {"", 0, 0},
        {"[Install]\nFolder=F\n1=a\n", 0, 0},
        {"[Install]\nTitle=T\n1=a\n", 0, 0},
        {"[Install]\nTitle=T\nFolder=F\n1=a\n2=b\n4=d\n", 1, 2},  // the list ends at the gap
        {"[Install]\nTitle=" + title99 + "\nFolder=F\n", 1, 0},
        {"[Install]\nTitle=" + title100 + "\nFolder=F\n", 0, 0},
        {"[Install]\nTitle=T\nFolder=F\n1=" + entry259 + "\n", 1, 1},
        {"[Install]\nTitle=T\nFolder=F\n1=" + entry260 + "\n", 0, 0},
        {"[Install]\nTitle=T\nFolder=F\n[Reg]\n1=" + entry260 + "\n", 0, 0},
        {"[Install]\nTitle=T\nFolder=F\nTSR=1234567890\n", 0, 0},
        // Title and GroupName become file names in the user's shell folders.
        {"[Install]\nTitle=..\nFolder=F\n", 0, 0},
        {"[Install]\nTitle=A\\B\nFolder=F\n", 0, 0},
        {"[Install]\nTitle=T\nFolder=F\n[Group]\nGroupName=..\\..\\Startup\n", 0, 0},
        {"[Install]\nTitle=T\nFolder=F\n[Group]\nGroupName=C:Evil\n", 0, 0},
        {"[Install]\nTitle=T\nFolder=F\n[Group]\nGroupName=\x95\x5C\n", 1, 0},  // 0x5C as a trail byte
    };
    for (const auto& r : rows) {
        SetupSettings s;
        EXPECT_EQ(Load(r.ini, &s), r.ok) << r.ini;
        if (r.ok) {
            EXPECT_EQ(s.installEntries.size(), r.entries) << r.ini;
        }
    }
}

TEST(SetupFolders, DefaultAndEarlierInstallFolder)
{
    const struct {
        const char *windowsDir, *folder, *expected;
    } defaults[] = {
        {WINDOWS_DIR, "Tools", "C:\\Program Files\\Tools\\"},
        {WINDOWS_DIR, "\\Tools", "C:\\Tools\\"},
        {"D:\\WIN", "\\Fenlop", "D:\\Fenlop\\"},
        {"\\\\server\\win", "Tools", "c:\\Tools\\"},
        {WINDOWS_DIR, "Tools\x81", nullptr},  // half a character would swallow the "\"
    };
    for (const auto& r : defaults) {
        char out[SETUP_PATH_SIZE];
        ASSERT_EQ(DefaultInstallFolder(r.windowsDir, r.folder, out), r.expected ? 1 : 0) << r.folder;
        if (r.expected) {
            EXPECT_STREQ(out, r.expected) << r.folder;
        }
    }

    const struct {
        const char *value, *expected;
    } earlier[] = {
        {"\"D:\\Apps\\Tool\\SETUP.EXE\" /r", "D:\\Apps\\Tool\\"},
        {"\"C:\\Program Files\\X\\SETUP.EXE\" /r", "C:\\Program Files\\X\\"},
        {"D:\\Apps\\Tool\\SETUP.EXE /r", "D:\\Apps\\Tool\\"},
        {"\"D:\\App\\\x95\x5C.EXE\" /r", "D:\\App\\"},  // 0x5C as a trail byte is no separator
        {"D:\\Apps\\Tool\\SETUP.EXE", nullptr},           // nothing after the program: no folder
        {"\"SETUP.EXE\" /r", nullptr},
    };
    for (const auto& r : earlier) {
        char out[SETUP_PATH_SIZE] = "unchanged";
        EXPECT_EQ(FolderFromUninstallString(r.value, out), r.expected ? 1 : 0) << r.value;
        EXPECT_STREQ(out, r.expected ? r.expected : "unchanged") << r.value;
    }
}

TEST(SetupFolders, TypedFolderChecks)
{
    const std::string longest = "C:\\" + std::string(255, 'a');  // 258 bytes, 259 with the "\"
    const struct {
        std::string text;
        FolderCheck check;
        std::string folder;
    } rows[] = {
        {"C:", FOLDER_OK, "C:\\"},
        {"C:\\", FOLDER_OK, "C:\\"},
        {"", FOLDER_ROOT, "\\"},
        {"C", FOLDER_ROOT, "C\\"},
        {"CC\\", FOLDER_NO_DRIVE, "CC\\"},
        {"C:App", FOLDER_NO_DRIVE, "C:App\\"},
        {"D:\\\x95\x5C", FOLDER_OK, "D:\\\x95\x5C\\"},  // a trail byte 0x5C is not the final "\"
        {longest, FOLDER_OK, longest + "\\"},
        {longest + "a", FOLDER_TOO_LONG, ""},
        {"C:\\App\x81", FOLDER_NO_DRIVE, ""},
    };
    for (const auto& r : rows) {
        char out[SETUP_PATH_SIZE] = "";
        EXPECT_EQ(CheckInstallFolder(r.text.c_str(), out), r.check) << r.text;
        EXPECT_EQ(out, r.folder) << r.text;
    }
    EXPECT_EQ(FolderChainLengths("C:\\a\\b\\"), (std::vector<size_t>{5, 7}));
    EXPECT_EQ(FolderChainLengths("C:\\\x95\x5C\\x\\"), (std::vector<size_t>{6, 8}));
    EXPECT_EQ(FolderChainLengths("rel\\x\\"), (std::vector<size_t>{6}));
    EXPECT_TRUE(IsDriveRoot("C:\\"));
    EXPECT_FALSE(IsDriveRoot("C:\\a\\"));
}

TEST(SetupEntries, InstallEntryForms)
{
    const struct {
        const char *text, *source, *destination;
        size_t nameStart;
        int noOverwrite, outsideSystemDir;
    } rows[] = {
        {"a.txt", "a.txt", "C:\\App\\a.txt", 7, 0, 1},
        {"sub\\a.txt", "sub\\a.txt", "C:\\App\\sub\\a.txt", 7, 0, 1},
        {"a.txt,W!b.txt", "a.txt", "C:\\WINDOWS\\b.txt", 11, 0, 1},
        {"a.txt,w!b.txt", "a.txt", "C:\\WINDOWS\\b.txt", 11, 0, 1},
        {"a.dll,S!b.dll", "a.dll", "C:\\WINDOWS\\SYSTEM32\\b.dll", 20, 0, 0},
        {"a.txt,X!b.txt", "a.txt", "C:\\App\\b.txt", 7, 0, 1},
        {"a.txt,sub\\b.txt", "a.txt", "C:\\App\\sub\\b.txt", 7, 0, 1},
        {"user.txt/e", "user.txt", "C:\\App\\user.txt", 7, 1, 1},
        {"a.txt,sub\\b.txt/e", "a.txt", "C:\\App\\sub\\b.txt", 7, 1, 1},
        {"\x81,x.txt", "\x81,x.txt", "C:\\App\\\x81,x.txt", 7, 0, 1},  // the comma is a trail byte
        {"\x81,,y.txt", "\x81,", "C:\\App\\y.txt", 7, 0, 1},
    };
    for (const auto& r : rows) {
        InstallEntry e;
        ASSERT_EQ(ParseInstallEntry(r.text, INSTALL_FOLDER, WINDOWS_DIR, SYSTEM_DIR, &e), 1) << r.text;
        EXPECT_STREQ(e.source, r.source) << r.text;
        EXPECT_STREQ(e.destination, r.destination) << r.text;
        EXPECT_EQ(e.nameStart, r.nameStart) << r.text;
        EXPECT_EQ(e.noOverwrite, r.noOverwrite) << r.text;
        EXPECT_EQ(e.outsideSystemDir, r.outsideSystemDir) << r.text;
    }
    InstallEntry e;
    const std::string name(253, 'n');  // 7 + 253 = 260 bytes: no room for the NUL
    EXPECT_EQ(ParseInstallEntry(name.substr(1).c_str(), INSTALL_FOLDER, WINDOWS_DIR, SYSTEM_DIR, &e), 1);
    EXPECT_EQ(ParseInstallEntry(name.c_str(), INSTALL_FOLDER, WINDOWS_DIR, SYSTEM_DIR, &e), 0);
    EXPECT_EQ(ParseInstallEntry(std::string(300, 'x').c_str(), INSTALL_FOLDER, WINDOWS_DIR, SYSTEM_DIR, &e), 0);
}

TEST(SetupEntries, GroupClassNameAndRegistryEntries)
{
    char name[SETUP_PATH_SIZE], target[SETUP_PATH_SIZE], args[SETUP_PATH_SIZE];
    ASSERT_EQ(ParseGroupEntry("Readme,doc\\readme.txt", INSTALL_FOLDER, name, target, args), 1);
    EXPECT_STREQ(name, "Readme");
    EXPECT_STREQ(target, "C:\\App\\doc\\readme.txt");
    EXPECT_STREQ(args, "");
    ASSERT_EQ(ParseGroupEntry("Tool,tool.exe,/min", "C:\\A,B\\", name, target, args), 1);
    EXPECT_STREQ(target, "C:\\A,B\\tool.exe");
    EXPECT_STREQ(args, "/min");
    EXPECT_EQ(ParseGroupEntry("NoComma", INSTALL_FOLDER, name, target, args), 0);

    char cls[SETUP_PATH_SIZE], title[SETUP_PATH_SIZE];
    int hasTitle;
    ASSERT_EQ(SplitClassName("FLPTray", cls, title, &hasTitle), 1);
    EXPECT_STREQ(cls, "FLPTray");
    EXPECT_EQ(hasTitle, 0);
    ASSERT_EQ(SplitClassName("Cls,The title", cls, title, &hasTitle), 1);
    EXPECT_STREQ(title, "The title");
    EXPECT_EQ(hasTitle, 1);

    EXPECT_EQ(ParseGroupEntry("..,x.exe", INSTALL_FOLDER, name, target, args), 0);
    EXPECT_EQ(ParseGroupEntry("..\\..\\Startup\\Evil,x.exe", INSTALL_FOLDER, name, target, args), 0);
}

TEST(SetupEntries, RegistryEntriesNameOnlyTheProductsOwnKeys)
{
    const struct {
        const char* value;
        int ok;
        RegRoot root;
        const char* subkey;
    } rows[] = {
        {"HKEY_CURRENT_USER\\Software\\Orbo\\Fenlop", 1, REG_ROOT_CURRENT_USER, "Software\\Orbo\\Fenlop"},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\X", 1, REG_ROOT_LOCAL_MACHINE, "SOFTWARE\\X"},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Orbo\\X", 1, REG_ROOT_LOCAL_MACHINE,
         "SOFTWARE\\Wow6432Node\\Orbo\\X"},
        {"HKEY_CURRENT_USER\\Software\\\x95\x5C\\X", 1, REG_ROOT_CURRENT_USER, "Software\\\x95\x5C\\X"},
        {"HKEY_CURRENT_USER\\Software\\MicrosoftTools", 1, REG_ROOT_CURRENT_USER, "Software\\MicrosoftTools"},
        // Unknown roots, a root in other letters, a whole hive.
        {"HKEY_USERS\\x", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"hkey_current_user\\Software\\x", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_CURRENT_USER", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_CURRENT_USER\\", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_CURRENT_USERX\\Software\\x", 0, REG_ROOT_CURRENT_USER, nullptr},
        // Fewer than two levels, or a level left empty.
        {"HKEY_CURRENT_USER\\Software", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\X", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_CURRENT_USER\\Software\\\\X", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_CURRENT_USER\\Software\\X\\", 0, REG_ROOT_CURRENT_USER, nullptr},
        // The system's own and shared keys, whatever the letters.
        {"HKEY_CURRENT_USER\\Software\\Microsoft", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_CURRENT_USER\\software\\microsoft\\Windows\\CurrentVersion\\Run", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.txt", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\X", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\X", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_CURRENT_USER\\Control Panel\\Desktop", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_CURRENT_USER\\Environment\\X", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_CLASSES_ROOT\\*", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_CLASSES_ROOT\\.xyz\\shell", 0, REG_ROOT_CURRENT_USER, nullptr},
    };
    for (const auto& r : rows) {
        RegRoot root = REG_ROOT_CURRENT_USER;
        const char* subkey = nullptr;
        EXPECT_EQ(ParseRegEntry(r.value, &root, &subkey), r.ok) << r.value;
        if (r.ok) {
            EXPECT_EQ(root, r.root) << r.value;
            EXPECT_STREQ(subkey, r.subkey) << r.value;
        }
    }
}

TEST(SetupEntries, SafeNamesAndExecCommandLines)
{
    const struct {
        const char* name;
        int ok;
    } names[] = {
        {"Fenlop", 1}, {"Test Prod 2.0", 1}, {"\x95\x5C", 1}, {".hidden", 1},
        {"", 0}, {".", 0}, {"..", 0}, {"...", 0}, {".. ", 0}, {" ", 0},
        {"a\\b", 0}, {"a/b", 0}, {"C:x", 0}, {"a\tb", 0}, {"x\x81", 0},
    };
    for (const auto& r : names)
        EXPECT_EQ(IsSafeName(r.name), r.ok) << r.name;

    const struct {
        const char *folder, *entry, *line;
    } rows[] = {
        {"D:\\My Apps\\Tool\\", "x.exe", "\"D:\\My Apps\\Tool\\x.exe\""},
        {"D:\\My Apps\\Tool\\", "cmd.exe /c echo a>b.txt", "\"D:\\My Apps\\Tool\\cmd.exe\" /c echo a>b.txt"},
        {"C:\\App\\", "\"sub dir\\x.exe\" /min", "\"C:\\App\\sub dir\\x.exe\" /min"},
        {"C:\\App\\", "\"\" /x", nullptr},
        {"C:\\App\\", "\"open", nullptr},
        {"C:\\App\\", " /x", nullptr},
    };
    for (const auto& r : rows) {
        char line[2 * SETUP_PATH_SIZE] = "";
        EXPECT_EQ(ExecCommandLine(r.folder, r.entry, line, sizeof line), r.line ? 1 : 0) << r.entry;
        if (r.line) {
            EXPECT_STREQ(line, r.line) << r.entry;
        }
    }
    char small[16];
    EXPECT_EQ(ExecCommandLine("C:\\App\\", "program.exe", small, sizeof small), 0);
}

TEST(SetupStartUp, ModesNamesAndSystems)
{
    const char* path;
    EXPECT_EQ(SetupModeOf("", &path), MODE_INSTALL);
    EXPECT_EQ(SetupModeOf("/r", &path), MODE_UNINSTALL_REQUEST);
    EXPECT_EQ(SetupModeOf("R", &path), MODE_UNINSTALL_REQUEST);
    EXPECT_EQ(SetupModeOf("/X C:\\App\\SETUP.EXE", &path), MODE_INSTALL);
    ASSERT_EQ(SetupModeOf("x C:\\App\\SETUP.EXE", &path), MODE_UNINSTALL_RUN);
    EXPECT_STREQ(path, "C:\\App\\SETUP.EXE");
    ASSERT_EQ(SetupModeOf("x", &path), MODE_UNINSTALL_RUN);
    EXPECT_STREQ(path, "");

    char folder[SETUP_PATH_SIZE], file[SETUP_PATH_SIZE], inf[SETUP_PATH_SIZE];
    ASSERT_EQ(SplitModulePath("C:\\App\\INSTALL.EXE", folder, file), 1);
    EXPECT_STREQ(folder, "C:\\App\\");
    ASSERT_EQ(SettingsFileNameOf(file, inf), 1);
    EXPECT_STREQ(inf, "INSTALL.INF");
    ASSERT_EQ(SettingsFileNameOf("setup.exe", inf), 1);
    EXPECT_STREQ(inf, "setup.INF");

    EXPECT_FALSE(OsAllowsSetup(0, 3));
    EXPECT_FALSE(OsAllowsSetup(2, 3));
    EXPECT_TRUE(OsAllowsSetup(1, 4));
    EXPECT_TRUE(OsAllowsSetup(2, 4));
    EXPECT_TRUE(OsAllowsSetup(2, 10));
}

TEST(SetupRemoval, FoldersAreComparedAsTheSystemResolvesThem)
{
    const struct {
        const char *path, *normal;
    } rows[] = {
        {"C:\\Fenlop", "C:\\Fenlop\\"},
        {"C:\\Program Files.\\", "C:\\Program Files\\"},
        {"C:\\Windows \\", "C:\\Windows\\"},
        {"C:\\Windows. . \\System32", "C:\\Windows\\System32\\"},
        {"C:\\Program Files\\X\\..\\", "C:\\Program Files\\"},
        {"C:\\Program Files\\X\\.. \\", "C:\\Program Files\\"},
        {"C:\\a\\.\\\\b\\...\\", "C:\\a\\b\\"},
        {"C:/Windows/System32/", "C:\\Windows\\System32\\"},
        {"C:\\..\\..\\", "C:\\"},
        {"C:\\\x95\x5C\\x", "C:\\\x95\x5C\\x\\"},  // the trail byte 0x5C is no level
        {"C:\\x\x8D.\\", "C:\\x\x8D.\\"},             // nor a dot after a lead byte an end
        {"\\\\server\\share\\x\\..\\..", "\\\\server\\share\\"},
        {"\\\\server", nullptr},
        {"\\\\\\share", nullptr},
        {"Fenlop\\", nullptr},
        {"C:Fenlop", nullptr},
        {"C:\\x\x81", nullptr},
    };
    for (const auto& r : rows) {
        char out[SETUP_PATH_SIZE] = "";
        EXPECT_EQ(NormalizeFolderText(r.path, out), r.normal ? 1 : 0) << r.path;
        if (r.normal) {
            EXPECT_STREQ(out, r.normal) << r.path;
        }
    }
    EXPECT_TRUE(SameFolder("c:\\fenlop", "C:\\Fenlop\\"));
    EXPECT_FALSE(SameFolder("C:\\Fenlop2\\", "C:\\Fenlop\\"));
    EXPECT_TRUE(IsBelowFolder("C:\\App\\sub\\x.exe", "c:\\app\\"));
    EXPECT_FALSE(IsBelowFolder("C:\\App\\", "C:\\App"));
    EXPECT_FALSE(IsBelowFolder("C:\\AppData\\x.exe", "C:\\App\\"));
    EXPECT_FALSE(IsBelowFolder("C:\\App\\..\\Windows\\x.exe", "C:\\App\\"));

    // The system's folders as the system gives them; short forms are made
    // long by the caller, through the system.
    const char* system[] = {"C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM32", "C:\\Program Files\\", "C:\\ProgramData"};
    const struct {
        const char* folder;
        int ok;
    } clean[] = {
        {"C:\\", 0},
        {"c:\\windows\\", 0},
        {"C:\\WINDOWS\\SYSTEM32\\", 0},
        {"C:\\PROGRAM FILES", 0},
        {"C:\\Program Files.\\", 0},
        {"C:\\Windows \\", 0},
        {"C:\\Program Files\\X\\..\\", 0},
        {"C:\\ProgramData\\", 0},
        {"C:\\x\\..\\..\\", 0},
        {"\\\\server\\share\\", 0},
        {"\\", 0},
        {"C:\\Fenlop\\", 1},
        {"C:\\Program Files\\Fenlop\\", 1},
        {"C:\\ProgramData\\Fenlop\\", 1},
        {"C:\\WIN\\", 1},
    };
    for (const auto& r : clean)
        EXPECT_EQ(MayCleanFolder(r.folder, system, 4), r.ok) << r.folder;

    EXPECT_TRUE(IsGidFileName("HELP.GID"));
    EXPECT_TRUE(IsGidFileName("x.Gid"));
    EXPECT_FALSE(IsGidFileName("a.b.gid"));
    EXPECT_FALSE(IsGidFileName("gid"));
    EXPECT_EQ(FreeSpaceTenth(1000000, 8, 512), 409600000u);
}

TEST(SetupRemoval, CreatedFilesList)
{
    CreatedList list;
    AddCreated(&list.files, "C:\\App\\main.exe");
    AddCreated(&list.files, "C:\\WINDOWS\\b.txt");
    AddCreated(&list.files, "c:\\app\\MAIN.EXE");  // the same file again
    AddCreated(&list.folders, "C:\\App\\");
    AddCreated(&list.folders, "C:\\App\\\x95\x5C\\");
    const std::string text = FormatCreatedList(list);
    EXPECT_EQ(text.substr(text.find("\r\n") + 2),
              "F C:\\App\\main.exe\r\nF C:\\WINDOWS\\b.txt\r\nD C:\\App\\\r\nD C:\\App\\\x95\x5C\\\r\n");
    CreatedList back;
    ASSERT_EQ(ParseCreatedList(text, &back), 1);
    EXPECT_EQ(back.files, list.files);
    EXPECT_EQ(back.folders, list.folders);
    EXPECT_TRUE(HoldsPath(back.files, "C:\\APP\\main.exe"));
    EXPECT_FALSE(HoldsPath(back.files, "C:\\App\\main.ex"));

    const struct {
        std::string text;
        int ok;
        size_t files, folders;
    } rows[] = {
        {"", 1, 0, 0},
        {"; comment\n\nF C:\\a.txt\nD C:\\d\\", 1, 1, 1},  // LF alone and no final line end
        {"F C:\\a.txt\r\nX C:\\b.txt\r\n", 0, 0, 0},  // one bad line refuses the list
        {"F C:\\d\\\r\n", 0, 0, 0},                   // a file that names a folder
        {"D C:\\d\r\n", 0, 0, 0},
        {"F a.txt\r\n", 0, 0, 0},                      // relative
        {"F\tC:\\a.txt\r\n", 0, 0, 0},
        {"F C:\\a\tb.txt\r\n", 0, 0, 0},
        {"F C:\\a\x81\r\n", 0, 0, 0},
        {"F C:\\" + std::string(256, 'a') + "\r\n", 1, 1, 0},
        {"F C:\\" + std::string(257, 'a') + "\r\n", 0, 0, 0},
        {"F\r\n", 0, 0, 0},
        {std::string(CREATED_LIST_LIMIT + 1, ';'), 0, 0, 0},
    };
    for (const auto& r : rows) {
        CreatedList parsed;
        EXPECT_EQ(ParseCreatedList(r.text, &parsed), r.ok) << r.text.substr(0, 40);
        EXPECT_EQ(parsed.files.size(), r.files) << r.text.substr(0, 40);
        EXPECT_EQ(parsed.folders.size(), r.folders) << r.text.substr(0, 40);
    }
    char name[SETUP_PATH_SIZE];
    ASSERT_EQ(CreatedListNameOf("SETUP.EXE", name), 1);
    EXPECT_STREQ(name, "SETUP.LST");
}

TEST(SetupRemoval, WininitSectionText)
{
    // Repeated keys are the rule in this section: every line stays.
    const char lines[] = "NUL=C:\\OLD.EXE\0NUL=C:\\OLD2.EXE\0C:\\NEW.DLL=C:\\TMP.DLL\0";
    std::string text;
    ASSERT_EQ(BuildWininitText(lines, sizeof lines, "C:\\WINDOWS\\SYSTEM\\SETUP.EXE", &text), 1);
    EXPECT_EQ(text,
              "[Rename]\r\nNUL=C:\\OLD.EXE\r\nNUL=C:\\OLD2.EXE\r\nC:\\NEW.DLL=C:\\TMP.DLL\r\n"
              "NUL=C:\\WINDOWS\\SYSTEM\\SETUP.EXE\r\n");

    // The whole file: other sections stay, every [Rename] line is gathered
    // at the end before the new one, the old end mark goes.
    const struct {
        std::string old, expected;
    } files[] = {
        {"", "[Rename]\r\nNUL=C:\\S.EXE\r\n"},
        {"[boot]\r\nx=1\r\n\x1A", "[boot]\r\nx=1\r\n[Rename]\r\nNUL=C:\\S.EXE\r\n"},
        {"[Rename]\r\nNUL=C:\\A.EXE\r\n[boot]\nx=1\n[rename]\r\nNUL=C:\\B.EXE\r\n; note\r\n\r\n",
         "[boot]\r\nx=1\r\n[Rename]\r\nNUL=C:\\A.EXE\r\nNUL=C:\\B.EXE\r\nNUL=C:\\S.EXE\r\n"},
    };
    for (const auto& f : files) {
        ASSERT_EQ(BuildWininitFile(f.old, "C:\\S.EXE", &text), 1) << f.old;
        EXPECT_EQ(text, f.expected) << f.old;
    }

    // A section that grows beyond 30,000 bytes leaves the file alone.
    // 768 lines of 39 bytes with CR LF, the head and "NUL=C:\S.EXE": 29,976 bytes.
    std::string big;
    for (int i = 0; i < 768; i++)
        big += std::string("NUL=C:\\") + std::string(30, 'x') + '\0';
    EXPECT_EQ(BuildWininitText(big.data(), big.size(), "C:\\S.EXE", &text), 1);
    big += std::string("NUL=C:\\") + std::string(30, 'x') + '\0';
    EXPECT_EQ(BuildWininitText(big.data(), big.size(), "C:\\S.EXE", &text), 0);
    std::string bigFile = "[Rename]\r\n";
    for (int i = 0; i < 769; i++)
        bigFile += std::string("NUL=C:\\") + std::string(30, 'x') + "\r\n";
    EXPECT_EQ(BuildWininitFile(bigFile, "C:\\S.EXE", &text), 0);
}

}  // namespace
