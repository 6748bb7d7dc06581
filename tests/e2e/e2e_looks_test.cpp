// What the user sees of fenlop.exe, read from the screen and the windows:
// a phrase of several lines drawn on its row with a mark for each line
// break (the row's text, read from outside, still the phrase as written),
// and the phrase editor's icons.
#include "tests/e2e/e2e_fixture.h"

#include <algorithm>

namespace {

const char BREAKS_PATH[] = "改行\0";
// The rows of the label: the one opened with, a phrase of two lines, the
// same on one line with the mark where its break is, and without a break.
const char* const BREAK_ROWS[] = {"先頭", "あい\r\nうえ", "あい↓うえ", "あいうえ"};
const int TWO_LINES = 1, MARKED = 2, ONE_LINE = 3;

size_t Colours(const std::vector<DWORD>& pixels)
{
    std::vector<DWORD> seen;
    for (DWORD p : pixels)
        if (std::find(seen.begin(), seen.end(), p) == seen.end())
            seen.push_back(p);
    return seen.size();
}

class LooksE2E : public FenlopE2E {
protected:
    void StartWithBreaks()
    {
        std::string bytes = "<u>\"root\"\r\n    <u>\"改行\"\r\n";
        for (const char* row : BREAK_ROWS) {
            bytes += "        <p>\r\n";
            std::string text = row;
            for (size_t at = 0, end; at <= text.size(); at = end + 2) {
                end = text.find("\r\n", at);
                if (end == std::string::npos)
                    end = text.size();
                bytes += "        \"" + text.substr(at, end - at) + "\"\r\n";
            }
            bytes += "        </p>\r\n";
        }
        bytes += "    </u>\r\n</u>\r\n";
        ASSERT_TRUE(WriteFileBytes(library, bytes));
        SettingsRecord record = RecordWith(BREAKS_PATH, sizeof BREAKS_PATH);
        record.hold = 1;
        ASSERT_NO_FATAL_FAILURE(ShowOnRecord(record));
    }

    // The row as the screen shows it, once it stays the same for a moment
    // (the list may still be painting).
    std::vector<DWORD> RowPixels(int index)
    {
        RECT rc = ItemRect(Remote(), index);
        std::vector<DWORD> pixels = ScreenPixels(rc), again;
        WaitUntil([&] {
            Sleep(50);
            again = ScreenPixels(rc);
            bool same = again == pixels;
            pixels = again;
            return same;
        }, 2000);
        return pixels;
    }

    // The left end of a window's caption, where its small icon is drawn:
    // the same place in every window with a sizing frame and a caption.
    std::vector<DWORD> CaptionIconPixels(HWND window)
    {
        RECT rc;
        GetWindowRect(window, &rc);
        rc.right = rc.left + GetSystemMetrics(SM_CXSIZEFRAME) + GetSystemMetrics(SM_CXSMICON) + 2;
        rc.bottom = rc.top + GetSystemMetrics(SM_CYSIZEFRAME) + GetSystemMetrics(SM_CYCAPTION);
        return ScreenPixels(rc);
    }

};

// Unselected and then selected (with the focus), the row of two lines is
// drawn as the same words on one line with the mark written into them;
// a row without the mark is drawn otherwise, so the screen is really read.
TEST_F(LooksE2E, LineBreakIsDrawnAsOneMarkButTheRowTextKeepsIt)
{
    StartWithBreaks();
    std::vector<std::string> rows(std::begin(BREAK_ROWS), std::end(BREAK_ROWS));
    ASSERT_EQ(ListTexts(Remote()), rows) << "LVM_GETITEMTEXT gives the phrases as written";
    ASSERT_EQ(FirstSelected(list), 0);

    std::vector<DWORD> twoLines = RowPixels(TWO_LINES), marked = RowPixels(MARKED);
    ASSERT_FALSE(twoLines.empty()) << "the screen could not be read";
    EXPECT_GT(Colours(twoLines), 1u) << "the row shows no text";
    EXPECT_TRUE(twoLines == marked) << "the row of two lines is not drawn as the marked one";
    EXPECT_FALSE(twoLines == RowPixels(ONE_LINE)) << "a row without the mark is drawn the same";

    PressKey(VK_DOWN);
    ASSERT_TRUE(WaitUntil([&] { return FirstSelected(list) == TWO_LINES; }));
    std::vector<DWORD> selectedTwoLines = RowPixels(TWO_LINES);
    PressKey(VK_DOWN);
    ASSERT_TRUE(WaitUntil([&] { return FirstSelected(list) == MARKED; }));
    std::vector<DWORD> selectedMarked = RowPixels(MARKED);
    EXPECT_FALSE(selectedTwoLines == twoLines) << "the selection does not show";
    EXPECT_TRUE(selectedTwoLines == selectedMarked) << "selected, the row of two lines is not drawn as the marked one";
    EXPECT_EQ(ListTexts(Remote()), rows);
}

// The editor carries the program's icon, not the system's default one (or
// none). Wine fails WM_GETICON (and WM_QUERYDRAGICON) sent from another
// process, where WM_GETTEXTLENGTH is answered, so what is checked is what a
// user sees: the icon at the left of the editor's caption is the one the
// phrase window's caption shows, both seen active. Where the system answers
// WM_GETICON from outside, the small and the large icon are asked for too.
TEST_F(LooksE2E, PhraseEditorHasTheProgramsIcons)
{
    StartWithBreaks();
    std::vector<DWORD> programs = CaptionIconPixels(phrase);
    ASSERT_GT(Colours(programs), 2u) << "the phrase window's caption shows no icon";
    HWND editor = OpenEditor();
    ASSERT_TRUE(editor);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == editor; }));
    EXPECT_TRUE(WaitUntil([&] { return CaptionIconPixels(editor) == programs; }, 3000))
        << "the editor's caption does not show the program's icon";
    DWORD_PTR small = 0, big = 0;
    if (SendMessageTimeoutA(editor, WM_GETICON, ICON_SMALL, 0, SMTO_ABORTIFHUNG, 2000, &small) &&
        SendMessageTimeoutA(editor, WM_GETICON, ICON_BIG, 0, SMTO_ABORTIFHUNG, 2000, &big)) {
        EXPECT_TRUE(small) << "no small icon";
        EXPECT_TRUE(big) << "no large icon";
    }
    PostMessageA(editor, WM_COMMAND, IDC_EDIT_CANCEL, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(editor); }));
}

}  // namespace
