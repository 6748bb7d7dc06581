// The rewrites of the phrase file.
//
// Every change walks the phrase file into a new phrase file, changing it at
// one place on the way, and copies each read of it to a new backup as it
// goes: the file is read once. The backup goes in before the new phrase
// file, and both go through a SafeWriter, so each file is either the old one
// or the complete new one, never anything in between.
//
// The walker finds the target and copies the bodies of all other labels
// without recursion; the rewrite's own buffers live in three heap blocks.

#include "library/phrase_rewrite.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/buffer_calls.h"
#include "common/file_calls.h"
#include "common/safe_file.h"
#include "common/sjis.h"
#include "common/writer_lock.h"
#include "library/phrase_format.h"
#include "library/phrase_walker.h"

namespace {

const size_t OUTPUT_BUFFER_SIZE = 64 * 1024;
// Every so many bytes of the backup and of the new phrase file the system
// is asked to start writing them to the disk: the flush before each rename
// then waits for the last piece alone, and both files go to the disk while
// the walk goes on.
const size_t WRITE_AHEAD_STEP = 1024 * 1024;

int FailAt(LibraryError* error, long line, const char* what, LibraryFault fault = FAULT_OTHER)
{
    if (error) {
        error->line = line;
        snprintf(error->what, sizeof error->what, "%s", what);
        error->fault = fault;
    }
    return -1;
}

int Fail(LibraryError* error, const char* what, LibraryFault fault = FAULT_OTHER)
{
    return FailAt(error, 0, what, fault);
}

// Another program replaced the library: said, and marked so for callers
// that read it again and retry.
int FailChanged(LibraryError* error)
{
    if (error)
        error->changed = true;
    return Fail(error, "the library was changed by another program meanwhile");
}

// Asked, where the new library was swapped in, of the file it displaced:
// 0 when that is the file read. Another program's, renamed over the
// library after the last look, goes back.
int CheckDisplaced(const char* displaced, const FileStamp* read, LibraryError* error)
{
    FileStamp was;
    TakeFileStamp(displaced, &was);
    return SameFileStamp(&was, read) ? 0 : FailChanged(error);
}

// Writes a copied token to the FormatSink in context; stops once a write failed.
int PutToken(void* context, int token, int level, const char* text, size_t n)
{
    FormatSink* out = (FormatSink*)context;
    PutFormatToken(out, token, level, text, n);
    return out->failed ? -1 : 0;
}

// Copies the rest of the body of the label whose head in was just at, with
// its content at level, to out. A stop of the sink is a failed write.
int CopyBody(PhraseWalker* in, FormatSink* out, int level, LibraryError* error)
{
    TokenSink sink = {out, PutToken};
    if (WalkCopyBody(in, &sink, level) == 0)
        return 0;
    return out->failed ? Fail(error, "cannot write") : -1;
}

// Everything one rewrite works with.
struct Rewrite {
    const RewriteRequest* request;
    LibraryError* error;
    LabelPath path;                   // down to the target (count 0: the root label)
    bool found;                       // the target was met and rewritten

    FILE* inFile;                     // the phrase file
    PhraseWalker in;
    LibraryError inError;             // what the walk of the phrase file failed on ("": nothing)
    SafeWriter backup;                // its copy, written as it is read (not for a copy)
    bool backupFailed;                // a write of the copy failed
    size_t backupAhead;               // bytes of the copy written since its last write-ahead
    FILE* clipFile;                   // the clip file, for the pastes
    PhraseWalker clip;
    FormatSink phrase;                // the new phrase file
    FILE* phraseFile;                 // its temporary file
    size_t phraseAhead;               // bytes of it written since its last write-ahead
    FormatSink clipOut;               // the new clip file, for cut and copy
    const LibraryFiles* files;
    FileStamp read;                   // the phrase file as it was before its backup copy
    intptr_t hold;                    // the phrase file held against other writers

