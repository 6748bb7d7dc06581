// fenlop.exe end to end: the find dialog, its options and history, and the
// phrase list showing the matches.
#include <thread>

#include "tests/e2e/e2e_fixture.h"

namespace {

const int COMBO_EDIT_ID = 1001;  // a combo box's own edit control
const char FIND_TITLE[] = "検索";

bool Checked(HWND dialog, int id)
{
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The entries of the dialog's history, top first.
std::vector<std::string> HistoryOf(HWND dialog)
{
    HWND combo = GetDlgItem(dialog, IDC_FIND_TEXT);
    std::vector<std::string> out;
    int count = (int)SendMessageA(combo, CB_GETCOUNT, 0, 0);
    // Read as UTF-16: Wine hands the A form of this message across processes
    // the wide text.
    for (int i = 0; i < count; i++) {
        WCHAR wide[256] = L"";
        if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 255)
            SendMessageW(combo, CB_GETLBTEXT, i, (LPARAM)wide);
        char text[512] = "";
        WideCharToMultiByte(932, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        out.push_back(text);
    }
    return out;
}

// The stored history block as its texts, up to the first empty one.
std::vector<std::string> StoredHistory(const SettingsRecord& record)
{
    std::vector<std::string> out;
    size_t p = 0;
    while (p < FIND_HISTORY_SIZE && record.findHistory[p]) {
        size_t n = strnlen(record.findHistory + p, FIND_HISTORY_SIZE - p);
        out.push_back(std::string(record.findHistory + p, n));
        p += n + 1;
    }
    return out;
}

struct Search {
    const char* text;
    int mode;      // 0 AND, 1 OR
    int allTrees;
};

class FindE2E : public FenlopE2E {
protected:
    HWND dialog = nullptr;

    // fenlop called up on the business label; Ctrl+D moves the first
    // phrase down a row while another program holds the file.
    void MoveWhileTheFileIsHeld()
    {
        ASSERT_NO_FATAL_FAILURE(CallUpOverTarget());
        ASSERT_NO_FATAL_FAILURE(MoveWhileHeld());
    }

    // Ctrl+F on the phrase window.
    void OpenFind()
    {
        ASSERT_TRUE(WaitUntil([&] { return PhraseWindowReady(); }));
        PressChord({VK_CONTROL}, 'F');
        ASSERT_TRUE(WaitUntil([&] {
            dialog = FindProcessWindow(fenlop, "#32770", FIND_TITLE);
            return dialog && IsWindowVisible(dialog) && GetForegroundWindow() == dialog &&
                   FocusOf(dialog) == GetDlgItem(GetDlgItem(dialog, IDC_FIND_TEXT), COMBO_EDIT_ID);
        })) << "find dialog not shown with the text focused";
    }

    void SetOptions(int mode, int allTrees)
    {
        int button = mode ? IDC_FIND_OR : IDC_FIND_AND;
        if (!Checked(dialog, button))
            SendMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
        if (Checked(dialog, IDC_FIND_ALL_TREES) != (allTrees != 0))
            SendMessageA(GetDlgItem(dialog, IDC_FIND_ALL_TREES), BM_CLICK, 0, 0);
        ASSERT_TRUE(Checked(dialog, button));
        ASSERT_EQ(Checked(dialog, IDC_FIND_ALL_TREES), allTrees != 0);
    }

    void SetText(const char* text)
    {
        SendMessageA(GetDlgItem(dialog, IDC_FIND_TEXT), WM_SETTEXT, 0, (LPARAM)text);
        ASSERT_EQ(EditText(GetDlgItem(dialog, IDC_FIND_TEXT)), text);
    }

    // Closes the dialog with a key; the phrase window gets the activation back.
    void CloseWith(BYTE key)
    {
        PressKey(key);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
        dialog = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == phrase; }));
    }

    // One search through the dialog, confirmed by Enter; waits for the
    // record that the confirmation stores.
    void Find(const Search& search)
    {
        ASSERT_NO_FATAL_FAILURE(OpenFind());
        ASSERT_NO_FATAL_FAILURE(SetText(search.text));
        ASSERT_NO_FATAL_FAILURE(SetOptions(search.mode, search.allTrees));
        ASSERT_NO_FATAL_FAILURE(CloseWith(VK_RETURN));
        SettingsRecord stored;
        DWORD size = 0;
        ASSERT_TRUE(WaitUntil([&] {
            return ReadRecord(&stored, &size) && stored.showingResults == 1 &&
                   strcmp(stored.searchText, search.text) == 0 && stored.searchMode == search.mode &&
                   stored.searchAllTrees == search.allTrees;
        })) << search.text;
    }

    HTREEITEM TreeCaret() { return (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0); }
};

