// Notifications of the label tree and the phrase list.
//
// The phrase window is built in three layers: the frame (shell/win32), the
// interaction (ui/win32) and the views of the library (library/win32). This
// file is the interaction: what the tree and the list do on the user's keys
// and clicks.
#include "ui/win32/notifications.h"

#include "library/phrase_token.h"
#include "ui/win32/context_menu.h"
#include "ui/win32/filter_box.h"
#include "ui/win32/phrase_drag.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "common/win32/window_messages.h"
#include "library/win32/filter_results.h"
#include "library/win32/library_edits.h"
#include "library/win32/library_views.h"
#include "library/win32/list_draw.h"
#include "library/win32/list_rows.h"
#include "library/win32/phrase_list.h"
#include "output/win32/text_output.h"
#include "shell/settings_record.h"
#include "ui/win32/fill_input.h"
#include "ui/win32/phrase_window_host.h"

static const char RENAME_REFUSED[] = "ラベル名が不正または重複しています";

static void FinishRenaming(HWND window, HWND tree, const NMTVDISPINFOA* info)
{
    if (!info->item.pszText)
        return;
    // -2: not renamed, since another program had changed the file; the
    // status bar says so and the tree is read again.
    int result = RenameLabel(tree, &info->item);
    if (result == 0 || result == -2)
        return;
    ShowMessageBox(window, RENAME_REFUSED, MB_OK | MB_ICONWARNING);
    // The tree ignores a new edit started from inside this notification.
    PostMessageA(window, MSG_REOPEN_LABEL_EDIT, 0, (LPARAM)info->item.hItem);
}

// The item under the pointer becomes the selection (none: the selection is
// cleared), then the tree's menu runs for that label alone.
static void OnTreeRightClick(HWND window, HWND tree)
{
    TVHITTESTINFO hit = {};
    GetCursorPos(&hit.pt);
    ScreenToClient(tree, &hit.pt);
    HTREEITEM item = (HTREEITEM)SendMessageA(tree, TVM_HITTEST, 0, (LPARAM)&hit);
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)item);
    // A refused switch (the open label's edits wait for the file, as the
    // status bar says) leaves the tree on the open label: a menu would act
    // on a label the user did not click. None opens.
    if ((HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0) != item)
        return;
    unsigned loads = TreeLoads();
    int command = ShowTreeMenu(window);
    // The tree may have been read again or its selection changed while the
    // menu was open; its command would then meet another label.
    if (TreeLoads() != loads || (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0) != item)
        return;
    RunTreeCommand(tree, command);
}

LRESULT OnTreeNotify(HWND window, NMHDR* header)
{
    HWND tree = header->hwndFrom;
    switch (header->code) {
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW:
        OnLabelSelectionChanged(Host().labelTree, Host().phraseList);
        ClearFilterBox(Host().filterBox);
        SelectPhraseRow(Host().phraseList, 0);
        return 0;
    case TVN_KEYDOWN:
        switch (((NMTVKEYDOWN*)header)->wVKey) {
        case VK_TAB: SetFocus(Host().phraseList); break;
        case VK_ESCAPE: Host().calls.hidePhraseWindow(); break;
        case VK_F2: StartRenaming(tree); break;
        }
        return 0;
    case TVN_ENDLABELEDITA:
        FinishRenaming(window, tree, (NMTVDISPINFOA*)header);
        return 0;
    case NM_RCLICK:
        OnTreeRightClick(window, tree);
        return 0;
    }
    return 0;
}

void ReopenLabelEdit(HTREEITEM item)
{
    SendMessageA(Host().labelTree, TVM_EDITLABELA, 0, (LPARAM)item);
}

LRESULT OnListNotify(HWND window, NMHDR* header)
{
    switch (header->code) {
    case LVN_KEYDOWN:
        switch (((NMLVKEYDOWN*)header)->wVKey) {
        case VK_TAB: SetFocus(Host().labelTree); break;
        case VK_RETURN: SendSelectedPhrase(0); break;
        case VK_ESCAPE: Host().calls.hidePhraseWindow(); break;
        }
        return 0;
    case NM_DBLCLK:
        SendSelectedPhrase(1);
        return 0;
    case LVN_GETDISPINFOA:
    case LVN_GETDISPINFOW:
        GiveRowText(header);
        return 0;
    case LVN_ODFINDITEMA:
    case LVN_ODFINDITEMW:
        return FindTypedRow(header);
    case NM_CUSTOMDRAW:
        return DrawPhraseListRows((NMLVCUSTOMDRAW*)header);
    case LVN_ITEMCHANGED:
        if (FilterShowing() && (((NMLISTVIEW*)header)->uChanged & LVIF_STATE))
            TellFilterLabel(header->hwndFrom);
        return 0;
    case NM_RCLICK:
        RunListCommand(header->hwndFrom, ShowListMenu(window));
        return 0;
    case LVN_BEGINDRAG:
        BeginPhraseDrag(window, (NMLISTVIEW*)header);
        return 0;
    }
    return 0;
}

static bool RowUnderCursor(HWND list)
{
    LVHITTESTINFO hit = {};
    GetCursorPos(&hit.pt);
    ScreenToClient(list, &hit.pt);
    return SendMessageA(list, LVM_HITTEST, 0, (LPARAM)&hit) >= 0;
}

// The first selected phrase of the list on the clipboard, its placeholders
// filled in when the user has turned that on (the list keeps the phrase as
// written). -1: none selected; 1: nothing is to be sent (the values asked
// for were cancelled, or the filled text is too long).
static int OutputSelectedPhrase(HWND list, const SendTarget& target, long* caretBack)
{
    *caretBack = -1;
    int index = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    if (index < 0)
        return -1;
    char* text = (char*)calloc(PHRASE_BUFFER_SIZE, 1);
    if (!text)
        return 0;
    GetPhraseText(list, index, text, PHRASE_BUFFER_SIZE);
    FilledText filled;
    std::string user;
    const char* clipboard =
        Host().options->fillPhrases && HasPlaceholders(text, strlen(text)) && UsersClipboardText(list, &user)
            ? user.c_str()
            : nullptr;
    FillOutcome fill = FillForSend(GetParent(list), text, clipboard, &filled);
    int result = 0;
    if (fill == FILL_DONE) {
        *caretBack = filled.caretBack;
        PutTextOnClipboard(list, filled.bytes, target);
    } else if (fill == FILL_AS_IS) {
        PutTextOnClipboard(list, text, target);
    } else {
        result = 1;
    }
    free(filled.bytes);
    free(text);
    return result;
}

void SendSelectedPhrase(int doubleClick)
{
    HWND list = Host().phraseList;
    SendTarget target = Host().calls.sendTarget();
    if (!doubleClick || RowUnderCursor(list)) {
        long caretBack = -1;
        int output = OutputSelectedPhrase(list, target, &caretBack);
        if ((output == -1 && !doubleClick) || output == 1)
            return;
        if (target.window) {
            if (IsExcludedTarget(target.window) == -1)
                return;
            if (SendPasteKeys(target, 0) == 0 && caretBack > 0)
                SendCaretBack(caretBack);
        } else if (!doubleClick) {
            return;
        }
    }
    if (!Host().settings->hold)
        Host().calls.hidePhraseWindow();
}
