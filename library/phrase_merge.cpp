// Carrying one edit of a label's list over to the label as the file holds it.
#include "library/phrase_merge.h"

#include <cstdlib>
#include <cstring>

#include "library/phrase_reader.h"
#include "library/phrase_walker.h"

void FreeListTexts(ListTexts* texts)
{
    free(texts->bytes);
    texts->bytes = nullptr;
    texts->size = 0;
}

bool SameListTexts(const ListTexts* a, const ListTexts* b)
{
    return a->bytes && b->bytes && a->size == b->size && memcmp(a->bytes, b->bytes, a->size) == 0;
}

int CountListTexts(const ListTexts* texts)
{
    int count = 0;
    for (size_t i = 0; texts->bytes && i < texts->size; i++)
        count += texts->bytes[i] == '\0';
    return count;
}

static int GetCursorText(void* context, int, char* text, size_t size)
{
    ListTextsCursor* cursor = (ListTextsCursor*)context;
    const char* next = cursor->texts->bytes + cursor->at;
    size_t n = strlen(next);
    cursor->at += n + 1;
    if (n >= size)
        return -1;
    memcpy(text, next, n + 1);
    return (int)n;
}

PhraseSource ListTextsSource(ListTextsCursor* cursor)
{
    return PhraseSource{cursor, CountListTexts(cursor->texts), GetCursorText};
}