TEST_F(FindE2E, CtrlFOpensTheDialogAtTheClientOriginAndAndOrListTheMatches)
{
    ASSERT_NO_FATAL_FAILURE(ShowOnRecord());
    HTREEITEM label = TreeCaret();
    ASSERT_TRUE(label);

    ASSERT_NO_FATAL_FAILURE(OpenFind());
    // The system puts the dialog's client area at the template's place.
    POINT at = {0, 0}, origin = {0, 0};
    ClientToScreen(dialog, &at);
    ClientToScreen(phrase, &origin);
    EXPECT_EQ(at.x, origin.x);
    EXPECT_EQ(at.y, origin.y);
    EXPECT_EQ(EditText(GetDlgItem(dialog, IDC_FIND_TEXT)), "");
    EXPECT_TRUE(Checked(dialog, IDC_FIND_AND));
    EXPECT_FALSE(Checked(dialog, IDC_FIND_OR));
    EXPECT_FALSE(Checked(dialog, IDC_FIND_ALL_TREES));
    EXPECT_EQ(HistoryOf(dialog), std::vector<std::string>{});
    ASSERT_NO_FATAL_FAILURE(SetText("お世話 株式会社"));
    Shot("find-dialog");
    ASSERT_NO_FATAL_FAILURE(CloseWith(VK_RETURN));
    EXPECT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == Texts({BUSINESS[1]}); }))
        << Joined(ListTexts(Remote()));
    EXPECT_EQ(TreeCaret(), label) << "the tree selection stays";
    EXPECT_TRUE(IsWindowVisible(phrase));
    // The list's header, under the dialog a moment ago, is drawn again: its
    // column's name has dark pixels.
    RECT header;
    ASSERT_TRUE(GetWindowRect((HWND)SendMessageA(list, LVM_GETHEADER, 0, 0), &header));
    EXPECT_TRUE(WaitUntil([&] {
        for (DWORD p : ScreenPixels(header))
            if ((p >> 16 & 0xFF) < 0x60 && (p >> 8 & 0xFF) < 0x60 && (p & 0xFF) < 0x60)
                return true;
        return false;
    }, 2000)) << "the header is left blank";

    ASSERT_NO_FATAL_FAILURE(Find({"株式会社  以上 ", 1, 0}));
    EXPECT_EQ(ListTexts(Remote()), Texts({BUSINESS[1], BUSINESS[2]}));
    ASSERT_NO_FATAL_FAILURE(Find({"株式会社 以上", 0, 0}));
    EXPECT_EQ(ListTexts(Remote()), std::vector<std::string>{}) << "no phrase holds both";

    // The history as the dialog shows it, and the mode it remembers.
    ASSERT_NO_FATAL_FAILURE(OpenFind());
    EXPECT_EQ(HistoryOf(dialog), Texts({"株式会社 以上", "株式会社  以上 ", "お世話 株式会社"}));
    EXPECT_TRUE(Checked(dialog, IDC_FIND_AND));
    SendMessageA(GetDlgItem(dialog, IDC_FIND_TEXT), CB_SHOWDROPDOWN, TRUE, 0);
    Shot("find-dialog-history");
    SendMessageA(GetDlgItem(dialog, IDC_FIND_TEXT), CB_SHOWDROPDOWN, FALSE, 0);
    ASSERT_NO_FATAL_FAILURE(CloseWith(VK_ESCAPE));
}

TEST_F(FindE2E, TheScopeIsTheOpenLabelAndItsLabelsOrTheWholeLibrary)
{
    ASSERT_NO_FATAL_FAILURE(ShowOnRecord(RecordWith(GREETING_PATH, sizeof GREETING_PATH)));
    const std::vector<std::string> greetings = {BUSINESS[0], BUSINESS[1], BUSINESS[2], "こんにちは。"};

    ASSERT_NO_FATAL_FAILURE(Find({"。 既存 行07", 1, 0}));
    EXPECT_EQ(ListTexts(Remote()), greetings);
    ASSERT_NO_FATAL_FAILURE(Find({"。 既存 行07", 1, 1}));
    std::vector<std::string> all = greetings;
    all.push_back("既存");
    all.push_back("行07");
    EXPECT_EQ(ListTexts(Remote()), all);
}

