// The phrase list's rows as they are drawn (custom draw). Win32 only.
#pragma once

#include <windows.h>
#include <commctrl.h>

// NM_CUSTOMDRAW of a virtual phrase list: each row's text is drawn on its
// one line with every line break as one mark the font has (common/
// line_marks.h), where the list would draw a CR LF as two missing
// characters. The row's text itself, as the list gives it to anyone who
// asks (LVN_GETDISPINFO, LVM_GETITEMTEXT, another program's reader), stays
// the phrase as written. A list that is not virtual draws as it always has.
LRESULT DrawPhraseListRows(NMLVCUSTOMDRAW* draw);
