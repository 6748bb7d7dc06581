// The fixture of the end-to-end tests: fenlop.exe started fresh for every
// test with an empty registry key, driven only from outside, checked by
// what a user sees.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "shell/settings_record.h"
#include "resources/resource.h"
#include "tests/e2e/e2e_driver.h"

const char SETTINGS_KEY[] = "Software\\Orbo\\Fenlop";
const int CMD_EXIT = IDM_EXIT;
const int CMD_ABOUT = IDM_ABOUT;
const int HOTKEY_CTRL_ALT = (HOTKEYF_CONTROL | HOTKEYF_ALT) << 8;
const int PHRASE_HOTKEY = HOTKEY_CTRL_ALT | 'P';

const char EDITOR_CAPTION[] = "定型文書編集";  // the phrase editor's
const char BUSINESS_PATH[] = "挨拶\0ビジネス\0";  // the literal adds the final NUL
const char SORT_PATH[] = "並べ替え\0";
const char GREETING_PATH[] = "挨拶\0";

const char* const BUSINESS[] = {
    "お世話になっております。",
    "いつもお世話になっております。\r\n株式会社フェンロップの山田です。",
    "以上、よろしくお願いいたします。",
};

inline std::string WindowsPath(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

inline std::vector<std::string> Texts(std::initializer_list<const char*> items)
{
    return std::vector<std::string>(items.begin(), items.end());
}

inline bool ReadRecord(SettingsRecord* record, DWORD* size)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    std::vector<BYTE> data(4096);
    DWORD n = (DWORD)data.size();
    DWORD type = 0;
    bool ok = RegQueryValueExA(key, "flpReg", nullptr, &type, data.data(), &n) == ERROR_SUCCESS &&
              type == REG_BINARY;
    RegCloseKey(key);
    *size = n;
    if (ok && n == sizeof *record)
        memcpy(record, data.data(), sizeof *record);
    return ok;
}

// The record's value as given, of any size.
inline void WriteRecordBytes(const void* bytes, DWORD size)
{
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, SETTINGS_KEY, "flpReg", REG_BINARY, bytes, size), ERROR_SUCCESS);
}

inline void WriteRecord(const SettingsRecord& record)
{
    WriteRecordBytes(&record, sizeof record);
}

inline SettingsRecord RecordWith(const char* path, size_t pathSize)
{
    SettingsRecord record;
    SetDefaultSettings(&record);
    record.phraseHotKey = PHRASE_HOTKEY;
    memcpy(record.selectedLabelPath, path, pathSize);
    return record;
}

inline std::string EditText(HWND edit)
{
    std::string text(70000, '\0');
    DWORD_PTR n = 0;
    if (!SendMessageTimeoutA(edit, WM_GETTEXT, text.size(), (LPARAM)&text[0], SMTO_ABORTIFHUNG, 2000, &n))
        return "<no answer>";
    text.resize(n);
    return text;
}

inline bool SetClipboardText(const char* text)
{
    size_t size = strlen(text) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    memcpy(GlobalLock(block), text, size);
    GlobalUnlock(block);
    if (!WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 2000)) {
        GlobalFree(block);
        return false;
    }
    EmptyClipboard();
    SetClipboardData(CF_TEXT, block);
    CloseClipboard();
    return true;
}

// The clipboard's bytes of one format ("" when none). fenlop may hold the
// clipboard open a moment (a follow-up of the keeper after a read): a busy
// clipboard is tried again for ms before it is told as "<busy>".
inline std::string Held(UINT format, DWORD ms = 500)
{
    if (!WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, ms))
        return "<busy>";
    std::string bytes;
    if (HGLOBAL block = GetClipboardData(format)) {
        bytes.assign((const char*)GlobalLock(block), GlobalSize(block));
        GlobalUnlock(block);
    }
    CloseClipboard();
    return bytes;
}

