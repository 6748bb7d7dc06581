// fenlop.exe end to end: the filter box above the phrase list, its keys,
// its forgiving matching over the whole library, and the list it gives back.
#include "library/phrase_filter.h"
#include "tests/e2e/e2e_fixture.h"
#include "tests/e2e/large_library.h"

namespace {

const char FILTER_LIBRARY[] =
    "<u>\"root\"\r\n"
    "    <u>\"挨拶\"\r\n"
    "        <u>\"ビジネス\"\r\n"
    "            <p>\r\n"
    "            \"株式会社フェンロップの山田です。\"\r\n"
    "            </p>\r\n"
    "        </u>\r\n"
    "    </u>\r\n"
    "    <u>\"製品\"\r\n"
    "        <p>\r\n"
    "        \"フェンロップ\"\r\n"
    "        </p>\r\n"
    "        <p>\r\n"
    "        \"ﾌｪﾝﾛｯﾌﾟ\"\r\n"
    "        </p>\r\n"
    "        <p>\r\n"
    "        \"abc\"\r\n"
    "        </p>\r\n"
    "        <p>\r\n"
    "        \"ABC def\"\r\n"
    "        </p>\r\n"
    "    </u>\r\n"
    "    <u>\"会議\"\r\n"
    "        <p>\r\n"
    "        \"会議の資料\"\r\n"
    "        </p>\r\n"
    "        <p>\r\n"
    "        \"会議室\"\r\n"
    "        </p>\r\n"
    "        <p>\r\n"
    "        \"資料の確認\"\r\n"
    "        </p>\r\n"
    "    </u>\r\n"
    "</u>\r\n";
const char MEETING_PATH[] = "会議\0";
const std::vector<std::string> MEETING = Texts({"会議の資料", "会議室", "資料の確認"});

class FilterE2E : public FenlopE2E {
protected:
    HWND box = nullptr;

    // fenlop on the small filter library with 会議 open, the window called
    // up over the target editor.
    void StartOnMeeting(const char* library = FILTER_LIBRARY, size_t size = sizeof FILTER_LIBRARY - 1)
    {
        ASSERT_TRUE(WriteFileBytes(this->library, std::string(library, size)));
        ASSERT_NO_FATAL_FAILURE(StartOverTarget(RecordWith(MEETING_PATH, sizeof MEETING_PATH)));
        box = GetDlgItem(phrase, IDC_FILTER);
        ASSERT_TRUE(box);
        ASSERT_NO_FATAL_FAILURE(FocusTarget());
        ASSERT_NO_FATAL_FAILURE(CallUp());
    }

    // Text set into the box as another program (or the IME) would.
    void Filter(const char* text)
    {
        DWORD_PTR result = 0;
        ASSERT_TRUE(SendMessageTimeoutA(box, WM_SETTEXT, 0, (LPARAM)text, SMTO_ABORTIFHUNG, WAIT_MS, &result));
    }

    void FocusBox()
    {
        PressChord({VK_CONTROL}, 'E');
        ASSERT_TRUE(WaitUntil([&] { return FocusOf(phrase) == box; })) << "Ctrl+E did not focus the box";
    }
};

TEST_F(FilterE2E, NarrowsTheListAtEachChangeInAnyKanaOrWidth)
{
    ASSERT_NO_FATAL_FAILURE(StartOnMeeting());
    ASSERT_EQ(ListTexts(Remote()), MEETING);
    struct Case {
        const char* text;
        std::vector<std::string> listed;
    } cases[] = {
        {"ふぇんろっぷ", Texts({"株式会社フェンロップの山田です。", "フェンロップ", "ﾌｪﾝﾛｯﾌﾟ"})},
        {"ﾌｪﾝﾛｯﾌﾟ", Texts({"株式会社フェンロップの山田です。", "フェンロップ", "ﾌｪﾝﾛｯﾌﾟ"})},
        {"ＡＢＣ", Texts({"abc", "ABC def"})},
        {"資料　会議", Texts({"会議の資料"})},  // every word, parted by a full-width space
        {"資料", Texts({"会議の資料", "資料の確認"})},
        {"見積", {}},
    };
    for (const Case& c : cases) {
        ASSERT_NO_FATAL_FAILURE(Filter(c.text));
        EXPECT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == c.listed; }, 3000))
            << c.text << ": " << Joined(ListTexts(Remote()));
        // The label of the first result, none without one.
        EXPECT_EQ(Status().empty(), c.listed.empty()) << c.text << ": " << Status();
    }
    ASSERT_NO_FATAL_FAILURE(Filter("ロップ"));
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(list) == 3; }));
    EXPECT_TRUE(WaitUntil([&] { return Status() == "ラベル：挨拶 > ビジネス"; }, 3000)) << Status();
    Shot("filter-narrowed");
    // An emptied box gives the open label's list back.
    ASSERT_NO_FATAL_FAILURE(Filter(""));
    EXPECT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == MEETING; }, 3000)) << Joined(ListTexts(Remote()));
    ExitByCommand();
    EXPECT_EQ(ReadFileBytes(library), FILTER_LIBRARY) << "the results went into a label";
}

