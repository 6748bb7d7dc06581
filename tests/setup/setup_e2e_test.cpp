// setup.exe end to end with a test product: install into a chosen folder,
// shortcuts, uninstall entry, the running-program refusal, the uninstall with
// and without files of the user, and the faults it must not have.
#include "tests/setup/setup_e2e_fixture.h"

#include "setup/setup_core.h"

namespace {

const char PRODUCT_INF[] =
    "[Install]\r\nTitle=TestProd\r\nFolder=\\TestProd\r\nClassName=TestProdWindow\r\n"
    "1=main.exe\r\n2=readme.txt,doc\\readme.txt\r\n3=user.txt/e\r\n"
    "4=a.txt,W!testprod_b.txt\r\n5=s.txt,S!testprod_s.txt\r\n"
    "[Group]\r\nGroupName=TestProd Group\r\n1=Main,main.exe,/min\r\n2=Readme,doc\\readme.txt\r\n"
    "[Reg]\r\n1=HKEY_CURRENT_USER\\Software\\Orbo\\TestProd\r\n2=HKEY_USERS\\x\r\n3=HKEY_CURRENT_USER\\\r\n"
    // Keys of the system and of every program, which no product may name.
    "4=HKEY_CURRENT_USER\\Software\r\n5=HKEY_CLASSES_ROOT\\.testprod\r\n"
    "6=HKEY_CURRENT_USER\\Software\\Microsoft\\TestProdShared\r\n7=HKEY_LOCAL_MACHINE\\SYSTEM\\TestProd\r\n"
    "8=HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\TestProd\r\n9=HKEY_CURRENT_USER\\Software\\AppDataLow\\TestProd\r\n"
    "10=HKEY_CURRENT_USER\\Software\\Python\\TestProd\r\n11=HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\TestProd\r\n";
// Keys the refused [Reg] entries name; each must survive the uninstall.
const struct {
    HKEY root;
    const char* subkey;
} SHARED_KEYS[] = {
    {HKEY_CLASSES_ROOT, ".testprod"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\TestProdShared"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\TestProd"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\TestProd"},
    {HKEY_CURRENT_USER, "Software\\AppDataLow\\TestProd"},
    {HKEY_CURRENT_USER, "Software\\Python\\TestProd"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\TestProd"},
};
const char CHOSEN[] = "C:\\Chosen Place\\TestProd";
const char REG_MESSAGE[] = "Regセクションがおかしいです。";
const char CONFIRM[] = "TestProd とそのすべてのｺﾝﾎﾟｰﾈﾝﾄを削除しますか？";
const char REMOVED[] = "TestProdのｱﾝｲﾝｽﾄｰﾙは正常に終了しました。";
const char THROUGH_LINK[] = " は再解析ﾎﾟｲﾝﾄ (ｼﾞｬﾝｸｼｮﾝなど) を経由しているため、";
// A product without W! and S! entries, whose uninstall leaves nothing.
const char PLAIN_INF[] = "[Install]\r\nTitle=TestProd\r\nFolder=\\TestProd\r\n1=main.exe\r\n2=readme.txt,doc\\readme.txt\r\n"
                         "[Group]\r\nGroupName=TestProd Group\r\n1=Main,main.exe\r\n[Reg]\r\n1=HKEY_CURRENT_USER\\Software\\Orbo\\TestProd\r\n";

class SetupE2E : public ::testing::Test {
protected:
    std::string product;  // the folder setup.exe is started from
    const std::string dir = std::string(CHOSEN) + "\\";  // the chosen folder, as paths start
    const std::string entry = std::string(UNINSTALL_ROOT) + "TestProd";

    static SetupChoice Into(const std::string& folder)
    {
        SetupChoice choice;
        choice.folder = folder;
        return choice;
    }

    static bool MakeKey(HKEY root, const std::string& subkey)
    {
        HKEY key;
        if (RegCreateKeyA(root, subkey.c_str(), &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    void SetUp() override
    {
        product = WindowsPath(std::string(E2E_WORK_DIR) + "/product");
        RemoveTree(product);
        CreateDirectoryA(WindowsPath(E2E_WORK_DIR).c_str(), nullptr);
        CreateDirectoryA(product.c_str(), nullptr);
        ASSERT_TRUE(CopyFileA(WindowsPath(SETUP_EXE).c_str(), (product + "\\SETUP.EXE").c_str(), FALSE));
        WriteProduct(PRODUCT_INF);
        RemoveTree("C:\\Chosen Place");
        // What a test that failed before its uninstall left.
        for (const char* title : {"TestProd", "RootProd"}) {
            RemoveTree(UninstallFolder(title));
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(UNINSTALL_ROOT) + title).c_str());
        }
        // Shortcuts a test without an uninstall left: they lead nowhere now.
        for (const char* kind : {"Programs", "Desktop", "Startup"})
            DeleteFileA((ShellFolder(kind) + "\\TestProd.lnk").c_str());
        // What the tests put in other places.
        for (const std::string& file : {SystemDir() + "\\testprod_s.txt", SystemDir() + "\\testprod_w.txt",
                                        WindowsDir() + "\\testprod_b.txt", WindowsDir() + "\\testprod_w.txt",
                                        std::string("C:\\My.exe"), std::string("C:\\rootprobe.gid")})
            DeleteFileA(file.c_str());
        for (const char* folder : {"C:\\ExecProd", "C:\\My Apps", "C:\\Other", "C:\\Elsewhere", "C:\\rootprobe"})
            RemoveTree(folder);
    }

    void WriteProduct(const std::string& inf)
    {
        ASSERT_TRUE(WriteFileBytes(product + "\\SETUP.INF", inf));
        for (const char* name : {"main.exe", "readme.txt", "user.txt", "a.txt", "s.txt"})
            ASSERT_TRUE(WriteFileBytes(product + "\\" + name, std::string("new ") + name));
    }

    SetupRun Install(const SetupChoice& choice)
    {
        return RunSetup("\"" + product + "\\SETUP.EXE\"", product, choice);
    }

    // The uninstall as the list of installed programs starts it: the
    // command of the product's entry.
    SetupRun Uninstall(const std::string& title = "TestProd", const std::string& shot = "")
    {
        SetupChoice choice;
        choice.resultShot = shot;
        const std::string command = UninstallCommand(title);
        EXPECT_EQ(command, "\"" + UninstallFolder(title) + "\\SETUP.EXE\" /r");
        return RunSetup(command, "C:\\", choice);
    }

    // Another setup of the product, started by hand while one runs: it
    // says so and ends.
    void ExpectASecondSetupRefused()
    {
        Process second = StartProcess("\"" + product + "\\SETUP.EXE\"", product);
        HWND box = nullptr;
        EXPECT_TRUE(WaitUntil(
            [&] { return (box = FindProcessWindow(second, "#32770")) != nullptr && !MessageBoxText(box).empty(); },
            30000));
        EXPECT_EQ(MessageBoxText(box), "TestProd のｾｯﾄｱｯﾌﾟは既に実行中です。");
        Click(box, IDOK);
        EXPECT_EQ(WaitForExit(&second), 1);
        EndProcess(&second);
    }

    static std::string Group() { return ShellFolder("Programs") + "\\TestProd Group"; }
    static std::string SetupDir() { return UninstallFolder("TestProd") + "\\"; }

    // True when the uninstall folder holds nothing but the copies that did
    // the work, each in a folder of its own, going at the next restart.
    static bool OnlyCopiesLeft()
    {
        for (const std::string& name : FolderNames(UninstallFolder("TestProd"))) {
            if (name.size() != 12 || name.compare(8, 4, ".tmp") != 0 ||
                FolderNames(SetupDir() + name) != Texts({"SETUP.EXE"}))
                return false;
        }
        return true;
    }
};

TEST_F(SetupE2E, InstallsIntoTheChosenFolderAndTheUninstallRemovesWhatItMade)
{
    // The user's own folder, with a file of an earlier version that the
    // user keeps ("/e").
    CreateDirectoryA("C:\\Chosen Place", nullptr);
    CreateDirectoryA(CHOSEN, nullptr);
    WriteFileBytes(std::string(CHOSEN) + "\\user.txt", "kept");
    // A subkey of 200 double-byte characters: 400 bytes, more than a
    // 256-byte buffer holds.
    std::string longName;
    for (int i = 0; i < 200; i++)
        longName += "あ";
    ASSERT_TRUE(MakeKey(HKEY_CURRENT_USER, "Software\\Orbo\\TestProd\\" + longName + "\\Sub"));
    MakeKey(HKEY_CURRENT_USER, "Software\\Orbo\\Neighbour");
    for (const auto& k : SHARED_KEYS)
        ASSERT_TRUE(MakeKey(k.root, k.subkey)) << k.subkey;

    SetupChoice choice;
    choice.refused = {"", "CC\\TestProd"};
    choice.folder = CHOSEN;
    choice.desktop = true;
    choice.folderShot = "setup-folder";
    SetupRun run = Install(choice);
    EXPECT_EQ(run.proposed, "C:\\TestProd\\");
    EXPECT_TRUE(run.desktopOffered);
    EXPECT_EQ(run.messages, Texts({"ﾙｰﾄﾃﾞｨﾚｸﾄﾘにはｲﾝｽﾄｰﾙできません。",
                                   "「C:\\APP」のように、ﾄﾞﾗｲﾌﾞ名も含めた正しいﾊﾟｽ名を指定してください。",
                                   SUCCESS_TEXT}));
    EXPECT_EQ(run.exitCode, 1);

    EXPECT_EQ(ReadFileBytes(dir + "main.exe"), "new main.exe");
    EXPECT_EQ(ReadFileBytes(dir + "doc\\readme.txt"), "new readme.txt");
    EXPECT_EQ(ReadFileBytes(dir + "user.txt"), "kept");
    // setup, its settings and its list in a folder of their own, which only
    // administrators can write (Wine keeps no access lists to show it).
    EXPECT_FALSE(Exists(dir + "SETUP.EXE"));
    EXPECT_EQ(FolderNames(UninstallFolder("TestProd")), Texts({"SETUP.EXE", "SETUP.INF", "SETUP.LST"}));
    EXPECT_EQ(ReadFileBytes(WindowsDir() + "\\testprod_b.txt"), "new a.txt");
    EXPECT_EQ(ReadFileBytes(SystemDir() + "\\testprod_s.txt"), "new s.txt");
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, entry, "DisplayName"), "TestProd");
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, entry, "UninstallString"), "\"" + SetupDir() + "SETUP.EXE\" /r");
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, entry, "InstallLocation"), dir);

    Link main = ReadLink(Group() + "\\Main.lnk");
    EXPECT_EQ(main.path, dir + "main.exe");
    EXPECT_EQ(main.arguments, "/min");
    EXPECT_EQ(main.workdir, CHOSEN);
    EXPECT_EQ(ReadLink(Group() + "\\Readme.lnk").path, dir + "doc\\readme.txt");
    Link desktop = ReadLink(ShellFolder("Desktop") + "\\TestProd.lnk");
    EXPECT_EQ(desktop.path, dir + "main.exe");
    EXPECT_EQ(desktop.arguments, "");
    EXPECT_FALSE(Exists(ShellFolder("Startup") + "\\TestProd.lnk"));

    // The settings file goes before the shortcuts are removed: the group
    // must still be known. Unknown roots, a bare hive and the shared keys
    // are refused. The folder and the file the user had stay.
    run = Uninstall("TestProd", "setup-uninstall");
    std::vector<std::string> expected(11, REG_MESSAGE);
    expected[0] = CONFIRM;
    EXPECT_EQ(run.messages, expected);
    EXPECT_EQ(run.result, REMOVED);
    // Run from a copy in a new folder of the administrators' one.
    EXPECT_EQ(run.runImage.compare(0, SetupDir().size(), SetupDir()), 0) << run.runImage;
    EXPECT_TRUE(OnlyCopiesLeft());
    EXPECT_EQ(FolderNames(CHOSEN), Texts({"user.txt"}));
    EXPECT_EQ(ReadFileBytes(dir + "user.txt"), "kept");
    EXPECT_FALSE(Exists(WindowsDir() + "\\testprod_b.txt"));
    EXPECT_TRUE(Exists(SystemDir() + "\\testprod_s.txt"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Orbo\\TestProd"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Orbo\\Neighbour"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Microsoft"));
    for (const auto& k : SHARED_KEYS) {
        EXPECT_TRUE(KeyExists(k.root, k.subkey)) << k.subkey;
        RegDeleteKeyA(k.root, k.subkey);
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, entry));
    EXPECT_FALSE(Exists(Group()));
    EXPECT_FALSE(Exists(ShellFolder("Desktop") + "\\TestProd.lnk"));
    // The copy that did the work goes at the next restart.
    std::string pending = PendingRenames();
    const std::string copyFolder = run.runImage.substr(0, run.runImage.rfind('\\'));
    EXPECT_NE(pending.find("[\\??\\" + run.runImage + "][][\\??\\" + copyFolder + "][][\\??\\" +
                           UninstallFolder("TestProd") + "][]"),
              std::string::npos)
        << pending;
    EXPECT_FALSE(Exists(WindowsDir() + "\\WININIT.INI"));  // never on the NT family
}

