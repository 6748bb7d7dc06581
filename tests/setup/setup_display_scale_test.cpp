// setup.exe's folder dialog at 100, 150 and 200 %: shot, and no text clipped.
#include "tests/e2e/scale_fixture.h"
#include "tests/setup/setup_e2e_fixture.h"

namespace {

// A long title, and the desktop check box offered: the dialog's longest texts.
const char PRODUCT_INF[] =
    "[Install]\r\nTitle=フェンロップ定型文入力ツール\r\nFolder=\\Fenlop\r\n1=a.txt\r\n";

TEST(SetupDisplayScaleE2E, TheFolderDialogsTextsFitAtEachScale)
{
    std::string product = WindowsPath(std::string(E2E_WORK_DIR) + "/scaled");
    RemoveTree(product);
    CreateDirectoryA(WindowsPath(E2E_WORK_DIR).c_str(), nullptr);
    CreateDirectoryA(product.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(WindowsPath(SETUP_EXE).c_str(), (product + "\\SETUP.EXE").c_str(), FALSE));
    ASSERT_TRUE(WriteFileBytes(product + "\\SETUP.INF", PRODUCT_INF));
    for (int dpi : {96, 144, 192}) {
        SCOPED_TRACE(dpi);
        DisplayScale scale(dpi);
        Process setup = StartProcess("\"" + product + "\\SETUP.EXE\"", product);
        ASSERT_TRUE(setup.handle);
        HWND dialog = nullptr;
        ASSERT_TRUE(WaitUntil([&] {
            for (HWND d : VisibleDialogs())
                if (GetDlgItem(d, IDC_FOLDER_EDIT))
                    dialog = d;
            return dialog != nullptr;
        }));
        Sleep(300);
        Shot("setup-folder-" + std::to_string(dpi));
        EXPECT_EQ(Joined(ClippedTexts(dialog, dpi, DIALOG_FONT)), "");
        Click(dialog, IDCANCEL);
        EXPECT_EQ(WaitForExit(&setup), 1);
        EndProcess(&setup);
    }
}

}  // namespace
