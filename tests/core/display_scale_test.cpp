// Lengths between 96 DPI and the display's scale.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "shell/display_scale.h"

namespace {

TEST(DisplayScale, RoundsToTheNearestPixelAndKeepsToTheIntRange)
{
    struct Row {
        int value, dpi, scaled;
    };
    const Row rows[] = {
        {100, 144, 150},  {448, 144, 672},  {336, 144, 504},  {150, 144, 225},  {1000, 144, 1500},
        {3, 144, 5},      {3, 120, 4},      {3, 192, 6},      {1, 144, 2},      {-1, 144, -2},
        {-12, 144, -18},  {-12, 120, -15},  {-12, 192, -24},  {16, 120, 20},    {16, 144, 24},
        {16, 192, 32},    {0, 144, 0},      {100, 96, 100},   {100, 0, 100},    {100, -5, 100},
        {5, 72, 4},       {INT_MAX, 192, INT_MAX},            {INT_MIN, 192, INT_MIN},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ScaleToDpi(r.value, r.dpi), r.scaled) << r.value << " at " << r.dpi;
    // Pixels a user left between two scaled values.
    EXPECT_EQ(ScaleFromDpi(673, 144), 449);
    EXPECT_EQ(ScaleFromDpi(674, 144), 449);
    EXPECT_EQ(ScaleFromDpi(-18, 144), -12);
    EXPECT_EQ(ScaleBetween(225, 144, 192), 300);
    EXPECT_EQ(ScaleBetween(300, 192, 120), 188);
}

TEST(DisplayScale, EveryValueComesBackFromEveryScaleUpward)
{
    for (int dpi : {96, 108, 120, 144, 168, 192, 240, 288, 480})
        for (int value = -3000; value <= 20000; value++)
            ASSERT_EQ(ScaleFromDpi(ScaleToDpi(value, dpi), dpi), value) << value << " at " << dpi;
}

TEST(DisplayScale, TheRecordKeepsItsLayoutThroughAnyScale)
{
    SettingsRecord record;
    SetDefaultSettings(&record);
    record.windowLeft = -7;  // a window partly off a left display
    record.windowTop = 33;
    record.phraseHotKey = 0x0650;
    strcpy(record.searchText, "検索");
    WindowLayout at144 = LayoutAtDpi(record, 144);
    EXPECT_EQ(at144.left, -11);  // -10.5, away from zero
    EXPECT_EQ(at144.top, 50);
    EXPECT_EQ(at144.width, 672);
    EXPECT_EQ(at144.height, 504);
    EXPECT_EQ(at144.treeWidth, 225);
    EXPECT_EQ(at144.columnWidth, 1500);
    for (int dpi : {96, 120, 144, 192}) {
        SettingsRecord back = record;
        StoreLayoutAtDpi(&back, LayoutAtDpi(record, dpi), dpi);
        EXPECT_EQ(memcmp(&back, &record, sizeof record), 0) << dpi;
    }
}

}  // namespace