TEST_F(FindE2E, TheHistoryKeepsItsOrderAcrossARestartAndAnEmptyTextStaysOutOfIt)
{
    ASSERT_NO_FATAL_FAILURE(ShowOnRecord());
    ASSERT_NO_FATAL_FAILURE(Find({"abc", 0, 0}));
    ASSERT_NO_FATAL_FAILURE(Find({"お世話", 0, 0}));
    EXPECT_EQ(ListTexts(Remote()), Texts({BUSINESS[0], BUSINESS[1]}));
    ASSERT_NO_FATAL_FAILURE(Find({"ABC", 0, 0}));
    EXPECT_EQ(StoredHistory(Stored()), Texts({"ABC", "お世話"})) << "abc gave way to ABC";

    // An empty text lists every phrase in scope with AND, none with OR, and
    // leaves the history as it was.
    ASSERT_NO_FATAL_FAILURE(Find({"", 0, 0}));
    EXPECT_EQ(ListTexts(Remote()), Texts({BUSINESS[0], BUSINESS[1], BUSINESS[2]}));
    ASSERT_NO_FATAL_FAILURE(Find({"", 1, 0}));
    EXPECT_EQ(ListTexts(Remote()), std::vector<std::string>{});
    EXPECT_EQ(StoredHistory(Stored()), Texts({"ABC", "お世話"}));
    ASSERT_NO_FATAL_FAILURE(ExitByCommand());

    ASSERT_NO_FATAL_FAILURE(StartFenlop());
    EXPECT_EQ(Stored().showingResults, 0) << "cleared at start";
    ASSERT_NO_FATAL_FAILURE(ShowFromTray());
    EXPECT_EQ(ListTexts(Remote()), Texts({BUSINESS[0], BUSINESS[1], BUSINESS[2]})) << "the label again";
    ASSERT_NO_FATAL_FAILURE(OpenFind());
    EXPECT_EQ(HistoryOf(dialog), Texts({"ABC", "お世話"}));
    EXPECT_TRUE(Checked(dialog, IDC_FIND_OR)) << "the last mode";
    ASSERT_NO_FATAL_FAILURE(CloseWith(VK_ESCAPE));
}

TEST_F(FindE2E, TenSearchesOfThirtyBytesKeepTheNewestEight)
{
    ASSERT_NO_FATAL_FAILURE(ShowOnRecord());
    std::vector<std::string> texts;
    for (int i = 0; i < 10; i++) {
        std::string text = "search" + std::to_string(i) + "-";
        text.resize(30, (char)('a' + i));
        texts.push_back(text);
        ASSERT_NO_FATAL_FAILURE(Find({texts.back().c_str(), 0, 0}));
    }
    std::vector<std::string> newest(texts.rbegin(), texts.rbegin() + 8);
    SettingsRecord stored = Stored();
    EXPECT_EQ(StoredHistory(stored), newest);
    std::string block;
    for (const std::string& t : newest)
        block += t + '\0';
    EXPECT_EQ(std::string(stored.findHistory, FIND_HISTORY_SIZE), block + std::string(8, '\0'));
    ASSERT_NO_FATAL_FAILURE(OpenFind());
    EXPECT_EQ(HistoryOf(dialog), newest);
    ASSERT_NO_FATAL_FAILURE(CloseWith(VK_ESCAPE));
}

