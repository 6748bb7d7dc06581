// fenlop.exe end to end: start-up, calling up, sending, labels, dragging,
// settings and exit.
#include "tests/e2e/e2e_fixture.h"

#include <shellapi.h>

namespace {

TEST_F(FenlopE2E, FirstStartWritesTheDefaultsAndASecondStartChangesNothing)
{
    StartFenlop();
    EXPECT_FALSE(IsWindowVisible(phrase));
    EXPECT_FALSE(IsWindowVisible(tray));
    EXPECT_EQ(WindowText(phrase), "Fenlop");

    SettingsRecord stored;
    DWORD size = 0;
    ASSERT_TRUE(WaitUntil([&] { return ReadRecord(&stored, &size); }));
    ASSERT_EQ(size, 644u);
    SettingsRecord defaults;
    SetDefaultSettings(&defaults);
    EXPECT_EQ(memcmp(&stored, &defaults, sizeof stored), 0);
    EXPECT_EQ(stored.windowWidth, 448);
    EXPECT_EQ(stored.columnWidth, 1000);

    Process second = StartProcess("\"" + folder + "\\fenlop.exe\"", folder);
    EXPECT_EQ(WaitForExit(&second), 0);
    EndProcess(&second);
    SettingsRecord after = Stored();
    EXPECT_EQ(memcmp(&stored, &after, sizeof after), 0);
    EXPECT_EQ(FindWindowA("FLPTray", nullptr), tray);
    EXPECT_EQ(WaitForExit(&fenlop, 0), -1) << "the first instance must keep running";
}

TEST_F(FenlopE2E, HotKeyShowsTheLastLabelAndDownEnterPastesThePhrase)
{
    ASSERT_NO_FATAL_FAILURE(CallUpOverTarget());
    EXPECT_EQ(ListTexts(Remote()), Texts({BUSINESS[0], BUSINESS[1], BUSINESS[2]}));
    EXPECT_EQ(FirstSelected(list), 0);
    Shot("phrase-window");

    PressKey(VK_DOWN);
    ASSERT_TRUE(WaitUntil([&] { return FirstSelected(list) == 1; }))
        << "focus " << (FocusOf(phrase) == list) << " ctrl " << GetAsyncKeyState(VK_CONTROL) << " alt "
        << GetAsyncKeyState(VK_MENU) << " focused row "
        << SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED);
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return EditText(edit) == BUSINESS[1]; })) << EditText(edit);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(phrase); }));
    EXPECT_TRUE(StaysVisible(false));
    EXPECT_EQ(EditText(edit), BUSINESS[1]);
}

TEST_F(FenlopE2E, WithHoldTheWindowStaysAndEscapeHidesItAnyway)
{
    SettingsRecord record = RecordWith(BUSINESS_PATH, sizeof BUSINESS_PATH);
    record.hold = 1;
    ASSERT_NO_FATAL_FAILURE(StartOverTarget(record));
    EXPECT_EQ(WindowText(phrase), "Fenlop *");
    FocusTarget();
    CallUp();
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return EditText(edit) == BUSINESS[0]; })) << EditText(edit);
    EXPECT_TRUE(StaysVisible(true));

    // The hot key hides the shown window; the next shows it with the list
    // focused, where Escape hides it although hold is on.
    FocusTarget();
    CallUpByHotKey();
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(phrase); }));
    CallUp();
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(phrase); }));
}

TEST_F(FenlopE2E, EnterWithoutATargetSendsNothingAndTheWindowStays)
{
    WriteRecord(RecordWith(BUSINESS_PATH, sizeof BUSINESS_PATH));
    StartFenlop();
    // Shown from the tray without a target ever captured.
    ShowFromTray();
    PressKey(VK_RETURN);
    EXPECT_TRUE(StaysVisible(true));
}

TEST_F(FenlopE2E, DoubleClickSendsAndADoubleClickBelowTheLastRowOnlyHides)
{
    ASSERT_NO_FATAL_FAILURE(CallUpOverTarget());
    RECT row = ItemRect(Remote(), 2);
    ASSERT_GT(row.right, row.left);
    ClickAt(POINT{row.left + 20, (row.top + row.bottom) / 2}, "click --repeat 2 --delay 80 1");
    ASSERT_TRUE(WaitUntil([&] { return EditText(edit) == BUSINESS[2]; })) << EditText(edit);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(phrase); }));

    FocusTarget();
    CallUp();
    RECT listRect;
    GetWindowRect(list, &listRect);
    RECT last = ItemRect(Remote(), 2);
    int y = last.bottom + 40;
    ASSERT_LT(y, listRect.bottom - 5);
    ClickAt(POINT{last.left + 20, y}, "click --repeat 2 --delay 80 1");
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(phrase); }));
    Sleep(300);
    EXPECT_EQ(EditText(edit), BUSINESS[2]);
}

