// fenlop.exe end to end: the Help command with flp.chm beside the program
// opens the system's help viewer, and a second one brings that viewer
// forward instead of opening another.
#include "tests/e2e/e2e_fixture.h"

namespace {

const char VIEWER_CLASS[] = "HH Parent";
const char VIEWER_TITLE[] = "Fenlopヘルプ";

struct ViewerCount {
    int count;
    HWND last;
};

BOOL CALLBACK CountViewer(HWND window, LPARAM lParam)
{
    ViewerCount* c = (ViewerCount*)lParam;
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    if (strcmp(name, VIEWER_CLASS) == 0 && WindowText(window) == VIEWER_TITLE) {
        c->count++;
        c->last = window;
    }
    return TRUE;
}

BOOL CALLBACK FindTree(HWND window, LPARAM lParam)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    if (strcmp(name, WC_TREEVIEWA) != 0)
        return TRUE;
    *(HWND*)lParam = window;
    return FALSE;
}

ViewerCount Viewers()
{
    ViewerCount c = {0, nullptr};
    EnumWindows(CountViewer, (LPARAM)&c);
    return c;
}

class HelpE2E : public FenlopE2E {
protected:
    Process viewer;  // the viewer's process, opened once its window exists

    void SetUp() override
    {
        FenlopE2E::SetUp();
        std::string chm = WindowsPath(FENLOP_EXE);
        chm.replace(chm.rfind('\\') + 1, std::string::npos, "flp.chm");
        ASSERT_TRUE(CopyFileA(chm.c_str(), (folder + "\\flp.chm").c_str(), FALSE)) << chm;
    }

    void TearDown() override
    {
        FenlopE2E::TearDown();
        EndProcess(&viewer);
    }

    void TakeViewerProcess(HWND window)
    {
        GetWindowThreadProcessId(window, &viewer.id);
        viewer.handle = OpenProcess(PROCESS_ALL_ACCESS, FALSE, viewer.id);
    }
};

TEST_F(HelpE2E, HelpOpensOneViewerAndASecondHelpBringsItForward)
{
    ASSERT_NO_FATAL_FAILURE(CallUpOverTarget());
    PressKey(VK_F1);
    HWND window = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        ViewerCount c = Viewers();
        window = c.last;
        return c.count == 1 && IsWindowVisible(window);
    })) << "no help viewer titled " << VIEWER_TITLE;
    TakeViewerProcess(window);
    EXPECT_FALSE(IsWindowVisible(phrase));
    // The contents pane shows, legible in code page 932, even where the pages
    // cannot be drawn (no HTML engine in the test prefix).
    HWND contents = nullptr;
    std::vector<std::string> topics;
    EXPECT_TRUE(WaitUntil([&] {
        EnumChildWindows(window, FindTree, (LPARAM)&contents);
        topics = contents ? TreeChildNames(contents, viewer.handle, nullptr) : topics;
        return !topics.empty();
    }));
    EXPECT_EQ(topics.size() >= 2 ? topics.front() + "/" + topics.back() : Joined(topics), "はじめに/インストールと削除");
    Sleep(500);
    Shot("help-viewer");

    // Behind the target and minimised; the menu's Help item from the phrase
    // window called up again.
    ShowWindow(window, SW_MINIMIZE);
    FocusTarget();
    CallUp();
    PostMessageA(phrase, WM_COMMAND, IDM_HELP, 0);
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == window && !IsIconic(window); }))
        << "the viewer is not brought forward";
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(phrase); }));
    EXPECT_FALSE(WaitUntil([] { return Viewers().count != 1; }, 1500)) << "a second viewer opened";
    Shot("help-viewer-again");
}

}  // namespace
