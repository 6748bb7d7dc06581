// The option that keeps the user's clipboard: after a send the clipboard
// holds again what the user had copied, also with a slow target or a
// clipboard monitor reading first; without a paste the text stays.
#include "tests/e2e/e2e_fixture.h"

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

const char USER_TEXT[] = "ユーザーのコピー";
const char PRIVATE_FORMAT[] = "FenlopTestPrivate";
const std::string PRIVATE_BYTES("\x01\x00\x02priv", 7);
const DWORD KEEPER_WAIT_MS = 3000;
const int CALC_HOTKEY = HOTKEY_CTRL_ALT | 'C';

HGLOBAL Block(const std::string& bytes)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    return block;
}

// Who made the user's copy: this process, with no clipboard owner, or
// another one (also with none) that has exited since.
enum Copier { COPIED_HERE, COPIED_BY_EXITED };

// The kind of target, through the target editor's environment.
struct TargetKind {
    const char* opener;          // "": the edit control's own paste
    bool readsOnActivation;
};

std::string Hex(const std::string& bytes)
{
    std::string hex;
    char two[3];
    for (unsigned char c : bytes)
        snprintf(two, sizeof two, "%02x", c), hex += two;
    return hex;
}

const char REPLACED_BALLOON[] = "定型文を貼り付ける前にクリップボードが書き換えられたため、貼り付けませんでした。";

std::wstring Wide(const char* text)
{
    std::wstring wide(strlen(text) + 1, L'\0');
    int n = MultiByteToWideChar(932, 0, text, -1, &wide[0], (int)wide.size());
    wide.resize(n > 0 ? n - 1 : 0);
    return wide;
}

// What the clipboard holds as CF_UNICODETEXT, up to its NUL.
std::wstring HeldUnicode()
{
    std::string bytes = Held(CF_UNICODETEXT);
    std::wstring text(bytes.size() / 2, L'\0');
    memcpy(&text[0], bytes.data(), text.size() * 2);
    return std::wstring(text.c_str());
}

class ClipboardE2E : public FenlopE2E {
protected:
    UINT privateFormat = RegisterClipboardFormatA(PRIVATE_FORMAT);

    // The target's paste waits pasteDelay ms when given.
    void Start(DWORD restore, const std::string& title = "", TargetKind kind = {"", false},
               const char* pasteDelay = nullptr)
    {
        SetEnvironmentVariableA("FENLOP_TARGET_PASTE_DELAY", pasteDelay);
        SettingsRecord record = RecordWith(BUSINESS_PATH, sizeof BUSINESS_PATH);
        record.calcHotKey = CALC_HOTKEY;
        WriteRecord(record);
        SetOption("RestoreClipboard", restore);
        SetEnvironmentVariableA("FENLOP_TARGET_OPENER", *kind.opener ? kind.opener : nullptr);
        SetEnvironmentVariableA("FENLOP_TARGET_READ_ON_ACTIVATE", kind.readsOnActivation ? "1" : nullptr);
        StartTarget(title);
        SetEnvironmentVariableA("FENLOP_TARGET_OPENER", nullptr);
        SetEnvironmentVariableA("FENLOP_TARGET_READ_ON_ACTIVATE", nullptr);
        SetEnvironmentVariableA("FENLOP_TARGET_PASTE_DELAY", nullptr);
        StartFenlop();
        CopyUsersContent(COPIED_HERE);
    }

