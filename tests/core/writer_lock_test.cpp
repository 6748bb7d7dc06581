// The writers' lock: nested takes in one process, another process kept
// out and let in, a killed holder, and the rewrite that waits its turn.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "common/writer_lock.h"
#include "library/phrase_reader.h"
#include "library/phrase_rewrite.h"
#include "tests/core/test_files.h"

#ifndef _WIN32
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

std::string LibraryIn(const std::string& name)
{
    fs::path dir = fs::current_path() / "writer_lock" / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return (dir / "lib.htm").string();
}

TEST(WriterLock, NestedTakesHoldItUntilTheLastRelease)
{
    std::string library = LibraryIn("nested");
    std::string lockFile = library + ".lock";
    ReleaseWriterLock(library.c_str());  // not held: nothing happens
    EXPECT_FALSE(HoldsWriterLock(library.c_str()));

    ASSERT_EQ(TakeWriterLock(library.c_str(), 0), 0);
    ASSERT_EQ(TakeWriterLock(library.c_str(), 0), 0) << "a holder takes it again at once";
    EXPECT_TRUE(fs::exists(lockFile));
    ReleaseWriterLock(library.c_str());
    EXPECT_TRUE(HoldsWriterLock(library.c_str()));
    EXPECT_TRUE(fs::exists(lockFile));
    ReleaseWriterLock(library.c_str());
    EXPECT_FALSE(HoldsWriterLock(library.c_str()));
    EXPECT_FALSE(fs::exists(lockFile)) << "the lock file goes with the lock";

    // A rewrite run while the caller holds the lock takes it nested and
    // leaves it held.
    WriteBytes(library, "<u>\"root\"\r\n    <u>\"a\"\r\n    </u>\r\n</u>\r\n");
    LibraryFiles files;
    ASSERT_EQ(SetLibraryFiles(&files, library.c_str()), 0);
    LabelNode* root = nullptr;
    ASSERT_EQ(ReadLabelTree(files.phrase, &root), 0);
    ASSERT_EQ(TakeWriterLock(library.c_str(), 0), 0);
    RewriteRequest request = {};
    request.kind = REWRITE_NEW_LABEL;
    request.target = root->firstChild;
    request.after = 1;
    EXPECT_EQ(RewritePhraseFile(&files, &request), 0);
    EXPECT_TRUE(HoldsWriterLock(library.c_str()));
    ReleaseWriterLock(library.c_str());
    EXPECT_FALSE(fs::exists(lockFile));
    FreeLabelTree(root);

    EXPECT_EQ(TakeWriterLock((fs::path(library).parent_path() / "no folder" / "lib.htm").string().c_str(), 0), WRITER_LOCK_DENIED)
        << "a lock file that cannot be made is no lock";
}

// A reader (a scanner, the phrase window's list) that has the file open
// for a moment: the commit waits for it instead of failing.
TEST(WriterLock, ACommitWaitsForAReaderOfTheTarget)
{
    std::string library = LibraryIn("reader");
    std::string copy = library + ".src";
    WriteBytes(library, "old");
    WriteBytes(copy, "new");
    FILE* reader = fopen(library.c_str(), "rb");
    ASSERT_TRUE(reader);
    std::thread done([reader] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        fclose(reader);
    });
    EXPECT_EQ(CopyFileSafely(copy.c_str(), library.c_str()), 0);
    done.join();
    EXPECT_EQ(ReadBytes(library), "new");
}

TEST(WriterLock, OneLockForEachFileTheSystemTellsApart)
{
    std::string folder = LibraryIn("spellings");
    folder.resize(folder.size() - strlen("lib.htm"));
    // A Shift-JIS trail byte with the code of a letter is no letter.
    std::string first = folder + "\x83" "A.htm", second = folder + "\x83" "a.htm";
    ASSERT_EQ(TakeWriterLock(first.c_str(), 0), 0);
    EXPECT_FALSE(HoldsWriterLock(second.c_str()));
    ASSERT_EQ(TakeWriterLock(second.c_str(), 0), 0);
#ifdef _WIN32
    // The file system ignores the case of ASCII letters.
    std::string upper = folder + "\x83" "A.HTM";
    EXPECT_TRUE(HoldsWriterLock(upper.c_str()));
#endif
    ReleaseWriterLock(first.c_str());
    EXPECT_TRUE(HoldsWriterLock(second.c_str()));
    ReleaseWriterLock(second.c_str());
    EXPECT_FALSE(HoldsWriterLock(second.c_str()));
}

#ifndef _WIN32
long MsSince(std::chrono::steady_clock::time_point start)
{
    return (long)std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

// A child process that takes the lock, says so through a pipe and then
// holds it for holdMs (forever for -1, until it is killed).
pid_t StartHolder(const std::string& library, int holdMs)
{
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    pid_t child = fork();
    if (child == 0) {
        close(ready[0]);
        char ok = TakeWriterLock(library.c_str(), 0) == 0 ? '1' : '0';
        if (write(ready[1], &ok, 1) != 1)
            _exit(2);
        if (holdMs < 0)
            for (;;)
                pause();
        usleep((useconds_t)holdMs * 1000);
        ReleaseWriterLock(library.c_str());
        _exit(0);
    }
    close(ready[1]);
    char ok = '0';
    if (child < 0 || read(ready[0], &ok, 1) != 1 || ok != '1') {
        close(ready[0]);
        if (child > 0) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        return -1;
    }
    close(ready[0]);
    return child;
}

TEST(WriterLock, AnotherProcessIsKeptOutUntilTheHolderIsKilled)
{
    std::string library = LibraryIn("killed");
    pid_t holder = StartHolder(library, -1);
    ASSERT_GT(holder, 0);
    EXPECT_EQ(TakeWriterLock(library.c_str(), 0), -1);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(TakeWriterLock(library.c_str(), 150), -1);
    // The lock counts whole milliseconds: its wait may end up to one short.
    EXPECT_GE(MsSince(start), 149) << "the wait is taken in full";

    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(TakeWriterLock(library.c_str(), WRITER_LOCK_WAIT_MS), 0);
    EXPECT_LT(MsSince(start), 1000) << "the system let go of a killed holder's lock";
    ReleaseWriterLock(library.c_str());
    EXPECT_FALSE(fs::exists(library + ".lock"));
}

TEST(WriterLock, ARewriteWaitsForTheHolderInsteadOfFailing)
{
    std::string library = LibraryIn("wait");
    WriteBytes(library, "<u>\"root\"\r\n    <u>\"a\"\r\n    </u>\r\n</u>\r\n");
    LibraryFiles files;
    ASSERT_EQ(SetLibraryFiles(&files, library.c_str()), 0);
    LabelNode* root = nullptr;
    ASSERT_EQ(ReadLabelTree(files.phrase, &root), 0);

    pid_t holder = StartHolder(library, 300);
    ASSERT_GT(holder, 0);
    auto start = std::chrono::steady_clock::now();
    RewriteRequest request = {};
    request.kind = REWRITE_RENAME_LABEL;
    request.target = root->firstChild;
    request.newName = "b";
    EXPECT_EQ(RewritePhraseFile(&files, &request), 0);
    EXPECT_GE(MsSince(start), 250) << "the rewrite ran while the other process held the lock";
    EXPECT_EQ(ReadBytes(library), "<u>\"root\"\r\n    <u>\"b\"\r\n    </u>\r\n</u>\r\n");
    int status = 0;
    waitpid(holder, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    FreeLabelTree(root);
}
#endif

}  // namespace