    char* text;                       // PHRASE_BUFFER_SIZE: a phrase of the list being stored
    char* name;                       // NAME_BUFFER_SIZE: the inserted label's held name
    const char* insertName;           // name to write for the label to insert
    size_t insertLength;
};

bool IsPaste(RewriteKind kind)
{
    return kind == REWRITE_PASTE_LABEL || kind == REWRITE_PASTE_CHILD_LABEL;
}

bool IsNew(RewriteKind kind)
{
    return kind == REWRITE_NEW_LABEL || kind == REWRITE_NEW_CHILD_LABEL || kind == REWRITE_ADD_LABEL;
}

// Writes the request's phrases at level, in list order.
int PutListPhrases(Rewrite* rw, int level)
{
    const PhraseSource* source = rw->request->phrases;
    for (int i = 0; i < source->count; i++) {
        int n = source->get(source->context, i, rw->text, PHRASE_BUFFER_SIZE);
        if (n < 0 || n >= PHRASE_BUFFER_SIZE)
            return Fail(rw->error, "cannot get a phrase of the list");
        PutPhrase(&rw->phrase, level, rw->text, (size_t)n);
        if (rw->phrase.failed)
            return Fail(rw->error, "cannot write");
    }
    return 0;
}

// Writes the label to insert (a new, empty one or the clip file's label) at
// level.
int PutInsertedLabel(Rewrite* rw, int level)
{
    if (level > MAX_LABEL_DEPTH)
        return Fail(rw->error, "nesting too deep");
    PutLabelHead(&rw->phrase, level, rw->insertName, rw->insertLength);
    if (IsNew(rw->request->kind)) {
        if (rw->request->kind == REWRITE_ADD_LABEL && PutListPhrases(rw, level + 1) != 0)
            return -1;
        PutLabelClose(&rw->phrase, level);
        return 0;
    }
    return CopyBody(&rw->clip, &rw->phrase, level + 1, rw->error);
}

// Writes the body of the root label of the file at the request's bodyPath
// at level, and its close at level - 1.
int PutBodyFile(Rewrite* rw, int level)
{
    FILE* file = FileOpen(rw->request->bodyPath, "rb");
    if (!file)
        return Fail(rw->error, "cannot open the file of the new body");
    PhraseWalker body;
    int result = StartWalk(&body, file, nullptr, false, rw->error);
    if (result == 0)
        result = CopyBody(&body, &rw->phrase, level, rw->error);
    EndWalk(&body);
    FileClose(file);
    return result;
}

// The target's body when its phrases are replaced: its sub-labels are copied
// whole, its own phrases (and any quoted line directly in it) left out, and
// the list's phrases written at its close.
int SavePhrasesInBody(Rewrite* rw, int level)
{
    PhraseWalker* in = &rw->in;
    FormatSink* out = &rw->phrase;
    return WalkEach(in, [&](int event) {
        switch (event) {
        case WALK_LABEL:
            PutLabelHead(out, level, in->text, in->textLength);
            if (CopyBody(in, out, level + 1, rw->error) != 0)
                return -1;
            break;
        case WALK_LABEL_END:
        case WALK_END:
            if (rw->request->bodyPath)
                return PutBodyFile(rw, level) == 0 ? WALK_DONE : -1;
            if (PutListPhrases(rw, level) != 0)
                return -1;
            PutLabelClose(out, level - 1);
            return WALK_DONE;
        default:
            break;  // the target's old phrases
        }
        return out->failed ? Fail(rw->error, "cannot write") : WALK_ON;
    });
}

// The target's head has been read (its name in the walker's text) and
// stands at level: writes what the operation makes of the target.
int RewriteTarget(Rewrite* rw, int level)
{
    FormatSink* out = &rw->phrase;
    PhraseWalker* in = &rw->in;
    const RewriteRequest* rq = rw->request;
    switch (rq->kind) {
    case REWRITE_NEW_LABEL:
    case REWRITE_ADD_LABEL:
    case REWRITE_PASTE_LABEL:
        if (rq->after) {
            PutLabelHead(out, level, in->text, in->textLength);
            if (CopyBody(in, out, level + 1, rw->error) != 0)
                return -1;
            return PutInsertedLabel(rw, level);
        }
        // The inserted label is written first; the clip file has a walker of
        // its own, so the target's name is still in this one's text.
        if (PutInsertedLabel(rw, level) != 0)
            return -1;
        PutLabelHead(out, level, in->text, in->textLength);
        return CopyBody(in, out, level + 1, rw->error);
    case REWRITE_NEW_CHILD_LABEL:
    case REWRITE_PASTE_CHILD_LABEL:
        PutLabelHead(out, level, in->text, in->textLength);
        if (PutInsertedLabel(rw, level + 1) != 0)
            return -1;
        return CopyBody(in, out, level + 1, rw->error);
    case REWRITE_RENAME_LABEL:
        PutLabelHead(out, level, rq->newName, strlen(rq->newName));
        return CopyBody(in, out, level + 1, rw->error);
    case REWRITE_CUT_LABEL:
    case REWRITE_COPY_LABEL:
        PutLabelHead(&rw->clipOut, level, in->text, in->textLength);
        return CopyBody(in, &rw->clipOut, level + 1, rw->error);
    case REWRITE_SAVE_PHRASES:
        PutLabelHead(out, level, in->text, in->textLength);
        return SavePhrasesInBody(rw, level + 1);
    }
    return -1;
}

// Streams the root label's body (its head is written) down the target's
// path. Labels beside the path are copied whole; the walker picks the
// target at its own place among equal-named siblings.
int StreamRootBody(Rewrite* rw)
{
    PhraseWalker* in = &rw->in;
    FormatSink* out = &rw->phrase;
    if (rw->path.count == 0) {
        rw->found = true;
        return SavePhrasesInBody(rw, 1);
    }
    return WalkEach(in, [&](int event) {
        switch (event) {
        case WALK_LABEL:
            if (in->place == PLACE_TARGET) {
                if (RewriteTarget(rw, in->depth) != 0)
                    return -1;
                rw->found = true;
                // A copy changes nothing in the phrase file: the rest is not needed.
                if (rw->request->kind == REWRITE_COPY_LABEL)
                    return WALK_DONE;
            } else {
                PutLabelHead(out, in->depth, in->text, in->textLength);
                if (in->place != PLACE_PATH && CopyBody(in, out, in->depth + 1, rw->error) != 0)
                    return -1;
            }
            break;
        case WALK_LABEL_END:
            PutLabelClose(out, in->depth + 1);
            break;
        case WALK_END:
            PutLabelClose(out, 0);
            break;
        case WALK_PHRASE_OPEN:
            PutPhraseOpen(out, in->depth + 1);
            break;
        case WALK_PHRASE_CLOSE:
            PutPhraseClose(out, in->depth + 1);
            break;
        case WALK_TEXT:
            PutQuotedLine(out, in->depth + 1, in->line, in->lineLength);
            break;
        default:
            break;
        }
        return out->failed ? Fail(rw->error, "cannot write") : WALK_ON;
    });
}

// Appends name to the name path in buffer (NAME_PATH_SIZE bytes) holding
// *used bytes of names. A name that would reach the end is refused, as by
// BuildNamePath.
bool AppendPathName(char* buffer, int* used, const char* name)
{
    int n = (int)strlen(name);
    if (*used + n >= NAME_PATH_SIZE - 2)
        return false;
    memcpy(buffer + *used, name, (size_t)n + 1);
    *used += n + 1;
    buffer[*used] = '\0';
    return true;
}

// Writes the name path of path[0..count) and, when extra is given, extra
// after it.
void PutFollowPath(char* buffer, const Rewrite* rw, int count, const char* extra)
{
    memset(buffer, 0, NAME_PATH_SIZE);
    int used = 0;
    for (int k = 0; k < count; k++)
        if (!AppendPathName(buffer, &used, rw->path.name[k]))
            return;
    if (extra)
        AppendPathName(buffer, &used, extra);
}

// Finds the name of the label to insert: the new label's or the clip label's,
// made unique among the labels that will be its siblings (those of ref).
// Names that the records hold cut short are compared in their held form;
// a long name that is taken is cut to a name the user could have given and
// then numbered, so that the generated name is held whole and still shows
// that it is a second label of that name (even when the cut name is free).
int ChooseInsertName(Rewrite* rw, const LabelNode* ref, const char* wanted, size_t len)
{
    char held[LABEL_NAME_SIZE];
    FitLabelName(held, wanted);
    if (strlen(wanted) == len && !IsLabelNameTaken(ref, held)) {
        rw->insertName = wanted;
        rw->insertLength = len;
        memcpy(rw->name, held, strlen(held) + 1);  // what the caller is told
        return 0;
    }
    size_t keep = SjisFitLength(wanted, strlen(wanted), MAX_RENAME_LENGTH);
    memcpy(rw->name, wanted, keep);
    rw->name[keep] = '\0';
    int numbered = keep < strlen(wanted) ? NumberLabelName(ref, rw->name) : MakeUniqueLabelName(ref, rw->name);
    if (numbered != 0)
        return Fail(rw->error, "no free name for the label");
    rw->insertName = rw->name;
    rw->insertLength = strlen(rw->name);
    return 0;
}

// Opens the clip file and reads its label's head.
int OpenClip(Rewrite* rw, const LibraryFiles* files, const LabelNode* ref)
{
    rw->clipFile = FileOpen(files->clip, "rb");
    if (!rw->clipFile)
        return Fail(rw->error, "cannot open the clip file", FAULT_CLIP_FILE);
    LibraryError head = {0, ""};
    if (StartWalk(&rw->clip, rw->clipFile, nullptr, false, &head) != 0) {
        if (head.fault == FAULT_NO_MEMORY)
            return Fail(rw->error, head.what, FAULT_NO_MEMORY);
        return FailAt(rw->error, rw->clip.tokens.lineNumber, "the clip file holds no label", FAULT_CLIP_FILE);
    }
    // Faults inside the clip label are the rewrite's.
    rw->clip.error = rw->error;
    return ChooseInsertName(rw, ref, rw->clip.text, rw->clip.textLength);
}

// Takes each read of the phrase file into the backup.
void CopyToBackup(void* context, const char* bytes, size_t n)
{
    Rewrite* rw = (Rewrite*)context;
    if (rw->backupFailed)
        return;
    if (FileWrite(bytes, n, rw->backup.file) != n) {
        rw->backupFailed = true;
        return;
    }
    rw->backupAhead += n;
    if (rw->backupAhead >= WRITE_AHEAD_STEP) {
        FileWriteAhead(rw->backup.file);
        rw->backupAhead = 0;
    }
}

// Drains the new phrase file's sink into its temporary file.
bool DrainPhraseFile(void* context, const char* bytes, size_t n)
{
    Rewrite* rw = (Rewrite*)context;
    if (FileWrite(bytes, n, rw->phraseFile) != n)
        return false;
    rw->phraseAhead += n;
    if (rw->phraseAhead >= WRITE_AHEAD_STEP) {
        FileWriteAhead(rw->phraseFile);
        rw->phraseAhead = 0;
    }
    return true;
}

// Copies what the walk left unread of the phrase file (past the root
// label's end) and puts the backup in place. Returns 0 or -1.
int FinishBackup(Rewrite* rw)
{
    static char rest[16 * 1024];
    size_t n;
    while (!rw->backupFailed && (n = FileRead(rest, sizeof rest, rw->inFile)) > 0)
        CopyToBackup(rw, rest, n);
    if (rw->backupFailed || FileFailed(rw->inFile)) {
        AbortSafeWrite(&rw->backup);
        return -1;
    }
    return CommitSafeWrite(&rw->backup);
}

void Release(Rewrite* rw)
{
    EndWalk(&rw->in);
    EndWalk(&rw->clip);
    if (rw->inFile)
        FileClose(rw->inFile);
    if (rw->clipFile)
        FileClose(rw->clipFile);
    rw->inFile = rw->clipFile = nullptr;
}

// Asked before every try of the new phrase file's rename: the phrase file
// must still be the one the backup was copied from. A program that knows
// nothing of the writers' lock (a sync tool, an editor) may have renamed
// its own copy over it meanwhile; moving ours over that would lose its
// change without a word. The views are told the new file's stamp from here,
// before the rename that keeps it: a change right after the rename is then
// seen as another program's.
int CheckPhraseFileUnchanged(void* context, const char* temp)
{
    Rewrite* rw = (Rewrite*)context;
    // The stamp is taken while the file is held (where it can be), so that
    // nobody replaces it in the middle of the stamp's reads. Held open, the
    // file cannot be replaced by anyone, ours included: the hold ends
    // then, and a look by its name sees whether it was replaced since.
    FileStamp now;
    TakeFileStamp(rw->files->phrase, &now);
    EndFileHold(rw->hold);
    rw->hold = 0;
    if (!SameFileStamp(&now, &rw->read) || !SameFileByName(rw->files->phrase, &rw->read))
        return FailChanged(rw->error);
    if (rw->request->written)
        TakeFileStamp(temp, rw->request->written);
    return 0;
}

int CheckDisplacedPhraseFile(void* context, const char* displaced)
{
    Rewrite* rw = (Rewrite*)context;
    return CheckDisplaced(displaced, &rw->read, rw->error);
}

// The new clip file's stamp for the caller, before its rename.
int StampNewClipFile(void* context, const char* temp)
{
    Rewrite* rw = (Rewrite*)context;
    TakeFileStamp(temp, rw->request->clipWritten);
    return 0;
}

// The clip file as it was, moved aside while a cut's new clip file goes in
// ahead of the phrase file. Returns 0 (*aside names it, "" when there was
// none) or -1 (the clip file cannot be moved: the cut is not made).
int PutClipAside(const char* clip, char* aside)
{
    aside[0] = '\0';
    if (!FileExists(clip))
        return 0;
    int n = snprintf(aside, PATH_BUFFER_SIZE + 16, "%s.old", clip);
    if (n <= 0 || n >= PATH_BUFFER_SIZE + 16 || ReplaceFileAtomically(clip, aside) != 0) {
        aside[0] = '\0';
        return -1;
    }
    return 0;
}

// Hands the finished outputs over: the clip file first, so that a cut label
// is never gone from the library before it is in the clip file. When the
// phrase file then cannot be replaced, the clip file as it was comes back:
// the command has failed, and a paste of the label would make a second one.
int CommitOutputs(Rewrite* rw, SafeWriter* phraseWriter, SafeWriter* clipWriter)
{
    FlushFormatSink(&rw->phrase);
    FlushFormatSink(&rw->clipOut);
    if (rw->phrase.failed || rw->clipOut.failed) {
        AbortSafeWrite(phraseWriter);
        AbortSafeWrite(clipWriter);
        return Fail(rw->error, "cannot write");
    }
    const char* clip = rw->files->clip;
    char aside[PATH_BUFFER_SIZE + 16] = "";
    bool both = clipWriter->file && phraseWriter->file;
    if (both && PutClipAside(clip, aside) != 0) {
        AbortSafeWrite(phraseWriter);
        AbortSafeWrite(clipWriter);
        return Fail(rw->error, "cannot write the clip file", FAULT_CLIP_FILE);
    }
    if (clipWriter->file && CommitSafeWrite(clipWriter) != 0) {
        AbortSafeWrite(phraseWriter);
        if (aside[0])
            ReplaceFileAtomically(aside, clip);
        return Fail(rw->error, "cannot write the clip file", FAULT_CLIP_FILE);
    }
    if (phraseWriter->file && CommitSafeWrite(phraseWriter) != 0) {
        if (both && (aside[0] ? ReplaceFileAtomically(aside, clip) : FileRemove(clip)) != 0)
            return Fail(rw->error, "cannot write the phrase file, and the clip file holds the label",
                        FAULT_CLIP_FILE);
        if (!rw->error || !rw->error->changed)
            return Fail(rw->error, "cannot write the phrase file");
        return -1;
    }
    if (aside[0])
        FileRemove(aside);
    return 0;
}

int RunRewrite(Rewrite* rw, const LibraryFiles* files, SafeWriter* phraseWriter,
               SafeWriter* clipWriter)
{
    const RewriteRequest* rq = rw->request;
    RewriteKind kind = rq->kind;
    const LabelNode* target = rq->target;

    // Everything that can be refused is refused before a file is touched.
    if (kind == REWRITE_RENAME_LABEL && CheckRenameName(target, rq->newName) != 0)
        return Fail(rw->error, "name empty, too long or taken");
    if ((kind == REWRITE_SAVE_PHRASES || kind == REWRITE_ADD_LABEL) && !rq->phrases)
        return Fail(rw->error, "no phrases to store");
    if (kind == REWRITE_ADD_LABEL &&
        (!rq->newName || !rq->newName[0] || strchr(rq->newName, '\r') || strchr(rq->newName, '\n')))
        return Fail(rw->error, "no name for the label");
    if (IsNew(kind)) {
        const LabelNode* ref = kind == REWRITE_NEW_CHILD_LABEL ? target->firstChild : target;
        const char* wanted = kind == REWRITE_ADD_LABEL ? rq->newName : NEW_LABEL_NAME;
        if (rw->path.count + (kind == REWRITE_NEW_CHILD_LABEL) > MAX_LABEL_DEPTH)
            return Fail(rw->error, "nesting too deep");
        if (ChooseInsertName(rw, ref, wanted, strlen(wanted)) != 0)
            return -1;
    }
    if (IsPaste(kind) &&
        OpenClip(rw, files, kind == REWRITE_PASTE_LABEL ? target : target->firstChild) != 0)
        return -1;

    // A copy leaves the phrase file as it is and reads it directly.
    const char* source = files->phrase;
    rw->files = files;
    if (kind != REWRITE_COPY_LABEL) {
        // What the backup is copied from, until the rename: no writer that
        // ignores the lock may replace it (where the system allows a hold),
        // and the rename checks that none did.
        rw->hold = HoldFileAgainstWriters(files->phrase);
        TakeFileStamp(files->phrase, &rw->read);
    }
    rw->inFile = FileOpen(source, "rb");
    if (!rw->inFile) {
        snprintf(rw->inError.what, sizeof rw->inError.what, "cannot open the file");
        return -1;
    }
    if (kind != REWRITE_COPY_LABEL && BeginSafeWrite(&rw->backup, files->backup) != 0)
        return Fail(rw->error, "cannot copy the phrase file to the backup");

    // Both outputs are written in whole buffers: the C library's own buffer
    // would only cut each one in two writes.
    if (rw->backup.file)
        setvbuf(rw->backup.file, nullptr, _IONBF, 0);
    if (kind != REWRITE_COPY_LABEL) {
        if (BeginSafeWrite(phraseWriter, files->phrase) != 0)
            return Fail(rw->error, "cannot create the new phrase file");
        setvbuf(phraseWriter->file, nullptr, _IONBF, 0);
        rw->phraseFile = phraseWriter->file;
        rw->phrase.context = rw;
        rw->phrase.drain = DrainPhraseFile;
        phraseWriter->beforeReplace = CheckPhraseFileUnchanged;
        phraseWriter->checkDisplaced = CheckDisplacedPhraseFile;
        phraseWriter->context = rw;
    }
    if (kind == REWRITE_CUT_LABEL || kind == REWRITE_COPY_LABEL) {
        if (BeginSafeWrite(clipWriter, files->clip) != 0)
            return Fail(rw->error, "cannot create the clip file", FAULT_CLIP_FILE);
        rw->clipOut.context = clipWriter->file;
        rw->clipOut.drain = DrainToFile;
        if (rq->clipWritten) {
            clipWriter->beforeReplace = StampNewClipFile;
            clipWriter->context = rw;
        }
    }

    if ((rw->backup.file ? StartCopyingWalk(&rw->in, rw->inFile, &rw->path, CopyToBackup, rw, &rw->inError)
                         : StartWalk(&rw->in, rw->inFile, &rw->path, false, &rw->inError)) != 0)
        return -1;
    PutLabelHead(&rw->phrase, 0, rw->in.text, rw->in.textLength);
    if (StreamRootBody(rw) != 0)
        return -1;
    // Phrases stored under a label that is gone leave the file as it was,
    // and the store has failed: they are nowhere.
    if (!rw->found)
        return Fail(rw->error, "no such label in the file", FAULT_NO_SUCH_LABEL);
    // The backup is complete and on the disk before the phrase file may be
    // replaced. The new phrase file goes on to the disk meanwhile.
    if (rw->phraseFile && FlushFormatSink(&rw->phrase))
        FileWriteAhead(rw->phraseFile);
    if (rw->backup.file && FinishBackup(rw) != 0)
        return Fail(rw->error, "cannot copy the phrase file to the backup");

    // Readers are closed before the files they read may be replaced.
    Release(rw);
    return CommitOutputs(rw, phraseWriter, clipWriter);
}

// The record of one rewrite and its buffers, in three heap blocks: the
// record (zeroed) with the phrase and name buffers, and each output's buffer
// (the buffers are written before they are read); null when there is no
// memory.
// Each output drops what it is given until its file is open. Blocks of this
// size are taken from the allocator's pools, not mapped anew each time.
const size_t kRewriteBlock = sizeof(Rewrite) + (size_t)PHRASE_BUFFER_SIZE + NAME_BUFFER_SIZE;

Rewrite* NewRewrite(const RewriteRequest* request, LibraryError* error)
{
    char* block = (char*)TakeBuffer(kRewriteBlock);
    char* phraseOut = (char*)TakeBuffer(OUTPUT_BUFFER_SIZE);
    char* clipOut = (char*)TakeBuffer(OUTPUT_BUFFER_SIZE);
    if (!block || !phraseOut || !clipOut) {
        GiveBuffer(block, kRewriteBlock);
        GiveBuffer(phraseOut, OUTPUT_BUFFER_SIZE);
        GiveBuffer(clipOut, OUTPUT_BUFFER_SIZE);
        return nullptr;
    }
    memset(block, 0, sizeof(Rewrite));
    Rewrite* rw = (Rewrite*)block;
    rw->request = request;
    rw->error = error;
    rw->text = block + sizeof(Rewrite);
    rw->name = rw->text + PHRASE_BUFFER_SIZE;
    rw->name[0] = '\0';
    StartFormatSink(&rw->phrase, phraseOut, OUTPUT_BUFFER_SIZE, nullptr, nullptr);
    StartFormatSink(&rw->clipOut, clipOut, OUTPUT_BUFFER_SIZE, nullptr, nullptr);
    return rw;
}

void FreeRewrite(Rewrite* rw)
{
    GiveBuffer(rw->phrase.buffer, OUTPUT_BUFFER_SIZE);
    GiveBuffer(rw->clipOut.buffer, OUTPUT_BUFFER_SIZE);
    GiveBuffer(rw, kRewriteBlock);
}

}  // namespace

