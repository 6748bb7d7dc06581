// The calculator pad end to end: called up by its hot key, the tray and
// other processes, driven by keys and clicks, its values typed into the
// target editor.
#include "tests/e2e/e2e_fixture.h"

namespace {

const int CALC_HOTKEY = HOTKEY_CTRL_ALT | 'C';
const char BARE_CAPTION[] = "電卓　";
const char EMPTY_INDICATORS[] = "                            \n";
const int PHRASE_LEFT = 140;
const int PHRASE_TOP = 90;
const int PARK_X = 1000;
const int PARK_Y = 1020;

class CalcPadE2E : public FenlopE2E {
protected:
    HWND pad = nullptr;

    void Start(int enterNewline)
    {
        ParkPointer();
        SettingsRecord record = RecordWith(BUSINESS_PATH, sizeof BUSINESS_PATH);
        record.calcHotKey = CALC_HOTKEY;
        record.calcEnterNewline = enterNewline;
        record.windowLeft = PHRASE_LEFT;
        record.windowTop = PHRASE_TOP;
        StartOverTarget(record);
    }

    // The pad opened by its hot key over the target, on a fresh start.
    void OpenPad(int enterNewline)
    {
        ASSERT_NO_FATAL_FAILURE(Start(enterNewline));
        ASSERT_NO_FATAL_FAILURE(FocusTarget());
        ASSERT_NO_FATAL_FAILURE(OpenByHotKey());
    }

    // The pad is kept hidden between call-ups: only a shown one counts.
    HWND FindPad()
    {
        HWND found = FindProcessWindow(fenlop, "#32770");
        return found && IsWindowVisible(found) ? found : nullptr;
    }

    // Shown, in front, the focus on the display.
    bool PadReady()
    {
        pad = FindPad();
        return pad && IsWindowVisible(pad) && GetForegroundWindow() == pad &&
               FocusOf(pad) == GetDlgItem(pad, IDC_CALC_DISPLAY);
    }

    void OpenByHotKey()
    {
        CallUpByHotKey(CALC_HOTKEY);
        ASSERT_TRUE(WaitUntil([&] { return PadReady(); })) << "pad " << FindPad();
        SettleXFocus(pad);
    }

    bool NoPadFor(DWORD ms = 400)
    {
        return !WaitUntil([&] { return FindPad() != nullptr; }, ms);
    }

    std::string Entry() { return EditText(GetDlgItem(pad, IDC_CALC_ENTRY)); }
    // The entry line, blank indicators before it.
    static std::string Bare(const char* line) { return std::string(EMPTY_INDICATORS) + line; }
    std::string Display() { return EditText(GetDlgItem(pad, IDC_CALC_DISPLAY)); }
    bool EntryIs(const std::string& line)
    {
        return WaitUntil([&] { return Entry() == line; }, 3000);
    }

    // A while after keys that must not reach it, the pad is open and as it
    // was: the entry line, no indicators, the bare caption.
    void ExpectPadStill(const char* line)
    {
        Sleep(300);
        ASSERT_TRUE(IsWindowVisible(pad));
        EXPECT_EQ(Entry(), Bare(line));
        EXPECT_EQ(WindowText(pad), BARE_CAPTION);
    }

    void PressKeys(std::initializer_list<BYTE> keys)
    {
        for (BYTE key : keys)
            PressKey(key);
    }

    void Click(int id)
    {
        SettleXPlace(pad);
        RECT rc;
        GetWindowRect(GetDlgItem(pad, id), &rc);
        POINT c = Centre(rc);
        ClickAt(c);
        ParkPointer();
    }

    // A window that opens under the pointer takes the X focus at a moment
    // of the X server's choosing (see SettleXFocus). The pointer waits on
    // the taskbar, below where a menu opened at it stands, away from every
    // window of these tests.
    static void ParkPointer() { MouseMove(PARK_X, PARK_Y); }

    POINT PadCorner()
    {
        RECT rc;
        GetWindowRect(pad, &rc);
        return POINT{rc.left, rc.top};
    }

    // The pad in front again after another window of fenlop was.
    void BringPadForward()
    {
        ASSERT_TRUE(WaitUntil([&] {
            if (GetForegroundWindow() != pad)
                SetForegroundWindow(pad);
            return GetForegroundWindow() == pad;
        }));
        SettleXFocus(pad);
    }

    // The pad's thread moves or sizes a window.
    bool Moving()
    {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(GetWindowThreadProcessId(pad, nullptr), &info) && (info.flags & GUI_INMOVESIZE);
    }

