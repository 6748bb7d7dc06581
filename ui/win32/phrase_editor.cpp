// The phrase editor: a resizable modal dialog with one multi-line edit box
// and a line and column indicator under it.
#include "ui/win32/phrase_editor.h"

#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/sjis.h"
#include "common/win32/window_dpi.h"
#include "library/phrase_package.h"
#include "library/phrase_token.h"
#include "library/win32/phrase_list.h"
#include "output/win32/clipboard.h"
#include "resources/resource.h"
#include "ui/win32/anchors.h"
#include "ui/win32/phrase_window_host.h"

const UINT EDM_UPDATEPOS = 0x1005;
const int MIN_EDITOR_WIDTH = 350;
const int MIN_EDITOR_HEIGHT = 200;

// One editor at a time: the dialog is modal.
struct EditorState {
    HWND dialog;        // null while the editor is not open
    HWND edit;          // its edit box, subclassed
    WNDPROC editProc;   // the edit box's own procedure
    HWND list;          // the list the editor works for
    int index;          // the row edited; -1: a new phrase
    char* text;         // the text handed over by OK (heap; null: none)
    HICON smallIcon;    // the program's icon on the title bar and in the
    HICON bigIcon;      // task switcher, made for the dialog's scale
};
static EditorState s_editor;

// A character height of 12 pixels at 96 DPI, at the dialog's scale.
static HFONT CreateEditorFont(HWND dialog)
{
    LOGFONTA font = {};
    font.lfHeight = ScaleForWindow(dialog, -12);
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_STROKE_PRECIS;
    font.lfQuality = DRAFT_QUALITY;
    font.lfPitchAndFamily = FF_MODERN | VARIABLE_PITCH;
    strcpy(font.lfFaceName, "ＭＳ ゴシック");
    return CreateFontIndirectA(&font);
}

// At the start, and again when the dialog moves to a display of another
// scale; the font it replaces goes.
static void SetEditorFont(HWND dialog)
{
    HFONT font = CreateEditorFont(dialog);
    if (!font)
        return;
    HFONT old = (HFONT)SendMessageA(s_editor.edit, WM_GETFONT, 0, 0);
    bool ours = old && old != (HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0);
    SendMessageA(s_editor.edit, WM_SETFONT, (WPARAM)font, TRUE);
    if (ours)
        DeleteObject(old);
}

static void ReleaseEditorIcons()
{
    if (s_editor.smallIcon)
        DestroyIcon(s_editor.smallIcon);
    if (s_editor.bigIcon)
        DestroyIcon(s_editor.bigIcon);
    s_editor.smallIcon = s_editor.bigIcon = nullptr;
}

// The program's icon, as the phrase window has it, rather than the system's
// default one; the image of the dialog's size is taken, not one stretched.
static void SetEditorIcons(HWND dialog)
{
    int smallSize = ScaleForWindow(dialog, 16), bigSize = ScaleForWindow(dialog, 32);
    HICON smallIcon = (HICON)LoadImageA(Host().instance, "ICON_APP", IMAGE_ICON, smallSize, smallSize, 0);
    HICON bigIcon = (HICON)LoadImageA(Host().instance, "ICON_APP", IMAGE_ICON, bigSize, bigSize, 0);
    SendMessageA(dialog, WM_SETICON, ICON_SMALL, (LPARAM)smallIcon);
    SendMessageA(dialog, WM_SETICON, ICON_BIG, (LPARAM)bigIcon);
    ReleaseEditorIcons();
    s_editor.smallIcon = smallIcon;
    s_editor.bigIcon = bigIcon;
}

static void UpdatePosition(HWND edit)
{
    DWORD end = 0;
    SendMessageA(edit, EM_GETSEL, 0, (LPARAM)&end);
    int line = (int)SendMessageA(edit, EM_LINEFROMCHAR, end, 0);
    int lineStart = (int)SendMessageA(edit, EM_LINEINDEX, (WPARAM)-1, 0);
    char text[80];
    snprintf(text, sizeof text, "%3d：%3d", line + 1, (int)end - lineStart + 1);
    SetDlgItemTextA(GetParent(edit), IDC_EDIT_POS, text);
}

static void PostPositionUpdate(HWND edit)
{
    PostMessageA(edit, EDM_UPDATEPOS, 0, 0);
}