TEST_F(FenlopE2E, CallUpAndPasteMessagesFromAnotherProcess)
{
    SettingsRecord record = RecordWith(BUSINESS_PATH, sizeof BUSINESS_PATH);
    record.calcEnterNewline = 1;
    ASSERT_NO_FATAL_FAILURE(StartOverTarget(record));

    // Not a window: refused, and no target is taken.
    PostMessageA(tray, MSG_CALL_UP, IDC_PHRASE_HOTKEY, (LPARAM)0x7654321);
    PostMessageA(tray, MSG_CALL_UP, 1999, (LPARAM)edit);
    EXPECT_TRUE(StaysVisible(false));
    ASSERT_TRUE(SetClipboardText("貼り付け"));
    PostMessageA(tray, MSG_PASTE_CLIPBOARD, 0, 0);
    Sleep(300);
    EXPECT_EQ(EditText(edit), "");

    PostMessageA(tray, MSG_CALL_UP, IDC_PHRASE_HOTKEY, (LPARAM)edit);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(phrase) != FALSE; }));
    PostMessageA(tray, MSG_PASTE_CLIPBOARD, 0, 0);
    // calcEnterNewline adds one Enter after the paste.
    EXPECT_TRUE(WaitUntil([&] { return EditText(edit) == "貼り付け\r\n"; })) << EditText(edit);
}

TEST_F(FenlopE2E, AnExcludedTitleGetsNoPasteAndTheWindowStays)
{
    WriteRecord(RecordWith(BUSINESS_PATH, sizeof BUSINESS_PATH));
    StartTarget("メモ(表示)");
    StartFenlop();
    FocusTarget();
    CallUp();
    PressKey(VK_RETURN);
    EXPECT_TRUE(StaysVisible(true));
    EXPECT_EQ(EditText(edit), "");
    // The phrase is on the clipboard all the same.
    EXPECT_EQ(HeldText(2000), BUSINESS[0]);
}

TEST_F(FenlopE2E, SwitchingLabelsStoresTheList)
{
    WriteRecord(RecordWith(SORT_PATH, sizeof SORT_PATH));
    StartFenlop();
    PostMessageA(tray, MSG_CALL_UP, IDC_PHRASE_HOTKEY, (LPARAM)tray);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(phrase) != FALSE; }));
    PostMessageA(tray, 2096, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return PhraseWindowReady(); }));
    EXPECT_EQ(ListTexts(Remote()), Texts({"A", "B", "C", "D", "E"}));
    PressChord({VK_CONTROL}, 'D');
    ASSERT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == Texts({"B", "A", "C", "D", "E"}); }));
    PressKey(VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(phrase) == tree; }));
    PressKey(VK_DOWN);
    ASSERT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == Texts({"既存"}); }));
    EXPECT_TRUE(FileHoldsInOrder({"B", "A"}));
    PressKey(VK_UP);
    EXPECT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == Texts({"B", "A", "C", "D", "E"}); }));
}

TEST_F(FenlopE2E, ExitWritesTheLibraryAndThenTheRecord)
{
    ASSERT_NO_FATAL_FAILURE(CallUpOverTarget(RecordWith(SORT_PATH, sizeof SORT_PATH)));
    PressChord({VK_CONTROL}, 'D');
    ASSERT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == Texts({"B", "A", "C", "D", "E"}); }));
    EXPECT_TRUE(FileHoldsInOrder({"A", "B"})) << "nothing is written before the exit";
    MoveWindow(phrase, 40, 60, 500, 400, TRUE);
    RECT rc;
    GetWindowRect(phrase, &rc);
    ExitByCommand();

    EXPECT_TRUE(FileHoldsInOrder({"B", "A"}));
    SettingsRecord stored = Stored();
    EXPECT_EQ(memcmp(stored.selectedLabelPath, SORT_PATH, sizeof SORT_PATH), 0);
    EXPECT_EQ(stored.windowLeft, rc.left);
    EXPECT_EQ(stored.windowTop, rc.top);
    EXPECT_EQ(stored.windowWidth, rc.right - rc.left);
    EXPECT_EQ(stored.windowHeight, rc.bottom - rc.top);
    EXPECT_EQ(stored.treeWidth, 150);
    EXPECT_EQ(stored.columnWidth, 1000);
}

