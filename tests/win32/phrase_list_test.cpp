// The phrase list on a real list view: selection changes, storing, the
// system clipboard and the search.
#include "tests/win32/views_fixture.h"

namespace {

const char* const LIBRARY = R"(<u>"root"
    <u>"a"
        <p>
        "one"
        </p>
        <p>
        "two"
        "lines"
        </p>
    </u>
    <u>"b"
        <p>
        "three"
        </p>
    </u>
</u>
)";

void PutClipboard(HWND owner, const std::string& bytes)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    ASSERT_TRUE(OpenClipboard(owner));
    EmptyClipboard();
    SetClipboardData(CF_TEXT, block);
    CloseClipboard();
}

std::string ClipboardBlock()
{
    std::string bytes;
    if (!OpenClipboard(nullptr))
        return "(cannot open)";
    if (HGLOBAL block = GetClipboardData(CF_TEXT)) {
        bytes.assign((const char*)GlobalLock(block), GlobalSize(block));
        GlobalUnlock(block);
    }
    CloseClipboard();
    return bytes;
}

TEST_F(ViewsTest, SelectionChangeStoresTheListAndLoadsTheNext)
{
    Open(LIBRARY, "a");
    EXPECT_EQ((Strings{"one", "two\r\nlines"}), Phrases());
    SetPhrase(list, 0, "ONE\r\n");
    InsertPhrase(list, 1, "");
    SetPhrase(list, -1, "last");
    Select("b");
    EXPECT_EQ(Strings{"three"}, Phrases());
    EXPECT_EQ(Crlf(R"(<u>"root"
    <u>"a"
        <p>
        "ONE"
        ""
        </p>
        <p>
        </p>
        <p>
        "two"
        "lines"
        </p>
        <p>
        "last"
        </p>
    </u>
    <u>"b"
        <p>
        "three"
        </p>
    </u>
</u>
)"),
              File());
    Select("a");
    EXPECT_EQ((Strings{"ONE\r\n", "", "two\r\nlines", "last"}), Phrases());

    // Search results are written into no label; the next label clears the mark.
    g_views.showingResults = true;
    EXPECT_FALSE(IsPhraseListEditable());
    SetPhrase(list, 0, "result");
    std::string before = File();
    EXPECT_EQ(0, SavePhraseList(list, nullptr));
    EXPECT_EQ(before, File());
    Select("b");
    EXPECT_EQ(before, File());
    EXPECT_FALSE(g_views.showingResults);
    EXPECT_EQ(Strings{"three"}, Phrases());
}

TEST_F(ViewsTest, CopyAndPastePhrasePackages)
{
    Load(LIBRARY);
    InsertPhrase(list, -1, "A");
    InsertPhrase(list, -1, "B\r\nC");
    InsertPhrase(list, -1, "x");
    InsertPhrase(list, -1, "D");
    WriteBytes(clipPath, "label");

    SelectRows({});
    PutClipboard(frame, std::string("keep", 5));
    EXPECT_EQ(0, CopyPhrasesToClipboard(list, 1));  // nothing selected
    EXPECT_EQ(std::string("keep", 5), ClipboardBlock());
    EXPECT_TRUE(FileExists(clipPath.c_str()));

    // A clip file another program wrote (flp cut) stays; the one this run
    // wrote goes, and only while it is as written.
    SelectRows({0, 1, 3});
    ASSERT_EQ(0, CopyPhrasesToClipboard(list, 0));
    EXPECT_EQ(std::string("\x08" "A\0B\r\nC\0D\0\0", 11), ClipboardBlock());
    EXPECT_TRUE(FileExists(clipPath.c_str()));
    TakeFileStamp(clipPath.c_str(), &g_views.clipStamp);
    ASSERT_EQ(0, CopyPhrasesToClipboard(list, 0));
    EXPECT_FALSE(FileExists(clipPath.c_str()));
    ASSERT_EQ(0, CopyPhrasesToClipboard(list, 1));
    EXPECT_EQ(Strings{"x"}, Phrases());

    InsertPhrase(list, 0, "w");
    SelectRows({1});
    ASSERT_EQ(0, PastePhrasesFromClipboard(list));
    EXPECT_EQ((Strings{"w", "A", "B\r\nC", "D", "x"}), Phrases());

    // Plain text is one phrase; nothing selected appends.
    SelectRows({});
    PutClipboard(frame, std::string("p\r\nq\0", 5));
    ASSERT_EQ(0, PastePhrasesFromClipboard(list));
    EXPECT_EQ("p\r\nq", Phrases().back());

    // A package that lacks its final empty string ends with its block. (Wine
    // puts a NUL into the last byte of every text block, so the last phrase
    // itself keeps its NUL here.)
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    PutClipboard(frame, std::string("\x08" "E\0FG\0", 6));
    ASSERT_EQ(0, PastePhrasesFromClipboard(list));
    EXPECT_EQ((Strings{"E", "FG"}), Phrases());
}

TEST_F(ViewsTest, SearchFillsTheList)
{
    Load(R"(<u>"root"
    <u>"a"
        <p>
        "apple pie"
        </p>
        <u>"b"
            <p>
            "pie"
            "apple"
            </p>
        </u>
        <p>
        "apple"
        </p>
    </u>
    <u>"c"
        <p>
        "pie"
        </p>
    </u>
</u>
)");
    InsertPhrase(list, -1, "old");
    EXPECT_EQ(0, SearchLibrary(list, "  apple   pie ", 80, 0, 1));
    EXPECT_TRUE(g_views.showingResults);
    EXPECT_EQ((Strings{"apple pie", "pie\r\napple"}), Phrases());
    Select("a/b");
    EXPECT_EQ(0, SearchLibrary(list, "pie", 80, 1, 0));
    EXPECT_EQ(Strings{"pie\r\napple"}, Phrases());
    EXPECT_EQ(0, SearchLibrary(list, "pie", 80, 1, 1));
    EXPECT_EQ((Strings{"apple pie", "pie\r\napple", "pie"}), Phrases());

    // A record from outside whose text fills its field without a NUL.
    const std::string unended(80, 'p');
    EXPECT_EQ(0, SearchLibrary(list, unended.data(), unended.size(), 1, 1));
    EXPECT_EQ(Strings{}, Phrases());
}

}  // namespace
