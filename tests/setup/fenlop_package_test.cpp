// Fenlop's package as a user gets it: installed by its setup.exe, started
// from its Startup shortcut, used, reinstalled and removed; the library the
// user wrote stays throughout.
#include "tests/setup/setup_e2e_fixture.h"

namespace {

class FenlopPackage : public FenlopE2E {
protected:
    const std::string package = WindowsPath(PACKAGE_DIR);
    const std::string startup = ShellFolder("Startup") + "\\Fenlop.lnk";
    const std::string setup = UninstallFolder("Fenlop");  // setup and its files

    void SetUp() override
    {
        folder = "C:\\Fenlop";
        library = folder + "\\fenlop.htm";
        RemoveTree(folder);
        RemoveTree(setup);
        RegDeleteTreeA(HKEY_CURRENT_USER, SETTINGS_KEY);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(UNINSTALL_ROOT) + "Fenlop").c_str());
    }

    SetupRun InstallWithProposal(const SetupChoice& choice = {})
    {
        return RunSetup("\"" + package + "\\SETUP.EXE\"", package, choice);
    }
};

TEST_F(FenlopPackage, InstallsStartsPastesReinstallsAndUninstallsKeepingTheLibrary)
{
    SetupRun run = InstallWithProposal();
    EXPECT_EQ(run.proposed, "C:\\Fenlop\\");
    EXPECT_FALSE(run.desktopOffered);  // resident: a Startup shortcut only
    ASSERT_EQ(run.messages, Texts({SUCCESS_TEXT}));
    for (const char* name : {"fenlop.exe", "flp.chm", "readme.txt"})
        EXPECT_TRUE(Exists(folder + "\\" + name)) << name;
    for (const char* name : {"SETUP.EXE", "SETUP.INF", "SETUP.LST"}) {
        EXPECT_FALSE(Exists(folder + "\\" + name)) << name;
        EXPECT_TRUE(Exists(setup + "\\" + name)) << name;
    }
    Link link = ReadLink(startup);
    ASSERT_EQ(link.path, folder + "\\fenlop.exe");
    EXPECT_EQ(link.workdir, folder);

    // The user's library, then Fenlop as the shortcut starts it.
    ASSERT_TRUE(CopyFileA(WindowsPath(E2E_DATA "/library.htm").c_str(), library.c_str(), FALSE));
    ASSERT_NO_FATAL_FAILURE(CallUpOverTarget());
    PressKey(VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return EditText(edit) == BUSINESS[0]; })) << EditText(edit);

    // Neither a reinstall nor an uninstall while it runs.
    const char* refusal =
        "Fenlop が起動しています。\n関連するｱﾌﾟﾘｹｰｼｮﾝをすべて終了させてから再度、作業を開始してください。";
    EXPECT_EQ(InstallWithProposal().messages, Texts({refusal}));
    EXPECT_EQ(RunSetup(UninstallCommand("Fenlop"), "C:\\").messages, Texts({refusal}));
    ExitByCommand();
    const std::string kept = ReadFileBytes(library);
    ASSERT_FALSE(kept.empty());
    WriteFileBytes(folder + "\\fenlop.bak", "backup");

    SetupChoice browse;
    browse.browse = true;
    run = InstallWithProposal(browse);
    EXPECT_EQ(run.proposed, "C:\\Fenlop\\");  // the earlier installation's folder
    EXPECT_EQ(run.browsed, "C:\\Fenlop");       // shown selected in the browse dialog
    EXPECT_EQ(run.messages, Texts({SUCCESS_TEXT}));
    EXPECT_EQ(ReadFileBytes(library), kept);

    run = RunSetup(UninstallCommand("Fenlop"), "C:\\");
    EXPECT_EQ(run.messages, Texts({"Fenlop とそのすべてのｺﾝﾎﾟｰﾈﾝﾄを削除しますか？"}));
    EXPECT_EQ(run.result, folder + "\\" + LEFTOVER_TEXT);
    EXPECT_EQ(ReadFileBytes(library), kept);
    EXPECT_EQ(ReadFileBytes(folder + "\\fenlop.bak"), "backup");
    for (const char* name : {"fenlop.exe", "flp.chm", "readme.txt"})
        EXPECT_FALSE(Exists(folder + "\\" + name)) << name;
    for (const char* name : {"SETUP.EXE", "SETUP.INF", "SETUP.LST"})
        EXPECT_FALSE(Exists(setup + "\\" + name)) << name;
    EXPECT_FALSE(Exists(startup));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, SETTINGS_KEY));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::string(UNINSTALL_ROOT) + "Fenlop"));
}

}  // namespace