TEST_F(FenlopE2E, CloseToTheTrayWindowSavesTheLibraryButNotTheWindowState)
{
    ASSERT_NO_FATAL_FAILURE(CallUpOverTarget(RecordWith(GREETING_PATH, sizeof GREETING_PATH)));
    PressKey(VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(phrase) == tree; }));
    PressKey(VK_DOWN);
    ASSERT_TRUE(WaitUntil([&] { return ListTexts(Remote()).size() == 5; }));
    PressKey(VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(phrase) == list; }));
    PressChord({VK_CONTROL}, 'D');
    ASSERT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == Texts({"B", "A", "C", "D", "E"}); }));
    PostMessageA(tray, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForExit(&fenlop), 0);

    EXPECT_TRUE(FileHoldsInOrder({"B", "A"}));
    SettingsRecord stored = Stored();
    EXPECT_EQ(memcmp(stored.selectedLabelPath, GREETING_PATH, sizeof GREETING_PATH), 0)
        << "the phrase window's destruction did not run";
}

TEST_F(FenlopE2E, AboutBoxOpensWithoutHidingThePhraseWindow)
{
    ASSERT_NO_FATAL_FAILURE(CallUpOverTarget());
    PostMessageA(phrase, WM_COMMAND, CMD_ABOUT, 0);
    HWND about = ShownProcessWindow(fenlop, "#32770", "ﾊﾞｰｼﾞｮﾝ情報");
    ASSERT_TRUE(about);
    EXPECT_TRUE(StaysVisible(true));
    Shot("about-box");
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }));
    EXPECT_TRUE(IsWindowVisible(phrase));
}


TEST_F(FenlopE2E, DragInsideTheListMovesTheRow)
{
    ASSERT_NO_FATAL_FAILURE(CallUpOverTarget(RecordWith(SORT_PATH, sizeof SORT_PATH)));
    ASSERT_EQ(ListTexts(Remote()), Texts({"A", "B", "C", "D", "E"}));
    Drag(OnRow(ItemRect(Remote(), 1)), OnRow(ItemRect(Remote(), 3)), false);
    EXPECT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == Texts({"A", "C", "D", "B", "E"}); }))
        << ListTexts(Remote()).size();
    // With Ctrl the row is copied; released outside both controls it goes
    // to the end.
    RECT frame;
    GetWindowRect(phrase, &frame);
    Drag(OnRow(ItemRect(Remote(), 0)), POINT{frame.right + 60, frame.top + 100}, true);
    EXPECT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == Texts({"A", "C", "D", "B", "E", "A"}); }));
}

TEST_F(FenlopE2E, DropOnALabelMovesThePhraseAndWithCtrlCopiesIt)
{
    ASSERT_NO_FATAL_FAILURE(CallUpOverTarget(RecordWith(SORT_PATH, sizeof SORT_PATH)));
    POINT c = OnRow(ItemRect(Remote(), 2));
    ClickAt(c);
    ASSERT_TRUE(WaitUntil([&] { return FirstSelected(list) == 2; }));
    // The press that starts the drag must not count as a double-click.
    Sleep(GetDoubleClickTime() + 100);
    RECT label = TreeItemRect(tree, fenlop.handle, {"移動先"});
    ASSERT_GT(label.right, label.left);
    Drag(c, Centre(label), false);
    ASSERT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == Texts({"C", "既存"}); })) << Joined(ListTexts(Remote()));
    // Both labels are stored at once.
    std::string bytes = ReadFileBytes(library);
    size_t target = Find(bytes, "\"移動先\"");
    ASSERT_NE(target, std::string::npos);
    EXPECT_EQ(bytes.find("\"C\""), bytes.find("\"C\"", target)) << "C left its label for the target";
    EXPECT_NE(bytes.find("\"C\"", target), std::string::npos);

    RECT sort = TreeItemRect(tree, fenlop.handle, {"並べ替え"});
    Drag(OnRow(ItemRect(Remote(), 0)), Centre(sort), true);
    ASSERT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == Texts({"C", "A", "B", "D", "E"}); }));
    bytes = ReadFileBytes(library);
    EXPECT_NE(Find(bytes, "\"C\""), std::string::npos) << "the copy stays in its label";
}

