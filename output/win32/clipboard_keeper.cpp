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
// When nobody of the target reads within KEEPER_WAIT_MS, the text stays
// promised for a paste by hand, and the content is kept: it comes back when
// the target's process reads the text after all, at the next call-up or at
// exit, and is dropped after KEEPER_HOLD_MS. A copy by anyone else ends the
// keep at once: theirs wins. Which read is the paste, and which formats are
// kept, is decided by output/keep_rules.
#include "output/win32/clipboard_keeper.h"

#include <cstdlib>
#include <cstring>

#include "output/keep_rules.h"
#include "common/win32/window_messages.h"
#include "output/win32/clipboard.h"

namespace {

const char KEEPER_CLASS[] = "FenlopClipboardKeeper";
enum FollowUpKind { FOLLOW_NONE, FOLLOW_OFFER_AGAIN, FOLLOW_PUT_BACK };
const UINT RETRY_MS = 20;                // the reader still holds the clipboard
const int RETRY_LIMIT = 100;
const DWORD ANONYMOUS_SETTLE_MS = 1000;  // quiet after a windowless read: the paste
const DWORD EARLIER_PASTE_MS = 1000;     // a second send waits this long for the first's paste
const DWORD PAUSE_STEP_MS = 5;

enum KeptKind { KEPT_MEMORY, KEPT_BITMAP, KEPT_ENHANCED_METAFILE };

struct KeptFormat {
    UINT format;
    HANDLE data;             // null: not taken (it is lost)
    KeptKind kind;
};

// One send at a time: the state of the one whose content is kept.
struct Keeper {
    HWND window;             // owns the clipboard while a send waits
    bool waiting;            // the user's content is kept until the paste is seen
    bool waitOver;           // the wait ended with no paste seen; still kept
    KeptFormat* formats;     // the user's content (count entries)
    int count;
    char* text;              // the text the clipboard promises, with its
                             // NUL (null: none); kept until the clipboard
                             // is emptied
    size_t textSize;
    DWORD targetProcess;     // whose read is the paste
    bool keysSent;           // the paste keys have gone out
    bool anonymousRead;      // a reader without a window read after the keys
    DWORD deadline;          // tick count at which the wait ends
    int offers;              // offers of this text so far
    DWORD lastStir;          // tick count of the last read or offer of the text
    bool emptying;           // the window empties the clipboard itself
    FollowUpKind pending;    // what the last read asks for, run once the
                             // reader has closed the clipboard
    int retries;
};
Keeper s_keeper;

}  // namespace

bool KeptUsersText(std::string* text)
{
    text->clear();
    if (!s_keeper.waiting && !s_keeper.waitOver)
        return false;
    for (int i = 0; i < s_keeper.count; i++) {
        const KeptFormat& kept = s_keeper.formats[i];
        if (kept.format != CF_TEXT || kept.kind != KEPT_MEMORY || !kept.data)
            continue;
        if (const char* bytes = (const char*)GlobalLock(kept.data)) {
            text->assign(bytes, strnlen(bytes, GlobalSize(kept.data)));
            GlobalUnlock(kept.data);
        }
    }
    return true;
}

namespace {

bool IsOleFormat(UINT format)
{
    // They name a data object of the previous owner, which has let go of it.
    char name[32];
    int n = GetClipboardFormatNameA(format, name, sizeof name);
    return n > 0 && (strcmp(name, "DataObject") == 0 || strcmp(name, "Ole Private Data") == 0);
}

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
        (format >= CF_GDIOBJFIRST && format <= CF_GDIOBJLAST) || IsOleFormat(format))
        *keepable = false;
    return KEPT_MEMORY;
}

// The bytes a format's data hold, as far as the handle tells.
SIZE_T SizeOfData(HANDLE data, KeptKind kind)
{
    switch (kind) {
    case KEPT_BITMAP: {
        BITMAP bitmap;
        if (GetObjectA(data, sizeof bitmap, &bitmap) != sizeof bitmap || bitmap.bmHeight < 0 ||
            bitmap.bmWidthBytes < 0)
            return 0;
        unsigned long long bytes = (unsigned long long)bitmap.bmWidthBytes * (unsigned long long)bitmap.bmHeight *
                                   (bitmap.bmPlanes ? bitmap.bmPlanes : 1);
        return bytes > KEEP_FORMAT_LIMIT ? KEEP_FORMAT_LIMIT + 1 : (SIZE_T)bytes;
    }
    case KEPT_ENHANCED_METAFILE: return GetEnhMetaFileBits((HENHMETAFILE)data, 0, nullptr);
    case KEPT_MEMORY: break;
    }
    return GlobalSize(data);
}

enum TakeResult { TAKEN, NOT_TAKEN, OUT_OF_MEMORY };

