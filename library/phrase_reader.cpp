// The two readers of the phrase file: all labels (no phrases), and the
// phrases of one label.
#include "library/phrase_library.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "library/phrase_token.h"

namespace {

int Fail(LibraryError* error, long line, const char* what)
{
    if (error) {
        error->line = line;
        snprintf(error->what, sizeof error->what, "%s", what);
    }
    return -1;
}

// Line to report for the end of the file: its last line.
long LastLine(const TokenReader* r)
{
    return r->lineNumber > 0 ? r->lineNumber - 1 : 0;
}

// An open phrase file and its tokenizer. The buffers live on the heap: a
// quoted line may be as long as a whole phrase.
struct PhraseFileReader {
    FILE* file;
    TokenReader tokens;
    char* scratch;   // names and lines that are not kept
    char* phrase;    // the phrase being assembled
};

void ClosePhraseFile(PhraseFileReader* in)
{
    free(in->scratch);
    free(in->phrase);
    if (in->file) {
        EndTokenReader(&in->tokens);
        fclose(in->file);
    }
}

// Opens the file and reads the root label's head.
int OpenPhraseFile(PhraseFileReader* in, const char* path, bool needPhrase, LibraryError* error)
{
    memset(in, 0, sizeof *in);
    in->scratch = (char*)malloc(PHRASE_BUFFER_SIZE);
    // One byte more than a phrase can use, so a line that would not fit shows
    // as longer than its room instead of being cut silently.
    in->phrase = needPhrase ? (char*)malloc(PHRASE_BUFFER_SIZE + 1) : nullptr;
    if (!in->scratch || (needPhrase && !in->phrase))
        return Fail(error, 0, "out of memory");
    FILE* file = fopen(path, "rb");
    if (!file)
        return Fail(error, 0, "cannot open the file");
    if (StartTokenReader(&in->tokens, file) < 0) {
        fclose(file);
        return Fail(error, 0, "out of memory");
    }
    in->file = file;
    int token = ReadToken(&in->tokens, in->scratch, PHRASE_BUFFER_SIZE);
    if (token != TOKEN_LABEL_OPEN)
        return Fail(error, token == TOKEN_END ? 0 : in->tokens.lineNumber, "no root label");
    long line = in->tokens.lineNumber;
    if (ReadToken(&in->tokens, in->scratch, PHRASE_BUFFER_SIZE) != TOKEN_TEXT)
        return Fail(error, line, "label without a name");
    return 0;
}

// Reads past the rest of a label at the given depth (root 0) up to and
// including its close. Counted, so that any nesting costs no stack.
int SkipLabel(PhraseFileReader* in, int depth, LibraryError* error)
{
    TokenReader* r = &in->tokens;
    int inner = 0;
    for (;;) {
        switch (ReadToken(r, in->scratch, PHRASE_BUFFER_SIZE)) {
        case TOKEN_LABEL_OPEN:
            if (depth + inner >= MAX_LABEL_DEPTH)
                return Fail(error, r->lineNumber, "nesting too deep");
            inner++;
            break;
        case TOKEN_LABEL_CLOSE:
            if (inner == 0)
                return 0;
            inner--;
            break;
        case TOKEN_END:
            return Fail(error, LastLine(r), "end of file inside a label");
        default:
            break;
        }
    }
}

int ReadLabels(PhraseFileReader* in, LabelNode* root, LibraryError* error)
{
    TokenReader* r = &in->tokens;
    LabelNode* current = root;
    LabelNode* lastChild = nullptr;  // current's last child so far
    int depth = 0;
    for (;;) {
        switch (ReadToken(r, in->scratch, PHRASE_BUFFER_SIZE)) {
        case TOKEN_LABEL_OPEN: {
            long line = r->lineNumber;
            if (ReadToken(r, in->scratch, PHRASE_BUFFER_SIZE) != TOKEN_TEXT)
                return Fail(error, line, "label without a name");
            if (depth == MAX_LABEL_DEPTH)
                return Fail(error, line, "nesting too deep");
            LabelNode* node = NewLabelNode(current, lastChild);
            if (!node)
                return Fail(error, line, "out of memory");
            FitLabelName(node->name, in->scratch);
            current = node;
            lastChild = nullptr;
            depth++;
            break;
        }
        case TOKEN_LABEL_CLOSE:
            if (current == root)
                return 0;
            lastChild = current;
            current = current->parent;
            depth--;
            break;
        case TOKEN_END:
            return Fail(error, LastLine(r), "end of file inside a label");
        default:
            break;
        }
    }
}

// One step of a target's path: the label's held name, and how many earlier
// siblings hold the same name. Of equal siblings in a hand-edited file the
// one at the target's own place is on the path, as the rewrites choose it, so
// a list read from a label is stored back into the same label.
struct PathStep {
    const char* name;
    int ordinal;
};

// The steps from the top level down to target; nullptr with *n 0 for the
// root label. *n is -1 when memory runs out or the path is too deep.
PathStep* TargetPath(const LabelNode* target, int* n)
{
    *n = target ? LabelDepth(target) : 0;
    if (*n == 0)
        return nullptr;
    PathStep* path = *n <= MAX_LABEL_DEPTH ? (PathStep*)malloc(*n * sizeof *path) : nullptr;
    if (!path) {
        *n = -1;
        return nullptr;
    }
    const LabelNode* node = target;
    for (int k = *n - 1; k >= 0; k--, node = node->parent) {
        path[k].name = node->name;
        path[k].ordinal = 0;
        for (const LabelNode* s = node->parent->firstChild; s && s != node; s = s->nextSibling) {
            if (strcmp(s->name, node->name) == 0)
                path[k].ordinal++;
        }
    }
    return path;
}

}  // namespace

