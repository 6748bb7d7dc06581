// The user's clipboard kept across a send: what it held is taken before the
// text goes on it, and put back as soon as the target's process has taken
// the text. Win32 only.
#pragma once

#include <windows.h>

#include <string>

// How long the text waits for the target to take it after the keys. When
// nobody of the target reads by then, the text stays on the clipboard for
// a paste by hand, and the content is kept for KEEPER_HOLD_MS more.
const DWORD KEEPER_WAIT_MS = 3000;
const DWORD KEEPER_HOLD_MS = 60000;

// Takes what the clipboard holds (unless an earlier send still keeps the
// user's content; a format that cannot be copied is lost alone), then offers
// text as CF_TEXT and CF_UNICODETEXT by delayed rendering, with CF_LOCALE,
// marked so that clipboard history and viewers pass it over. The text counts
// as pasted when a window of target's process asks for it after
// MarkPasteKeysSent. An earlier send whose keys are out and whose text is
// not yet read is waited for a moment first, so that its paste gets its own
// text. Returns 0, or -1 when the clipboard could not be opened or memory
// ran out (the clipboard is then as it was).
int KeepClipboardAndOffer(const char* text, HWND target);

// The paste keys are about to go out: only the target's reads from here on
// are the paste. Earlier ones (a target that syncs the clipboard when
// activated) got the text and have it offered again first. True when the
// clipboard then offers the text of the last KeepClipboardAndOffer (nobody
// has copied since, and its offer stands); false, and nothing marked, when
// it does not: the keys would paste something else.
bool MarkPasteKeysSent();

// How long the clipboard must have gone unread, and unoffered, before the
// paste keys go out: a reader that holds it open while the keys arrive would
// have the target's paste find it taken, and an offer made again tells every
// listener, which may read at once. KEEPER_SETTLE_MS bounds the wait for it.
const DWORD KEEPER_QUIET_MS = 15;
const DWORD KEEPER_SETTLE_MS = 150;

// A pause of at least atLeast ms in which reads of the text are answered and
// what they ask for (the content back, or the text offered again) runs once
// the reader has closed the clipboard; it goes on until nobody has read or
// been offered the text for KEEPER_QUIET_MS, at most atMost ms in all.
// Messages sent from other threads are answered; nothing posted runs.
void PauseServingClipboard(DWORD atLeast, DWORD atMost);

// The program is called up again: content kept past an unseen paste comes
// back (the clipboard then holds it instead of the text).
void ReturnKeptContent();

// The text of the user's content that an earlier send still keeps (it is
// not on the clipboard meanwhile), into text (empty when that content holds
// none). False when no content is kept: the clipboard holds the user's own.
bool KeptUsersText(std::string* text);

// At exit: kept content comes back; otherwise a text still promised is
// rendered and left on the clipboard.
void ReleaseClipboardKeeper();
