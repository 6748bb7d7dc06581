// A virtual phrase list (as the phrase window's) told count after count
// while it is shown and focused: it stays shown and focused, knows every
// row, and its scroll bar matches its rows, whether the count comes alone
// (the filter's results) or at the end of a fill (a label, a search).
#include "tests/win32/screen_pixels.h"
#include "tests/win32/views_fixture.h"

namespace {

class VirtualRowsTest : public ViewsTest {
protected:
    HWND rows = nullptr;
    std::vector<std::string> texts;
    std::vector<const char*> borrowed;

    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ViewsTest::SetUp());
        ShowWindow(list, SW_HIDE);
        ASSERT_NO_FATAL_FAILURE(MakeRows());
        for (int i = 0; i < 40000; i++)
            texts.push_back("phrase " + std::to_string(i));
        for (const std::string& t : texts)
            borrowed.push_back(t.c_str());
        SetForegroundWindow(frame);
        SetFocus(rows);
    }

    // A new list, as the phrase window makes its own: never painted yet.
    void MakeRows()
    {
        if (rows)
            DestroyWindow(rows);
        rows = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA,
                               200, 0, 400, 360, frame, (HMENU)108, GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(rows);
        LVCOLUMNA column = {};
        column.mask = LVCF_WIDTH | LVCF_TEXT;
        column.cx = 300;
        column.pszText = (char*)"phrases";
        SendMessageA(rows, LVM_INSERTCOLUMNA, 0, (LPARAM)&column);
    }

    // The list's pixels on screen, as the user sees them.
    std::vector<DWORD> Pixels()
    {
        RECT rc;
        GetWindowRect(rows, &rc);
        return ScreenPixels(rc);
    }

    void TearDown() override
    {
        ClearVirtualRows(rows);
        ViewsTest::TearDown();
    }

    // What a user would see wrong after a count: the list gone or left
    // without the focus, rows it does not know, a scroll bar of other rows.
    void ExpectShown(size_t count, const char* how)
    {
        SCOPED_TRACE(std::string(how) + " " + std::to_string(count));
        EXPECT_TRUE(IsWindowVisible(rows));
        EXPECT_EQ(rows, GetFocus());
        EXPECT_EQ((LRESULT)count, SendMessageA(rows, LVM_GETITEMCOUNT, 0, 0));
        int page = (int)SendMessageA(rows, LVM_GETCOUNTPERPAGE, 0, 0);
        bool bar = (GetWindowLongPtrA(rows, GWL_STYLE) & WS_VSCROLL) != 0;
        EXPECT_EQ((int)count > page, bar) << page << " rows a page";
        if (bar) {
            SCROLLINFO info = {};
            info.cbSize = sizeof info;
            info.fMask = SIF_RANGE;
            ASSERT_TRUE(GetScrollInfo(rows, SB_VERT, &info));
            EXPECT_EQ((int)count, info.nMax - info.nMin + 1);
        }
        EXPECT_TRUE(UpdateWindow(rows));
        EXPECT_FALSE(GetUpdateRect(rows, nullptr, FALSE));
    }
};

TEST_F(VirtualRowsTest, EveryCountShownWithItsScrollBar)
{
    // From a label's rows to many, between many, to a few and to none.
    for (size_t count : {20, 9082, 31270, 31270, 3, 0, 40, 12000}) {
        ASSERT_EQ(0, ShowBorrowedRows(rows, borrowed.data(), count));
        ExpectShown(count, "results");
        if (count > 2) {
            EXPECT_STREQ(texts[count - 1].c_str(), VirtualRowText(rows, (int)count - 1));
        }
    }
}

TEST_F(VirtualRowsTest, FillKeepsItsSelectedRows)
{
    for (size_t count : {5, 200, 30}) {
        std::string bytes;
        for (size_t i = 0; i < count; i++)
            bytes.append(texts[i]).push_back('\0');
        ListTexts fill = {&bytes[0], bytes.size()};
        std::vector<char> selected(count, 0);
        selected[1] = selected[count - 1] = 1;
        FillPhraseList(rows, &fill, selected.data());
        ExpectShown(count, "fill");
        std::vector<int> marked;
        for (int i = -1; (i = (int)SendMessageA(rows, LVM_GETNEXTITEM, i, MAKELPARAM(LVNI_SELECTED, 0))) >= 0;)
            marked.push_back(i);
        EXPECT_EQ((std::vector<int>{1, (int)count - 1}), marked);
    }
}

// The phrase window lays its list out while it is hidden, its rows told,
// one row selected and the list scrolled; at its show it must look as a
// list that was not laid out ahead.
TEST_F(VirtualRowsTest, ListLaidOutAheadShowsAsOneNotLaidOut)
{
    const int COUNT = 500, SELECTED = 47, TOP = 40;
    std::vector<DWORD> shown[2];
    for (int ahead = 0; ahead < 2; ahead++) {
        SCOPED_TRACE(ahead ? "laid out ahead" : "not laid out ahead");
        ShowWindow(frame, SW_HIDE);
        ASSERT_NO_FATAL_FAILURE(MakeRows());
        ASSERT_EQ(0, ShowBorrowedRows(rows, borrowed.data(), COUNT));
        SelectPhraseRow(rows, SELECTED);
        SendMessageA(rows, LVM_ENSUREVISIBLE, COUNT - 1, FALSE);
        SendMessageA(rows, LVM_ENSUREVISIBLE, TOP, FALSE);
        int top = (int)SendMessageA(rows, LVM_GETTOPINDEX, 0, 0);
        if (ahead) {
            LayOutListAhead(rows);
            EXPECT_EQ(COUNT, (int)SendMessageA(rows, LVM_GETITEMCOUNT, 0, 0));
            EXPECT_EQ(SELECTED, (int)SendMessageA(rows, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED));
            EXPECT_EQ(top, (int)SendMessageA(rows, LVM_GETTOPINDEX, 0, 0));
            // Laid out: the scroll bar is there before any paint on screen.
            EXPECT_TRUE(GetWindowLongPtrA(rows, GWL_STYLE) & WS_VSCROLL);
            EXPECT_FALSE(IsWindowVisible(rows));
        }
        ShowWindow(frame, SW_SHOWNORMAL);
        SetForegroundWindow(frame);
        SetFocus(rows);
        RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        ExpectShown(COUNT, "shown");
        EXPECT_EQ(top, (int)SendMessageA(rows, LVM_GETTOPINDEX, 0, 0));
        EXPECT_EQ(SELECTED, (int)SendMessageA(rows, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED));
        shown[ahead] = Pixels();
        ASSERT_FALSE(shown[ahead].empty());
    }
    size_t differ = 0;
    for (size_t i = 0; i < shown[0].size() && i < shown[1].size(); i++)
        differ += shown[0][i] != shown[1][i];
    EXPECT_EQ(shown[0].size(), shown[1].size());
    EXPECT_EQ(0u, differ) << "pixels of " << shown[0].size();
}

}  // namespace
