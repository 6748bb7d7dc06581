// The filter's copies held a part at a time, the file let go between the
// parts: the same copies as one read, and a file changed or gone between
// two parts is never held as a mix of two files.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "library/phrase_filter.h"
#include "tests/core/test_files.h"

namespace {

// A library of labels and phrases, the k-th of them marked by k, in kana
// of both widths so that the folded copies differ from the texts.
std::string Library(int labels, int phrases, const char* mark)
{
    std::string out = "<u>\"root\"\r\n";
    for (int l = 0; l < labels; l++) {
        out += "    <u>\"ラベル" + std::to_string(l) + "\"\r\n";
        for (int p = 0; p < phrases; p++) {
            out += "        <p>\r\n";
            out += "        \"" + std::string(mark) + " ｶﾅ " + std::to_string(l * phrases + p) + "\"\r\n";
            out += "        \"かな二行目\"\r\n";
            out += "        </p>\r\n";
        }
        out += "    </u>\r\n";
    }
    return out + "</u>\r\n";
}

void ExpectSame(const HeldLibrary& a, const HeldLibrary& b)
{
    EXPECT_TRUE(SameFileStamp(&a.stamp, &b.stamp));
    EXPECT_EQ(a.texts, b.texts);
    // The slack past the last copy is part of the copies.
    EXPECT_EQ(a.folded, b.folded);
    EXPECT_EQ(a.names, b.names);
    ASSERT_EQ(a.labels.size(), b.labels.size());
    for (size_t i = 0; i < a.labels.size(); i++) {
        EXPECT_EQ(a.labels[i].parent, b.labels[i].parent);
        EXPECT_EQ(a.labels[i].name, b.labels[i].name);
    }
    ASSERT_EQ(a.phrases.size(), b.phrases.size());
    for (size_t i = 0; i < a.phrases.size(); i++) {
        EXPECT_EQ(a.phrases[i].text, b.phrases[i].text);
        EXPECT_EQ(a.phrases[i].folded, b.phrases[i].folded);
        EXPECT_EQ(a.phrases[i].foldedLength, b.phrases[i].foldedLength);
        EXPECT_EQ(a.phrases[i].label, b.phrases[i].label);
    }
}

class FilterHold : public ::testing::Test {
protected:
    std::string path = ::testing::TempDir() + "filter_hold_test.htm";
    LibraryHold hold = {};
    HeldLibrary held;

    void TearDown() override
    {
        EndHold(&hold, &held);
        remove(path.c_str());
    }

    // Parts of the given size, the file let go after each, with what
    // between (after the part numbered at) until the hold ends.
    template <class Between> int HoldInParts(size_t part, int at, Between between)
    {
        int result = 1;
        for (int n = 0; result == 1 && n < 100000; n++) {
            result = HoldMore(&hold, path.c_str(), &held, part);
            if (result == 1) {
                PauseHold(&hold);
                if (n == at)
                    between();
            }
        }
        return result;
    }
};

TEST_F(FilterHold, PartsOfAnySizeHoldWhatOneReadHolds)
{
    WriteBytes(path, Library(7, 30, "定型"));
    HeldLibrary whole;
    ASSERT_EQ(HoldLibrary(path.c_str(), &whole), 0);
    for (size_t part : {1, 2, 29, 30, 31, 209, 210, 211, 0}) {
        SCOPED_TRACE(part);
        ASSERT_EQ(HoldInParts(part, -1, [] {}), 0);
        ExpectSame(held, whole);
        EXPECT_TRUE(HeldLibraryCurrent(&held, path.c_str()));
    }
    ReleaseHeldLibrary(&whole);
}

TEST_F(FilterHold, AFileChangedBetweenPartsIsHeldAgainFromItsStart)
{
    // Replaced by another program between two parts: removed and written
    // anew (which a file still open would refuse on some systems), with
    // another size and other phrases; then grown in place, the same size
    // of label names but more phrases.
    const std::string before = Library(5, 20, "前");
    const std::string replaced = Library(6, 15, "後の版");
    WriteBytes(path, before);
    ASSERT_EQ(HoldInParts(7, 3, [&] {
                  ASSERT_EQ(remove(path.c_str()), 0);
                  WriteBytes(path, replaced);
              }),
              0);
    HeldLibrary expected;
    ASSERT_EQ(HoldLibrary(path.c_str(), &expected), 0);
    ExpectSame(held, expected);

    WriteBytes(path, before);
    ASSERT_EQ(HoldInParts(7, 5, [&] { WriteBytes(path, Library(5, 21, "前")); }), 0);
    ASSERT_EQ(HoldLibrary(path.c_str(), &expected), 0);
    ExpectSame(held, expected);
    ReleaseHeldLibrary(&expected);
}

TEST_F(FilterHold, AFileGoneOrMalformedBetweenPartsHoldsNothing)
{
    const std::string good = Library(4, 10, "定型");
    struct Case {
        const char* name;
        bool remove;
        std::string bytes;  // written between the parts when not removed
    } cases[] = {
        {"removed", true, ""},
        {"cut in a phrase", false, good.substr(0, good.size() / 2)},
        {"a loose line", false, "<u>\"root\"\r\n\"loose\"\r\n</u>\r\n"},
        {"empty", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(path, good);
        int result = HoldInParts(3, 2, [&] {
            if (c.remove)
                ASSERT_EQ(remove(path.c_str()), 0);
            else
                WriteBytes(path, c.bytes);
        });
        EXPECT_EQ(result, -1);
        EXPECT_FALSE(held.stamp.known);
        EXPECT_TRUE(held.phrases.empty());
        EXPECT_TRUE(held.texts.empty());
        // Over once it failed: the next part starts a new hold.
        WriteBytes(path, good);
        EXPECT_EQ(HoldMore(&hold, path.c_str(), &held, 0), 0);
        EXPECT_EQ(held.phrases.size(), 40u);
    }
}

TEST_F(FilterHold, AHoldEndedMidwayLeavesNothingAndTheFileFree)
{
    WriteBytes(path, Library(3, 10, "定型"));
    ASSERT_EQ(HoldMore(&hold, path.c_str(), &held, 4), 1);
    EndHold(&hold, &held);
    EXPECT_TRUE(held.phrases.empty());
    EXPECT_FALSE(held.stamp.known);
    EXPECT_EQ(remove(path.c_str()), 0);
}

}  // namespace
