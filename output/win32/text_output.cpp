#include "output/win32/text_output.h"

#include <cstdio>
#include <cstring>

#include <commctrl.h>

#include "output/win32/clipboard.h"
#include "output/win32/clipboard_keeper.h"

static const int EXCLUDED_ENDING_SIZE = 7;  // six title bytes and a NUL
static const int EXCLUDED_COUNT = 2;
static const unsigned char EXCLUSION_OFFSET = 0x3B;
static const int TITLE_SIZE = 256;
static const int TRACE_SIZE = 300;          // the longest line is 286 bytes
static const DWORD TARGET_READY_MS = 100;
static const int MAX_ANCESTORS = 1024;

// Title endings of windows that must not get a paste: read-only viewers
// whose title ends in "(表示)" or "[表示]". Kept scrambled (each byte plus the
// offset), restored in place once.
static unsigned char s_excluded[EXCLUDED_COUNT][EXCLUDED_ENDING_SIZE] = {
    {0x63, 0xd0, 0x97, 0xc9, 0xe1, 0x64, 0x3b},
    {0x96, 0xd0, 0x97, 0xc9, 0xe1, 0x98, 0x3b},
};
static bool s_excludedRestored;

// The send under way, from its text's placing to its keys: the keys go out
// only while the clipboard still offers that text, or they would paste
// whatever another program copied meanwhile (or the user's own content).
struct SendRecord {
    bool open;       // a text was put on the clipboard and its keys are yet to go
    bool placed;     // it was placed
    bool kept;       // it is offered by the keeper of the user's content
    HWND owner;      // otherwise: the clipboard owner of the placing
    DWORD sequence;  // and the clipboard's sequence number right after it
};
static SendRecord s_send;

int PutTextOnClipboard(HWND owner, const char* text, const SendTarget& target)
{
    s_send = SendRecord{true, false, false, owner, 0};
    // With a target to paste into, the user's clipboard can be kept.
    if (target.keepClipboard && target.window) {
        s_send.kept = true;
        s_send.placed = KeepClipboardAndOffer(text, target.window) == 0;
    } else {
        s_send.placed = PlaceClipboardTextFormats(owner, text) == 0;
        s_send.sequence = GetClipboardSequenceNumber();
    }
    return s_send.placed ? 0 : -1;
}

// Whether the clipboard offers the text of a send placed without the
// keeper right now.
static bool PlacedTextOffered(const SendRecord& send)
{
    if (!send.placed)
        return false;
    // Opened, so that a copy under way (emptied, not yet closed) is not
    // taken for ours; a reader holding it a moment is waited for.
    if (!OpenClipboardFor(send.owner))
        return false;
    bool ours = GetClipboardOwner() == send.owner && GetClipboardSequenceNumber() == send.sequence;
    CloseClipboard();
    return ours;
}

HWND GetTopLevelAncestor(HWND window)
{
    for (int i = 0; i < MAX_ANCESTORS; i++) {
        HWND parent = GetParent(window);
        if (!parent)
            break;
        window = parent;
    }
    return window;
}

int IsExcludedTarget(HWND window)
{
    char title[TITLE_SIZE] = "";
    GetWindowTextA(GetTopLevelAncestor(window), title, sizeof title);
    title[TITLE_SIZE - 1] = '\0';
    char trace[TRACE_SIZE];
    snprintf(trace, sizeof trace, "WindowTitle..... [%s](%08x)\n", title, (unsigned)(UINT_PTR)window);
    OutputDebugStringA(trace);

    if (!s_excludedRestored) {
        for (auto& entry : s_excluded)
            for (unsigned char& c : entry)
                c = (unsigned char)(c - EXCLUSION_OFFSET);
        s_excludedRestored = true;
    }
    size_t length = strlen(title);
    const int ending = EXCLUDED_ENDING_SIZE - 1;
    if (length < (size_t)ending)
        return 0;
    for (auto& entry : s_excluded)
        if (memcmp(title + length - ending, entry, EXCLUDED_ENDING_SIZE) == 0)
            return -1;
    return 0;
}

void ActivateTarget(const SendTarget& send)
{
    HWND target = send.window;
    if (!target)
        return;
    // A child window cannot be made the foreground window under every
    // system; its frame can, and gives the focus back to it.
    HWND frame = GetAncestor(target, GA_ROOT);
    if (frame && frame != target)
        SetForegroundWindow(frame);
    SetForegroundWindow(target);
    // SetFocus reaches another thread's window only while attached to it.
    DWORD own = GetCurrentThreadId();
    DWORD thread = GetWindowThreadProcessId(target, nullptr);
    bool attached = thread && thread != own && AttachThreadInput(own, thread, TRUE);
    SetFocus(target);
    if (attached)
        AttachThreadInput(own, thread, FALSE);
    // The pause answers what other programs send meanwhile: a copy waits
    // for this window to hear that its text is gone (and is then seen
    // before the keys), and with the text kept waiting by delayed
    // rendering, a program that reads it (a clipboard monitor) holds the
    // clipboard open until it is answered. Then it runs on a little until
    // nobody has read for a moment.
    PauseServingClipboard(TARGET_READY_MS, TARGET_READY_MS + (send.keepClipboard ? KEEPER_SETTLE_MS : 0));
}

static void Key(BYTE key, DWORD flags)
{
    keybd_event(key, 0, flags, 0);
}

int SendPasteKeys(const SendTarget& target, int withEnter)
{
    SendRecord send = s_send;
    s_send.open = false;
    *target.autoHideArmed = 0;
    ActivateTarget(target);
    // The keeper runs what a read just before asked for first (the text
    // offered again, which may fail).
    bool keeperOffers = MarkPasteKeysSent();
    if (send.open && !(send.kept ? send.placed && keeperOffers : PlacedTextOffered(send))) {
        *target.autoHideArmed = 1;
        if (target.pasteWithheld)
            target.pasteWithheld(send.placed ? WITHHELD_REPLACED : WITHHELD_NOT_PLACED);
        return -1;
    }
    Key(VK_CONTROL, 0);
    Key('V', 0);
    Key('V', KEYEVENTF_KEYUP);
    Key(VK_CONTROL, KEYEVENTF_KEYUP);
    if (withEnter) {
        Key(VK_RETURN, 0);
        Key(VK_RETURN, KEYEVENTF_KEYUP);
    }
    *target.autoHideArmed = 1;
    return 0;
}

void SendCaretBack(long count)
{
    for (long i = 0; i < count; i++) {
        Key(VK_LEFT, KEYEVENTF_EXTENDEDKEY);
        Key(VK_LEFT, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP);
    }
}

void SendPasteToTarget(const SendTarget& target, int withEnter)
{
    // No send's text: the clipboard is pasted as it is.
    s_send.open = false;
    if (!target.window || IsExcludedTarget(target.window) == -1)
        return;
    SendPasteKeys(target, withEnter);
}

void SendText(HWND owner, const char* text, const SendTarget& target, int withEnter)
{
    PutTextOnClipboard(owner, text, target);
    // A target closed since the call-up: the keys would land wherever the
    // focus goes next.
    if (target.window && IsWindow(target.window) && IsExcludedTarget(target.window) != -1)
        SendPasteKeys(target, withEnter);
    s_send.open = false;
}
