// The settings dialog: the two hot keys, the calculator's Enter option,
// whether the clipboard comes back after a send and whether placeholders
// are filled in at a send.
#include "shell/win32/settings_dialog.h"
#include "common/win32/globals.h"

#include <windows.h>
#include <commctrl.h>

#include "resources/resource.h"
#include "shell/settings_record.h"
#include "shell/win32/settings_store.h"

static int GetHotKeyValue(HWND dialog, int id)
{
    return (int)(SendDlgItemMessageA(dialog, id, HKM_GETHOTKEY, 0, 0) & 0xFFFF);
}

// The dialog's values until OK: nothing else may see, use or save hot keys
// the user has not confirmed.
static SettingsRecord s_dialogValues;
static Options s_dialogOptions;

static INT_PTR OnInitDialog(HWND dialog)
{
    SettingsRecord* values = &s_dialogValues;
    g_globals.app.settingsDialog = dialog;
    SendDlgItemMessageA(dialog, IDC_PHRASE_HOTKEY, HKM_SETHOTKEY, values->phraseHotKey & 0xFFFF, 0);
    SendDlgItemMessageA(dialog, IDC_CALC_HOTKEY, HKM_SETHOTKEY, values->calcHotKey & 0xFFFF, 0);
    CheckDlgButton(dialog, IDC_CALC_ENTER, values->calcEnterNewline ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_RESTORE_CLIPBOARD,
                   s_dialogOptions.restoreClipboard ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_FILL_PHRASES, s_dialogOptions.fillPhrases ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

static bool IsChecked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

static INT_PTR OnOk(HWND dialog)
{
    SettingsRecord* values = &s_dialogValues;
    g_globals.options = s_dialogOptions;
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
    SettingsRecord* values = &s_dialogValues;
    switch (id) {
    case IDC_PHRASE_HOTKEY: values->phraseHotKey = GetHotKeyValue(dialog, id); return TRUE;
    case IDC_CALC_HOTKEY: values->calcHotKey = GetHotKeyValue(dialog, id); return TRUE;
    case IDC_CALC_ENTER: values->calcEnterNewline = IsChecked(dialog, id) ? 1 : 0; return TRUE;
    case IDC_RESTORE_CLIPBOARD: s_dialogOptions.restoreClipboard = IsChecked(dialog, id) ? 1 : 0; return TRUE;
    case IDC_FILL_PHRASES: s_dialogOptions.fillPhrases = IsChecked(dialog, id) ? 1 : 0; return TRUE;
    case IDOK: return OnOk(dialog);
    case IDCANCEL: return OnCancel(dialog);
    }
    return FALSE;
}

static INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_COMMAND: return OnCommand(dialog, LOWORD(wParam));
    }
    return FALSE;
}

void ShowSettingsDialog(HWND owner)
{
    s_dialogValues = g_globals.settings;
    s_dialogOptions = g_globals.options;
    INT_PTR result = ShowModalDialog("IDD_SETUP", owner, SetupDialogProc, 0);
    g_globals.app.settingsDialog = nullptr;
    // -1: the dialog could not be shown, which is no confirmation either.
    if (result == 1) {
        SaveSettings();
        SaveOptions();
    }
}
