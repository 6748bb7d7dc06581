// The phrase window's menu bar. Under visual styles on NT 6 and later the
// system draws the bar's items in the theme's style, which does not match
// the flat window below it; there the four items are drawn here instead,
// flat in the button face colour with the menu font. Everywhere else the
// bar is the system's own.
//
// The phrase window is built in three layers: the frame (shell/win32), the
// interaction (ui/win32) and the views of the library (library/win32). This
// file is a piece of the frame.
#include "shell/win32/menu_bar.h"
#include "common/win32/window_messages.h"
#include "shell/win32/shell_state.h"

#include <windows.h>

#include <cstddef>

#include "shell/os_version.h"

const int MENU_TEXT_SIZE = 80;           // one item's text with its NUL
const int MENU_BAR_ITEMS = 4;            // the popups File, Edit, View, Help
const COLORREF MENU_TEXT_ACTIVE = RGB(48, 48, 48);
const COLORREF MENU_TEXT_INACTIVE = RGB(128, 128, 128);

// The non-client metrics as every system since NT 4 and 95 knows them: the
// record without the padded border width that NT 6 appended. A system
// before NT 6 refuses the longer size.
const UINT NONCLIENT_METRICS_SIZE = offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth);
static_assert(NONCLIENT_METRICS_SIZE == 340, "the first non-client metrics record");

typedef BOOL(WINAPI* IsAppThemedProc)();
typedef BOOL(WINAPI* SetMenuInfoProc)(HMENU, LPCMENUINFO);

// The menu bar of the phrase window; one per process.
struct MenuBarState {
    OSVERSIONINFOA version;  // a non-zero size marks it as filled
    int themeState;          // THEME_STATE_*; 0 until determined
    HMENU menu;              // the copy of MENU_APP on the phrase window
    HFONT font;              // theme state 3 only
    HBRUSH brush;            // the bar's background; theme state 3 only
};
static MenuBarState s_bar;

// Returns the system's version code (see OsVersionCodeOf) ANDed with mask.
// The system is asked once.
DWORD GetOsVersionCode(DWORD mask)
{
    if (s_bar.version.dwOSVersionInfoSize == 0) {
        s_bar.version.dwOSVersionInfoSize = sizeof s_bar.version;
        // On failure the record stays zero, which reads as the oldest
        // platform and so the plain menu bar.
        GetVersionExA(&s_bar.version);
    }
    return OsVersionCodeOf(s_bar.version.dwPlatformId, s_bar.version.dwMajorVersion, s_bar.version.dwMinorVersion) & mask;
}

// Returns the theme state, determined on the first call for the whole run.
int GetThemeState()
{
    if (s_bar.themeState != THEME_STATE_UNKNOWN)
        return s_bar.themeState;
    s_bar.themeState = THEME_STATE_PLAIN;
    // Stays loaded: the theme's drawing code lives there for the whole run.
    HMODULE uxtheme = LoadLibraryA("uxtheme.dll");
    if (!uxtheme)
        return s_bar.themeState;
    IsAppThemedProc isAppThemed = (IsAppThemedProc)(void*)GetProcAddress(uxtheme, "IsAppThemed");
    if (!isAppThemed)
        return s_bar.themeState;
    s_bar.themeState = ThemeStateOf(isAppThemed() != FALSE, GetOsVersionCode(OS_FAMILY_MASK));
    return s_bar.themeState;
}

// Applies the flat background to the bar when the system has SetMenuInfo
// (NT 5 and 98 on); otherwise the bar keeps the system's background.
static void SetMenuBarBackground(HMENU menu, HBRUSH brush)
{
    HMODULE user32 = LoadLibraryA("user32.dll");
    if (!user32)
        return;
    SetMenuInfoProc setMenuInfo = (SetMenuInfoProc)(void*)GetProcAddress(user32, "SetMenuInfo");
    if (setMenuInfo) {
        MENUINFO info = {};
        info.cbSize = sizeof info;
        info.fMask = MIM_STYLE | MIM_BACKGROUND | MIM_MAXHEIGHT;
        info.dwStyle = MNS_AUTODISMISS;
        info.cyMax = (UINT)GetSystemMetrics(SM_CYMENU);
        info.hbrBack = brush;
        setMenuInfo(menu, &info);
    }
    FreeLibrary(user32);
}

