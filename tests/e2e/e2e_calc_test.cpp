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

class CalcPadE2E : public FenlopE2E {
protected:
    HWND pad = nullptr;

    void Start(int enterNewline)
    {
        SettingsRecord record = RecordWith(BUSINESS_PATH, sizeof BUSINESS_PATH);
        record.calcHotKey = CALC_HOTKEY;
        record.calcEnterNewline = enterNewline;
        record.windowLeft = PHRASE_LEFT;
        record.windowTop = PHRASE_TOP;
        WriteRecord(record);
        StartTarget();
        StartFenlop();
    }

    HWND FindPad() { return FindProcessWindow(fenlop, "#32770"); }

    // Shown, in front, the focus on the display.
    bool PadReady()
    {
        pad = FindPad();
        return pad && IsWindowVisible(pad) && GetForegroundWindow() == pad &&
               FocusOf(pad) == GetDlgItem(pad, 1013);
    }

    void OpenByHotKey()
    {
        CallUpByHotKey(CALC_HOTKEY);
        ASSERT_TRUE(WaitUntil([&] { return PadReady(); })) << "pad " << FindPad();
    }

    bool NoPadFor(DWORD ms = 400)
    {
        return !WaitUntil([&] { return FindPad() != nullptr; }, ms);
    }

    std::string Entry() { return EditText(GetDlgItem(pad, 1014)); }
    std::string Display() { return EditText(GetDlgItem(pad, 1013)); }
    bool EntryIs(const std::string& line)
    {
        return WaitUntil([&] { return Entry() == line; }, 3000);
    }

    void PressKeys(std::initializer_list<BYTE> keys)
    {
        for (BYTE key : keys)
            PressKey(key);
    }

    void Click(int id)
    {
        RECT rc;
        GetWindowRect(GetDlgItem(pad, id), &rc);
        POINT c = Centre(rc);
        RunUnix("/usr/bin/xdotool mousemove " + std::to_string(c.x) + " " + std::to_string(c.y) + " click 1");
    }

    POINT PadCorner()
    {
        RECT rc;
        GetWindowRect(pad, &rc);
        return POINT{rc.left, rc.top};
    }
};

TEST_F(CalcPadE2E, HotKeyOpensThePadWhereThePhraseWindowIsAndEnterTypesTheValues)
{
    Start(1);
    FocusTarget();
    OpenByHotKey();
    EXPECT_EQ(PadCorner().x, PHRASE_LEFT);
    EXPECT_EQ(PadCorner().y, PHRASE_TOP);
    EXPECT_TRUE(GetWindowLongA(pad, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(WindowText(pad), BARE_CAPTION);
    EXPECT_EQ(Display(), std::string(EMPTY_INDICATORS) + "０．");

    PressKeys({'1', '2', VK_DOWN, '3'});
    ASSERT_TRUE(EntryIs(std::string(EMPTY_INDICATORS) + "3"));
    EXPECT_EQ(WindowText(pad), "電卓　12");
    PressKey(VK_RETURN);
    // The Enter option adds exactly one Enter after the paste.
    ASSERT_TRUE(WaitUntil([&] { return EditText(edit) == "12, 3\r\n"; })) << EditText(edit);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(pad); }));
    Sleep(300);
    EXPECT_EQ(EditText(edit), "12, 3\r\n");
}

TEST_F(CalcPadE2E, EscapeSendsNothingShiftEnterAndEndGiveTheResultAndClicksActLikeKeys)
{
    Start(0);
    FocusTarget();
    OpenByHotKey();
    PressKey('7');
    ASSERT_TRUE(EntryIs(std::string(EMPTY_INDICATORS) + "7"));
    Click(1127);  // M+
    ASSERT_TRUE(EntryIs("M                           \n7"));
    PressKey(VK_DOWN);
    ASSERT_TRUE(WaitUntil([&] { return WindowText(pad) == "電卓　7"; }));
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(pad); }));
    Sleep(300);
    EXPECT_EQ(EditText(edit), "");

    // The next pad starts from all clear: no memory, nothing collected.
    FocusTarget();
    OpenByHotKey();
    EXPECT_EQ(WindowText(pad), BARE_CAPTION);
    EXPECT_EQ(Entry(), std::string(EMPTY_INDICATORS) + "0");
    PressKeys({'2', VK_ADD, '3'});
    PressChord({VK_SHIFT}, VK_RETURN);
    ASSERT_TRUE(EntryIs(std::string(EMPTY_INDICATORS) + "5"));
    PressKeys({VK_ADD, '1', VK_END});
    ASSERT_TRUE(EntryIs(std::string(EMPTY_INDICATORS) + "6"));

    // Clicks: 4 × 2 ＝, M+, then 1 2 ＋ to show both indicators.
    for (int id : {1107, 1118, 1105, 1120})
        Click(id);
    ASSERT_TRUE(EntryIs(std::string(EMPTY_INDICATORS) + "8"));
    for (int id : {1127, 1104, 1105, 1116})
        Click(id);
    ASSERT_TRUE(EntryIs("M                        [+]\n12"));
    EXPECT_EQ(Display(), "M                        [+]\n１２．");
    Sleep(300);
    Shot("calc-pad");
    // Ent: 12 + nothing new = 24 is collected and typed, no Enter after it.
    Click(1);
    ASSERT_TRUE(WaitUntil([&] { return EditText(edit) == "24"; })) << EditText(edit);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(pad); }));
}

TEST_F(CalcPadE2E, ThePhraseWindowFollowsThePadAndTheTogglesCloseWhatIsOpen)
{
    Start(0);
    FocusTarget();
    OpenByHotKey();
    SetWindowPos(pad, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(WaitUntil([&] {
        RECT rc;
        GetWindowRect(phrase, &rc);
        return rc.left == 300 && rc.top == 200;
    }));

    // With the pad open the settings item is greyed: its S opens nothing.
    PostMessageA(tray, MSG_TRAY_NOTIFY, 107, WM_RBUTTONUP);
    ASSERT_TRUE(WaitUntil([] { HWND m = FindWindowA("#32768", nullptr); return m && IsWindowVisible(m); }));
    PressKey('S');
    Sleep(300);
    EXPECT_FALSE(FindProcessWindow(fenlop, "#32770", "設定"));
    if (HWND menu = FindWindowA("#32768", nullptr))
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(WaitUntil([] { HWND m = FindWindowA("#32768", nullptr); return !m || !IsWindowVisible(m); }));
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

    // From another process: 2002 toggles the pad with the given target.
    PostMessageA(tray, MSG_CALL_UP, 2002, (LPARAM)edit);
    ASSERT_TRUE(WaitUntil([&] { return FindPad() == nullptr; }));
    PostMessageA(tray, MSG_CALL_UP, 2002, (LPARAM)edit);
    ASSERT_TRUE(WaitUntil([&] { return PadReady(); }));
    PressKey('9');
    ASSERT_TRUE(EntryIs(std::string(EMPTY_INDICATORS) + "9"));
    PressKey(VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return EditText(edit) == "9"; })) << EditText(edit);

    ExitByCommand();
    SettingsRecord stored;
    DWORD size = 0;
    ASSERT_TRUE(ReadRecord(&stored, &size));
    EXPECT_EQ(stored.windowLeft, 300);
    EXPECT_EQ(stored.windowTop, 200);
}

}  // namespace