    void CopyUsersContent(Copier copier)
    {
        if (copier == COPIED_BY_EXITED) {
            std::string privateCopy = std::string(PRIVATE_FORMAT) + ":" + Hex(PRIVATE_BYTES);
            SetEnvironmentVariableA("FENLOP_TARGET_COPY", privateCopy.c_str());
            Process copying = StartProcess("\"" + WindowsPath(TARGET_EXE) + "\" " + USER_TEXT);
            SetEnvironmentVariableA("FENLOP_TARGET_COPY", nullptr);
            ASSERT_EQ(WaitForExit(&copying), 0);
            EndProcess(&copying);
            return;
        }
        ASSERT_TRUE(WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 2000));
        EmptyClipboard();
        SetClipboardData(CF_TEXT, Block(std::string(USER_TEXT, sizeof USER_TEXT)));
        SetClipboardData(privateFormat, Block(PRIVATE_BYTES));
        CloseClipboard();
    }

    // The first phrase of the open label, sent with Enter.
    void SendFirstPhrase()
    {
        FocusTarget();
        CallUp();
        PressKey(VK_RETURN);
    }

    bool UsersContentHeld()
    {
        return HeldText() == USER_TEXT && Held(privateFormat).compare(0, PRIVATE_BYTES.size(), PRIVATE_BYTES) == 0;
    }

    bool UserContentBack()
    {
        return WaitUntil([&] { return UsersContentHeld(); }, 3000);
    }
};

TEST_F(ClipboardE2E, ThePhraseArrivesAndTheUsersContentComesBackWholeOrWithTheOptionOffStaysAway)
{
    for (DWORD restore : {1, 0}) {
        SCOPED_TRACE(restore);
        Start(restore);
        SendFirstPhrase();
        ASSERT_TRUE(WaitUntil([&] { return EditText(edit) == BUSINESS[0]; })) << EditText(edit);
        if (restore) {
            EXPECT_TRUE(UserContentBack()) << HeldText();
        } else {
            EXPECT_TRUE(WaitUntil([&] { return HeldText() == BUSINESS[0]; })) << HeldText();
            EXPECT_EQ(Held(privateFormat), "");
        }
        TearDown();
    }
}

TEST_F(ClipboardE2E, WhoeverCopiedAndHoweverTheTargetReadsThePhraseGoesInAndTheContentComesBack)
{
    struct Case {
        const char* name;
        Copier copier;
        TargetKind target;
    };
    const Case cases[] = {
        {"a copy by a program gone since, a plain editor reading with its frame", COPIED_BY_EXITED, {"frame", false}},
        {"the same copy, the edit control's own paste", COPIED_BY_EXITED, {"", false}},
        {"an editor that reads the clipboard when activated", COPIED_HERE, {"frame", true}},
        {"an editor that opens the clipboard with no window", COPIED_BY_EXITED, {"none", false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Start(1, "", c.target);
        // Twice: the second send keeps the content as the first did.
        for (int send = 0; send < 2; send++) {
            SCOPED_TRACE(send);
            SendMessageA(edit, WM_SETTEXT, 0, (LPARAM)"");
            ASSERT_NO_FATAL_FAILURE(CopyUsersContent(c.copier));
            FocusTarget();
            CallUp();
            SetDlgItemTextA(targetFrame, TARGET_READ_ID, "");
            DWORD before = GetClipboardSequenceNumber();
            PressKey(VK_RETURN);
            DWORD sent = GetTickCount();
            if (c.target.readsOnActivation) {
                // The activation that the send brings, told as the system
                // tells it (Wine tells nothing to a window that stayed
                // active in its own thread), once the phrase is offered.
                ASSERT_TRUE(WaitUntil([&] { return GetClipboardSequenceNumber() != before; }, 2000));
                PostMessageA(targetFrame, WM_ACTIVATE, WA_ACTIVE, 0);
            }
            ASSERT_TRUE(WaitUntil([&] { return EditText(edit) == BUSINESS[0]; }, 3000)) << EditText(edit);
            DWORD spent = GetTickCount() - sent;
            Sleep(spent < 2000 ? 2000 - spent : 0);
            // A reader with no window is taken for the target only once
            // nobody has read for a while after it.
            if (strcmp(c.target.opener, "none") == 0) {
                EXPECT_TRUE(WaitUntil([&] { return UsersContentHeld(); }, 1500)) << HeldText();
            } else {
                EXPECT_TRUE(UsersContentHeld()) << HeldText();
            }
            EXPECT_EQ(EditText(edit), BUSINESS[0]);
            if (c.target.readsOnActivation) {
                EXPECT_EQ(WindowText(GetDlgItem(targetFrame, TARGET_READ_ID)), BUSINESS[0]) << "read on activation";
            }
            WaitUntil([&] { return !IsWindowVisible(phrase); }, 2000);
        }
        TearDown();
    }
}

TEST_F(ClipboardE2E, AFormatThatCannotBeKeptIsLostAloneAndThePhraseStillGoesIn)
{
    // A zero-size block (which cannot always be locked) may come back or be
    // lost; a block or a bitmap past the limit is not copied, nor is OLE's
    // own format, which names a data object that has let go. The rest comes
    // back.
    struct Case {
        const char* name;  // a registered format; null: CF_BITMAP
        SIZE_T size;       // bytes of the block, or of the bitmap's bits
        bool mayComeBack;
    };
    const Case cases[] = {
        {"FenlopTestEmpty", 0, true},
        {"FenlopTestLarge", 10u << 20, false},
        {nullptr, 6u << 20, false},
        {"DataObject", 8, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name ? c.name : "CF_BITMAP");
        Start(1);
        UINT format = c.name ? RegisterClipboardFormatA(c.name) : CF_BITMAP;
        ASSERT_TRUE(WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 2000));
        HANDLE data = c.name ? (HANDLE)GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, c.size)
                             : (HANDLE)CreateBitmap(1024, (int)(c.size / 4096), 1, 32, nullptr);
        ASSERT_TRUE(data);
        SetClipboardData(format, data);
        CloseClipboard();
        ASSERT_TRUE(IsClipboardFormatAvailable(format));
        SendFirstPhrase();
        ASSERT_TRUE(WaitUntil([&] { return EditText(edit) == BUSINESS[0]; }, 3000)) << EditText(edit);
        EXPECT_TRUE(UserContentBack()) << HeldText();
        EXPECT_TRUE(c.mayComeBack || !IsClipboardFormatAvailable(format)) << "a format that cannot be kept came back";
        TearDown();
    }
}