TEST_F(FenlopE2E, SettingsDialogRegistersOnOkAndRestoresEverythingOnCancel)
{
    ASSERT_NO_FATAL_FAILURE(StartOverTarget());
    const int newKey = HOTKEY_CTRL_ALT | 'K';
    HWND dialog = nullptr;
    // The hot key control id, once focused, takes the chord of key.
    auto typeHotKey = [&](int id, int key) {
        EXPECT_TRUE(WaitUntil([&] { return FocusOf(dialog) == GetDlgItem(dialog, id); })) << id;
        CallUpByHotKey(key);
        return WaitUntil([&] { return (SendMessageA(GetDlgItem(dialog, id), HKM_GETHOTKEY, 0, 0) & 0xFFFF) == key; });
    };

    dialog = OpenSettings();
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(typeHotKey(IDC_PHRASE_HOTKEY, newKey));
    Shot("settings-dialog");
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
    SettingsRecord stored;
    DWORD size = 0;
    ASSERT_TRUE(WaitUntil([&] { return ReadRecord(&stored, &size) && stored.phraseHotKey == newKey; }));

    FocusTarget();
    CallUpByHotKey(newKey);
    ASSERT_TRUE(WaitUntil([&] { return PhraseWindowReady(); }));
    CallUpByHotKey(PHRASE_HOTKEY);
    EXPECT_TRUE(StaysVisible(true)) << "the old hot key is released";
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(phrase); }));

    dialog = OpenSettings();
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(typeHotKey(IDC_PHRASE_HOTKEY, HOTKEY_CTRL_ALT | 'L'));
    PressKey(VK_TAB);
    ASSERT_TRUE(typeHotKey(IDC_CALC_HOTKEY, HOTKEY_CTRL_ALT | 'M'));
    PressKey(VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(dialog) == GetDlgItem(dialog, IDC_CALC_ENTER); }));
    PressKey(VK_SPACE);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageA(GetDlgItem(dialog, IDC_CALC_ENTER), BM_GETCHECK, 0, 0) == BST_CHECKED; }));
    // While the dialog is open the tool stays idle, and nothing that saves
    // the record (closing the phrase window does) writes unconfirmed keys.
    FocusTarget();
    CallUpByHotKey(newKey);
    EXPECT_TRUE(StaysVisible(false)) << "the phrase window is not shown under the dialog";
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == dialog; })) << "the dialog comes forward instead";
    SendMessageA(phrase, WM_CLOSE, 0, 0);
    stored = Stored();
    EXPECT_EQ(stored.phraseHotKey, newKey);
    EXPECT_EQ(stored.calcHotKey, 0);
    EXPECT_EQ(stored.calcEnterNewline, 0);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));

    FocusTarget();
    CallUpByHotKey(HOTKEY_CTRL_ALT | 'L');
    EXPECT_TRUE(StaysVisible(false)) << "nothing new is registered";
    CallUpByHotKey(newKey);
    EXPECT_TRUE(WaitUntil([&] { return PhraseWindowReady(); }));
    ExitByCommand();
    stored = Stored();
    EXPECT_EQ(stored.phraseHotKey, newKey);
    EXPECT_EQ(stored.calcHotKey, 0);
    EXPECT_EQ(stored.calcEnterNewline, 0);
}

