// Where the send goes and how: a kind of window given its own paste method
// (Shift+Insert, or the text typed key by key), and a target that cannot
// take the keys, which the icon's balloon tells of instead.
#include "tests/e2e/e2e_fixture.h"

#include "output/paste_methods.h"

namespace {

const int CALC_HOTKEY = HOTKEY_CTRL_ALT | 'C';
const char USERS_COPY[] = "ユーザーのコピー";
const char CLOSED_BALLOON[] =
    "貼り付け先のウィンドウが閉じられたため、貼り付けませんでした。文字列はクリップボードにあります。"
    "Ctrl+V で貼り付けてください。";
const char STOPPED_BALLOON[] = "入力中にフォーカスが貼り付け先のウィンドウから移ったため、入力を途中でやめました。";

// The target editor's record of the keys its edit control got.
const char CTRL_V[] = "c56 ";
const char SHIFT_INSERT[] = "s2d ";
const char TYPED[] = "e7 ";  // a character typed as Unicode input

class SendE2E : public FenlopE2E {
protected:
    // fenlop with the paste methods' table given (a string list, its
    // closing empty string included) and a target of the frame class, a
    // Unicode program as remote desktop clients are. (Under Wine an ANSI
    // window gets the two bytes of a typed Japanese character apart, and
    // makes two wrong ones of them.)
    void Start(const std::string& rules, const char* frameClass = TARGET_CLASS, DWORD restore = 0)
    {
        SettingsRecord record = RecordWith(BUSINESS_PATH, sizeof BUSINESS_PATH);
        record.calcHotKey = CALC_HOTKEY;
        WriteRecord(record);
        if (!rules.empty())
            RegSetKeyValueA(HKEY_CURRENT_USER, SETTINGS_KEY, "PasteMethods", REG_MULTI_SZ, rules.data(), (DWORD)rules.size());
        SetOption("RestoreClipboard", restore);
        ASSERT_NO_FATAL_FAILURE(StartTarget("", frameClass, true));
        ASSERT_NO_FATAL_FAILURE(StartFenlop());
        ASSERT_TRUE(SetClipboardText(USERS_COPY));
    }

    std::string KeysGot() { return WindowText(GetDlgItem(targetFrame, TARGET_KEYS_ID)); }

    // The second phrase of the open label (two lines), sent with Enter.
    void SendTwoLinePhrase()
    {
        FocusTarget();
        CallUp();
        PressKey(VK_DOWN);
        PressKey(VK_RETURN);
    }

    HWND CallUpPad()
    {
        CallUpByHotKey(CALC_HOTKEY);
        HWND pad = nullptr;
        EXPECT_TRUE(WaitUntil([&] { return (pad = FindProcessWindow(fenlop, "#32770")) && GetForegroundWindow() == pad; }));
        if (pad)
            SettleXFocus(pad);
        return pad;
    }

    static std::string StoredRules()
    {
        char bytes[4096];
        DWORD size = sizeof bytes;
        if (RegGetValueA(HKEY_CURRENT_USER, SETTINGS_KEY, "PasteMethods", RRF_RT_REG_MULTI_SZ, nullptr, bytes, &size) !=
            ERROR_SUCCESS)
            return "<none>";
        return std::string(bytes, size);
    }
};

std::string Rules(std::initializer_list<const char*> rows)
{
    std::string list;
    for (const char* row : rows)
        list += std::string(row) + '\0';
    return list + '\0';
}

// Each method as the table gives it for the target's class or program:
// the phrase (Japanese, two lines) arrives whole, by the keys of its
// method only; a typed one leaves the clipboard as the user had it.
TEST_F(SendE2E, EachKindOfWindowGetsThePhraseByItsOwnMethod)
{
    struct Case {
        const char* name;
        const char* frameClass;
        std::string rules;
        const char* keys;  // the method's keys, seen by the target
        bool clipboardLeft;
    } cases[] = {
        {"no row", TARGET_CLASS, Rules({"class:SomeOtherWindow=typed"}), CTRL_V, false},
        {"class row, Shift+Insert", "FenlopTerminal", Rules({"class:fenlopterminal=shift+insert"}), SHIFT_INSERT,
         false},
        {"class row, typed", "FenlopRemote", Rules({"class:FenlopRemote=typed"}), TYPED, true},
        {"program row, typed", TARGET_CLASS, Rules({"program:FENLOP_TARGET_EDITOR.EXE=typed"}), TYPED, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(Start(c.rules, c.frameClass));
        SendTwoLinePhrase();
        EXPECT_TRUE(WaitUntil([&] { return EditText(edit) == BUSINESS[1]; })) << EditText(edit);
        std::string keys = KeysGot();
        EXPECT_NE(keys.find(c.keys), std::string::npos) << keys;
        for (const char* other : {CTRL_V, SHIFT_INSERT, TYPED}) {
            if (other != c.keys) {
                EXPECT_EQ(keys.find(other), std::string::npos) << other << " in " << keys;
            }
        }
        EXPECT_EQ(HeldText(), c.clipboardLeft ? USERS_COPY : BUSINESS[1]);
        TearDown();
    }
}

// The pad's values go the same way as a phrase.
TEST_F(SendE2E, ThePadsValuesAreTypedIntoATypedTarget)
{
    ASSERT_NO_FATAL_FAILURE(Start(Rules({"class:FenlopRemote=typed"}), "FenlopRemote"));
    FocusTarget();
    ASSERT_TRUE(CallUpPad());
    PressKey('7');
    PressKey(VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return EditText(edit) == "7"; })) << EditText(edit);
    EXPECT_EQ(KeysGot().find(CTRL_V), std::string::npos) << KeysGot();
    EXPECT_EQ(HeldText(), USERS_COPY);
}

