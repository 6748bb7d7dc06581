// Recovery files: edits the phrase file could not take at the end of a
// session, kept beside the library until a later start adds them to it.
#include "library/phrase_library.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "common/sjis.h"
#include "common/writer_lock.h"

namespace {

const char RECOVERED_PREFIX[] = "復元：";

// True when anything bears the name: a file that cannot be opened, or a
// folder, is no place for a recovery file either.
bool NameTaken(const char* path)
{
    struct stat info;
    return stat(path, &info) == 0;
}

}  // namespace

int RecoveryFilePath(const LibraryFiles* files, int n, char* path)
{
    size_t length = strlen(files->phrase);
    if (n < 1 || n > RECOVERY_FILE_COUNT || length < 4 || length >= PATH_BUFFER_SIZE)
        return -1;
    memcpy(path, files->phrase, length + 1);
    snprintf(path + length - 3, 4, "r%02d", n);
    // A library that bears such a name itself is never written over.
    if (SjisEqualNoCase(files->phrase + length - 3, path + length - 3))
        return -1;
    return 0;
}

int WriteRecoveryFile(const LibraryFiles* files, const char* name, const PhraseSource* phrases, char* path)
{
    char label[NAME_BUFFER_SIZE];
    size_t prefix = sizeof RECOVERED_PREFIX - 1;
    size_t keep = SjisFitLength(name, strlen(name), MAX_RENAME_LENGTH - prefix);
    memcpy(label, RECOVERED_PREFIX, prefix);
    memcpy(label + prefix, name, keep);
    label[prefix + keep] = '\0';
    for (int n = 1; n <= RECOVERY_FILE_COUNT; n++) {
        if (RecoveryFilePath(files, n, path) != 0 || NameTaken(path))
            continue;
        if (WriteLabelFile(path, label, phrases) == 0)
            return 0;
    }
    path[0] = '\0';
    return -1;
}

int MergeRecoveryFile(const LibraryFiles* files, const char* path, char* newName)
{
    if (newName)
        newName[0] = '\0';
    if (strlen(path) >= PATH_BUFFER_SIZE)
        return -1;
    // One writer's turn from the read that finds the last label to the
    // removal of the file it added: no other writer comes in between, and
    // no second start adds the same file again.
    if (TakeWriterLock(files->phrase, WRITER_LOCK_WAIT_MS) != 0)
        return -1;
    LabelNode* root = nullptr;
    if (ReadLabelTree(files->phrase, &root) != 0) {
        ReleaseWriterLock(files->phrase);
        return -1;
    }
    // The recovery file's label goes in as a clip label after the last
    // top-level label; a library without one has no place to take it yet.
    const LabelNode* last = root->firstChild;
    while (last && last->nextSibling)
        last = last->nextSibling;
    int result = -1;
    if (last) {
        LibraryFiles through = *files;
        memcpy(through.clip, path, strlen(path) + 1);
        RewriteRequest request = {};
        request.kind = REWRITE_PASTE_LABEL;
        request.target = last;
        request.after = 1;
        result = RewritePhraseFile(&through, &request, nullptr, newName);
    }
    FreeLabelTree(root);
    if (result == 0)
        remove(path);
    ReleaseWriterLock(files->phrase);
    return result;
}
