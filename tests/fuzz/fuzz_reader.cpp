// The tokenizer and the two readers on any file bytes.
#include "library/phrase_reader.h"
#include "library/phrase_token.h"
#include "library/phrase_walker.h"
#include "tests/fuzz/fuzz_files.h"
#include "tests/walk_events.h"

// Every token of the file through a text buffer of textSize bytes: the text
// never outgrows it and the reader always reaches the end.
static void ReadAllTokens(const std::string& path, size_t textSize)
{
    FILE* f = fopen(path.c_str(), "rb");
    FUZZ_CHECK(f);
    TokenReader reader;
    FUZZ_CHECK(StartTokenReader(&reader, f) == 0);
    std::vector<char> text(textSize);
    long lastLine = 0;
    for (;;) {
        size_t length = (size_t)-1;
        int token = ReadToken(&reader, text.data(), textSize, &length);
        FUZZ_CHECK(reader.lineNumber >= lastLine);
        lastLine = reader.lineNumber;
        if (token == TOKEN_END)
            break;
        if (token == TOKEN_TEXT) {
            FUZZ_CHECK(length < textSize);
            FUZZ_CHECK(text[length] == '\0');
        }
    }
    FUZZ_CHECK(ReadToken(&reader, text.data(), textSize) == TOKEN_END);
    EndTokenReader(&reader);
    fclose(f);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = FuzzPath("lib.htm");
    WriteFuzzFile(path, std::string((const char*)data, size));

    ReadAllTokens(path, size > 0 ? 1 + data[0] % 16 : 1);
    ReadAllTokens(path, PHRASE_BUFFER_SIZE);

    // A quiet walk's quick path reports what the full walk does.
    FILE* f = fopen(path.c_str(), "rb");
    FUZZ_CHECK(f);
    long loudTags = -1, quietTags = -2;
    FUZZ_CHECK(WalkEvents(f, false, &loudTags) == WalkEvents(f, true, &quietTags));
    FUZZ_CHECK(loudTags == quietTags);
    FUZZ_CHECK(WalkEvents(f, false, &loudTags, true) == WalkEvents(f, true, &quietTags, true));
    FUZZ_CHECK(loudTags == quietTags);
    // Seen in place (an exact copy: a read past its end is caught), the same.
    std::string loud = WalkEvents(f, false);
    SetFileViewer(&kCopyViewer);
    FUZZ_CHECK(WalkEvents(nullptr, true, nullptr, false, path.c_str()) == loud);
    SetFileViewer(nullptr);
    fclose(f);

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
    for (size_t i = 0; i < labels.size() && i < 24; i++) {
        LabelPath steps;
        FUZZ_CHECK(LabelPathOf(labels[i], &steps) == 0);
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
    Collected all;
    PhraseSink sink = {&all, CollectPhrase};
    FUZZ_CHECK(ReadPhraseList(path.c_str(), nullptr, &sink) == 0);
    for (size_t i = 0; i < labels.size() && i < 24; i++) {
        Collected phrases;
        PhraseSink each = {&phrases, CollectPhrase};
        FUZZ_CHECK(ReadPhraseList(path.c_str(), labels[i], &each) == 0);
        for (const std::string& text : phrases.texts)
            FUZZ_CHECK(text.size() < (size_t)PHRASE_BUFFER_SIZE);
        if (!phrases.texts.empty()) {
            Collected stopped;
            stopped.stopAfter = 0;
            PhraseSink stopping = {&stopped, CollectPhrase};
            FUZZ_CHECK(ReadPhraseList(path.c_str(), labels[i], &stopping) != 0);
        }
    }
    FreeLabelTree(root);
    return 0;
}
