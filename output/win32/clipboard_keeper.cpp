// Keeping the user's clipboard across a send.
//
// The content is copied out before the text goes on the clipboard. The text
// itself is offered by delayed rendering: the system asks this module's
// window for it when a program reads it, and the window can tell which
// process reads. A read by the target's process is the paste; the content
// goes back once that reader has closed the clipboard. A read by any other
// process (a clipboard monitor) gets the text too, and the offer is made
// again so that the target's read is still seen. When nobody of the target
// reads within KEEPER_WAIT_MS, or the user copies something meanwhile, the
// content is dropped and the clipboard left as it is.
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

enum KeptKind { KEPT_MEMORY, KEPT_BITMAP, KEPT_ENHANCED_METAFILE };

struct KeptFormat {
    UINT format;
    HANDLE data;
    KeptKind kind;
};

// One send at a time: the state of the one that waits.
struct Keeper {
    HWND window;             // owns the clipboard while a send waits
    bool waiting;            // a send waits for the target to read its text
    KeptFormat* formats;     // the user's content (count entries)
    int count;
    char* text;              // the text offered, with its NUL
    size_t textSize;
    DWORD targetProcess;     // whose read is the paste
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
        FreeKept(&s_keeper.formats[i]);
    free(s_keeper.formats);
    s_keeper.formats = nullptr;
    s_keeper.count = 0;
}

void StopWaiting()
{
    KillTimer(s_keeper.window, IDT_GIVE_UP);
    KillTimer(s_keeper.window, IDT_RETRY);
    s_keeper.pending = FOLLOW_NONE;
    s_keeper.waiting = false;
    DropKeptContent();
    free(s_keeper.text);
    s_keeper.text = nullptr;
}

// Copies every format the clipboard (open) holds that can be kept. False
// when memory ran out.
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
        HANDLE data = keepable ? GetClipboardData(format) : nullptr;
        if (!data)
            continue;
        HANDLE copy = CopyKept(data, kind);
        if (!copy)
            return false;
        s_keeper.formats[s_keeper.count++] = KeptFormat{format, copy, kind};
    }
    return true;
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
// cloud clipboards and viewers, on the open clipboard, emptied first.
void OfferText()
{
    s_keeper.emptying = true;
    EmptyClipboard();
    s_keeper.emptying = false;
    SetClipboardData(CF_TEXT, nullptr);
    static const char* const marks[] = {"ExcludeClipboardContentFromMonitorProcessing",
                                        "CanIncludeInClipboardHistory", "CanUploadToCloudClipboard",
                                        "Clipboard Viewer Ignore"};
    for (const char* mark : marks) {
        UINT format = RegisterClipboardFormatA(mark);
        HGLOBAL block = format ? DwordBlock(0) : nullptr;
        if (block && !SetClipboardData(format, block))
            GlobalFree(block);
    }
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

// Renders the text for good, on the clipboard that this window still owns.
void LeaveText(bool open)
{
    if (GetClipboardOwner() == s_keeper.window && (!open || OpenClipboard(s_keeper.window))) {
        HGLOBAL block = TextBlock();
        if (block && !SetClipboardData(CF_TEXT, block))
            GlobalFree(block);
        if (open)
            CloseClipboard();
    }
    StopWaiting();
}

void PutContentBack()
{
    s_keeper.emptying = true;
    EmptyClipboard();
    s_keeper.emptying = false;
    for (int i = 0; i < s_keeper.count; i++) {
        KeptFormat* kept = &s_keeper.formats[i];
        if (SetClipboardData(kept->format, kept->data))
            kept->data = nullptr;  // the clipboard owns it now
    }
    for (int i = 0; i < s_keeper.count; i++)
        if (s_keeper.formats[i].data)
            FreeKept(&s_keeper.formats[i]);
    free(s_keeper.formats);
    s_keeper.formats = nullptr;
    s_keeper.count = 0;
}

// After the reader has closed the clipboard: the content back (the target
// read the text), or the text offered again (another process read it).
void FollowUp(HWND window)
{
    if (!s_keeper.waiting || !s_keeper.pending)
        return;
    if (GetClipboardOwner() != window) {
        StopWaiting();
        return;
    }
    if (!OpenClipboard(window)) {
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
    } else {
        OfferText();
        CloseClipboard();
    }
}

void OnRenderText(HWND window)
{
    HGLOBAL block = TextBlock();
    if (block && !SetClipboardData(CF_TEXT, block))
        GlobalFree(block);
    if (!s_keeper.waiting)
        return;
    DWORD reader = 0;
    HWND opener = GetOpenClipboardWindow();
    if (opener)
        GetWindowThreadProcessId(opener, &reader);
    if (reader && reader == s_keeper.targetProcess)
        s_keeper.pending = FOLLOW_PUT_BACK;
    else if (s_keeper.pending == FOLLOW_NONE)
        s_keeper.pending = FOLLOW_OFFER_AGAIN;
    PostMessageA(window, MSG_FOLLOW_UP, 0, 0);
}

LRESULT CALLBACK KeeperProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_RENDERFORMAT:
        if (wParam == CF_TEXT && s_keeper.text)
            OnRenderText(window);
        return 0;
    case WM_RENDERALLFORMATS:
        // The program ends while a text waits: it stays on the clipboard.
        if (s_keeper.text)
            LeaveText(true);
        return 0;
    case WM_DESTROYCLIPBOARD:
        // Someone else put something on the clipboard: theirs wins.
        if (!s_keeper.emptying && s_keeper.waiting)
            StopWaiting();
        return 0;
    case MSG_FOLLOW_UP:
        FollowUp(window);
        return 0;
    case WM_TIMER:
        if (wParam == IDT_RETRY) {
            KillTimer(window, IDT_RETRY);
            FollowUp(window);
        } else if (wParam == IDT_GIVE_UP && s_keeper.waiting) {
            LeaveText(true);
        }
        return 0;
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
        DropKeptContent();
        if (!TakeContent()) {
            DropKeptContent();
            CloseClipboard();
            free(copy);
            return -1;
        }
    }
    memcpy(copy, text, size);
    free(s_keeper.text);
    s_keeper.text = copy;
    s_keeper.textSize = size;
    s_keeper.targetProcess = 0;
    if (target)
        GetWindowThreadProcessId(target, &s_keeper.targetProcess);
    s_keeper.waiting = true;
    s_keeper.pending = FOLLOW_NONE;
    s_keeper.retries = 0;
    OfferText();
    CloseClipboard();
    SetTimer(window, IDT_GIVE_UP, KEEPER_WAIT_MS, nullptr);
    return 0;
}

void ServeClipboardKeeper()
{
    if (s_keeper.window)
        FollowUp(s_keeper.window);
}

void ReleaseClipboardKeeper()
{
    // Destroying the owner of delayed formats has them rendered.
    if (s_keeper.window)
        DestroyWindow(s_keeper.window);
    s_keeper.window = nullptr;
}
