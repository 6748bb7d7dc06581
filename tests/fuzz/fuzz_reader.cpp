// The tokenizer and the two readers on any file bytes.
#include <algorithm>

#include "library/phrase_reader.h"
#include "library/phrase_token.h"
#include "library/phrase_walker.h"
#include "tests/fuzz/fuzz_files.h"
#include "tests/walk_events.h"  // ReleaseCopyView, CloseCopyView

// The input, which the walks of each label see in place as an exact copy
// of it on the heap (as kCopyViewer does, without reading the file again).
static std::string g_input;

static int OpenInputView(const char*, FileView* view)
{
    char* copy = g_input.empty() ? nullptr : (char*)malloc(g_input.size());
    if (!copy)
        return -1;
    memcpy(copy, g_input.data(), g_input.size());
    view->bytes = copy;
    view->length = g_input.size();
    return 0;
}

static const FileViewer kInputViewer = {OpenInputView, ReleaseCopyView, CloseCopyView};

// Every token of the file through a text buffer of textSize bytes: the text
// never outgrows it and the reader always reaches the end.
static void ReadAllTokens(const std::string& path, size_t textSize)
{
    FILE* f = FileOpen(path.c_str(), "rb");
    FUZZ_CHECK(f);
    TokenReader reader;
    FUZZ_CHECK(StartTokenReader(&reader, f) == 0);
    // Exactly textSize bytes, so that a write past them is caught; not
    // cleared (nothing reads what was not written).
    char* text = (char*)kept_buffers::Take(textSize);
    FUZZ_CHECK(text);
    long lastLine = 0;
    for (;;) {
        size_t length = (size_t)-1;
        int token = ReadToken(&reader, text, textSize, &length);
        FUZZ_CHECK(reader.lineNumber >= lastLine);
        lastLine = reader.lineNumber;
        if (token == TOKEN_END)
            break;
        if (token == TOKEN_TEXT) {
            FUZZ_CHECK(length < textSize);
            FUZZ_CHECK(text[length] == '\0');
        }
    }
    FUZZ_CHECK(ReadToken(&reader, text, textSize) == TOKEN_END);
    kept_buffers::Give(text, textSize);
    EndTokenReader(&reader);
    FileClose(f);
}

// One walk of the file from the root with phrases kept, stepped by the
// caller: a quiet walk must report exactly the full walk's events less the
// ones it leaves out (<p>, </p>, a quoted line in a phrase), at the same
// lines, with the same texts and the same failure. With skipDeep the
// bodies of the labels below the top level are skipped.
struct SteppedWalk {
    PhraseWalker w;
    LibraryError error = {};
    bool quiet;
    bool skipDeep;
    int started;
    bool skipNext = false;
    bool skipFailed = false;
    bool deepLabels = false;  // a label below the top level was met

    // From the open file, or by path (OpenWalk: through the viewer set).
    SteppedWalk(FILE* file, const char* path, bool quiet, bool skipDeep)
        : quiet(quiet), skipDeep(skipDeep)
    {
        started = file ? StartWalk(&w, file, nullptr, true, &error)
                       : OpenWalk(&w, path, nullptr, true, &error);
        w.quiet = quiet;
    }
    ~SteppedWalk() { EndWalk(&w); }

    // The next event the two kinds of walk both report. The body of a
    // label below the top level is skipped on the way to the next one.
    int Next()
    {
        if (skipNext && WalkSkipBody(&w) != 0) {
            skipFailed = true;
            return WALK_FAILED;
        }
        for (;;) {
            int event = WalkNext(&w);
            bool inner = event == WALK_PHRASE_OPEN || event == WALK_PHRASE_CLOSE ||
                         (event == WALK_TEXT && w.inPhrase);
            FUZZ_CHECK(!(inner && quiet));
            if (inner)
                continue;
            skipNext = event == WALK_LABEL && w.depth >= 2;
            deepLabels = deepLabels || skipNext;
            skipNext = skipNext && skipDeep;
            return event;
        }
    }
};

