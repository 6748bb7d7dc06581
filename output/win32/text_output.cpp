#include "output/win32/text_output.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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
// offset) so that the program's file does not hold them as text, and
// restored in place the first time a title is tested.
struct ExclusionTable {
    unsigned char endings[EXCLUDED_COUNT][EXCLUDED_ENDING_SIZE];
    bool restored;  // the endings are plain now
};
static ExclusionTable s_excluded = {
    {
        {0x63, 0xd0, 0x97, 0xc9, 0xe1, 0x64, 0x3b},
        {0x96, 0xd0, 0x97, 0xc9, 0xe1, 0x98, 0x3b},
    },
    false,
};

// Whether the keys can reach the target at all.
enum Reach {
    REACH_KEYS,
    REACH_CLOSED,    // the window is gone
    REACH_ELEVATED,  // its process runs higher, or cannot be looked at
};

// The send under way, from its text's placing to its keys: the keys go out
// only while the clipboard still offers that text, or they would paste
// whatever another program copied meanwhile (or the user's own content).
struct SendRecord {
    bool open = false;     // a text was put on the clipboard and its keys are yet to go
    bool placed = false;   // it was placed
    bool kept = false;     // it is offered by the keeper of the user's content
    HWND owner = nullptr;  // otherwise: the clipboard owner of the placing
    DWORD sequence = 0;    // and the clipboard's sequence number right after it
    Reach reach = REACH_KEYS;
    PasteMethod method = PASTE_CTRL_V;
    std::vector<TypedKey> typed;  // the keys of a typed send
    bool typedTooLong = false;    // a typed target's text goes by Ctrl+V
};
static SendRecord s_send;

// The RID of the mandatory label of process's token.
static bool IntegrityOf(HANDLE process, unsigned long* level)
{
    HANDLE token;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return false;
    union {
        TOKEN_MANDATORY_LABEL label;
        BYTE bytes[128];
    } info;
    DWORD size = 0;
    bool read = GetTokenInformation(token, TokenIntegrityLevel, &info, sizeof info, &size) != FALSE;
    CloseHandle(token);
    PSID sid = read ? info.label.Label.Sid : nullptr;
    if (!sid || !IsValidSid(sid) || *GetSidSubAuthorityCount(sid) == 0)
        return false;
    *level = *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1);
    return true;
}

static Reach ReachOf(HWND window)
{
    if (!window)
        return REACH_KEYS;
    if (!IsWindow(window))
        return REACH_CLOSED;
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    if (id == GetCurrentProcessId())
        return REACH_KEYS;
    IntegrityFacts facts = {};
    facts.ownKnown = IntegrityOf(GetCurrentProcess(), &facts.own);
    if (HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id)) {
        facts.targetKnown = IntegrityOf(process, &facts.target);
        CloseHandle(process);
    }
    return KeysReachTarget(facts) ? REACH_KEYS : REACH_ELEVATED;
}

static std::string ClassOf(HWND window)
{
    char name[256] = "";
    int n = window ? GetClassNameA(window, name, sizeof name) : 0;
    return std::string(name, n > 0 ? (size_t)n : 0);
}

WindowFacts FactsOfWindow(HWND window)
{
    WindowFacts facts;
    facts.windowClass = ClassOf(window);
    facts.frameClass = ClassOf(GetAncestor(window, GA_ROOT));
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    if (HANDLE process = id ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id) : nullptr) {
        char path[MAX_PATH * 2];
        DWORD size = sizeof path;
        if (QueryFullProcessImageNameA(process, 0, path, &size))
            facts.program = ProgramFileName(path);
        CloseHandle(process);
    }
    return facts;
}

// An excluded target gets no keys at all: its text goes on the clipboard
// as ever, for a paste by hand.
static PasteMethod MethodOf(const SendTarget& target)
{
    if (!target.window || !target.pasteRules || target.pasteRules->empty() || IsExcludedTarget(target.window) == -1)
        return PASTE_CTRL_V;
    WindowFacts facts = FactsOfWindow(target.window);
    const PasteRule* rule = FindPasteRule(*target.pasteRules, facts.windowClass.c_str(), facts.frameClass.c_str(),
                                          facts.program.c_str());
    return rule ? rule->method : PASTE_CTRL_V;
}

