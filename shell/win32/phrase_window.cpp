// The phrase window: its children, layout and splitter, auto-hide, the menu
// commands, help and the about box.
//
// The phrase window is built in three layers: the frame (shell/win32), the
// interaction (ui/win32) and the views of the library (library/win32). This
// file is the frame: it creates the children and routes their messages to the
// interaction.
#include "shell/win32/phrase_window.h"
#include "common/win32/window_messages.h"
#include "shell/win32/shell_state.h"

#include <windows.h>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <commctrl.h>
#include <imm.h>

#include "common/win32/window_dpi.h"
#include "common/win32/window_messages.h"
#include "library/phrase_token.h"
#include "library/win32/filter_results.h"
#include "library/win32/label_view.h"
#include "library/win32/library_views.h"
#include "library/win32/list_rows.h"
#include "library/win32/list_store.h"
#include "library/win32/outside_changes.h"
#include "library/win32/phrase_list.h"
#include "resources/resource.h"
#include "shell/display_scale.h"
#include "shell/win32/about_box.h"
#include "shell/win32/menu_bar.h"
#include "shell/win32/settings_store.h"
#include "shell/win32/tray_window.h"
#include "ui/win32/filter_box.h"
#include "ui/win32/find_dialog.h"
#include "ui/win32/notifications.h"
#include "ui/win32/phrase_drag.h"

#include <shellapi.h>
#include "shell/settings_record.h"

static const int SPLITTER_WIDTH = 3;  // at 96 DPI, as every length here
static const int TREE_IMAGE_SIZE = 16;
static const int FILTER_BOX_HEIGHT = 22;
static const char HELP_VIEWER_CLASS[] = "HH Parent";
static const char HELP_VIEWER_TITLE[] = "Fenlopヘルプ";
static const char HELP_FILE_NAME[] = "flp.chm";

// The phrase window's own record, beside the handles the shell's record
// keeps (g_globals.app): what its procedure remembers between messages.
struct PhraseWindowState {
    HIMAGELIST treeImages;  // the tree's icons, made for layoutDpi
    // The DPI the window's children are laid out for: the window's own, and
    // the one a move to another display announced.
    int layoutDpi = BASE_DPI;
    // The tree's and the list's font once the window has left the display
    // whose scale the system's fonts are made for; null before.
    HFONT viewFont;
    // The child that had the focus when the window lost the activation; it
    // gets the focus back with the activation (after a dialog, say).
    HWND focusChild;
    // Within ShowPhraseWindow: the frame is yet to be painted by the show
    // itself (its WM_NCPAINT), which draws it active; the activation's own
    // paint before it would only be drawn over.
    bool framePaintDue;
};
static PhraseWindowState s_window;

void HidePhraseWindow()
{
    ShowWindow(g_globals.app.phraseWindow, SW_HIDE);
}

// Edits of the open list that the file cannot take are not dropped at exit:
// the store is tried for a few seconds, then they go into a recovery file;
// only when that cannot be written either does the user decide.
static const char EXIT_UNSTORED[] =
    "変更したフレーズをファイルに保存できません。\r\n"
    "今終了すると、その変更は失われます。終了しますか？";