int ReadLabelTree(const char* phrasePath, LabelNode** root, LibraryError* error)
{
    *root = nullptr;
    PhraseFileReader in;
    LabelNode* top = nullptr;
    int result = OpenPhraseFile(&in, phrasePath, false, error);
    if (result == 0) {
        top = NewLabelNode(nullptr);
        result = top ? ReadLabels(&in, top, error) : Fail(error, 0, "out of memory");
    }
    ClosePhraseFile(&in);
    if (result < 0) {
        if (top)
            FreeLabelTree(top);
        return -1;
    }
    *root = top;
    return 0;
}

// A phrase left open ends at the next <p> or at its label's close.
int ReadPhraseList(const char* phrasePath, const LabelNode* target, const PhraseSink* sink)
{
    int n = 0;
    PathStep* path = TargetPath(target, &n);
    if (n < 0)
        return -1;
    PhraseFileReader in;
    int result = OpenPhraseFile(&in, phrasePath, true, nullptr);
    TokenReader* r = &in.tokens;
    int level = 0;          // path steps matched by the open labels
    int seen = 0;           // labels at this level that hold the next step's name
    bool inPhrase = false;  // a phrase of the wanted label is open
    PhraseLines phrase = {in.phrase, 0, false};
    while (result == 0) {
        size_t room = PHRASE_BUFFER_SIZE;
        char* into = inPhrase ? NextPhraseLine(&phrase, &room) : in.scratch;
        size_t got = 0;
        int token = ReadToken(r, into, room, &got);
        bool endPhrase = false;
        bool done = false;
        switch (token) {
        case TOKEN_LABEL_OPEN:
            if (ReadToken(r, in.scratch, PHRASE_BUFFER_SIZE) != TOKEN_TEXT)
                result = -1;
            else if (level < n && LabelNameMatches(in.scratch, path[level].name) &&
                     seen++ == path[level].ordinal)
                level++, seen = 0;
            else
                result = SkipLabel(&in, level + 1, nullptr);
            break;
        case TOKEN_LABEL_CLOSE:
            // The wanted label ends, or the label that should hold it.
            endPhrase = inPhrase;
            done = true;
            break;
        case TOKEN_PHRASE_OPEN:
        case TOKEN_PHRASE_CLOSE:
            endPhrase = inPhrase;
            break;
        case TOKEN_TEXT:
            if (inPhrase)
                KeepPhraseLine(&phrase, got);
            break;
        case TOKEN_END:
            result = -1;
            break;
        default:
            break;
        }
        if (endPhrase) {
            phrase.text[phrase.length] = '\0';
            if (sink->add(sink->context, phrase.text, phrase.length) < 0)
                result = -1;
            inPhrase = false;
        }
        if (token == TOKEN_PHRASE_OPEN && level == n) {
            inPhrase = true;
            StartPhraseLines(&phrase);
        }
        if (done)
            break;
    }
    ClosePhraseFile(&in);
    free(path);
    return result;
}
