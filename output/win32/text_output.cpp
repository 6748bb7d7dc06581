#include "output/win32/text_output.h"

#include <cstdio>
#include <cstdlib>
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
// The text of the send under way could not be placed: its Ctrl+V would
// paste what the user had copied. Cleared by the send's keys.
static bool s_textMissing;

static int PlaceText(HWND owner, const char* text, const SendTarget& target)
{
    // With a target to paste into, the user's clipboard can be kept.
    if (target.keepClipboard && target.window)
        return KeepClipboardAndOffer(text, target.window);
    size_t size = strlen(text) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
    if (!block)
        return -1;
    void* data = GlobalLock(block);
    if (!data) {
        GlobalFree(block);
        return -1;
    }
    memcpy(data, text, size);
    GlobalUnlock(block);
    return PlaceClipboardText(owner, block);
}

int PutTextOnClipboard(HWND owner, const char* text, const SendTarget& target)
{
    int result = PlaceText(owner, text, target);
    s_textMissing = result != 0;
    return result;
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

// The pause before the keys, while the text waits on the clipboard by
// delayed rendering: a program that reads it meanwhile (a clipboard monitor)
// holds the clipboard open until it is answered, and the target's paste
// would find it taken, or read the text the monitor got before it is offered
// again. Messages sent from other threads are answered and the keeper's
// follow-ups run; nothing posted runs. While readers are still at it the
// pause runs on, a little.
static void PauseAnsweringClipboard(DWORD ms)
{
    const DWORD STEP_MS = 5;
    const DWORD LONGEST_MS = ms + 60;
    DWORD start = GetTickCount();
    bool settled = false;
    for (DWORD elapsed = 0; elapsed < ms || (!settled && elapsed < LONGEST_MS); elapsed = GetTickCount() - start) {
        DWORD until = elapsed < ms ? ms : LONGEST_MS;
        DWORD wait = until - elapsed < STEP_MS ? until - elapsed : STEP_MS;
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_SENDMESSAGE) == WAIT_OBJECT_0) {
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        settled = ServeClipboardKeeper();
    }
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
    if (send.keepClipboard)
        PauseAnsweringClipboard(TARGET_READY_MS);
    else
        Sleep(TARGET_READY_MS);
}

static void Key(BYTE key, DWORD flags)
{
    keybd_event(key, 0, flags, 0);
}

int SendPasteKeys(const SendTarget& target, int withEnter)
{
    *target.autoHideArmed = 0;
    ActivateTarget(target);
    bool missing = s_textMissing;
    s_textMissing = false;
    if (missing) {
        *target.autoHideArmed = 1;
        return -1;
    }
    MarkPasteKeysSent();
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
    if (!target.window || IsExcludedTarget(target.window) == -1) {
        s_textMissing = false;
        return;
    }
    SendPasteKeys(target, withEnter);
}

void SendText(HWND owner, const char* text, const SendTarget& target, int withEnter)
{
    PutTextOnClipboard(owner, text, target);
    // A target closed since the call-up: the keys would land wherever the
    // focus goes next.
    if (IsWindow(target.window))
        SendPasteToTarget(target, withEnter);
}