TEST_F(ClipboardE2E, AMonitorThatReadsEveryOfferLeavesTheClipboardFreeForThePaste)
{
    Start(1);
    std::atomic<bool> stop(false);
    std::atomic<int> reads(0);
    std::thread monitor([&] {
        for (DWORD seen = GetClipboardSequenceNumber(); !stop; Sleep(1)) {
            if (GetClipboardSequenceNumber() == seen)
                continue;
            seen = GetClipboardSequenceNumber();
            if (HeldText() != "<busy>")
                reads++;
        }
    });
    SendFirstPhrase();
    bool arrived = WaitUntil([&] { return EditText(edit) == BUSINESS[0]; }, 3000);
    Sleep(KEEPER_WAIT_MS);
    stop = true;
    monitor.join();
    ASSERT_TRUE(arrived) << EditText(edit);
    EXPECT_GT(reads, 0);
    // It saw every offer, so the paste went unseen: the phrase stays.
    std::string held = HeldText();
    EXPECT_TRUE(held == BUSINESS[0] || held == USER_TEXT) << held;
}

TEST_F(ClipboardE2E, ASlowTargetGetsThePhraseNeverTheOldContent)
{
    Start(1, "", {"", false}, "500");
    SendFirstPhrase();
    ASSERT_TRUE(WaitUntil([&] { return EditText(edit) == BUSINESS[0]; })) << EditText(edit);
    EXPECT_TRUE(UserContentBack()) << HeldText();
}

TEST_F(ClipboardE2E, AMonitorThatReadsFirstIsNoPaste)
{
    Start(1);
    std::atomic<bool> stop(false);
    std::string seen;
    DWORD before = GetClipboardSequenceNumber();
    std::thread monitor([&] {
        while (!stop && GetClipboardSequenceNumber() == before)
            Sleep(1);
        // As a monitor reads: once the clipboard is closed again.
        for (int tries = 0; !stop && tries < 1000; tries++) {
            seen = HeldText();
            if (seen != "<busy>")
                break;
            Sleep(1);
        }
    });
    SendFirstPhrase();
    bool arrived = WaitUntil([&] { return EditText(edit) == BUSINESS[0]; });
    stop = true;
    monitor.join();
    ASSERT_TRUE(arrived) << EditText(edit);
    EXPECT_EQ(seen, BUSINESS[0]) << "the monitor read the phrase first";
    EXPECT_TRUE(UserContentBack()) << HeldText();
}

