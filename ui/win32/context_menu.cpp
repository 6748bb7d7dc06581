// The one routine that shows the program's popup menus, and the commands of
// the label tree's and the phrase list's menus.
//
// The phrase window is built in three layers: the frame (shell/win32), the
// interaction (ui/win32) and the views of the library (library/win32). This
// file is the interaction: the popup menus and their commands.
#include "ui/win32/context_menu.h"

#include <windows.h>

#include "library/win32/library_edits.h"
#include "library/win32/library_views.h"
#include "library/win32/list_clipboard.h"
#include "library/win32/list_store.h"
#include "library/win32/phrase_list.h"
#include "resources/resource.h"
#include "ui/win32/phrase_editor.h"
#include "ui/win32/phrase_window_host.h"

static void GrayByPosition(HMENU popup, int position)
{
    EnableMenuItem(popup, position, MF_BYPOSITION | MF_GRAYED);
}

static bool LabelSelected()
{
    return SendMessageA(Host().labelTree, TVM_GETNEXTITEM, TVGN_CARET, 0) != 0;
}

static bool PhraseSelected()
{
    return SendMessageA(Host().phraseList, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED) >= 0;
}

static void AdjustTreeMenu(HMENU popup)
{
    if (LabelSelected()) {
        AppendMenuA(popup, MF_STRING, IDM_RENAME_OR_EDIT, "名前の変更(&M)");
    } else {
        static const int positions[] = {0, 1, 2, 3, 5};
        for (int position : positions)
            GrayByPosition(popup, position);
    }
    if (!FileExists(ViewedFiles()->clip))
        GrayByPosition(popup, 3);
    if (!SendMessageA(Host().labelTree, TVM_GETNEXTITEM, TVGN_ROOT, 0)) {
        // A tree that could not be read while edits wait for the file is no
        // library to replace: those edits would have nowhere to go.
        DeleteMenu(popup, 5, MF_BYPOSITION);
        AppendMenuA(popup, MF_STRING | (ListEditsWait() ? MF_GRAYED : 0), IDM_CREATE_LIBRARY, "新規作成(&N)");
    }
}

static void AdjustListMenu(HMENU popup)
{
    if (!PhraseSelected()) {
        for (int position = 0; position <= 2; position++)
            GrayByPosition(popup, position);
    } else {
        DeleteMenu(popup, 5, MF_BYPOSITION);
        AppendMenuA(popup, MF_STRING, IDM_RENAME_OR_EDIT, "編集(&E)...");
    }
    if (!LabelSelected()) {
        GrayByPosition(popup, 5);
        EnableMenuItem(popup, IDM_PASTE, MF_BYCOMMAND | MF_GRAYED);
    } else if (!IsClipboardFormatAvailable(CF_TEXT)) {
        EnableMenuItem(popup, IDM_PASTE, MF_BYCOMMAND | MF_GRAYED);
    }
    // Search results and a list read in part belong to no label: what is
    // added to them or changed in them would be lost, and what is cut from
    // them would stay where it is. Copying still works.
    if (!IsPhraseListEditable()) {
        static const int positions[] = {0, 1, 3, 5};
        for (int position : positions)
            GrayByPosition(popup, position);
    }
}

int ShowContextMenu(HWND owner, const char* menuName, void (*adjust)(HMENU popup))
{
    HMENU menu = LoadMenuA(Host().instance, menuName);
    if (!menu)
        return 0;
    HMENU popup = GetSubMenu(menu, 0);
    int command = 0;
    if (popup) {
        if (adjust)
            adjust(popup);
        POINT pt;
        GetCursorPos(&pt);
        SetForegroundWindow(owner);
        command = (int)TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, pt.x, pt.y, 0, owner, nullptr);
        // Lets the menu close when the user clicks elsewhere.
        PostMessageA(owner, WM_NULL, 0, 0);
    }
    DestroyMenu(menu);
    return command;
}

int ShowTreeMenu(HWND owner)
{
    return ShowContextMenu(owner, "POPUP_TREE", AdjustTreeMenu);
}

int ShowListMenu(HWND owner)
{
    return ShowContextMenu(owner, "POPUP_LIST", AdjustListMenu);
}

void StartRenaming(HWND tree)
{
    HTREEITEM item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    if (item)
        SendMessageA(tree, TVM_EDITLABELA, 0, (LPARAM)item);
}

void RunTreeCommand(HWND tree, int command)
{
    switch (command) {
    case IDM_DELETE:
    case IDM_CUT: CutOrCopyLabel(tree, 1); break;
    case IDM_COPY: CutOrCopyLabel(tree, 0); break;
    case IDM_PASTE_ABOVE: PasteLabel(tree, 0); break;
    case IDM_PASTE_INTO: PasteChildLabel(tree); break;
    case IDM_PASTE_BELOW: PasteLabel(tree, 1); break;
    case IDM_NEW_ABOVE: NewLabel(tree, 0); break;
    case IDM_NEW_INTO: NewChildLabel(tree); break;
    case IDM_NEW_BELOW: NewLabel(tree, 1); break;
    case IDM_CREATE_LIBRARY:
        // A tree that could not be read again after an edit keeps the open
        // label's path, so that its list may still be stored. The list gets
        // that chance first, and a list the file does not take is kept: the
        // new library has no label for it.
        if (Host().calls.savePhrasesOfSelectedLabel() != 0)
            break;
        CloseOpenLabel(Host().phraseList);
        CreateLibrary(tree);
        break;
    case IDM_RENAME_OR_EDIT: StartRenaming(tree); break;
    }
}

// Every edit of the list reaches the phrase file at once.
void RunListCommand(HWND list, int command)
{
    if (command != IDM_COPY && command != 0 && !IsPhraseListEditable())
        return;
    switch (command) {
    case IDM_DELETE:
    case IDM_CUT:
        if (CopyPhrasesToClipboard(list, 1) == 0)
            StorePhraseListNow(list);
        break;
    case IDM_COPY: CopyPhrasesToClipboard(list, 0); break;
    case IDM_PASTE:
        // A paste stopped half way keeps the phrases it inserted.
        PastePhrasesFromClipboard(list);
        StorePhraseListNow(list);
        break;
    case IDM_NEW_PHRASE:
        if (EditPhrase(list, -1) == 0)
            StorePhraseListNow(list);
        break;
    case IDM_RENAME_OR_EDIT: {
        int first = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
        if (first < 0)
            break;
        // The editor opens on the first phrase of the package (with the
        // user's clipboard kept, on the row itself).
        if (!Host().options->restoreClipboard)
            CopyPhrasesToClipboard(list, 0);
        if (EditPhrase(list, first) == 0)
            StorePhraseListNow(list);
        break;
    }
    }
}
