// The tokenizer and the two readers on any file bytes.
#include <algorithm>
#include <memory>

#include "library/phrase_reader.h"
#include "library/phrase_token.h"
#include "library/phrase_walker.h"
#include "tests/fuzz/fuzz_files.h"
#include "tests/walk_events.h"

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
    std::unique_ptr<char[]> room(new char[textSize]);
    char* text = room.get();
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
    EndTokenReader(&reader);
    FileClose(f);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = FuzzPath("lib.htm");
    g_input.assign((const char*)data, size);
    WriteFuzzFile(path, g_input);

    ReadAllTokens(path, size > 0 ? 1 + data[0] % 16 : 1);
    ReadAllTokens(path, PHRASE_BUFFER_SIZE);

    // A quiet walk's quick path reports what the full walk does.
    FILE* f = FileOpen(path.c_str(), "rb");
    FUZZ_CHECK(f);
    long loudTags = -1, quietTags = -2;
    std::string loud = WalkEvents(f, false, &loudTags);
    FUZZ_CHECK(WalkEvents(f, true, &quietTags) == loud);
    FUZZ_CHECK(loudTags == quietTags);
    FUZZ_CHECK(WalkEvents(f, false, &loudTags, true) == WalkEvents(f, true, &quietTags, true));
    FUZZ_CHECK(loudTags == quietTags);
    // Seen in place (an exact copy: a read past its end is caught), the same.
    SetFileViewer(&kInputViewer);
    FUZZ_CHECK(WalkEvents(nullptr, true, nullptr, false, path.c_str()) == loud);
    SetFileViewer(nullptr);
    FileClose(f);

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
