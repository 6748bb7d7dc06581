// The filter box's results in the phrase list: the list they replace kept
// aside and given back, the held copies of the library they come from, and
// the label each result stands in.
#include "library/win32/filter_results.h"
#include "common/win32/window_messages.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/sjis.h"
#include "library/phrase_filter.h"
#include "library/win32/library_views.h"
#include "library/win32/list_rows.h"
#include "library/win32/list_store.h"
#include "library/win32/phrase_list.h"

// Taking the file's stamp costs about a millisecond under load; the keys of
// one word come faster than other programs change the library.
static const DWORD STAMP_CHECK_MS = 1000;
// The fold ahead: it begins at the first idle after it is asked for (at
// start-up: a timer comes after every message and paint waiting), then
// takes a slice of a few milliseconds at each tick, and slice after slice
// while the thread is idle, so a key or a paint waits at most one slice
// (under half a frame of the display).
static const UINT FOLD_START_MS = USER_TIMER_MINIMUM;
static const UINT FOLD_TICK_MS = 10;
static const double FOLD_SLICE_MS = 8.0;
static const size_t FOLD_STEP_PHRASES = 256;  // phrases between two looks at the clock

// The filter's state, this file's alone.
struct FilterResults {
    HeldLibrary held;
    LibraryHold hold;            // the fold ahead into held, while folding
    bool folding;
    std::vector<uint32_t> rows;  // a result row's phrase in held
    bool showing;
    bool running;                // a query is under way (goOn may dispatch messages)
    unsigned toldLabel;          // g_views.told when a result's label was named
    DWORD checked;               // tick of the last check of the file's stamp
    // The list as it was when the filter began, to be given back.
    ListTexts kept;
    std::vector<char> keptSelected;  // one flag a row
    bool keptLoaded;
    bool keptResults;
    bool keptOwn;                    // it was the open label's own list
    FileStamp keptStamp;             // the file as the views held it then
};
static FilterResults s_filter;

bool FilterShowing()
{
    return s_filter.showing;
}

size_t FilterHeldBytes()
{
    return HeldLibraryBytes(&s_filter.held);
}

static double Milliseconds()
{
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return now.QuadPart * 1000.0 / frequency.QuadPart;
}

static void EndFold(HWND list)
{
    KillTimer(list, IDT_FOLD_AHEAD);
    s_filter.folding = false;
}

// One slice of the fold. The file is let go between slices: other
// programs (and fenlop's own stores) may replace it meanwhile, and the
// fold then begins again on the new file. A fold that fails leaves held
// empty, and the box's first key reads the file as it would have.
static void CALLBACK OnFoldTimer(HWND list, UINT, UINT_PTR, DWORD)
{
    if (!s_filter.folding) {
        KillTimer(list, IDT_FOLD_AHEAD);
        return;
    }
    SetTimer(list, IDT_FOLD_AHEAD, FOLD_TICK_MS, OnFoldTimer);
    for (;;) {
        double start = Milliseconds();
        int result;
        do
            result = HoldMore(&s_filter.hold, g_views.files.phrase, &s_filter.held, FOLD_STEP_PHRASES);
        while (result == 1 && Milliseconds() - start < FOLD_SLICE_MS);
        if (result != 1) {
            EndFold(list);
            return;
        }
        PauseHold(&s_filter.hold);
        // While nothing waits for the thread (no input, paint, timer or
        // message of another thread) the next slice follows at once: the
        // fold is done by the time the user types, a key still waits for
        // one slice at most.
        if (HIWORD(GetQueueStatus(QS_ALLINPUT)) != 0)
            return;
    }
}

void FoldLibraryAhead(HWND list)
{
    // Not over copies that results on show point into.
    if (s_filter.folding || s_filter.showing || s_filter.held.stamp.known)
        return;
    if (SetTimer(list, IDT_FOLD_AHEAD, FOLD_START_MS, OnFoldTimer))
        s_filter.folding = true;
}

// A key came before the fold ahead ended: the rest now.
static void FinishFold(HWND list)
{
    if (!s_filter.folding)
        return;
    if (HoldMore(&s_filter.hold, g_views.files.phrase, &s_filter.held, 0) != 0)
        EndHold(&s_filter.hold, &s_filter.held);
    EndFold(list);
}

