// The find dialog: a search text with its history and the options of the
// search; on OK the phrase list shows the matches.
#include "ui/win32/find_dialog.h"

#include <cstring>

#include "common/sjis.h"
#include "library/win32/phrase_list.h"
#include "resources/resource.h"
#include "shell/settings_record.h"
#include "ui/win32/filter_box.h"
#include "ui/win32/find_history.h"
#include "ui/win32/phrase_window_host.h"

// Room for what the edit field may hold: its limit counts characters, and
// a two-byte character takes two bytes here.
const int FIND_TEXT_READ_SIZE = 2 * SEARCH_TEXT_SIZE + 2;

static void OnFindInit(HWND dialog)
{
    HWND combo = GetDlgItem(dialog, IDC_FIND_TEXT);
    SendMessageA(combo, CB_LIMITTEXT, SEARCH_TEXT_SIZE, 0);
    LoadHistory(combo, Host().settings->findHistory, FIND_HISTORY_SIZE);
    // Any mode but 0 searches with OR; the buttons show it so.
    CheckRadioButton(dialog, IDC_FIND_AND, IDC_FIND_OR, Host().settings->searchMode ? IDC_FIND_OR : IDC_FIND_AND);
    CheckDlgButton(dialog, IDC_FIND_ALL_TREES, Host().settings->searchAllTrees ? BST_CHECKED : BST_UNCHECKED);
}

static void OnFindOk(HWND dialog)
{
    HWND combo = GetDlgItem(dialog, IDC_FIND_TEXT);
    char text[FIND_TEXT_READ_SIZE];
    GetWindowTextA(combo, text, sizeof text);
    text[sizeof text - 1] = '\0';
    memset(Host().settings->searchText, 0, SEARCH_TEXT_SIZE);
    SjisCopy(Host().settings->searchText, SEARCH_TEXT_SIZE, text);
    // The stored history ends at its first empty text: an empty search
    // text stays out of it.
    if (Host().settings->searchText[0] != '\0')
        AddHistoryItem(combo, Host().settings->searchText, 0);
    StoreHistory(combo, Host().settings->findHistory, FIND_HISTORY_SIZE);
}

static INT_PTR OnInitDialog(HWND dialog)
{
    OnFindInit(dialog);
    return TRUE;
}

static INT_PTR OnOk(HWND dialog)
{
    OnFindOk(dialog);
    EndDialog(dialog, 1);
    return TRUE;
}

static INT_PTR OnCancel(HWND dialog)
{
    EndDialog(dialog, 0);
    return TRUE;
}

static INT_PTR OnAllTrees(HWND dialog)
{
    Host().settings->searchAllTrees = IsDlgButtonChecked(dialog, IDC_FIND_ALL_TREES) == BST_CHECKED ? 1 : 0;
    return TRUE;
}

static INT_PTR OnSearchMode(int mode)
{
    Host().settings->searchMode = mode;
    return TRUE;
}

static INT_PTR OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDOK: return OnOk(dialog);
    case IDCANCEL: return OnCancel(dialog);
    case IDC_FIND_ALL_TREES: return OnAllTrees(dialog);
    case IDC_FIND_AND: return OnSearchMode(0);
    case IDC_FIND_OR: return OnSearchMode(1);
    }
    return FALSE;
}

static INT_PTR CALLBACK FindDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_COMMAND: return OnCommand(dialog, LOWORD(wParam));
    }
    return FALSE;
}

void ShowFindDialog(HWND owner)
{
    SettingsRecord saved;
    memcpy(&saved, Host().settings, sizeof saved);
    INT_PTR result = ShowModalDialog("IDD_FIND", owner, FindDialogProc, 0);
    // -1: the dialog could not be shown, which is no confirmation either.
    if (result != 1) {
        memcpy(Host().settings, &saved, sizeof saved);
        return;
    }
    // Stores the list under the open label; not when it shows results, and
    // not without a label, where it would replace the root label's phrases.
    // A list the file could not take stays: the results would replace it.
    if (Host().calls.savePhrasesOfSelectedLabel() != 0) {
        Host().calls.saveSettings();
        return;
    }
    SearchLibrary(Host().phraseList, Host().settings->searchText, SEARCH_TEXT_SIZE, Host().settings->searchMode,
                  Host().settings->searchAllTrees);
    ClearFilterBox(Host().filterBox);
    Host().calls.saveSettings();
}
