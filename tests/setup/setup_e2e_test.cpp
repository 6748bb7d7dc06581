// setup.exe end to end with a test product: install into a chosen folder,
// shortcuts, uninstall entry, the running-program refusal, the uninstall with
// and without files of the user, and the faults it must not have.
#include "tests/setup/setup_e2e_fixture.h"

namespace {

const char PRODUCT_INF[] =
    "[Install]\r\nTitle=TestProd\r\nFolder=\\TestProd\r\nClassName=TestProdWindow\r\n"
    "1=main.exe\r\n2=readme.txt,doc\\readme.txt\r\n3=user.txt/e\r\n"
    "4=a.txt,W!testprod_b.txt\r\n5=s.txt,S!testprod_s.txt\r\n"
    "[Group]\r\nGroupName=TestProd Group\r\n1=Main,main.exe,/min\r\n2=Readme,doc\\readme.txt\r\n"
    "[Reg]\r\n1=HKEY_CURRENT_USER\\Software\\Orbo\\TestProd\r\n2=HKEY_USERS\\x\r\n3=HKEY_CURRENT_USER\\\r\n"
    // Keys of the system and of every program, which no product may name.
    "4=HKEY_CURRENT_USER\\Software\r\n5=HKEY_CLASSES_ROOT\\.testprod\r\n"
    "6=HKEY_CURRENT_USER\\Software\\Microsoft\\TestProdShared\r\n7=HKEY_LOCAL_MACHINE\\SYSTEM\\TestProd\r\n";
// Keys the refused [Reg] entries name; each must survive the uninstall.
const struct {
    HKEY root;
    const char* subkey;
} SHARED_KEYS[] = {
    {HKEY_CLASSES_ROOT, ".testprod"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\TestProdShared"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\TestProd"},
};
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
        // Shortcuts a test without an uninstall left: they lead nowhere now.
        for (const char* kind : {"Programs", "Desktop", "Startup"})
            DeleteFileA((ShellFolder(kind) + "\\TestProd.lnk").c_str());
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

TEST_F(SetupE2E, InstallsIntoTheChosenFolderAndTheUninstallRemovesWhatItMade)
{
    // The user's own folder, with a file of an earlier version that the
    // user keeps ("/e").
    CreateDirectoryA("C:\\Chosen Place", nullptr);
    CreateDirectoryA(CHOSEN, nullptr);
    WriteFileBytes(std::string(CHOSEN) + "\\user.txt", "kept");
    HKEY key;
    RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Orbo\\TestProd\\Sub", &key);
    RegCloseKey(key);
    RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Orbo\\Neighbour", &key);
    RegCloseKey(key);
    for (const auto& k : SHARED_KEYS) {
        ASSERT_EQ(RegCreateKeyA(k.root, k.subkey, &key), ERROR_SUCCESS) << k.subkey;
        RegCloseKey(key);
    }

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
    // must still be known. Unknown roots, a bare hive and the shared keys
    // are refused. The folder and the file the user had stay.
    run = Uninstall(CHOSEN, "setup-uninstall");
    EXPECT_EQ(run.messages, Texts({"TestProd とそのすべてのｺﾝﾎﾟｰﾈﾝﾄを削除しますか？", REG_MESSAGE, REG_MESSAGE,
                                   REG_MESSAGE, REG_MESSAGE, REG_MESSAGE, REG_MESSAGE}));
    EXPECT_EQ(run.result, "TestProdのｱﾝｲﾝｽﾄｰﾙは正常に終了しました。");
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

    // Everything it made is gone; the root itself was never its own.
    SetupRun run = Uninstall("C:");
    EXPECT_EQ(run.result, "RootProdのｱﾝｲﾝｽﾄｰﾙは正常に終了しました。");
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

TEST_F(SetupE2E, AMissingSourceIsAFailedEntryAndLeavesEveryDestinationAlone)
{
    // What stands at each destination before: a file of an earlier version,
    // a file the user keeps ("/e"), and files of the Windows and system
    // folders. Their sources are not in the package (quarantined, say).
    const std::string dir = std::string(CHOSEN) + "\\";
    const std::string windowsFile = WindowsDir() + "\\testprod_w.txt", systemFile = SystemDir() + "\\testprod_w.txt";
    CreateDirectoryA("C:\\Chosen Place", nullptr);
    CreateDirectoryA(CHOSEN, nullptr);
    WriteFileBytes(dir + "gone.txt", "old");
    WriteFileBytes(dir + "kept.txt", "mine");
    WriteFileBytes(windowsFile, "windows");
    WriteFileBytes(systemFile, "system");
    WriteProduct("[Install]\r\nTitle=TestProd\r\nFolder=\\TestProd\r\n1=main.exe\r\n2=gone.txt\r\n3=kept.txt/e\r\n"
                 "4=w.txt,W!testprod_w.txt\r\n5=w.txt,S!testprod_w.txt\r\n");

    SetupChoice choice;
    choice.folder = CHOSEN;
    SetupRun run = Install(choice);
    EXPECT_EQ(run.messages, Texts({"gone.txt のｺﾋﾟｰに失敗しました。", "kept.txt のｺﾋﾟｰに失敗しました。",
                                   "w.txt のｺﾋﾟｰに失敗しました。", "w.txt のｺﾋﾟｰに失敗しました。", FAILURE_TEXT}));
    EXPECT_EQ(ReadFileBytes(dir + "main.exe"), "new main.exe");
    EXPECT_EQ(ReadFileBytes(dir + "gone.txt"), "old");
    EXPECT_EQ(ReadFileBytes(dir + "kept.txt"), "mine");
    EXPECT_EQ(ReadFileBytes(windowsFile), "windows");
    EXPECT_EQ(ReadFileBytes(systemFile), "system");

    // Nor does the uninstall take them: the install did not make them.
    run = Uninstall(CHOSEN);
    EXPECT_EQ(run.result, "TestProdのｱﾝｲﾝｽﾄｰﾙは正常に終了しました。");
    EXPECT_EQ(FolderNames(CHOSEN), Texts({"gone.txt", "kept.txt"}));
    EXPECT_EQ(ReadFileBytes(windowsFile), "windows");
    EXPECT_EQ(ReadFileBytes(systemFile), "system");
    DeleteFileA(windowsFile.c_str());
    DeleteFileA(systemFile.c_str());
}

TEST_F(SetupE2E, AnExistingFolderIsKeptAsItIsThroughInstallAndUninstall)
{
    // Its name on the disk in capitals: a folder removed and made again
    // would come back as typed. (Wine 8 makes no junctions: their case is
    // not tried here.)
    CreateDirectoryA("C:\\Chosen Place", nullptr);
    ASSERT_TRUE(CreateDirectoryA("C:\\Chosen Place\\TESTPROD", nullptr));
    WriteProduct("[Install]\r\nTitle=TestProd\r\nFolder=\\TestProd\r\n1=main.exe\r\n2=readme.txt,doc\\readme.txt\r\n");
    SetupChoice choice;
    choice.folder = CHOSEN;
    ASSERT_EQ(Install(choice).messages, Texts({SUCCESS_TEXT}));
    EXPECT_EQ(FolderNames("C:\\Chosen Place"), Texts({"TESTPROD"}));
    EXPECT_EQ(ReadFileBytes(std::string(CHOSEN) + "\\doc\\readme.txt"), "new readme.txt");

    SetupRun run = Uninstall(CHOSEN);
    EXPECT_EQ(run.result, "TestProdのｱﾝｲﾝｽﾄｰﾙは正常に終了しました。");
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
    SetupChoice choice;
    choice.folder = CHOSEN;
    ASSERT_EQ(Install(choice).messages, Texts({SUCCESS_TEXT}));
    ASSERT_EQ(Install(choice).messages, Texts({SUCCESS_TEXT}));
    HKEY key;
    RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Orbo\\TestProd", &key);
    RegCloseKey(key);

    // The program still open: the removal stops, and the product keeps
    // its settings and its entry.
    const std::string dir = std::string(CHOSEN) + "\\";
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
    SetupRun run = Uninstall(CHOSEN);
    CloseHandle(held);
    ASSERT_EQ(run.messages.size(), 3u);
    EXPECT_EQ(run.messages[2], dir + "main.exe の削除に失敗しました。TestProdを終了して、もう一度ｱﾝｲﾝｽﾄｰﾙをやり直してください。");
    EXPECT_EQ(run.result, dir + LEFTOVER_TEXT);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Orbo\\TestProd"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::string(UNINSTALL_ROOT) + "TestProd"));

    run = Uninstall(CHOSEN);
    EXPECT_EQ(run.result, "TestProdのｱﾝｲﾝｽﾄｰﾙは正常に終了しました。");
    EXPECT_FALSE(Exists(CHOSEN));
    EXPECT_FALSE(Exists(WindowsDir() + "\\testprod_new.txt"));
    EXPECT_EQ(ReadFileBytes(windowsFile), "new a.txt");  // replaced, as the entry says, but not removed
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Orbo\\TestProd"));
    DeleteFileA(windowsFile.c_str());
}

TEST_F(SetupE2E, TheUninstallRunsOnlyItsOwnNewCopyAndOnlyForItsInstallation)
{
    SetupChoice choice;
    choice.folder = CHOSEN;
    ASSERT_EQ(Install(choice).messages, Texts({SUCCESS_TEXT}));
    const std::string dir = std::string(CHOSEN) + "\\";

    // Started from the package folder, in either mode, it removes nothing.
    const std::string refusal = "TestProd はこのﾌｫﾙﾀﾞにｲﾝｽﾄｰﾙされていないため、削除できません。";
    EXPECT_EQ(RunSetup("\"" + product + "\\SETUP.EXE\" /r", product).messages, Texts({refusal.c_str()}));
    EXPECT_EQ(RunSetup("\"" + product + "\\SETUP.EXE\" x " + product + "\\SETUP.EXE", product).messages,
              Texts({refusal.c_str()}));
    for (const char* name : {"SETUP.EXE", "SETUP.INF", "main.exe", "readme.txt"})
        EXPECT_TRUE(Exists(product + "\\" + name)) << name;
    EXPECT_TRUE(Exists(dir + "main.exe"));
    EXPECT_TRUE(Exists(Group() + "\\Main.lnk"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::string(UNINSTALL_ROOT) + "TestProd"));

    // No copy can be written: nothing is started and nothing removed.
    char tmp[MAX_PATH] = "", temp[MAX_PATH] = "";
    GetEnvironmentVariableA("TMP", tmp, MAX_PATH);
    GetEnvironmentVariableA("TEMP", temp, MAX_PATH);
    SetEnvironmentVariableA("TMP", "C:\\no such folder");
    SetEnvironmentVariableA("TEMP", "C:\\no such folder");
    SetupRun run = Uninstall(CHOSEN);
    SetEnvironmentVariableA("TMP", tmp[0] ? tmp : nullptr);
    SetEnvironmentVariableA("TEMP", temp[0] ? temp : nullptr);
    EXPECT_EQ(run.messages, Texts({"TestProd とそのすべてのｺﾝﾎﾟｰﾈﾝﾄを削除しますか？",
                                   "ｱﾝｲﾝｽﾄｰﾙ用ﾌﾟﾛｸﾞﾗﾑの起動に失敗しました。手動で削除してください。"}));
    EXPECT_TRUE(Exists(dir + "main.exe"));

    // A program of that name in the system folder is neither replaced nor run.
    const std::string planted = SystemDir() + "\\SETUP.EXE";
    ASSERT_TRUE(WriteFileBytes(planted, "someone else's"));
    run = Uninstall(CHOSEN);
    EXPECT_EQ(run.result, "TestProdのｱﾝｲﾝｽﾄｰﾙは正常に終了しました。");
    EXPECT_EQ(ReadFileBytes(planted), "someone else's");
    EXPECT_FALSE(Exists(CHOSEN));
    DeleteFileA(planted.c_str());
    DeleteFileA((SystemDir() + "\\testprod_s.txt").c_str());
}

TEST_F(SetupE2E, ShortcutsOfOtherProgramsAreLeftAlone)
{
    // Another program's shortcuts under the names this product uses.
    const std::string notepad = WindowsDir() + "\\notepad.exe";
    const std::string desktopLink = ShellFolder("Desktop") + "\\TestProd.lnk";
    CreateDirectoryA(Group().c_str(), nullptr);
    ASSERT_TRUE(WriteLink(Group() + "\\Main.lnk", notepad));
    ASSERT_TRUE(WriteLink(desktopLink, notepad));
    SetupChoice choice;
    choice.folder = CHOSEN;
    choice.desktop = true;
    SetupRun run = Install(choice);
    EXPECT_EQ(run.messages, Texts({(Group() + "\\Main.lnk は他のﾌﾟﾛｸﾞﾗﾑのｼｮｰﾄｶｯﾄなので作成しませんでした。").c_str(),
                                   (desktopLink + " は他のﾌﾟﾛｸﾞﾗﾑのｼｮｰﾄｶｯﾄなので作成しませんでした。").c_str(),
                                   FAILURE_TEXT}));
    EXPECT_EQ(ReadLink(Group() + "\\Main.lnk").path, notepad);
    EXPECT_EQ(ReadLink(desktopLink).path, notepad);
    EXPECT_EQ(ReadLink(Group() + "\\Readme.lnk").path, std::string(CHOSEN) + "\\doc\\readme.txt");

    Uninstall(CHOSEN);
    EXPECT_EQ(ReadLink(Group() + "\\Main.lnk").path, notepad);
    EXPECT_EQ(ReadLink(desktopLink).path, notepad);
    EXPECT_FALSE(Exists(Group() + "\\Readme.lnk"));
    EXPECT_FALSE(Exists(CHOSEN));
    RemoveTree(Group());
    DeleteFileA(desktopLink.c_str());
    DeleteFileA((SystemDir() + "\\testprod_s.txt").c_str());
}

TEST_F(SetupE2E, ExecProgramsInAFolderWithASpaceRunQuoted)
{
    // Unquoted, "C:\My Apps\Tool\cmd.exe" would start C:\My.exe first: here
    // a setup that would say its settings file is missing.
    ASSERT_TRUE(CopyFileA(WindowsPath(SETUP_EXE).c_str(), "C:\\My.exe", FALSE));
    ASSERT_TRUE(CopyFileA((SystemDir() + "\\cmd.exe").c_str(), (product + "\\cmd.exe").c_str(), FALSE));
    WriteProduct("[Install]\r\nTitle=TestProd\r\nFolder=\\TestProd\r\nNoUninst=1\r\n1=cmd.exe\r\n"
                 "[Exec]\r\n1=cmd.exe /c echo ran>ran.txt\r\n");
    SetupChoice choice;
    choice.folder = "C:\\My Apps\\Tool";
    EXPECT_EQ(Install(choice).messages, Texts({"ｲﾝｽﾄｰﾙは正常に終了しました。"}));
    EXPECT_EQ(ReadFileBytes(product + "\\ran.txt"), "ran\r\n");
    DeleteFileA("C:\\My.exe");
    RemoveTree("C:\\My Apps");
}

TEST_F(SetupE2E, OneSetupOfAProductRunsAtATime)
{
    // Both driven by hand: RunSetup would answer the first one's dialog too.
    const std::string command = "\"" + product + "\\SETUP.EXE\"";
    Process first = StartProcess(command, product), second;
    HWND dialog = nullptr, box = nullptr;
    if (WaitUntil([&] { return (dialog = FindProcessWindow(first, "#32770")) != nullptr; }, 30000)) {
        second = StartProcess(command, product);
        EXPECT_TRUE(WaitUntil(
            [&] { return (box = FindProcessWindow(second, "#32770")) != nullptr && !MessageBoxText(box).empty(); },
            30000));
        EXPECT_EQ(MessageBoxText(box), "TestProd のｾｯﾄｱｯﾌﾟは既に実行中です。");
        Click(box, IDOK);
        EXPECT_EQ(WaitForExit(&second), 1);
        Click(dialog, IDCANCEL);
        EXPECT_EQ(WaitForExit(&first), 1);
    } else {
        ADD_FAILURE() << "no folder dialog";
    }
    EndProcess(&second);
    EndProcess(&first);
}

}  // namespace