TEST_F(FenlopE2E, LosingTheActivationHidesAndMinimiseHidesAndStoresTheLayout)
{
    ASSERT_NO_FATAL_FAILURE(CallUpOverTarget());
    // Shown by a toggle, the window is not armed: another application may
    // come to the front. Once activated again, losing the activation hides
    // it and the other application stays in front.
    RECT frame, own;
    GetWindowRect(targetFrame, &frame);
    GetWindowRect(phrase, &own);
    auto click = [](int x, int y) { ClickAt(POINT{x, y}); };
    click(frame.left + 100, frame.top + 100);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == targetFrame; }));
    EXPECT_TRUE(StaysVisible(true));
    click(own.left + 60, own.top + 8);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == phrase; }));
    click(frame.left + 100, frame.top + 100);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(phrase); }));
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == targetFrame; }));

    FocusTarget();
    CallUp();
    MoveWindow(phrase, 30, 40, 520, 380, TRUE);
    PostMessageA(phrase, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(phrase); }));
    SettingsRecord stored;
    DWORD size = 0;
    ASSERT_TRUE(WaitUntil([&] { return ReadRecord(&stored, &size) && stored.windowWidth == 520; }));
    EXPECT_EQ(stored.windowLeft, 30);
    EXPECT_EQ(stored.windowTop, 40);
    EXPECT_EQ(stored.windowHeight, 380);
    FocusTarget();
    CallUp();
    RECT again;
    GetWindowRect(phrase, &again);
    EXPECT_EQ(again.left, 30);
    EXPECT_EQ(again.right - again.left, 520);
}

TEST_F(FenlopE2E, TheSplitterStopsAtBothEdgesOfTheWindow)
{
    ASSERT_NO_FATAL_FAILURE(CallUpOverTarget());
    HWND splitter = GetDlgItem(phrase, IDC_SPLITTER);
    ASSERT_TRUE(splitter);
    RECT bar, client;
    GetWindowRect(splitter, &bar);
    GetClientRect(phrase, &client);
    POINT origin = {0, 0};
    ClientToScreen(phrase, &origin);
    int y = (bar.top + bar.bottom) / 2;
    auto dragTo = [&](int x) {
        MouseMove(bar.left + 1, y);
        MouseButton(1, true);
        MouseMove(x, y);
        MouseMove(x + 1, y);
        MouseMove(x, y);
        MouseButton(1, false);
        GetWindowRect(splitter, &bar);
    };
    dragTo(origin.x - 50);
    RECT treeRect;
    EXPECT_TRUE(WaitUntil([&] { GetWindowRect(tree, &treeRect); return treeRect.right == treeRect.left; }));
    dragTo(origin.x + client.right + 50);
    EXPECT_TRUE(WaitUntil([&] {
        GetWindowRect(tree, &treeRect);
        return treeRect.right - treeRect.left == client.right - 3;
    })) << treeRect.right - treeRect.left;
}

TEST_F(FenlopE2E, EscapeInTheTreeHidesAndTabGoesBackToTheList)
{
    ASSERT_NO_FATAL_FAILURE(CallUpOverTarget());
    PressKey(VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(phrase) == tree; }));
    PressKey(VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(phrase) == list; }));
    PressKey(VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(phrase) == tree; }));
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(phrase); }));
}

TEST_F(FenlopE2E, ThePointerOverTheIconCapturesTheTargetForAClick)
{
    ASSERT_NO_FATAL_FAILURE(StartOverTarget());
    FocusTarget();
    // What the shell sends while the pointer passes over the icon and the
    // user clicks it: the click itself captures nothing.
    PostMessageA(tray, MSG_TRAY_NOTIFY, TRAY_ICON, WM_MOUSEMOVE);
    PostMessageA(tray, MSG_TRAY_NOTIFY, TRAY_ICON, WM_LBUTTONUP);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(phrase) != FALSE; }));
    PostMessageA(tray, 2096, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return PhraseWindowReady(); }));
    PressKey(VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return EditText(edit) == BUSINESS[0]; })) << EditText(edit);
}

TEST_F(FenlopE2E, EndOfSessionStoresTheListAndWritesNoRecord)
{
    ASSERT_NO_FATAL_FAILURE(StartOverTarget(RecordWith(SORT_PATH, sizeof SORT_PATH)));
    SettingsRecord before = Stored();
    FocusTarget();
    CallUp();
    MoveWindow(phrase, 20, 20, 600, 450, TRUE);
    PressChord({VK_CONTROL}, 'D');
    ASSERT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == Texts({"B", "A", "C", "D", "E"}); }));
    PostMessageA(tray, WM_ENDSESSION, TRUE, 0);
    EXPECT_TRUE(WaitUntil([&] { return FileHoldsInOrder({"B", "A"}); }));
    SettingsRecord after = Stored();
    EXPECT_EQ(memcmp(&before, &after, sizeof after), 0);
    EXPECT_EQ(WaitForExit(&fenlop, 0), -1) << "the process is left to the system";
}

