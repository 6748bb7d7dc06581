// The user's clipboard kept across a send: what it held is taken before the
// text goes on it, and put back as soon as the target's process has taken
// the text. Win32 only.
#pragma once

#include <windows.h>

// How long the text waits for the target to take it. After that it stays on
// the clipboard for the user to paste by hand, and nothing is put back.
const DWORD KEEPER_WAIT_MS = 3000;

// A format of the user's content larger than this (bytes) is not kept: its
// copy and its way back would hold the send up.
const SIZE_T KEEPER_FORMAT_LIMIT = 4 * 1024 * 1024;

// Takes what the clipboard holds (unless an earlier send still waits, whose
// content is the user's; a format that cannot be copied is lost alone), then
// offers text by delayed rendering, marked so that clipboard history and
// viewers pass it over. The text counts as pasted when a window of target's
// process asks for it after MarkPasteKeysSent. Returns 0, or -1 when the
// clipboard could not be opened or memory ran out (the clipboard is then as
// it was).
int KeepClipboardAndOffer(const char* text, HWND target);

// The paste keys go out now: only the target's reads from here on are the
// paste. Earlier ones (a target that syncs the clipboard when activated)
// got the text and had it offered again.
void MarkPasteKeysSent();

// How long the clipboard must have gone unread before the paste keys go
// out: a reader that holds it open while the keys arrive would have the
// target's paste find it taken.
const DWORD KEEPER_QUIET_MS = 15;

// Runs what a read of the text asked for (the content back, or the text
// offered again) once the reader has closed the clipboard. For the pause
// before the keys, where posted messages do not run. True when nothing is
// left to run and nobody has read the text for KEEPER_QUIET_MS.
bool ServeClipboardKeeper();

// At exit: a text that still waits is rendered and left on the clipboard.
void ReleaseClipboardKeeper();