TakeResult CopyMemoryBlock(HANDLE block, HANDLE* copy)
{
    SIZE_T size = GlobalSize(block);
    const void* from = GlobalLock(block);
    if (!from)
        return NOT_TAKEN;
    HGLOBAL to = GlobalAlloc(GMEM_MOVEABLE, size);
    void* bytes = to ? GlobalLock(to) : nullptr;
    if (bytes) {
        memcpy(bytes, from, size);
        GlobalUnlock(to);
    } else if (to) {
        GlobalFree(to);
        to = nullptr;
    }
    GlobalUnlock(block);
    *copy = to;
    return to ? TAKEN : OUT_OF_MEMORY;
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
    KillTimer(s_keeper.window, IDT_WAIT_OVER);
    KillTimer(s_keeper.window, IDT_RETRY);
    KillTimer(s_keeper.window, IDT_DROP);
    s_keeper.pending = FOLLOW_NONE;
    s_keeper.waiting = false;
    s_keeper.waitOver = false;
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

// Asking for a format has its owner render it, perhaps only now, in full:
// that cannot be cut short. What it renders is then kept only within the
// size limit.
TakeResult TakeFormat(KeptFormat* kept)
{
    HANDLE data = GetClipboardData(kept->format);
    if (!data || !KeepsTakenSize(SizeOfData(data, kept->kind)))
        return NOT_TAKEN;
    switch (kept->kind) {
    case KEPT_BITMAP: kept->data = CopyImage(data, IMAGE_BITMAP, 0, 0, 0); break;
    case KEPT_ENHANCED_METAFILE: kept->data = CopyEnhMetaFile((HENHMETAFILE)data, nullptr); break;
    case KEPT_MEMORY: return CopyMemoryBlock(data, &kept->data);
    }
    return kept->data ? TAKEN : NOT_TAKEN;
}

// Copies what the clipboard (open) holds and can be kept, in its order. A
// format that cannot be copied is lost alone, but the text formats come back
// together or not at all: with only a synthesized CF_TEXT back, every
// character outside its code page would be lost. The previous owner may
// render each format only now: the texts come first, and no format is asked
// for once the take has used its time. False when memory ran out.
bool TakeContent()
{
    int capacity = CountClipboardFormats();
    s_keeper.formats = (KeptFormat*)calloc(capacity > 0 ? capacity : 1, sizeof(KeptFormat));
    if (!s_keeper.formats)
        return false;
    for (UINT format = EnumClipboardFormats(0); format && s_keeper.count < capacity;
         format = EnumClipboardFormats(format)) {
        bool keepable;
        KeptKind kind = KindOf(format, &keepable);
        if (keepable)
            s_keeper.formats[s_keeper.count++] = KeptFormat{format, nullptr, kind};
    }
    DWORD start = GetTickCount();
    int texts = 0, textsTaken = 0;
    for (int pass = 0; pass < 2; pass++) {
        for (int i = 0; i < s_keeper.count; i++) {
            KeptFormat* kept = &s_keeper.formats[i];
            if (IsTextFormat(kept->format) != (pass == 0))
                continue;
            texts += pass == 0;
            if (!TakesFormat(GetTickCount() - start))
                continue;
            TakeResult result = TakeFormat(kept);
            if (result == OUT_OF_MEMORY)
                return false;
            textsTaken += pass == 0 && result == TAKEN;
        }
        if (pass == 0 && textsTaken != texts) {
            for (int i = 0; i < s_keeper.count; i++) {
                KeptFormat* kept = &s_keeper.formats[i];
                if (IsTextFormat(kept->format) && kept->data) {
                    FreeKept(kept);
                    kept->data = nullptr;
                }
            }
        }
    }
    return true;
}

// The text (delayed, in both forms), its locale and the marks that keep it
// out of clipboard history, cloud clipboards and viewers, on the open
// clipboard, emptied first. False when the clipboard took no text.
bool OfferText()
{
    s_keeper.emptying = true;
    EmptyClipboard();
    s_keeper.emptying = false;
    s_keeper.offers++;
    // Every listener hears of the offer and may read at once.
    s_keeper.lastStir = GetTickCount();
    // A delayed format's handle is null: only the clipboard tells whether
    // it took the promise.
    SetClipboardData(CF_TEXT, nullptr);
    if (!IsClipboardFormatAvailable(CF_TEXT))
        return false;
    SetClipboardData(CF_UNICODETEXT, nullptr);
    HGLOBAL locale = LocaleBlock();
    if (locale && !SetClipboardData(CF_LOCALE, locale))
        GlobalFree(locale);
    static const char* const marks[] = {"ExcludeClipboardContentFromMonitorProcessing",
                                        "CanIncludeInClipboardHistory", "CanUploadToCloudClipboard",
                                        "Clipboard Viewer Ignore"};
    DWORD zero = 0;
    for (const char* mark : marks) {
        UINT format = RegisterClipboardFormatA(mark);
        HGLOBAL block = format ? TextBlock((const char*)&zero, sizeof zero) : nullptr;
        if (block && !SetClipboardData(format, block))
            GlobalFree(block);
    }
    return true;
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

// Opens the clipboard and checks, once it is open, that it is still ours: a
// copy finished just before must not be emptied. When it is not ours, the
// keep ends and false is returned with the clipboard closed.
bool OpenOwnClipboard(HWND window, bool tryAgain)
{
    if (!(tryAgain ? OpenClipboardFor(window) : OpenClipboard(window) != FALSE))
        return false;
    if (GetClipboardOwner() == window)
        return true;
    CloseClipboard();
    StopWaiting();
    ForgetText();
    return false;
}

// The wait is over with no paste seen: the text stays promised for a paste
// by hand, the content kept for a while.
void EndWait(HWND window)
{
    KillTimer(window, IDT_WAIT_OVER);
    s_keeper.waitOver = true;
    SetTimer(window, IDT_DROP, KEEPER_HOLD_MS, nullptr);
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
    if (!OpenOwnClipboard(window, false)) {
        if (!s_keeper.waiting)
            return;
        // Held past every retry: the text stays as it is, promised or
        // rendered, and the content waits as after an unseen paste.
        if (++s_keeper.retries > RETRY_LIMIT) {
            s_keeper.pending = FOLLOW_NONE;
            KillTimer(window, IDT_RETRY);
            if (!s_keeper.waitOver)
                EndWait(window);
        } else {
            SetTimer(window, IDT_RETRY, RETRY_MS, nullptr);
        }
        return;
    }
    FollowUpKind what = s_keeper.pending;
    s_keeper.retries = 0;
    s_keeper.pending = FOLLOW_NONE;
    if (what == FOLLOW_PUT_BACK || !OfferText()) {
        PutContentBack();
        CloseClipboard();
        StopWaiting();
    } else {
        CloseClipboard();
    }
}

// The content back now, if the clipboard is still ours; else it is dropped.
void PutBackNow(HWND window)
{
    if (!s_keeper.waiting)
        return;
    if (OpenOwnClipboard(window, true)) {
        PutContentBack();
        CloseClipboard();
    }
    StopWaiting();
}

// The wait ends: unless a reader without a window read the text after the
// keys (that was the target as far as anyone can tell), the paste went
// unseen.
void OnWaitOver(HWND window)
{
    if (!s_keeper.anonymousRead) {
        EndWait(window);
        return;
    }
    KillTimer(window, IDT_WAIT_OVER);
    s_keeper.pending = FOLLOW_PUT_BACK;
    FollowUp(window);
}

void OnRenderText(HWND window, UINT format)
{
    HGLOBAL block = format == CF_TEXT ? TextBlock(s_keeper.text, s_keeper.textSize)
                                      : UnicodeTextBlock(s_keeper.text, s_keeper.textSize);
    if (block && !SetClipboardData(format, block))
        GlobalFree(block);
    if (!s_keeper.waiting)
        return;
    s_keeper.lastStir = GetTickCount();
    DWORD reader = 0;
    HWND opener = GetOpenClipboardWindow();
    if (opener)
        GetWindowThreadProcessId(opener, &reader);
    ReadFacts facts = {reader != 0 && reader == s_keeper.targetProcess, opener != nullptr, s_keeper.keysSent,
                       s_keeper.waitOver, s_keeper.offers};
    ReadJudgement judgement = JudgeRead(facts);
    if (judgement.verdict == READ_IS_PASTE) {
        s_keeper.pending = FOLLOW_PUT_BACK;
    } else {
        if (judgement.maybeTarget) {
            s_keeper.anonymousRead = true;
            DWORD left = s_keeper.deadline - GetTickCount();
            if ((LONG)left > 0)
                SetTimer(window, IDT_WAIT_OVER, left < ANONYMOUS_SETTLE_MS ? left : ANONYMOUS_SETTLE_MS, nullptr);
        }
        // Offered once too often, the text stays rendered: the paste then
        // goes unseen, and the wait ends as if nobody had read.
        if (s_keeper.pending == FOLLOW_NONE && judgement.verdict == READ_OFFER_AGAIN)
            s_keeper.pending = FOLLOW_OFFER_AGAIN;
    }
    PostMessageA(window, MSG_FOLLOW_UP, 0, 0);
}

void OnRenderFormat(HWND window, WPARAM format)
{
    if ((format == CF_TEXT || format == CF_UNICODETEXT) && s_keeper.text)
        OnRenderText(window, (UINT)format);
}

// The window goes while a text is promised: it stays on the clipboard in
// both forms (unless another program holds it to the end, or has copied).
void OnRenderAllFormats(HWND window)
{
    if (!s_keeper.text)
        return;
    StopWaiting();
    if (OpenOwnClipboard(window, true)) {
        const UINT formats[] = {CF_TEXT, CF_UNICODETEXT};
        for (UINT format : formats) {
            HGLOBAL block = format == CF_TEXT ? TextBlock(s_keeper.text, s_keeper.textSize)
                                              : UnicodeTextBlock(s_keeper.text, s_keeper.textSize);
            if (block && !SetClipboardData(format, block))
                GlobalFree(block);
        }
        CloseClipboard();
    }
    ForgetText();
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
    } else if (timer == IDT_WAIT_OVER && s_keeper.waiting && !s_keeper.waitOver) {
        OnWaitOver(window);
    } else if (timer == IDT_DROP) {
        StopWaiting();
    }
}

LRESULT CALLBACK KeeperProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_RENDERFORMAT: OnRenderFormat(window, wParam); return 0;
    case WM_RENDERALLFORMATS: OnRenderAllFormats(window); return 0;
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

bool Settled()
{
    return !s_keeper.waiting ||
           (s_keeper.pending == FOLLOW_NONE && GetTickCount() - s_keeper.lastStir >= KEEPER_QUIET_MS);
}

bool EarlierPasteSeen()
{
    return !s_keeper.waiting;
}

// Answers the messages other threads send (the reads of the text) and runs
// the follow-ups, for at least atLeast ms and until done, at most atMost.
void Pause(DWORD atLeast, DWORD atMost, bool (*done)())
{
    DWORD start = GetTickCount();
    for (DWORD elapsed = 0; elapsed < atMost; elapsed = GetTickCount() - start) {
        if (elapsed >= atLeast && done())
            break;
        DWORD until = elapsed < atLeast ? atLeast : atMost;
        DWORD wait = until - elapsed < PAUSE_STEP_MS ? until - elapsed : PAUSE_STEP_MS;
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_SENDMESSAGE) == WAIT_OBJECT_0) {
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        if (s_keeper.window)
            FollowUp(s_keeper.window);
    }
}

}  // namespace

