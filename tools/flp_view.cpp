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
    const char* tail = ": the file changed while it was read\n";
    size_t n = strlen(path);
    if (n > sizeof g_lostMessage - 64)
        n = sizeof g_lostMessage - 64;
    memcpy(g_lostMessage, "flp: ", 5);
    memcpy(g_lostMessage + 5, path, n);
    memcpy(g_lostMessage + 5 + n, tail, strlen(tail));
    g_lostLength = 5 + n + strlen(tail);
    return 0;
}

// The pages walked leave the process, so that it holds little of a large
// file (they stay in the system's cache).
void ReleaseView(FileView* view, size_t upTo)
{
    size_t page = (size_t)sysconf(_SC_PAGESIZE);
    madvise((void*)view->bytes, upTo / page * page, MADV_DONTNEED);
}

void CloseView(FileView* view)
{
    munmap((void*)view->bytes, view->length);
}

const FileViewer kViewer = {OpenView, ReleaseView, CloseView};

}  // namespace

void UseFileViews()
{
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = OnLostPage;
    sigemptyset(&action.sa_mask);
    if (sigaction(SIGBUS, &action, nullptr) == 0)
        SetFileViewer(&kViewer);
}
#else
void UseFileViews()
{
}
#endif
