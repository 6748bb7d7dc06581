// The installer's portable part: settings file, entry parsers, folder rules
// and the WININIT.INI text.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
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
        {"HKEY_CURRENT_USER\\Software\\Orbo", 1, REG_ROOT_CURRENT_USER, "Software\\Orbo"},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\PythonTools\\X", 1, REG_ROOT_LOCAL_MACHINE, "SOFTWARE\\PythonTools\\X"},
        {"HKEY_CURRENT_USER\\Software\\Orbo\\Python", 1, REG_ROOT_CURRENT_USER, "Software\\Orbo\\Python"},
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
        // Keys that many programs share, and what lies below them.
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_CURRENT_USER\\Software\\ODBC\\ODBC.INI\\X", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_CURRENT_USER\\Software\\AppDataLow", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_CURRENT_USER\\Software\\AppDataLow\\Software\\Orbo", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_CURRENT_USER\\Software\\Python", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\python\\PythonCore\\3.11", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\JavaSoft\\Java Runtime Environment", 0, REG_ROOT_CURRENT_USER,
         nullptr},
        {"HKEY_CURRENT_USER\\Software\\MozillaPlugins\\@orbo.com/x", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Khronos\\Vulkan", 0, REG_ROOT_CURRENT_USER, nullptr},
        {"HKEY_CURRENT_USER\\Software\\Wine", 0, REG_ROOT_CURRENT_USER, nullptr},
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
    AddCreated(&list, CREATED_FILE, "C:\\App\\main.exe");
    AddCreated(&list, CREATED_FILE, "C:\\WINDOWS\\b.txt");
    AddCreated(&list, CREATED_FILE, "c:\\app\\MAIN.EXE");  // the same file again
    AddCreated(&list, CREATED_FOLDER, "C:\\App\\");
    AddCreated(&list, CREATED_FOLDER, "C:\\App\\\x95\x5C\\");
    AddCreated(&list, CREATED_FOLDER, "C:\\App\\\x95\x5C\\");
    AddCreated(&list, CREATED_FOLDER, "C:\\App\\\x95\x61\\");  // a trail byte is no letter: two folders
    AddCreated(&list, CREATED_FOLDER, "C:\\App\\\x95\x41\\");
    const std::string text = FormatCreatedList(list);
    EXPECT_EQ(text.substr(text.find("\r\n") + 2),
              "F C:\\App\\main.exe\r\nF C:\\WINDOWS\\b.txt\r\nD C:\\App\\\r\nD C:\\App\\\x95\x5C\\\r\n"
              "D C:\\App\\\x95\x61\\\r\nD C:\\App\\\x95\x41\\\r\n");
    CreatedList back;
    ASSERT_EQ(ParseCreatedList(text, &back), 1);
    EXPECT_EQ(back.files, list.files);
    EXPECT_EQ(back.folders, list.folders);
    EXPECT_TRUE(HoldsPath(back, CREATED_FILE, "C:\\APP\\main.exe"));
    EXPECT_TRUE(HoldsPath(back, CREATED_FILE, "C:\\App\\.\\main.exe"));
    EXPECT_FALSE(HoldsPath(back, CREATED_FILE, "C:\\App\\main.ex"));
    EXPECT_FALSE(HoldsPath(back, CREATED_FOLDER, "C:\\App\\main.exe"));
    EXPECT_TRUE(HoldsPath(back, CREATED_FOLDER, "c:\\app"));

    // A bad line is refused alone: it removes nothing, the rest is read.
    const struct {
        std::string text;
        int ok;
        size_t files, folders, refused;
    } rows[] = {
        {"", 1, 0, 0, 0},
        {"; comment\n\nF C:\\a.txt\nD C:\\d\\", 1, 1, 1, 0},  // LF alone and no final line end
        {"F C:\\a.txt\r\nX C:\\b.txt\r\nD C:\\d\\\r\n", 1, 1, 1, 1},
        {"F C:\\d\\\r\n", 1, 0, 0, 1},                   // a file that names a folder
        {"D C:\\d\r\n", 1, 0, 0, 1},
        {"F a.txt\r\n", 1, 0, 0, 1},                      // relative
        {"F\tC:\\a.txt\r\n", 1, 0, 0, 1},
        {"F C:\\a\tb.txt\r\n", 1, 0, 0, 1},
        {"F C:\\a\x81\r\n", 1, 0, 0, 1},
        {"F C:\\" + std::string(256, 'a') + "\r\n", 1, 1, 0, 0},
        {"F C:\\" + std::string(257, 'a') + "\r\nF C:\\b.txt\r\n", 1, 1, 0, 1},
        {"F\r\n", 1, 0, 0, 1},
        {std::string(CREATED_LIST_LIMIT + 1, ';'), 0, 0, 0, 0},
    };
    for (const auto& r : rows) {
        CreatedList parsed;
        EXPECT_EQ(ParseCreatedList(r.text, &parsed), r.ok) << r.text.substr(0, 40);
        EXPECT_EQ(parsed.files.size(), r.files) << r.text.substr(0, 40);
        EXPECT_EQ(parsed.folders.size(), r.folders) << r.text.substr(0, 40);
        EXPECT_EQ(parsed.refused, r.refused) << r.text.substr(0, 40);
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

TEST(SetupRemoval, CreatedListAtTheSizeLimit)
{
    // A list of exactly the limit is read; one byte more is refused whole.
    const std::string line = "F C:\\App\\" + std::string(245, 'p') + ".txt\r\n";  // 258 bytes
    std::string text;
    while (text.size() + line.size() <= CREATED_LIST_LIMIT)
        text += line;
    text += std::string(CREATED_LIST_LIMIT - text.size() - 2, ';') + "\r\n";
    ASSERT_EQ(text.size(), CREATED_LIST_LIMIT);
    CreatedList list;
    EXPECT_EQ(ParseCreatedList(text, &list), 1);
    EXPECT_EQ(list.files.size(), 1u);  // the same file again and again
    EXPECT_EQ(list.refused, 0u);
    EXPECT_EQ(ParseCreatedList(text + ";", &list), 0);
    EXPECT_TRUE(list.files.empty());

    // The longest list an install writes is one its uninstall reads: every
    // entry, setup and its settings file a new file of 259 bytes, each in a
    // new folder of its own.
    CreatedList longest;
    for (size_t e = 0; e < SETUP_MAX_ENTRIES + 2; e++) {
        char folder[SETUP_PATH_SIZE];
        snprintf(folder, sizeof folder, "C:\\App\\%05u%s\\", (unsigned)e, std::string(200, 'f').c_str());
        std::string file = folder + std::string(SETUP_PATH_SIZE - 1 - strlen(folder), 'n');
        ASSERT_EQ(file.size(), SETUP_PATH_SIZE - 1);
        AddCreated(&longest, CREATED_FOLDER, folder);
        AddCreated(&longest, CREATED_FILE, file.c_str());
    }
    const std::string written = FormatCreatedList(longest);
    EXPECT_LE(written.size(), CREATED_LIST_LIMIT);
    CreatedList back;
    ASSERT_EQ(ParseCreatedList(written, &back), 1);
    EXPECT_EQ(back.files.size(), longest.files.size());
    EXPECT_EQ(back.folders.size(), longest.folders.size());
    EXPECT_EQ(back.refused, 0u);
}

TEST(SetupEntries, EntriesThatLeaveTheirFolderAreRefused)
{
    // Whatever a settings file says, an entry stays in the place it is put
    // in; the uninstall parses the same way, so such an entry removes
    // nothing either.
    const char* refused[] = {
        "..\\Other\\file.txt",        "a.txt,..\\Other\\file.txt", "a.txt,sub\\..\\..\\x.txt",
        "a.txt,W!..\\x.txt",          "a.txt,S!..\\x.dll",         "a.txt,W!System32\\..\\..\\x",
        "a.txt,.. \\x.txt",           "a.txt,...\\x.txt",          "a.txt,sub\\.\\x.txt",
        "a.txt,C:\\Other\\x.txt",     "a.txt,D:x.txt",             "a.txt,\\Other\\x.txt",
        "a.txt,\\\\server\\share\\x", "a.txt,x.txt:stream",        "a.txt,sub/../../x.txt",
        "a.txt,sub\\\\x.txt",         "a.txt,sub\\",               "a.txt,",
        "a.txt,W!",                   "..\\..\\secret.txt,x.txt",  "C:\\secret.txt,x.txt",
        "sub\\..\\..\\a.txt",         "a.txt,x\x01.txt",
    };
    for (const char* text : refused) {
        InstallEntry e;
        EXPECT_EQ(ParseInstallEntry(text, INSTALL_FOLDER, WINDOWS_DIR, SYSTEM_DIR, &e), 0) << text;
    }
    const char* contained[] = {"a.txt,sub\\deeper\\x.txt", "a.txt,W!sub\\x.txt", "a.txt,..x.txt",
                               "a.txt,x..txt", "\x95\x5C\\a.txt", "a.txt,\x95\x5C\\x.txt"};
    for (const char* text : contained) {
        InstallEntry e;
        EXPECT_EQ(ParseInstallEntry(text, INSTALL_FOLDER, WINDOWS_DIR, SYSTEM_DIR, &e), 1) << text;
    }
}

TEST(SetupRemoval, ListedFilesOutsideTheirFoldersAreRefused)
{
    const char* bases[] = {"C:\\App\\", "C:\\WINDOWS\\", "C:\\Program Files\\App Setup\\"};
    const struct {
        const char* path;
        int ok;
    } rows[] = {
        {"C:\\App\\main.exe", 1},
        {"c:\\app\\doc\\readme.txt", 1},
        {"C:\\WINDOWS\\b.txt", 1},
        {"C:\\Program Files\\App Setup\\SETUP.EXE", 1},
        {"C:\\App\\\x95\x5C\\x.txt", 1},
        {"C:\\Other\\file.txt", 0},
        {"C:\\App\\..\\Other\\file.txt", 0},
        {"C:\\App\\sub\\..\\x.txt", 0},
        {"C:\\App\\.. \\x.txt", 0},
        {"C:\\AppData\\x.txt", 0},
        {"C:\\App\\", 0},
        {"C:\\App", 0},
        {"C:\\App\\x.txt:stream", 0},
        {"C:\\App\\sub/../../x.txt", 0},
        {"C:\\App\\\\x.txt", 0},
        {"D:\\App\\x.txt", 0},
        {"C:\\Program Files\\App Setup\\..\\..\\Windows\\x.dll", 0},
    };
    for (const auto& r : rows)
        EXPECT_EQ(IsListedFileAllowed(r.path, bases, 3), r.ok) << r.path;
    EXPECT_EQ(IsListedFileAllowed("C:\\App\\x.txt", bases, 0), 0);
}

// A file system of a few paths, each with its attributes; -1 stands for a
// path the system cannot tell about.
struct FakeFiles {
    std::vector<std::pair<std::string, long>> entries;
};

int FakeAttributes(void* context, const char* path, uint32_t* attributes)
{
    for (const auto& e : ((FakeFiles*)context)->entries) {
        if (e.first == path) {
            if (e.second < 0)
                return -1;
            *attributes = (uint32_t)e.second;
            return 1;
        }
    }
    return 0;
}

TEST(SetupRemoval, ReparsePointsAnywhereAlongAPath)
{
    const long DIR = 0x10, FILE = 0x20, JUNCTION = 0x10 | 0x400, LINK = 0x20 | 0x400;
    FakeFiles files{{
        {"C:\\App", DIR},
        {"C:\\App\\doc", DIR},
        {"C:\\App\\doc\\readme.txt", FILE},
        {"C:\\App\\doc\\link.txt", LINK},
        {"C:\\App\\junction", JUNCTION},
        {"C:\\App\\junction\\x.txt", FILE},
        {"C:\\Mounted", JUNCTION},
        {"C:\\Mounted\\App", DIR},
        {"C:\\Mounted\\App\\x.txt", FILE},
        {"C:\\Locked", -1},
        {"C:\\\x95\x5C", DIR},
        {"\\\\server\\share\\App", DIR},
        {"\\\\server\\share\\Link", JUNCTION},
    }};
    const PathQuery query = {FakeAttributes, &files};
    const struct {
        const char* path;
        int ok;
    } rows[] = {
        {"C:\\App\\doc\\readme.txt", 1},
        {"C:\\App\\doc\\", 1},
        {"C:\\App\\doc", 1},
        {"C:\\", 1},
        {"C:\\App\\doc\\new.txt", 1},        // not there: nothing to follow
        {"C:\\App\\new\\deeper\\x.txt", 1},
        {"C:\\App\\doc\\link.txt", 0},       // the last level
        {"C:\\App\\junction\\x.txt", 0},     // a level in between
        {"C:\\App\\junction\\", 0},
        {"C:\\Mounted\\App\\x.txt", 0},      // a level above the install folder
        {"C:\\Locked\\x.txt", 0},            // cannot tell
        {"C:\\\x95\x5C\\x.txt", 1},          // the trail byte 0x5C is no level of its own
        {"\\\\server\\share\\App\\x.txt", 1},
        {"\\\\server\\share\\Link\\x.txt", 0},
        {"App\\x.txt", 0},                   // no root
        {"C:App\\x.txt", 0},
    };
    for (const auto& r : rows)
        EXPECT_EQ(NoReparsePointAlong(r.path, query), r.ok) << r.path;
}

TEST(SetupStartUp, TheInstallationAndTheAdministratorsFolder)
{
    const struct {
        const char *location, *uninstall, *expected;
    } rows[] = {
        {"C:\\Fenlop\\", "\"C:\\Program Files\\Fenlop Setup\\SETUP.EXE\" /r", "C:\\Fenlop\\"},
        {"D:\\Apps\\Tool", "\"C:\\Program Files\\Tool Setup\\SETUP.EXE\" /r", "D:\\Apps\\Tool\\"},
        {"", "\"D:\\Apps\\Tool\\SETUP.EXE\" /r", "D:\\Apps\\Tool\\"},  // an entry of the earlier layout
        {"", "D:\\Apps\\Tool\\SETUP.EXE", nullptr},
        {"D:\\\x95\x5C", "", "D:\\\x95\x5C\\"},
        {"D:\\App\x81", "\"D:\\Apps\\Tool\\SETUP.EXE\" /r", nullptr},
    };
    for (const auto& r : rows) {
        char out[SETUP_PATH_SIZE] = "unchanged";
        EXPECT_EQ(InstallationFolder(r.location, r.uninstall, out), r.expected ? 1 : 0) << r.location;
        if (r.expected) {
            EXPECT_STREQ(out, r.expected) << r.location;
        }
    }

    char folder[SETUP_PATH_SIZE];
    ASSERT_EQ(UninstallFolderOf("C:\\Program Files", "Fenlop", folder), 1);
    EXPECT_STREQ(folder, "C:\\Program Files\\Fenlop Setup\\");
    ASSERT_EQ(UninstallFolderOf("C:\\Program Files\\", "Fenlop", folder), 1);
    EXPECT_STREQ(folder, "C:\\Program Files\\Fenlop Setup\\");
    EXPECT_EQ(UninstallFolderOf("C:\\Program Files", "..", folder), 0);
    EXPECT_EQ(UninstallFolderOf("", "Fenlop", folder), 0);
    EXPECT_EQ(UninstallFolderOf(("C:\\" + std::string(250, 'p')).c_str(), "Fenlop", folder), 0);
    ASSERT_EQ(CopyFolderOf("C:\\Program Files\\Fenlop Setup\\", 0x1234abcd, folder), 1);
    EXPECT_STREQ(folder, "C:\\Program Files\\Fenlop Setup\\1234abcd.tmp\\");

    // The access list of both folders: owned by the administrators, kept
    // from what is above, full control for the system and the
    // administrators only, reading and running for the users.
    EXPECT_STREQ(ADMIN_ONLY_FOLDER_SDDL, "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)");

    EXPECT_TRUE(RestartDeletionUsesWininit(1));   // Windows 9x
    EXPECT_FALSE(RestartDeletionUsesWininit(2));  // the NT family, whatever MoveFileEx says
}

}  // namespace