TEST_F(SetupE2E, AUserFileKeepsTheFolderAndIsReported)
{
    ASSERT_EQ(Install(Into(CHOSEN)).messages, Texts({SUCCESS_TEXT}));
    WriteFileBytes(dir + "notes.txt", "mine");
    WriteFileBytes(dir + "doc\\HELP.GID", "index");

    SetupRun run = Uninstall("TestProd", "setup-uninstall-leftover");
    EXPECT_EQ(run.result, dir + LEFTOVER_TEXT);
    EXPECT_EQ(ReadFileBytes(dir + "notes.txt"), "mine");
    EXPECT_FALSE(Exists(dir + "doc"));  // *.gid files go with their folder
    EXPECT_FALSE(Exists(dir + "main.exe"));
    EXPECT_TRUE(OnlyCopiesLeft());
    EXPECT_FALSE(Exists(Group()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, entry));
}

LRESULT CALLBACK PlainWindow(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(w, m, wp, lp);
}

TEST_F(SetupE2E, RefusesBothModesWhileTheProgramRuns)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PlainWindow;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TestProdWindow";
    RegisterClassA(&wc);
    HWND running = CreateWindowA("TestProdWindow", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                 wc.hInstance, nullptr);
    ASSERT_TRUE(running);
    const std::string refusal =
        "TestProd が起動しています。\n関連するｱﾌﾟﾘｹｰｼｮﾝをすべて終了させてから再度、作業を開始してください。";
    SetupRun install = Install({});
    EXPECT_EQ(install.messages, Texts({refusal.c_str()}));
    EXPECT_EQ(install.proposed, "");  // no folder dialog
    SetupChoice choice = Into(CHOSEN);
    DestroyWindow(running);
    ASSERT_EQ(Install(choice).messages, Texts({SUCCESS_TEXT}));
    running = CreateWindowA("TestProdWindow", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    EXPECT_EQ(RunSetup(UninstallCommand("TestProd"), "C:\\").messages, Texts({refusal.c_str()}));
    EXPECT_TRUE(Exists(SetupDir() + "SETUP.INF"));
    EXPECT_TRUE(Exists(std::string(CHOSEN) + "\\main.exe"));
    DestroyWindow(running);
    Uninstall();
}

