// The settings record in the registry, the hot keys and the hold option.
#include "shell/win32/settings_store.h"
#include "common/win32/window_messages.h"
#include "shell/win32/shell_state.h"

#include <windows.h>
#include <cstring>
#include <string>
#include <vector>

#include <commctrl.h>

#include "library/win32/phrase_views.h"
#include "resources/resource.h"
#include "shell/settings_record.h"

static const char SETTINGS_KEY[] = "Software\\Orbo\\Fenlop";
static const char SETTINGS_PARENT_KEY[] = "Software\\Orbo";
static const char SETTINGS_KEY_NAME[] = "Fenlop";
static const char SETTINGS_VALUE[] = "flpReg";
static const char RESTORE_CLIPBOARD_VALUE[] = "RestoreClipboard";  // REG_DWORD 0 or 1
static const char FILL_PHRASES_VALUE[] = "FillPhrases";            // REG_DWORD 0 or 1
static const char PASTE_METHODS_VALUE[] = "PasteMethods";          // REG_MULTI_SZ, see FormatPasteRules

// A REG_DWORD option: 1 only when the value is there and is 1.
static int ReadOption(HKEY key, const char* name)
{
    DWORD value = 0, size = sizeof value, type = 0;
    return RegQueryValueExA(key, name, nullptr, &type, (BYTE*)&value, &size) == ERROR_SUCCESS &&
                   type == REG_DWORD && size == sizeof value && value == 1
               ? 1
               : 0;
}

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

// The paste methods' table; empty when the value is missing, of another
// type or larger than a table can be.
static std::vector<PasteRule> ReadPasteRules(HKEY key)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, PASTE_METHODS_VALUE, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ || size == 0 || size > PASTE_RULES_BYTES_MAX)
        return std::vector<PasteRule>();
    std::vector<char> bytes(size);
    if (RegQueryValueExA(key, PASTE_METHODS_VALUE, nullptr, &type, (BYTE*)bytes.data(), &size) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ)
        return std::vector<PasteRule>();
    return ParsePasteRules(bytes.data(), size < bytes.size() ? size : bytes.size());
}

static void LoadOptions()
{
    g_globals.options.restoreClipboard = 0;
    g_globals.options.fillPhrases = 0;
    g_globals.options.pasteRules.clear();
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    g_globals.options.restoreClipboard = ReadOption(key, RESTORE_CLIPBOARD_VALUE);
    g_globals.options.fillPhrases = ReadOption(key, FILL_PHRASES_VALUE);
    g_globals.options.pasteRules = ReadPasteRules(key);
    RegCloseKey(key);
}

void LoadSettings()
{
    SettingsRecord stored;
    if (ReadRegistryBinary(SETTINGS_KEY, SETTINGS_VALUE, &stored, sizeof stored) == 0) {
        g_globals.settings = stored;
        TerminateStrings(&g_globals.settings);
    } else {
        SetDefaultSettings(&g_globals.settings);
    }
    LoadOptions();
}

int SaveOptions()
{
    HKEY key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, SETTINGS_KEY, &key) != ERROR_SUCCESS)
        return -1;
    DWORD value = g_globals.options.restoreClipboard ? 1 : 0;
    LONG status = RegSetValueExA(key, RESTORE_CLIPBOARD_VALUE, 0, REG_DWORD, (const BYTE*)&value, sizeof value);
    value = g_globals.options.fillPhrases ? 1 : 0;
    if (status == ERROR_SUCCESS)
        status = RegSetValueExA(key, FILL_PHRASES_VALUE, 0, REG_DWORD, (const BYTE*)&value, sizeof value);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 0 : -1;
}

int SavePasteRules()
{
    HKEY key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, SETTINGS_KEY, &key) != ERROR_SUCCESS)
        return -1;
    LONG status;
    if (g_globals.options.pasteRules.empty()) {
        status = RegDeleteValueA(key, PASTE_METHODS_VALUE);
        if (status == ERROR_FILE_NOT_FOUND)
            status = ERROR_SUCCESS;
    } else {
        std::string list = FormatPasteRules(g_globals.options.pasteRules);
        status = RegSetValueExA(key, PASTE_METHODS_VALUE, 0, REG_MULTI_SZ, (const BYTE*)list.data(), (DWORD)list.size());
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 0 : -1;
}

int SaveSettings()
{
    g_globals.settings.showingResults = g_views.showingResults ? 1 : 0;
    return WriteRegistryBinary(SETTINGS_KEY, SETTINGS_VALUE, &g_globals.settings, sizeof g_globals.settings);
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
    g_globals.settings.hold = value;
    SaveSettings();
}