namespace {

struct Text {
    const char* bytes;
    size_t length;
};

// The texts of a block, indexed.
struct Items {
    Text* at;
    int count;
};

bool IndexTexts(const ListTexts* texts, Items* items)
{
    items->count = CountListTexts(texts);
    items->at = (Text*)malloc(sizeof(Text) * (items->count + 1));
    if (!items->at)
        return false;
    size_t start = 0;
    int n = 0;
    for (size_t i = 0; i < texts->size; i++) {
        if (texts->bytes[i] == '\0') {
            items->at[n].bytes = texts->bytes + start;
            items->at[n].length = i - start;
            n++;
            start = i + 1;
        }
    }
    return true;
}

bool Same(const Text& a, const Text& b)
{
    return a.length == b.length && memcmp(a.bytes, b.bytes, a.length) == 0;
}

// True when a[from..from+n) equals b[0..n).
bool RunAt(const Items& a, int from, const Text* b, int n)
{
    if (from < 0 || from + n > a.count)
        return false;
    for (int i = 0; i < n; i++)
        if (!Same(a.at[from + i], b[i]))
            return false;
    return true;
}

// How well position q of theirs (a run of n texts starting there, or an
// insertion point when n is 0) keeps the neighbours the run had in the base:
// one point for each side that still matches.
int Context(const Items& theirs, int q, int n, const Text* before, const Text* after)
{
    int score = 0;
    if (before ? (q > 0 && Same(theirs.at[q - 1], *before)) : q == 0)
        score++;
    if (after ? (q + n < theirs.count && Same(theirs.at[q + n], *after)) : q + n == theirs.count)
        score++;
    return score;
}

int Occurrences(const Items& items, const Text& text)
{
    int n = 0;
    for (int i = 0; i < items.count; i++)
        n += Same(items.at[i], text);
    return n;
}

// True when a phrase of the run occurs more than once in items: which of
// them the edit meant cannot be told from the phrases alone.
bool Repeated(const Items& items, const Text* run, int n)
{
    for (int i = 0; i < n; i++)
        if (Occurrences(items, run[i]) > 1)
            return true;
    return false;
}

// The place in theirs of the run (n texts; 0: an insertion point) that
// stood in the base between before and after (null: the list's start or
// end), where it can be put without doubt: the one place that keeps the
// most of that context, and at least one side of it (both when a phrase of
// the run stood more than once in the base). A phrase the edit replaces,
// deletes or moves that theirs holds twice, two places that keep as much,
// or no place at all: -1, the edit cannot be carried over.
int FindPlace(const Items& base, const Items& theirs, const Text* run, int n, const Text* before,
              const Text* after)
{
    if (Repeated(theirs, run, n))
        return -1;
    int needed = n > 0 && Repeated(base, run, n) ? 2 : 1;
    int best = -1, bestScore = -1;
    bool tied = false;
    for (int q = 0; q + n <= theirs.count; q++) {
        if (!RunAt(theirs, q, run, n))
            continue;
        int score = Context(theirs, q, n, before, after);
        if (score > bestScore) {
            best = q;
            bestScore = score;
            tied = false;
        } else if (score == bestScore) {
            tied = true;
        }
    }
    return best >= 0 && !tied && bestScore >= needed ? best : -1;
}

// An addition at the top or the end goes there only while the phrase it
// was added beside is still first or last (or the list still empty).
bool EdgeKept(const Items& base, const Items& theirs, bool top)
{
    if (base.count == 0 || theirs.count == 0)
        return base.count == theirs.count;
    return top ? Same(theirs.at[0], base.at[0]) : Same(theirs.at[theirs.count - 1], base.at[base.count - 1]);
}

// Appends texts to the block being built; false when memory ran out.
struct Builder {
    char* bytes;
    size_t size;
    size_t capacity;
    bool failed;
};

void Add(Builder* b, const Text* texts, int n)
{
    for (int i = 0; i < n && !b->failed; i++) {
        size_t need = b->size + texts[i].length + 1;
        if (need > b->capacity) {
            size_t capacity = need > 2 * b->capacity ? need : 2 * b->capacity;
            char* grown = (char*)realloc(b->bytes, capacity);
            if (!grown) {
                b->failed = true;
                return;
            }
            b->bytes = grown;
            b->capacity = capacity;
        }
        memcpy(b->bytes + b->size, texts[i].bytes, texts[i].length);
        b->bytes[b->size + texts[i].length] = '\0';
        b->size = need;
    }
}

// The base's run [p, p + k) became ours' run [p, p + m): put ours' run in
// theirs where the base's run still stands.
MergeOutcome Replace(const Items& base, const Items& ours, const Items& theirs, int p, int k, int m,
                     Builder* out)
{
    const Text* before = p > 0 ? &base.at[p - 1] : nullptr;
    const Text* after = p + k < base.count ? &base.at[p + k] : nullptr;
    int q;
    if (k == 0 && !after)
        q = EdgeKept(base, theirs, false) ? theirs.count : -1;  // added at the end
    else if (k == 0 && !before)
        q = EdgeKept(base, theirs, true) ? 0 : -1;  // added at the top
    else
        q = FindPlace(base, theirs, base.at + p, k, before, after);
    if (q < 0)
        return MERGE_CONFLICT;
    Add(out, theirs.at, q);
    Add(out, ours.at + p, m);
    Add(out, theirs.at + q + k, theirs.count - q - k);
    return MERGE_APPLIED;
}

// The run is a move when ours' run is the base's turned round by r: the
// shorter part moved past the longer one. Returns false when it is not.
bool IsRotation(const Items& base, const Items& ours, int p, int k, int m, int* r)
{
    if (k != m || k < 2)
        return false;
    for (int turn = 1; turn < k; turn++) {
        if (RunAt(ours, p, base.at + p + turn, k - turn) && RunAt(ours, p + k - turn, base.at + p, turn)) {
            *r = turn;
            return true;
        }
    }
    return false;
}

// A block moved: found in theirs, taken out and put back beside the phrase
// it was moved past (after it when moved down, before it when moved up).
MergeOutcome Move(const Items& base, const Items& theirs, int p, int k, int r, Builder* out)
{
    bool down = r <= k - r;
    int from = down ? p : p + r;        // the moved block's place in the base
    int n = down ? r : k - r;
    const Text* block = base.at + from;
    const Text* before = from > 0 ? &base.at[from - 1] : nullptr;
    const Text* after = from + n < base.count ? &base.at[from + n] : nullptr;
    int q = FindPlace(base, theirs, block, n, before, after);
    if (q < 0)
        return MERGE_CONFLICT;
    // The phrase passed: the last of the rest when moving down, the first
    // when moving up. Looked for where it stood from the block in the base,
    // else the nearest on that side of the block.
    const Text& passed = down ? base.at[p + k - 1] : base.at[p];
    int anchor = -1;
    if (down) {
        int at = q + k - 1;
        if (at < theirs.count && Same(theirs.at[at], passed))
            anchor = at + 1;  // insert after it
        for (int i = q + n; i < theirs.count && anchor < 0; i++)
            if (Same(theirs.at[i], passed))
                anchor = i + 1;
    } else {
        int at = q - (k - n);
        if (at >= 0 && Same(theirs.at[at], passed))
            anchor = at;  // insert before it
        for (int i = q - 1; i >= 0 && anchor < 0; i--)
            if (Same(theirs.at[i], passed))
                anchor = i;
    }
    if (anchor < 0)
        return MERGE_CONFLICT;
    if (down) {
        Add(out, theirs.at, q);
        Add(out, theirs.at + q + n, anchor - q - n);
        Add(out, block, n);
        Add(out, theirs.at + anchor, theirs.count - anchor);
    } else {
        Add(out, theirs.at, anchor);
        Add(out, block, n);
        Add(out, theirs.at + anchor, q - anchor);
        Add(out, theirs.at + q + n, theirs.count - q - n);
    }
    return MERGE_APPLIED;
}

}  // namespace

