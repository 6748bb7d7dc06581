// Phrases that fill themselves in at a send, against fenlop.exe and the
// target editor: the date and the caret mark, a value asked for (and
// cancelled), the user's clipboard text with the kept clipboard on and off,
// and the setting off.
#include "tests/e2e/e2e_fixture.h"

namespace {

const char FILL_PATH[] = "差し込み\0";
const char* const PHRASES[] = {"{日付:yyyy}年{カーソル}です", "{入力:宛名}様", "[{クリップボード}]"};
const char USERS_COPY[] = "お客様の控え";

class FillE2E : public FenlopE2E {
protected:
    // Off again for the tests that follow in the same prefix.
    void TearDown() override
    {
        FenlopE2E::TearDown();
        RegDeleteKeyValueA(HKEY_CURRENT_USER, SETTINGS_KEY, "FillPhrases");
    }

    void Start(DWORD fill, DWORD restore)
    {
        std::string bytes = "<u>\"root\"\r\n    <u>\"差し込み\"\r\n";
        for (const char* phrase : PHRASES)
            bytes += std::string("        <p>\r\n        \"") + phrase + "\"\r\n        </p>\r\n";
        bytes += "    </u>\r\n</u>\r\n";
        ASSERT_TRUE(WriteFileBytes(library, bytes));
        SetOption("FillPhrases", fill);
        SetOption("RestoreClipboard", restore);
        ASSERT_NO_FATAL_FAILURE(StartOverTarget(RecordWith(FILL_PATH, sizeof FILL_PATH)));
        ASSERT_TRUE(SetClipboardText(USERS_COPY));
    }

    // Phrase number index of the open label, sent with Enter.
    void Send(int index)
    {
        FocusTarget();
        CallUp();
        PressKey(VK_HOME);
        for (int i = 0; i < index; i++)
            PressKey(VK_DOWN);
        PressKey(VK_RETURN);
    }

    bool Arrived(const std::string& text) { return WaitUntil([&] { return EditText(edit) == text; }, 5000); }

    HWND InputDialog() { return ShownProcessWindow(fenlop, "#32770", "差し込みの入力"); }
};

std::string ThisYear()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return std::to_string(now.wYear);
}

TEST_F(FillE2E, TheDateArrivesAndAKeyTypedAfterTheSendLandsAtTheCaretMark)
{
    Start(1, 0);
    Send(0);
    ASSERT_TRUE(Arrived(ThisYear() + "年です")) << EditText(edit);
    PressKey('X');
    EXPECT_TRUE(Arrived(ThisYear() + "年xです")) << EditText(edit);
    EXPECT_EQ(ListTexts(Remote())[0], PHRASES[0]) << "the list keeps the phrase as written";
}

TEST_F(FillE2E, AValueAskedForIsSentAndCancelSendsNothing)
{
    Start(1, 0);
    Send(1);
    HWND dialog = InputDialog();
    ASSERT_TRUE(dialog) << "the value is asked for";
    Shot("fill-input");
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
    Sleep(500);
    EXPECT_EQ(EditText(edit), "") << "Cancel sends nothing";

    Send(1);
    dialog = InputDialog();
    ASSERT_TRUE(dialog);
    SendMessageA(GetDlgItem(dialog, IDC_FILL_INPUT_FIRST), WM_SETTEXT, 0, (LPARAM)"山田");
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(Arrived("山田様")) << EditText(edit);
}

TEST_F(FillE2E, TheUsersClipboardTextWithTheKeptClipboardOnAndOff)
{
    for (DWORD restore : {1, 0}) {
        SCOPED_TRACE(restore);
        Start(1, restore);
        Send(2);
        EXPECT_TRUE(Arrived(std::string("[") + USERS_COPY + "]")) << EditText(edit);
        TearDown();
    }
}

TEST_F(FillE2E, WithTheSettingOffTheBracesGoOutAsTheyAre)
{
    Start(0, 0);
    Send(0);
    EXPECT_TRUE(Arrived(PHRASES[0])) << EditText(edit);
}

}  // namespace