// The text as UTF-16: a Shift-JIS text converted, or (text null) what the
// clipboard holds as CF_UNICODETEXT.
static std::vector<unsigned short> WideText(const char* text, HWND owner)
{
    std::vector<unsigned short> wide;
    if (text) {
        int units = MultiByteToWideChar(TEXT_CODE_PAGE, 0, text, -1, nullptr, 0);
        if (units > 1) {
            wide.resize((size_t)units);
            MultiByteToWideChar(TEXT_CODE_PAGE, 0, text, -1, (wchar_t*)wide.data(), units);
            wide.pop_back();
        }
        return wide;
    }
    if (!OpenClipboardFor(owner))
        return wide;
    if (HGLOBAL block = GetClipboardData(CF_UNICODETEXT)) {
        if (const unsigned short* units = (const unsigned short*)GlobalLock(block)) {
            // Another program's block may be of any size: no more is read
            // than a typed send can take (one key is at most two units), so
            // a longer text is still seen as too long.
            size_t n = GlobalSize(block) / sizeof *units;
            if (n > 2 * TYPED_LIMIT + 1)
                n = 2 * TYPED_LIMIT + 1;
            for (size_t i = 0; i < n && units[i]; i++)
                wide.push_back(units[i]);
            GlobalUnlock(block);
        }
    }
    CloseClipboard();
    return wide;
}

// Where the send goes and how: the reach, the method and, for a typed
// target, its keys (text null: the clipboard's text).
static void Route(const SendTarget& target, const char* text, HWND owner, SendRecord* send)
{
    send->reach = ReachOf(target.window);
    send->method = send->reach == REACH_KEYS ? MethodOf(target) : PASTE_CTRL_V;
    if (send->method != PASTE_TYPED)
        return;
    std::vector<unsigned short> wide = WideText(text, owner);
    if (!PlanTypedKeys(wide.data(), wide.size(), &send->typed)) {
        send->method = PASTE_CTRL_V;
        send->typedTooLong = true;
    }
}