TEST_F(FilterE2E, EscapeGivesTheOpenLabelBackWithItsSelection)
{
    ASSERT_NO_FATAL_FAILURE(StartOnMeeting());
    PressKey(VK_DOWN);
    ASSERT_TRUE(WaitUntil([&] { return FirstSelected(list) == 1; }));
    ASSERT_NO_FATAL_FAILURE(FocusBox());
    ASSERT_NO_FATAL_FAILURE(Filter("abc"));
    ASSERT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == Texts({"abc", "ABC def"}); }, 3000));
    EXPECT_TRUE(WaitUntil([&] { return Status() == "ラベル：製品"; }, 3000)) << Status();
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == MEETING; }, 3000)) << Joined(ListTexts(Remote()));
    EXPECT_EQ(FirstSelected(list), 1);
    EXPECT_EQ(EditText(box), "");
    EXPECT_EQ(Status(), "") << "the label of a result no longer shown";
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(phrase) == list; }));
    EXPECT_TRUE(IsWindowVisible(phrase));
    // The list is the label's own again: a move is stored.
    PressChord({VK_CONTROL}, 'U');
    EXPECT_TRUE(WaitUntil([&] { return FileHoldsInOrder({"会議室", "会議の資料"}); }));
}

// What a newcomer sees first: the empty box says what it is for and which
// key reaches it, its tip says more, and the menu reaches it too.
TEST_F(FilterE2E, TheBoxSaysWhatItIsForAndTheMenuReachesIt)
{
    ASSERT_NO_FATAL_FAILURE(StartOnMeeting());
    EXPECT_EQ(CueBanner(box, fenlop.handle), "絞り込み (Ctrl+E)");
    EXPECT_NE(ToolTipText(box, fenlop.handle), "") << "no tip for the box";
    Shot("filter-box-empty");
    // Alt+E opens 編集(E), E there takes 絞り込み(E).
    PressChord({VK_MENU}, 'E');
    ASSERT_TRUE(WaitUntil(AnyMenuShown, 3000)) << "the menu did not open";
    PressKey('E');
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(phrase) == box; })) << "the menu's item did not focus the box";
}

TEST_F(FilterE2E, OpeningALabelEndsTheFilter)
{
    ASSERT_NO_FATAL_FAILURE(StartOnMeeting());
    ASSERT_NO_FATAL_FAILURE(Filter("abc"));
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(list) == 2; }, 3000));
    HTREEITEM products = FindTreeItem(tree, fenlop.handle, {"製品"});
    ASSERT_TRUE(products);
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)products, SMTO_ABORTIFHUNG, WAIT_MS,
                                    &result));
    EXPECT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == Texts({"フェンロップ", "ﾌｪﾝﾛｯﾌﾟ", "abc", "ABC def"}); }))
        << Joined(ListTexts(Remote()));
    EXPECT_EQ(EditText(box), "");
    EXPECT_EQ(Status(), "");
    // The label's own list again: Escape in the box leaves it.
    ASSERT_NO_FATAL_FAILURE(FocusBox());
    PressKey(VK_ESCAPE);
    EXPECT_FALSE(WaitUntil([&] { return ItemCount(list) != 4; }, 500));
}