TEST_F(SetupE2E, AFailedEntryIsReportedAsAFailureAndExecProgramsRunInTurn)
{
    CreateDirectoryA((product + "\\folder.dat").c_str(), nullptr);  // a folder cannot be copied as a file
    ASSERT_TRUE(CopyFileA((SystemDir() + "\\cmd.exe").c_str(), (product + "\\cmd.exe").c_str(), FALSE));
    // The programs run in setup's folder; each waits for the one before.
    WriteProduct("[Install]\r\nTitle=TestProd\r\nFolder=\\TestProd\r\nNoUninst=1\r\n1=main.exe\r\n"
                 "2=folder.dat\r\n3=cmd.exe\r\n[Exec]\r\n1=cmd.exe /c echo first>order.txt\r\n"
                 "2=cmd.exe /c type order.txt>order2.txt & echo second>>order2.txt\r\n");
    SetupChoice choice = Into("C:\\ExecProd");
    choice.progressShot = "setup-progress";
    SetupRun run = Install(choice);
    ASSERT_EQ(run.messages.size(), 2u);
    EXPECT_EQ(run.messages[0], "folder.dat のｺﾋﾟｰに失敗しました。");
    EXPECT_EQ(run.messages[1], "ｲﾝｽﾄｰﾙ中にｴﾗｰがありました。一部のﾌｧｲﾙはｲﾝｽﾄｰﾙされていません。");
    EXPECT_TRUE(Exists("C:\\ExecProd\\main.exe"));
    EXPECT_FALSE(Exists("C:\\ExecProd\\SETUP.EXE"));  // NoUninst
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, entry));
    EXPECT_EQ(ReadFileBytes(product + "\\order2.txt"), "first\r\nsecond\r\n");
}

