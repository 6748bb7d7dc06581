// Name paths, unique names and the path walks over label records.
#include <gtest/gtest.h>

#include <string>

#include "library/label_tree.h"
#include "library/library_files.h"

namespace {

// root { a { b }, c { a } }
struct Sample {
    LabelNode* root = NewLabelNode(nullptr);
    LabelNode* a = Named(NewLabelNode(root), "a");
    LabelNode* b = Named(NewLabelNode(a), "b");
    LabelNode* c = Named(NewLabelNode(root), "c");
    LabelNode* ca = Named(NewLabelNode(c), "a");
    ~Sample() { FreeLabelTree(root); }
    static LabelNode* Named(LabelNode* n, const char* name)
    {
        FitLabelName(n->name, name);
        return n;
    }
};

std::string Bytes(const char* buffer, size_t n) { return std::string(buffer, n); }

TEST(NamePath, BuildsNamesWithNulsAndAFinalNul)
{
    Sample s;
    char buffer[NAME_PATH_SIZE];
    ASSERT_EQ(BuildNamePathOf(s.b, buffer, sizeof buffer), 0);
    EXPECT_EQ(Bytes(buffer, 5), std::string("a\0b\0\0", 5));
    const LabelNode* path[] = {s.c, s.ca, nullptr};
    ASSERT_EQ(BuildNamePath(path, buffer, sizeof buffer), 0);
    EXPECT_EQ(Bytes(buffer, 5), std::string("c\0a\0\0", 5));
    EXPECT_EQ(BuildNamePath(nullptr, buffer, sizeof buffer), -1);
    EXPECT_EQ(buffer[0], 0);
}

TEST(NamePath, RefusesANameThatReachesSizeMinusTwo)
{
    Sample s;
    char buffer[8];
    // A name is refused when the bytes used so far plus its length reach size - 2:
    // with size 4, "a" (0 + 1 < 2) fits and "b" (2 + 1 >= 2) does not.
    EXPECT_EQ(BuildNamePathOf(s.b, buffer, 8), 0);
    EXPECT_EQ(BuildNamePathOf(s.b, buffer, 4), -1);
    EXPECT_EQ(Bytes(buffer, 4), std::string("a\0\0\0", 4));  // the names that fitted
    EXPECT_EQ(BuildNamePathOf(s.b, buffer, 3), -1);
    EXPECT_EQ(buffer[0], 0);
}

TEST(UniqueNames, GeneratedFromTheFirstNameAndBoundedAt99)
{
    Sample s;
    char name[NAME_BUFFER_SIZE] = "a";
    EXPECT_TRUE(IsLabelNameTaken(s.c, "a"));  // the reference label's siblings, itself included
    EXPECT_FALSE(IsLabelNameTaken(s.ca, "c"));
    EXPECT_FALSE(IsLabelNameTaken(nullptr, "a"));
    ASSERT_EQ(MakeUniqueLabelName(s.a, name), 0);
    EXPECT_STREQ(name, "a～1");
    Sample::Named(NewLabelNode(s.root), "a～1");
    strcpy(name, "a");
    ASSERT_EQ(MakeUniqueLabelName(s.a, name), 0);
    EXPECT_STREQ(name, "a～2");
    for (int n = 2; n <= 99; n++)
        Sample::Named(NewLabelNode(s.root), ("a～" + std::to_string(n)).c_str());
    strcpy(name, "a");
    EXPECT_EQ(MakeUniqueLabelName(s.a, name), -1);
    strcpy(name, "free");
    EXPECT_EQ(MakeUniqueLabelName(s.a, name), 0);
    EXPECT_STREQ(name, "free");
}

TEST(LongNames, HeldCutOnACharacterBoundaryAndMatchedByTheHeldForm)
{
    std::string longName = std::string(82, 'x') + "あい";  // 82 + 2 + 2 bytes
    char held[LABEL_NAME_SIZE];
    FitLabelName(held, longName.c_str());
    EXPECT_EQ(std::string(held), std::string(82, 'x'));  // the lead byte is not split off
    EXPECT_TRUE(LabelNameMatches(longName.c_str(), held));
    EXPECT_FALSE(LabelNameMatches(std::string(82, 'x').append("y").c_str(), held));
    EXPECT_FALSE(LabelNameMatches("x", held));
}

TEST(Walks, SelectAndExpandByNamePath)
{
    Sample s;
    RecordViewState state{s.root, nullptr, 0, nullptr};
    LabelView view = RecordLabelView(&state);
    EXPECT_EQ(SelectByNamePath(&view, nullptr, "a\0x\0"), nullptr);  // missing name: nothing
    EXPECT_EQ(state.selected, nullptr);
    EXPECT_EQ(SelectByNamePath(&view, nullptr, "a\0b\0c\0"), s.b);  // deeper than the tree
    EXPECT_EQ(SelectByNamePath(&view, nullptr, "a\0"), s.a);
    EXPECT_EQ(SelectByNamePath(&view, nullptr, "c\0a\0"), s.ca);
    EXPECT_EQ(SelectByNamePath(&view, nullptr, ""), nullptr);
    ExpandByNamePath(&view, nullptr, "a\0b\0");
    EXPECT_EQ(state.expandCount, 2);
    EXPECT_EQ(state.lastExpanded, s.b);
    state.expandCount = 0;
    ExpandByNamePath(&view, nullptr, "c\0z\0");
    EXPECT_EQ(state.expandCount, 1);
}

TEST(Records, FindByNamesAndFreeDeepTrees)
{
    Sample s;
    const char* names[] = {"c", "a"};
    EXPECT_EQ(FindLabelByNames(s.root, names, 2), s.ca);
    EXPECT_EQ(FindLabelByNames(s.root, names, 0), s.root);
    const char* missing[] = {"a", "a"};
    EXPECT_EQ(FindLabelByNames(s.root, missing, 2), nullptr);
    EXPECT_EQ(LabelDepth(s.b), 2);

    LabelNode* root = NewLabelNode(nullptr);
    LabelNode* node = root;
    for (int i = 0; i < 200000; i++)
        node = NewLabelNode(node);
    FreeLabelTree(root);  // no recursion: must not overflow the stack
}

TEST(LibraryFilesPaths, DerivedFromThePhraseFile)
{
    LibraryFiles f;
    ASSERT_EQ(SetLibraryFiles(&f, "C:\\dir\\fenlop.htm"), 0);
    EXPECT_STREQ(f.backup, "C:\\dir\\fenlop.bak");
    EXPECT_STREQ(f.clip, "C:\\dir\\clip.txt");
    ASSERT_EQ(SetLibraryFiles(&f, "lib.htm"), 0);
    EXPECT_STREQ(f.clip, "clip.txt");
    // 5Ch as the trail byte of a Shift-JIS character is no separator.
    ASSERT_EQ(SetLibraryFiles(&f, "C:\\\x95\x5c\\x.htm"), 0);
    EXPECT_STREQ(f.clip, "C:\\\x95\x5c\\clip.txt");
    ASSERT_EQ(SetLibraryFiles(&f, "C:\\\x95\x5cx.htm"), 0);
    EXPECT_STREQ(f.clip, "C:\\clip.txt");
    EXPECT_EQ(SetLibraryFiles(&f, "CLIP.txt"), -1);
    EXPECT_EQ(SetLibraryFiles(&f, "x.bak"), -1);
    EXPECT_EQ(SetLibraryFiles(&f, "x.BAK"), -1);
    // "\x83" "B" is one character and "\x83" "b" another: the backup's name
    // differs from the library's.
    ASSERT_EQ(SetLibraryFiles(&f, "C:\\\x83" "BAK"), 0);
    EXPECT_STREQ(f.backup, "C:\\\x83" "bak");
    EXPECT_EQ(SetLibraryFiles(&f, "a/"), -1);
    EXPECT_EQ(SetLibraryFiles(&f, std::string(300, 'x').c_str()), -1);

    char phrase[PATH_BUFFER_SIZE];
    ASSERT_EQ(PhrasePathFromModule("C:\\a.b\\fenlop.exe", phrase, sizeof phrase), 0);
    EXPECT_STREQ(phrase, "C:\\a.b\\fenlop.htm");
    ASSERT_EQ(PhrasePathFromModule("C:\\a.b\\fenlop", phrase, sizeof phrase), 0);
    EXPECT_STREQ(phrase, "C:\\a.b\\fenlop.htm");
    EXPECT_EQ(PhrasePathFromModule(std::string(258, 'x').c_str(), phrase, sizeof phrase), -1);
}

}  // namespace
