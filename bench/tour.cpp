// The scripted tour of tools/run.sh on a machine without a display, and the
// set-up of its interactive run.
//   fenlop_tour setup            the settings record with both hot keys
//   fenlop_tour tour FOLDER SHOTS
// FOLDER (Windows path) holds fenlop.exe and its library fenlop.htm; SHOTS
// (Unix path) receives the screenshots. The tour types a phrase into the
// target editor through the hot key and Enter and prints what arrived, shows
// the program's dialogs and menus, and types a sum from the calculator pad.
#include <cstdio>
#include <cstring>
#include <string>

#include "resources/resource.h"
#include "shell/settings_record.h"
#include "tests/e2e/e2e_driver.h"

namespace {

const char SETTINGS_KEY[] = "Software\\Orbo\\Fenlop";
const int CTRL_ALT = (HOTKEYF_CONTROL | HOTKEYF_ALT) << 8;
const int PHRASE_HOTKEY = CTRL_ALT | 'P';
const int CALC_HOTKEY = CTRL_ALT | 'C';
const char FIRST_LABEL[] = "挨拶\0ビジネス\0";

// Shift-JIS text for a UTF-8 terminal.
std::string Utf8(const std::string& sjis)
{
    int n = MultiByteToWideChar(932, 0, sjis.data(), (int)sjis.size(), nullptr, 0);
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(932, 0, sjis.data(), (int)sjis.size(), &wide[0], n);
    int m = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(m, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, &out[0], m, nullptr, nullptr);
    return out;
}

// Keeps what the user changed; fills in the hot keys and the first label.
void SetUpRecord()
{
    SettingsRecord record;
    SetDefaultSettings(&record);
    HKEY key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, SETTINGS_KEY, &key) != ERROR_SUCCESS)
        return;
    DWORD size = sizeof record;
    DWORD type = 0;
    SettingsRecord stored;
    if (RegQueryValueExA(key, "flpReg", nullptr, &type, (BYTE*)&stored, &size) == ERROR_SUCCESS &&
        size == sizeof stored)
        record = stored;
    if (!record.phraseHotKey)
        record.phraseHotKey = PHRASE_HOTKEY;
    if (!record.calcHotKey)
        record.calcHotKey = CALC_HOTKEY;
    if (!record.selectedLabelPath[0])
        memcpy(record.selectedLabelPath, FIRST_LABEL, sizeof FIRST_LABEL);
    RegSetValueExA(key, "flpReg", 0, REG_BINARY, (const BYTE*)&record, sizeof record);
    RegCloseKey(key);
}