TEST_F(SetupE2E, ADriveRootIsNeverSweptAndOverlongSettingsAreRefused)
{
    WriteProduct("[Install]\r\nTitle=RootProd\r\nFolder=\\RootProd\r\n1=main.exe\r\n");
    ASSERT_EQ(Install(Into("C:")).messages, Texts({SUCCESS_TEXT}));
    ASSERT_TRUE(Exists("C:\\main.exe"));
    CreateDirectoryA("C:\\rootprobe", nullptr);
    WriteFileBytes("C:\\rootprobe.gid", "x");

    // Everything it made is gone; the root itself was never its own.
    SetupRun run = Uninstall("RootProd");
    EXPECT_EQ(run.result, "RootProdのｱﾝｲﾝｽﾄｰﾙは正常に終了しました。");
    EXPECT_FALSE(Exists("C:\\main.exe"));
    EXPECT_FALSE(Exists(UninstallFolder("RootProd") + "\\SETUP.INF"));
    EXPECT_TRUE(Exists("C:\\rootprobe"));
    EXPECT_TRUE(Exists("C:\\rootprobe.gid"));
    EXPECT_TRUE(Exists(WindowsDir()));

    WriteProduct("[Install]\r\nTitle=" + std::string(300, 'T') + "\r\nFolder=\\RootProd\r\n1=main.exe\r\n");
    EXPECT_EQ(Install({}).messages, Texts({"設定ﾌｧｲﾙが壊れているか、または見つかりません。"}));
}

TEST_F(SetupE2E, AMissingSourceIsAFailedEntryAndLeavesEveryDestinationAlone)
{
    // What stands at each destination before: a file of an earlier version,
    // a file the user keeps ("/e"), and files of the Windows and system
    // folders. Their sources are not in the package (quarantined, say).
    const std::string windowsFile = WindowsDir() + "\\testprod_w.txt", systemFile = SystemDir() + "\\testprod_w.txt";
    CreateDirectoryA("C:\\Chosen Place", nullptr);
    CreateDirectoryA(CHOSEN, nullptr);
    WriteFileBytes(dir + "gone.txt", "old");
    WriteFileBytes(dir + "kept.txt", "mine");
    WriteFileBytes(windowsFile, "windows");
    WriteFileBytes(systemFile, "system");
    WriteProduct("[Install]\r\nTitle=TestProd\r\nFolder=\\TestProd\r\n1=main.exe\r\n2=gone.txt\r\n3=kept.txt/e\r\n"
                 "4=w.txt,W!testprod_w.txt\r\n5=w.txt,S!testprod_w.txt\r\n");

    SetupRun run = Install(Into(CHOSEN));
    EXPECT_EQ(run.messages, Texts({"gone.txt のｺﾋﾟｰに失敗しました。", "kept.txt のｺﾋﾟｰに失敗しました。",
                                   "w.txt のｺﾋﾟｰに失敗しました。", "w.txt のｺﾋﾟｰに失敗しました。", FAILURE_TEXT}));
    EXPECT_EQ(ReadFileBytes(dir + "main.exe"), "new main.exe");
    EXPECT_EQ(ReadFileBytes(dir + "gone.txt"), "old");
    EXPECT_EQ(ReadFileBytes(dir + "kept.txt"), "mine");
    EXPECT_EQ(ReadFileBytes(windowsFile), "windows");
    EXPECT_EQ(ReadFileBytes(systemFile), "system");

    // Nor does the uninstall take them: the install did not make them.
    run = Uninstall();
    EXPECT_EQ(run.result, REMOVED);
    EXPECT_EQ(FolderNames(CHOSEN), Texts({"gone.txt", "kept.txt"}));
    EXPECT_EQ(ReadFileBytes(windowsFile), "windows");
    EXPECT_EQ(ReadFileBytes(systemFile), "system");
}

TEST_F(SetupE2E, AnExistingFolderIsKeptAsItIsThroughInstallAndUninstall)
{
    // Its name on the disk in capitals: a folder removed and made again
    // would come back as typed. (Wine 8 makes no junctions: their case is
    // not tried here.)
    CreateDirectoryA("C:\\Chosen Place", nullptr);
    ASSERT_TRUE(CreateDirectoryA("C:\\Chosen Place\\TESTPROD", nullptr));
    WriteProduct("[Install]\r\nTitle=TestProd\r\nFolder=\\TestProd\r\n1=main.exe\r\n2=readme.txt,doc\\readme.txt\r\n");
    ASSERT_EQ(Install(Into(CHOSEN)).messages, Texts({SUCCESS_TEXT}));
    EXPECT_EQ(FolderNames("C:\\Chosen Place"), Texts({"TESTPROD"}));
    EXPECT_EQ(ReadFileBytes(std::string(CHOSEN) + "\\doc\\readme.txt"), "new readme.txt");

    SetupRun run = Uninstall();
    EXPECT_EQ(run.result, REMOVED);
    EXPECT_EQ(FolderNames("C:\\Chosen Place"), Texts({"TESTPROD"}));
    EXPECT_EQ(FolderNames(CHOSEN), Texts({}));
}