TEST_F(ClipboardE2E, AMonitorThatReadsLateInThePauseAndAgainAfterTheNewOfferIsNoPasteForASlowTarget)
{
    // A monitor without a window reads late in the pause and holds the
    // clipboard a while, so the phrase is offered again only then; it reads
    // that offer too, a moment later. Were the keys typed at once after the
    // new offer, that read would come after them and be taken for the
    // target's, and the user's content would be back before a slow target
    // reads.
    Start(1, "", {"", false}, "1500");
    FocusTarget();
    CallUp();
    DWORD before = GetClipboardSequenceNumber();
    std::atomic<int> reads(0);
    std::thread monitor([&] {
        auto next = [](DWORD seen) {
            for (DWORD start = GetTickCount(); GetClipboardSequenceNumber() == seen && GetTickCount() - start < 2000;)
                Sleep(1);
            return GetClipboardSequenceNumber();
        };
        DWORD offered = next(before);
        Sleep(80);
        if (OpenClipboard(nullptr)) {
            GetClipboardData(CF_TEXT);
            reads++;
            Sleep(30);
            CloseClipboard();
        }
        next(offered);
        Sleep(8);
        // As a monitor reads: once the clipboard is free.
        for (int tries = 0; tries < 50; tries++, Sleep(1)) {
            if (HeldText() != "<busy>") {
                reads++;
                break;
            }
        }
    });
    PressKey(VK_RETURN);
    monitor.join();
    EXPECT_EQ(reads, 2);
    ASSERT_TRUE(WaitUntil([&] { return EditText(edit) == BUSINESS[0]; }, 4000)) << EditText(edit);
    EXPECT_TRUE(UserContentBack()) << HeldText();
}

TEST_F(ClipboardE2E, WithoutAPasteThePhraseStaysAndTheContentWaitsForItsReturn)
{
    // An excluded title: the text is offered, nobody of the target reads it.
    // When the wait is over (also when another program holds the clipboard
    // just then) the phrase stays for a paste by hand, and the content comes
    // back after that paste, or at the next call-up; it comes back too when
    // the program ends. A copy made meanwhile wins.
    enum End { PASTED_BY_HAND, HELD_THEN_PASTED_BY_HAND, CALLED_UP, PROGRAM_ENDS, COPIED_MEANWHILE };
    const char NEW_COPY[] = "新しいコピー";
    for (End end : {PASTED_BY_HAND, HELD_THEN_PASTED_BY_HAND, CALLED_UP, PROGRAM_ENDS, COPIED_MEANWHILE}) {
        SCOPED_TRACE(end);
        Start(1, "定型文 (表示)");
        DWORD before = GetClipboardSequenceNumber();
        SendFirstPhrase();
        ASSERT_TRUE(WaitUntil([&] { return GetClipboardSequenceNumber() != before; }));
        DWORD offered = GetTickCount();
        if (end == PROGRAM_ENDS) {
            ExitByCommand();
            EXPECT_TRUE(UsersContentHeld()) << HeldText();
            TearDown();
            continue;
        }
        if (end == HELD_THEN_PASTED_BY_HAND) {
            Sleep(KEEPER_WAIT_MS - 500);
            ASSERT_TRUE(OpenClipboard(nullptr));
            DWORD held = GetTickCount() - offered;
            Sleep(held < KEEPER_WAIT_MS + 500 ? KEEPER_WAIT_MS + 500 - held : 0);
            CloseClipboard();
        } else {
            if (end == COPIED_MEANWHILE) {
                ASSERT_TRUE(SetClipboardText(NEW_COPY));
            }
            Sleep(KEEPER_WAIT_MS + 500);
        }
        EXPECT_EQ(EditText(edit), "");
        EXPECT_EQ(HeldText(), end == COPIED_MEANWHILE ? NEW_COPY : BUSINESS[0]);
        EXPECT_FALSE(IsClipboardFormatAvailable(privateFormat));
        if (end == COPIED_MEANWHILE) {
            TearDown();
            continue;
        }
        if (end == CALLED_UP) {
            // The phrase window is still shown (nothing was sent to hide
            // it): the hot key hides it, and is a call-up all the same.
            CallUpByHotKey();
        } else {
            // The user pastes into the target by hand.
            SendMessageA(edit, WM_PASTE, 0, 0);
            EXPECT_EQ(EditText(edit), BUSINESS[0]);
        }
        EXPECT_TRUE(UserContentBack()) << HeldText();
        TearDown();
    }
}

