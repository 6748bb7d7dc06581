// The calculator pad. Its owner-drawn keys and a keyboard hook on the
// program's thread drive the engine; Ent types the collected values into
// the target window and closes the pad. Its dialog is made once and kept
// hidden between call-ups (made from its template it takes longer than a
// frame under some systems); each call-up starts as a new pad would.
#include "calc/win32/calc_pad.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "calc/win32/pad_texts.h"
#include "common/win32/key_state.h"
#include "resources/resource.h"

static const int KEY_CAPTION_SIZE = 80;
static const int CMD_FOCUS_DISPLAY = 0;

// The pad: its dialog, made once, and the call-up it is open for.
struct PadRecord {
    HWND window;           // the dialog, shown or hidden; null until made
    bool open;             // shown, from a call-up to its close
    bool framePaintDue;    // within the show: its own WM_NCPAINT draws the frame active
    HHOOK keyboardHook;    // the program thread's keys, while it is open
    char bareCaption[CALC_CAPTION_SIZE];  // the template's caption, which a call-up starts from
    CalcPadHost host;
};
static PadRecord s_pad;

// The pad command of a virtual key; 0 for keys the pad does not take.
// Shift+5 and Shift+minus follow the Japanese key tops (% and =).
static int KeyCommand(WPARAM key, bool shift)
{
    if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9)
        key = '0' + (key - VK_NUMPAD0);
    if (key == '0')
        return CALC_KEY_ZERO;
    if (key == '5' && shift)
        return CALC_KEY_ATAN;
    if (key >= '1' && key <= '9')
        return CALC_KEY_ONE + (int)(key - '1');
    switch (key) {
    case VK_BACK: return CALC_KEY_BACK;
    case VK_RETURN: return shift ? CALC_KEY_EQUALS : CALC_KEY_FINISH;
    case VK_END: return CALC_KEY_EQUALS;
    case VK_HOME: return CALC_KEY_ALL_CLEAR;
    case VK_DOWN: return CALC_KEY_COLLECT;
    case VK_INSERT: return CALC_KEY_NEGATE;
    case VK_DELETE: return CALC_KEY_CLEAR;
    case VK_MULTIPLY:
    case VK_OEM_1: return CALC_KEY_MULTIPLY;
    case VK_ADD:
    case VK_OEM_PLUS: return CALC_KEY_ADD;
    case VK_SUBTRACT: return CALC_KEY_SUBTRACT;
    case VK_OEM_MINUS: return shift ? CALC_KEY_EQUALS : CALC_KEY_SUBTRACT;
    case VK_DECIMAL:
    case VK_OEM_PERIOD: return CALC_KEY_POINT;
    case VK_DIVIDE:
    case VK_OEM_2: return CALC_KEY_DIVIDE;
    }
    return 0;
}

// The pad takes the thread's keys only while they are meant for it: while
// it is the active window, whichever of its windows has the focus. A menu
// (the tray's, the pad's system menu), a move of the pad by keys and a
// dialog opened over the pad take their own keys.
static bool KeysAreForThePad()
{
    if (!s_pad.open || GetActiveWindow() != s_pad.window)
        return false;
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    const DWORD OWN_KEYS = GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE | GUI_INMOVESIZE;
    return !GetGUIThreadInfo(GetCurrentThreadId(), &info) || !(info.flags & OWN_KEYS);
}

// Turns the pad's keys into pad commands. Every key goes on to the focus
// window as well; none of the pad's windows acts on it there.
static LRESULT CALLBACK PadKeyboardHook(int code, WPARAM key, LPARAM flags)
{
    if (code != HC_ACTION || (flags & 0x80000000) || !KeysAreForThePad())
        return 0;
    if (key == VK_ESCAPE) {
        PostMessageA(s_pad.window, WM_CLOSE, 0, 0);
        return 0;
    }
    int command = KeyCommand(key, KeyDown(VK_SHIFT));
    if (command)
        PostMessageA(s_pad.window, WM_COMMAND, command, 0);
    return 0;
}

