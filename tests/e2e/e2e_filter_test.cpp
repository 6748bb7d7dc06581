// fenlop.exe end to end: the filter box above the phrase list, its keys,
// its forgiving matching over the whole library, and the list it gives back.
#include "tests/e2e/e2e_fixture.h"
#include "tests/e2e/large_library.h"

namespace {

const int ID_STATUS = 104;
const int ID_FILTER = 108;

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
        WriteRecord(RecordWith(MEETING_PATH, sizeof MEETING_PATH));
        ASSERT_NO_FATAL_FAILURE(StartTarget());
        ASSERT_NO_FATAL_FAILURE(StartFenlop());
        box = GetDlgItem(phrase, ID_FILTER);
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

    std::string Status() { return EditText(GetDlgItem(phrase, ID_STATUS)); }
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
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(phrase) == list; }));
    EXPECT_TRUE(IsWindowVisible(phrase));
    // The list is the label's own again: a move is stored.
    PressChord({VK_CONTROL}, 'U');
    EXPECT_TRUE(WaitUntil([&] {
        std::string bytes = ReadFileBytes(library);
        return Find(bytes, "会議室") < Find(bytes, "会議の資料");
    }));
}

TEST_F(FilterE2E, EnterSendsTheFirstResult)
{
    ASSERT_NO_FATAL_FAILURE(StartOnMeeting());
    ASSERT_NO_FATAL_FAILURE(FocusBox());
    ASSERT_NO_FATAL_FAILURE(Filter("ろっぷ"));
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(list) == 3; }, 3000));
    PressKey(VK_RETURN);  // to the first result
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(phrase) == list && FirstSelected(list) == 0; }));
    PressKey(VK_RETURN);  // sends it
    EXPECT_TRUE(WaitUntil([&] { return EditText(edit) == "株式会社フェンロップの山田です。"; }))
        << EditText(edit);
}

TEST_F(FilterE2E, FillsTheListFromALargeLibraryAndKeepsAnswering)
{
    ASSERT_TRUE(WriteLargeLibrary(library));
    std::string large = ReadFileBytes(library);
    ASSERT_NO_FATAL_FAILURE(StartOnMeeting(large.data(), large.size()));
    // Every phrase of the library holds the comma.
    DWORD start = GetTickCount();
    ASSERT_NO_FATAL_FAILURE(Filter("、"));
    bool filled = WaitUntil([&] { return ItemCount(list) == 100000; }, 30000);
    DWORD took = GetTickCount() - start;
    EXPECT_TRUE(filled) << ItemCount(list) << " listed";
    for (int i = 0; i < 20; i++) {
        DWORD_PTR result = 0;
        DWORD t0 = GetTickCount();
        ASSERT_TRUE(SendMessageTimeoutA(phrase, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result));
        EXPECT_LT(GetTickCount() - t0, 1000u) << "the window did not answer";
        Filter(i % 2 ? "確認 資料" : "会");
    }
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(list) > 0 && ItemCount(list) < 100000; }));
    std::vector<std::string> some = ListTexts(Remote());
    ASSERT_FALSE(some.empty());
    EXPECT_NE(some[0].find("確認"), std::string::npos) << some[0];
    EXPECT_NE(some.back().find("資料"), std::string::npos) << some.back();
    printf("  filled the list with 100,000 results in %lu ms\n", took);
}

}  // namespace