int KeepClipboardAndOffer(const char* text, HWND target)
{
    HWND window = KeeperWindow();
    size_t size = strlen(text) + 1;
    char* copy = (char*)malloc(size);
    if (!window || !copy) {
        free(copy);
        return -1;
    }
    memcpy(copy, text, size);
    // An earlier send's keys are out and its text not yet read: this offer
    // would take its place, and its paste would bring this text.
    if (s_keeper.waiting && s_keeper.keysSent && !s_keeper.waitOver)
        Pause(0, EARLIER_PASTE_MS, EarlierPasteSeen);
    if (!OpenClipboardFor(window)) {
        free(copy);
        return -1;
    }
    // An earlier send that still waits holds the user's content; the
    // clipboard holds only its text.
    bool earlier = s_keeper.waiting && GetClipboardOwner() == window;
    if (!earlier) {
        StopWaiting();
        if (!TakeContent()) {
            DropKeptContent();
            CloseClipboard();
            free(copy);
            return -1;
        }
    }
    KillTimer(window, IDT_DROP);
    KillTimer(window, IDT_RETRY);
    ForgetText();
    s_keeper.text = copy;
    s_keeper.textSize = size;
    s_keeper.targetProcess = 0;
    if (target)
        GetWindowThreadProcessId(target, &s_keeper.targetProcess);
    s_keeper.waiting = true;
    s_keeper.waitOver = false;
    s_keeper.keysSent = false;
    s_keeper.anonymousRead = false;
    s_keeper.offers = 0;
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
    SetTimer(window, IDT_WAIT_OVER, KEEPER_WAIT_MS, nullptr);
    return 0;
}

bool MarkPasteKeysSent()
{
    if (!s_keeper.window || !s_keeper.waiting)
        return false;
    // A read just before still gets its offer first.
    FollowUp(s_keeper.window);
    if (!s_keeper.waiting || !s_keeper.text || GetClipboardOwner() != s_keeper.window ||
        !IsClipboardFormatAvailable(CF_TEXT))
        return false;
    s_keeper.keysSent = true;
    return true;
}

void PauseServingClipboard(DWORD atLeast, DWORD atMost)
{
    Pause(atLeast, atMost, Settled);
}

void ReturnKeptContent()
{
    if (s_keeper.window && s_keeper.waiting && s_keeper.waitOver)
        PutBackNow(s_keeper.window);
}

void ReleaseClipboardKeeper()
{
    if (!s_keeper.window)
        return;
    PutBackNow(s_keeper.window);
    // Destroying the owner of delayed formats has them rendered.
    DestroyWindow(s_keeper.window);
    s_keeper.window = nullptr;
}