static bool MayExit()
{
    return StorePhrasesBeforeLeaving() == 0 ||
           ShowMessageBox(g_globals.app.phraseWindow, EXIT_UNSTORED,
                          MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

void ExitProgram()
{
    if (!MayExit())
        return;
    // The tray window is owned by the phrase window and goes first, while
    // the phrase list it writes back still exists.
    DestroyWindow(g_globals.app.phraseWindow);
    if (IsWindow(g_globals.app.trayWindow))
        DestroyWindow(g_globals.app.trayWindow);
}

void SetStatusText(const char* format, ...)
{
    char text[STATUS_BUFFER_SIZE];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    SendMessageA(g_globals.app.statusBar, SB_SETTEXTA, SBT_NOBORDERS, (LPARAM)text);
}

// What the library's views have to tell the user goes to the status bar.
static void TellInStatusBar(const char* text)
{
    SetStatusText("%s", text);
}

static int StatusHeight()
{
    RECT rc;
    GetClientRect(g_globals.app.statusBar, &rc);
    return rc.bottom - rc.top;
}

static int OuterWidth(HWND window)
{
    RECT rc;
    GetWindowRect(window, &rc);
    return rc.right - rc.left;
}

static int SplitterWidth()
{
    return ScaleToDpi(SPLITTER_WIDTH, s_window.layoutDpi);
}

static int FilterBoxHeight()
{
    return ScaleToDpi(FILTER_BOX_HEIGHT, s_window.layoutDpi);
}

// The filter box takes the top of the list's column.
static void PlaceChildren(int treeWidth, int width, int height)
{
    int splitter = SplitterWidth();
    int box = FilterBoxHeight();
    int x = treeWidth + splitter;
    MoveWindow(g_globals.app.labelTree, 0, 0, treeWidth, height, TRUE);
    MoveWindow(g_globals.app.splitter, treeWidth, 0, splitter, height, TRUE);
    MoveWindow(g_globals.app.filterBox, x, 0, width - x, box, TRUE);
    MoveWindow(g_globals.app.phraseList, x, box, width - x, height - box, TRUE);
}

void LayoutChildren(int width, int height)
{
    PlaceChildren(OuterWidth(g_globals.app.labelTree), width, height - StatusHeight());
}

static int ColumnWidth()
{
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH;
    return SendMessageA(g_globals.app.phraseList, LVM_GETCOLUMNA, 0, (LPARAM)&column) ? column.cx : -1;
}

// The record keeps the layout at 96 DPI (see LayoutAtDpi).
void StoreWindowLayout()
{
    RECT rc;
    GetWindowRect(g_globals.app.phraseWindow, &rc);
    WindowLayout layout = LayoutAtDpi(g_globals.settings, s_window.layoutDpi);
    layout.left = rc.left;
    layout.top = rc.top;
    layout.width = rc.right - rc.left;
    layout.height = rc.bottom - rc.top;
    layout.treeWidth = OuterWidth(g_globals.app.labelTree);
    int column = ColumnWidth();
    if (column >= 0)
        layout.columnWidth = column;
    StoreLayoutAtDpi(&g_globals.settings, layout, s_window.layoutDpi);
}

HWND CreatePhraseWindow(HINSTANCE instance)
{
    int dpi = ScreenDpi();
    WindowLayout layout = LayoutAtDpi(g_globals.settings, dpi);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, PRODUCT_NAME, PRODUCT_NAME, WS_OVERLAPPEDWINDOW, layout.left,
                                  layout.top, layout.width, layout.height, nullptr, nullptr, instance, nullptr);
    // Opened on a display of another scale than the main one.
    if (window && s_window.layoutDpi != dpi) {
        layout = LayoutAtDpi(g_globals.settings, s_window.layoutDpi);
        SetWindowPos(window, nullptr, layout.left, layout.top, layout.width, layout.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return window;
}

static HWND CreateChild(HWND parent, DWORD exStyle, const char* className, DWORD style, int id,
                        int x, int y, int width, int height)
{
    return CreateWindowExA(exStyle, className, "", WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                           parent, (HMENU)(INT_PTR)id, g_globals.app.instance, nullptr);
}

static void ReleaseTreeImages()
{
    SendMessageA(g_globals.app.labelTree, TVM_SETIMAGELIST, TVSIL_NORMAL, 0);
    if (s_window.treeImages)
        ImageList_Destroy(s_window.treeImages);
    s_window.treeImages = nullptr;
}

// The icons carry an image for each common scale; the one of the window's
// size is taken, not a 16-pixel one stretched.
static void CreateTreeImages()
{
    int size = ScaleToDpi(TREE_IMAGE_SIZE, s_window.layoutDpi);
    HIMAGELIST images = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, 2, 0);
    if (!images)
        return;
    const char* names[] = {"ICO_IMG1", "ICO_IMG2"};
    for (const char* name : names) {
        HICON icon = (HICON)LoadImageA(g_globals.app.instance, name, IMAGE_ICON, size, size, 0);
        ImageList_AddIcon(images, icon);
        if (icon)
            DestroyIcon(icon);
    }
    ReleaseTreeImages();
    s_window.treeImages = images;
    SendMessageA(g_globals.app.labelTree, TVM_SETIMAGELIST, TVSIL_NORMAL, (LPARAM)s_window.treeImages);
}

static void SetViewFont(int dpi)
{
    HFONT font = CreateViewFontForDpi(dpi);
    if (!font)
        return;
    SendMessageA(g_globals.app.labelTree, WM_SETFONT, (WPARAM)font, TRUE);
    SendMessageA(g_globals.app.phraseList, WM_SETFONT, (WPARAM)font, TRUE);
    SendMessageA(g_globals.app.filterBox, WM_SETFONT, (WPARAM)font, TRUE);
    if (s_window.viewFont)
        DeleteObject(s_window.viewFont);
    s_window.viewFont = font;
}

static void ReleaseViewFont()
{
    if (!s_window.viewFont)
        return;
    SendMessageA(g_globals.app.labelTree, WM_SETFONT, 0, FALSE);
    SendMessageA(g_globals.app.phraseList, WM_SETFONT, 0, FALSE);
    SendMessageA(g_globals.app.filterBox, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), FALSE);
    DeleteObject(s_window.viewFont);
    s_window.viewFont = nullptr;
}

static void OnCreate(HWND hwnd)
{
    g_globals.app.phraseWindow = hwnd;
    s_window.layoutDpi = WindowDpi(hwnd);
    WindowLayout layout = LayoutAtDpi(g_globals.settings, s_window.layoutDpi);
    RECT rc;
    GetClientRect(hwnd, &rc);
    g_globals.app.statusBar = CreateChild(hwnd, WS_EX_WINDOWEDGE, STATUSCLASSNAMEA, WS_CLIPSIBLINGS, IDC_STATUS, 0, 0, 0, 0);
    int height = rc.bottom - StatusHeight();
    int tree = layout.treeWidth;
    int splitter = SplitterWidth();
    g_globals.app.labelTree = CreateChild(hwnd, WS_EX_CLIENTEDGE, WC_TREEVIEWA,
                                  WS_CLIPSIBLINGS | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_EDITLABELS |
                                      TVS_SHOWSELALWAYS,
                                  IDC_TREE, 0, 0, tree, height);
    g_globals.app.splitter = CreateChild(hwnd, 0, SPLITTER_CLASS, 0, IDC_SPLITTER, tree, 0, splitter, height);
    int box = FilterBoxHeight();
    g_globals.app.phraseList = CreateChild(hwnd, WS_EX_CLIENTEDGE, WC_LISTVIEWA, WS_CLIPSIBLINGS | LVS_REPORT | LVS_OWNERDATA, IDC_LIST,
                                   tree + splitter, box, rc.right - tree - splitter, height - box);
    g_globals.app.filterBox = CreateChild(hwnd, WS_EX_CLIENTEDGE, "EDIT", WS_CLIPSIBLINGS | ES_AUTOHSCROLL, IDC_FILTER,
                                  tree + splitter, 0, rc.right - tree - splitter, box);
    g_globals.host.labelTree = g_globals.app.labelTree;
    g_globals.host.phraseList = g_globals.app.phraseList;
    g_globals.host.filterBox = g_globals.app.filterBox;
    StartFilterBox(g_globals.app.filterBox);

    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = layout.columnWidth;
    column.pszText = (char*)"定型文書";
    SendMessageA(g_globals.app.phraseList, LVM_INSERTCOLUMNA, 0, (LPARAM)&column);
    SetStatusText("");

    CreateTreeImages();
    SetUserWord(TellInStatusBar);
    // An edit control starts in the system's bold font; the list's is the
    // view's until the display's scale asks for another.
    SendMessageA(g_globals.app.filterBox, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), FALSE);
    if (s_window.layoutDpi != ScreenDpi())
        SetViewFont(s_window.layoutDpi);
    LoadLabelTree(g_globals.app.labelTree);
    SelectLabelByNamePath(g_globals.app.labelTree, nullptr, g_globals.settings.selectedLabelPath);
    // The filter box's first key then finds the library folded.
    FoldLibraryAhead(g_globals.app.phraseList);
}

