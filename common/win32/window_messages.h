// The private messages of fenlop.exe's windows, the ids of their timers and
// the program's name, in one place, as resource.h
// holds the resources' ids. A window's messages are a block of its own; a
// timer id is the window's to choose, but each one here is unique, so that a
// number leads to its use.
#pragma once

#include <windows.h>

extern const char PRODUCT_NAME[];  // "Fenlop": the phrase window's class, title and tip

// The tray window's (shell/win32/tray_window.cpp). Other processes send
// them too, and the tests by their numbers: the numbers stay as they are.
const UINT MSG_TRAY_NOTIFY = 2082;         // lParam: the mouse message
const UINT MSG_PASTE_CLIPBOARD = 2085;     // paste the clipboard into the target
const UINT MSG_CALL_UP = 2095;             // wParam: hot key id, lParam: target
const UINT MSG_FOCUS_LIST = 2096;          // the list focused once the call-up's
                                           // other messages are through

// The phrase window's (shell/win32/phrase_window.cpp dispatches each).
const UINT MSG_RESTORE_FOREGROUND = 2083;       // lParam: window to bring forward
const UINT MSG_REOPEN_LABEL_EDIT = WM_APP + 1;  // lParam: the tree item to edit again
                                                // (ui/win32/notifications.cpp posts it)
const UINT MSG_RESTORE_FOCUS = WM_APP + 2;      // the focus back to the child that had it
const UINT MSG_LIBRARY_CHANGED = WM_APP + 3;    // the phrase file changed while the views
                                                // could not be rebuilt: CheckLibraryFile
                                                // reads them again (library/win32 posts it)

// Timers. The ones set on the tree and the list carry the library's own
// callback (a TIMERPROC), so they run without the phrase window's procedure:
// the views work the same in a window of the tests' own.
const UINT_PTR IDT_DRAG = 7777;          // phrase window, WM_TIMER: OnDragTimer
                                         // (ui/win32/phrase_drag.cpp) scrolls and marks the drop
const UINT_PTR IDT_STORE_LIST = 7778;    // phrase list, TIMERPROC in library/win32/list_store.cpp:
                                         // the open list's delayed or retried store
const UINT_PTR IDT_READ_TREE = 7779;     // label tree, TIMERPROC in library/win32/label_view.cpp:
                                         // the tree read again while the file cannot be opened
const UINT_PTR IDT_FILTER_AGAIN = 7780;  // filter box, WM_TIMER of its subclass
                                         // (ui/win32/filter_box.cpp): the query given way to, run again
const UINT_PTR IDT_FOLD_AHEAD = 7785;    // phrase list, TIMERPROC in library/win32/filter_results.cpp:
                                         // the filter's copies of the library folded a slice at a time

// The clipboard keeper's window (output/win32/clipboard_keeper.cpp), WM_TIMER
// and its own message.
const UINT MSG_FOLLOW_UP = WM_APP + 16;  // a follow-up waits: run it
const UINT_PTR IDT_WAIT_OVER = 7781;     // the wait for the target's paste is over
const UINT_PTR IDT_RETRY = 7782;         // the clipboard, busy, tried again
const UINT_PTR IDT_DROP = 7783;          // a paste by hand no longer waited for

// The settings dialog (shell/win32/settings_dialog.cpp), WM_TIMER.
const UINT_PTR IDT_POINTER = 7784;       // the window under the pointer looked at again
