// The phrase file changed by another program under the open label: the
// views follow the file, and the user's edit is kept whatever happened.
#include "tests/win32/views_fixture.h"

#include "common/file_calls.h"

#include <functional>

namespace {

const char* const LIBRARY = R"(<u>"root"
    <u>"a"
        <p>
        "one"
        </p>
        <p>
        "two"
        </p>
    </u>
    <u>"b"
    </u>
</u>
)";

std::string told;

void Remember(const char* text)
{
    told = text;
}

class OutsideChangeTest : public ViewsTest {
protected:
    void SetUp() override
    {
        ViewsTest::SetUp();
        told.clear();
        g_views.tell = Remember;
    }
    void TearDown() override
    {
        g_views.tell = nullptr;
        ViewsTest::TearDown();
    }

    // Another program puts text in place of the library, as a sync tool
    // does: a new file renamed over it.
    void ReplaceOutside(const std::string& text)
    {
        std::string fresh = phrasePath + ".sync";
        WriteBytes(fresh, Crlf(text));
        ASSERT_TRUE(MoveFileExA(fresh.c_str(), phrasePath.c_str(), MOVEFILE_REPLACE_EXISTING));
    }
};

std::string With(const char* from, const char* to)
{
    std::string text = LIBRARY;
    size_t at = text.find(from);
    return text.substr(0, at) + to + text.substr(at + strlen(from));
}

// Theirs changed the very phrase the user edited: both lists are kept, the
// user's as a new label beside the label, which is then the open one.
TEST_F(OutsideChangeTest, AnEditThatCannotBeCarriedOverIsKeptAsANewLabelBeside)
{
    Open(LIBRARY, "a");
    ReplaceOutside(With("\"two\"", "\"TWO\""));
    ASSERT_EQ(0, SetPhrase(list, 1, "2"));
    ASSERT_EQ(0, StorePhraseListNow(list));
    EXPECT_EQ(Dump(), "a,a～1,b");
    EXPECT_EQ(Selected(), "a～1");
    EXPECT_EQ(Phrases(), (Strings{"one", "2"}));
    EXPECT_NE(told.find("a～1"), std::string::npos) << told;
    std::string file = File();
    EXPECT_NE(file.find("\"TWO\""), std::string::npos) << file;
    EXPECT_LT(file.find("\"TWO\""), file.find("\"a～1\""));
    EXPECT_LT(file.find("\"a～1\""), file.find("\"2\""));
    // The list is the new label's own now: an edit goes there.
    InsertPhrase(list, -1, "3");
    ASSERT_EQ(0, StorePhraseListNow(list));
    file = File();
    EXPECT_LT(file.find("\"2\""), file.find("\"3\""));
    EXPECT_LT(file.find("\"3\""), file.find("\"b\""));
}

// A writer that ignores the lock and keeps the library open for writing
// (so that fenlop cannot hold it) writes it in place while fenlop's own
// rewrite is under way: fenlop writes nothing over it. A list store is
// merged into the label as it is now; a label edit is not made, and the
// tree shows the file anew.
HANDLE g_writer = INVALID_HANDLE_VALUE;
std::string g_theirs;

