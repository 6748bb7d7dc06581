// Reading, rewriting and searching the phrase file.
//
// The phrase file is the store: nothing holds the phrases of more than one
// label in memory. Readers stream the file with one line buffer through the
// walker (phrase_walker.h); every change streams the whole file through it
// into a new copy of itself.
#pragma once

#include <cstddef>

#include "library/label_tree.h"
#include "library/library_files.h"

// Receives phrases in file order. add returns 0 to go on, -1 to stop (the
// reader then fails with -1).
struct PhraseSink {
    void* context;
    int (*add)(void* context, const char* text, size_t length);
};

// Supplies the phrases of a list in order. get copies item index into text
// (size bytes, NUL-terminated) and returns its length, or -1.
struct PhraseSource {
    void* context;
    int count;
    int (*get)(void* context, int index, char* text, size_t size);
};

// Where a reader or a rewrite stopped on a malformed file.
struct LibraryError {
    long line;             // physical line of the offending token (0: none)
    char what[96];         // what was wrong, in English
    bool changed = false;  // a rewrite found the phrase file replaced or written by
                           // another program while it worked: nothing was written;
                           // read the file again and give the change again
};

// Builds the label tree of the phrase file. On success *root is the root
// label's record (the caller frees it with FreeLabelTree). Returns -1 with
// *root null when the file cannot be opened or is malformed.
int ReadLabelTree(const char* phrasePath, LabelNode** root, LibraryError* error = nullptr);

// Hands the phrases of target (null: the root label) to sink, in file order.
// A label missing from the file gives no phrases and success. Returns -1 when
// the file cannot be read or is malformed (phrases already handed stay).
int ReadPhraseList(const char* phrasePath, const LabelNode* target, const PhraseSink* sink);

// The rewrites of the phrase file. Each one copies the phrase file to the
// backup file, streams the backup into a new phrase file with its one change
// on the way, and puts the new file in place only when it is complete.
enum RewriteKind {
    REWRITE_NEW_LABEL,          // new label beside target (after: below)
    REWRITE_NEW_CHILD_LABEL,    // new label as target's first child
    REWRITE_RENAME_LABEL,       // target renamed to newName
    REWRITE_CUT_LABEL,          // target's subtree to the clip file, removed
    REWRITE_COPY_LABEL,         // target's subtree to the clip file
    REWRITE_PASTE_LABEL,        // clip label beside target (after: below)
    REWRITE_PASTE_CHILD_LABEL,  // clip label as target's first child
    REWRITE_SAVE_PHRASES,       // target's phrases (root's when null) replaced
    REWRITE_ADD_LABEL,          // label newName (made unique) holding phrases,
                                // beside target (after: below)
};

struct RewriteRequest {
    RewriteKind kind;
    const LabelNode* target;       // the label acted on (its records' names give the path)
    int after;                     // new and paste beside: 1 below, 0 above
    const char* newName;           // rename, add
    const PhraseSource* phrases;   // save phrases, add
    // Save phrases: a file whose root label's body is written after target's
    // sub-labels in place of target's phrases (the list is then not used).
    const char* bodyPath = nullptr;
    // Receives the new phrase file's stamp, taken before its rename (may be
    // null; unknown when the rewrite failed).
    FileStamp* written = nullptr;
    // Cut and copy: receives the new clip file's stamp the same way.
    FileStamp* clipWritten = nullptr;
};

// Runs one rewrite. followPath (NAME_PATH_SIZE bytes, may be null) receives
// the name path to select or expand afterwards: target's path, with the new
// label's final name in place of target's (new beside) or after it (new
// child). newName (NAME_BUFFER_SIZE, may be null) receives the new label's
// final name. Returns 0, or -1 with the phrase file unchanged. A phrase
// file that another program replaces from the backup copy to the commit is
// never written over: the rewrite fails with error->changed set.
int RewritePhraseFile(const LibraryFiles* files, const RewriteRequest* request,
                      char* followPath = nullptr, char* newName = nullptr,
                      LibraryError* error = nullptr);

// Copies the phrase file over the backup file. Returns 0 or -1.
int BackupPhraseFile(const LibraryFiles* files);

// Writes a new library (a root label holding one label 新しいラベル). A phrase
// file that is there already is first moved aside to a free name of the form
// phrase path with its last three characters replaced by "001" to "999";
// that name goes to keptPath (PATH_BUFFER_SIZE, may be null; empty when
// nothing was kept). Returns 0 or -1.
int CreateLibraryFile(const LibraryFiles* files, char* keptPath = nullptr);

// Writes size bytes as the whole library, keeping a phrase file that is
// there first as CreateLibraryFile does. A phrase file that another program
// replaces meanwhile is never written over (error->changed). Returns 0 or
// -1 (library and kept name as they were).
int ReplaceLibraryFile(const LibraryFiles* files, const char* bytes, size_t size, char* keptPath,
                       LibraryError* error = nullptr);