TEST_F(ClipboardE2E, ACopyDuringThePauseBeforeTheKeysIsNeverPastedAndTheIconSaysWhy)
{
    // As a user copies something (a password, say) just after the send has
    // brought the target forward, with the option on and off.
    const char NEW_COPY[] = "パスワード";
    for (DWORD restore : {0, 1}) {
        SCOPED_TRACE(restore);
        // The balloon of the run before has gone.
        ASSERT_TRUE(WaitUntil([] { return BalloonText().empty(); }, 15000));
        Start(restore);
        FocusTarget();
        CallUp();
        DWORD before = GetClipboardSequenceNumber();
        std::thread copier([&] {
            for (DWORD start = GetTickCount(); GetClipboardSequenceNumber() == before && GetTickCount() - start < 2000;)
                Sleep(1);
            Sleep(10);
            SetClipboardText(NEW_COPY);
        });
        PressKey(VK_RETURN);
        copier.join();
        EXPECT_FALSE(WaitUntil([&] { return !EditText(edit).empty(); }, 1000)) << EditText(edit);
        EXPECT_EQ(HeldText(), NEW_COPY);
        EXPECT_TRUE(WaitUntil([] { return BalloonText() == REPLACED_BALLOON; }, 6000)) << BalloonText();
        TearDown();
    }
}

TEST_F(ClipboardE2E, ASecondSendBeforeTheFirstPasteIsReadPastesEachTextOnceInOrder)
{
    // A slow target, still in its first paste when the second send comes.
    Start(1, "", {"", false}, "800");
    SendFirstPhrase();
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(phrase); }, 2000));
    CallUpByHotKey();
    ASSERT_TRUE(WaitUntil([&] { return PhraseWindowReady(); }));
    SettleXFocus(phrase);
    PressKey(VK_DOWN);
    PressKey(VK_RETURN);
    std::string both = std::string(BUSINESS[0]) + BUSINESS[1];
    EXPECT_TRUE(WaitUntil([&] { return EditText(edit) == both; }, 6000)) << EditText(edit);
    EXPECT_TRUE(UserContentBack()) << HeldText();
    Sleep(1000);
    EXPECT_EQ(EditText(edit), both);
}

TEST_F(ClipboardE2E, UnicodeProgramsGetThePhrasesOwnCharactersWithTheOptionOnAndOff)
{
    // Read back as a Unicode program reads it: CF_UNICODETEXT and its
    // locale. With the option on the text is only offered (an excluded
    // title: no paste takes it away).
    for (DWORD restore : {1, 0}) {
        SCOPED_TRACE(restore);
        Start(restore, "定型文 (表示)");
        // The user switches fenlop's keyboard layout to English, as the
        // system asks a window to: the system would then take the locale of
        // a lone CF_TEXT from it. (Wine has no English layout beside its
        // Japanese one, and takes the user's locale.)
        HKL english = LoadKeyboardLayoutA("00000409", 0);
        ASSERT_TRUE(english);
        PostMessageA(phrase, WM_INPUTLANGCHANGEREQUEST, 0, (LPARAM)english);
        DWORD before = GetClipboardSequenceNumber();
        SendFirstPhrase();
        ASSERT_TRUE(WaitUntil([&] { return GetClipboardSequenceNumber() != before; }));
        EXPECT_TRUE(HeldUnicode() == Wide(BUSINESS[0])) << "not the phrase's characters";
        std::string locale = Held(CF_LOCALE);
        ASSERT_EQ(locale.size(), 4u);
        EXPECT_EQ(*(const DWORD*)locale.data(), 0x0411u);
        EXPECT_EQ(HeldText(), BUSINESS[0]) << "the bytes of CF_TEXT are those of the phrase";
        TearDown();
    }
}

