// The open label's list around label edits, failed reads and writes, drops
// and names the control cannot hold: what the user typed is never lost and
// never stored under another label.
#include "tests/win32/views_fixture.h"

#include <memory>
#include <thread>

namespace {

const char* const LIBRARY = R"(<u>"root"
    <u>"a"
        <p>
        "one"
        </p>
    </u>
    <u>"b"
        <p>
        "two"
        </p>
    </u>
</u>
)";

bool Holds(const std::string& bytes, const char* text)
{
    return bytes.find(text) != std::string::npos;
}

// A read-and-write lock on a file, as a scanner or a sync tool takes one
// (with FILE_SHARE_READ: the file can be read but not replaced).
struct FileLock {
    HANDLE handle;
    explicit FileLock(const std::string& path, DWORD share = 0)
        : handle(CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~FileLock() { Release(); }
    void Release()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
};

// Runs the thread's messages (the retry timers) until the condition holds;
// false after ms.
template <class F> bool PumpUntil(F condition, DWORD ms)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > ms)
            return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(10);
    }
    return true;
}

TEST_F(ViewsTest, LabelEditsTakeTheOpenListAsItIsAndACutLabelsListBelongsToNoLabel)
{
    Open(LIBRARY, "a");
    InsertPhrase(list, -1, "typed");
    ASSERT_EQ(0, CutOrCopyLabel(tree, 0));
    EXPECT_TRUE(Holds(ReadBytes(clipPath), "\"typed\"")) << "a copy takes the list's phrases";
    InsertPhrase(list, -1, "more");
    ASSERT_EQ(0, CutOrCopyLabel(tree, 1));
    EXPECT_TRUE(Holds(ReadBytes(clipPath), "\"more\""));
    EXPECT_FALSE(IsPhraseListEditable());
    EXPECT_EQ(Strings{}, Phrases());
    Select("b");
    ASSERT_EQ(0, PasteChildLabel(tree));
    std::string file = File();
    EXPECT_TRUE(Holds(file, "\"one\"") && Holds(file, "\"typed\"") && Holds(file, "\"more\"")) << file;

    // Two labels of one name (a hand-edited file): once the first is cut,
    // its list is not stored into the second.
    Load(R"(<u>"root"
    <u>"X"
        <p>
        "first"
        </p>
    </u>
    <u>"X"
        <p>
        "second"
        </p>
    </u>
    <u>"b"
    </u>
</u>
)");
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)Next(nullptr, TVGN_ROOT));
    ASSERT_EQ(Strings{"first"}, Phrases());
    ASSERT_EQ(0, CutOrCopyLabel(tree, 1));
    Select("b");
    Select("X");
    EXPECT_EQ(Strings{"second"}, Phrases());

    // No selection (a right-click on empty tree space): no list either.
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, 0);
    EXPECT_EQ(Strings{}, Phrases());
    EXPECT_FALSE(IsPhraseListEditable());
}

TEST_F(ViewsTest, AFailedReadIsNeverStoredAndAFailedWriteKeepsTheLabelOpen)
{
    Load(LIBRARY);
    {
        FileLock lock(phrasePath);
        ASSERT_NE(INVALID_HANDLE_VALUE, lock.handle);
        Select("a");
        EXPECT_FALSE(IsPhraseListEditable());
    }
    Select("b");
    Select("a");
    EXPECT_EQ(Strings{"one"}, Phrases()) << "the label's phrases survive a list that was not read";

    InsertPhrase(list, -1, "typed");
    {
        FileLock lock(phrasePath);
        Select("b");
        EXPECT_EQ("a", Selected()) << "the label whose list could not be stored stays open";
        EXPECT_EQ((Strings{"one", "typed"}), Phrases());
    }
    Select("b");
    EXPECT_TRUE(Holds(File(), "\"typed\""));

    // A store after an edit that finds the file held is tried again.
    Select("a");
    InsertPhrase(list, -1, "later");
    {
        FileLock lock(phrasePath);
        EXPECT_EQ(-1, StorePhraseListNow(list));
    }
    EXPECT_TRUE(PumpUntil([&] { return Holds(File(), "\"later\""); }, 5000));
}