// The clipboard's CF_TEXT up to its NUL.
inline std::string HeldText(DWORD ms = 500)
{
    std::string bytes = Held(CF_TEXT, ms);
    return bytes == "<busy>" ? bytes : std::string(bytes.c_str());
}

// A popup menu of any process is shown.
inline bool AnyMenuShown()
{
    HWND menu = FindWindowA("#32768", nullptr);
    return menu && IsWindowVisible(menu);
}

// A click through the X server at a screen point; more says which (and
// how often), as xdotool's words.
inline void ClickAt(POINT at, const std::string& more = "click 1")
{
    RunUnix("/usr/bin/xdotool mousemove " + std::to_string(at.x) + " " + std::to_string(at.y) + " " + more);
}

// A DWORD option of fenlop's, as the settings dialog keeps it.
inline void SetOption(const char* name, DWORD value)
{
    RegSetKeyValueA(HKEY_CURRENT_USER, SETTINGS_KEY, name, REG_DWORD, &value, sizeof value);
}

inline std::string Joined(const std::vector<std::string>& texts)
{
    std::string all;
    for (const std::string& t : texts)
        all += "[" + t + "]";
    return all;
}

inline size_t Find(const std::string& bytes, const char* text)
{
    return bytes.find(text);
}

// A second target editor: a window where keys meant for the target could
// land by mistake. Ended with the test.
struct Bystander {
    Process process;
    HWND frame = nullptr;
    HWND edit = nullptr;
    ~Bystander() { EndProcess(&process); }
};

class FenlopE2E : public ::testing::Test {
protected:
    std::string folder;
    std::string library;
    Process fenlop;
    Process target;
    HWND tray = nullptr;
    HWND phrase = nullptr;
    HWND list = nullptr;
    HWND tree = nullptr;
    HWND targetFrame = nullptr;
    HWND edit = nullptr;

