// Process-wide state of fenlop.exe, the messages its windows exchange, and
// the operations of the shell that other folders call.
#pragma once

#include <windows.h>

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
    HWND statusBar;      // children of the phrase window
    HWND labelTree;
    HWND splitter;
    HWND phraseList;
};
extern AppWindows g_app;

// What the tool remembers between a call-up and its send.
struct Session {
    HWND targetWindow;  // focus window when the tool was called up; null: none yet
    int autoHideArmed;  // 1: losing activation hides the phrase window; every
                        // action that moves the activation away clears it first
};
extern Session g_session;

// Options kept in the registry beside the settings record, each a value of
// its own, so that the record keeps its layout.
struct Options {
    int restoreClipboard;  // 1: the clipboard's content comes back after a send
};
extern Options g_options;

// tray_window.cpp
LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void SetTrayIcon(HWND window, int add);
void CaptureTargetWindow();
void TogglePhraseWindow();
void ToggleCalculatorPad();
int SavePhrasesOfSelectedLabel();  // 0, or -1 when the file did not take it
int StorePhrasesBeforeLeaving();   // the same, tried again for a few seconds,
                                   // then kept in a recovery file

// phrase_window.cpp
LRESULT CALLBACK PhraseWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK SplitterProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The phrase window, hidden, at the stored layout scaled to its display.
HWND CreatePhraseWindow(HINSTANCE instance);
void LayoutChildren(int width, int height);
void StoreWindowLayout();
void MoveSelectedPhrase(int up);
void ShowHelp();
void SetStatusText(const char* format, ...);
void HidePhraseWindow();
void ExitProgram();
INT_PTR ShowModalDialog(const char* name, HWND owner, DLGPROC proc, LPARAM param);
int ShowMessageBox(HWND owner, const char* text, UINT type);

// about_box.cpp
void ShowAboutDialog(HWND owner);

// menu_bar.cpp: the phrase window's menu bar, owner-drawn under visual
// styles on NT 6 and later.
void SetupMenuBar();
void ReleaseMenuBar();
void DrawMenuBarItem(const DRAWITEMSTRUCT* item);
void MeasureMenuBarItem(MEASUREITEMSTRUCT* item);

// settings_store.cpp
int ReadRegistryBinary(const char* keyPath, const char* valueName, void* buffer, DWORD size);
int WriteRegistryBinary(const char* keyPath, const char* valueName, const void* buffer, DWORD size);
void LoadSettings();
int SaveSettings();
int SaveOptions();
void RegisterCallHotKey(HWND window, int id, int value);
void SetHold(HWND window, int value);

// settings_dialog.cpp
void ShowSettingsDialog(HWND owner);