TEST_F(SetupE2E, UninstallRemovesOnlyWhatTheInstallsMadeAndItsSettingsLast)
{
    // A file of the Windows folder that was there before; two installs
    // into a new folder, the second over the first.
    const std::string windowsFile = WindowsDir() + "\\testprod_b.txt";
    WriteFileBytes(windowsFile, "the system's");
    WriteProduct("[Install]\r\nTitle=TestProd\r\nFolder=\\TestProd\r\n1=main.exe\r\n2=readme.txt,doc\\readme.txt\r\n"
                 "3=a.txt,W!testprod_b.txt\r\n4=s.txt,W!testprod_new.txt\r\n"
                 "[Reg]\r\n1=HKEY_CURRENT_USER\\Software\\Orbo\\TestProd\r\n");
    ASSERT_EQ(Install(Into(CHOSEN)).messages, Texts({SUCCESS_TEXT}));
    ASSERT_EQ(Install(Into(CHOSEN)).messages, Texts({SUCCESS_TEXT}));
    MakeKey(HKEY_CURRENT_USER, "Software\\Orbo\\TestProd");

    // The program still open: the removal stops, and the product keeps
    // its settings and its entry.
    // Under Wine the ended setup's handles can close a moment after its
    // process handle is signalled; until then the file is not ours alone.
    HANDLE held = INVALID_HANDLE_VALUE;
    DWORD error = 0;
    WaitUntil([&] {
        held = CreateFileA((dir + "main.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        error = GetLastError();
        return held != INVALID_HANDLE_VALUE || error != ERROR_SHARING_VIOLATION;
    });
    ASSERT_NE(held, INVALID_HANDLE_VALUE) << "CreateFileA: error " << error;
    // An install over it leaves it whole. The new file is written under a
    // name of its own beside the old one and renamed over it; one that
    // fails leaves neither behind.
    WriteFileBytes(product + "\\main.exe", "newer main.exe");
    EXPECT_EQ(Install(Into(CHOSEN)).messages,
              Texts({(dir + "main.exe は他で使用中のため上書きできません。").c_str(), FAILURE_TEXT}));
    EXPECT_EQ(FolderNames(CHOSEN), Texts({"doc", "main.exe"}));
    SetupRun run = Uninstall();
    CloseHandle(held);
    EXPECT_EQ(ReadFileBytes(dir + "main.exe"), "new main.exe");
    ASSERT_EQ(run.messages.size(), 3u);
    EXPECT_EQ(run.messages[2], dir + "main.exe の削除に失敗しました。TestProdを終了して、もう一度ｱﾝｲﾝｽﾄｰﾙをやり直してください。");
    EXPECT_EQ(run.result, dir + LEFTOVER_TEXT);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Orbo\\TestProd"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, entry));

    run = Uninstall();
    EXPECT_EQ(run.result, REMOVED);
    EXPECT_FALSE(Exists(CHOSEN));
    EXPECT_FALSE(Exists(WindowsDir() + "\\testprod_new.txt"));
    EXPECT_EQ(ReadFileBytes(windowsFile), "new a.txt");  // replaced, as the entry says, but not removed
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Orbo\\TestProd"));
}

TEST_F(SetupE2E, TheUninstallRunsOnlyItsOwnNewCopyAndOnlyForItsInstallation)
{
    ASSERT_EQ(Install(Into(CHOSEN)).messages, Texts({SUCCESS_TEXT}));

    // Started from the package folder, in either mode, it removes nothing.
    const std::string refusal = "TestProd はこのﾌｫﾙﾀﾞにｲﾝｽﾄｰﾙされていないため、削除できません。";
    EXPECT_EQ(RunSetup("\"" + product + "\\SETUP.EXE\" /r", product).messages, Texts({refusal.c_str()}));
    EXPECT_EQ(RunSetup("\"" + product + "\\SETUP.EXE\" x " + product + "\\SETUP.EXE", product).messages,
              Texts({refusal.c_str()}));
    for (const char* name : {"SETUP.EXE", "SETUP.INF", "main.exe", "readme.txt"})
        EXPECT_TRUE(Exists(product + "\\" + name)) << name;
    EXPECT_TRUE(Exists(dir + "main.exe"));
    EXPECT_TRUE(Exists(Group() + "\\Main.lnk"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, entry));

    // A program of that name in the system folder is neither replaced nor run.
    const std::string planted = SystemDir() + "\\SETUP.EXE";
    ASSERT_TRUE(WriteFileBytes(planted, "someone else's"));
    SetupRun run = Uninstall();
    EXPECT_EQ(run.result, REMOVED);
    EXPECT_EQ(ReadFileBytes(planted), "someone else's");
    EXPECT_FALSE(Exists(CHOSEN));
    DeleteFileA(planted.c_str());
}

TEST_F(SetupE2E, ShortcutsOfOtherProgramsAreLeftAlone)
{
    // Another program's shortcuts under the names this product uses.
    const std::string notepad = WindowsDir() + "\\notepad.exe";
    const std::string desktopLink = ShellFolder("Desktop") + "\\TestProd.lnk";
    CreateDirectoryA(Group().c_str(), nullptr);
    ASSERT_TRUE(WriteLink(Group() + "\\Main.lnk", notepad));
    ASSERT_TRUE(WriteLink(desktopLink, notepad));
    SetupChoice choice = Into(CHOSEN);
    choice.desktop = true;
    SetupRun run = Install(choice);
    EXPECT_EQ(run.messages, Texts({(Group() + "\\Main.lnk は他のﾌﾟﾛｸﾞﾗﾑのｼｮｰﾄｶｯﾄなので作成しませんでした。").c_str(),
                                   (desktopLink + " は他のﾌﾟﾛｸﾞﾗﾑのｼｮｰﾄｶｯﾄなので作成しませんでした。").c_str(),
                                   FAILURE_TEXT}));
    EXPECT_EQ(ReadLink(Group() + "\\Main.lnk").path, notepad);
    EXPECT_EQ(ReadLink(desktopLink).path, notepad);
    EXPECT_EQ(ReadLink(Group() + "\\Readme.lnk").path, std::string(CHOSEN) + "\\doc\\readme.txt");

    Uninstall();
    EXPECT_EQ(ReadLink(Group() + "\\Main.lnk").path, notepad);
    EXPECT_EQ(ReadLink(desktopLink).path, notepad);
    EXPECT_FALSE(Exists(Group() + "\\Readme.lnk"));
    EXPECT_FALSE(Exists(CHOSEN));
    RemoveTree(Group());
    DeleteFileA(desktopLink.c_str());
}

TEST_F(SetupE2E, ExecProgramsInAFolderWithASpaceRunQuoted)
{
    // Unquoted, "C:\My Apps\Tool\cmd.exe" would start C:\My.exe first: here
    // a setup that would say its settings file is missing.
    ASSERT_TRUE(CopyFileA(WindowsPath(SETUP_EXE).c_str(), "C:\\My.exe", FALSE));
    ASSERT_TRUE(CopyFileA((SystemDir() + "\\cmd.exe").c_str(), (product + "\\cmd.exe").c_str(), FALSE));
    WriteProduct("[Install]\r\nTitle=TestProd\r\nFolder=\\TestProd\r\nNoUninst=1\r\n1=cmd.exe\r\n"
                 "[Exec]\r\n1=cmd.exe /c echo ran>ran.txt\r\n");
    EXPECT_EQ(Install(Into("C:\\My Apps\\Tool")).messages, Texts({"ｲﾝｽﾄｰﾙは正常に終了しました。"}));
    EXPECT_EQ(ReadFileBytes(product + "\\ran.txt"), "ran\r\n");
}

TEST_F(SetupE2E, OneSetupOfAProductRunsAtATime)
{
    // Both driven by hand: RunSetup would answer the first one's dialog too.
    Process first = StartProcess("\"" + product + "\\SETUP.EXE\"", product);
    HWND dialog = nullptr;
    if (WaitUntil([&] { return (dialog = FindProcessWindow(first, "#32770")) != nullptr; }, 30000)) {
        ExpectASecondSetupRefused();
        Click(dialog, IDCANCEL);
        EXPECT_EQ(WaitForExit(&first), 1);
    } else {
        ADD_FAILURE() << "no folder dialog";
    }
    EndProcess(&first);
}

// A standard user can write the product's folder. The edits of the issue:
// an entry that climbs out of it, a list line naming the file outside, a
// [Reg] key of another program.
TEST_F(SetupE2E, EditsOfAStandardUserRemoveNothingOutsideTheProduct)
{
    WriteProduct(PLAIN_INF);
    ASSERT_EQ(Install(Into(CHOSEN)).messages, Texts({SUCCESS_TEXT}));
    CreateDirectoryA("C:\\Other", nullptr);
    ASSERT_TRUE(WriteFileBytes("C:\\Other\\file.txt", "theirs"));
    ASSERT_TRUE(WriteFileBytes("C:\\Other\\file2.txt", "theirs too"));
    MakeKey(HKEY_CURRENT_USER, "Software\\Orbo\\TestProd");
    MakeKey(HKEY_CURRENT_USER, "Software\\Orbo\\Other");

    // Where the earlier layout kept them, and where a user can write: not read.
    WriteFileBytes(dir + "SETUP.INF", "[Install]\r\nTitle=TestProd\r\nFolder=\\TestProd\r\n1=main.exe\r\n"
                                      "2=..\\..\\Other\\file.txt\r\n[Reg]\r\n1=HKEY_CURRENT_USER\\Software\\Orbo\\Other\r\n");
    WriteFileBytes(dir + "SETUP.LST", "F C:\\Other\\file.txt\r\n");
    // The same entries and lines where only administrators can write. Wine
    // keeps no access lists, so they can be made here: the rules refuse them
    // too. (A [Reg] key of another vendor there would be obeyed: only the
    // access list keeps it out.)
    const std::string inf = SetupDir() + "SETUP.INF", list = SetupDir() + "SETUP.LST";
    WritePrivateProfileStringA("Install", "3", "..\\..\\Other\\file.txt", inf.c_str());
    WritePrivateProfileStringA("Install", "4", "x.txt,W!..\\Other\\file2.txt", inf.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, inf.c_str());
    ASSERT_TRUE(WriteFileBytes(list, ReadFileBytes(list) + "F C:\\Other\\file.txt\r\n"
                                                             "F C:\\Chosen Place\\TestProd\\..\\..\\Other\\file2.txt\r\n"));

    // Started as the list of installed programs starts it.
    SetupRun run = Uninstall();
    EXPECT_EQ(run.messages, Texts({CONFIRM, (list + " の 2 行は削除の対象にできないため、無視しました。").c_str()}));
    EXPECT_EQ(run.result, dir + LEFTOVER_TEXT);
    EXPECT_EQ(ReadFileBytes("C:\\Other\\file.txt"), "theirs");
    EXPECT_EQ(ReadFileBytes("C:\\Other\\file2.txt"), "theirs too");
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Orbo\\Other"));
    // The product went all the same; the user's two files stay.
    EXPECT_EQ(FolderNames(CHOSEN), Texts({"SETUP.INF", "SETUP.LST"}));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Orbo\\TestProd"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, entry));
    EXPECT_FALSE(Exists(Group()));
    EXPECT_TRUE(OnlyCopiesLeft());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Orbo\\Other");
}

// Wine shows a Unix symbolic link to a folder as a reparse point: here it
// stands for a junction a user puts in place of a folder of the product.
TEST_F(SetupE2E, NothingIsInstalledOrRemovedThroughALinkedFolder)
{
    WriteProduct(PLAIN_INF);
    SetupChoice choice = Into(CHOSEN);
    ASSERT_EQ(Install(choice).messages, Texts({SUCCESS_TEXT}));
    CreateDirectoryA("C:\\Elsewhere", nullptr);
    CreateDirectoryA("C:\\Elsewhere\\doc", nullptr);
    ASSERT_TRUE(WriteFileBytes("C:\\Elsewhere\\doc\\readme.txt", "theirs"));
    RemoveTree(dir + "doc");
    ASSERT_TRUE(MakeLink("C:\\Elsewhere\\doc", dir + "doc"));

    // An install over it writes nothing through the link...
    const std::string readme = dir + "doc\\readme.txt";
    EXPECT_EQ(Install(choice).messages,
              Texts({(readme + THROUGH_LINK + "ｲﾝｽﾄｰﾙしませんでした。").c_str(), FAILURE_TEXT}));
    EXPECT_EQ(ReadFileBytes("C:\\Elsewhere\\doc\\readme.txt"), "theirs");
    // ...and the uninstall deletes nothing through it; the rest goes.
    SetupRun run = Uninstall();
    EXPECT_EQ(run.messages, Texts({CONFIRM, (readme + THROUGH_LINK + "削除しませんでした。").c_str(),
                                   (dir + "doc" + THROUGH_LINK + "削除しませんでした。").c_str()}));
    EXPECT_EQ(run.result, dir + LEFTOVER_TEXT);
    EXPECT_EQ(ReadFileBytes("C:\\Elsewhere\\doc\\readme.txt"), "theirs");
    EXPECT_EQ(FolderNames(CHOSEN), Texts({"doc"}));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, entry));
    RemoveLink(dir + "doc");

    // Nor is a folder reached through a link taken as the install folder.
    ASSERT_TRUE(MakeLink("C:\\Elsewhere", "C:\\Linked"));
    choice.refused = {"C:\\Linked\\TestProd"};
    EXPECT_EQ(Install(choice).messages,
              Texts({(std::string("C:\\Linked\\TestProd\\") + THROUGH_LINK + "ｲﾝｽﾄｰﾙ先にできません。").c_str(),
                     SUCCESS_TEXT}));
    EXPECT_EQ(FolderNames("C:\\Elsewhere"), Texts({"doc"}));
    RemoveLink("C:\\Linked");
    EXPECT_EQ(Uninstall().result, REMOVED);
}

