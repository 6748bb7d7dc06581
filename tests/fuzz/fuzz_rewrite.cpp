// Every rewrite on fuzzed library bytes, with a fuzzed operation, target,
// clip file, new name and phrases.
//
// Input: sections split at "\n==\n": [0] two bytes, the operation and the
// target's index among the labels in file order; [1] the phrase file; [2]
// the clip file (no section: no clip file); [3] the new name, or the
// phrases to store as NUL-terminated pieces.
//
// Whatever happens: a failed rewrite leaves the phrase file and the clip
// file byte for byte as they were, and no temporary file stays behind; a
// rewrite that succeeds leaves a library the label reader accepts (a copy
// leaves it untouched), holding the change that was asked for.
#include "library/phrase_reader.h"
#include "library/phrase_rewrite.h"
#include "library/phrase_token.h"
#include "tests/fuzz/fuzz_files.h"

namespace {

struct Operation {
    RewriteKind kind;
    int after;
};

const Operation kOperations[] = {
    {REWRITE_NEW_LABEL, 0},   {REWRITE_NEW_LABEL, 1},   {REWRITE_NEW_CHILD_LABEL, 0},
    {REWRITE_RENAME_LABEL, 0}, {REWRITE_CUT_LABEL, 0},  {REWRITE_COPY_LABEL, 0},
    {REWRITE_PASTE_LABEL, 0}, {REWRITE_PASTE_LABEL, 1}, {REWRITE_PASTE_CHILD_LABEL, 0},
    {REWRITE_SAVE_PHRASES, 0}, {REWRITE_ADD_LABEL, 1},
};

struct Phrases {
    std::vector<std::string> texts;
};

int GetPhrase(void* context, int index, char* text, size_t size)
{
    const Phrases* p = (const Phrases*)context;
    if (index < 0 || (size_t)index >= p->texts.size())
        return -1;
    const std::string& t = p->texts[index];
    if (t.size() >= size)
        return -1;
    memcpy(text, t.data(), t.size());
    text[t.size()] = '\0';
    return (int)t.size();
}

// The text as it reads back: every CR LF, lone CR and lone LF a line break.
std::string AsStored(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\r' || text[i] == '\n') {
            out += "\r\n";
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                i++;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Labels in the clip file, which must hold exactly one label; -1 when the
// label reader refuses it (read as the only label of a root).
long ClipLabelCount(const std::string& clip)
{
    std::string wrapped = "<u>\"r\"\r\n" + clip + "</u>\r\n";
    std::string path = FuzzPath("clipcheck.htm");
    WriteFuzzFile(path, wrapped);
    LabelNode* root = nullptr;
    if (ReadLabelTree(path.c_str(), &root) != 0)
        return -1;
    long n = root->firstChild && !root->firstChild->nextSibling ? (long)SubtreeSize(root->firstChild) : -1;
    FreeLabelTree(root);
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> sections = FuzzSections(data, size);
    if (sections.size() < 2 || sections[0].size() < 2)
        return 0;
    const Operation op = kOperations[(unsigned char)sections[0][0] % (sizeof kOperations / sizeof kOperations[0])];
    const unsigned pick = (unsigned char)sections[0][1];

    LibraryFiles files;
    std::string phrasePath = FuzzPath("lib.htm");
    FUZZ_CHECK(SetLibraryFiles(&files, phrasePath.c_str()) == 0);
    FileRemove(files.backup);
    FileRemove(files.clip);
    const std::string& before = sections[1];
    WriteFuzzFile(files.phrase, before);
    bool hasClip = sections.size() > 2;
    if (hasClip)
        WriteFuzzFile(files.clip, sections[2]);
    std::string argument = sections.size() > 3 ? sections[3] : std::string();

    // The target: a label of the file when it loads, else (or for an index
    // past the end) a made-up label "a" under a made-up root.
    LabelNode* root = nullptr;
    ReadLabelTree(files.phrase, &root);
    std::vector<LabelNode*> labels = LabelsInOrder(root);
    LabelNode madeRoot = {};
    LabelNode madeLabel = {};
    madeLabel.parent = &madeRoot;
    madeRoot.firstChild = &madeLabel;
    strcpy(madeLabel.name, "a");
    const LabelNode* target = &madeLabel;
    bool realTarget = false;
    if (!labels.empty() && pick % (labels.size() + 1) < labels.size()) {
        target = labels[pick % (labels.size() + 1)];
        realTarget = true;
    } else if (op.kind == REWRITE_SAVE_PHRASES && root && (pick & 1)) {
        target = nullptr;  // the root label's phrases
        realTarget = true;
    }

    RewriteRequest request = {};
    request.kind = op.kind;
    request.target = target;
    request.after = op.after;
    std::string newName(argument.c_str());  // up to the first NUL
    request.newName = newName.c_str();
    Phrases phrases;
    size_t from = 0;
    for (size_t i = 0; i <= argument.size(); i++) {
        if (i == argument.size() && i == from)
            break;
        if (i == argument.size() || argument[i] == '\0') {
            phrases.texts.push_back(argument.substr(from, i - from));
            from = i + 1;
        }
    }
    PhraseSource source = {&phrases, (int)phrases.texts.size(), GetPhrase};
    request.phrases = &source;

    std::string clipBefore;
    bool clipExisted = ReadFuzzFile(files.clip, &clipBefore);
    char follow[NAME_PATH_SIZE];
    char newLabel[NAME_BUFFER_SIZE];
    LibraryError error;
    int result = RewritePhraseFile(&files, &request, follow, newLabel, &error);

    std::string after, clipAfter, backup;
    FUZZ_CHECK(ReadFuzzFile(files.phrase, &after));
    bool clipExists = ReadFuzzFile(files.clip, &clipAfter);
    char temp[PATH_BUFFER_SIZE + 16];
    FUZZ_CHECK(SafeWriteTempPath(files.phrase, temp, sizeof temp) == 0 && !FuzzFileExists(temp));
    FUZZ_CHECK(SafeWriteTempPath(files.clip, temp, sizeof temp) == 0 && !FuzzFileExists(temp));
    FUZZ_CHECK(memchr(error.what, '\0', sizeof error.what));
    FUZZ_CHECK(memchr(follow, '\0', sizeof follow));

    if (result != 0) {
        FUZZ_CHECK(after == before);
        FUZZ_CHECK(clipExists == clipExisted && clipAfter == clipBefore);
        if (root)
            FreeLabelTree(root);
        return 0;
    }

    // A copy reads the phrase file only as far as the label (it may succeed
    // on a file that ends early) and leaves it alone.
    LabelNode* newRoot = nullptr;
    if (op.kind == REWRITE_COPY_LABEL) {
        FUZZ_CHECK(after == before);
        ReadLabelTree(files.phrase, &newRoot);
    } else {
        FUZZ_CHECK(ReadLabelTree(files.phrase, &newRoot) == 0);
        FUZZ_CHECK(ReadFuzzFile(files.backup, &backup) && backup == before);
    }
    if (op.kind == REWRITE_CUT_LABEL || op.kind == REWRITE_COPY_LABEL)
        FUZZ_CHECK(clipExists && ClipLabelCount(clipAfter) >= 1);
    else
        FUZZ_CHECK(clipExists == clipExisted && clipAfter == clipBefore);

    // What changed, where the target's path names one label only.
    if (root && newRoot && realTarget && (!target || PathIsUnique(target))) {
        size_t count = labels.size();
        size_t newCount = LabelsInOrder(newRoot).size();
        std::vector<std::string> path = PathNames(target);
        switch (op.kind) {
        case REWRITE_NEW_LABEL:
        case REWRITE_ADD_LABEL:
        case REWRITE_NEW_CHILD_LABEL: {
            FUZZ_CHECK(newCount == count + 1);
            FUZZ_CHECK(newLabel[0] != '\0');
            std::vector<std::string> at = path;
            if (op.kind != REWRITE_NEW_CHILD_LABEL)
                at.pop_back();
            at.push_back(newLabel);
            LabelNode* made = FindByPath(newRoot, at);
            FUZZ_CHECK(made && !made->firstChild);
            break;
        }
        case REWRITE_RENAME_LABEL: {
            FUZZ_CHECK(newCount == count);
            std::vector<std::string> at = path;
            char held[LABEL_NAME_SIZE];
            FitLabelName(held, request.newName);
            at.back() = held;
            FUZZ_CHECK(FindByPath(newRoot, at));
            break;
        }
        case REWRITE_CUT_LABEL:
            FUZZ_CHECK(newCount + SubtreeSize(target) == count);
            FUZZ_CHECK(ClipLabelCount(clipAfter) == (long)SubtreeSize(target));
            break;
        case REWRITE_COPY_LABEL:
            FUZZ_CHECK(ClipLabelCount(clipAfter) == (long)SubtreeSize(target));
            break;
        case REWRITE_PASTE_LABEL:
        case REWRITE_PASTE_CHILD_LABEL: {
            long pasted = ClipLabelCount(clipBefore);
            if (pasted > 0)
                FUZZ_CHECK(newCount == count + (size_t)pasted);
            break;
        }
        case REWRITE_SAVE_PHRASES: {
            bool fits = true;
            for (const std::string& t : phrases.texts)
                fits = fits && AsStored(t).size() + 3 < (size_t)PHRASE_BUFFER_SIZE;
            LabelNode* stored = target ? FindByPath(newRoot, path) : newRoot;
            FUZZ_CHECK(stored);
            Collected back;
            PhraseSink sink = {&back, CollectPhrase};
            FUZZ_CHECK(ReadPhraseList(files.phrase, stored, &sink) == 0);
            if (fits) {
                FUZZ_CHECK(back.texts.size() == phrases.texts.size());
                for (size_t i = 0; i < back.texts.size(); i++)
                    FUZZ_CHECK(back.texts[i] == AsStored(phrases.texts[i]));
            }
            break;
        }
        }
    }
    if (newRoot)
        FreeLabelTree(newRoot);
    if (root)
        FreeLabelTree(root);
    return 0;
}