// A target closed between the call-up and the send: no key goes anywhere
// (the phrase window in front would take a Ctrl+V as a paste into the
// library), the text stays on the clipboard, and the icon says so; from the
// phrase window and from the pad alike, with the kept clipboard on and off.
TEST_F(SendE2E, ATargetClosedSinceTheCallUpGetsNoKeysAndTheIconSaysSo)
{
    for (int pad : {0, 1})
        for (DWORD restore : {0, 1}) {
            SCOPED_TRACE(std::string(pad ? "pad" : "phrase") + (restore ? ", kept clipboard" : ""));
            ASSERT_TRUE(WaitUntil([] { return BalloonText().empty(); }, 15000));
            ASSERT_NO_FATAL_FAILURE(Start("", TARGET_CLASS, restore));
            std::string before = ReadFileBytes(library);
            FocusTarget();
            HWND padWindow = nullptr;
            if (pad) {
                padWindow = CallUpPad();
                ASSERT_TRUE(padWindow);
            } else {
                CallUp();
            }
            int rows = ItemCount(list);
            PostMessageA(targetFrame, WM_CLOSE, 0, 0);
            ASSERT_EQ(WaitForExit(&target), 0);
            SetForegroundWindow(pad ? padWindow : phrase);
            SettleXFocus(pad ? padWindow : phrase);
            if (pad)
                PressKey('7');
            PressKey(VK_RETURN);
            EXPECT_TRUE(WaitUntil([] { return BalloonText() == CLOSED_BALLOON; }, 6000)) << BalloonText();
            EXPECT_EQ(HeldText(), pad ? "7" : BUSINESS[0]);
            EXPECT_EQ(ItemCount(list), rows);
            Sleep(300);
            EXPECT_EQ(ReadFileBytes(library), before);
            TearDown();
        }
}

// Typing stops as soon as the focus has left the target: another window
// given the focus meanwhile gets no more than one batch of characters, the
// rest is not typed, and the icon says so.
TEST_F(SendE2E, TypingStopsWhenTheFocusLeavesTheTarget)
{
    std::string phrase;
    for (int i = 0; i < 40; i++)
        phrase += "あいうえおかきくけこ";  // 400 characters
    ASSERT_TRUE(WriteFileBytes(library, "<u>\"root\"\r\n<u>\"挨拶\"\r\n<u>\"ビジネス\"\r\n<p>\r\n\"" + phrase +
                                            "\"\r\n</p>\r\n</u>\r\n</u>\r\n</u>\r\n"));
    ASSERT_NO_FATAL_FAILURE(Start(Rules({"class:FenlopRemote=typed"}), "FenlopRemote"));
    Bystander other;
    ASSERT_NO_FATAL_FAILURE(StartBystander(&other, true));
    FocusTarget();
    CallUp();
    ASSERT_EQ(ItemCount(list), 1);
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return EditText(edit).size() >= 20; })) << EditText(edit) << BalloonText();
    SetForegroundWindow(other.frame);
    EXPECT_TRUE(WaitUntil([] { return BalloonText() == STOPPED_BALLOON; }, 6000)) << BalloonText();
    std::string got = EditText(edit);
    EXPECT_LT(got.size(), phrase.size());
    EXPECT_EQ(phrase.compare(0, got.size(), got), 0);
    // Two bytes a character; one batch at most went to the other editor.
    EXPECT_LE(EditText(other.edit).size(), 2 * TYPED_BATCH) << EditText(other.edit);
    EXPECT_EQ(HeldText(), USERS_COPY);
}