int PutTextOnClipboard(HWND owner, const char* text, const SendTarget& target)
{
    s_send = SendRecord();
    s_send.open = true;
    s_send.owner = owner;
    Route(target, text, owner, &s_send);
    if (s_send.method == PASTE_TYPED) {
        s_send.placed = true;
        return 0;
    }
    // With a target to paste into, the user's clipboard can be kept; not
    // for one the keys cannot reach: the text stays for a paste by hand.
    if (target.keepClipboard && target.window && s_send.reach == REACH_KEYS) {
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

    if (!s_excluded.restored) {
        for (auto& entry : s_excluded.endings)
            for (unsigned char& c : entry)
                c = (unsigned char)(c - EXCLUSION_OFFSET);
        s_excluded.restored = true;
    }
    size_t length = strlen(title);
    const int ending = EXCLUDED_ENDING_SIZE - 1;
    if (length < (size_t)ending)
        return 0;
    for (auto& entry : s_excluded.endings)
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

static void Tell(const SendTarget& target, int why)
{
    if (target.pasteWithheld)
        target.pasteWithheld(why);
}

static void PressEnter()
{
    Key(VK_RETURN, 0);
    Key(VK_RETURN, KEYEVENTF_KEYUP);
}

// The paste keys of the method, once the clipboard is seen to offer the
// send's text.
static int PasteKeys(const SendTarget& target, const SendRecord& send, int withEnter)
{
    // The keeper runs what a read just before asked for first (the text
    // offered again, which may fail).
    bool keeperOffers = MarkPasteKeysSent();
    if (send.open && !(send.kept ? send.placed && keeperOffers : PlacedTextOffered(send))) {
        Tell(target, send.placed ? WITHHELD_REPLACED : WITHHELD_NOT_PLACED);
        return -1;
    }
    if (send.method == PASTE_SHIFT_INSERT) {
        Key(VK_SHIFT, 0);
        Key(VK_INSERT, KEYEVENTF_EXTENDEDKEY);
        Key(VK_INSERT, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP);
        Key(VK_SHIFT, KEYEVENTF_KEYUP);
    } else {
        Key(VK_CONTROL, 0);
        Key('V', 0);
        Key('V', KEYEVENTF_KEYUP);
        Key(VK_CONTROL, KEYEVENTF_KEYUP);
    }
    if (withEnter)
        PressEnter();
    if (send.typedTooLong)
        Tell(target, TOLD_TYPED_TOO_LONG);
    return 0;
}

static const DWORD TYPED_ANSWER_MS = 1000;  // a target that does not answer by then is left
static const DWORD TYPED_PAUSE_MS = 5;      // between batches

// Whether typing still goes to the target: it, or a window inside it, has
// the focus of the foreground window.
static bool TypingReaches(HWND target)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(target, nullptr);
    if (!thread || !GetGUIThreadInfo(thread, &info) || !info.hwndFocus)
        return false;
    return (info.hwndFocus == target || IsChild(target, info.hwndFocus)) &&
           GetForegroundWindow() == GetAncestor(target, GA_ROOT);
}

// The keys in batches of TYPED_BATCH; before each the focus is looked at,
// after each the target must answer. -1 when the typing stopped.
static int TypeKeys(HWND target, const std::vector<TypedKey>& keys)
{
    std::vector<INPUT> inputs;
    for (size_t at = 0; at < keys.size(); at += TYPED_BATCH) {
        if (!TypingReaches(target))
            return -1;
        inputs.clear();
        for (size_t i = at; i < keys.size() && i < at + TYPED_BATCH; i++) {
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            if (keys[i].enter) {
                input.ki.wVk = VK_RETURN;
            } else {
                input.ki.wScan = keys[i].unit;
                input.ki.dwFlags = KEYEVENTF_UNICODE;
            }
            inputs.push_back(input);
            input.ki.dwFlags |= KEYEVENTF_KEYUP;
            inputs.push_back(input);
        }
        if (SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT)) != inputs.size())
            return -1;
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutA(target, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, TYPED_ANSWER_MS, &answer))
            return -1;
        Sleep(TYPED_PAUSE_MS);
    }
    return 0;
}

int SendPasteKeys(const SendTarget& target, int withEnter)
{
    SendRecord send = s_send;
    s_send = SendRecord();
    // No send's text: the clipboard is pasted as it is.
    if (!send.open)
        Route(target, nullptr, nullptr, &send);
    if (send.reach == REACH_CLOSED || (target.window && !IsWindow(target.window))) {
        // The keys would land wherever the focus is.
        Tell(target, WITHHELD_TARGET_CLOSED);
        return -1;
    }
    *target.autoHideArmed = 0;
    ActivateTarget(target);
    int result = -1;
    if (send.reach == REACH_ELEVATED) {
        // In front for the paste by hand; keys would be dropped unseen.
        Tell(target, WITHHELD_TARGET_ELEVATED);
    } else if (send.method == PASTE_TYPED) {
        result = TypeKeys(target.window, send.typed);
        if (result != 0)
            Tell(target, TOLD_TYPING_STOPPED);
        else if (withEnter)
            PressEnter();
    } else {
        result = PasteKeys(target, send, withEnter);
    }
    *target.autoHideArmed = 1;
    return result;
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
    s_send = SendRecord();
    if (!target.window || IsExcludedTarget(target.window) == -1)
        return;
    SendPasteKeys(target, withEnter);
}

void SendText(HWND owner, const char* text, const SendTarget& target, int withEnter)
{
    PutTextOnClipboard(owner, text, target);
    if (target.window && IsExcludedTarget(target.window) != -1)
        SendPasteKeys(target, withEnter);
    s_send = SendRecord();
}
