// The values a phrase asks for at its send, and the filling itself. The
// dialog holds one row (the name, an edit box) per distinct name, in the
// order of first use; it is made from a template with OK and Cancel alone,
// grown to the rows it needs.
#include "ui/win32/fill_input.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "output/win32/clipboard.h"
#include "output/win32/clipboard_keeper.h"
#include "resources/resource.h"
#include "ui/win32/phrase_window_host.h"

static const int MAX_INPUTS = 12;                // rows the dialog shows
static const int INPUT_VALUE_SIZE = 1024;        // bytes a value may have

// The dialog asking for values, while it is open (it is modal: one at most).
static HWND s_inputDialog;

HWND OpenInputDialog()
{
    return s_inputDialog;
}
static const int FIRST_INPUT_ID = IDC_FILL_INPUT_FIRST;

static const char SAID_TOO_LONG[] = "差し込みを埋めると長すぎるため、送りませんでした";

struct InputRows {
    std::vector<std::string> names;
    std::vector<std::string> values;
};

static void AddName(void* context, const char* name, size_t n)
{
    InputRows* rows = (InputRows*)context;
    if ((int)rows->names.size() < MAX_INPUTS)
        rows->names.emplace_back(name, n);
}

static const char* GiveValue(void* context, const char* name, size_t n, size_t* length)
{
    InputRows* rows = (InputRows*)context;
    for (size_t i = 0; i < rows->names.size() && i < rows->values.size(); i++)
        if (rows->names[i].size() == n && memcmp(rows->names[i].data(), name, n) == 0) {
            *length = rows->values[i].size();
            return rows->values[i].c_str();
        }
    return nullptr;
}

// Dialog units of one row and of the margins.
static const int ROW_HEIGHT = 18, MARGIN = 7, NAME_WIDTH = 70, EDIT_WIDTH = 140, EDIT_HEIGHT = 12;

static RECT DialogUnits(HWND dialog, int left, int top, int width, int height)
{
    RECT r = {left, top, left + width, top + height};
    MapDialogRect(dialog, &r);
    return r;
}

