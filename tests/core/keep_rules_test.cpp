// Which read of the offered text is the paste.
#include <gtest/gtest.h>

#include "output/keep_rules.h"

namespace {

TEST(KeepRules, WhichReadIsThePaste)
{
    struct Row {
        const char* reader;
        ReadFacts facts;  // target, window, keys sent, wait over, offers
        ReadVerdict verdict;
        bool maybeTarget;
    };
    const Row rows[] = {
        {"the target syncing when activated, before the keys", {true, true, false, false, 1}, READ_OFFER_AGAIN, false},
        {"the target's paste after the keys", {true, true, true, false, 1}, READ_IS_PASTE, false},
        {"the target's paste after offers used up", {true, true, true, false, KEEP_OFFER_LIMIT}, READ_IS_PASTE, false},
        {"a monitor after the keys", {false, true, true, false, 2}, READ_OFFER_AGAIN, false},
        {"a monitor that used up the offers", {false, true, true, false, KEEP_OFFER_LIMIT}, READ_LEAVE_RENDERED, false},
        {"a windowless reader before the keys", {false, false, false, false, 1}, READ_OFFER_AGAIN, false},
        {"a windowless reader after the keys", {false, false, true, false, 1}, READ_OFFER_AGAIN, true},
        {"a windowless reader, offers used up", {false, false, true, false, KEEP_OFFER_LIMIT}, READ_LEAVE_RENDERED,
         true},
        {"the target's paste by hand after the wait", {true, true, true, true, 1}, READ_IS_PASTE, false},
        {"the target's paste by hand, no keys were sent", {true, true, false, true, 1}, READ_IS_PASTE, false},
        {"a monitor after the wait", {false, true, true, true, 3}, READ_OFFER_AGAIN, false},
        {"a windowless reader after the wait", {false, false, true, true, 3}, READ_OFFER_AGAIN, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reader);
        ReadJudgement judgement = JudgeRead(row.facts);
        EXPECT_EQ(judgement.verdict, row.verdict);
        EXPECT_EQ(judgement.maybeTarget, row.maybeTarget);
    }
}

}  // namespace