    void SetUp() override
    {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = WindowsPath(std::string(E2E_WORK_DIR) + "/" + info->name());
        CreateDirectoryA(WindowsPath(E2E_WORK_DIR).c_str(), nullptr);
        CreateDirectoryA(folder.c_str(), nullptr);
        library = folder + "\\fenlop.htm";
        ASSERT_TRUE(CopyFileA(WindowsPath(FENLOP_EXE).c_str(), (folder + "\\fenlop.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileA(WindowsPath(E2E_DATA "/library.htm").c_str(), library.c_str(), FALSE));
        DeleteFileA((folder + "\\fenlop.bak").c_str());
        // Recovery files an earlier run left would be added at the start.
        for (int n = 1; n <= 99; n++) {
            char name[16];
            snprintf(name, sizeof name, "\\fenlop.r%02d", n);
            DeleteFileA((folder + name).c_str());
        }
        RegDeleteTreeA(HKEY_CURRENT_USER, SETTINGS_KEY);
    }

    HANDLE held = INVALID_HANDLE_VALUE;  // the phrase file, held as another program would

    void TearDown() override
    {
        LetGoOfFile();
        EndProcess(&fenlop);
        EndProcess(&target);
    }

    // The phrase file held, reading and writing, by another program.
    void HoldFile()
    {
        held = CreateFileA(library.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
    }

    void LetGoOfFile()
    {
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        held = INVALID_HANDLE_VALUE;
    }

    // The business label as Ctrl+D on its first phrase leaves it.
    const std::vector<std::string> moved = {BUSINESS[1], BUSINESS[0], BUSINESS[2]};

    // With the business label shown, the file is held and Ctrl+D moves the
    // first phrase down a row: the list's edit waits for the file.
    void MoveWhileHeld()
    {
        ASSERT_TRUE(WaitUntil([&] { return ItemCount(list) == 3; }));
        ASSERT_NO_FATAL_FAILURE(HoldFile());
        PressChord({VK_CONTROL}, 'D');
        ASSERT_TRUE(WaitUntil([&] { return ListTexts(Remote()) == moved; }));
    }

    // The moved phrase is in the file, within ms (0: now).
    bool MovedStored(DWORD ms = 5000)
    {
        auto stored = [&] {
            std::string bytes = ReadFileBytes(library);
            return bytes.find("\"いつもお世話") < bytes.find("\"お世話になっております。\"");
        };
        return ms ? WaitUntil(stored, ms) : stored();
    }

    // The phrase file holds these texts, each in quotes, in this order (their
    // first places).
    bool FileHoldsInOrder(std::initializer_list<const char*> texts)
    {
        std::string bytes = ReadFileBytes(library);
        size_t last = 0;
        for (const char* text : texts) {
            size_t at = bytes.find(std::string("\"") + text + "\"");
            if (at == std::string::npos || at < last)
                return false;
            last = at;
        }
        return true;
    }

    std::string Status() { return EditText(GetDlgItem(phrase, IDC_STATUS)); }

    // The record in the registry; all zero, and a failure, when there is
    // none of its size.
    SettingsRecord Stored()
    {
        SettingsRecord stored = {};
        DWORD size = 0;
        EXPECT_TRUE(ReadRecord(&stored, &size));
        EXPECT_EQ(size, sizeof stored);
        return stored;
    }

    void StartFenlop()
    {
        fenlop = StartProcess("\"" + folder + "\\fenlop.exe\"", folder);
        ASSERT_TRUE(fenlop.handle) << "CreateProcessA: error " << fenlop.error << "; " << WhyNotStarted();
        ASSERT_TRUE(WaitUntil([&] { return (tray = FindProcessWindow(fenlop, "FLPTray")) != nullptr; }))
            << WhyNotStarted();
        phrase = FindProcessWindow(fenlop, "Fenlop");
        ASSERT_TRUE(phrase);
        list = GetDlgItem(phrase, IDC_LIST);
        tree = GetDlgItem(phrase, IDC_TREE);
        ASSERT_TRUE(list && tree);
        WaitForInputIdle(fenlop.handle, WAIT_MS);
    }

    // A start that failed now and then, in no run that looked for it: what
    // the process did, whether the copied image could be held alone and had
    // the built one's size, and whether another tray window stood in the way.
    std::string WhyNotStarted()
    {
        std::string why = "fenlop.exe ";
        DWORD code = 0;
        if (!fenlop.handle)
            why += "not created";
        else if (WaitForSingleObject(fenlop.handle, 0) != WAIT_OBJECT_0)
            why += "still starting";
        else if (GetExitCodeProcess(fenlop.handle, &code))
            why += "ended with " + std::to_string(code);
        const std::string copy = folder + "\\fenlop.exe";
        HANDLE alone = CreateFileA(copy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (alone == INVALID_HANDLE_VALUE) {
            why += "; the copy cannot be held alone: error " + std::to_string(GetLastError());
        } else {
            CloseHandle(alone);
            why += "; the copy can be held alone";
        }
        size_t built = ReadFileBytes(WindowsPath(FENLOP_EXE)).size();
        size_t copied = ReadFileBytes(copy).size();
        if (built != copied)
            why += "; the copy has " + std::to_string(copied) + " bytes of " + std::to_string(built);
        if (HWND other = FindWindowA("FLPTray", nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(other, &owner);
            why += "; a tray window of process " + std::to_string(owner) + " exists";
        }
        return why;
    }

    // A target editor started with title (a Unicode program when asked),
    // its frame of the window class given, and ready.
    static void StartEditor(Process* process, HWND* frame, HWND* edit, const std::string& title,
                            const char* frameClass = TARGET_CLASS, bool unicode = false)
    {
        SetEnvironmentVariableA("FENLOP_TARGET_CLASS", frameClass);
        SetEnvironmentVariableA("FENLOP_TARGET_UNICODE", unicode ? "1" : nullptr);
        *process = StartProcess("\"" + WindowsPath(TARGET_EXE) + "\"" + (title.empty() ? "" : " " + title));
        SetEnvironmentVariableA("FENLOP_TARGET_CLASS", nullptr);
        SetEnvironmentVariableA("FENLOP_TARGET_UNICODE", nullptr);
        ASSERT_TRUE(process->handle);
        // The frame is listed before its creation has made the edit control.
        ASSERT_TRUE(WaitUntil([&] {
            *frame = FindProcessWindow(*process, frameClass);
            return *frame && (*edit = GetDlgItem(*frame, TARGET_EDIT_ID)) != nullptr;
        }));
        WaitForInputIdle(process->handle, WAIT_MS);
    }

    // The target editor, its frame of the window class given.
    void StartTarget(const std::string& title = "", const char* frameClass = TARGET_CLASS, bool unicode = false)
    {
        StartEditor(&target, &targetFrame, &edit, title, frameClass, unicode);
    }

    // The bystander started, a Unicode program when asked, and ready.
    void StartBystander(Bystander* other, bool unicode = false)
    {
        StartEditor(&other->process, &other->frame, &other->edit, "Other editor", TARGET_CLASS, unicode);
    }

    void FocusTarget()
    {
        ASSERT_TRUE(WaitUntil([&] {
            if (GetForegroundWindow() != targetFrame)
                SetForegroundWindow(targetFrame);
            return GetForegroundWindow() == targetFrame && FocusOf(targetFrame) == edit;
        }));
        SettleXFocus(targetFrame);
    }

    bool PhraseWindowReady()
    {
        return IsWindowVisible(phrase) && GetForegroundWindow() == phrase && FocusOf(phrase) == list;
    }

    void CallUpByHotKey(int hotKey = PHRASE_HOTKEY)
    {
        std::vector<BYTE> modifiers;
        if ((hotKey >> 8) & HOTKEYF_CONTROL)
            modifiers.push_back(VK_CONTROL);
        if ((hotKey >> 8) & HOTKEYF_ALT)
            modifiers.push_back(VK_MENU);
        // The X focus follows a window that was just hidden or shown at a
        // moment of the X server's choosing: had it moved while the chord
        // was down, its key map would let Ctrl and Alt go, and the chord
        // would be typed into the window in front instead.
        if (HWND front = GetForegroundWindow())
            SettleXFocus(front);
        PressChord(modifiers, (BYTE)(hotKey & 0xFF));
        // Like a user's fingers leaving the keys: the next key must not be
        // seen with Ctrl or Alt still down while the target takes the ups.
        WaitUntil([] { return !(GetAsyncKeyState(VK_CONTROL) & 0x8000) && !(GetAsyncKeyState(VK_MENU) & 0x8000); },
                  2000);
    }

    void CallUp()
    {
        CallUpByHotKey();
        ASSERT_TRUE(WaitUntil([&] { return PhraseWindowReady(); })) << "phrase window not shown with the list focused";
        SettleXFocus(phrase);
    }

    // fenlop and the target started, fenlop on record.
    void StartOverTarget(const SettingsRecord& record = RecordWith(BUSINESS_PATH, sizeof BUSINESS_PATH))
    {
        WriteRecord(record);
        ASSERT_NO_FATAL_FAILURE(StartTarget());
        ASSERT_NO_FATAL_FAILURE(StartFenlop());
    }

    // fenlop started on record, called up by the hot key over the focused
    // target.
    void CallUpOverTarget(const SettingsRecord& record = RecordWith(BUSINESS_PATH, sizeof BUSINESS_PATH))
    {
        ASSERT_NO_FATAL_FAILURE(StartOverTarget(record));
        ASSERT_NO_FATAL_FAILURE(FocusTarget());
        ASSERT_NO_FATAL_FAILURE(CallUp());
    }

    // fenlop started on record, shown from the tray: no target is captured.
    void ShowOnRecord(const SettingsRecord& record = RecordWith(BUSINESS_PATH, sizeof BUSINESS_PATH))
    {
        WriteRecord(record);
        ASSERT_NO_FATAL_FAILURE(StartFenlop());
        ASSERT_NO_FATAL_FAILURE(ShowFromTray());
    }

    // Shown by a click on the tray icon, with the list focused; no target
    // is captured.
    void ShowFromTray()
    {
        PostMessageA(tray, MSG_TRAY_NOTIFY, TRAY_ICON, WM_LBUTTONUP);
        ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(phrase) != FALSE; }));
        ASSERT_TRUE(WaitUntil([&] {
            if (!PhraseWindowReady()) {
                SetForegroundWindow(phrase);
                PostMessageA(tray, 2096, 0, 0);
            }
            return PhraseWindowReady();
        }));
        SettleXFocus(phrase);
    }

    RemoteList Remote() const { return RemoteList{list, fenlop.handle}; }

    // The editor on the first phrase, through the list's menu; null when it
    // did not open.
    HWND OpenEditor()
    {
        RECT row = ItemRect(Remote(), 0);
        MouseMove(row.left + 12, (row.top + row.bottom) / 2);
        MouseButton(3, true);
        MouseButton(3, false);
        if (!WaitUntil([] { HWND m = FindWindowA("#32768", nullptr); return m && IsWindowVisible(m); }))
            return nullptr;
        PressKey('E');
        return ShownProcessWindow(fenlop, "#32770", EDITOR_CAPTION);
    }

    // The window stays as it is for a while (for checks that nothing happens).
    bool StaysVisible(bool visible, DWORD ms = 400)
    {
        return !WaitUntil([&] { return (IsWindowVisible(phrase) != FALSE) != visible; }, ms);
    }

    // The icon's menu (fenlop's popup, shown); false when it did not open.
    bool OpenTrayMenu()
    {
        PostMessageA(tray, MSG_TRAY_NOTIFY, TRAY_ICON, WM_RBUTTONUP);
        return WaitUntil(AnyMenuShown);
    }

    // The settings dialog, opened from the icon's menu; null when it did not.
    HWND OpenSettings()
    {
        if (!OpenTrayMenu())
            return nullptr;
        PressKey('S');
        return ShownProcessWindow(fenlop, "#32770", "設定");
    }

    void ExitByCommand()
    {
        PostMessageA(phrase, WM_COMMAND, CMD_EXIT, 0);
        ASSERT_EQ(WaitForExit(&fenlop), 0);
    }

    void Shot(const char* name) { Screenshot(std::string(E2E_SHOT_DIR) + "/" + name + ".png"); }
};

inline POINT Centre(const RECT& rc)
{
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

// A point on a row's text (the column is wider than the list).
inline POINT OnRow(const RECT& rc)
{
    return POINT{rc.left + 12, (rc.top + rc.bottom) / 2};
}

// Presses the left button at from and moves past the drag threshold.
inline void StartDrag(POINT from)
{
    MouseMove(from.x, from.y);
    MouseButton(1, true);
    for (int i = 1; i <= 4; i++)
        MouseMove(from.x + i * 3, from.y + i * 2);
}

// A drag with the left button through the X server. The drop place is the
// one seen at the program's last 100 ms tick, so the pointer rests first.
inline void Drag(POINT from, POINT to, bool ctrl)
{
    StartDrag(from);
    MouseMove(to.x, to.y);
    Sleep(100);
    MouseMove(to.x + 1, to.y);
    Sleep(400);
    if (ctrl)
        XKey("ctrl", true);
    Sleep(100);
    MouseButton(1, false);
    if (ctrl)
        XKey("ctrl", false);
}

inline std::string MessageBoxText(HWND box)
{
    // The text control's id differs between systems.
    for (int id : {65535, 100}) {
        HWND text = GetDlgItem(box, id);
        if (text)
            return WindowText(text);
    }
    return "";
}