TEST_F(FenlopE2E, AStoredValueOfAnotherSizeGivesTheDefaults)
{
    SettingsRecord defaults;
    SetDefaultSettings(&defaults);
    for (size_t n : {643u, 645u}) {
        const std::string bytes(n, '\x7f');
        WriteRecordBytes(bytes.data(), (DWORD)bytes.size());
        StartFenlop();
        SettingsRecord stored;
        DWORD size = 0;
        ASSERT_TRUE(WaitUntil([&] { return ReadRecord(&stored, &size) && size == 644; })) << n;
        EXPECT_EQ(memcmp(&stored, &defaults, sizeof stored), 0) << n;
        ExitByCommand();
        EndProcess(&fenlop);
    }
}

TEST_F(FenlopE2E, UnterminatedStringsInTheRecordAreCutAndAnExtendedKeyFlagIsDropped)
{
    SettingsRecord record = RecordWith(BUSINESS_PATH, sizeof BUSINESS_PATH);
    memset(record.selectedLabelPath, 'a', sizeof record.selectedLabelPath);
    memset(record.searchText, 'b', sizeof record.searchText);
    memset(record.findHistory, 'c', sizeof record.findHistory);
    record.phraseHotKey = ((HOTKEYF_EXT | HOTKEYF_CONTROL | HOTKEYF_ALT) << 8) | 'P';
    ASSERT_NO_FATAL_FAILURE(CallUpOverTarget(record));
    EXPECT_EQ(ItemCount(list), 0) << "no label is named by the path";
    ExitByCommand();
    SettingsRecord stored = Stored();
    EXPECT_EQ(stored.searchText[79], '\0');
    EXPECT_EQ(stored.findHistory[255], '\0');
}

TEST_F(FenlopE2E, AcceleratorsToggleHoldAndMovePhrases)
{
    ASSERT_NO_FATAL_FAILURE(CallUpOverTarget(RecordWith(SORT_PATH, sizeof SORT_PATH)));
    SettingsRecord stored;
    DWORD size = 0;
    PressChord({VK_CONTROL}, 'S');
    EXPECT_TRUE(WaitUntil([&] { return WindowText(phrase) == "Fenlop *"; }));
    EXPECT_TRUE(WaitUntil([&] { return ReadRecord(&stored, &size) && stored.hold == 1; }));
    PressChord({VK_CONTROL}, 'S');
    EXPECT_TRUE(WaitUntil([&] { return WindowText(phrase) == "Fenlop"; }));
    EXPECT_TRUE(WaitUntil([&] { return ReadRecord(&stored, &size) && stored.hold == 0; }));

    // Ctrl+U on the first row does nothing; Ctrl+D, Ctrl+D, Ctrl+U move A.
    // Each key is waited for: the first Ctrl+D gives the final order too.
    PressChord({VK_CONTROL}, 'U');
    PressChord({VK_CONTROL}, 'D');
    EXPECT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == Texts({"B", "A", "C", "D", "E"}); }))
        << Joined(ListTexts(Remote()));
    PressChord({VK_CONTROL}, 'D');
    EXPECT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == Texts({"B", "C", "A", "D", "E"}); }))
        << Joined(ListTexts(Remote()));
    EXPECT_EQ(FirstSelected(list), 2);
    PressChord({VK_CONTROL}, 'U');
    EXPECT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == Texts({"B", "A", "C", "D", "E"}); }))
        << Joined(ListTexts(Remote()));
    EXPECT_EQ(FirstSelected(list), 1);
    // The moves reach the file within a second of the last, without a switch.
    EXPECT_TRUE(WaitUntil([&] { return FileHoldsInOrder({"B", "A", "C"}); }, 4000));
}

// A chord whose modifiers rest half a second before the key: long enough
// for the X focus to arrive meanwhile if the window handed it was not
// settled yet, which lets the modifiers go.
void HeldChord(const std::vector<BYTE>& modifiers, BYTE key)
{
    for (BYTE m : modifiers)
        keybd_event(m, 0, 0, 0);
    Sleep(500);
    PressKey(key);
    for (size_t i = modifiers.size(); i-- > 0;)
        keybd_event(modifiers[i], 0, KEYEVENTF_KEYUP, 0);
}

