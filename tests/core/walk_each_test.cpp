// The one walk loop: what WalkEach hands its handler, and how the handler's
// answer ends the walk.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "library/phrase_walker.h"
#include "tests/core/test_files.h"

namespace {

const std::string GOOD = "<u>\"r\"\n<u>\"a\"\n<p>\n\"x\"\n</p>\n</u>\n<u>\"b\"\n</u>\n</u>\n";
const std::string CUT = "<u>\"r\"\n<u>\"a\"\n<p>\n\"x\"\n";  // ends inside a label

struct Case {
    const char* what;
    const std::string* content;
    int answerAt;  // the event the handler answers answer to (-1: none)
    int answer;
    int result;
    const char* events;  // handed, in order: L label, E label end, P phrase, Z end
};

const Case CASES[] = {
    {"every event up to the end, the end handed too", &GOOD, -1, WALK_ON, 0, "LPELEZ"},
    {"done at the first label: nothing after it", &GOOD, WALK_LABEL, WALK_DONE, 0, "L"},
    {"a failed handler fails the walk at once", &GOOD, WALK_PHRASE, -1, -1, "LP"},
    {"done at the end is the end", &GOOD, WALK_END, WALK_DONE, 0, "LPELEZ"},
    {"a failed handler at the end fails the walk", &GOOD, WALK_END, -1, -1, "LPELEZ"},
    {"a malformed file fails, its failure not handed", &CUT, -1, WALK_ON, -1, "L"},
};

TEST(WalkEach, HandsEventsAndEndsAsTold)
{
    for (const Case& c : CASES) {
        FILE* f = OpenBytes(*c.content);
        PhraseWalker w;
        LabelPath whole = {};
        ASSERT_EQ(StartWalk(&w, f, &whole, true, nullptr), 0) << c.what;
        w.quiet = true;
        std::string handed;
        int result = WalkEach(&w, [&](int event) {
            switch (event) {
            case WALK_LABEL: handed += 'L'; break;
            case WALK_LABEL_END: handed += 'E'; break;
            case WALK_PHRASE: handed += 'P'; break;
            case WALK_END: handed += 'Z'; break;
            case WALK_FAILED: handed += '!'; break;
            default: break;
            }
            return event == c.answerAt ? c.answer : WALK_ON;
        });
        EXPECT_EQ(c.result, result) << c.what;
        EXPECT_EQ(c.events, handed) << c.what;
        EndWalk(&w);
        fclose(f);
    }
}

}  // namespace