static void OnDestroy()
{
    OpenLabelNamePath(g_globals.settings.selectedLabelPath, SELECTED_PATH_SIZE);
    StoreWindowLayout();
    ReleaseTreeImages();
    ReleaseViewFont();
}

// Moved to a display of another scale: the lengths of the layout follow it,
// and the window takes the rectangle the system suggests for it there.
static void OnDpiChanged(HWND hwnd, int dpi, const RECT* suggested)
{
    int from = s_window.layoutDpi;
    if (dpi <= 0 || dpi == from)
        return;
    s_window.layoutDpi = dpi;
    RECT tree;
    GetWindowRect(g_globals.app.labelTree, &tree);
    SetWindowPos(g_globals.app.labelTree, nullptr, 0, 0, ScaleBetween(tree.right - tree.left, from, dpi),
                 tree.bottom - tree.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    int column = ColumnWidth();
    if (column >= 0)
        SendMessageA(g_globals.app.phraseList, LVM_SETCOLUMNWIDTH, 0, ScaleBetween(column, from, dpi));
    CreateTreeImages();
    SetViewFont(dpi);
    SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    // The same size at another scale sends no WM_SIZE.
    RECT rc;
    GetClientRect(hwnd, &rc);
    LayoutChildren(rc.right, rc.bottom);
}


static void KeepFocusChild(HWND hwnd, WPARAM wParam)
{
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd, focus))
            s_window.focusChild = focus;
    } else if (!HIWORD(wParam)) {
        PostMessageA(hwnd, MSG_RESTORE_FOCUS, 0, 0);
    }
}

