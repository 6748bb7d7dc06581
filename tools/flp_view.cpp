#include "tools/flp_view.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "library/phrase_walker.h"
#include "tools/flp_spill.h"

namespace {

// The message of a lost page, made when the view is opened: the handler
// may only write it.
char g_lostMessage[4096];
size_t g_lostLength;

void OnLostPage(int)
{
    if (write(2, g_lostMessage, g_lostLength) < 0) {
        // Nothing more can be said.
    }
    _exit(1);
}

// The pages of the next step of the walk come in at once rather than at
// a fault each (a walk spends a good part of its time on those otherwise).
const size_t POPULATE_STEP = VIEW_RELEASE_STEP;

void Populate(FileView* view, size_t from)
{
#ifdef MADV_POPULATE_READ
    size_t page = (size_t)sysconf(_SC_PAGESIZE);
    from = from / page * page;
    if (from >= view->length)
        return;
    size_t n = view->length - from < POPULATE_STEP ? view->length - from : POPULATE_STEP;
    madvise((void*)(view->bytes + from), n, MADV_POPULATE_READ);
#else
    (void)view;
    (void)from;
#endif
}

void SetLostMessage(const char* path)
{
    const char* tail = ": the file changed while it was read\n";
    size_t n = strlen(path);
    if (n > sizeof g_lostMessage - 64)
        n = sizeof g_lostMessage - 64;
    memcpy(g_lostMessage, "flp: ", 5);
    memcpy(g_lostMessage + 5, path, n);
    memcpy(g_lostMessage + 5 + n, tail, strlen(tail));
    g_lostLength = 5 + n + strlen(tail);
}

int OpenView(const char* path, FileView* view)
{
    int fd = open(path, O_RDONLY);
    if (fd < 0)
        return -1;
    struct stat st;
    void* bytes = MAP_FAILED;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
        (uintmax_t)st.st_size <= SIZE_MAX) {
        bytes = mmap(nullptr, (size_t)st.st_size, PROT_READ, MAP_PRIVATE, fd, 0);
    }
    close(fd);
    if (bytes == MAP_FAILED)
        return -1;
    view->bytes = (const char*)bytes;
    view->length = (size_t)st.st_size;
    view->handle = nullptr;
    SetLostMessage(path);
    Populate(view, 0);
    return 0;
}

// The pages walked leave the process, so that it holds little of a large
// file (they stay in the system's cache); the next ones come in.
void ReleaseView(FileView* view, size_t upTo)
{
    size_t page = (size_t)sysconf(_SC_PAGESIZE);
    madvise((void*)view->bytes, upTo / page * page, MADV_DONTNEED);
    Populate(view, upTo);
}

void CloseView(FileView* view)
{
    munmap((void*)view->bytes, view->length);
}

const FileViewer kViewer = {OpenView, ReleaseView, CloseView};

}  // namespace

void UseFileViews(bool walks)
{
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = OnLostPage;
    sigemptyset(&action.sa_mask);
    if (sigaction(SIGBUS, &action, nullptr) == 0 && walks)
        SetFileViewer(&kViewer);
}

namespace {

// Maps the regular file open at fd whole.
bool MapWhole(int fd, InputView* view)
{
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (uintmax_t)st.st_size > SIZE_MAX)
        return false;
    if (st.st_size == 0) {
        view->bytes = "";
        view->size = 0;
        return true;
    }
    void* bytes = mmap(nullptr, (size_t)st.st_size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (bytes == MAP_FAILED)
        return false;
    view->bytes = (const char*)bytes;
    view->size = view->mapped = (size_t)st.st_size;
    return true;
}

}  // namespace

bool ViewInput(FILE* in, const char* name, InputView* view)
{
    view->mapped = 0;
    view->bytes = nullptr;
    view->size = 0;
    SetLostMessage(name);
    if (MapWhole(fileno(in), view))
        return true;
    // A pipe: copied to a file of its own first.
    FILE* copy = OpenTempFile();
    char piece[64 * 1024];
    size_t n;
    bool ok = copy != nullptr;
    while ((n = fread(piece, 1, sizeof piece, in)) > 0) {
        if (copy)
            ok = ok && fwrite(piece, 1, n, copy) == n;
        else
            view->held.append(piece, n);
    }
    if (ferror(in)) {
        if (copy)
            fclose(copy);
        return false;
    }
    if (!copy) {
        view->bytes = view->held.data();
        view->size = view->held.size();
        return true;
    }
    ok = ok && fflush(copy) == 0 && MapWhole(fileno(copy), view);
    fclose(copy);
    return ok;
}

void ReleaseInput(InputView* view, size_t upTo)
{
    size_t page = (size_t)sysconf(_SC_PAGESIZE);
    if (view->mapped && upTo >= page)
        madvise((void*)view->bytes, upTo / page * page, MADV_DONTNEED);
}

void EndInputView(InputView* view)
{
    if (view->mapped)
        munmap((void*)view->bytes, view->mapped);
    view->mapped = 0;
}
#else
void UseFileViews(bool)
{
}

bool ViewInput(FILE* in, const char*, InputView* view)
{
    view->mapped = 0;
    char piece[64 * 1024];
    size_t n;
    while ((n = fread(piece, 1, sizeof piece, in)) > 0)
        view->held.append(piece, n);
    view->bytes = view->held.data();
    view->size = view->held.size();
    return !ferror(in);
}

void ReleaseInput(InputView*, size_t)
{
}

void EndInputView(InputView*)
{
}
#endif