// Keeps the list as it is, once its edits are in the file: the results
// take its place, and they are never stored.
static int KeepList(HWND list)
{
    if (StorePhraseListNow(list) != 0)
        return -1;
    s_filter.kept = TakeListTexts(list);
    if (!s_filter.kept.bytes)
        return -1;
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    s_filter.keptSelected.assign(count + 1, 0);
    for (int i = -1; (i = (int)SendMessageA(list, LVM_GETNEXTITEM, i, MAKELPARAM(LVNI_SELECTED, 0))) >= 0 && i < count;)
        s_filter.keptSelected[i] = 1;
    s_filter.keptOwn = IsPhraseListEditable();
    s_filter.keptLoaded = g_views.listLoaded;
    s_filter.keptResults = g_views.showingResults;
    s_filter.keptStamp = g_views.stamp;
    return 0;
}

static void ForgetKeptList()
{
    FreeListTexts(&s_filter.kept);
    std::vector<char>().swap(s_filter.keptSelected);
    std::vector<uint32_t>().swap(s_filter.rows);
    s_filter.showing = false;
}

// A virtual list shows the held texts themselves, in one step.
static void ShowRows(HWND list)
{
    if (IsVirtualList(list)) {
        std::vector<const char*> texts;
        texts.reserve(s_filter.rows.size());
        for (uint32_t row : s_filter.rows)
            texts.push_back(s_filter.held.texts.data() + s_filter.held.phrases[row].text);
        if (ShowBorrowedRows(list, texts.data(), texts.size()) != 0)
            s_filter.rows.clear();
    } else {
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        ClearPhraseList(list);
        for (uint32_t row : s_filter.rows)
            InsertPhrase(list, -1, s_filter.held.texts.data() + s_filter.held.phrases[row].text);
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
    }
    if (!s_filter.rows.empty())
        SelectPhraseRow(list, 0);
}

int ShowFilterResults(HWND list, const char* text, size_t size, const FilterGoOn* goOn)
{
    if (s_filter.running)
        return 1;
    SearchWords words;
    if (!BuildFilterWords(text, size, &words))
        return -1;
    if (words.count == 0) {
        EndFilter(list, true);
        return 0;
    }
    FinishFold(list);
    bool wasShowing = s_filter.showing;
    if (!s_filter.showing && KeepList(list) != 0) {
        FreeListTexts(&s_filter.kept);
        return -1;
    }
    s_filter.showing = true;
    // What the list shows from now on is no label's own.
    g_views.showingResults = true;
    bool check = !s_filter.held.stamp.known || !wasShowing || GetTickCount() - s_filter.checked >= STAMP_CHECK_MS;
    if (check)
        s_filter.checked = GetTickCount();
    if (check && !HeldLibraryCurrent(&s_filter.held, g_views.files.phrase)) {
        // The rows shown point into the copies about to be replaced.
        s_filter.rows.clear();
        ShowRows(list);
        if (HoldLibrary(g_views.files.phrase, &s_filter.held) != 0)
            return -1;
    }
    s_filter.running = true;
    long found = FilterHeldLibrary(&s_filter.held, &words, goOn, &s_filter.rows);
    s_filter.running = false;
    if (found == -1)
        return 1;
    ShowRows(list);
    g_views.showingResults = true;
    return found >= 0 ? 0 : -1;
}

void EndFilter(HWND list, bool restore)
{
    if (!s_filter.showing)
        return;
    if (restore) {
        if (s_filter.keptOwn && g_views.selectedPath && !SameFileStamp(&g_views.stamp, &s_filter.keptStamp)) {
            // The file changed meanwhile: the label as it holds it now.
            ReloadOpenList(list);
            g_views.showingResults = false;
        } else {
            FillPhraseList(list, &s_filter.kept, s_filter.keptSelected.data());
            g_views.listLoaded = s_filter.keptLoaded;
            g_views.showingResults = s_filter.keptResults;
        }
    }
    ForgetKeptList();
    // The label of a result no longer shown is wiped; a later word stays.
    if (s_filter.toldLabel && g_views.told == s_filter.toldLabel)
        TellUser("");
    s_filter.toldLabel = 0;
}

void TellFilterLabel(HWND list)
{
    if (!s_filter.showing)
        return;
    int row = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, MAKELPARAM(LVNI_SELECTED, 0));
    if (row < 0 || row >= (int)s_filter.rows.size()) {
        if (s_filter.toldLabel && g_views.told == s_filter.toldLabel)
            TellUser("");
        s_filter.toldLabel = 0;
        return;
    }
    char path[NAME_PATH_SIZE];
    HeldLabelPath(&s_filter.held, s_filter.rows[row], path, sizeof path);
    char said[NAME_PATH_SIZE + 32];
    snprintf(said, sizeof said, "ラベル：%s", path[0] ? path : "（最上位）");
    TellUser(said);
    s_filter.toldLabel = g_views.told;
}