TEST_F(FindE2E, CancelRestoresTheOptionsAndTheResultsStay)
{
    ASSERT_NO_FATAL_FAILURE(ShowOnRecord());
    ASSERT_NO_FATAL_FAILURE(Find({"既存", 1, 1}));
    EXPECT_EQ(ListTexts(Remote()), Texts({"既存"}));
    SettingsRecord before = Stored();

    ASSERT_NO_FATAL_FAILURE(OpenFind());
    EXPECT_TRUE(Checked(dialog, IDC_FIND_OR));
    EXPECT_TRUE(Checked(dialog, IDC_FIND_ALL_TREES));
    ASSERT_NO_FATAL_FAILURE(SetText("以上"));
    ASSERT_NO_FATAL_FAILURE(SetOptions(0, 0));
    ASSERT_NO_FATAL_FAILURE(CloseWith(VK_ESCAPE));
    EXPECT_EQ(ListTexts(Remote()), Texts({"既存"}));

    // The close box cancels too.
    ASSERT_NO_FATAL_FAILURE(OpenFind());
    EXPECT_TRUE(Checked(dialog, IDC_FIND_OR)) << "cancel restores the mode";
    EXPECT_TRUE(Checked(dialog, IDC_FIND_ALL_TREES)) << "cancel restores the scope";
    EXPECT_EQ(HistoryOf(dialog), Texts({"既存"}));
    ASSERT_NO_FATAL_FAILURE(SetOptions(0, 0));
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
    ASSERT_NO_FATAL_FAILURE(OpenFind());
    EXPECT_TRUE(Checked(dialog, IDC_FIND_OR));
    EXPECT_TRUE(Checked(dialog, IDC_FIND_ALL_TREES));
    ASSERT_NO_FATAL_FAILURE(CloseWith(VK_ESCAPE));
    SettingsRecord after = Stored();
    EXPECT_EQ(memcmp(&before, &after, sizeof after), 0) << "a cancel stores nothing";

    ASSERT_NO_FATAL_FAILURE(ExitByCommand());
    after = Stored();
    EXPECT_EQ(after.searchMode, 1);
    EXPECT_EQ(after.searchAllTrees, 1);
    EXPECT_STREQ(after.searchText, "既存");
    EXPECT_EQ(memcmp(after.findHistory, before.findHistory, FIND_HISTORY_SIZE), 0);
}

TEST_F(FindE2E, ResultsAreNeverStoredInALabelAndAResultCanBeSent)
{
    ASSERT_NO_FATAL_FAILURE(CallUpOverTarget());
    const std::string original = ReadFileBytes(library);

    ASSERT_NO_FATAL_FAILURE(Find({"お世話", 0, 0}));
    EXPECT_EQ(ListTexts(Remote()), Texts({BUSINESS[0], BUSINESS[1]}));
    const std::string afterFirst = ReadFileBytes(library);
    EXPECT_EQ(afterFirst, original) << "the label's own list went back unchanged";
    ASSERT_NO_FATAL_FAILURE(Find({"以上 こんにちは", 1, 1}));
    EXPECT_EQ(ListTexts(Remote()), Texts({BUSINESS[2], "こんにちは。"}));
    EXPECT_EQ(ReadFileBytes(library), original) << "the first results went into no label";

    ASSERT_TRUE(WaitUntil([&] { return PhraseWindowReady(); }));
    PressKey(VK_DOWN);
    ASSERT_TRUE(WaitUntil([&] { return FirstSelected(list) >= 0; }));
    // Results belong to no label: they can be sent but not moved.
    const std::vector<std::string> shown = ListTexts(Remote());
    PressChord({VK_CONTROL}, FirstSelected(list) == 0 ? 'D' : 'U');
    Sleep(300);
    EXPECT_EQ(ListTexts(Remote()), shown);
    int row = FirstSelected(list);
    PressKey(VK_RETURN);
    const std::string sent = row == 0 ? BUSINESS[2] : "こんにちは。";
    EXPECT_TRUE(WaitUntil([&] { return EditText(edit) == sent; })) << EditText(edit);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(phrase); }));

    ASSERT_NO_FATAL_FAILURE(ExitByCommand());
    EXPECT_EQ(ReadFileBytes(library), original) << "nor at exit";
}