static BOOL OnInitDialog(HWND pad)
{
    s_pad.window = pad;
    GetWindowTextA(pad, s_pad.bareCaption, sizeof s_pad.bareCaption);
    // Topmost once: a hidden window keeps it.
    SetWindowPos(pad, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // No focus given: a hidden dialog focused would take the activation.
    return FALSE;
}

// A hidden pad holds no hook.
static void ClosePad()
{
    if (!s_pad.open)
        return;
    s_pad.open = false;
    if (s_pad.keyboardHook)
        UnhookWindowsHookEx(s_pad.keyboardHook);
    s_pad.keyboardHook = nullptr;
    ShowWindow(s_pad.window, SW_HIDE);
    if (s_pad.host.closed)
        s_pad.host.closed();
}

// Ent: the result is collected and everything collected is typed into the
// target window, then the pad closes. The last steps run on a copy of the
// pad's texts: the pad closes at once, the next call-up starts from all
// clear, and writing its windows (the caption above all) held the values
// up by milliseconds.
static void Finish(HWND pad)
{
    PadTextCopy copy;
    CalcPadTexts texts = CopiedPadTexts(pad, &copy);
    char values[CALC_CAPTION_SIZE];
    CalcFinish(&texts, values, sizeof values);
    s_pad.host.typeValues(pad, values);
    ClosePad();
}

// A hidden pad takes no command: other programs can post to it, and its
// host is set only from its first call-up.
static void OnCommand(HWND pad, int id)
{
    if (!s_pad.open)
        return;
    if (id == CMD_FOCUS_DISPLAY) {
        SetFocus(GetDlgItem(pad, IDC_CALC_DISPLAY));
    } else if (id == CALC_KEY_FINISH) {
        Finish(pad);
    } else if ((id >= CALC_KEY_ZERO && id <= CALC_KEY_ZERO + 2) ||
               (id >= CALC_KEY_ONE && id <= CALC_KEY_MEMORY_RECALL)) {
        CalcPadTexts texts = PadTexts(pad);
        CalcPressKey(&texts, id);
    } else {
        PostMessageA(pad, WM_COMMAND, CMD_FOCUS_DISPLAY, 0);
    }
}

// A key's caption is its kind letter, a space and its label; the letter
// gives the label's colour.
static void DrawKey(const DRAWITEMSTRUCT* item)
{
    RECT rc = item->rcItem;
    UINT state = DFCS_BUTTONPUSH | ((item->itemState & ODS_SELECTED) ? DFCS_PUSHED : 0);
    DrawFrameControl(item->hDC, &rc, DFC_BUTTON, state);
    SetBkMode(item->hDC, TRANSPARENT);
    char caption[KEY_CAPTION_SIZE] = "";
    char label[KEY_CAPTION_SIZE] = "";
    char kind = 0;
    GetWindowTextA(item->hwndItem, caption, sizeof caption);
    sscanf(caption, "%c %79s", &kind, label);
    switch (toupper((unsigned char)kind)) {
    case 'B': SetTextColor(item->hDC, RGB(0, 0, 255)); break;
    case 'K': SetTextColor(item->hDC, RGB(0, 0, 0)); break;
    case 'R': SetTextColor(item->hDC, RGB(255, 0, 0)); break;
    case 'Y': SetTextColor(item->hDC, RGB(185, 122, 0)); break;
    }
    rc = item->rcItem;
    DrawTextA(item->hDC, label, -1, &rc, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
}

// The phrase window comes back where the pad was last.
static void OnMove(HWND pad)
{
    if (!s_pad.open)
        return;
    RECT rc;
    GetWindowRect(pad, &rc);
    SetWindowPos(s_pad.host.anchor, nullptr, rc.left, rc.top, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
}

// Escape posted to the pad.
static void OnKeyDown(WPARAM key)
{
    if (key == VK_ESCAPE)
        ClosePad();
}

// The frame drawn once in a show: lParam -1 has the system change the
// state without drawing it, which the show's own paint does next.
static INT_PTR OnNcActivate(HWND pad, WPARAM wParam)
{
    if (!wParam || !s_pad.framePaintDue)
        return FALSE;
    SetWindowLongPtrA(pad, DWLP_MSGRESULT, DefWindowProcA(pad, WM_NCACTIVATE, wParam, -1));
    return TRUE;
}

static INT_PTR OnCtlColorStatic(HDC dc)
{
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return (INT_PTR)GetSysColorBrush(COLOR_WINDOW);
}

// With its owner, at the program's end.
static void OnDestroy()
{
    ClosePad();
    s_pad.window = nullptr;
}

static INT_PTR CALLBACK CalcPadProc(HWND pad, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: return OnInitDialog(pad);
    case WM_COMMAND: OnCommand(pad, LOWORD(wParam)); return TRUE;
    case WM_KEYDOWN: OnKeyDown(wParam); return FALSE;
    case WM_DRAWITEM: DrawKey((const DRAWITEMSTRUCT*)lParam); return TRUE;
    case WM_CTLCOLORSTATIC: return OnCtlColorStatic((HDC)wParam);
    case WM_NCACTIVATE: return OnNcActivate(pad, wParam);
    case WM_NCPAINT: s_pad.framePaintDue = false; return FALSE;
    case WM_MOVE: OnMove(pad); return TRUE;
    case WM_CLOSE: ClosePad(); return TRUE;
    case WM_DESTROY: OnDestroy(); return TRUE;
    }
    return FALSE;
}

HWND MakeCalculatorPad(HINSTANCE instance, HWND owner)
{
    if (!s_pad.window)
        CreateDialogParamA(instance, "IDD_CALC", owner, CalcPadProc, 0);
    return s_pad.window;
}

HWND OpenCalculatorPad(HWND owner, const CalcPadHost& host)
{
    if (s_pad.open)
        return s_pad.window;
    HWND pad = MakeCalculatorPad(host.instance, owner);
    if (!pad)
        return nullptr;
    s_pad.host = host;
    s_pad.open = true;
    s_pad.keyboardHook = SetWindowsHookExA(WH_KEYBOARD, PadKeyboardHook, host.instance, GetCurrentThreadId());
    // From all clear and the bare caption, as a pad just made.
    char caption[CALC_CAPTION_SIZE];
    GetWindowTextA(pad, caption, sizeof caption);
    if (strcmp(caption, s_pad.bareCaption) != 0)
        SetWindowTextA(pad, s_pad.bareCaption);
    CalcPadTexts texts = PadTexts(pad);
    CalcAllClear(&texts);
    RECT at, rc;
    GetWindowRect(pad, &at);
    GetWindowRect(host.anchor, &rc);
    if (at.left != rc.left || at.top != rc.top)
        SetWindowPos(pad, nullptr, rc.left, rc.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    s_pad.framePaintDue = true;
    ShowWindow(pad, SW_SHOWNORMAL);
    s_pad.framePaintDue = false;
    SetFocus(GetDlgItem(pad, IDC_CALC_DISPLAY));
    return pad;
}

void CloseCalculatorPad()
{
    ClosePad();
}
