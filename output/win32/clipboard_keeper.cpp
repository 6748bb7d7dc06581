// Keeping the user's clipboard across a send.
//
// The content is copied out before the text goes on the clipboard. The text
// itself is offered by delayed rendering: the system asks this module's
// window for it when a program reads it, and the window can tell which
// process reads. A read by the target's process after the paste keys have
// gone out is the paste; the content goes back once that reader has closed
// the clipboard. Any other read (a clipboard monitor, or the target itself
// syncing the clipboard when activated) gets the text too, and the offer is
// made again so that the paste is still seen; a few times only, so that a
// monitor that reads every offer cannot keep the clipboard busy. A reader
// that opens the clipboard with no window cannot be told apart: after the
// keys it is taken for the target once nobody else has read for a moment.
// When nobody of the target reads within KEEPER_WAIT_MS, or the user copies
// something meanwhile, the content is dropped and the clipboard left as it
// is. The text stays with the window for as long as the clipboard promises
// it.
#include "output/win32/clipboard_keeper.h"

#include <cstdlib>
#include <cstring>

#include "output/win32/clipboard.h"

namespace {

const char KEEPER_CLASS[] = "FenlopClipboardKeeper";
const UINT MSG_FOLLOW_UP = WM_APP + 1;  // a follow-up waits: run it
enum FollowUpKind { FOLLOW_NONE, FOLLOW_OFFER_AGAIN, FOLLOW_PUT_BACK };
const UINT_PTR IDT_GIVE_UP = 1;
const UINT_PTR IDT_RETRY = 2;
const UINT RETRY_MS = 20;                // the reader still holds the clipboard
const int RETRY_LIMIT = 100;
const int OFFER_LIMIT = 8;               // offers of one text, the first included
const DWORD ANONYMOUS_SETTLE_MS = 1000;  // quiet after a windowless read: the paste
const DWORD TAKE_BUDGET_MS = 250;        // the previous owner's rendering, all formats

enum KeptKind { KEPT_MEMORY, KEPT_BITMAP, KEPT_ENHANCED_METAFILE };

struct KeptFormat {
    UINT format;
    HANDLE data;             // null: not taken (it is lost)
    KeptKind kind;
};

// One send at a time: the state of the one that waits.
struct Keeper {
    HWND window;             // owns the clipboard while a send waits
    bool waiting;            // a send waits for the target to read its text
    KeptFormat* formats;     // the user's content (count entries)
    int count;
    char* text;              // the text the clipboard promises, with its
                             // NUL (null: none); kept until rendered for
                             // good or the clipboard is emptied
    size_t textSize;
    DWORD targetProcess;     // whose read is the paste
    bool keysSent;           // the paste keys have gone out
    bool anonymousRead;      // a reader without a window read after the keys
    DWORD deadline;          // tick count at which the wait ends
    int offers;              // offers of this text so far
    DWORD lastRead;          // tick count of the last read of the text
    bool emptying;           // the window empties the clipboard itself
    FollowUpKind pending;    // what the last read asks for, run once the
                             // reader has closed the clipboard
    int retries;
};
Keeper s_keeper;

// Formats whose data are handles other than memory blocks, or memory blocks
// holding such handles, that the system does not copy for us.
KeptKind KindOf(UINT format, bool* keepable)
{
    *keepable = true;
    switch (format) {
    case CF_BITMAP:
    case CF_DSPBITMAP:
        return KEPT_BITMAP;
    case CF_ENHMETAFILE:
    case CF_DSPENHMETAFILE:
        return KEPT_ENHANCED_METAFILE;
    case CF_METAFILEPICT:
    case CF_DSPMETAFILEPICT:
    case CF_PALETTE:
    case CF_OWNERDISPLAY:
        *keepable = false;
        return KEPT_MEMORY;
    }
    if ((format >= CF_PRIVATEFIRST && format <= CF_PRIVATELAST) ||
        (format >= CF_GDIOBJFIRST && format <= CF_GDIOBJLAST))
        *keepable = false;
    return KEPT_MEMORY;
}

HANDLE CopyMemoryBlock(HANDLE block)
{
    SIZE_T size = GlobalSize(block);
    const void* from = GlobalLock(block);
    if (!from)
        return nullptr;
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
    void* to = copy ? GlobalLock(copy) : nullptr;
    if (to) {
        memcpy(to, from, size);
        GlobalUnlock(copy);
    } else if (copy) {
        GlobalFree(copy);
        copy = nullptr;
    }
    GlobalUnlock(block);
    return copy;
}

HANDLE CopyKept(HANDLE data, KeptKind kind)
{
    switch (kind) {
    case KEPT_BITMAP: return CopyImage(data, IMAGE_BITMAP, 0, 0, 0);
    case KEPT_ENHANCED_METAFILE: return CopyEnhMetaFile((HENHMETAFILE)data, nullptr);
    case KEPT_MEMORY: break;
    }
    return CopyMemoryBlock(data);
}

void FreeKept(const KeptFormat* kept)
{
    switch (kept->kind) {
    case KEPT_BITMAP: DeleteObject(kept->data); break;
    case KEPT_ENHANCED_METAFILE: DeleteEnhMetaFile((HENHMETAFILE)kept->data); break;
    case KEPT_MEMORY: GlobalFree(kept->data); break;
    }
}

void DropKeptContent()
{
    for (int i = 0; i < s_keeper.count; i++)
        if (s_keeper.formats[i].data)
            FreeKept(&s_keeper.formats[i]);
    free(s_keeper.formats);
    s_keeper.formats = nullptr;
    s_keeper.count = 0;
}

// The content is dropped; the text stays while the clipboard promises it.
void StopWaiting()
{
    KillTimer(s_keeper.window, IDT_GIVE_UP);
    KillTimer(s_keeper.window, IDT_RETRY);
    s_keeper.pending = FOLLOW_NONE;
    s_keeper.waiting = false;
    DropKeptContent();
}

void ForgetText()
{
    free(s_keeper.text);
    s_keeper.text = nullptr;
}

bool IsTextFormat(UINT format)
{
    return format == CF_TEXT || format == CF_UNICODETEXT || format == CF_OEMTEXT || format == CF_LOCALE;
}

void TakeFormat(KeptFormat* kept)
{
    HANDLE data = GetClipboardData(kept->format);
    // A block too large to copy at once stays behind, as does one that
    // cannot be read (a zero-size block cannot be locked).
    if (!data || (kept->kind == KEPT_MEMORY && (GlobalSize(data) == 0 || GlobalSize(data) > KEEPER_FORMAT_LIMIT)))
        return;
    kept->data = CopyKept(data, kept->kind);
}

// Copies what the clipboard (open) holds and can be kept, in its order. A
// format that cannot be copied is lost alone. The previous owner may render
// each format only now: the text comes first, and the others are taken only
// while the take is within its budget.
void TakeContent()
{
    int capacity = CountClipboardFormats();
    s_keeper.formats = (KeptFormat*)calloc(capacity > 0 ? capacity : 1, sizeof(KeptFormat));
    if (!s_keeper.formats)
        return;
    for (UINT format = EnumClipboardFormats(0); format && s_keeper.count < capacity;
         format = EnumClipboardFormats(format)) {
        bool keepable;
        KeptKind kind = KindOf(format, &keepable);
        if (keepable)
            s_keeper.formats[s_keeper.count++] = KeptFormat{format, nullptr, kind};
    }
    DWORD start = GetTickCount();
    for (int i = 0; i < s_keeper.count; i++)
        if (IsTextFormat(s_keeper.formats[i].format))
            TakeFormat(&s_keeper.formats[i]);
    for (int i = 0; i < s_keeper.count && GetTickCount() - start < TAKE_BUDGET_MS; i++)
        if (!IsTextFormat(s_keeper.formats[i].format))
            TakeFormat(&s_keeper.formats[i]);
}

HGLOBAL DwordBlock(DWORD value)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof value);
    void* bytes = block ? GlobalLock(block) : nullptr;
    if (bytes) {
        memcpy(bytes, &value, sizeof value);
        GlobalUnlock(block);
    }
    return block;
}