// Each way the fixture hands the focus to a window: a chord pressed right
// after it arrives whole.
TEST_F(FenlopE2E, AChordHeldRightAfterTheFocusIsHandedArrivesWhole)
{
    ASSERT_NO_FATAL_FAILURE(StartOverTarget(RecordWith(SORT_PATH, sizeof SORT_PATH)));
    auto hide = [&] {
        if (IsWindowVisible(phrase))
            PressKey(VK_ESCAPE);
        return WaitUntil([&] { return !IsWindowVisible(phrase); });
    };
    // Ctrl+D moves the selected phrase down a row.
    auto movesDown = [&] {
        std::vector<std::string> before = ListTexts(Remote());
        int row = FirstSelected(list);
        HeldChord({VK_CONTROL}, 'D');
        return WaitUntil([&] { return FirstSelected(list) == row + 1 && ListTexts(Remote()) != before; }, 3000);
    };

    FocusTarget();
    HeldChord({VK_CONTROL, VK_MENU}, 'P');
    EXPECT_TRUE(WaitUntil([&] { return PhraseWindowReady(); }, 3000)) << "the hot key after FocusTarget";
    ASSERT_TRUE(hide());
    FocusTarget();
    CallUp();
    EXPECT_TRUE(movesDown()) << "Ctrl+D after CallUp";
    ASSERT_TRUE(hide());
    ShowFromTray();
    EXPECT_TRUE(movesDown()) << "Ctrl+D after ShowFromTray";
}

TEST_F(FenlopE2E, HeldBelowTheListADragScrollsAndARightClickCancelsIt)
{
    static const char longPath[] = "長い一覧\0";
    ASSERT_NO_FATAL_FAILURE(CallUpOverTarget(RecordWith(longPath, sizeof longPath)));
    std::vector<std::string> rows = ListTexts(Remote());
    ASSERT_EQ(rows.size(), 40u);
    RECT listRect;
    GetWindowRect(list, &listRect);
    int perPage = (int)SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0);
    ASSERT_LT(perPage, 40);

    // A right-button press during the drag: nothing moves.
    POINT from = OnRow(ItemRect(Remote(), 1));
    StartDrag(from);
    MouseMove(from.x, OnRow(ItemRect(Remote(), 3)).y);
    Sleep(300);
    MouseButton(3, true);
    MouseButton(3, false);
    MouseButton(1, false);
    Sleep(300);
    EXPECT_EQ(ListTexts(Remote()), rows);

    // Held below the list the view scrolls one row a tick until the last
    // row shows; released there, the row goes to the end.
    from = OnRow(ItemRect(Remote(), 0));
    StartDrag(from);
    MouseMove(from.x, listRect.bottom + 30);
    bool scrolled = WaitUntil([&] { return SendMessageA(list, LVM_GETTOPINDEX, 0, 0) + perPage >= 40; }, 8000);
    MouseButton(1, false);
    EXPECT_TRUE(scrolled) << SendMessageA(list, LVM_GETTOPINDEX, 0, 0);
    std::vector<std::string> moved(rows.begin() + 1, rows.end());
    moved.push_back(rows[0]);
    EXPECT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == moved; }));
}


TEST_F(FenlopE2E, F2RenamesALabelAndADuplicateNameIsRefused)
{
    static const char movePath[] = "移動先\0";
    ASSERT_NO_FATAL_FAILURE(CallUpOverTarget(RecordWith(movePath, sizeof movePath)));
    PressKey(VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(phrase) == tree; }));
    HWND editBox = nullptr;
    PressKey(VK_F2);
    ASSERT_TRUE(WaitUntil([&] { return (editBox = (HWND)SendMessageA(tree, TVM_GETEDITCONTROL, 0, 0)) != nullptr; }));
    SendMessageA(editBox, WM_SETTEXT, 0, (LPARAM)"届け先");
    PressKey(VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] {
        std::string bytes = ReadFileBytes(library);
        return Find(bytes, "\"届け先\"") != std::string::npos && Find(bytes, "\"移動先\"") == std::string::npos;
    }));

    PressKey(VK_F2);
    ASSERT_TRUE(WaitUntil([&] { return (editBox = (HWND)SendMessageA(tree, TVM_GETEDITCONTROL, 0, 0)) != nullptr; }));
    SendMessageA(editBox, WM_SETTEXT, 0, (LPARAM)"挨拶");
    PressKey(VK_RETURN);
    HWND box = ShownProcessWindow(fenlop, "#32770", "Fenlop");
    ASSERT_TRUE(box);
    EXPECT_EQ(MessageBoxText(box), "ラベル名が不正または重複しています");
    EXPECT_TRUE(IsWindowVisible(phrase)) << "the message box does not hide the phrase window";
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    // The edit box opens again; Escape leaves the name as it was.
    ASSERT_TRUE(WaitUntil([&] { return (editBox = (HWND)SendMessageA(tree, TVM_GETEDITCONTROL, 0, 0)) != nullptr; }));
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return SendMessageA(tree, TVM_GETEDITCONTROL, 0, 0) == 0; }));
    std::string bytes = ReadFileBytes(library);
    EXPECT_NE(Find(bytes, "\"届け先\""), std::string::npos);
}

