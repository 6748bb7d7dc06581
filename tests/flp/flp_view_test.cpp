// flp's views of library files: the walks see the file in place, and a file
// shortened while it is seen ends flp with a message instead of SIGBUS.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "library/phrase_reader.h"
#include "library/phrase_search.h"
#include "library/phrase_walker.h"
#include "tests/core/test_files.h"
#include "tools/flp_view.h"

namespace {

std::string Library(int phrases)
{
    std::string text = "<u>\"root\"\r\n    <u>\"a\"\r\n";
    for (int i = 0; i < phrases; i++)
        text += "        <p>\r\n        \"phrase " + std::to_string(i) + "\"\r\n        </p>\r\n";
    return text + "    </u>\r\n</u>\r\n";
}

int CountPhrases(void* count, const char*, size_t)
{
    ++*(long*)count;
    return 0;
}

TEST(FileViews, SearchesSeeTheFileInPlace)
{
    WriteBytes("seen.htm", Library(50000));  // released in steps; the last read-ahead copied
    UseFileViews(true);
    PhraseWalker w;
    ASSERT_EQ(OpenWalk(&w, "seen.htm", nullptr, false, nullptr), 0);
    EXPECT_NE(w.viewer, nullptr) << "the file is seen in place, not read";
    EndWalk(&w);
    SearchWords words;
    BuildSearchWords("phrase", &words);
    long count = 0;
    PhraseSink sink = {&count, CountPhrases};
    EXPECT_EQ(SearchLibraryFile("seen.htm", &words, 0, nullptr, &sink), 0);
    EXPECT_EQ(count, 50000);
    // A file no view can be made of is read.
    WriteBytes("empty.htm", "");
    LabelNode* root = nullptr;
    EXPECT_EQ(ReadLabelTree("empty.htm", &root), -1);
    EXPECT_EQ(ReadLabelTree("missing.htm", &root), -1);
    SetFileViewer(nullptr);
}

TEST(FileViews, AFileShortenedWhileSeenEndsTheProgramWithAMessage)
{
    WriteBytes("shrinks.htm", Library(20000));
    EXPECT_EXIT(
        {
            UseFileViews(true);
            PhraseWalker w;
            if (OpenWalk(&w, "shrinks.htm", nullptr, false, nullptr) == 0 &&
                truncate("shrinks.htm", 0) == 0) {
                while (WalkNext(&w) < WALK_END) {
                }
            }
            exit(0);
        },
        testing::ExitedWithCode(1), "^flp: shrinks.htm: the file changed while it was read\n$");
}

}  // namespace