static void OnEditShowWindow(HWND edit, WPARAM shown)
{
    if (shown)
        PostPositionUpdate(edit);
}

// Ctrl+A selects the whole text; true: the key is taken.
static bool OnEditKeyDown(HWND edit, WPARAM key)
{
    if (key == 'A' && (GetKeyState(VK_CONTROL) & 0x8000)) {
        SendMessageA(edit, EM_SETSEL, 0, -1);
        PostPositionUpdate(edit);
        return true;
    }
    PostPositionUpdate(edit);
    return false;
}

static LRESULT CALLBACK EditorEditProc(HWND edit, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_SHOWWINDOW: OnEditShowWindow(edit, wParam); break;
    case WM_KEYDOWN: if (OnEditKeyDown(edit, wParam)) return 0; break;
    case WM_CHAR: PostPositionUpdate(edit); break;
    case WM_LBUTTONDOWN: PostPositionUpdate(edit); break;
    case EDM_UPDATEPOS: UpdatePosition(edit); break;
    }
    return CallWindowProcA(s_editor.editProc, edit, msg, wParam, lParam);
}

// The phrase at index, read from the list itself: used when the clipboard
// is not the way in, or did not bring the package the caller put there.
static void ShowRowText(HWND edit, int index)
{
    char* text = (char*)malloc(PHRASE_BUFFER_SIZE);
    if (!text)
        return;
    if (GetPhraseText(s_editor.list, index, text, PHRASE_BUFFER_SIZE) >= 0)
        SetWindowTextA(edit, text);
    free(text);
}

static bool StartsWithPackageMark(HWND edit)
{
    char first[2] = "";
    GetWindowTextA(edit, first, sizeof first);
    return first[0] == PHRASE_PACKAGE_MARK;
}

static void OnInitDialog(HWND dialog, int index)
{
    s_editor.dialog = dialog;
    InitAnchors(dialog);
    s_editor.edit = GetDlgItem(dialog, IDC_EDIT_TEXT);
    s_editor.editProc = (WNDPROC)SetWindowLongPtrA(s_editor.edit, GWLP_WNDPROC, (LONG_PTR)EditorEditProc);
    SendMessageA(s_editor.edit, EM_LIMITTEXT, 0, 0);
    SendMessageA(s_editor.edit, EM_SETMODIFY, FALSE, 0);
    SetEditorFont(dialog);
    SetEditorIcons(dialog);
    if (index < 0)
        return;
    // With the user's clipboard kept, the text comes from the list: the
    // clipboard stays theirs.
    if (Host().options->restoreClipboard) {
        ShowRowText(s_editor.edit, index);
        SendMessageA(s_editor.edit, EM_SETSEL, 0, 0);
        return;
    }
    // The package's mark comes first; the paste stops at the first NUL, so
    // the box then holds the package's first phrase.
    SendMessageA(s_editor.edit, WM_PASTE, 0, 0);
    if (StartsWithPackageMark(s_editor.edit)) {
        SendMessageA(s_editor.edit, EM_SETSEL, 0, 1);
        SendMessageA(s_editor.edit, WM_CUT, 0, 0);
    } else {
        ShowRowText(s_editor.edit, index);
    }
    SendMessageA(s_editor.edit, EM_SETSEL, 0, 0);
}

// What OK does with the box's text.
enum HandOver { HAND_OVER_DONE, HAND_OVER_EMPTY, HAND_OVER_TOO_LONG, HAND_OVER_FAILED };

// The box's text (heap; the caller frees it), or null when memory ran out.
static char* TakeBoxText()
{
    int bound = GetWindowTextLengthA(s_editor.edit);
    char* text = (char*)malloc(bound + 1);
    if (!text)
        return nullptr;
    GetWindowTextA(s_editor.edit, text, bound + 1);
    text[bound] = '\0';
    return text;
}

// Keeps the box's text for EditPhrase and, unless the user's clipboard is
// kept, puts it on the clipboard too.
static HandOver HandOverText()
{
    char* text = TakeBoxText();
    if (!text)
        return HAND_OVER_FAILED;
    size_t length = strlen(text);
    if (length == 0 || length > PHRASE_TEXT_LIMIT) {
        free(text);
        return length == 0 ? HAND_OVER_EMPTY : HAND_OVER_TOO_LONG;
    }
    free(s_editor.text);
    s_editor.text = text;
    if (!Host().options->restoreClipboard) {
        SendMessageA(s_editor.edit, EM_SETSEL, 0, -1);
        SendMessageA(s_editor.edit, WM_COPY, 0, 0);
    }
    return HAND_OVER_DONE;
}