// The walks side by side, event by event, to the end of the first.
static void WalkInStep(SteppedWalk* const* walks, size_t n)
{
    for (size_t i = 1; i < n; i++)
        FUZZ_CHECK(walks[i]->started == walks[0]->started);
    if (walks[0]->started == 0) {
        for (bool done = false; !done;) {
            int event = walks[0]->Next();
            const PhraseWalker& a = walks[0]->w;
            for (size_t i = 1; i < n; i++) {
                FUZZ_CHECK(walks[i]->Next() == event);
                const PhraseWalker& b = walks[i]->w;
                FUZZ_CHECK(b.tokens.lineNumber == a.tokens.lineNumber && b.depth == a.depth);
                FUZZ_CHECK(walks[i]->skipFailed == walks[0]->skipFailed);
                if (event == WALK_LABEL)
                    FUZZ_CHECK(b.textLength == a.textLength && memcmp(b.text, a.text, a.textLength) == 0);
                else if (event == WALK_PHRASE)
                    FUZZ_CHECK(b.phrase.length == a.phrase.length &&
                               memcmp(b.phrase.text, a.phrase.text, a.phrase.length) == 0);
                else if (event == WALK_TEXT)
                    FUZZ_CHECK(b.lineLength == a.lineLength && memcmp(b.line, a.line, a.lineLength) == 0);
            }
            done = event == WALK_END || event == WALK_FAILED;
        }
    }
    for (size_t i = 1; i < n; i++) {
        FUZZ_CHECK(walks[i]->error.line == walks[0]->error.line);
        FUZZ_CHECK(strcmp(walks[i]->error.what, walks[0]->error.what) == 0);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = FuzzPath("lib.htm");
    g_input.assign((const char*)data, size);
    WriteFuzzFile(path, g_input);

    ReadAllTokens(path, size > 0 ? 1 + data[0] % 16 : 1);
    ReadAllTokens(path, PHRASE_BUFFER_SIZE);

    // A quiet walk's quick path reports what the full walk does, read and
    // seen in place (an exact copy: a read past its end is caught).
    FILE* loudFile = FileOpen(path.c_str(), "rb");
    FILE* quietFile = FileOpen(path.c_str(), "rb");
    FUZZ_CHECK(loudFile && quietFile);
    bool deepLabels;
    {
        SteppedWalk loud(loudFile, nullptr, false, false), quiet(quietFile, nullptr, true, false);
        SetFileViewer(&kInputViewer);
        SteppedWalk inPlace(nullptr, path.c_str(), true, false);
        SetFileViewer(nullptr);
        SteppedWalk* walks[] = {&loud, &quiet, &inPlace};
        WalkInStep(walks, 3);
        FUZZ_CHECK(loud.w.phraseTags == quiet.w.phraseTags);
        deepLabels = loud.deepLabels;
    }
    // The same with the bodies below the top level skipped, where there
    // are such labels (elsewhere these are the walks above again).
    if (deepLabels) {
        rewind(loudFile);
        rewind(quietFile);
        SteppedWalk loud(loudFile, nullptr, false, true), quiet(quietFile, nullptr, true, true);
        SteppedWalk* walks[] = {&loud, &quiet};
        WalkInStep(walks, 2);
        FUZZ_CHECK(loud.w.phraseTags == quiet.w.phraseTags);
    }
    FileClose(loudFile);
    FileClose(quietFile);

    LabelNode* root = (LabelNode*)1;
    LibraryError error;
    memset(&error, 0x55, sizeof error);
    int treeResult = ReadLabelTree(path.c_str(), &root, &error);
    // The whole-file walk holds no tree but fails, counts and finds as the tree.
    LibraryError walkError;
    memset(&walkError, 0, sizeof walkError);
    LibraryCounts counts;
    FUZZ_CHECK(WalkLibraryFile(path.c_str(), nullptr, &counts, &walkError) == treeResult);
    if (treeResult != 0) {
        FUZZ_CHECK(walkError.line == error.line && strcmp(walkError.what, error.what) == 0);
        FUZZ_CHECK(root == nullptr);
        FUZZ_CHECK(memchr(error.what, '\0', sizeof error.what));
        FUZZ_CHECK(error.line >= 0);
        // The phrase reader walks such a file too (it may still find the
        // root label's phrases before the fault).
        Collected phrases;
        PhraseSink sink = {&phrases, CollectPhrase};
        ReadPhraseList(path.c_str(), nullptr, &sink);
        for (const std::string& text : phrases.texts)
            FUZZ_CHECK(text.size() < (size_t)PHRASE_BUFFER_SIZE);
        return 0;
    }
    FUZZ_CHECK(root && !root->parent && root->name[0] == '\0');
    std::vector<LabelNode*> labels = LabelsInOrder(root);
    FUZZ_CHECK(counts.labels == (long)labels.size());
    // Each label is found, and its phrases read, by a walk of its own: for
    // the first labels, and as many from a place the input picks (so that
    // the campaign's inputs reach every label of a large file, and each
    // input costs a bounded number of walks). They read the file in place,
    // from memory.
    const size_t FIRST = 4, PICKED = 4;
    std::vector<LabelNode*> checked(labels.begin(), labels.begin() + std::min(labels.size(), FIRST));
    if (labels.size() > FIRST) {
        size_t from = FIRST + data[size / 2] % (labels.size() - FIRST);
        for (size_t i = from; i < labels.size() && i < from + PICKED; i++)
            checked.push_back(labels[i]);
    }
    SetFileViewer(&kInputViewer);
    for (LabelNode* label : checked) {
        LabelPath steps;
        FUZZ_CHECK(LabelPathOf(label, &steps) == 0);
        FUZZ_CHECK(WalkLibraryFile(path.c_str(), &steps, &counts, nullptr) == 0 && counts.found);
    }
    for (LabelNode* label : labels) {
        FUZZ_CHECK(memchr(label->name, '\0', LABEL_NAME_SIZE));
        FUZZ_CHECK(LabelDepth(label) <= MAX_LABEL_DEPTH);
        for (LabelNode* child = label->firstChild; child; child = child->nextSibling)
            FUZZ_CHECK(child->parent == label);
    }

    // The root's phrases and those of a few labels; a stopping sink fails
    // the read.
    // A stopping sink fails the read: tried on the last of those labels
    // that has phrases (the sink's stop is the same at every label).
    LabelNode* stopAt = nullptr;
    for (LabelNode* label : checked) {
        Collected phrases;
        PhraseSink each = {&phrases, CollectPhrase};
        FUZZ_CHECK(ReadPhraseList(path.c_str(), label, &each) == 0);
        for (const std::string& text : phrases.texts)
            FUZZ_CHECK(text.size() < (size_t)PHRASE_BUFFER_SIZE);
        if (!phrases.texts.empty())
            stopAt = label;
    }
    if (stopAt) {
        Collected stopped;
        stopped.stopAfter = 0;
        PhraseSink stopping = {&stopped, CollectPhrase};
        FUZZ_CHECK(ReadPhraseList(path.c_str(), stopAt, &stopping) != 0);
    }
    SetFileViewer(nullptr);
    Collected all;
    PhraseSink sink = {&all, CollectPhrase};
    FUZZ_CHECK(ReadPhraseList(path.c_str(), nullptr, &sink) == 0);
    FreeLabelTree(root);
    return 0;
}