TEST_F(SetupE2E, ASecondInstallIntoAnotherFolderIsRefused)
{
    WriteProduct(PLAIN_INF);
    ASSERT_EQ(Install(Into(CHOSEN)).messages, Texts({SUCCESS_TEXT}));

    // The one uninstall entry would then name the second folder only.
    SetupChoice other;
    other.refused = {"C:\\Other Place\\TestProd"};
    other.folder = CHOSEN;
    SetupRun run = Install(other);
    EXPECT_EQ(run.proposed, dir);
    EXPECT_EQ(run.messages,
              Texts({("TestProd は " + dir +
                      " にｲﾝｽﾄｰﾙされています。別のﾌｫﾙﾀﾞにｲﾝｽﾄｰﾙするには、先にｺﾝﾄﾛｰﾙﾊﾟﾈﾙの 'ｱﾌﾟﾘｹｰｼｮﾝの追加と削除' "
                      "でそれを削除してください。")
                         .c_str(),
                     SUCCESS_TEXT}));
    EXPECT_FALSE(Exists("C:\\Other Place"));
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, entry, "InstallLocation"), dir);
    EXPECT_EQ(ReadLink(Group() + "\\Main.lnk").path, dir + "main.exe");

    EXPECT_EQ(Uninstall().result, REMOVED);
    EXPECT_FALSE(Exists(CHOSEN));
    EXPECT_FALSE(Exists(Group()));
}