// Edits the file does not take wait where the user sees them, are reported,
// are tried again for as long as the program runs, and at the end go into
// a recovery file, which a store that succeeds after all removes again.
TEST_F(ViewsTest, AWaitingStoreIsReportedTriedOnAndKeptInARecoveryFile)
{
    static std::vector<bool> reports;  // true: told that edits wait
    reports.clear();
    g_views.tell = [](const char* text) { reports.push_back(text[0] != '\0'); };
    Open(LIBRARY, "a");
    InsertPhrase(list, -1, "typed");
    char kept[PATH_BUFFER_SIZE];
    EXPECT_EQ(-1, KeepListInRecoveryFile(list, kept)) << "nothing waits yet";
    {
        FileLock lock(phrasePath);
        // Well past the half minute of quick tries, in a moment.
        for (int i = 0; i < 40; i++)
            EXPECT_EQ(-1, StorePhraseListNow(list));
        EXPECT_TRUE(ListEditsWait());
        EXPECT_EQ(std::vector<bool>{true}, reports);
        ASSERT_EQ(0, KeepListInRecoveryFile(list, kept));
    }
    std::string recovery = ReadBytes(kept);
    EXPECT_EQ(Crlf("<u>\"復元：a\"\n    <p>\n    \"one\"\n    </p>\n    <p>\n    \"typed\"\n    </p>\n</u>\n"),
              recovery);
    EXPECT_TRUE(PumpUntil([&] { return Holds(File(), "\"typed\""); }, 8000)) << "still tried";
    EXPECT_FALSE(ListEditsWait());
    EXPECT_EQ((std::vector<bool>{true, false}), reports);
    EXPECT_FALSE(FileExists(kept)) << "the library holds the list now";
    g_views.tell = nullptr;
}

// A drop whose switch is refused (the list it leaves cannot be stored)
// moves nothing: the phrases stay in the source list, selected.
TEST_F(ViewsTest, ADropTheFileRefusesLeavesThePhrasesWhereTheyWere)
{
    Open(LIBRARY, "a");
    InsertPhrase(list, -1, "typed");
    ASSERT_EQ(0, StorePhraseListNow(list));
    std::string before = File();
    SelectRows({1});
    {
        FileLock lock(phrasePath);
        EXPECT_EQ(-1, DropPhrasesOnLabel(tree, list, Item("b"), 0));
        EXPECT_EQ("a", Selected());
        EXPECT_EQ((Strings{"one", "typed"}), Phrases());
        EXPECT_EQ(1, (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED));
    }
    EXPECT_TRUE(PumpUntil([] { return !ListEditsWait(); }, 3000));
    Select("b");
    EXPECT_EQ(before, File());
    EXPECT_EQ(Strings{"two"}, Phrases());

    // Held from the switch on: the list the phrase leaves needs no store, but
    // neither label can be read. The source's list waits for the next start.
    std::string path = phrasePath.substr(0, phrasePath.size() - 3) + "r01";
    DeleteFileA(path.c_str());
    Select("a");
    InsertPhrase(list, -1, "unstored");
    SelectRows({2});
    std::unique_ptr<FileLock> held;
    onSelectionChange = [&] {
        if (!held)
            held.reset(new FileLock(phrasePath));
    };
    EXPECT_EQ(-1, DropPhrasesOnLabel(tree, list, Item("b"), 0));
    onSelectionChange = nullptr;
    held.reset();
    EXPECT_TRUE(Holds(ReadBytes(path), "\"unstored\"")) << "not on the clipboard alone";
    EXPECT_TRUE(Holds(ReadBytes(path), "<u>\"復元：a\""));
    DeleteFileA(path.c_str());
}

// After a label edit that failed, and after a refused switch in a tree
// rebuilt since the label was opened, the tree shows the open label.
TEST_F(ViewsTest, ARebuiltTreeShowsTheOpenLabel)
{
    Open(LIBRARY, "b");
    ASSERT_EQ(0, CutOrCopyLabel(tree, 0));
    Select("a");
    InsertPhrase(list, -1, "typed");
    {
        FileLock lock(phrasePath, FILE_SHARE_READ);
        EXPECT_EQ(-1, PasteLabel(tree, 1));
        EXPECT_EQ("a,b", Dump());
        EXPECT_EQ("a", Selected());
        Select("b");
        EXPECT_EQ("a", Selected()) << "the list and its stores still belong to a";
        EXPECT_EQ((Strings{"one", "typed"}), Phrases());
    }
    Select("b");
    EXPECT_EQ(Strings{"two"}, Phrases());
    EXPECT_TRUE(Holds(File(), "\"typed\""));
}