// The text (delayed) and the marks that keep it out of clipboard history,
// cloud clipboards and viewers, on the open clipboard, emptied first. False
// when the clipboard took no text.
bool OfferText()
{
    s_keeper.emptying = true;
    EmptyClipboard();
    s_keeper.emptying = false;
    s_keeper.offers++;
    // A delayed format's handle is null: only the clipboard tells whether
    // it took the promise.
    SetClipboardData(CF_TEXT, nullptr);
    if (!IsClipboardFormatAvailable(CF_TEXT))
        return false;
    static const char* const marks[] = {"ExcludeClipboardContentFromMonitorProcessing",
                                        "CanIncludeInClipboardHistory", "CanUploadToCloudClipboard",
                                        "Clipboard Viewer Ignore"};
    for (const char* mark : marks) {
        UINT format = RegisterClipboardFormatA(mark);
        HGLOBAL block = format ? DwordBlock(0) : nullptr;
        if (block && !SetClipboardData(format, block))
            GlobalFree(block);
    }
    return true;
}

HGLOBAL TextBlock()
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, s_keeper.textSize);
    void* bytes = block ? GlobalLock(block) : nullptr;
    if (!bytes) {
        if (block)
            GlobalFree(block);
        return nullptr;
    }
    memcpy(bytes, s_keeper.text, s_keeper.textSize);
    GlobalUnlock(block);
    return block;
}