int RewritePhraseFile(const LibraryFiles* files, const RewriteRequest* request, char* followPath,
                      char* newName, LibraryError* error)
{
    if (error)
        *error = LibraryError();
    if (request && request->written)
        memset(request->written, 0, sizeof *request->written);
    if (request && request->clipWritten)
        memset(request->clipWritten, 0, sizeof *request->clipWritten);
    if (followPath)
        memset(followPath, 0, NAME_PATH_SIZE);
    if (newName)
        newName[0] = '\0';
    if (!files || !request)
        return Fail(error, "no request");

    // The root label (null or a record without parent) can only have its
    // phrases stored; every other operation needs a label.
    const LabelNode* target = request->target;
    if (target && !target->parent)
        target = nullptr;
    if (!target && request->kind != REWRITE_SAVE_PHRASES)
        return Fail(error, "no label selected");
    int depth = target ? LabelDepth(target) : 0;
    if (depth > MAX_LABEL_DEPTH)
        return Fail(error, "nesting too deep");

    Rewrite* rw = NewRewrite(request, error);
    if (!rw)
        return Fail(error, "out of memory", FAULT_NO_MEMORY);
    LabelPathOf(target, &rw->path);

    SafeWriter phraseWriter, clipWriter;
    phraseWriter.file = clipWriter.file = nullptr;
    // From the backup copy to the commit no other writer may touch the
    // phrase file, its backup or the clip file.
    int result = -1;
    int lock = TakeWriterLock(files->phrase, WRITER_LOCK_WAIT_MS);
    if (lock == WRITER_LOCK_DENIED) {
        Fail(error, "the library's lock file cannot be made (read-only, or a folder that cannot be written)");
    } else if (lock != 0) {
        Fail(error, "another writer holds the library");
    } else {
        result = RunRewrite(rw, files, &phraseWriter, &clipWriter);
        // The walk of the phrase file failed as a read of its tree would:
        // told as such.
        bool fileFault = result != 0 && rw->inError.what[0] && rw->inError.fault != FAULT_NO_MEMORY;
        if (result != 0 && rw->inError.what[0] && error) {
            LibraryError told = rw->inError;
            told.fault = fileFault ? FAULT_PHRASE_FILE : rw->inError.fault;
            *error = told;
        }
        // A change that failed still leaves the backup of the file it read,
        // as one made before it would be; unless asked to keep the backup
        // from a file that is no library.
        if (rw->backup.file && fileFault && request->keepBackupOnFault)
            AbortSafeWrite(&rw->backup);
        else if (rw->backup.file)
            FinishBackup(rw);
        Release(rw);
        EndFileHold(rw->hold);
        rw->hold = 0;
        if (result != 0) {
            AbortSafeWrite(&phraseWriter);
            AbortSafeWrite(&clipWriter);
        }
        ReleaseWriterLock(files->phrase);
    }

    // On failure the caller finds the unchanged label by the target's path.
    if (followPath) {
        if (result == 0 && (request->kind == REWRITE_NEW_LABEL || request->kind == REWRITE_ADD_LABEL))
            PutFollowPath(followPath, rw, depth - 1, rw->name);
        else if (result == 0 && request->kind == REWRITE_NEW_CHILD_LABEL)
            PutFollowPath(followPath, rw, depth, rw->name);
        else
            PutFollowPath(followPath, rw, depth, nullptr);
    }
    if (newName && result == 0 && (IsNew(request->kind) || IsPaste(request->kind)))
        memcpy(newName, rw->name, strlen(rw->name) + 1);
    FreeRewrite(rw);
    return result;
}