int WriteInPlaceOnce(FileCall call, const char*)
{
    if (call != FILE_CALL_WRITE || g_writer == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    SetFilePointer(g_writer, 0, nullptr, FILE_BEGIN);
    WriteFile(g_writer, g_theirs.data(), (DWORD)g_theirs.size(), &written, nullptr);
    SetEndOfFile(g_writer);
    CloseHandle(g_writer);
    g_writer = INVALID_HANDLE_VALUE;
    return 0;
}

TEST_F(OutsideChangeTest, AWriteInPlaceDuringTheRewriteIsNeverWrittenOver)
{
    struct Row {
        const char* what;
        std::function<int()> edit;
        std::string dump;       // the tree afterwards
        const char* inFile;     // the user's edit in the file ("": not made)
    } rows[] = {
        {"a list store", [&] { InsertPhrase(list, -1, "mine"); return StorePhraseListNow(list); }, "a,b,c", "\"mine\""},
        {"a new label", [&] { return NewLabel(tree, 1); }, "a,b,c", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Open(LIBRARY, "a");
        g_theirs = Crlf(With("    <u>\"b\"\n    </u>\n", "    <u>\"b\"\n    </u>\n    <u>\"c\"\n    </u>\n"));
        g_writer = CreateFileA(phrasePath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(g_writer, INVALID_HANDLE_VALUE);
        SetFileFaultHook(WriteInPlaceOnce);
        int result = row.edit();
        SetFileFaultHook(nullptr);
        if (g_writer != INVALID_HANDLE_VALUE)
            CloseHandle(g_writer);
        g_writer = INVALID_HANDLE_VALUE;
        std::string file = File();
        EXPECT_NE(file.find("\"c\""), std::string::npos) << "the other writer's label stays: " << file;
        EXPECT_EQ(Dump(), row.dump);
        if (row.inFile[0]) {
            EXPECT_EQ(result, 0);
            EXPECT_NE(file.find(row.inFile), std::string::npos) << file;
        } else {
            EXPECT_NE(result, 0);
            EXPECT_EQ(file, g_theirs) << "the edit is not made";
            EXPECT_NE(told.find("読み直しました"), std::string::npos) << told;
        }
    }
}

// Without an edit the views only follow the file: the list shows the label
// as it is now, and nothing is written; a label gone is closed.
TEST_F(OutsideChangeTest, WithoutAnEditTheViewsFollowTheFileAndWriteNothing)
{
    Open(LIBRARY, "a");
    EXPECT_EQ(0, CheckLibraryFile(tree, list));
    std::string theirs = Crlf(With("\"two\"", "\"two\"\n        </p>\n        <p>\n        \"three\""));
    ReplaceOutside(With("\"two\"", "\"two\"\n        </p>\n        <p>\n        \"three\""));
    EXPECT_EQ(1, CheckLibraryFile(tree, list));
    EXPECT_EQ(Phrases(), (Strings{"one", "two", "three"}));
    EXPECT_EQ(Selected(), "a");
    EXPECT_EQ(File(), theirs);
    EXPECT_EQ(0, CheckLibraryFile(tree, list));

    ReplaceOutside(With("<u>\"a\"", "<u>\"x\""));
    EXPECT_EQ(1, CheckLibraryFile(tree, list));
    EXPECT_EQ(Dump(), "x,b");
    EXPECT_FALSE(IsPhraseListEditable());
    EXPECT_EQ(Phrases(), Strings{});
}

// A label switch finds the file changed: the tree's items must stay while
// it notifies, so the views are read again after it. A list without an edit
// lets the switch go on; an edited one holds the label open until then.
TEST_F(OutsideChangeTest, ASwitchOverAnOutsideChangeStoresTheEditOnceTheTreeIsReadAgain)
{
    Open(LIBRARY, "a");
    ReplaceOutside(With("\"one\"", "\"ONE\""));
    Select("b");
    EXPECT_EQ(Selected(), "b") << "nothing to store";
    EXPECT_EQ(1, CheckLibraryFile(tree, list));
    EXPECT_EQ(Selected(), "b");

    Select("a");
    ASSERT_EQ(Phrases(), (Strings{"ONE", "two"}));
    InsertPhrase(list, -1, "mine");
    ReplaceOutside(With("\"one\"", "\"theirs\"\n        </p>\n        <p>\n        \"one\""));
    Select("b");
    EXPECT_EQ(Selected(), "a") << "the edit waits for the tree to be read";
    EXPECT_EQ(1, CheckLibraryFile(tree, list));
    EXPECT_EQ(Phrases(), (Strings{"theirs", "one", "two", "mine"}));
    Select("b");
    EXPECT_EQ(Selected(), "b");
    std::string file = File();
    EXPECT_LT(file.find("\"theirs\""), file.find("\"mine\""));
    EXPECT_LT(file.find("\"mine\""), file.find("\"b\""));
}

// The status bar while an edit waits: a store that says why it fails (the
// label is gone) keeps that reason showing, and the end of a wait takes back
// only its own word, not the one the ending store told (both lists kept).
TEST_F(OutsideChangeTest, TheReasonAnEditWaitsAndTheWordThatEndsTheWaitStayInTheStatusBar)
{
    const std::string waiting = "変更したフレーズをファイルに保存できません。保存できるまで試し続けます";
    Open(LIBRARY, "a");
    ReplaceOutside(With("<u>\"a\"", "<u>\"x\""));
    InsertPhrase(list, -1, "mine");
    // The edited label is gone: the edit is stored at once where it stood.
    EXPECT_EQ(0, StorePhraseListNow(list));
    EXPECT_FALSE(ListEditsWait());
    EXPECT_EQ(told, "ラベル「a」がほかで取り除かれていたため、編集を「a」に保存しました");
    EXPECT_EQ(Dump(), "x,a,b");
    EXPECT_EQ(Selected(), "a");
    EXPECT_EQ(Phrases(), (Strings{"one", "two", "mine"}));
    ReplaceOutside(LIBRARY);
    ASSERT_EQ(1, CheckLibraryFile(tree, list));

    HANDLE held = CreateFileA(phrasePath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_EQ(0, SetPhrase(list, 1, "2"));
    EXPECT_EQ(-1, StorePhraseListNow(list));
    CloseHandle(held);
    EXPECT_EQ(told, waiting);
    ReplaceOutside(With("\"two\"", "\"TWO\""));
    ASSERT_EQ(0, StorePhraseListNow(list));
    EXPECT_FALSE(ListEditsWait());
    EXPECT_NE(told.find("a～1"), std::string::npos) << told;
}

}  // namespace