static void OnOk(HWND dialog)
{
    switch (HandOverText()) {
    case HAND_OVER_DONE: EndDialog(dialog, 1); break;
    // An empty text adds no phrase and leaves an edited one as it was.
    case HAND_OVER_EMPTY: EndDialog(dialog, 0); break;
    // More than a phrase holds: the editor stays, so nothing is cut off.
    case HAND_OVER_TOO_LONG: MessageBeep(MB_ICONWARNING); break;
    case HAND_OVER_FAILED: break;
    }
}

// The placeholders the editor offers, inserted at the caret; while filling
// is off in the settings the menu says so first (they are then sent as
// they are written).
static const char* const PLACEHOLDERS[] = {
    "{日付}", "{日付:yyyy/mm/dd(aaa)}", "{日付+1:m月d日(aaa)}", "{時刻}", "{クリップボード}", "{入力:宛名}", "{カーソル}",
};
static const char FILLING_OFF[] = "差し込みは設定でオフです（そのまま送られます）";

static void OfferPlaceholders(HWND dialog)
{
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    if (!Host().options->fillPhrases) {
        AppendMenuA(menu, MF_STRING | MF_GRAYED, 0, FILLING_OFF);
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    }
    for (size_t i = 0; i < sizeof PLACEHOLDERS / sizeof *PLACEHOLDERS; i++)
        AppendMenuA(menu, MF_STRING, i + 1, PLACEHOLDERS[i]);
    RECT button;
    GetWindowRect(GetDlgItem(dialog, IDC_EDIT_PLACEHOLDER), &button);
    int chosen = (int)TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, button.left, button.bottom, 0,
                                     dialog, nullptr);
    DestroyMenu(menu);
    SetFocus(s_editor.edit);
    if (chosen > 0)
        SendMessageA(s_editor.edit, EM_REPLACESEL, TRUE, (LPARAM)PLACEHOLDERS[chosen - 1]);
    PostPositionUpdate(s_editor.edit);
}

static INT_PTR OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDC_EDIT_PLACEHOLDER: OfferPlaceholders(dialog); return TRUE;
    case IDC_EDIT_OK: OnOk(dialog); return TRUE;
    case IDC_EDIT_OK_KEY: OnOk(dialog); return TRUE;
    case IDC_EDIT_CANCEL: EndDialog(dialog, 0); return TRUE;
    }
    // Esc and the close box come here as IDCANCEL: the editor stays.
    return FALSE;
}

static void OnSize(HWND dialog)
{
    ApplyAnchor(dialog, IDC_EDIT_TEXT, ANCHOR_SIZE_X | ANCHOR_SIZE_Y);
    ApplyAnchor(dialog, IDC_EDIT_POS, ANCHOR_MOVE_Y);
    ApplyAnchor(dialog, IDC_EDIT_POS_FRAME, ANCHOR_MOVE_Y);
    ApplyAnchor(dialog, IDC_EDIT_PLACEHOLDER, ANCHOR_MOVE_Y);
    ApplyAnchor(dialog, IDC_EDIT_OK, ANCHOR_MOVE_X | ANCHOR_MOVE_Y);
    ApplyAnchor(dialog, IDC_EDIT_CANCEL, ANCHOR_MOVE_X | ANCHOR_MOVE_Y);
    ApplyAnchor(dialog, 0, 0);
}

// The dialog manager scales the rest.
static void OnDpiChanged(HWND dialog)
{
    SetEditorFont(dialog);
    SetEditorIcons(dialog);
}

static void OnGetMinMaxInfo(HWND dialog, MINMAXINFO* info)
{
    info->ptMinTrackSize.x = ScaleForWindow(dialog, MIN_EDITOR_WIDTH);
    info->ptMinTrackSize.y = ScaleForWindow(dialog, MIN_EDITOR_HEIGHT);
}