// Only while the window is still in front and no child has the focus yet:
// focusing a child of a window that has lost the activation meanwhile would
// take the activation back from the window the user went to.
static void RestoreFocusChild(HWND hwnd)
{
    HWND focus = GetFocus();
    if (GetForegroundWindow() != hwnd || (focus && IsChild(hwnd, focus)))
        return;
    bool kept = s_window.focusChild && IsWindow(s_window.focusChild) && IsChild(hwnd, s_window.focusChild);
    SetFocus(kept ? s_window.focusChild : g_globals.app.phraseList);
}

// The first show's cold work, done while the window is hidden: the list's
// layout (its first paint would do it, scroll bars drawn and all, while the
// user waits) and the thread's input method, which its first activation
// would load between WM_ACTIVATE and WM_IME_SETCONTEXT.
void PrepareFirstShow()
{
    LayOutListAhead(g_globals.app.phraseList);
    ImmGetProperty(GetKeyboardLayout(0), IGP_PROPERTY);
}

void ShowPhraseWindow()
{
    s_window.framePaintDue = true;
    ShowWindow(g_globals.app.phraseWindow, SW_SHOWNORMAL);
    s_window.framePaintDue = false;
}

// The frame (caption and menu bar) drawn once in a show: lParam -1 tells
// the system's handling to change the state without drawing it.
static LRESULT OnNcActivate(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    if (wParam && s_window.framePaintDue)
        lParam = -1;
    return DefWindowProcA(hwnd, WM_NCACTIVATE, wParam, lParam);
}

static LRESULT OnNcPaint(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    s_window.framePaintDue = false;
    return DefWindowProcA(hwnd, WM_NCPAINT, wParam, lParam);
}

static void OnActivate(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    KeepFocusChild(hwnd, wParam);
    if (g_globals.settings.hold)
        return;
    if (LOWORD(wParam) != WA_INACTIVE) {
        g_globals.session.autoHideArmed = 1;
    } else if (g_globals.session.autoHideArmed) {
        ShowWindow(hwnd, SW_HIDE);
        PostMessageA(hwnd, MSG_RESTORE_FOREGROUND, 0, lParam);
    }
}

