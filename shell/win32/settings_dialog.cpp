// The settings dialog: the two hot keys, the calculator's Enter option,
// whether the clipboard comes back after a send, whether placeholders are
// filled in at a send, and the paste method of each kind of window.
#include "shell/win32/settings_dialog.h"
#include "common/win32/window_messages.h"
#include "shell/win32/shell_state.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "output/paste_methods.h"
#include "output/win32/text_output.h"
#include "resources/resource.h"
#include "shell/settings_record.h"
#include "shell/win32/settings_store.h"

static int GetHotKeyValue(HWND dialog, int id)
{
    return (int)(SendDlgItemMessageA(dialog, id, HKM_GETHOTKEY, 0, 0) & 0xFFFF);
}

// The dialog's values until OK: nothing else may see, use or save hot keys
// the user has not confirmed.
struct SettingsDialogValues {
    SettingsRecord record;  // the hot keys and switches of the record
    Options options;        // the options beside it, the paste methods' table among them
};
static SettingsDialogValues s_dialog;

// --- The paste methods' table ----------------------------------------------
// Rows are edited in s_dialog.options.pasteRules; the list shows them. The
// name box follows the window under the pointer (its top-level window's
// class, or its program) until the user types in it or picks a row.

static const UINT POINTER_TIMER_MS = 250;

static const char* const KIND_TEXTS[] = {"クラス", "プログラム"};  // by PasteRuleKind
static const char* const METHOD_TEXTS[] = {"Ctrl+V", "Shift+Insert", "1文字ずつ入力"};  // by PasteMethod

static HWND PasteList(HWND dialog)
{
    return GetDlgItem(dialog, IDC_PASTE_LIST);
}

static void SetCell(HWND list, int row, int column, const char* text)
{
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = (char*)text;
    SendMessageA(list, LVM_SETITEMTEXTA, row, (LPARAM)&item);
}

static void ShowPasteRows(HWND dialog, int select)
{
    HWND list = PasteList(dialog);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    const std::vector<PasteRule>& rules = s_dialog.options.pasteRules;
    for (size_t i = 0; i < rules.size(); i++) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = (int)i;
        item.pszText = (char*)KIND_TEXTS[rules[i].kind];
        SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
        SetCell(list, (int)i, 1, rules[i].name.c_str());
        SetCell(list, (int)i, 2, METHOD_TEXTS[rules[i].method]);
    }
    if (select >= 0) {
        LVITEMA state = {};
        state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, select, (LPARAM)&state);
        SendMessageA(list, LVM_ENSUREVISIBLE, select, FALSE);
    }
}

static void InitPasteTable(HWND dialog)
{
    HWND list = PasteList(dialog);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    RECT rc;
    GetClientRect(list, &rc);
    const char* headings[] = {"種類", "クラス名・プログラム名", "方法"};
    const int shares[] = {22, 48, 30};  // percent of the width
    for (int i = 0; i < 3; i++) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = (char*)headings[i];
        column.cx = (rc.right - GetSystemMetrics(SM_CXVSCROLL)) * shares[i] / 100;
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, (LPARAM)&column);
    }
    for (const char* text : KIND_TEXTS)
        SendDlgItemMessageA(dialog, IDC_PASTE_KIND, CB_ADDSTRING, 0, (LPARAM)text);
    for (const char* text : METHOD_TEXTS)
        SendDlgItemMessageA(dialog, IDC_PASTE_METHOD, CB_ADDSTRING, 0, (LPARAM)text);
    SendDlgItemMessageA(dialog, IDC_PASTE_KIND, CB_SETCURSEL, RULE_CLASS, 0);
    SendDlgItemMessageA(dialog, IDC_PASTE_METHOD, CB_SETCURSEL, PASTE_SHIFT_INSERT, 0);
    SendDlgItemMessageA(dialog, IDC_PASTE_NAME, EM_LIMITTEXT, PASTE_RULE_NAME_MAX, 0);
    ShowPasteRows(dialog, -1);
    SetTimer(dialog, IDT_POINTER, POINTER_TIMER_MS, nullptr);
}

static int Selection(HWND dialog, int id)
{
    return (int)SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0);
}