// Writes one label named name holding the phrases, in the clip file's
// form, to path through a SafeWriter. Returns 0 or -1 (path unchanged).
int WriteLabelFile(const char* path, const char* name, const PhraseSource* phrases);

// Recovery files: the phrases of a label that the phrase file could not
// take when fenlop ended, kept beside it until the next start adds them to
// the library. Each holds one label in the clip file's form; they are named
// like the phrase file with its last three characters replaced by "r01" to
// "r99".
const int RECOVERY_FILE_COUNT = 99;

// The name of recovery file n (1 to RECOVERY_FILE_COUNT) into path
// (PATH_BUFFER_SIZE bytes). Returns 0, or -1 when there is no such name (it
// would be the phrase file's own).
int RecoveryFilePath(const LibraryFiles* files, int n, char* path);

// Writes the phrases as a label named "復元：" and name (cut to a name the
// user could give) into the first recovery file that does not exist yet;
// its name goes to path (PATH_BUFFER_SIZE). With all of them taken, a name
// with the date and time in place of the number is used, which no start
// reads: the user brings it in by hand. Returns 0 or -1.
int WriteRecoveryFile(const LibraryFiles* files, const char* name, const PhraseSource* phrases, char* path);

// Adds the label of the recovery file at path to the library as its last
// top-level label, under a name unique there (into newName,
// NAME_BUFFER_SIZE, may be null), and removes the file once the library
// holds the label. Returns 0, or -1 with the library unchanged and the file
// kept.
// A recovery file whose label already stands last in the library, as
// such a merge left it, is not added again; the file goes.
int MergeRecoveryFile(const LibraryFiles* files, const char* path, char* newName);

// Takes a recovery file out of the way once the library holds its phrases:
// removes it or, when another program holds it, gives it a name that no
// start reads ("<name>.done"). Returns 0 or -1 (still there).
int RetireRecoveryFile(const char* path);

// Checks a name the user gave for target: 1 to 79 bytes and not the name of
// target or of a sibling. Returns 0 or -1.
int CheckRenameName(const LabelNode* target, const char* name);

// Search.
const int SEARCH_WORD_COUNT = 16;
const int SEARCH_WORD_SIZE = 80;

struct SearchWords {
    char word[SEARCH_WORD_COUNT][SEARCH_WORD_SIZE];
    size_t length[SEARCH_WORD_COUNT];
    int count;
    bool folded;  // the words are folded (kana_fold.h): they match folded texts
};

// Copies the next word at *cursor into word (SEARCH_WORD_SIZE bytes) and
// moves the cursor past it and the spaces after it. Returns false at the end.
bool NextSearchWord(const char** cursor, char* word);

// The words of a search text: separated by ASCII spaces, at most 16.
void BuildSearchWords(const char* searchText, SearchWords* words);

// The same for forgiving matching: the words of the folded search text, so
// that full-width spaces separate them too. A word that grows past its slot
// in folding is cut like any other. Returns false, with no words, when
// there is no memory to fold the text in.
bool BuildFoldedSearchWords(const char* searchText, SearchWords* words);

// True when every word (true for none) / at least one word (false for none)
// occurs in text starting on a character boundary. When slack bytes past
// the text may be read too (64 are enough), short texts take fewer steps.
// Folded words match only a folded text: the caller folds it (KanaFold).
bool MatchAllWords(const char* text, size_t length, const SearchWords* words, size_t slack = 0);
bool MatchAnyWord(const char* text, size_t length, const SearchWords* words, size_t slack = 0);

// Hands every phrase of scope's subtree (null: the whole library) that
// matches (searchMode 0: all words, 1: any word) to sink, in file order;
// with folded words, each phrase is folded on the way to the matcher.
// Returns 0, or -1 when the file cannot be read or is malformed.
int SearchLibraryFile(const char* phrasePath, const SearchWords* words, int searchMode,
                      const LabelNode* scope, const PhraseSink* sink);

// The phrase package, the clipboard form of several phrases: 08h, each text
// with its NUL, and an extra NUL.
const char PHRASE_PACKAGE_MARK = 0x08;

// Writes the package of texts into block (when block is not null and
// blockSize suffices). Returns the package's size in bytes.
size_t EncodePhrasePackage(const char* const* texts, const size_t* lengths, int count,
                           char* block, size_t blockSize);

// Hands the phrases of a clipboard text of blockSize bytes to sink: the
// strings of a package, or the whole text as one phrase. Never reads past
// the block. Each phrase is cut to 65,535 bytes on a character boundary.
// Returns the number of phrases, or -1 when sink stopped.
int DecodePhrasePackage(const char* block, size_t blockSize, const PhraseSink* sink);