MergeOutcome MergePhraseEdit(const ListTexts* base, const ListTexts* ours, const ListTexts* theirs,
                             ListTexts* merged)
{
    merged->bytes = nullptr;
    merged->size = 0;
    if (SameListTexts(base, ours))
        return MERGE_NO_EDIT;
    // Without the base there is no telling what the edit was.
    if (!base->bytes || !ours->bytes || !theirs->bytes)
        return MERGE_CONFLICT;
    Items b = {nullptr, 0}, o = {nullptr, 0}, t = {nullptr, 0};
    Builder out = {nullptr, 0, 0, false};
    MergeOutcome outcome = MERGE_FAILED;
    if (IndexTexts(base, &b) && IndexTexts(ours, &o) && IndexTexts(theirs, &t)) {
        int p = 0;
        while (p < b.count && p < o.count && Same(b.at[p], o.at[p]))
            p++;
        int s = 0;
        while (s < b.count - p && s < o.count - p && Same(b.at[b.count - 1 - s], o.at[o.count - 1 - s]))
            s++;
        int k = b.count - p - s, m = o.count - p - s, r = 0;
        // Theirs already holds the edit (it is ours), or the label is as
        // loaded: the result is ours.
        if (SameListTexts(theirs, ours) || SameListTexts(theirs, base)) {
            Add(&out, o.at, o.count);
            outcome = MERGE_APPLIED;
        } else if (IsRotation(b, o, p, k, m, &r)) {
            outcome = Move(b, t, p, k, r, &out);
        } else {
            outcome = Replace(b, o, t, p, k, m, &out);
        }
        // An empty list is a block of no bytes, but a known one.
        if (outcome == MERGE_APPLIED && !out.bytes && !out.failed)
            out.failed = (out.bytes = (char*)malloc(1)) == nullptr;
        if (out.failed)
            outcome = MERGE_FAILED;
    }
    free(b.at);
    free(o.at);
    free(t.at);
    if (outcome == MERGE_APPLIED) {
        merged->bytes = out.bytes;
        merged->size = out.size;
    } else {
        free(out.bytes);
    }
    return outcome;
}

namespace {

int AddToBlock(void* context, const char* text, size_t length)
{
    Builder* b = (Builder*)context;
    Text t = {text, length};
    // A text is kept up to its first NUL, as the list view holds it.
    t.length = strnlen(text, length);
    Add(b, &t, 1);
    return b->failed ? -1 : 0;
}

}  // namespace

int ReadListTexts(const char* phrasePath, const LabelNode* target, ListTexts* texts)
{
    Builder b = {(char*)malloc(1), 0, 1, false};
    texts->bytes = nullptr;
    texts->size = 0;
    if (!b.bytes)
        return -1;
    PhraseSink sink = {&b, AddToBlock};
    if (ReadPhraseList(phrasePath, target, &sink) != 0 || b.failed) {
        free(b.bytes);
        return -1;
    }
    texts->bytes = b.bytes;
    texts->size = b.size;
    return 0;
}

LabelNode* FindSameLabel(LabelNode* root, const LabelNode* old)
{
    LabelPath path;
    if (!root || !old || LabelPathOf(old, &path) != 0)
        return nullptr;
    LabelNode* node = root;
    for (int level = 0; node && level < path.count; level++) {
        int seen = 0;
        LabelNode* child = node->firstChild;
        for (; child; child = child->nextSibling) {
            if (strcmp(child->name, path.name[level]) == 0 && seen++ == path.ordinal[level])
                break;
        }
        node = child;
    }
    return node;
}

namespace {

int EqualNamed(const LabelNode* node)
{
    int n = 0;
    for (const LabelNode* sibling = node->parent ? node->parent->firstChild : node; sibling;
         sibling = sibling->nextSibling)
        n += strcmp(sibling->name, node->name) == 0;
    return n;
}

}  // namespace

bool EqualNamesChanged(const LabelNode* old, const LabelNode* now)
{
    for (; old && now && old->parent && now->parent; old = old->parent, now = now->parent)
        if (EqualNamed(old) != EqualNamed(now))
            return true;
    return false;
}
