// setup.exe end to end with a test product: install into a chosen folder,
// shortcuts, uninstall entry, the running-program refusal, the uninstall with
// and without files of the user, and the faults it must not have.
#include "tests/setup/setup_e2e_fixture.h"

namespace {

const char PRODUCT_INF[] =
    "[Install]\r\nTitle=TestProd\r\nFolder=\\TestProd\r\nClassName=TestProdWindow\r\n"
    "1=main.exe\r\n2=readme.txt,doc\\readme.txt\r\n3=user.txt/e\r\n4=gone.txt\r\n"
    "5=a.txt,W!testprod_b.txt\r\n6=s.txt,S!testprod_s.txt\r\n"
    "[Group]\r\nGroupName=TestProd Group\r\n1=Main,main.exe,/min\r\n2=Readme,doc\\readme.txt\r\n"
    "[Reg]\r\n1=HKEY_CURRENT_USER\\Software\\Orbo\\TestProd\r\n2=HKEY_USERS\\x\r\n3=HKEY_CURRENT_USER\\\r\n";
const char CHOSEN[] = "C:\\Chosen Place\\TestProd";
const char REG_MESSAGE[] = "Regセクションがおかしいです。";

class SetupE2E : public ::testing::Test {
protected:
    std::string product;  // the folder setup.exe is started from

    void SetUp() override
    {
        product = WindowsPath(std::string(E2E_WORK_DIR) + "/product");
        RemoveTree(product);
        CreateDirectoryA(WindowsPath(E2E_WORK_DIR).c_str(), nullptr);
        CreateDirectoryA(product.c_str(), nullptr);
        ASSERT_TRUE(CopyFileA(WindowsPath(SETUP_EXE).c_str(), (product + "\\SETUP.EXE").c_str(), FALSE));
        WriteProduct(PRODUCT_INF);
        RemoveTree("C:\\Chosen Place");
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

    SetupRun Uninstall(const std::string& folder, const std::string& shot = "")
    {
        SetupChoice choice;
        choice.resultShot = shot;
        return RunSetup("\"" + folder + "\\SETUP.EXE\" /r", folder + "\\", choice);
    }

    static std::string Group() { return ShellFolder("Programs") + "\\TestProd Group"; }
};

TEST_F(SetupE2E, InstallsIntoTheChosenFolderAndTheUninstallRemovesItAll)
{
    // An earlier version's files: one the user keeps ("/e"), one no longer shipped.
    CreateDirectoryA("C:\\Chosen Place", nullptr);
    CreateDirectoryA(CHOSEN, nullptr);
    WriteFileBytes(std::string(CHOSEN) + "\\user.txt", "kept");
    WriteFileBytes(std::string(CHOSEN) + "\\gone.txt", "old");
    HKEY key;
    RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Orbo\\TestProd\\Sub", &key);
    RegCloseKey(key);
    RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Orbo\\Neighbour", &key);
    RegCloseKey(key);

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

    const std::string dir = std::string(CHOSEN) + "\\";
    EXPECT_EQ(ReadFileBytes(dir + "main.exe"), "new main.exe");
    EXPECT_EQ(ReadFileBytes(dir + "doc\\readme.txt"), "new readme.txt");
    EXPECT_EQ(ReadFileBytes(dir + "user.txt"), "kept");
    EXPECT_FALSE(Exists(dir + "gone.txt"));
    EXPECT_TRUE(Exists(dir + "SETUP.EXE"));
    EXPECT_TRUE(Exists(dir + "SETUP.INF"));
    EXPECT_EQ(ReadFileBytes(WindowsDir() + "\\testprod_b.txt"), "new a.txt");
    EXPECT_EQ(ReadFileBytes(SystemDir() + "\\testprod_s.txt"), "new s.txt");
    const std::string entry = std::string(UNINSTALL_ROOT) + "TestProd";
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, entry, "DisplayName"), "TestProd");
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, entry, "UninstallString"), "\"" + dir + "SETUP.EXE\" /r");

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
    // must still be known. Unknown roots and a bare hive are refused.
    run = Uninstall(CHOSEN, "setup-uninstall");
    EXPECT_EQ(run.messages, Texts({"TestProd とそのすべてのｺﾝﾎﾟｰﾈﾝﾄを削除しますか？", REG_MESSAGE, REG_MESSAGE}));
    EXPECT_EQ(run.result, "TestProdのｱﾝｲﾝｽﾄｰﾙは正常に終了しました。");
    EXPECT_FALSE(Exists(CHOSEN));
    EXPECT_FALSE(Exists(WindowsDir() + "\\testprod_b.txt"));
    EXPECT_TRUE(Exists(SystemDir() + "\\testprod_s.txt"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Orbo\\TestProd"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Orbo\\Neighbour"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Microsoft"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, entry));
    EXPECT_FALSE(Exists(Group()));
    EXPECT_FALSE(Exists(ShellFolder("Desktop") + "\\TestProd.lnk"));
    // The copy that did the work goes at the next restart.
    std::string pending = RegText(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                                  "PendingFileRenameOperations");
    EXPECT_NE(pending.find("SETUP.EXE"), std::string::npos) << pending;
    DeleteFileA((SystemDir() + "\\testprod_s.txt").c_str());
}

TEST_F(SetupE2E, AUserFileKeepsTheFolderAndIsReported)
{
    SetupChoice choice;
    choice.folder = CHOSEN;
    ASSERT_EQ(Install(choice).messages, Texts({SUCCESS_TEXT}));
    const std::string dir = std::string(CHOSEN) + "\\";
    WriteFileBytes(dir + "notes.txt", "mine");
    WriteFileBytes(dir + "doc\\HELP.GID", "index");

    SetupRun run = Uninstall(CHOSEN, "setup-uninstall-leftover");
    EXPECT_EQ(run.result, dir + LEFTOVER_TEXT);
    EXPECT_EQ(ReadFileBytes(dir + "notes.txt"), "mine");
    EXPECT_FALSE(Exists(dir + "doc"));  // *.gid files go with their folder
    EXPECT_FALSE(Exists(dir + "main.exe"));
    EXPECT_FALSE(Exists(dir + "SETUP.EXE"));
    EXPECT_FALSE(Exists(dir + "SETUP.INF"));
    EXPECT_FALSE(Exists(Group()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::string(UNINSTALL_ROOT) + "TestProd"));
    DeleteFileA((SystemDir() + "\\testprod_s.txt").c_str());
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
    EXPECT_EQ(RunSetup("\"" + product + "\\SETUP.EXE\" /r", product).messages, Texts({refusal.c_str()}));
    EXPECT_TRUE(Exists(product + "\\SETUP.INF"));
    DestroyWindow(running);
}

TEST_F(SetupE2E, AFailedEntryIsReportedAsAFailureAndExecProgramsRunInTurn)
{
    CreateDirectoryA((product + "\\folder.dat").c_str(), nullptr);  // a folder cannot be copied as a file
    ASSERT_TRUE(CopyFileA((SystemDir() + "\\cmd.exe").c_str(), (product + "\\cmd.exe").c_str(), FALSE));
    // The programs run in setup's folder; each waits for the one before.
    WriteProduct("[Install]\r\nTitle=TestProd\r\nFolder=\\TestProd\r\nNoUninst=1\r\n1=main.exe\r\n"
                 "2=folder.dat\r\n3=cmd.exe\r\n[Exec]\r\n1=cmd.exe /c echo first>order.txt\r\n"
                 "2=cmd.exe /c type order.txt>order2.txt & echo second>>order2.txt\r\n");
    SetupChoice choice;
    choice.folder = "C:\\ExecProd";
    choice.progressShot = "setup-progress";
    SetupRun run = Install(choice);
    ASSERT_EQ(run.messages.size(), 2u);
    EXPECT_EQ(run.messages[0], "folder.dat のｺﾋﾟｰに失敗しました。");
    EXPECT_EQ(run.messages[1], "ｲﾝｽﾄｰﾙ中にｴﾗｰがありました。一部のﾌｧｲﾙはｲﾝｽﾄｰﾙされていません。");
    EXPECT_TRUE(Exists("C:\\ExecProd\\main.exe"));
    EXPECT_FALSE(Exists("C:\\ExecProd\\SETUP.EXE"));  // NoUninst
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::string(UNINSTALL_ROOT) + "TestProd"));
    EXPECT_EQ(ReadFileBytes(product + "\\order2.txt"), "first\r\nsecond\r\n");
    RemoveTree("C:\\ExecProd");
}

