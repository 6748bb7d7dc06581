// The private messages of fenlop.exe's windows and the ids of their timers,
// in one place, as resource.h holds the resources' ids. A window's messages
// are WM_APP and up, a block a window; a timer id is the window's to choose,
// but each one here is unique, so that a number leads to its use.
//
// The tray window's messages, which other processes send too, stay in
// globals.h with the tray's record (MSG_RESTORE_FOREGROUND, which the phrase
// window posts to itself, stands there with them for now).
#pragma once

#include <windows.h>

// The phrase window's (shell/win32/phrase_window.cpp dispatches each).
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
const UINT_PTR IDT_FOLD_AHEAD = 7781;    // phrase list, TIMERPROC in library/win32/filter_results.cpp:
                                         // the filter's copies of the library folded a slice at a time