std::string WindowsPath(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string EditText(HWND edit)
{
    std::string text(70000, '\0');
    DWORD_PTR n = 0;
    SendMessageTimeoutA(edit, WM_GETTEXT, text.size(), (LPARAM)&text[0], SMTO_ABORTIFHUNG, 2000, &n);
    text.resize(n);
    return text;
}

int Tour(const std::string& folder, const std::string& shots)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, SETTINGS_KEY);
    SetUpRecord();
    Process target = StartProcess("\"" + WindowsPath(TARGET_EXE) + "\"");
    Process fenlop = StartProcess("\"" + folder + "\\fenlop.exe\"", folder);
    HWND frame = nullptr, edit = nullptr, tray = nullptr;
    bool started = WaitUntil([&] {
        frame = FindProcessWindow(target, TARGET_CLASS);
        edit = frame ? GetDlgItem(frame, TARGET_EDIT_ID) : nullptr;
        tray = FindProcessWindow(fenlop, "FLPTray");
        return edit && tray;
    });
    HWND phrase = FindProcessWindow(fenlop, "Fenlop");
    HWND list = phrase ? GetDlgItem(phrase, IDC_LIST) : nullptr;
    int result = 1;
    if (!started || !list) {
        printf("tour: the programs did not start\n");
    } else {
        WaitForInputIdle(fenlop.handle, WAIT_MS);
        printf("fenlop.exe runs; its icon is in the notification area, its window hidden.\n");
        auto focusTarget = [&] {
            WaitUntil([&] {
                if (GetForegroundWindow() != frame)
                    SetForegroundWindow(frame);
                return GetForegroundWindow() == frame && FocusOf(frame) == edit;
            });
        };
        // A dialog shot once it has painted, and closed.
        auto shootAndClose = [&](HWND dialog, const char* name, WPARAM command) {
            Sleep(300);
            Screenshot(shots + "/" + name + ".png");
            PostMessageA(dialog, WM_COMMAND, command, 0);
            WaitUntil([&] { return !IsWindow(dialog); });
        };
        focusTarget();
        printf("In the target editor: Ctrl+Alt+P (the phrase hot key)...\n");
        PressChord({VK_CONTROL, VK_MENU}, 'P');
        if (WaitUntil([&] { return IsWindowVisible(phrase) && FocusOf(phrase) == list; })) {
            Sleep(300);  // the list paints after it has the focus
            Screenshot(shots + "/1-phrase-window.png");
            printf("...the phrase window shows the last label; Down, Enter...\n");
            PressKey(VK_DOWN);
            Sleep(200);
            PressKey(VK_RETURN);
            WaitUntil([&] { return !EditText(edit).empty(); });
            Sleep(300);
            std::string text = EditText(edit);
            printf("...arrived in the target editor (%u bytes):\n----\n%s\n----\n", (unsigned)text.size(),
                   Utf8(text).c_str());
            printf("The phrase window is %s.\n", IsWindowVisible(phrase) ? "still shown" : "hidden again");
            Screenshot(shots + "/2-pasted.png");
            result = text.empty() ? 1 : 0;
        } else {
            printf("...the phrase window did not show.\n");
        }
        // The about box over the phrase window, and the settings dialog.
        PostMessageA(tray, MSG_CALL_UP, IDC_PHRASE_HOTKEY, (LPARAM)edit);
        WaitUntil([&] { return IsWindowVisible(phrase) != FALSE; });
        PostMessageA(phrase, WM_COMMAND, IDM_ABOUT, 0);
        HWND about = nullptr;
        if (WaitUntil([&] { return (about = FindProcessWindow(fenlop, "#32770", "ﾊﾞｰｼﾞｮﾝ情報")) && IsWindowVisible(about); })) {
            shootAndClose(about, "3-about", IDOK);
        }
        // The list's popup menu on its first phrase, and the phrase editor.
        RECT row = ItemRect(RemoteList{list, fenlop.handle}, 0);
        if (row.right > row.left) {
            MouseMove(row.left + 12, (row.top + row.bottom) / 2);
            MouseButton(3, true);
            MouseButton(3, false);
            if (WaitUntil([] { HWND m = FindWindowA("#32768", nullptr); return m && IsWindowVisible(m); })) {
                Screenshot(shots + "/4-list-menu.png");
                PressKey('E');
                HWND editor = ShownProcessWindow(fenlop, "#32770", "定型文書編集");
                if (editor) {
                    shootAndClose(editor, "5-editor", IDC_EDIT_CANCEL);
                    printf("%s\n", Utf8("The list's menu, 編集(E)...: the phrase editor opens on the phrase.").c_str());
                }
            }
        }
        // Ctrl+F: every phrase of the library that holds the word.
        PostMessageA(phrase, WM_COMMAND, IDM_FIND, 0);
        HWND find = ShownProcessWindow(fenlop, "#32770", "検索");
        if (find) {
            SetWindowTextA(GetDlgItem(find, IDC_FIND_TEXT), "お世話");
            SendMessageA(GetDlgItem(find, IDC_FIND_ALL_TREES), BM_SETCHECK, BST_CHECKED, 0);
            PostMessageA(find, WM_COMMAND, IDC_FIND_ALL_TREES, (LPARAM)GetDlgItem(find, IDC_FIND_ALL_TREES));
            Sleep(300);
            Screenshot(shots + "/6-find.png");
            PostMessageA(find, WM_COMMAND, IDOK, (LPARAM)GetDlgItem(find, IDOK));
            WaitUntil([&] { return !IsWindow(find); });
            Sleep(300);
            printf("%s %d.\n", Utf8("Ctrl+F, お世話, all trees: phrases listed:").c_str(), ItemCount(list));
            Screenshot(shots + "/7-found.png");
        }
        PostMessageA(phrase, WM_KEYDOWN, VK_ESCAPE, 0);
        WaitUntil([&] { return !IsWindowVisible(phrase); });
        PostMessageA(tray, MSG_TRAY_NOTIFY, TRAY_ICON, WM_RBUTTONUP);
        if (WaitUntil([] { HWND m = FindWindowA("#32768", nullptr); return m && IsWindowVisible(m); })) {
            Screenshot(shots + "/8-tray-menu.png");
            PressKey('S');
            HWND dialog = nullptr;
            if (WaitUntil([&] { return (dialog = FindProcessWindow(fenlop, "#32770", "設定")) && IsWindowVisible(dialog); })) {
                shootAndClose(dialog, "9-settings", IDCANCEL);
            }
        }
        // F1 in the phrase window: the help viewer with its contents on the left.
        PostMessageA(tray, MSG_CALL_UP, IDC_PHRASE_HOTKEY, (LPARAM)edit);
        WaitUntil([&] { return IsWindowVisible(phrase) != FALSE; });
        PostMessageA(phrase, WM_COMMAND, IDM_HELP, 0);
        HWND help = nullptr;
        if (WaitUntil([&] { return (help = FindWindowA("HH Parent", "Fenlopヘルプ")) && IsWindowVisible(help); })) {
            Sleep(1000);
            Screenshot(shots + "/11-help.png");
            printf("%s %s.\n", Utf8("Help (F1): the viewer \"Fenlopヘルプ\" shows flp.chm; the phrase window is").c_str(),
                   IsWindowVisible(phrase) ? "still shown" : "hidden");
            PostMessageA(help, WM_CLOSE, 0, 0);
            WaitUntil([&] { return !IsWindow(help); });
        } else {
            printf("Help (F1): no help viewer opened.\n");
        }
        // The calculator pad: a sum typed into the target editor.
        SendMessageA(edit, WM_SETTEXT, 0, (LPARAM)"");
        focusTarget();
        printf("In the target editor: Ctrl+Alt+C (the calculator's hot key)...\n");
        PressChord({VK_CONTROL, VK_MENU}, 'C');
        HWND pad = nullptr;
        if (WaitUntil([&] {
                return (pad = FindProcessWindow(fenlop, "#32770", "電卓　")) && GetForegroundWindow() == pad &&
                       FocusOf(pad) == GetDlgItem(pad, IDC_CALC_DISPLAY);
            })) {
            printf("...the pad opens; 1 2 + 3 0 Down (collects 42), 1 0 0 / 8 Enter...\n");
            for (BYTE key : std::initializer_list<BYTE>{'1', '2', VK_ADD, '3', '0', VK_DOWN, '1', '0', '0', VK_DIVIDE})
                PressKey(key);
            WaitUntil([&] { return EditText(GetDlgItem(pad, IDC_CALC_ENTRY)).find("[/]") != std::string::npos; });
            Sleep(300);
            Screenshot(shots + "/10-calculator.png");
            PressKey('8');
            PressKey(VK_RETURN);
            WaitUntil([&] { return !EditText(edit).empty(); });
            Sleep(300);
            std::string sum = EditText(edit);
            printf("...arrived in the target editor: \"%s\"; the pad is %s.\n", sum.c_str(),
                   IsWindowVisible(pad) ? "still open" : "closed");
            if (sum != "42, 12.5")
                result = 1;
        } else {
            printf("...the pad did not open.\n");
            result = 1;
        }
        PostMessageA(phrase, WM_COMMAND, IDM_EXIT, 0);
        long code = WaitForExit(&fenlop);
        printf("Exit command: fenlop.exe ended with %ld; the library and the settings are written.\n", code);
        printf("Screenshots: %s\n", shots.c_str());
    }
    EndProcess(&fenlop);
    EndProcess(&target);
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && strcmp(argv[1], "setup") == 0) {
        SetUpRecord();
        return 0;
    }
    if (argc == 4 && strcmp(argv[1], "tour") == 0)
        return Tour(argv[2], argv[3]);
    fprintf(stderr, "usage: fenlop_tour setup | tour FOLDER SHOTS\n");
    return 2;
}