TEST_F(FindE2E, TheKeyboardDrivesTheDialog)
{
    ASSERT_NO_FATAL_FAILURE(ShowOnRecord());
    ASSERT_NO_FATAL_FAILURE(OpenFind());
    ASSERT_NO_FATAL_FAILURE(SetText("既存"));
    // Tab reaches the check box; Space sets it, Alt+T clears it again.
    HWND box = GetDlgItem(dialog, IDC_FIND_ALL_TREES);
    for (int i = 0; i < 3 && FocusOf(dialog) != box; i++) {
        HWND before = FocusOf(dialog);
        PressKey(VK_TAB);
        WaitUntil([&] { return FocusOf(dialog) != before; }, 2000);
    }
    ASSERT_EQ(FocusOf(dialog), box) << "focus on " << GetDlgCtrlID(FocusOf(dialog));
    PressKey(VK_SPACE);
    ASSERT_TRUE(WaitUntil([&] { return Checked(dialog, IDC_FIND_ALL_TREES); }));
    PressChord({VK_MENU}, 'T');
    ASSERT_TRUE(WaitUntil([&] { return !Checked(dialog, IDC_FIND_ALL_TREES); }));
    PressKey(VK_SPACE);
    ASSERT_TRUE(WaitUntil([&] { return Checked(dialog, IDC_FIND_ALL_TREES); }));
    PressChord({VK_MENU}, 'A');
    EXPECT_TRUE(WaitUntil([&] {
        HWND focus = FocusOf(dialog);
        return focus == GetDlgItem(dialog, IDC_FIND_AND) || focus == GetDlgItem(dialog, IDC_FIND_OR);
    })) << "Alt+A reaches the radio buttons";
    bool orMode = Checked(dialog, IDC_FIND_OR);
    ASSERT_NO_FATAL_FAILURE(CloseWith(VK_RETURN));
    EXPECT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == Texts({"既存"}); })) << Joined(ListTexts(Remote()));
    SettingsRecord stored = Stored();
    EXPECT_EQ(stored.searchAllTrees, 1);
    EXPECT_EQ(stored.searchMode, orMode ? 1 : 0);
    EXPECT_STREQ(stored.searchText, "既存");
}

TEST_F(FindE2E, ALongTextIsCutToSeventyNineBytesOnACharacterBoundary)
{
    ASSERT_NO_FATAL_FAILURE(ShowOnRecord());
    ASSERT_NO_FATAL_FAILURE(OpenFind());
    // Put there from outside, past the field's limit and width.
    std::string wide;
    for (int i = 0; i < 100; i++)
        wide += "あ";
    SendMessageA(GetDlgItem(dialog, IDC_FIND_TEXT), WM_SETTEXT, 0, (LPARAM)wide.c_str());
    ASSERT_NO_FATAL_FAILURE(CloseWith(VK_RETURN));
    std::string cut = wide.substr(0, 78);
    SettingsRecord stored;
    DWORD size = 0;
    ASSERT_TRUE(WaitUntil([&] { return ReadRecord(&stored, &size) && stored.showingResults == 1; }));
    EXPECT_EQ(std::string(stored.searchText, SEARCH_TEXT_SIZE), cut + std::string(2, '\0'));
    EXPECT_EQ(StoredHistory(stored), Texts({cut.c_str()}));
    EXPECT_EQ(ListTexts(Remote()), std::vector<std::string>{});
}

// Another program holds the phrase file: a moved phrase waits in the list,
// a search leaves that list alone, and the phrase reaches the file once the
// file is free again.
TEST_F(FindE2E, AListTheFileCannotTakeIsNotReplacedByResults)
{
    ASSERT_NO_FATAL_FAILURE(MoveWhileTheFileIsHeld());
    Sleep(1300);  // the gathered store has been tried and refused

    ASSERT_NO_FATAL_FAILURE(OpenFind());
    ASSERT_NO_FATAL_FAILURE(SetText("以上"));
    ASSERT_NO_FATAL_FAILURE(CloseWith(VK_RETURN));
    Sleep(300);
    EXPECT_EQ(ListTexts(Remote()), moved) << "no results over a list the file has not taken";

    LetGoOfFile();
    EXPECT_TRUE(MovedStored(5000)) << "the store is tried again";
}

