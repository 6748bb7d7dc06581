// The user's clipboard kept across a send: what it held is taken before the
// text goes on it, and put back as soon as the target's process has taken
// the text. Win32 only.
#pragma once

#include <windows.h>

// How long the text waits for the target to take it. After that it stays on
// the clipboard for the user to paste by hand, and nothing is put back.
const DWORD KEEPER_WAIT_MS = 3000;

// Takes what the clipboard holds (unless an earlier send still waits, whose
// content is the user's), then offers text by delayed rendering, marked so
// that clipboard history and viewers pass it over. The text counts as pasted
// when a window of target's process asks for it. Returns 0, or -1 when the
// clipboard could not be opened or memory ran out (the clipboard is then as
// it was).
int KeepClipboardAndOffer(const char* text, HWND target);

// Runs what a read of the text asked for (the content back, or the text
// offered again) once the reader has closed the clipboard. For the pause
// before the keys, where posted messages do not run.
void ServeClipboardKeeper();

// At exit: a text that still waits is rendered and left on the clipboard.
void ReleaseClipboardKeeper();