static void OnDestroy(HWND dialog)
{
    s_editor.dialog = nullptr;
    HFONT font = (HFONT)SendMessageA(s_editor.edit, WM_GETFONT, 0, 0);
    SendMessageA(s_editor.edit, WM_SETFONT, (WPARAM)GetStockObject(SYSTEM_FONT), FALSE);
    FreeAnchors(dialog);
    if (font)
        DeleteObject(font);
    // The dialog lets go of its icons before they go.
    SendMessageA(dialog, WM_SETICON, ICON_SMALL, 0);
    SendMessageA(dialog, WM_SETICON, ICON_BIG, 0);
    ReleaseEditorIcons();
}

static INT_PTR CALLBACK EditorDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: OnInitDialog(dialog, (int)lParam); return TRUE;
    case WM_COMMAND: return OnCommand(dialog, LOWORD(wParam));
    case WM_SIZE: OnSize(dialog); return FALSE;
    case WM_DPICHANGED: OnDpiChanged(dialog); return FALSE;
    case WM_GETMINMAXINFO: OnGetMinMaxInfo(dialog, (MINMAXINFO*)lParam); return TRUE;
    case WM_DESTROY: OnDestroy(dialog); return FALSE;
    }
    return FALSE;
}

int EditPhrase(HWND list, int index)
{
    s_editor.list = list;
    s_editor.index = index;
    free(s_editor.text);
    s_editor.text = nullptr;
    INT_PTR result = ShowModalDialog("IDD_EDIT", list, EditorDialogProc, (LPARAM)index);
    s_editor.edit = nullptr;
    if (result != 1 || !s_editor.text)
        return -1;
    // The text handed over is the one the box held, whatever another program
    // may have put on the clipboard since.
    int stored = SetPhrase(list, index, s_editor.text);
    free(s_editor.text);
    s_editor.text = nullptr;
    if (!Host().options->restoreClipboard && OpenClipboardFor(list)) {
        EmptyClipboard();
        CloseClipboard();
    }
    return stored;
}

// Where a text longer than a phrase holds is cut: before the last line break
// that leaves a piece of at most PHRASE_TEXT_LIMIT bytes (the break itself
// goes, as between two rows), or else at the last character boundary there.
// *next receives where the rest starts.
static size_t PieceLength(const char* text, size_t length, size_t* next)
{
    size_t fit = SjisFitLength(text, length, PHRASE_TEXT_LIMIT);
    *next = fit;
    if (fit == length)
        return fit;
    for (size_t p = fit; p-- > 1;) {
        if (text[p] == '\r' && p + 1 < length && text[p + 1] == '\n') {
            *next = p + 2;
            return p;
        }
    }
    return fit;
}

// The box's text into the list, as OK and EditPhrase would put it, except
// that a text too long for one phrase is kept as several rows in its place
// rather than refused: nobody is left to shorten it.
static int PutTextInList(char* text)
{
    size_t length = strlen(text);
    int row = s_editor.index;
    int result = 0;
    bool first = true;
    while (length > 0) {
        size_t next = 0;
        size_t piece = PieceLength(text, length, &next);
        char kept = text[piece];
        text[piece] = '\0';
        // A row another change took away is no reason to lose the text.
        int put = first ? SetPhrase(s_editor.list, row, text) : InsertPhrase(s_editor.list, row, text);
        if (put != 0 && row >= 0)
            put = InsertPhrase(s_editor.list, -1, text);
        if (put != 0)
            result = -1;
        text[piece] = kept;
        first = false;
        text += next;
        length -= next;
        if (row >= 0)
            row++;
    }
    return result;
}

HWND OpenPhraseEditor()
{
    return s_editor.dialog;
}

int CommitOpenEditor()
{
    HWND dialog = s_editor.dialog;
    if (!dialog || !s_editor.edit)
        return 0;
    char* text = TakeBoxText();
    if (!text)
        return -1;
    int result = 0;
    char* row = nullptr;
    bool unchanged = false;
    if (s_editor.index >= 0 && (row = (char*)malloc(PHRASE_BUFFER_SIZE)) != nullptr)
        unchanged = GetPhraseText(s_editor.list, s_editor.index, row, PHRASE_BUFFER_SIZE) >= 0 && strcmp(row, text) == 0;
    free(row);
    // An empty box adds nothing and leaves an edited phrase as it was, as OK.
    if (text[0] && !unchanged)
        result = PutTextInList(text);
    free(text);
    // Ended as a cancel: the text is in the list now, and EditPhrase must
    // not put it there a second time.
    EndDialog(dialog, 0);
    return result;
}