static void AddRows(HWND dialog, const InputRows* rows)
{
    HFONT font = (HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0);
    HINSTANCE instance = (HINSTANCE)GetWindowLongPtrA(dialog, GWLP_HINSTANCE);
    HWND after = HWND_TOP;
    for (size_t i = 0; i < rows->names.size(); i++) {
        int top = MARGIN + (int)i * ROW_HEIGHT;
        RECT label = DialogUnits(dialog, MARGIN, top + 2, NAME_WIDTH, 8);
        RECT box = DialogUnits(dialog, MARGIN + NAME_WIDTH + 4, top, EDIT_WIDTH, EDIT_HEIGHT);
        std::string shown = rows->names[i] + "(&" + std::to_string(i < 9 ? i + 1 : 0) + "):";
        HWND name = CreateWindowExA(0, "STATIC", shown.c_str(), WS_CHILD | WS_VISIBLE,
                                    label.left, label.top, label.right - label.left, label.bottom - label.top,
                                    dialog, nullptr, instance, nullptr);
        HWND edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                                    box.left, box.top, box.right - box.left, box.bottom - box.top, dialog,
                                    (HMENU)(INT_PTR)(FIRST_INPUT_ID + i), instance, nullptr);
        SendMessageA(name, WM_SETFONT, (WPARAM)font, FALSE);
        SendMessageA(edit, WM_SETFONT, (WPARAM)font, FALSE);
        SendMessageA(edit, EM_LIMITTEXT, INPUT_VALUE_SIZE - 1, 0);
        // In the tab order before OK and Cancel, in row order.
        SetWindowPos(name, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        SetWindowPos(edit, name, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = edit;
    }
    // The buttons under the rows, the dialog around them.
    int buttonsTop = MARGIN + (int)rows->names.size() * ROW_HEIGHT + 4;
    int width = MARGIN * 2 + NAME_WIDTH + 4 + EDIT_WIDTH;
    RECT ok = DialogUnits(dialog, width - MARGIN - 50 - 4 - 50, buttonsTop, 50, 14);
    RECT cancel = DialogUnits(dialog, width - MARGIN - 50, buttonsTop, 50, 14);
    SetWindowPos(GetDlgItem(dialog, IDOK), after, ok.left, ok.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(GetDlgItem(dialog, IDCANCEL), GetDlgItem(dialog, IDOK), cancel.left, cancel.top, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE);
    RECT client = DialogUnits(dialog, 0, 0, width, buttonsTop + 14 + MARGIN);
    RECT frame = client;
    AdjustWindowRectEx(&frame, (DWORD)GetWindowLongA(dialog, GWL_STYLE), FALSE,
                       (DWORD)GetWindowLongA(dialog, GWL_EXSTYLE));
    SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

static INT_PTR CALLBACK InputDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    InputRows* rows = (InputRows*)GetWindowLongPtrA(dialog, DWLP_USER);
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        s_inputDialog = dialog;
        AddRows(dialog, (InputRows*)lParam);
        SetFocus(GetDlgItem(dialog, FIRST_INPUT_ID));
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            rows->values.clear();
            for (size_t i = 0; i < rows->names.size(); i++) {
                char value[INPUT_VALUE_SIZE];
                GetDlgItemTextA(dialog, FIRST_INPUT_ID + (int)i, value, sizeof value);
                rows->values.emplace_back(value);
            }
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        s_inputDialog = nullptr;
        return FALSE;
    }
    return FALSE;
}

bool UsersClipboardText(HWND owner, std::string* text)
{
    // While an earlier send still keeps the user's content, the clipboard
    // holds that send's phrase: the user's text is the kept one.
    if (KeptUsersText(text))
        return !text->empty();
    if (!OpenClipboardFor(owner))
        return false;
    if (HANDLE block = GetClipboardData(CF_TEXT)) {
        // A block that another program filled need not end with a NUL.
        if (const char* bytes = (const char*)GlobalLock(block)) {
            size_t size = GlobalSize(block);
            text->assign(bytes, strnlen(bytes, size));
            GlobalUnlock(block);
        }
    }
    CloseClipboard();
    return !text->empty();
}

// The system's eras, read at the first date that needs them.
struct ErasRead {
    EraTable table;
    bool read;
};
static ErasRead s_eras;

static const EraTable* Eras()
{
    if (!s_eras.read) {
        SystemEras(&s_eras.table);
        s_eras.read = true;
    }
    return &s_eras.table;
}

FillOutcome FillForSend(HWND owner, const char* text, const char* userClipboard, FilledText* filled)
{
    filled->bytes = nullptr;
    filled->caretBack = -1;
    size_t n = strlen(text);
    // A phrase without a brace costs nothing more to send.
    if (!Host().options->fillPhrases || !HasPlaceholders(text, n))
        return FILL_AS_IS;
    InputRows rows;
    ListFillInputs(text, n, AddName, &rows);
    if (!rows.names.empty() &&
        DialogBoxParamA(Host().instance, "IDD_FILL_INPUT", owner, InputDialogProc, (LPARAM)&rows) != IDOK)
        return FILL_CANCELLED;
    filled->bytes = (char*)malloc(FILL_LIMIT + 1);
    if (!filled->bytes)
        return FILL_TOO_LONG;
    SYSTEMTIME now;
    GetLocalTime(&now);
    FillContext context = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, Eras(),
                           userClipboard, userClipboard ? strlen(userClipboard) : 0, GiveValue, &rows};
    FillResult result = FillPhrase(text, n, &context, filled->bytes);
    if (result.tooLong) {
        ShowMessageBox(owner, SAID_TOO_LONG, MB_OK | MB_ICONWARNING);
        return FILL_TOO_LONG;
    }
    filled->caretBack = result.caretBack;
    return FILL_DONE;
}