TEST_F(SetupE2E, WithoutItsListTheUninstallRemovesNothingUntilAnInstallOverItRebuildsIt)
{
    WriteProduct(PLAIN_INF);
    ASSERT_EQ(Install(Into(CHOSEN)).messages, Texts({SUCCESS_TEXT}));
    const std::string list = SetupDir() + "SETUP.LST";
    MakeKey(HKEY_CURRENT_USER, "Software\\Orbo\\TestProd");
    const std::string again = "同じﾌｫﾙﾀﾞにもう一度ｲﾝｽﾄｰﾙしてから、削除し直してください。";

    // Missing, then over the size limit: nothing is removed, not the
    // settings key, not the entry, and the dialog says files are left.
    ASSERT_TRUE(DeleteFileA(list.c_str()));
    SetupRun run = Uninstall();
    EXPECT_EQ(run.messages, Texts({CONFIRM, (list + " が見つからないため、削除を中止しました。" + again).c_str()}));
    ASSERT_TRUE(WriteFileBytes(list, std::string(CREATED_LIST_LIMIT + 1, ';')));
    run = Uninstall();
    EXPECT_EQ(run.messages, Texts({CONFIRM, (list + " を読み込めないため、削除を中止しました。" + again).c_str()}));
    EXPECT_EQ(run.result, dir + LEFTOVER_TEXT);
    for (const char* name : {"main.exe", "doc\\readme.txt"})
        EXPECT_TRUE(Exists(dir + name)) << name;
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Orbo\\TestProd"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, entry));
    EXPECT_TRUE(Exists(Group() + "\\Main.lnk"));

    // Installed again into its folder, the files it replaces are its own.
    ASSERT_EQ(Install(Into(CHOSEN)).messages, Texts({SUCCESS_TEXT}));
    run = Uninstall();
    EXPECT_EQ(run.messages, Texts({CONFIRM}));
    EXPECT_EQ(run.result, REMOVED);
    EXPECT_FALSE(Exists(CHOSEN));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Orbo\\TestProd"));
    EXPECT_FALSE(Exists(Group()));
    EXPECT_TRUE(OnlyCopiesLeft());
}