static int SelectedRow(HWND dialog)
{
    return (int)SendMessageA(PasteList(dialog), LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
}

// The row the controls describe; false when its name is empty.
static bool RowOfControls(HWND dialog, PasteRule* rule)
{
    char name[PASTE_RULE_NAME_MAX + 1] = "";
    GetDlgItemTextA(dialog, IDC_PASTE_NAME, name, sizeof name);
    rule->name = name;
    size_t start = rule->name.find_first_not_of(' ');
    size_t end = rule->name.find_last_not_of(' ');
    rule->name = start == std::string::npos ? std::string() : rule->name.substr(start, end - start + 1);
    int kind = Selection(dialog, IDC_PASTE_KIND);
    int method = Selection(dialog, IDC_PASTE_METHOD);
    rule->kind = kind == RULE_PROGRAM ? RULE_PROGRAM : RULE_CLASS;
    rule->method = method == PASTE_SHIFT_INSERT || method == PASTE_TYPED ? (PasteMethod)method : PASTE_CTRL_V;
    return !rule->name.empty();
}

// The name box is the user's again: the pointer's window is offered in it.
static void OfferPointerAgain(HWND dialog)
{
    SetDlgItemTextA(dialog, IDC_PASTE_NAME, "");
    SendDlgItemMessageA(dialog, IDC_PASTE_NAME, EM_SETMODIFY, FALSE, 0);
}

// Adds the controls' row; a row of the same kind and name takes its method.
static void AddPasteRow(HWND dialog)
{
    PasteRule rule;
    if (!RowOfControls(dialog, &rule)) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    std::vector<PasteRule>& rules = s_dialog.options.pasteRules;
    for (size_t i = 0; i < rules.size(); i++)
        if (rules[i].kind == rule.kind && SamePasteName(rules[i].name, rule.name.c_str())) {
            rules[i] = rule;
            ShowPasteRows(dialog, (int)i);
            OfferPointerAgain(dialog);
            return;
        }
    if (rules.size() >= PASTE_RULES_MAX) {
        ShowMessageBox(dialog, "貼り付け方法はこれ以上追加できません。", MB_OK | MB_ICONWARNING);
        return;
    }
    rules.push_back(rule);
    ShowPasteRows(dialog, (int)rules.size() - 1);
    OfferPointerAgain(dialog);
}

static void ChangePasteRow(HWND dialog)
{
    int row = SelectedRow(dialog);
    PasteRule rule;
    if (row < 0 || row >= (int)s_dialog.options.pasteRules.size() || !RowOfControls(dialog, &rule)) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    s_dialog.options.pasteRules[row] = rule;
    ShowPasteRows(dialog, row);
}

static void RemovePasteRow(HWND dialog)
{
    int row = SelectedRow(dialog);
    std::vector<PasteRule>& rules = s_dialog.options.pasteRules;
    if (row < 0 || row >= (int)rules.size()) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    rules.erase(rules.begin() + row);
    ShowPasteRows(dialog, row < (int)rules.size() ? row : (int)rules.size() - 1);
    OfferPointerAgain(dialog);
}

// A picked row fills the controls, for a change.
static void OnPasteRowPicked(HWND dialog)
{
    int row = SelectedRow(dialog);
    if (row < 0 || row >= (int)s_dialog.options.pasteRules.size())
        return;
    const PasteRule& rule = s_dialog.options.pasteRules[row];
    SendDlgItemMessageA(dialog, IDC_PASTE_KIND, CB_SETCURSEL, rule.kind, 0);
    SendDlgItemMessageA(dialog, IDC_PASTE_METHOD, CB_SETCURSEL, rule.method, 0);
    SetDlgItemTextA(dialog, IDC_PASTE_NAME, rule.name.c_str());
    SendDlgItemMessageA(dialog, IDC_PASTE_NAME, EM_SETMODIFY, TRUE, 0);
}

// The window under the pointer, when it is another program's: shown, and
// offered as the next row's name while the user has not typed one.
static void OnPointerTimer(HWND dialog)
{
    POINT at;
    if (!GetCursorPos(&at))
        return;
    HWND window = WindowFromPoint(at);
    DWORD process = 0;
    if (!window || !GetWindowThreadProcessId(window, &process) || process == GetCurrentProcessId())
        return;
    WindowFacts facts = FactsOfWindow(window);
    std::string shown = "ポインタの下: " + facts.frameClass;
    if (!facts.program.empty())
        shown += " (" + facts.program + ")";
    char before[PASTE_RULE_NAME_MAX * 2 + 40] = "";
    GetDlgItemTextA(dialog, IDC_PASTE_POINTER, before, sizeof before);
    if (shown != before)
        SetDlgItemTextA(dialog, IDC_PASTE_POINTER, shown.c_str());
    if (SendDlgItemMessageA(dialog, IDC_PASTE_NAME, EM_GETMODIFY, 0, 0))
        return;
    const std::string& offered = Selection(dialog, IDC_PASTE_KIND) == RULE_PROGRAM ? facts.program : facts.frameClass;
    char name[PASTE_RULE_NAME_MAX + 1] = "";
    GetDlgItemTextA(dialog, IDC_PASTE_NAME, name, sizeof name);
    if (offered != name && offered.size() <= PASTE_RULE_NAME_MAX)
        SetDlgItemTextA(dialog, IDC_PASTE_NAME, offered.c_str());
}

static INT_PTR OnInitDialog(HWND dialog)
{
    SettingsRecord* values = &s_dialog.record;
    g_globals.app.settingsDialog = dialog;
    SendDlgItemMessageA(dialog, IDC_PHRASE_HOTKEY, HKM_SETHOTKEY, values->phraseHotKey & 0xFFFF, 0);
    SendDlgItemMessageA(dialog, IDC_CALC_HOTKEY, HKM_SETHOTKEY, values->calcHotKey & 0xFFFF, 0);
    CheckDlgButton(dialog, IDC_CALC_ENTER, values->calcEnterNewline ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_RESTORE_CLIPBOARD,
                   s_dialog.options.restoreClipboard ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_FILL_PHRASES, s_dialog.options.fillPhrases ? BST_CHECKED : BST_UNCHECKED);
    InitPasteTable(dialog);
    return TRUE;
}

static bool IsChecked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

static INT_PTR OnOk(HWND dialog)
{
    SettingsRecord* values = &s_dialog.record;
    g_globals.options = s_dialog.options;
    g_globals.settings.phraseHotKey = values->phraseHotKey;
    g_globals.settings.calcHotKey = values->calcHotKey;
    g_globals.settings.calcEnterNewline = values->calcEnterNewline;
    RegisterCallHotKey(g_globals.app.trayWindow, HOTKEY_ID_PHRASE, g_globals.settings.phraseHotKey);
    RegisterCallHotKey(g_globals.app.trayWindow, HOTKEY_ID_CALC, g_globals.settings.calcHotKey);
    EndDialog(dialog, 1);
    return TRUE;
}

static INT_PTR OnCancel(HWND dialog)
{
    EndDialog(dialog, 0);
    return TRUE;
}

// Each control's change is kept in the dialog's values at once.
static INT_PTR OnCommand(HWND dialog, int id)
{
    SettingsRecord* values = &s_dialog.record;
    switch (id) {
    case IDC_PHRASE_HOTKEY: values->phraseHotKey = GetHotKeyValue(dialog, id); return TRUE;
    case IDC_CALC_HOTKEY: values->calcHotKey = GetHotKeyValue(dialog, id); return TRUE;
    case IDC_CALC_ENTER: values->calcEnterNewline = IsChecked(dialog, id) ? 1 : 0; return TRUE;
    case IDC_RESTORE_CLIPBOARD: s_dialog.options.restoreClipboard = IsChecked(dialog, id) ? 1 : 0; return TRUE;
    case IDC_FILL_PHRASES: s_dialog.options.fillPhrases = IsChecked(dialog, id) ? 1 : 0; return TRUE;
    case IDC_PASTE_ADD: AddPasteRow(dialog); return TRUE;
    case IDC_PASTE_CHANGE: ChangePasteRow(dialog); return TRUE;
    case IDC_PASTE_REMOVE: RemovePasteRow(dialog); return TRUE;
    case IDOK: return OnOk(dialog);
    case IDCANCEL: return OnCancel(dialog);
    }
    return FALSE;
}

static INT_PTR OnNotify(HWND dialog, const NMHDR* header)
{
    if (header->idFrom == IDC_PASTE_LIST && header->code == LVN_ITEMCHANGED) {
        const NMLISTVIEW* change = (const NMLISTVIEW*)header;
        if ((change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED))
            OnPasteRowPicked(dialog);
    }
    return FALSE;
}

static INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_COMMAND: return OnCommand(dialog, LOWORD(wParam));
    case WM_NOTIFY: return OnNotify(dialog, (const NMHDR*)lParam);
    case WM_TIMER: OnPointerTimer(dialog); return TRUE;
    case WM_DESTROY: KillTimer(dialog, IDT_POINTER); return FALSE;
    }
    return FALSE;
}

void ShowSettingsDialog(HWND owner)
{
    s_dialog.record = g_globals.settings;
    s_dialog.options = g_globals.options;
    std::string rulesBefore = FormatPasteRules(g_globals.options.pasteRules);
    INT_PTR result = ShowModalDialog("IDD_SETUP", owner, SetupDialogProc, 0);
    g_globals.app.settingsDialog = nullptr;
    // -1: the dialog could not be shown, which is no confirmation either.
    if (result == 1) {
        SaveSettings();
        SaveOptions();
        // Rewritten only when changed: rows the reading skipped stay.
        if (FormatPasteRules(g_globals.options.pasteRules) != rulesBefore)
            SavePasteRules();
    }
}