// A tree that cannot be read after an edit is read again once the file is
// free, and the open label's waiting list is kept meanwhile.
TEST_F(ViewsTest, ATreeThatCannotBeReadIsReadAgain)
{
    Open(LIBRARY, "a");
    InsertPhrase(list, -1, "typed");
    {
        FileLock lock(phrasePath);
        EXPECT_EQ(-1, NewLabel(tree, 1));
        EXPECT_EQ("", Dump());
        EXPECT_TRUE(ListEditsWait());
        EXPECT_EQ((Strings{"one", "typed"}), Phrases());
    }
    EXPECT_TRUE(PumpUntil([&] { return Dump() == "a,b"; }, 3000)) << Dump();
    EXPECT_EQ("a", Selected());
    EXPECT_TRUE(PumpUntil([&] { return Holds(File(), "\"typed\""); }, 3000));
}

TEST_F(ViewsTest, ADropMovesThroughTheClipboardOrNotAtAll)
{
    Open(LIBRARY, "a");
    InsertPhrase(list, -1, "typed");
    SelectRows({1});
    ASSERT_EQ(0, DropPhrasesOnLabel(tree, list, Item("b"), 0));
    EXPECT_EQ("b", Selected());
    EXPECT_EQ((Strings{"two", "typed"}), Phrases());
    EXPECT_EQ(Crlf(R"(<u>"root"
    <u>"a"
        <p>
        "one"
        </p>
    </u>
    <u>"b"
        <p>
        "two"
        </p>
        <p>
        "typed"
        </p>
    </u>
</u>
)"),
              File())
        << "both labels are stored at once";

    // Another program holds the clipboard until the drop has given up on
    // it: nothing leaves the list and nothing old is pasted.
    std::string before = File();
    HANDLE opened = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        OpenClipboard(nullptr);
        SetEvent(opened);
        WaitForSingleObject(release, 5000);
        CloseClipboard();
    });
    WaitForSingleObject(opened, 5000);
    onSelectionChange = [&] {
        SetEvent(release);
        holder.join();
    };
    SelectRows({0});
    EXPECT_EQ(-1, DropPhrasesOnLabel(tree, list, Item("a"), 0));
    if (holder.joinable()) {
        SetEvent(release);
        holder.join();
    }
    onSelectionChange = nullptr;
    EXPECT_EQ("b", Selected());
    EXPECT_EQ((Strings{"two", "typed"}), Phrases());
    EXPECT_EQ(before, File());
    CloseHandle(opened);
    CloseHandle(release);
}

TEST_F(ViewsTest, NamesAreMatchedByTheirBytesNotByTheControlsText)
{
    // 87 90 is the NEC row's form of a character that UTF-16 gives back as
    // 81 E0; the tree view keeps its texts in UTF-16.
    Load("<u>\"root\"\n<u>\"a\x87\x90\"\n<u>\"c\"\n</u>\n</u>\n</u>\n");
    SelectLabelByNamePath(tree, nullptr, "a\x87\x90\0c\0");
    EXPECT_EQ("c", Selected());
    ASSERT_TRUE(g_views.selectedPath);
    EXPECT_STREQ("a\x87\x90", g_views.selectedPath[0]->name);
}

FILETIME WriteTime(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

TEST_F(ViewsTest, BrowsingWritesNothingAndAChangedListIsStillStored)
{
    Load(LIBRARY);
    FILETIME written = WriteTime(phrasePath);
    std::string before = File();
    Sleep(20);
    for (const char* label : {"a", "b", "a", "b"})
        Select(label);
    EXPECT_EQ(before, File());
    FILETIME after = WriteTime(phrasePath);
    EXPECT_EQ(0, CompareFileTime(&written, &after));
    EXPECT_FALSE(FileExists(backupPath.c_str()));

    // Changed and changed back: the same as the file, nothing to write.
    SetPhrase(list, 0, "changed");
    SetPhrase(list, 0, "two");
    Select("a");
    EXPECT_FALSE(FileExists(backupPath.c_str()));
    SetPhrase(list, 0, "");
    Select("b");
    EXPECT_TRUE(Holds(File(), "<u>\"a\"\r\n        <p>\r\n        </p>\r\n")) << File();
    EXPECT_TRUE(FileExists(backupPath.c_str()));
}

}  // namespace