    // Escape until no menu is open: a submenu closes first.
    static bool CloseMenuByEscape()
    {
        for (int i = 0; i < 3 && AnyMenuShown(); i++) {
            PressKey(VK_ESCAPE);
            WaitUntil([] { return !AnyMenuShown(); }, 1000);
        }
        return !AnyMenuShown();
    }
};

// One key stroke of the table below: a tap, with Shift, or a key held down
// for that many repeats before it is let go.
struct Stroke {
    BYTE key;
    bool shift = false;
    int repeats = 1;
};

struct KeyRow {
    const char* keys;  // what the row presses, for the failure message
    std::vector<Stroke> strokes;
    const char* display;  // the number after the row's keys, no indicators
    const char* caption;
};

void Type(const Stroke& stroke)
{
    if (stroke.shift)
        keybd_event(VK_SHIFT, 0, 0, 0);
    for (int i = 0; i < stroke.repeats; i++)
        keybd_event(stroke.key, 0, 0, 0);
    keybd_event(stroke.key, 0, KEYEVENTF_KEYUP, 0);
    if (stroke.shift)
        keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
}

// Keys in, the display and caption after, on one pad cleared by Home before
// each row. No row's last display shows on the way to it, so a match is the
// end state. The Japanese layout's main keys: 0xBA "*", 0xBB "+", 0xBD "-"
// and "=", 0xBF "/".
const KeyRow KEY_ROWS[] = {
    {"1 2 3 BackSpace 4", {{'1'}, {'2'}, {'3'}, {VK_BACK}, {'4'}}, "１２４．", BARE_CAPTION},
    {"1 2 + 3 Home 4 * 2 End", {{'1'}, {'2'}, {VK_ADD}, {'3'}, {VK_HOME}, {'4'}, {VK_MULTIPLY}, {'2'}, {VK_END}},
     "８．", BARE_CAPTION},
    {"5 Insert", {{'5'}, {VK_INSERT}}, "－５．", BARE_CAPTION},
    {"1 2 + 7 Delete 3 End", {{'1'}, {'2'}, {VK_ADD}, {'7'}, {VK_DELETE}, {'3'}, {VK_END}}, "１５．", BARE_CAPTION},
    {"1 0 0", {{'1'}, {'0'}, {'0'}}, "１００．", BARE_CAPTION},
    {"keypad 1 . 5", {{VK_NUMPAD1}, {VK_DECIMAL}, {VK_NUMPAD5}}, "１．５", BARE_CAPTION},
    {"1 Shift+5", {{'1'}, {'5', true}}, "４５．", BARE_CAPTION},
    {"6 keypad* 7 End", {{'6'}, {VK_MULTIPLY}, {'7'}, {VK_END}}, "４２．", BARE_CAPTION},
    {"9 keypad/ 4 End", {{'9'}, {VK_DIVIDE}, {'4'}, {VK_END}}, "２．２５", BARE_CAPTION},
    {"6 * 7 End", {{'6'}, {VK_OEM_1}, {'7'}, {VK_END}}, "４２．", BARE_CAPTION},
    {"6 + 7 End", {{'6'}, {VK_OEM_PLUS}, {'7'}, {VK_END}}, "１３．", BARE_CAPTION},
    {"9 - 4 End", {{'9'}, {VK_OEM_MINUS}, {'4'}, {VK_END}}, "５．", BARE_CAPTION},
    {"9 / 4 End", {{'9'}, {VK_OEM_2}, {'4'}, {VK_END}}, "２．２５", BARE_CAPTION},
    {"9 - 4 Shift+-", {{'9'}, {VK_OEM_MINUS}, {'4'}, {VK_OEM_MINUS, true}}, "５．", BARE_CAPTION},
    {"2 . 5", {{'2'}, {VK_OEM_PERIOD}, {'5'}}, "２．５", BARE_CAPTION},
    {"7 held", {{'7', false, 5}}, "７７７７７．", BARE_CAPTION},
    // Last: the only row that collects.
    {"keypad 1-5 Down 6-9 0",
     {{VK_NUMPAD1}, {VK_NUMPAD2}, {VK_NUMPAD3}, {VK_NUMPAD4}, {VK_NUMPAD5}, {VK_DOWN}, {VK_NUMPAD6},
      {VK_NUMPAD7}, {VK_NUMPAD8}, {VK_NUMPAD9}, {VK_NUMPAD0}},
     "６７８９０．", "電卓　12345"},
};

TEST_F(CalcPadE2E, HotKeyOpensThePadWhereThePhraseWindowIsAndEnterTypesTheValues)
{
    ASSERT_NO_FATAL_FAILURE(OpenPad(1));
    EXPECT_EQ(PadCorner().x, PHRASE_LEFT);
    EXPECT_EQ(PadCorner().y, PHRASE_TOP);
    EXPECT_TRUE(GetWindowLongA(pad, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(WindowText(pad), BARE_CAPTION);
    EXPECT_EQ(Display(), Bare("０．"));

    PressKeys({'1', '2', VK_DOWN, '3'});
    ASSERT_TRUE(EntryIs(Bare("3")));
    EXPECT_EQ(WindowText(pad), "電卓　12");
    PressKey(VK_RETURN);
    // The Enter option adds exactly one Enter after the paste.
    ASSERT_TRUE(WaitUntil([&] { return EditText(edit) == "12, 3\r\n"; })) << EditText(edit);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(pad); }));
    Sleep(300);
    EXPECT_EQ(EditText(edit), "12, 3\r\n");
}