// A clip file fenlop did not write (a label another program cut there)
// outlives its start, a second start and its exit.
TEST_F(FenlopE2E, AClipFileFenlopDidNotWriteOutlivesItsStartsAndItsExit)
{
    std::string clip = folder + "\\clip.txt";
    const std::string cut = "<u>\"cut label\"\r\n</u>\r\n";
    ASSERT_TRUE(WriteFileBytes(clip, cut));
    StartFenlop();
    EXPECT_EQ(ReadFileBytes(clip), cut);
    Process second = StartProcess("\"" + folder + "\\fenlop.exe\"", folder);
    EXPECT_EQ(WaitForExit(&second), 0);
    EndProcess(&second);
    EXPECT_EQ(ReadFileBytes(clip), cut);
    ExitByCommand();
    EXPECT_EQ(ReadFileBytes(clip), cut);
}

// Two starts close together, as from a double click on the shortcut: the
// second must not get past the single-instance test while the first is
// still reading the library (a large one here) before its tray window
// exists.
TEST_F(FenlopE2E, TwoStartsAtOnceLeaveExactlyOneInstance)
{
    std::string bytes = "<u>\"root\"\r\n    <u>\"many\"\r\n";
    for (int i = 0; i < 30000; i++)
        bytes += "        <p>\r\n        \"phrase " + std::to_string(i) + " of a library that takes a while to read\"\r\n        </p>\r\n";
    bytes += "    </u>\r\n</u>\r\n";
    ASSERT_TRUE(WriteFileBytes(library, bytes));
    std::string command = "\"" + folder + "\\fenlop.exe\"";
    Process starts[2] = {StartProcess(command, folder), StartProcess(command, folder)};
    ASSERT_TRUE(starts[0].handle && starts[1].handle);

    int ended = -1;
    ASSERT_TRUE(WaitUntil([&] {
        for (int i = 0; i < 2; i++)
            if (WaitForExit(&starts[i], 0) != -1)
                ended = i;
        return ended >= 0;
    })) << "both starts are still running";
    EXPECT_EQ(WaitForExit(&starts[ended], 0), 0);
    fenlop = starts[1 - ended];
    starts[1 - ended] = Process{};
    EndProcess(&starts[ended]);
    ASSERT_TRUE(WaitUntil([&] { return (tray = FindProcessWindow(fenlop, "FLPTray")) != nullptr; }));
    EXPECT_EQ(WaitForExit(&fenlop, 500), -1) << "the instance that stayed keeps running";
    int trays = 0;
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "FLPTray", nullptr)) != nullptr;)
        trays++;
    EXPECT_EQ(trays, 1);
}

TEST_F(FenlopE2E, HelpWithoutAHelpFileHidesTheWindow)
{
    ASSERT_NO_FATAL_FAILURE(CallUpOverTarget());
    PressKey(VK_F1);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(phrase); }));
    EXPECT_EQ(WaitForExit(&fenlop, 300), -1) << "still running";
}

// A restarted shell has lost the icons of the programs that ran before it
// and tells every top-level window "TaskbarCreated".
TEST_F(FenlopE2E, TheIconComesBackWhenTheTaskbarIsCreatedAgain)
{
    StartFenlop();
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = tray;
    icon.uID = TRAY_ICON;
    auto shown = [&] {
        NOTIFYICONDATAA probe = icon;
        probe.uFlags = NIF_TIP;
        strcpy(probe.szTip, "Fenlop");
        return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
    };
    ASSERT_TRUE(WaitUntil(shown));
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &icon));
    ASSERT_FALSE(shown());
    PostMessageA(tray, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitUntil(shown));
}

}  // namespace