TEST_F(SetupE2E, ABadLineIsRefusedAloneAndAListAtTheSizeLimitIsRead)
{
    WriteProduct(PLAIN_INF);
    ASSERT_EQ(Install(Into(CHOSEN)).messages, Texts({SUCCESS_TEXT}));
    const std::string list = SetupDir() + "SETUP.LST";
    // One line that is no line of a list, then files that are no entries
    // (they stay listed, and nothing is done with them) up to the limit.
    std::string text = ReadFileBytes(list) + "X not a line\r\n";
    for (unsigned n = 0; text.size() + 300 < CREATED_LIST_LIMIT; n++)
        text += "F " + dir + "pad\\" + std::to_string(n) + std::string(200, 'p') + ".txt\r\n";
    text += std::string(CREATED_LIST_LIMIT - text.size() - 2, ';') + "\r\n";
    ASSERT_EQ(text.size(), CREATED_LIST_LIMIT);
    ASSERT_TRUE(WriteFileBytes(list, text));

    SetupRun run = Uninstall();
    EXPECT_EQ(run.messages, Texts({CONFIRM, (list + " の 1 行は削除の対象にできないため、無視しました。").c_str()}));
    EXPECT_EQ(run.result, dir + LEFTOVER_TEXT);
    EXPECT_FALSE(Exists(CHOSEN));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, entry));
    EXPECT_TRUE(OnlyCopiesLeft());
}

// The uninstall entry is written before the first file of the product, and
// every file is listed before it is made.
TEST_F(SetupE2E, AnInstallKilledMidwayIsRemovedThroughItsEntry)
{
    WriteProduct("[Install]\r\nTitle=TestProd\r\nFolder=\\TestProd\r\n1=main.exe\r\n2=readme.txt,doc\\readme.txt\r\n"
                 "3=missing.txt\r\n4=a.txt\r\n");
    Process setup = StartProcess("\"" + product + "\\SETUP.EXE\"", product);
    HWND folder = nullptr, box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (folder = FindProcessWindow(setup, "#32770")) != nullptr &&
                                       GetDlgItem(folder, IDC_FOLDER_EDIT) && IsWindowVisible(folder); },
                          30000));
    SendMessageA(GetDlgItem(folder, IDC_FOLDER_EDIT), WM_SETTEXT, 0, (LPARAM)CHOSEN);
    Click(folder, IDOK);
    // Stopped at the message of the third entry: the first two are in place.
    EXPECT_TRUE(WaitUntil(
        [&] {
            for (HWND d : VisibleDialogs()) {
                DWORD id = 0;
                GetWindowThreadProcessId(d, &id);
                if (id == setup.id && MessageBoxText(d) == "missing.txt のｺﾋﾟｰに失敗しました。")
                    box = d;
            }
            return box != nullptr;
        },
        30000));
    EndProcess(&setup);
    EXPECT_TRUE(Exists(dir + "main.exe"));
    EXPECT_TRUE(Exists(dir + "doc\\readme.txt"));
    EXPECT_FALSE(Exists(dir + "a.txt"));

    SetupRun run = Uninstall();
    EXPECT_EQ(run.messages, Texts({CONFIRM}));
    EXPECT_EQ(run.result, REMOVED);
    EXPECT_FALSE(Exists(CHOSEN));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, entry));
}

TEST_F(SetupE2E, TheUninstallRunKeepsTheGuardItsRequestHandsIt)
{
    WriteProduct(PLAIN_INF);
    ASSERT_EQ(Install(Into(CHOSEN)).messages, Texts({SUCCESS_TEXT}));
    // Driven by hand: RunSetup would answer the run's dialog too. Once the
    // request has ended, its run still keeps every other setup out.
    Process request = StartProcess(UninstallCommand("TestProd"), "C:\\");
    HWND box = nullptr, dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindProcessWindow(request, "#32770")) && MessageBoxText(box) == CONFIRM; },
                          30000));
    Click(box, IDOK);
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (HWND d : VisibleDialogs())
                if (GetDlgItem(d, IDC_REMOVING) && IsWindowEnabled(GetDlgItem(d, IDCANCEL)))
                    dialog = d;
            return dialog != nullptr;
        },
        30000));
    EXPECT_EQ(WaitForExit(&request), 1);
    ExpectASecondSetupRefused();
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_REMOVING)), REMOVED);
    Click(dialog, IDCANCEL);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
    EndProcess(&request);
}

}  // namespace