TEST_F(CalcPadE2E, EscapeSendsNothingShiftEnterAndEndGiveTheResultAndClicksActLikeKeys)
{
    ASSERT_NO_FATAL_FAILURE(OpenPad(0));
    PressKey('7');
    ASSERT_TRUE(EntryIs(Bare("7")));
    Click(CALC_KEY_MEMORY_ADD);
    ASSERT_TRUE(EntryIs("M                           \n7"));
    PressKey(VK_DOWN);
    ASSERT_TRUE(WaitUntil([&] { return WindowText(pad) == "電卓　7"; }));
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(pad); }));
    Sleep(300);
    EXPECT_EQ(EditText(edit), "");

    // The next pad starts from all clear: no memory, nothing collected.
    FocusTarget();
    OpenByHotKey();
    EXPECT_EQ(WindowText(pad), BARE_CAPTION);
    EXPECT_EQ(Entry(), Bare("0"));
    PressKeys({'2', VK_ADD, '3'});
    PressChord({VK_SHIFT}, VK_RETURN);
    ASSERT_TRUE(EntryIs(Bare("5")));
    PressKeys({VK_ADD, '1', VK_END});
    ASSERT_TRUE(EntryIs(Bare("6")));

    // Clicks: 4 × 2 ＝, M+, then 1 2 ＋ to show both indicators.
    for (int id : {CALC_KEY_FOUR, CALC_KEY_MULTIPLY, CALC_KEY_TWO, CALC_KEY_EQUALS})
        Click(id);
    ASSERT_TRUE(EntryIs(Bare("8")));
    for (int id : {CALC_KEY_MEMORY_ADD, CALC_KEY_ONE, CALC_KEY_TWO, CALC_KEY_ADD})
        Click(id);
    ASSERT_TRUE(EntryIs("M                        [+]\n12"));
    EXPECT_EQ(Display(), "M                        [+]\n１２．");
    Sleep(300);
    Shot("calc-pad");
    // Ent: 12 + nothing new = 24 is collected and typed, no Enter after it.
    Click(1);
    ASSERT_TRUE(WaitUntil([&] { return EditText(edit) == "24"; })) << EditText(edit);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(pad); }));
}