// Every dialog and message box of the program: their activation must not
// hide the phrase window, so auto-hide is disarmed first.
static void OnInitMenuPopup(HMENU popup)
{
    bool selected = SendMessageA(g_globals.app.phraseList, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED) >= 0 &&
                    IsPhraseListEditable();
    UINT state = MF_BYCOMMAND | (selected ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(popup, IDM_MOVE_UP, state);
    EnableMenuItem(popup, IDM_MOVE_DOWN, state);
}

static void OnCommand(HWND hwnd, int id, int code)
{
    switch (id) {
    case IDC_FILTER: if (code == EN_CHANGE) OnFilterBoxChange(g_globals.app.filterBox); break;
    case IDM_FILTER: FocusFilterBox(g_globals.app.filterBox); break;
    case IDM_EXIT: ExitProgram(); break;
    case IDM_HOLD: SetHold(hwnd, !g_globals.settings.hold); break;
    case IDM_HELP: ShowHelp(); break;
    case IDM_ABOUT: ShowAboutDialog(hwnd); break;
    case IDM_FIND: ShowFindDialog(hwnd); break;
    case IDM_MOVE_UP: MoveSelectedPhrase(1); break;
    case IDM_MOVE_DOWN: MoveSelectedPhrase(0); break;
    }
}

static void OnSize(WPARAM wParam, LPARAM lParam)
{
    SendMessageA(g_globals.app.statusBar, WM_SIZE, wParam, lParam);
    LayoutChildren(LOWORD(lParam), HIWORD(lParam));
}

static void OnClose(HWND hwnd)
{
    StoreWindowLayout();
    SaveSettings();
    ShowWindow(hwnd, SW_HIDE);
}

// Minimising hides instead; false: the system's own handling.
static bool OnSysCommand(HWND hwnd, WPARAM command)
{
    if (command != SC_MINIMIZE)
        return false;
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    return true;
}

// The window's own timers by id (the views' timers on the tree and the list
// carry their own procedures: window_messages.h).
static void OnTimer(UINT_PTR id)
{
    if (id == IDT_DRAG)
        OnDragTimer();
}

static void OnKeyDown(HWND hwnd, WPARAM key)
{
    if (key == VK_ESCAPE)
        ShowWindow(hwnd, SW_HIDE);
}

static LRESULT OnNotify(HWND hwnd, NMHDR* header)
{
    if (header->idFrom == IDC_TREE)
        return OnTreeNotify(hwnd, header);
    if (header->idFrom == IDC_LIST)
        return OnListNotify(hwnd, header);
    return 0;
}

static void OnRestoreForeground(HWND window)
{
    if (IsWindow(window))
        SetForegroundWindow(window);
}

LRESULT CALLBACK PhraseWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: OnCreate(hwnd); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_SIZE: OnSize(wParam, lParam); return 0;
    case WM_ACTIVATE: OnActivate(hwnd, wParam, lParam); return 0;
    case WM_NCACTIVATE: return OnNcActivate(hwnd, wParam, lParam);
    case WM_NCPAINT: return OnNcPaint(hwnd, wParam, lParam);
    case WM_DPICHANGED: OnDpiChanged(hwnd, HIWORD(wParam), (const RECT*)lParam); return 0;
    case WM_CLOSE: OnClose(hwnd); return 0;
    case WM_SYSCOMMAND: if (OnSysCommand(hwnd, wParam)) return 0; break;
    case WM_KEYDOWN: OnKeyDown(hwnd, wParam); return 0;
    case WM_NOTIFY: return OnNotify(hwnd, (NMHDR*)lParam);
    case WM_TIMER: OnTimer(wParam); return 0;
    case WM_MOUSEMOVE: return OnDragMouseMove();
    case WM_LBUTTONUP: OnDragButtonUp(hwnd); return 0;
    case WM_RBUTTONDOWN: OnDragCancel(hwnd); return 0;
    case WM_MEASUREITEM: MeasureMenuBarItem((MEASUREITEMSTRUCT*)lParam); return TRUE;
    case WM_DRAWITEM: DrawMenuBarItem((const DRAWITEMSTRUCT*)lParam); return TRUE;
    case WM_INITMENUPOPUP: OnInitMenuPopup((HMENU)wParam); return 0;
    case WM_COMMAND: OnCommand(hwnd, LOWORD(wParam), HIWORD(wParam)); return 0;
    case MSG_RESTORE_FOCUS: RestoreFocusChild(hwnd); return 0;
    case MSG_LIBRARY_CHANGED: CheckLibraryFile(g_globals.app.labelTree, g_globals.app.phraseList); return 0;
    case MSG_REOPEN_LABEL_EDIT: ReopenLabelEdit((HTREEITEM)lParam); return 0;
    case MSG_RESTORE_FOREGROUND: OnRestoreForeground((HWND)lParam); return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

static void OnSplitterButtonDown(HWND hwnd)
{
    if (GetCapture() != hwnd)
        SetCapture(hwnd);
}

static void OnSplitterButtonUp(HWND hwnd)
{
    if (GetCapture() == hwnd)
        ReleaseCapture();
}

// The tree takes the width up to the cursor, kept inside the window.
static void OnSplitterMouseMove(WPARAM wParam)
{
    if (wParam != MK_LBUTTON)
        return;
    POINT pt;
    GetCursorPos(&pt);
    ScreenToClient(g_globals.app.phraseWindow, &pt);
    RECT rc;
    GetClientRect(g_globals.app.phraseWindow, &rc);
    int width = rc.right - rc.left;
    int tree = pt.x - 1;
    if (tree > width - SplitterWidth())
        tree = width - SplitterWidth();
    if (tree < 0)
        tree = 0;
    PlaceChildren(tree, width, rc.bottom - rc.top - StatusHeight());
}

LRESULT CALLBACK SplitterProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_LBUTTONDOWN: OnSplitterButtonDown(hwnd); return 0;
    case WM_LBUTTONUP: OnSplitterButtonUp(hwnd); return 0;
    case WM_MOUSEMOVE: OnSplitterMouseMove(wParam); return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void MoveSelectedPhrase(int up)
{
    HWND list = g_globals.app.phraseList;
    if (!IsPhraseListEditable())
        return;
    int i = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    if (up ? i <= 0 : (i < 0 || i + 1 >= count))
        return;
    char* text = (char*)calloc(PHRASE_BUFFER_SIZE, 1);
    if (!text)
        return;
    GetPhraseText(list, i, text, PHRASE_BUFFER_SIZE);
    DeletePhrase(list, i);
    int to = up ? i - 1 : i + 1;
    InsertPhrase(list, to, text);
    free(text);
    SelectPhraseRow(list, to);
    SendMessageA(list, LVM_ENSUREVISIBLE, to, FALSE);
    StorePhraseListSoon(list);
}

void ShowHelp()
{
    HWND viewer = FindWindowA(HELP_VIEWER_CLASS, HELP_VIEWER_TITLE);
    if (viewer) {
        SetForegroundWindow(viewer);
        ShowWindow(viewer, SW_SHOWNORMAL);
    } else {
        char path[PATH_BUFFER_SIZE];
        size_t folder = FolderLength(ViewedFiles()->phrase);
        // A folder too long for the name opens nothing.
        if (folder + sizeof HELP_FILE_NAME <= sizeof path) {
            memcpy(path, ViewedFiles()->phrase, folder);
            memcpy(path + folder, HELP_FILE_NAME, sizeof HELP_FILE_NAME);
            ShellExecuteA(nullptr, nullptr, path, nullptr, nullptr, SW_SHOW);
        }
    }
    if (IsWindowVisible(g_globals.app.phraseWindow))
        ShowWindow(g_globals.app.phraseWindow, SW_HIDE);
}
