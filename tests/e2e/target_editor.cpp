// The program the end-to-end tests type into: a frame with one multi-line
// edit control that takes the focus. Its title is the command line (default
// "Target editor"), so tests can give it a title the output refuses.
// Environment variables make it another kind of program:
//   FENLOP_TARGET_PASTE_DELAY=MS   a slow target: each paste waits that long
//                                  before it reads the clipboard;
//   FENLOP_TARGET_OPENER=frame|none  a plain editor that reads CF_TEXT itself
//                                  on a paste, opening the clipboard with its
//                                  top-level window or with none;
//   FENLOP_TARGET_READ_ON_ACTIVATE=1  it also reads the clipboard whenever it
//                                  is activated, as editors that follow the
//                                  clipboard do (the text read last is kept in
//                                  the hidden static TARGET_READ_ID);
//   FENLOP_TARGET_COPY=FORMAT:HEX  no window: it copies the command line as
//                                  CF_TEXT and the bytes HEX as the registered
//                                  FORMAT with no clipboard owner, and exits;
//   FENLOP_TARGET_CLASS=NAME       the frame's window class (default
//                                  FenlopTestTarget), for the paste methods;
//   FENLOP_TARGET_UNICODE=1        a Unicode program: its windows and message
//                                  loop are the system's wide ones, as those
//                                  of remote desktop clients and consoles.
// The keys the edit control gets are kept in the hidden static TARGET_KEYS_ID, one
// word a key down: its virtual key in hex, after "c" with Ctrl down and "s"
// with Shift down ("c56" is Ctrl+V, "s2d" Shift+Insert, "e7" a character
// typed as Unicode input, "d" Enter).
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/e2e/target_editor.h"

enum Opener { OPENER_EDIT, OPENER_FRAME, OPENER_NONE };

struct TargetState {
    WNDPROC editProc;    // the edit control's own procedure
    DWORD pasteDelay;    // milliseconds before a paste reads
    Opener opener;       // who opens the clipboard on a paste
    bool readOnActivate;
    bool unicode;
};
static TargetState s_target;

static std::string Variable(const char* name)
{
    char value[1024];
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n && n < sizeof value ? std::string(value, n) : std::string();
}

static HGLOBAL Block(const std::string& bytes)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size() ? bytes.size() : 1);
    if (block) {
        memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
    }
    return block;
}

static int Copy(const std::string& formatAndBytes, const char* text)
{
    size_t colon = formatAndBytes.find(':');
    if (colon == std::string::npos)
        return 2;
    std::string bytes;
    for (size_t i = colon + 1; i + 1 < formatAndBytes.size(); i += 2)
        bytes += (char)strtol(formatAndBytes.substr(i, 2).c_str(), nullptr, 16);
    UINT format = RegisterClipboardFormatA(formatAndBytes.substr(0, colon).c_str());
    for (int tries = 0; !OpenClipboard(nullptr); tries++) {
        if (tries == 200)
            return 1;
        Sleep(10);
    }
    EmptyClipboard();
    bool placed = SetClipboardData(CF_TEXT, Block(std::string(text, strlen(text) + 1))) &&
                  SetClipboardData(format, Block(bytes));
    CloseClipboard();
    return placed ? 0 : 1;
}

// CF_TEXT as a plain editor reads it; empty when the clipboard was busy.
static std::string ReadText(HWND frame)
{
    std::string text;
    if (!OpenClipboard(s_target.opener == OPENER_NONE ? nullptr : frame))
        return text;
    if (HGLOBAL block = GetClipboardData(CF_TEXT)) {
        if (const char* bytes = (const char*)GlobalLock(block)) {
            text.assign(bytes, strnlen(bytes, GlobalSize(block)));
            GlobalUnlock(block);
        }
    }
    CloseClipboard();
    return text;
}

static void KeepKey(HWND edit, WPARAM key)
{
    char word[16];
    wsprintfA(word, "%s%s%x ", GetKeyState(VK_CONTROL) < 0 ? "c" : "", GetKeyState(VK_SHIFT) < 0 ? "s" : "",
              (unsigned)key);
    HWND keys = GetDlgItem(GetParent(edit), TARGET_KEYS_ID);
    int length = GetWindowTextLengthA(keys);
    std::string text(length + 1, '\0');
    GetWindowTextA(keys, &text[0], length + 1);
    text.resize(length);
    SetWindowTextA(keys, (text + word).c_str());
}