TEST_F(CalcPadE2E, ThePhraseWindowFollowsThePadAndTheTogglesCloseWhatIsOpen)
{
    ASSERT_NO_FATAL_FAILURE(OpenPad(0));
    SetWindowPos(pad, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(WaitUntil([&] {
        RECT rc;
        GetWindowRect(phrase, &rc);
        return rc.left == 300 && rc.top == 200;
    }));

    // With the pad open the settings item is greyed: its S opens nothing.
    ASSERT_TRUE(OpenTrayMenu());
    PressKey('S');
    Sleep(300);
    EXPECT_FALSE(FindProcessWindow(fenlop, "#32770", "設定"));
    if (HWND menu = FindWindowA("#32768", nullptr))
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(WaitUntil([] { return !AnyMenuShown(); }));
    // The calculator hot key closes the pad.
    FocusTarget();
    CallUpByHotKey(CALC_HOTKEY);
    ASSERT_TRUE(WaitUntil([&] { return FindPad() == nullptr; }));
    EXPECT_FALSE(IsWindowVisible(phrase));

    // The phrase hot key only closes an open pad; the next shows the window
    // where the pad was. The calculator hot key then only hides it.
    OpenByHotKey();
    CallUpByHotKey();
    ASSERT_TRUE(WaitUntil([&] { return FindPad() == nullptr; })) << "same pad " << (FindPad() == pad) << ", in front " << (GetForegroundWindow() == pad);
    EXPECT_TRUE(StaysVisible(false));
    CallUp();
    SettleXFocus(phrase);
    RECT rc;
    GetWindowRect(phrase, &rc);
    EXPECT_EQ(rc.left, 300);
    EXPECT_EQ(rc.top, 200);
    CallUpByHotKey(CALC_HOTKEY);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(phrase); }));
    EXPECT_TRUE(NoPadFor());
    OpenByHotKey();
    EXPECT_EQ(PadCorner().x, 300);
    EXPECT_EQ(PadCorner().y, 200);

    // From another process: the calculator's hot-key id toggles the pad with the given target.
    PostMessageA(tray, MSG_CALL_UP, IDC_CALC_HOTKEY, (LPARAM)edit);
    ASSERT_TRUE(WaitUntil([&] { return FindPad() == nullptr; }));
    PostMessageA(tray, MSG_CALL_UP, IDC_CALC_HOTKEY, (LPARAM)edit);
    ASSERT_TRUE(WaitUntil([&] { return PadReady(); }));
    PressKey('9');
    ASSERT_TRUE(EntryIs(Bare("9")));
    PressKey(VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return EditText(edit) == "9"; })) << EditText(edit);

    ExitByCommand();
    SettingsRecord stored = Stored();
    EXPECT_EQ(stored.windowLeft, 300);
    EXPECT_EQ(stored.windowTop, 200);
}

TEST_F(CalcPadE2E, EachKeyOfTheTableEntersItsValueOnce)
{
    ASSERT_NO_FATAL_FAILURE(OpenPad(0));
    for (const KeyRow& row : KEY_ROWS) {
        PressKey(VK_HOME);
        ASSERT_TRUE(EntryIs(Bare("0"))) << row.keys;
        for (const Stroke& stroke : row.strokes)
            Type(stroke);
        std::string display = std::string(EMPTY_INDICATORS) + row.display;
        EXPECT_TRUE(WaitUntil([&] { return Display() == display && WindowText(pad) == row.caption; }, 3000))
            << row.keys << ": " << Display().substr(29) << ", caption " << WindowText(pad);
    }
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(pad); }));
    EXPECT_EQ(EditText(edit), "");
}

TEST_F(CalcPadE2E, TheTrayMenuAndThePadsSystemMenuTakeTheirOwnKeys)
{
    ASSERT_NO_FATAL_FAILURE(OpenPad(0));
    PressKeys({'1', '2'});
    ASSERT_TRUE(EntryIs(Bare("12")));

    // Down moves in the tray menu, Escape closes it: neither reaches the pad.
    ASSERT_TRUE(OpenTrayMenu());
    PressKey(VK_DOWN);
    ASSERT_TRUE(CloseMenuByEscape());
    ASSERT_NO_FATAL_FAILURE(ExpectPadStill("12"));

    // The pad's own system menu, with the pad the active window.
    BringPadForward();
    PressChord({VK_MENU}, VK_SPACE);
    ASSERT_TRUE(WaitUntil(AnyMenuShown));
    PressKeys({VK_DOWN, '5'});
    ASSERT_TRUE(CloseMenuByEscape());
    ASSERT_NO_FATAL_FAILURE(ExpectPadStill("12"));

    // Moved by keys (the system menu's Move): Down and Enter belong to the move.
    BringPadForward();
    PressChord({VK_MENU}, VK_SPACE);
    ASSERT_TRUE(WaitUntil(AnyMenuShown));
    PressKey('M');
    ASSERT_TRUE(WaitUntil([&] { return Moving(); })) << "no move by keys";
    PressKeys({VK_DOWN, VK_RETURN});
    ASSERT_TRUE(WaitUntil([&] { return !Moving(); }));
    ParkPointer();
    ASSERT_NO_FATAL_FAILURE(ExpectPadStill("12"));

    // With a key of the pad focused, a key still enters its value once.
    BringPadForward();
    Click(CALC_KEY_THREE);
    ASSERT_TRUE(EntryIs(Bare("123"))) << Entry() << ", focus " << FocusOf(pad);
    PressKey('4');
    ASSERT_TRUE(EntryIs(Bare("1234")));
    PressKey(VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return EditText(edit) == "1234"; })) << EditText(edit);
}

