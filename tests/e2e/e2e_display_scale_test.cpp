// fenlop.exe at 150 and 200 %: the display's scale is Wine's LogPixels,
// which every Wine process reads when it starts, so each test sets it
// before it starts the program (the test itself stays at 96 DPI).
#include "tests/e2e/e2e_fixture.h"
#include "tests/e2e/scale_fixture.h"

namespace {

const DialogFont PAD_FONT = {"ＭＳ ゴシック", 10};

RECT OuterRect(HWND window)
{
    RECT rc = {};
    GetWindowRect(window, &rc);
    return rc;
}

std::string Describe(const RECT& rc)
{
    return std::to_string(rc.left) + "," + std::to_string(rc.top) + " " + std::to_string(rc.right - rc.left) +
           "x" + std::to_string(rc.bottom - rc.top);
}

int Width(HWND window)
{
    RECT rc = OuterRect(window);
    return rc.right - rc.left;
}

// The height of a line of text in a font, as an edit box spaces its lines.
int LineHeight(int height, const char* face)
{
    LOGFONTA font = {};
    font.lfHeight = height;
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfClipPrecision = CLIP_STROKE_PRECIS;
    font.lfQuality = DRAFT_QUALITY;
    font.lfPitchAndFamily = FF_MODERN | VARIABLE_PITCH;
    strcpy(font.lfFaceName, face);
    HFONT handle = CreateFontIndirectA(&font);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, handle);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(handle);
    return metrics.tmHeight;
}

class DisplayScaleE2E : public FenlopE2E {
protected:
    SettingsRecord Defaults()
    {
        SettingsRecord record = RecordWith(BUSINESS_PATH, sizeof BUSINESS_PATH);
        record.hold = 1;
        return record;
    }

    void CloseEditor(HWND editor)
    {
        PostMessageA(editor, WM_COMMAND, IDC_EDIT_CANCEL, 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(editor); }));
    }

    // The spacing of the editor's lines, which follows its font.
    int EditorLineHeight(HWND editor)
    {
        HWND box = GetDlgItem(editor, IDC_EDIT_TEXT);
        SendMessageA(box, WM_SETTEXT, 0, (LPARAM) "a\r\nb");
        WPARAM second = (WPARAM)SendMessageA(box, EM_LINEINDEX, 1, 0);
        return (short)HIWORD(SendMessageA(box, EM_POSFROMCHAR, second, 0)) -
               (short)HIWORD(SendMessageA(box, EM_POSFROMCHAR, 0, 0));
    }

    void ExpectRecordLayout(const SettingsRecord& expected)
    {
        SettingsRecord stored = Stored();
        EXPECT_EQ(stored.windowLeft, expected.windowLeft);
        EXPECT_EQ(stored.windowTop, expected.windowTop);
        EXPECT_EQ(stored.windowWidth, expected.windowWidth);
        EXPECT_EQ(stored.windowHeight, expected.windowHeight);
        EXPECT_EQ(stored.treeWidth, expected.treeWidth);
        EXPECT_EQ(stored.columnWidth, expected.columnWidth);
    }
};

TEST_F(DisplayScaleE2E, AtOneAndAHalfTheWindowOpensScaledAndTheRecordKeeps96Dpi)
{
    DisplayScale scale(144);
    ASSERT_TRUE(scale.user.set());
    SettingsRecord record = Defaults();
    ShowOnRecord(record);
    RECT rc = OuterRect(phrase);
    EXPECT_EQ(Describe(rc), "150,150 672x504");
    EXPECT_EQ(Width(tree), 225);
    EXPECT_EQ(Width(GetDlgItem(phrase, IDC_SPLITTER)), 5);
    EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0), 1500);
    Shot("scale-144-phrase-window");

    HWND editor = OpenEditor();
    ASSERT_TRUE(editor) << "no editor";
    int expected = LineHeight(-18, "ＭＳ ゴシック");
    ASSERT_NE(expected, LineHeight(-12, "ＭＳ ゴシック"));
    EXPECT_EQ(EditorLineHeight(editor), expected) << "the editor's font is not 18 pixels high";
    CloseEditor(editor);

    ExitByCommand();
    ExpectRecordLayout(record);
}

