// The process-wide state of fenlop.exe in one record, the private messages
// its windows exchange and the names they share. Every Win32 layer above the
// output may read it; the entry file defines it. The phrase views keep their
// own record (g_views, library/win32/phrase_views.h): its types belong to
// that layer, and its tests drive it without the rest of the program.
#pragma once

#include <windows.h>

#include <vector>

#include "output/paste_methods.h"
#include "shell/settings_record.h"

// Private messages. The tray window's may come from other processes.
const UINT MSG_TRAY_NOTIFY = 2082;         // lParam: the mouse message
const UINT MSG_RESTORE_FOREGROUND = 2083;  // lParam: window to bring forward
const UINT MSG_PASTE_CLIPBOARD = 2085;     // paste the clipboard into the target
const UINT MSG_CALL_UP = 2095;             // wParam: hot key id, lParam: target
const UINT MSG_FOCUS_LIST = 2096;

const int HOTKEY_ID_PHRASE = 2001;
const int HOTKEY_ID_CALC = 2002;
const UINT TRAY_ICON_ID = 107;

const int TITLE_BUFFER_SIZE = 80;      // the phrase window's title
const int STATUS_BUFFER_SIZE = 260;

extern const char PRODUCT_NAME[];      // "Fenlop": class, title and tip
extern const char TRAY_CLASS[];        // "FLPTray", also the instance marker
extern const char SPLITTER_CLASS[];    // "OrboSprit"

struct AppWindows {
    HINSTANCE instance;
    HWND phraseWindow;   // the main window, class "Fenlop"
    HWND trayWindow;     // invisible controller, class "FLPTray"
    HWND calcPad;        // null while no calculator pad exists
    HWND settingsDialog; // null while the settings dialog is not open
    HWND phraseEditor;   // null while the phrase editor is not open
    HWND inputDialog;    // null while no values are asked for a send
    HWND statusBar;      // children of the phrase window
    HWND labelTree;
    HWND splitter;
    HWND phraseList;
    HWND filterBox;      // above the list
};

// What the tool remembers between a call-up and its send.
struct Session {
    HWND targetWindow;  // focus window when the tool was called up; null: none yet
    int autoHideArmed;  // 1: losing activation hides the phrase window; every
                        // action that moves the activation away clears it first
};

// Options kept in the registry beside the settings record, each a value of
// its own, so that the record keeps its layout.
struct Options {
    int restoreClipboard;  // 1: the clipboard's content comes back after a send
    int fillPhrases;       // 1: placeholders in a phrase are filled in at a send
    std::vector<PasteRule> pasteRules;  // the paste method of a kind of window
};

// What the shell does for the layers below it. The entry file fills these in
// before the first window exists; a lower layer calls them instead of
// reaching up into the shell's files.
struct ShellCalls {
    int (*savePhrasesOfSelectedLabel)();  // 0, or -1 when the file did not take it
    int (*saveSettings)();
    void (*hidePhraseWindow)();
    void (*tellPasteWithheld)(int why);  // a balloon from the icon; why: a PasteWithheld
};

struct Globals {
    AppWindows app;
    Session session;
    Options options;
    SettingsRecord settings;  // zero-filled at start, then read from the registry
    ShellCalls shell;
};
extern Globals g_globals;

// Modal boxes owned by the tool: the auto-hide is cleared first, as the box
// takes the activation.
INT_PTR ShowModalDialog(const char* name, HWND owner, DLGPROC proc, LPARAM param);
int ShowMessageBox(HWND owner, const char* text, UINT type);