TEST_F(CalcPadE2E, ADialogOpenedOverThePadTakesItsOwnDigitsAndEnter)
{
    ASSERT_NO_FATAL_FAILURE(OpenPad(0));
    PressKey('7');
    ASSERT_TRUE(EntryIs(Bare("7")));

    // Ctrl+F belongs to the hidden phrase window: the command comes from outside.
    PostMessageA(phrase, WM_COMMAND, IDM_FIND, 0);
    HWND find = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        find = FindProcessWindow(fenlop, "#32770", "検索");
        return find && GetForegroundWindow() == find;
    }));
    PressKeys({'1', '2'});
    HWND text = GetDlgItem(find, IDC_FIND_TEXT);
    EXPECT_TRUE(WaitUntil([&] { return EditText(text) == "12"; }, 3000)) << EditText(text);
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(find); }));
    ASSERT_NO_FATAL_FAILURE(ExpectPadStill("7"));
    EXPECT_EQ(EditText(edit), "");
}

// Keys meant for the pad or another window do not move, store or search
// the phrases of the hidden phrase window.
TEST_F(CalcPadE2E, ThePhraseWindowsAcceleratorsDoNotActWhileItIsHidden)
{
    Start(0);
    // Shown once and hidden: its first phrase is selected, so Ctrl+D could move it.
    FocusTarget();
    CallUp();
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(phrase); }));
    const std::vector<std::string> listed = ListTexts(Remote());
    ASSERT_EQ(FirstSelected(list), 0);
    const std::string bytes = ReadFileBytes(library);
    FocusTarget();
    OpenByHotKey();

    for (BYTE key : {'D', 'S', 'F'})
        PressChord({VK_CONTROL}, key);
    Sleep(1500);  // a moved phrase would have reached the file
    EXPECT_EQ(ListTexts(Remote()), listed);
    EXPECT_EQ(ReadFileBytes(library), bytes);
    EXPECT_EQ(WindowText(phrase), "Fenlop") << "hold toggled";
    EXPECT_FALSE(FindProcessWindow(fenlop, "#32770", "検索"));
    EXPECT_FALSE(IsWindowVisible(phrase));
    EXPECT_EQ(GetForegroundWindow(), pad);
}

TEST_F(CalcPadE2E, AHiddenPadTakesNoPostedCommandEscapeClosesItAndEntTypesNothingForAClosedTarget)
{
    Start(1);
    // The pad is made ahead and hidden; commands posted from outside before
    // its first call-up (Ent above all) must not act, nor end the program.
    HWND hidden = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (hidden = FindProcessWindow(fenlop, "#32770", BARE_CAPTION)) != nullptr; }));
    EXPECT_FALSE(IsWindowVisible(hidden));
    for (int id : {CALC_KEY_FINISH, CALC_KEY_ONE, 0})
        PostMessageA(hidden, WM_COMMAND, id, 0);
    PostMessageA(hidden, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(fenlop.handle, 500), (DWORD)WAIT_TIMEOUT);
    EXPECT_FALSE(IsWindowVisible(hidden));
    EXPECT_EQ(EditText(edit), "");
    // A second editor: where keys meant for a closed target would land.
    Bystander other;
    ASSERT_NO_FATAL_FAILURE(StartBystander(&other));
    HWND otherFrame = other.frame, otherEdit = other.edit;
    FocusTarget();
    OpenByHotKey();
    PostMessageA(pad, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(pad); }));

    // Closed, not hidden: the calculator hot key opens a new pad.
    FocusTarget();
    OpenByHotKey();
    PressKey('5');
    ASSERT_TRUE(EntryIs(Bare("5")));
    EndProcess(&target);
    ASSERT_TRUE(WaitUntil([&] {
        if (GetForegroundWindow() != otherFrame)
            SetForegroundWindow(otherFrame);
        return GetForegroundWindow() == otherFrame && FocusOf(otherFrame) == otherEdit;
    }));
    PostMessageA(pad, WM_COMMAND, CALC_KEY_FINISH, 0);  // Ent
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(pad); }));
    Sleep(500);
    EXPECT_EQ(EditText(otherEdit), "");
    // The values wait on the clipboard for a paste by hand (another program
    // may hold it open a moment).
    EXPECT_TRUE(WaitUntil([&] { return HeldText() == "5"; })) << HeldText();
}
}  // namespace