TEST_F(DisplayScaleE2E, MovedToADisplayOfAnotherScaleItTakesTheSuggestedRectangle)
{
    DisplayScale scale(144);
    SettingsRecord record = Defaults();
    ShowOnRecord(record);
    // What the system sends when the window reaches a display at 200 %,
    // the suggested rectangle in the program's memory.
    RECT suggested = {200, 120, 200 + 896, 120 + 672};
    RECT row = ItemRect(Remote(), 0);
    void* remote = VirtualAllocEx(fenlop.handle, nullptr, sizeof suggested, MEM_COMMIT, PAGE_READWRITE);
    ASSERT_TRUE(remote);
    SIZE_T written = 0;
    ASSERT_TRUE(WriteProcessMemory(fenlop.handle, remote, &suggested, sizeof suggested, &written));
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutA(phrase, WM_DPICHANGED, MAKEWPARAM(192, 192), (LPARAM)remote, SMTO_ABORTIFHUNG,
                                    WAIT_MS, &result));
    EXPECT_EQ(Describe(OuterRect(phrase)), Describe(suggested));
    EXPECT_EQ(Width(tree), 300);
    EXPECT_EQ(Width(GetDlgItem(phrase, IDC_SPLITTER)), 6);
    EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0), 2000);
    RECT moved = ItemRect(Remote(), 0);
    EXPECT_GE((moved.bottom - moved.top) * 4, (row.bottom - row.top) * 5) << "the list's font kept its scale";
    RECT client, inside = OuterRect(list);
    GetClientRect(phrase, &client);
    MapWindowPoints(nullptr, phrase, (POINT*)&inside, 2);
    EXPECT_EQ(inside.right, client.right) << "the list does not reach the window's right edge";
    Shot("scale-moved-to-192");

    ExitByCommand();
    // At 200 %: the rectangle halved, the tree and column as they began.
    record.windowLeft = 100;
    record.windowTop = 60;
    ExpectRecordLayout(record);
}

// At 100, 150 and 200 %: every window shot, every dialog's texts whole.
TEST_F(DisplayScaleE2E, AtEachScaleTheWindowsAreShotAndNoTextIsClipped)
{
    for (int dpi : {96, 144, 192}) {
        SCOPED_TRACE(dpi);
        DisplayScale scale(dpi);
        std::string name = "scale-" + std::to_string(dpi);
        SettingsRecord record = Defaults();
        record.hold = 0;
        ShowOnRecord(record);
        Sleep(500);  // the list's first paint
        Shot((name + "-phrase-window").c_str());
        // A window shot after its first paint, its texts whole, then closed.
        auto check = [&](HWND window, const std::string& what, DialogFont font, UINT message, WPARAM command) {
            Sleep(300);
            Shot((name + "-" + what).c_str());
            EXPECT_EQ(Joined(ClippedTexts(window, dpi, font)), "") << what;
            PostMessageA(window, message, command, 0);
            EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); })) << what;
        };

        HWND editor = OpenEditor();
        ASSERT_TRUE(editor);
        check(editor, "editor", DIALOG_FONT, WM_COMMAND, IDC_EDIT_CANCEL);

        struct Dialog {
            int command;
            const char* caption;
        };
        for (Dialog d : {Dialog{IDM_FIND, "検索"}, Dialog{IDM_ABOUT, "ﾊﾞｰｼﾞｮﾝ情報"}}) {
            PostMessageA(phrase, WM_COMMAND, d.command, 0);
            HWND dialog = ShownProcessWindow(fenlop, "#32770", d.caption);
            ASSERT_TRUE(dialog) << d.caption;
            check(dialog, std::to_string(d.command), DIALOG_FONT, WM_COMMAND, IDCANCEL);
        }

        // The pad opens only while the phrase window is hidden; any real
        // window will do as the target.
        PostMessageA(phrase, WM_KEYDOWN, VK_ESCAPE, 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(phrase); }));
        PostMessageA(tray, MSG_CALL_UP, IDC_CALC_HOTKEY, (LPARAM)tray);
        HWND pad = ShownProcessWindow(fenlop, "#32770", nullptr);
        ASSERT_TRUE(pad);
        Sleep(300);
        Shot((name + "-pad").c_str());
        EXPECT_EQ(Joined(ClippedTexts(pad, dpi, PAD_FONT)), "");
        PostMessageA(pad, WM_CLOSE, 0, 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(pad); }));

        HWND settings = OpenSettings();
        ASSERT_TRUE(settings);
        check(settings, "settings", DIALOG_FONT, WM_COMMAND, IDCANCEL);

        ExitByCommand();
        EndProcess(&fenlop);
    }
}

}  // namespace