TEST_F(ClipboardE2E, AUnicodeTextPastTheLimitComesBackInNeitherForm)
{
    // More than the limit as CF_UNICODETEXT, less as the CF_TEXT the system
    // makes of it, which would lose the one character outside Shift-JIS.
    Start(1);
    std::wstring large(2100000, L'a');
    large[7] = L'\u00e9';
    std::string bytes((const char*)large.c_str(), (large.size() + 1) * sizeof(wchar_t));
    ASSERT_TRUE(WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 2000));
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, Block(bytes));
    SetClipboardData(privateFormat, Block(PRIVATE_BYTES));
    CloseClipboard();
    SendFirstPhrase();
    ASSERT_TRUE(WaitUntil([&] { return EditText(edit) == BUSINESS[0]; }, 3000)) << EditText(edit);
    // Back once the phrase has gone. (The system's making of the other text
    // forms may use up the take's time, and then the private format is
    // lost too.)
    ASSERT_TRUE(WaitUntil([&] { return !IsClipboardFormatAvailable(CF_TEXT) || HeldText() != BUSINESS[0]; }, 3000));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT)) << HeldText().size();
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
}

TEST_F(ClipboardE2E, TheCalculatorsValuesToo)
{
    Start(1);
    FocusTarget();
    CallUpByHotKey(CALC_HOTKEY);
    HWND pad = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (pad = FindProcessWindow(fenlop, "#32770")) && GetForegroundWindow() == pad; }));
    PressKey('7');
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return EditText(edit) == "7"; })) << EditText(edit);
    EXPECT_TRUE(UserContentBack()) << HeldText();
}

// Each option of the settings dialog kept as a registry value of its own:
// OK turns it on, Cancel keeps it, and the record keeps its size.
TEST_F(ClipboardE2E, TheSettingsDialogTurnsEachOptionOnAndCancelKeepsIt)
{
    struct Option {
        int id;
        const char* value;
        const char* text;
    } options[] = {
        {IDC_RESTORE_CLIPBOARD, "RestoreClipboard", "貼り付け後にクリップボードを元に戻す(&R)"},
        {IDC_FILL_PHRASES, "FillPhrases", "送るときに {日付} などの差し込みを埋める(&F)"},
    };
    RegDeleteKeyValueA(HKEY_CURRENT_USER, SETTINGS_KEY, "FillPhrases");
    Start(0);
    for (const Option& option : options) {
        SCOPED_TRACE(option.value);
        auto stored = [&] {
            DWORD value = 7, size = sizeof value;
            RegGetValueA(HKEY_CURRENT_USER, SETTINGS_KEY, option.value, RRF_RT_REG_DWORD, nullptr, &value, &size);
            return value;
        };
        HWND dialog = OpenSettings();
        ASSERT_TRUE(dialog);
        HWND box = GetDlgItem(dialog, option.id);
        EXPECT_EQ(WindowText(box), option.text);
        EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
        SendMessageA(box, BM_CLICK, 0, 0);
        Shot((std::string("settings-dialog-") + option.value).c_str());
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitUntil([&] { return stored() == 1; }));

        dialog = OpenSettings();
        ASSERT_TRUE(dialog);
        box = GetDlgItem(dialog, option.id);
        EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_CHECKED);
        SendMessageA(box, BM_CLICK, 0, 0);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
        EXPECT_EQ(stored(), 1u);
    }
    Stored();  // of its own size
}

}  // namespace
