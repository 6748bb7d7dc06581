// Version codes and the menu bar's theme state.
#include <gtest/gtest.h>

#include "shell/os_version.h"

namespace {

struct Row {
    uint32_t platform, major, minor, code;
};

TEST(OsVersion, EveryRowOfTheCodeTable)
{
    const Row rows[] = {
        {0, 0, 0, 0x00030000},  {0, 3, 11, 0x00030000}, {0, 6, 2, 0x00030000},
        {1, 4, 0, 0x00040000},  {1, 4, 10, 0x00040A00}, {1, 4, 90, 0x00045A00},
        {1, 4, 1, 0x00045A01},  {1, 4, 91, 0x00045A01}, {1, 3, 0, 0x00045A01},
        {1, 5, 10, 0x00045A01}, {2, 3, 51, 0x14033300}, {2, 4, 0, 0x14040000},
        {2, 4, 9, 0x14040000},  {2, 5, 0, 0x14050000},  {2, 5, 1, 0x15050100},
        {2, 5, 2, 0x15050100},  {2, 5, 3, 0x15050101},  {2, 5, 200, 0x15050101},
        {2, 6, 0, 0x16060000},  {2, 6, 1, 0x16060100},  {2, 6, 2, 0x16060200},
        {2, 6, 3, 0x16060201},  {2, 6, 4, 0x16060201},  {2, 10, 0, 0x16060201},
        {2, 7, 0, 0x16060201},  {2, 2, 0, 0x16060201},  {2, 0, 0, 0x16060201},
        {3, 6, 1, 0},           {0xFFFFFFFF, 4, 0, 0},
    };
    for (const Row& r : rows)
        EXPECT_EQ(OsVersionCodeOf(r.platform, r.major, r.minor), r.code)
            << "platform " << r.platform << " version " << r.major << "." << r.minor;
    // Extreme numbers from a hostile or broken version record.
    EXPECT_EQ(OsVersionCodeOf(2, 0xFFFFFFFF, 0xFFFFFFFF), 0x16060201u);
    EXPECT_EQ(OsVersionCodeOf(1, 4, 0xFFFFFFFF), 0x00045A01u);
}

int StateFor(int themed, uint32_t platform, uint32_t major, uint32_t minor)
{
    return ThemeStateOf(themed, OsVersionCodeOf(platform, major, minor) & OS_FAMILY_MASK);
}

TEST(OsVersion, OnlyThemedNt6AndLaterGetTheDrawnMenuBar)
{
    // 6.3 and 10.0 report codes ending in 1, which the mask folds into 6.2.
    for (uint32_t minor : {0u, 1u, 2u, 3u})
        EXPECT_EQ(StateFor(1, 2, 6, minor), THEME_STATE_NT6) << "6." << minor;
    EXPECT_EQ(StateFor(1, 2, 10, 0), THEME_STATE_NT6);
    EXPECT_EQ(StateFor(7, 2, 6, 1), THEME_STATE_NT6) << "any non-zero flag means themed";

    EXPECT_EQ(StateFor(1, 2, 5, 1), THEME_STATE_NT5);
    EXPECT_EQ(StateFor(1, 2, 5, 2), THEME_STATE_NT5);
    EXPECT_EQ(StateFor(1, 2, 5, 3), THEME_STATE_NT5);

    EXPECT_EQ(StateFor(1, 2, 5, 0), THEME_STATE_PLAIN);
    EXPECT_EQ(StateFor(1, 2, 4, 0), THEME_STATE_PLAIN);
    EXPECT_EQ(StateFor(1, 1, 4, 90), THEME_STATE_PLAIN);
    EXPECT_EQ(StateFor(1, 0, 6, 1), THEME_STATE_PLAIN);
    EXPECT_EQ(StateFor(1, 9, 6, 1), THEME_STATE_PLAIN);

    // Without visual styles the version does not matter.
    for (uint32_t major : {4u, 5u, 6u, 10u})
        for (uint32_t minor : {0u, 1u, 2u, 3u})
            EXPECT_EQ(StateFor(0, 2, major, minor), THEME_STATE_PLAIN) << major << "." << minor;
}

TEST(OsVersion, TheStateTakesTheMaskedCodeOnly)
{
    // An unmasked 6.3 code is no family of its own.
    EXPECT_EQ(ThemeStateOf(1, 0x16060201), THEME_STATE_PLAIN);
    EXPECT_EQ(ThemeStateOf(1, 0x16060201 & OS_FAMILY_MASK), THEME_STATE_NT6);
    EXPECT_EQ(ThemeStateOf(1, 0), THEME_STATE_PLAIN);
}

}  // namespace