int BackupPhraseFile(const LibraryFiles* files)
{
    if (TakeWriterLock(files->phrase, WRITER_LOCK_WAIT_MS) != 0)
        return -1;
    int result = CopyFileSafely(files->phrase, files->backup);
    ReleaseWriterLock(files->phrase);
    return result;
}

namespace {

struct Replacement {
    const char* path;
    FileStamp read;
    LibraryError* error;
};

int CheckUnchangedSince(void* context, const char* temp)
{
    (void)temp;
    Replacement* r = (Replacement*)context;
    FileStamp now;
    bool was = r->read.known;
    TakeFileStamp(r->path, &now);
    // A library that was not there must still not be there.
    if (was ? SameFileStamp(&now, &r->read) && SameFileByName(r->path, &r->read) : !now.known)
        return 0;
    return FailChanged(r->error);
}

int CheckDisplacedSince(void* context, const char* displaced)
{
    Replacement* r = (Replacement*)context;
    return CheckDisplaced(displaced, &r->read, r->error);
}

int WriteLibrary(const LibraryFiles* files, int (*fill)(void* context, FILE* file), void* context,
                 char* keptPath, LibraryError* error, bool* refused)
{
    Replacement check = {files->phrase, {}, error};
    TakeFileStamp(files->phrase, &check.read);
    char kept[PATH_BUFFER_SIZE] = "";
    if (FileExists(files->phrase)) {
        size_t n = strlen(files->phrase);
        if (n < 3 || n >= sizeof kept)
            return Fail(error, "no name for the copy of the library");
        bool vacant = false;
        for (int i = 1; i <= 999 && !vacant; i++) {
            memcpy(kept, files->phrase, n + 1);
            snprintf(kept + n - 3, 4, "%03d", i);
            vacant = !FileExists(kept);
        }
        // Copied rather than moved: the phrase file stays in place until the
        // new library replaces it in one step.
        if (!vacant)
            return Fail(error, "the copies 001 to 999 of the library are all taken");
        if (CopyFileSafely(files->phrase, kept) != 0)
            return Fail(error, "cannot copy the library");
    }
    SafeWriter w;
    int result = BeginSafeWrite(&w, files->phrase);
    if (result == 0 && !(*refused = fill(context, w.file) != 0)) {
        w.beforeReplace = CheckUnchangedSince;
        w.checkDisplaced = CheckDisplacedSince;
        w.context = &check;
        result = CommitSafeWrite(&w);
    } else {
        AbortSafeWrite(&w);
        result = -1;
    }
    if (result != 0) {
        if (kept[0])
            FileRemove(kept);
        if (!error || !error->changed)
            Fail(error, *refused ? "the new library was refused" : "cannot write the new library");
        return -1;
    }
    if (keptPath)
        memcpy(keptPath, kept, strlen(kept) + 1);
    return 0;
}

struct HeldBytes {
    const char* bytes;
    size_t size;
};

int WriteHeldBytes(void* context, FILE* file)
{
    const HeldBytes* held = (const HeldBytes*)context;
    return held->size == 0 || FileWrite(held->bytes, held->size, file) == held->size ? 0 : -1;
}

}  // namespace