TEST_F(SetupE2E, ADriveRootIsNeverSweptAndOverlongSettingsAreRefused)
{
    WriteProduct("[Install]\r\nTitle=RootProd\r\nFolder=\\RootProd\r\n1=main.exe\r\n");
    SetupChoice choice;
    choice.folder = "C:";
    ASSERT_EQ(Install(choice).messages, Texts({SUCCESS_TEXT}));
    ASSERT_TRUE(Exists("C:\\main.exe"));
    CreateDirectoryA("C:\\rootprobe", nullptr);
    WriteFileBytes("C:\\rootprobe.gid", "x");

    SetupRun run = Uninstall("C:");
    EXPECT_EQ(run.result, std::string("C:\\") + LEFTOVER_TEXT);
    EXPECT_FALSE(Exists("C:\\main.exe"));
    EXPECT_FALSE(Exists("C:\\SETUP.EXE"));
    EXPECT_TRUE(Exists("C:\\rootprobe"));
    EXPECT_TRUE(Exists("C:\\rootprobe.gid"));
    EXPECT_TRUE(Exists(WindowsDir()));
    RemoveDirectoryA("C:\\rootprobe");
    DeleteFileA("C:\\rootprobe.gid");

    WriteProduct("[Install]\r\nTitle=" + std::string(300, 'T') + "\r\nFolder=\\RootProd\r\n1=main.exe\r\n");
    EXPECT_EQ(Install({}).messages, Texts({"設定ﾌｧｲﾙが壊れているか、または見つかりません。"}));
}

}  // namespace
