// The filter box: an edit control above the phrase list whose text narrows
// the list as it is typed (IME input included: every change counts).
#include "ui/win32/filter_box.h"

#include <commctrl.h>

#include "common/win32/window_messages.h"
#include "library/phrase_filter.h"
#include "library/win32/filter_results.h"
#include "library/win32/phrase_list.h"
#include "ui/win32/notifications.h"
#include "ui/win32/phrase_window_host.h"

// IDT_FILTER_AGAIN is set on the box when a query gave way to a key: once
// the keys waiting are handled, the text as it is then is looked for. A
// timer, not a posted message: posted messages come before the input, which
// would find the key still waiting and give way again for ever.

// The box's text: its limit counts characters, and a two-byte character
// takes two bytes here.
static const int FILTER_TEXT_READ_SIZE = 2 * SEARCH_WORD_SIZE + 2;

// The grey text of the empty box (its key as in the menu), and the tip.
static const char FILTER_CUE[] = "絞り込み (Ctrl+E)";
static const int FILTER_CUE_SIZE = 32;  // in UTF-16 units, with the NUL
static const char FILTER_TIP[] = "言葉を入力すると、ライブラリ全体からその言葉を含む定型文だけが並びます";

// The box's subclass and the queries it has run.
struct FilterBoxState {
    WNDPROC editProc;   // the edit control's own procedure
    unsigned changes;   // changes of the text so far
    unsigned againFor;  // the change a query gave way in
    int clearing;       // >0: the program empties the box itself
};
static FilterBoxState s_box;

// A key waiting to be handled makes the query give way: its change comes
// next and asks again. Sent messages are not dispatched here.
static bool NoKeyWaiting(void*)
{
    MSG msg;
    return !PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE | PM_QS_INPUT) &&
           !PeekMessageA(&msg, nullptr, WM_CHAR, WM_CHAR, PM_NOREMOVE | PM_QS_INPUT);
}

static void Narrow(HWND box)
{
    char text[FILTER_TEXT_READ_SIZE];
    int n = GetWindowTextA(box, text, sizeof text);
    FilterGoOn goOn = {nullptr, NoKeyWaiting};
    int result = ShowFilterResults(Host().phraseList, text, n > 0 ? (size_t)n : 0, &goOn);
    if (result == 1) {
        s_box.againFor = s_box.changes;
        SetTimer(box, IDT_FILTER_AGAIN, 1, nullptr);
        return;
    }
    if (result == 0 && FilterShowing())
        TellFilterLabel(Host().phraseList);
}

void OnFilterBoxChange(HWND box)
{
    if (s_box.clearing)
        return;
    s_box.changes++;
    Narrow(box);
}

static void Empty(HWND box)
{
    s_box.changes++;  // a query that gave way is not taken up again
    s_box.clearing++;
    SetWindowTextA(box, "");
    s_box.clearing--;
}

void ClearFilterBox(HWND box)
{
    if (!FilterShowing() && GetWindowTextLengthA(box) > 0)
        Empty(box);
}

void FocusFilterBox(HWND box)
{
    SetFocus(box);
    SendMessageA(box, EM_SETSEL, 0, -1);
}

// The first result selected and the focus on it, for Enter to send.
static void ToFirstResult()
{
    HWND list = Host().phraseList;
    if (SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) <= 0)
        return;
    // Taking every row's selection makes some list views visit every row:
    // skipped when the first row is already the only one selected.
    bool firstAlone = SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) == 1 &&
                      (SendMessageA(list, LVM_GETITEMSTATE, 0, LVIS_SELECTED) & LVIS_SELECTED);
    if (!firstAlone) {
        LVITEMA none = {};
        none.stateMask = LVIS_SELECTED;
        SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&none);
    }
    SelectPhraseRow(list, 0);
    SendMessageA(list, LVM_ENSUREVISIBLE, 0, FALSE);
    SetFocus(list);
}

// Escape gives the open label's list back and the focus to it; in an
// empty box it hides the window, as in the tree and the list.
static void OnEscape(HWND box)
{
    if (!FilterShowing() && GetWindowTextLengthA(box) == 0) {
        Host().calls.hidePhraseWindow();
        return;
    }
    Empty(box);
    EndFilter(Host().phraseList, true);
    SetFocus(Host().phraseList);
}

static bool OnBoxKey(HWND box, WPARAM key)
{
    switch (key) {
    case VK_ESCAPE: OnEscape(box); return true;
    case VK_RETURN:
    case VK_DOWN: ToFirstResult(); return true;
    case VK_TAB: SetFocus(Host().phraseList); return true;
    }
    return false;
}

static LRESULT CALLBACK FilterBoxProc(HWND box, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_KEYDOWN:
        if (OnBoxKey(box, wParam))
            return 0;
        break;
    case WM_CHAR:
        // Their keys were taken above; a single-line edit would beep.
        if (wParam == '\r' || wParam == 27 || wParam == '\t')
            return 0;
        break;
    case WM_TIMER:
        if (wParam != IDT_FILTER_AGAIN)
            break;
        KillTimer(box, IDT_FILTER_AGAIN);
        // A later change has looked for its own text already.
        if (s_box.againFor == s_box.changes)
            Narrow(box);
        return 0;
    }
    return CallWindowProcA(s_box.editProc, box, msg, wParam, lParam);
}

// An empty box says what it is for and which key reaches it, in grey, even
// while it has the focus; the text goes once something is typed.
static void SetCueText(HWND box)
{
    WCHAR cue[FILTER_CUE_SIZE];
    if (MultiByteToWideChar(CP_ACP, 0, FILTER_CUE, -1, cue, FILTER_CUE_SIZE) > 0)
        SendMessageA(box, EM_SETCUEBANNER, TRUE, (LPARAM)cue);
}

// The tip at the pointer says a little more. The tip window belongs to the
// box's parent and goes with it.
static void AddToolTip(HWND box)
{
    HWND parent = GetParent(box);
    HWND tip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr,
                               (HINSTANCE)GetWindowLongPtrA(box, GWLP_HINSTANCE), nullptr);
    if (!tip)
        return;
    TOOLINFOA tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = parent;
    tool.uId = (UINT_PTR)box;
    tool.lpszText = (char*)FILTER_TIP;
    SendMessageA(tip, TTM_ADDTOOLA, 0, (LPARAM)&tool);
}

void StartFilterBox(HWND box)
{
    SendMessageA(box, EM_LIMITTEXT, SEARCH_WORD_SIZE - 1, 0);
    s_box.editProc = (WNDPROC)SetWindowLongPtrA(box, GWLP_WNDPROC, (LONG_PTR)FilterBoxProc);
    SetCueText(box);
    AddToolTip(box);
}