int ReplaceLibraryFileWith(const LibraryFiles* files, int (*fill)(void* context, FILE* file),
                           void* context, char* keptPath, LibraryError* error, bool* refused)
{
    if (keptPath)
        keptPath[0] = '\0';
    if (error)
        *error = LibraryError();
    bool wasRefused = false;
    if (!refused)
        refused = &wasRefused;
    *refused = false;
    // The kept copy's free name and the new file are chosen by one writer.
    int lock = TakeWriterLock(files->phrase, WRITER_LOCK_WAIT_MS);
    if (lock != 0)
        return Fail(error, lock == WRITER_LOCK_DENIED ? "the library's lock file cannot be made"
                                                      : "another writer holds the library");
    int result = WriteLibrary(files, fill, context, keptPath, error, refused);
    ReleaseWriterLock(files->phrase);
    return result;
}

int ReplaceLibraryFile(const LibraryFiles* files, const char* bytes, size_t size, char* keptPath,
                       LibraryError* error)
{
    HeldBytes held = {bytes, size};
    return ReplaceLibraryFileWith(files, WriteHeldBytes, &held, keptPath, error, nullptr);
}

int CreateLibraryFile(const LibraryFiles* files, char* keptPath)
{
    char buffer[256];
    int n = snprintf(buffer, sizeof buffer, "<u>\"%s\"\r\n    <u>\"%s\"\r\n    </u>\r\n</u>\r\n",
                     ROOT_LABEL_NAME, NEW_LABEL_NAME);
    return ReplaceLibraryFile(files, buffer, (size_t)n, keptPath, nullptr);
}