// The wait is over and the text stays: rendered for good when the
// clipboard can be opened, else still promised, and rendered when read.
void LeaveText(bool tryOpening)
{
    StopWaiting();
    if (GetClipboardOwner() != s_keeper.window) {
        ForgetText();
        return;
    }
    if (!tryOpening || !OpenClipboardFor(s_keeper.window))
        return;
    HGLOBAL block = TextBlock();
    if (block && SetClipboardData(CF_TEXT, block))
        ForgetText();
    else if (block)
        GlobalFree(block);
    CloseClipboard();
}

// On the open clipboard, which then promises no text.
void PutContentBack()
{
    s_keeper.emptying = true;
    EmptyClipboard();
    s_keeper.emptying = false;
    ForgetText();
    for (int i = 0; i < s_keeper.count; i++) {
        KeptFormat* kept = &s_keeper.formats[i];
        if (kept->data && SetClipboardData(kept->format, kept->data))
            kept->data = nullptr;  // the clipboard owns it now
    }
    DropKeptContent();
}

// After the reader has closed the clipboard: the content back (the target
// read the text), or the text offered again (another process read it).
void FollowUp(HWND window)
{
    if (!s_keeper.waiting || !s_keeper.pending)
        return;
    if (GetClipboardOwner() != window) {
        StopWaiting();
        ForgetText();
        return;
    }
    if (!OpenClipboard(window)) {
        // Held past every retry: the text stays as it is, promised or
        // rendered, and the content is dropped.
        if (++s_keeper.retries > RETRY_LIMIT)
            LeaveText(false);
        else
            SetTimer(window, IDT_RETRY, RETRY_MS, nullptr);
        return;
    }
    FollowUpKind what = s_keeper.pending;
    s_keeper.retries = 0;
    s_keeper.pending = FOLLOW_NONE;
    if (what == FOLLOW_PUT_BACK) {
        PutContentBack();
        CloseClipboard();
        StopWaiting();
    } else if (!OfferText()) {
        PutContentBack();
        CloseClipboard();
        StopWaiting();
    } else {
        CloseClipboard();
    }
}

// The wait ends: the text stays, unless a reader without a window read it
// after the keys; that was the target as far as anyone can tell.
void GiveUp(HWND window)
{
    if (!s_keeper.anonymousRead) {
        LeaveText(true);
        return;
    }
    KillTimer(window, IDT_GIVE_UP);
    s_keeper.pending = FOLLOW_PUT_BACK;
    FollowUp(window);
}

void OnRenderText(HWND window)
{
    HGLOBAL block = TextBlock();
    if (block && !SetClipboardData(CF_TEXT, block))
        GlobalFree(block);
    if (!s_keeper.waiting)
        return;
    s_keeper.lastRead = GetTickCount();
    DWORD reader = 0;
    HWND opener = GetOpenClipboardWindow();
    if (opener)
        GetWindowThreadProcessId(opener, &reader);
    if (s_keeper.keysSent && reader && reader == s_keeper.targetProcess) {
        s_keeper.pending = FOLLOW_PUT_BACK;
    } else {
        if (s_keeper.keysSent && !opener) {
            s_keeper.anonymousRead = true;
            DWORD left = s_keeper.deadline - GetTickCount();
            if ((LONG)left > 0)
                SetTimer(window, IDT_GIVE_UP, left < ANONYMOUS_SETTLE_MS ? left : ANONYMOUS_SETTLE_MS, nullptr);
        }
        // Offered once too often, the text stays rendered: the paste then
        // goes unseen, and the wait ends as if nobody had read.
        if (s_keeper.pending == FOLLOW_NONE && s_keeper.offers < OFFER_LIMIT)
            s_keeper.pending = FOLLOW_OFFER_AGAIN;
    }
    PostMessageA(window, MSG_FOLLOW_UP, 0, 0);
}

