// Every header of the library's views at once, for the files that do not
// include the headers of the calls they use yet: the tray window's and the
// settings store's, which are being changed elsewhere meanwhile, and the
// tests' fixture, which drives all the views. New code includes the header
// of the file it calls (library_views.h holds the record). Win32 only.
#pragma once

#include "common/win32/window_messages.h"
#include "library/win32/filter_results.h"
#include "library/win32/label_view.h"
#include "library/win32/library_edits.h"
#include "library/win32/library_views.h"
#include "library/win32/list_clipboard.h"
#include "library/win32/list_rows.h"
#include "library/win32/list_store.h"
#include "library/win32/outside_changes.h"
#include "library/win32/phrase_list.h"
