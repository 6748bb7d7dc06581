// Changing the library (phrase_rewrite.cpp): every change streams the whole
// phrase file through the walker into a new copy of itself; new and
// replaced libraries and label files in the clip file's form.
#pragma once

#include <cstddef>
#include <cstdio>

#include "library/label_tree.h"
#include "library/library_files.h"
#include "library/phrase_io.h"

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
    // A phrase file whose walk fails (FAULT_PHRASE_FILE) leaves the backup
    // as it was, as a look at the file before the rewrite would; otherwise
    // the backup holds the file read, whatever it holds.
    bool keepBackupOnFault = false;
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
// The same with the new library written by fill into file, the temporary
// file that replaces the library; fill returns 0, or -1 to leave all as it
// was (*refused then true; refused may be null).
int ReplaceLibraryFileWith(const LibraryFiles* files, int (*fill)(void* context, FILE* file),
                           void* context, char* keptPath, LibraryError* error, bool* refused);

// Writes one label named name holding the phrases, in the clip file's
// form, to path through a SafeWriter. Returns 0 or -1 (path unchanged).
int WriteLabelFile(const char* path, const char* name, const PhraseSource* phrases);

// Checks a name the user gave for target: 1 to 79 bytes and not the name of
// target or of a sibling. Returns 0 or -1.
int CheckRenameName(const LabelNode* target, const char* name);
