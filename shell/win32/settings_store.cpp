// The settings record in the registry, the hot keys, the hold option and
// the settings dialog.
#include <windows.h>
#include <cstring>

#include <commctrl.h>

#include "library/win32/phrase_views.h"
#include "resources/resource.h"
#include "shell/win32/app.h"
#include "shell/settings_record.h"

static const char SETTINGS_KEY[] = "Software\\Orbo\\Fenlop";
static const char SETTINGS_PARENT_KEY[] = "Software\\Orbo";
static const char SETTINGS_KEY_NAME[] = "Fenlop";
static const char SETTINGS_VALUE[] = "flpReg";

int ReadRegistryBinary(const char* keyPath, const char* valueName, void* buffer, DWORD size)
{
    HKEY key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, keyPath, &key) != ERROR_SUCCESS)
        return -1;
    DWORD stored = 0;
    int result = -1;
    if (RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, &stored) == ERROR_SUCCESS &&
        stored == size) {
        DWORD read = size;
        if (RegQueryValueExA(key, valueName, nullptr, nullptr, (BYTE*)buffer, &read) == ERROR_SUCCESS &&
            read == size)
            result = 0;
    }
    RegCloseKey(key);
    return result;
}

static int WriteValue(const char* keyPath, const char* valueName, const void* buffer, DWORD size)
{
    HKEY key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, keyPath, &key) != ERROR_SUCCESS)
        return -1;
    LONG status = RegSetValueExA(key, valueName, 0, REG_BINARY, (const BYTE*)buffer, size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 0 : -1;
}

int WriteRegistryBinary(const char* keyPath, const char* valueName, const void* buffer, DWORD size)
{
    if (WriteValue(keyPath, valueName, buffer, size) == 0)
        return 0;
    // A damaged key is recreated once; only the program's own key goes.
    HKEY parent;
    if (RegOpenKeyA(HKEY_CURRENT_USER, SETTINGS_PARENT_KEY, &parent) == ERROR_SUCCESS) {
        RegDeleteKeyA(parent, SETTINGS_KEY_NAME);
        RegCloseKey(parent);
    }
    return WriteValue(keyPath, valueName, buffer, size);
}

// A stored record may come from anywhere: its strings must end inside their
// fields, and a name path needs its final empty name.
static void TerminateStrings(SettingsRecord* record)
{
    record->searchText[SEARCH_TEXT_SIZE - 1] = '\0';
    record->selectedLabelPath[SELECTED_PATH_SIZE - 2] = '\0';
    record->selectedLabelPath[SELECTED_PATH_SIZE - 1] = '\0';
    record->findHistory[FIND_HISTORY_SIZE - 2] = '\0';
    record->findHistory[FIND_HISTORY_SIZE - 1] = '\0';
}

void LoadSettings()
{
    SettingsRecord stored;
    if (ReadRegistryBinary(SETTINGS_KEY, SETTINGS_VALUE, &stored, sizeof stored) == 0) {
        g_settings = stored;
        TerminateStrings(&g_settings);
    } else {
        SetDefaultSettings(&g_settings);
    }
}

int SaveSettings()
{
    g_settings.showingResults = g_views.showingResults ? 1 : 0;
    return WriteRegistryBinary(SETTINGS_KEY, SETTINGS_VALUE, &g_settings, sizeof g_settings);
}

void RegisterCallHotKey(HWND window, int id, int value)
{
    UnregisterHotKey(window, id);
    if (value == 0)
        return;
    int flags = (value >> 8) & 0xFF;
    UINT modifiers = 0;
    if (flags & HOTKEYF_ALT)
        modifiers |= MOD_ALT;
    if (flags & HOTKEYF_CONTROL)
        modifiers |= MOD_CONTROL;
    if (flags & HOTKEYF_SHIFT)
        modifiers |= MOD_SHIFT;
    RegisterHotKey(window, id, modifiers, value & 0xFF);
}

void SetHold(HWND window, int value)
{
    value = value ? 1 : 0;
    char title[TITLE_BUFFER_SIZE];
    strcpy(title, PRODUCT_NAME);
    if (value)
        strcat(title, " *");
    SetWindowTextA(window, title);
    CheckMenuItem(GetMenu(window), IDM_HOLD, MF_BYCOMMAND | (value ? MF_CHECKED : MF_UNCHECKED));
    g_settings.hold = value;
    SaveSettings();
}

static int GetHotKeyValue(HWND dialog, int id)
{
    return (int)(SendDlgItemMessageA(dialog, id, HKM_GETHOTKEY, 0, 0) & 0xFFFF);
}

// The dialog's values until OK: nothing else may see, use or save hot keys
// the user has not confirmed.
static SettingsRecord s_dialogValues;

static INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    SettingsRecord* values = &s_dialogValues;
    switch (msg) {
    case WM_INITDIALOG:
        g_app.settingsDialog = dialog;
        SendDlgItemMessageA(dialog, IDC_PHRASE_HOTKEY, HKM_SETHOTKEY, values->phraseHotKey & 0xFFFF, 0);
        SendDlgItemMessageA(dialog, IDC_CALC_HOTKEY, HKM_SETHOTKEY, values->calcHotKey & 0xFFFF, 0);
        CheckDlgButton(dialog, IDC_CALC_ENTER, values->calcEnterNewline ? BST_CHECKED : BST_UNCHECKED);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_PHRASE_HOTKEY:
            values->phraseHotKey = GetHotKeyValue(dialog, IDC_PHRASE_HOTKEY);
            return TRUE;
        case IDC_CALC_HOTKEY:
            values->calcHotKey = GetHotKeyValue(dialog, IDC_CALC_HOTKEY);
            return TRUE;
        case IDC_CALC_ENTER:
            values->calcEnterNewline = IsDlgButtonChecked(dialog, IDC_CALC_ENTER) == BST_CHECKED ? 1 : 0;
            return TRUE;
        case IDOK:
            g_settings.phraseHotKey = values->phraseHotKey;
            g_settings.calcHotKey = values->calcHotKey;
            g_settings.calcEnterNewline = values->calcEnterNewline;
            RegisterCallHotKey(g_app.trayWindow, HOTKEY_ID_PHRASE, g_settings.phraseHotKey);
            RegisterCallHotKey(g_app.trayWindow, HOTKEY_ID_CALC, g_settings.calcHotKey);
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

void ShowSettingsDialog(HWND owner)
{
    g_autoHideArmed = 0;
    s_dialogValues = g_settings;
    INT_PTR result = DialogBoxParamA(g_app.instance, "IDD_SETUP", owner, SetupDialogProc, 0);
    g_app.settingsDialog = nullptr;
    // -1: the dialog could not be shown, which is no confirmation either.
    if (result == 1)
        SaveSettings();
}
