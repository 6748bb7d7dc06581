// The filter box's results in the phrase list: the list they replace kept
// aside and given back, the held copies of the library they come from, and
// the label each result stands in.
#include "library/win32/phrase_views.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/sjis.h"
#include "library/phrase_filter.h"

static HeldLibrary s_held;
static std::vector<uint32_t> s_rows;  // a result row's phrase in s_held
static bool s_showing;
static bool s_running;                // a query is under way (goOn may dispatch messages)
static unsigned s_toldLabel;          // g_views.told when a result's label was named
static DWORD s_checked;               // tick of the last check of the file's stamp
// Taking the file's stamp costs about a millisecond under load; the keys of
// one word come faster than other programs change the library.
static const DWORD STAMP_CHECK_MS = 1000;

// The list as it was when the filter began, to be given back.
static ListTexts s_kept;
static std::vector<char> s_keptSelected;  // one flag a row
static bool s_keptLoaded;
static bool s_keptResults;
static bool s_keptOwn;                    // it was the open label's own list
static FileStamp s_keptStamp;             // the file as the views held it then

bool FilterShowing()
{
    return s_showing;
}

size_t FilterHeldBytes()
{
    return HeldLibraryBytes(&s_held);
}

// Keeps the list as it is, once its edits are in the file: the results
// take its place, and they are never stored.
static int KeepList(HWND list)
{
    if (StorePhraseListNow(list) != 0)
        return -1;
    s_kept = TakeListTexts(list);
    if (!s_kept.bytes)
        return -1;
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    s_keptSelected.assign(count + 1, 0);
    for (int i = -1; (i = (int)SendMessageA(list, LVM_GETNEXTITEM, i, MAKELPARAM(LVNI_SELECTED, 0))) >= 0 && i < count;)
        s_keptSelected[i] = 1;
    s_keptOwn = IsPhraseListEditable();
    s_keptLoaded = g_views.listLoaded;
    s_keptResults = g_views.showingResults;
    s_keptStamp = g_views.stamp;
    return 0;
}

static void ForgetKeptList()
{
    FreeListTexts(&s_kept);
    std::vector<char>().swap(s_keptSelected);
    std::vector<uint32_t>().swap(s_rows);
    s_showing = false;
}

// A virtual list shows the held texts themselves, in one step.
static void ShowRows(HWND list)
{
    if (IsVirtualList(list)) {
        std::vector<const char*> texts;
        texts.reserve(s_rows.size());
        for (uint32_t row : s_rows)
            texts.push_back(s_held.texts.data() + s_held.phrases[row].text);
        if (ShowBorrowedRows(list, texts.data(), texts.size()) != 0)
            s_rows.clear();
    } else {
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        ClearPhraseList(list);
        for (uint32_t row : s_rows)
            InsertPhrase(list, -1, s_held.texts.data() + s_held.phrases[row].text);
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
    }
    if (!s_rows.empty())
        SelectPhraseRow(list, 0);
}

int ShowFilterResults(HWND list, const char* text, size_t size, const FilterGoOn* goOn)
{
    if (s_running)
        return 1;
    SearchWords words;
    if (!BuildFilterWords(text, size, &words))
        return -1;
    if (words.count == 0) {
        EndFilter(list, true);
        return 0;
    }
    bool wasShowing = s_showing;
    if (!s_showing && KeepList(list) != 0) {
        FreeListTexts(&s_kept);
        return -1;
    }
    s_showing = true;
    // What the list shows from now on is no label's own.
    g_views.showingResults = true;
    bool check = !s_held.stamp.known || !wasShowing || GetTickCount() - s_checked >= STAMP_CHECK_MS;
    if (check)
        s_checked = GetTickCount();
    if (check && !HeldLibraryCurrent(&s_held, g_views.files.phrase)) {
        // The rows shown point into the copies about to be replaced.
        s_rows.clear();
        ShowRows(list);
        if (HoldLibrary(g_views.files.phrase, &s_held) != 0)
            return -1;
    }
    s_running = true;
    long found = FilterHeldLibrary(&s_held, &words, goOn, &s_rows);
    s_running = false;
    if (found == -1)
        return 1;
    ShowRows(list);
    g_views.showingResults = true;
    return found >= 0 ? 0 : -1;
}

void EndFilter(HWND list, bool restore)
{
    if (!s_showing)
        return;
    if (restore) {
        if (s_keptOwn && g_views.selectedPath && !SameFileStamp(&g_views.stamp, &s_keptStamp)) {
            // The file changed meanwhile: the label as it holds it now.
            g_views.listLoaded = LoadPhraseList(list, g_views.selectedPath) == 0;
            FreeListTexts(&g_views.storedTexts);
            if (g_views.listLoaded)
                g_views.storedTexts = TakeListTexts(list);
            g_views.showingResults = false;
        } else {
            FillPhraseList(list, &s_kept, s_keptSelected.data());
            g_views.listLoaded = s_keptLoaded;
            g_views.showingResults = s_keptResults;
        }
    }
    ForgetKeptList();
    // The label of a result no longer shown is wiped; a later word stays.
    if (s_toldLabel && g_views.told == s_toldLabel)
        TellUser("");
    s_toldLabel = 0;
}

void TellFilterLabel(HWND list)
{
    if (!s_showing)
        return;
    int row = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, MAKELPARAM(LVNI_SELECTED, 0));
    if (row < 0 || row >= (int)s_rows.size()) {
        if (s_toldLabel && g_views.told == s_toldLabel)
            TellUser("");
        s_toldLabel = 0;
        return;
    }
    char path[NAME_PATH_SIZE];
    HeldLabelPath(&s_held, s_rows[row], path, sizeof path);
    char said[NAME_PATH_SIZE + 32];
    snprintf(said, sizeof said, "ラベル：%s", path[0] ? path : "（最上位）");
    TellUser(said);
    s_toldLabel = g_views.told;
}