// Exit while another program holds the phrase file: fenlop tries the store
// for a few seconds, then keeps the edits in a recovery file beside the
// library and ends. The next start adds them as a new top-level label and
// says so; the library's own label is as the file held it.
TEST_F(FindE2E, ExitKeepsEditsTheFileCannotTakeForTheNextStart)
{
    const std::string original = ReadFileBytes(WindowsPath(E2E_DATA "/library.htm"));
    ASSERT_NO_FATAL_FAILURE(MoveWhileTheFileIsHeld());
    ASSERT_NO_FATAL_FAILURE(ExitByCommand());
    const std::string recovery = folder + "\\fenlop.r01";
    EXPECT_NE(ReadFileBytes(recovery).find("<u>\"復元：ビジネス\""), std::string::npos);
    LetGoOfFile();
    EXPECT_EQ(ReadFileBytes(library), original);

    ASSERT_NO_FATAL_FAILURE(StartFenlop());
    std::vector<std::string> top = TreeChildNames(tree, fenlop.handle, nullptr);
    ASSERT_FALSE(top.empty());
    EXPECT_EQ(top.back(), "復元：ビジネス");
    std::string bytes = ReadFileBytes(library);
    size_t label = bytes.find("<u>\"復元：ビジネス\"");
    ASSERT_NE(label, std::string::npos);
    EXPECT_LT(bytes.find("\"いつもお世話", label), bytes.find("\"お世話になっております。\"", label));
    EXPECT_EQ(bytes.compare(0, label - 4, original, 0, label - 4), 0) << "the rest of the library is as it was";
    EXPECT_EQ(GetFileAttributesA(recovery.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(EditText(GetDlgItem(phrase, IDC_STATUS)), "前回保存できなかったフレーズをラベル「復元：ビジネス」に入れました");
    ASSERT_NO_FATAL_FAILURE(ShowFromTray());
    Shot("recovered-label");
}

// A WM_CLOSE from another process ends fenlop without the exit's wait; the
// edits the held file cannot take are kept all the same.
TEST_F(FindE2E, AnEndFromOutsideKeepsEditsTheFileCannotTake)
{
    ASSERT_NO_FATAL_FAILURE(MoveWhileTheFileIsHeld());
    PostMessageA(tray, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForExit(&fenlop), 0);
    EXPECT_NE(ReadFileBytes(folder + "\\fenlop.r01").find("<u>\"復元：ビジネス\""), std::string::npos);
}

// Exit while another program holds the phrase file and every numbered
// recovery name is taken (by a folder): the edits are kept all the same,
// under the date and time, without a question.
TEST_F(FindE2E, ExitKeepsEditsUnderTheDateWhenEveryRecoveryNumberIsTaken)
{
    for (int n = 1; n <= 99; n++) {
        char name[16];
        snprintf(name, sizeof name, "\\fenlop.r%02d", n);
        ASSERT_TRUE(CreateDirectoryA((folder + name).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    }
    ASSERT_NO_FATAL_FAILURE(MoveWhileTheFileIsHeld());

    PostMessageA(phrase, WM_COMMAND, CMD_EXIT, 0);
    EXPECT_EQ(WaitForExit(&fenlop, 10000), 0) << "nothing to ask: the edits are kept";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\fenlop.r\?\?\?\?\?\?\?\?-\?\?\?\?\?\?").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << "a recovery file named by the date";
    FindClose(search);
    std::string kept = ReadFileBytes(folder + "\\" + found.cFileName);
    EXPECT_NE(kept.find("<u>\"復元：ビジネス\""), std::string::npos) << found.cFileName;
}

// The end of the session with the phrase file held a moment: the answer to
// it waits until the edits are stored (the system ends fenlop after it).
TEST_F(FindE2E, EndOfSessionWaitsAMomentForAHeldFile)
{
    ASSERT_NO_FATAL_FAILURE(MoveWhileTheFileIsHeld());
    std::thread freeing([&] {
        Sleep(1000);
        LetGoOfFile();
    });
    DWORD_PTR answer = 0;
    LRESULT sent = SendMessageTimeoutA(tray, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 10000, &answer);
    freeing.join();
    ASSERT_NE(sent, 0);
    EXPECT_TRUE(MovedStored(0)) << "stored before the answer";
}

// The end of the session with the file held throughout: when the answer
// comes, the edits wait in a recovery file. Where fenlop still runs after
// it, the store that succeeds later removes that file again.
TEST_F(FindE2E, EndOfSessionKeepsEditsTheFileCannotTakeInARecoveryFile)
{
    ASSERT_NO_FATAL_FAILURE(MoveWhileTheFileIsHeld());
    DWORD_PTR answer = 0;
    ASSERT_NE(SendMessageTimeoutA(tray, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 10000, &answer), 0);
    const std::string recovery = folder + "\\fenlop.r01";
    EXPECT_NE(ReadFileBytes(recovery).find("<u>\"復元：ビジネス\""), std::string::npos);
    LetGoOfFile();
    EXPECT_TRUE(MovedStored(8000));
    EXPECT_TRUE(WaitUntil([&] { return GetFileAttributesA(recovery.c_str()) == INVALID_FILE_ATTRIBUTES; }, 2000));
}

}  // namespace