static LRESULT CALLBACK TargetEditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_KEYDOWN && wParam != VK_CONTROL && wParam != VK_SHIFT)
        KeepKey(hwnd, wParam);
    if (s_target.unicode)
        return CallWindowProcW(s_target.editProc, hwnd, msg, wParam, lParam);
    if (msg == WM_PASTE) {
        Sleep(s_target.pasteDelay);
        if (s_target.opener != OPENER_EDIT) {
            std::string text = ReadText(GetParent(hwnd));
            SendMessageA(hwnd, EM_REPLACESEL, TRUE, (LPARAM)text.c_str());
            return 0;
        }
    }
    return CallWindowProcA(s_target.editProc, hwnd, msg, wParam, lParam);
}

static LRESULT CALLBACK TargetProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: {
        const DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
        HMENU id = (HMENU)(INT_PTR)TARGET_EDIT_ID;
        HWND edit = s_target.unicode
                        ? CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", style, 0, 0, 0, 0, hwnd, id, nullptr, nullptr)
                        : CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", style, 0, 0, 0, 0, hwnd, id, nullptr, nullptr);
        if (edit)
            s_target.editProc = s_target.unicode
                                    ? (WNDPROC)SetWindowLongPtrW(edit, GWLP_WNDPROC, (LONG_PTR)TargetEditProc)
                                    : (WNDPROC)SetWindowLongPtrA(edit, GWLP_WNDPROC, (LONG_PTR)TargetEditProc);
        CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 0, 0, hwnd, (HMENU)(INT_PTR)TARGET_READ_ID, nullptr, nullptr);
        CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 0, 0, hwnd, (HMENU)(INT_PTR)TARGET_KEYS_ID, nullptr, nullptr);
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && s_target.readOnActivate)
            SetDlgItemTextA(hwnd, TARGET_READ_ID, ReadText(hwnd).c_str());
        break;  // the default gives the frame the focus
    case WM_SIZE:
        MoveWindow(GetDlgItem(hwnd, TARGET_EDIT_ID), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_SETFOCUS:
        SetFocus(GetDlgItem(hwnd, TARGET_EDIT_ID));
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return s_target.unicode ? DefWindowProcW(hwnd, msg, wParam, lParam) : DefWindowProcA(hwnd, msg, wParam, lParam);
}

// The command line after the program's name. (The runtime's own cut takes
// every byte above 7Fh for a blank, and loses the first characters of a
// Japanese title.)
static const char* Arguments()
{
    const char* p = GetCommandLineA();
    bool quoted = false;
    for (; *p && (quoted || (*p != ' ' && *p != '\t')); p++)
        if (*p == '"')
            quoted = !quoted;
    while (*p == ' ' || *p == '\t')
        p++;
    return p;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const char* arguments = Arguments();
    std::string copy = Variable("FENLOP_TARGET_COPY");
    if (!copy.empty())
        return Copy(copy, arguments);
    s_target.pasteDelay = (DWORD)atoi(Variable("FENLOP_TARGET_PASTE_DELAY").c_str());
    std::string opener = Variable("FENLOP_TARGET_OPENER");
    s_target.opener = opener == "frame" ? OPENER_FRAME : opener == "none" ? OPENER_NONE : OPENER_EDIT;
    s_target.readOnActivate = Variable("FENLOP_TARGET_READ_ON_ACTIVATE") == "1";
    std::string className = Variable("FENLOP_TARGET_CLASS");
    if (className.empty())
        className = TARGET_CLASS;

    s_target.unicode = Variable("FENLOP_TARGET_UNICODE") == "1";
    const char* title = *arguments ? arguments : "Target editor";
    HWND frame;
    if (s_target.unicode) {
        std::wstring wideClass(className.begin(), className.end());
        wchar_t wideTitle[1024] = L"";
        MultiByteToWideChar(CP_ACP, 0, title, -1, wideTitle, 1024);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = TargetProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
        wc.lpszClassName = wideClass.c_str();
        RegisterClassW(&wc);
        frame = CreateWindowExW(0, wideClass.c_str(), wideTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 620, 80, 480, 320,
                                nullptr, nullptr, instance, nullptr);
    } else {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = TargetProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
        wc.lpszClassName = className.c_str();
        RegisterClassA(&wc);
        frame = CreateWindowExA(0, className.c_str(), title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 620, 80, 480, 320,
                                nullptr, nullptr, instance, nullptr);
    }
    if (!frame)
        return 1;
    SetForegroundWindow(frame);
    MSG msg;
    while ((s_target.unicode ? GetMessageW(&msg, nullptr, 0, 0) : GetMessageA(&msg, nullptr, 0, 0)) > 0) {
        TranslateMessage(&msg);
        if (s_target.unicode)
            DispatchMessageW(&msg);
        else
            DispatchMessageA(&msg);
    }
    return 0;
}