int CheckRenameName(const LabelNode* target, const char* name)
{
    if (!target || !name)
        return -1;
    size_t n = strlen(name);
    if (n == 0 || n > (size_t)MAX_RENAME_LENGTH)
        return -1;
    // A line break would end the quoted name line and break the file.
    if (strchr(name, '\r') || strchr(name, '\n'))
        return -1;
    return IsLabelNameTaken(target, name) ? -1 : 0;
}

int WriteLabelFile(const char* path, const char* name, const PhraseSource* phrases)
{
    if (!path || !name || !phrases)
        return -1;
    char* block = (char*)malloc(OUTPUT_BUFFER_SIZE + PHRASE_BUFFER_SIZE);
    if (!block)
        return -1;
    char* text = block + OUTPUT_BUFFER_SIZE;
    SafeWriter w;
    if (BeginSafeWrite(&w, path) != 0) {
        free(block);
        return -1;
    }
    FormatSink out;
    StartFormatSink(&out, block, OUTPUT_BUFFER_SIZE, w.file, DrainToFile);
    PutLabelHead(&out, 0, name, strlen(name));
    for (int i = 0; i < phrases->count && !out.failed; i++) {
        int n = phrases->get(phrases->context, i, text, PHRASE_BUFFER_SIZE);
        if (n < 0 || n >= PHRASE_BUFFER_SIZE)
            out.failed = true;
        else
            PutPhrase(&out, 1, text, (size_t)n);
    }
    PutLabelClose(&out, 0);
    FlushFormatSink(&out);
    free(block);
    if (out.failed) {
        AbortSafeWrite(&w);
        return -1;
    }
    return CommitSafeWrite(&w);
}