void OnRenderFormat(HWND window, WPARAM format)
{
    if (format == CF_TEXT && s_keeper.text)
        OnRenderText(window);
}

// The program ends while a text is promised: it stays on the clipboard
// (unless another program holds it to the end).
void OnRenderAllFormats()
{
    if (s_keeper.text)
        LeaveText(true);
}

// Someone else put something on the clipboard: theirs wins.
void OnDestroyClipboard()
{
    if (!s_keeper.emptying) {
        StopWaiting();
        ForgetText();
    }
}

void OnTimer(HWND window, WPARAM timer)
{
    if (timer == IDT_RETRY) {
        KillTimer(window, IDT_RETRY);
        FollowUp(window);
    } else if (timer == IDT_GIVE_UP && s_keeper.waiting) {
        GiveUp(window);
    }
}

LRESULT CALLBACK KeeperProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_RENDERFORMAT: OnRenderFormat(window, wParam); return 0;
    case WM_RENDERALLFORMATS: OnRenderAllFormats(); return 0;
    case WM_DESTROYCLIPBOARD: OnDestroyClipboard(); return 0;
    case MSG_FOLLOW_UP: FollowUp(window); return 0;
    case WM_TIMER: OnTimer(window, wParam); return 0;
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

HWND KeeperWindow()
{
    if (s_keeper.window)
        return s_keeper.window;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = KeeperProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = KEEPER_CLASS;
    RegisterClassA(&wc);
    s_keeper.window = CreateWindowExA(0, KEEPER_CLASS, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      wc.hInstance, nullptr);
    return s_keeper.window;
}

}  // namespace

int KeepClipboardAndOffer(const char* text, HWND target)
{
    HWND window = KeeperWindow();
    size_t size = strlen(text) + 1;
    char* copy = (char*)malloc(size);
    if (!window || !copy || !OpenClipboardFor(window)) {
        free(copy);
        return -1;
    }
    // An earlier send that still waits holds the user's content; the
    // clipboard holds only its text.
    bool earlier = s_keeper.waiting && GetClipboardOwner() == window;
    if (!earlier) {
        StopWaiting();
        TakeContent();
    }
    memcpy(copy, text, size);
    ForgetText();
    s_keeper.text = copy;
    s_keeper.textSize = size;
    s_keeper.targetProcess = 0;
    if (target)
        GetWindowThreadProcessId(target, &s_keeper.targetProcess);
    s_keeper.waiting = true;
    s_keeper.keysSent = false;
    s_keeper.anonymousRead = false;
    s_keeper.offers = 0;
    s_keeper.lastRead = GetTickCount() - KEEPER_QUIET_MS;
    s_keeper.pending = FOLLOW_NONE;
    s_keeper.retries = 0;
    if (!OfferText()) {
        PutContentBack();
        CloseClipboard();
        StopWaiting();
        return -1;
    }
    CloseClipboard();
    s_keeper.deadline = GetTickCount() + KEEPER_WAIT_MS;
    SetTimer(window, IDT_GIVE_UP, KEEPER_WAIT_MS, nullptr);
    return 0;
}

void MarkPasteKeysSent()
{
    if (!s_keeper.window || !s_keeper.waiting)
        return;
    // A read just before still gets its offer first.
    FollowUp(s_keeper.window);
    s_keeper.keysSent = true;
}

bool ServeClipboardKeeper()
{
    if (!s_keeper.window)
        return true;
    FollowUp(s_keeper.window);
    return !s_keeper.waiting ||
           (s_keeper.pending == FOLLOW_NONE && GetTickCount() - s_keeper.lastRead >= KEEPER_QUIET_MS);
}

void ReleaseClipboardKeeper()
{
    // Destroying the owner of delayed formats has them rendered.
    if (s_keeper.window)
        DestroyWindow(s_keeper.window);
    s_keeper.window = nullptr;
}