static HFONT CreateMenuFont()
{
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = NONCLIENT_METRICS_SIZE;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, NONCLIENT_METRICS_SIZE, &metrics, 0))
        return nullptr;
    return CreateFontIndirectA(&metrics.lfMenuFont);
}

void SetupMenuBar()
{
    s_bar.menu = LoadMenuA(g_globals.app.instance, "MENU_APP");
    if (!s_bar.menu)
        return;
    if (GetThemeState() == THEME_STATE_NT6) {
        s_bar.font = CreateMenuFont();
        for (int position = 0; position < MENU_BAR_ITEMS; position++) {
            MENUITEMINFOA item = {};
            item.cbSize = sizeof item;
            item.fMask = MIIM_TYPE;
            if (!GetMenuItemInfoA(s_bar.menu, position, TRUE, &item))
                continue;
            // Written back as the type alone: the item keeps its text, which
            // the measure and draw steps read.
            item.fMask = MIIM_FTYPE;
            item.fType |= MFT_OWNERDRAW;
            SetMenuItemInfoA(s_bar.menu, position, TRUE, &item);
        }
        s_bar.brush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
        SetMenuBarBackground(s_bar.menu, s_bar.brush);
    }
    // The window was created with the class menu, a copy of the same
    // resource; it is replaced and freed.
    HMENU classMenu = GetMenu(g_globals.app.phraseWindow);
    if (SetMenu(g_globals.app.phraseWindow, s_bar.menu) && classMenu && classMenu != s_bar.menu)
        DestroyMenu(classMenu);
}

void ReleaseMenuBar()
{
    // Normally already gone: a window destroys its menu with itself.
    if (s_bar.menu && IsMenu(s_bar.menu))
        DestroyMenu(s_bar.menu);
    s_bar.menu = nullptr;
    if (s_bar.themeState == THEME_STATE_NT6) {
        if (s_bar.brush)
            DeleteObject(s_bar.brush);
        if (s_bar.font)
            DeleteObject(s_bar.font);
    }
    s_bar.brush = nullptr;
    s_bar.font = nullptr;
}

// Reads an item's text by its command id; for a popup on the bar that is
// the id the menu gave it. Returns the length; text is "" when it fails.
static int MenuBarItemText(UINT id, char* text)
{
    text[0] = '\0';
    int length = GetMenuStringA(s_bar.menu, id, text, MENU_TEXT_SIZE, MF_BYCOMMAND);
    if (length < 0 || length >= MENU_TEXT_SIZE)
        length = 0;
    text[length] = '\0';
    return length;
}

void MeasureMenuBarItem(MEASUREITEMSTRUCT* item)
{
    if (!item || item->CtlType != ODT_MENU || s_bar.themeState != THEME_STATE_NT6)
        return;
    char text[MENU_TEXT_SIZE];
    int length = MenuBarItemText(item->itemID, text);
    HDC screen = GetDC(nullptr);
    if (!screen)
        return;
    HGDIOBJ oldFont = SelectObject(screen, s_bar.font);
    SIZE size = {};
    if (GetTextExtentPoint32A(screen, text, length, &size)) {
        item->itemWidth = (UINT)size.cx;
        item->itemHeight = (UINT)size.cy;
    }
    SelectObject(screen, oldFont);
    ReleaseDC(nullptr, screen);
}

void DrawMenuBarItem(const DRAWITEMSTRUCT* item)
{
    if (!item || item->CtlType != ODT_MENU || s_bar.themeState != THEME_STATE_NT6)
        return;
    COLORREF background, textColour;
    if (item->itemState & ODS_SELECTED) {
        background = GetSysColor(COLOR_HIGHLIGHT);
        textColour = MENU_TEXT_ACTIVE;
    } else {
        background = GetSysColor(COLOR_BTNFACE);
        textColour = GetForegroundWindow() == g_globals.app.phraseWindow ? MENU_TEXT_ACTIVE : MENU_TEXT_INACTIVE;
    }
    char text[MENU_TEXT_SIZE];
    MenuBarItemText(item->itemID, text);

    RECT rc = item->rcItem;
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(item->hDC, &rc, brush);
    DeleteObject(brush);
    SetBkMode(item->hDC, TRANSPARENT);
    SetTextColor(item->hDC, textColour);
    HGDIOBJ oldFont = SelectObject(item->hDC, s_bar.font);
    DrawTextA(item->hDC, text, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(item->hDC, oldFont);
}
