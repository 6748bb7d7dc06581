// The shell's record: the windows of fenlop.exe that the shell makes, what
// the tool remembers between a call-up and its send, and the user's
// settings. The entry file defines it and only the shell's files read it;
// the interaction gets what it needs of it through `host`, the pad through
// the record the tray hands it when it opens.
#pragma once

#include <windows.h>

#include "shell/settings_record.h"
#include "ui/win32/phrase_window_host.h"

const int HOTKEY_ID_PHRASE = 2001;
const int HOTKEY_ID_CALC = 2002;
const UINT TRAY_ICON_ID = 107;

const int TITLE_BUFFER_SIZE = 80;      // the phrase window's title
const int STATUS_BUFFER_SIZE = 260;

extern const char TRAY_CLASS[];        // "FLPTray", also the instance marker
extern const char SPLITTER_CLASS[];    // "OrboSprit"

struct AppWindows {
    HINSTANCE instance;
    HWND phraseWindow;   // the main window, class "Fenlop"
    HWND trayWindow;     // invisible controller, class "FLPTray"
    HWND calcPad;        // null while the calculator pad is not shown
    HWND settingsDialog; // null while the settings dialog is not open
    HWND statusBar;      // children of the phrase window
    HWND labelTree;
    HWND splitter;
    HWND phraseList;
    HWND filterBox;      // above the list
};

struct Globals {
    AppWindows app;
    Session session;
    Options options;
    SettingsRecord settings;  // zero-filled at start, then read from the registry
    PhraseWindowHost host;    // the above as the interaction sees them
};
extern Globals g_globals;