// Rows are added, changed and removed from the settings dialog; the name
// box offers the class of the window under the pointer; OK keeps the table
// in the registry and Cancel does not.
TEST_F(SendE2E, TheSettingsDialogAddsChangesAndRemovesRows)
{
    ASSERT_NO_FATAL_FAILURE(Start("", "FenlopTerminal"));
    HWND dialog = OpenSettings();
    ASSERT_TRUE(dialog);
    HWND name = GetDlgItem(dialog, IDC_PASTE_NAME);
    HWND rows = GetDlgItem(dialog, IDC_PASTE_LIST);
    RECT frame;
    GetWindowRect(targetFrame, &frame);
    MouseMove((frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2);
    EXPECT_TRUE(WaitUntil([&] { return EditText(name) == "FenlopTerminal"; }, 3000)) << EditText(name);
    EXPECT_NE(WindowText(GetDlgItem(dialog, IDC_PASTE_POINTER)).find("fenlop_target_editor.exe"), std::string::npos);
    SendDlgItemMessageA(dialog, IDC_PASTE_METHOD, CB_SETCURSEL, PASTE_SHIFT_INSERT, 0);
    SendMessageA(GetDlgItem(dialog, IDC_PASTE_ADD), BM_CLICK, 0, 0);
    // The next row: a program, typed.
    SendDlgItemMessageA(dialog, IDC_PASTE_KIND, CB_SETCURSEL, RULE_PROGRAM, 0);
    SendDlgItemMessageA(dialog, IDC_PASTE_METHOD, CB_SETCURSEL, PASTE_TYPED, 0);
    SetWindowTextA(name, "mstsc.exe");
    SendMessageA(GetDlgItem(dialog, IDC_PASTE_ADD), BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageA(rows, LVM_GETITEMCOUNT, 0, 0), 2);
    Shot("settings-paste-methods");
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] {
        return StoredRules() == Rules({"class:FenlopTerminal=shift+insert", "program:mstsc.exe=typed"});
    })) << StoredRules();

    // The first row picked, changed to typed; the second removed; then
    // Cancel keeps what OK stored.
    for (int confirm : {IDCANCEL, IDOK}) {
        dialog = OpenSettings();
        ASSERT_TRUE(dialog);
        rows = GetDlgItem(dialog, IDC_PASTE_LIST);
        // Rows are picked by keys in the list, as a user does.
        SetForegroundWindow(dialog);
        SettleXFocus(dialog);
        auto pick = [&](BYTE key, const char* name) {
            PostMessageA(dialog, WM_NEXTDLGCTL, (WPARAM)rows, TRUE);
            ASSERT_TRUE(WaitUntil([&] { return FocusOf(dialog) == rows; }, 3000));
            PressKey(key);
            ASSERT_TRUE(WaitUntil([&] { return EditText(GetDlgItem(dialog, IDC_PASTE_NAME)) == name; }, 3000));
        };
        ASSERT_NO_FATAL_FAILURE(pick(VK_HOME, "FenlopTerminal"));
        SendDlgItemMessageA(dialog, IDC_PASTE_METHOD, CB_SETCURSEL, PASTE_TYPED, 0);
        SendMessageA(GetDlgItem(dialog, IDC_PASTE_CHANGE), BM_CLICK, 0, 0);
        ASSERT_NO_FATAL_FAILURE(pick(VK_END, "mstsc.exe"));
        SendMessageA(GetDlgItem(dialog, IDC_PASTE_REMOVE), BM_CLICK, 0, 0);
        EXPECT_EQ(SendMessageA(rows, LVM_GETITEMCOUNT, 0, 0), 1);
        PostMessageA(dialog, WM_COMMAND, confirm, 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
        if (confirm == IDCANCEL) {
            EXPECT_EQ(StoredRules(), Rules({"class:FenlopTerminal=shift+insert", "program:mstsc.exe=typed"}));
        }
    }
    EXPECT_TRUE(WaitUntil([&] { return StoredRules() == Rules({"class:FenlopTerminal=typed"}); })) << StoredRules();
    Stored();  // the record keeps its size
}

}  // namespace
