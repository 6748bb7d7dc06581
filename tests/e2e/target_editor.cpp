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
//                                  FORMAT with no clipboard owner, and exits.
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

static LRESULT CALLBACK TargetEditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
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
        HWND edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                                    WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                                        ES_WANTRETURN,
                                    0, 0, 0, 0, hwnd, (HMENU)(INT_PTR)TARGET_EDIT_ID, nullptr, nullptr);
        if (edit)
            s_target.editProc = (WNDPROC)SetWindowLongPtrA(edit, GWLP_WNDPROC, (LONG_PTR)TargetEditProc);
        CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 0, 0, hwnd, (HMENU)(INT_PTR)TARGET_READ_ID, nullptr, nullptr);
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
    return DefWindowProcA(hwnd, msg, wParam, lParam);
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

    WNDCLASSA wc = {};
    wc.lpfnWndProc = TargetProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = TARGET_CLASS;
    RegisterClassA(&wc);
    const char* title = *arguments ? arguments : "Target editor";
    HWND frame = CreateWindowExA(0, TARGET_CLASS, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 620, 80, 480, 320, nullptr, nullptr, instance, nullptr);
    if (!frame)
        return 1;
    SetForegroundWindow(frame);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
