// Recovery files: edits the phrase file could not take at the end of a
// session, kept beside the library until a later start adds them to it.

#include "library/phrase_recovery.h"
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "common/file_calls.h"
#include "common/safe_file.h"
#include "common/sjis.h"
#include "common/writer_lock.h"
#include "library/phrase_reader.h"
#include "library/phrase_rewrite.h"
#include "library/phrase_walker.h"

namespace {

const char RECOVERED_PREFIX[] = "復元：";

// True when anything bears the name: a file that cannot be opened, or a
// folder, is no place for a recovery file either.
bool NameTaken(const char* path)
{
    struct stat info;
    return stat(path, &info) == 0;
}

int AddText(void* context, const char* text, size_t length)
{
    ((std::vector<std::string>*)context)->emplace_back(text, length);
    return 0;
}

// True when label, the last top-level label of the library, is the one an
// earlier merge made of the recovery file at path: its name, or that name
// numbered, and the same phrases, with no sub-labels.
bool StandsAsRecovery(const char* phrasePath, const LabelNode* label, const char* path)
{
    LabelNode* kept = nullptr;
    if (!label || label->firstChild || ReadLabelTree(path, &kept) != 0)
        return false;
    bool flat = !kept->firstChild;
    FreeLabelTree(kept);
    // The file's one label is its root: its name is the head's.
    PhraseWalker head;
    if (!flat || OpenWalk(&head, path, nullptr, false, nullptr) != 0) {
        EndWalk(&head);
        return false;
    }
    char name[LABEL_NAME_SIZE];
    FitLabelName(name, std::string(head.text, head.textLength).c_str());
    EndWalk(&head);
    size_t n = strlen(name);
    if (strncmp(label->name, name, n) != 0 ||
        (label->name[n] != '\0' && strncmp(label->name + n, "～", strlen("～")) != 0))
        return false;
    std::vector<std::string> ours, theirs;
    PhraseSink toOurs = {&ours, AddText}, toTheirs = {&theirs, AddText};
    return ReadPhraseList(path, nullptr, &toOurs) == 0 &&
           ReadPhraseList(phrasePath, label, &toTheirs) == 0 && ours == theirs;
}

}  // namespace

int RetireRecoveryFile(const char* path)
{
    if (FileRemove(path) == 0)
        return 0;
    // Held by another program (a sync tool): a name that no start reads.
    char retired[PATH_BUFFER_SIZE + 8];
    snprintf(retired, sizeof retired, "%s.done", path);
    return ReplaceFileAtomically(path, retired);
}

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
    // Every name is taken (the library has refused the recoveries of many
    // sessions): the edit is kept all the same, under the date and time,
    // for the user to bring in by hand.
    size_t length = strlen(files->phrase);
    time_t now = time(nullptr);
    struct tm* local = localtime(&now);
    for (int k = 0; local && k < 100; k++) {
        char stamp[40];
        strftime(stamp, sizeof stamp, "r%Y%m%d-%H%M%S", local);
        int n = snprintf(path, PATH_BUFFER_SIZE, "%.*s%s%s", (int)(length - 3), files->phrase, stamp,
                         k ? ("-" + std::to_string(k)).c_str() : "");
        if (n <= 0 || n >= PATH_BUFFER_SIZE)
            break;
        if (!NameTaken(path) && WriteLabelFile(path, label, phrases) == 0)
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
    // Merged before, but the file could not be removed then: not twice.
    if (StandsAsRecovery(files->phrase, last, path)) {
        if (newName)
            SjisCopy(newName, NAME_BUFFER_SIZE, last->name);
        FreeLabelTree(root);
        result = RetireRecoveryFile(path);
        ReleaseWriterLock(files->phrase);
        return result;
    }
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
    // A file that can be neither removed nor renamed now is known again at
    // the next start by the label it made, which then stands last.
    if (result == 0)
        RetireRecoveryFile(path);
    ReleaseWriterLock(files->phrase);
    return result;
}