TEST_F(FilterE2E, EnterSendsTheFirstResult)
{
    ASSERT_NO_FATAL_FAILURE(StartOnMeeting());
    ASSERT_NO_FATAL_FAILURE(FocusBox());
    ASSERT_NO_FATAL_FAILURE(Filter("ろっぷ"));
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(list) == 3; }, 3000));
    PressKey(VK_RETURN);  // to the first result
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(phrase) == list && FirstSelected(list) == 0; }));
    // Two rows selected, back in the box: Enter leaves the first alone.
    PressChord({VK_SHIFT}, VK_DOWN);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) == 2; }));
    ASSERT_NO_FATAL_FAILURE(FocusBox());
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(phrase) == list && FirstSelected(list) == 0; }));
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
    PressKey(VK_RETURN);  // sends it
    EXPECT_TRUE(WaitUntil([&] { return EditText(edit) == "株式会社フェンロップの山田です。"; }))
        << EditText(edit);
}

// The list's rows live in the program (the list view is virtual): a letter
// typed into the list still goes to the first row that begins with it.
TEST_F(FilterE2E, ALetterTypedIntoTheListSelectsTheRowItBegins)
{
    ASSERT_TRUE(WriteFileBytes(library, FILTER_LIBRARY));
    static const char products[] = "製品\0";
    ASSERT_NO_FATAL_FAILURE(ShowOnRecord(RecordWith(products, sizeof products)));
    ASSERT_TRUE(WaitUntil([&] { return FirstSelected(list) == 0; }));
    PressKey('A');
    EXPECT_TRUE(WaitUntil([&] { return FirstSelected(list) == 2; }, 3000)) << FirstSelected(list);
}

// How many phrases of the file the filter lists for text, by the library's
// own filter in this process.
long Expected(const std::string& path, const char* text)
{
    HeldLibrary held;
    if (HoldLibrary(path.c_str(), &held) != 0)
        return -1;
    SearchWords words;
    BuildFilterWords(text, strlen(text), &words);
    std::vector<uint32_t> rows;
    return FilterHeldLibrary(&held, &words, nullptr, &rows);
}

bool Answers(HWND window)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result) != 0;
}

TEST_F(FilterE2E, FillsTheListFromALargeLibraryAndKeepsAnswering)
{
    ASSERT_TRUE(WriteLargeLibrary(library));
    std::string large = ReadFileBytes(library);
    long twelve = Expected(library, "12");
    ASSERT_GT(twelve, 1000);
    ASSERT_NO_FATAL_FAILURE(StartOnMeeting(large.data(), large.size()));
    // Keys typed while the first one's search (and the library's first
    // read) runs: the window answers, and the list ends with the last text's.
    ASSERT_NO_FATAL_FAILURE(FocusBox());
    PressKey('1');
    PressKey('2');
    for (int i = 0; i < 10; i++)
        ASSERT_TRUE(Answers(phrase)) << "the window did not answer";
    EXPECT_TRUE(WaitUntil([&] { return ItemCount(list) == twelve; }, 30000)) << ItemCount(list) << " of " << twelve;
    // A one-character query that every phrase of the library matches.
    DWORD start = GetTickCount();
    ASSERT_NO_FATAL_FAILURE(Filter("、"));
    EXPECT_TRUE(WaitUntil([&] { return ItemCount(list) == 100000; }, 30000)) << ItemCount(list) << " listed";
    DWORD took = GetTickCount() - start;
    ASSERT_TRUE(Answers(phrase));
    RECT last = ItemRect(Remote(), 99999);
    EXPECT_GT(last.bottom, last.top) << "the last row has no place";
    for (int i = 0; i < 10; i++) {
        Filter(i % 2 ? "確認 資料" : "会");
        ASSERT_TRUE(Answers(phrase)) << "the window did not answer";
    }
    EXPECT_TRUE(WaitUntil([&] { return ItemCount(list) == Expected(library, "確認 資料"); }));
    std::vector<std::string> some = ListTexts(Remote());
    ASSERT_FALSE(some.empty());
    EXPECT_NE(some[0].find("確認"), std::string::npos) << some[0];
    EXPECT_NE(some.back().find("資料"), std::string::npos) << some.back();
    printf("  100,000 results listed %lu ms after the text was set\n", took);
}

}  // namespace
