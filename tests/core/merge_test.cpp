// The user's edit of a list carried over to the label as another program
// left it, the file stamps that tell such a change, and the label added
// beside it when the edit cannot be carried over.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "library/library_files.h"
#include "library/phrase_merge.h"
#include "library/phrase_reader.h"
#include "library/phrase_rewrite.h"
#include "tests/core/test_files.h"

namespace fs = std::filesystem;

namespace {

// "A B C" as a block of three texts; "" is the empty list.
ListTexts Block(const std::string& words)
{
    std::string bytes;
    size_t start = 0;
    while (start < words.size()) {
        size_t end = words.find(' ', start);
        if (end == std::string::npos)
            end = words.size();
        bytes += words.substr(start, end - start) + '\0';
        start = end + 1;
    }
    ListTexts texts = {(char*)malloc(bytes.size() + 1), bytes.size()};
    memcpy(texts.bytes, bytes.data(), bytes.size());
    return texts;
}

std::string Words(const ListTexts& texts)
{
    std::string out;
    for (size_t i = 0; i < texts.size; i++)
        out += texts.bytes[i] ? texts.bytes[i] : ' ';
    if (!out.empty())
        out.pop_back();
    return out;
}

TEST(PhraseMerge, OneEditCarriedOverOrRefused)
{
    struct Case {
        const char* what;
        const char* base;
        const char* ours;
        const char* theirs;
        MergeOutcome outcome;
        const char* merged;  // MERGE_APPLIED only
    };
    const Case cases[] = {
        {"no edit", "A B", "A B", "A B X", MERGE_NO_EDIT, ""},
        {"added at the end, theirs added at the top", "A B", "A B N", "X A B", MERGE_APPLIED, "X A B N"},
        {"added at the top, theirs added at the end", "A B", "N A B", "A B X", MERGE_APPLIED, "N A B X"},
        // An addition at an edge that theirs moved: before or after theirs?
        {"added at the end, theirs added at the end", "A B", "A B N", "A B X", MERGE_CONFLICT, ""},
        {"added at the top, theirs added at the top", "A B", "N A B", "X A B", MERGE_CONFLICT, ""},
        {"added between, place kept", "A B C", "A N B C", "X A B C Y", MERGE_APPLIED, "X A N B C Y"},
        {"added between, one neighbour left", "A B C", "A N B C", "A C", MERGE_APPLIED, "A N C"},
        {"added between, both neighbours gone", "A B C", "A N B C", "C X", MERGE_CONFLICT, ""},
        {"added to an empty list, theirs added too", "", "N", "X", MERGE_CONFLICT, ""},
        {"added to an empty list that stayed empty", "", "N", "", MERGE_APPLIED, "N"},
        {"edited", "A B C", "A B2 C", "A B C D", MERGE_APPLIED, "A B2 C D"},
        {"edited, theirs edited the same phrase", "A B C", "A B2 C", "A B3 C", MERGE_CONFLICT, ""},
        {"edited, theirs deleted it", "A B C", "A B2 C", "A C", MERGE_CONFLICT, ""},
        {"deleted", "A B C", "A C", "X A B C", MERGE_APPLIED, "X A C"},
        {"deleted, theirs deleted it too", "A B C", "A C", "A C", MERGE_APPLIED, "A C"},
        {"deleted every phrase", "A B", "", "A B X", MERGE_APPLIED, "X"},
        {"pasted two", "A B", "A P Q B", "A B C", MERGE_APPLIED, "A P Q B C"},
        {"cut two", "A B C D", "A D", "A B C D E", MERGE_APPLIED, "A D E"},
        // Equal phrases: the edit goes only where no doubt is left.
        {"one of equal phrases, theirs holds both", "A B A", "A B", "X A B A", MERGE_CONFLICT, ""},
        {"the last of two P edited, theirs kept one", "P A P", "P A P2", "P Q", MERGE_CONFLICT, ""},
        {"one of two Y deleted, theirs deleted one", "A Y Y", "A Y", "D A Y", MERGE_CONFLICT, ""},
        {"one of two Y deleted, theirs kept both", "A Y Y", "A Y", "D A Y Y", MERGE_CONFLICT, ""},
        {"a repeated separator edited, theirs kept one", "S A S B", "S A X B", "S B", MERGE_CONFLICT, ""},
        {"one of two S edited, both neighbours kept", "S A S B", "S A X B", "C A S B", MERGE_APPLIED, "C A X B"},
        {"added between equal neighbours", "A B A B", "A B N A B", "A B X A B", MERGE_CONFLICT, ""},
        {"edited, theirs as loaded", "P A P", "P A P2", "P A P", MERGE_APPLIED, "P A P2"},
        {"moved down past two", "A B C D E", "A C D B E", "A B C X D E", MERGE_APPLIED, "A C X D B E"},
        {"moved up past two", "A B C D E", "A D B C E", "A B X C D E", MERGE_APPLIED, "A D B X C E"},
        {"swapped", "A B", "B A", "A B C", MERGE_APPLIED, "B A C"},
        {"moved, theirs deleted the moved phrase", "A B C D", "A C D B", "A C D", MERGE_CONFLICT, ""},
        {"moved, theirs deleted the phrase passed", "A B C D", "A C D B", "A B C", MERGE_CONFLICT, ""},
        {"moved up past equal phrases, theirs as the base", "A A B", "B A A", "A A B", MERGE_APPLIED, "B A A"},
        {"moved down past equal phrases", "B A A", "A A B", "B A A C", MERGE_APPLIED, "A A B C"},
        {"moved a block of two down", "A B C D E", "A D E B C", "A B C D E F", MERGE_APPLIED, "A D E B C F"},
        {"theirs holds the edit already", "A B", "A B N", "A B N", MERGE_APPLIED, "A B N"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ListTexts base = Block(c.base), ours = Block(c.ours), theirs = Block(c.theirs), merged = {nullptr, 0};
        EXPECT_EQ(MergePhraseEdit(&base, &ours, &theirs, &merged), c.outcome);
        if (c.outcome == MERGE_APPLIED) {
            ASSERT_TRUE(merged.bytes);
            EXPECT_EQ(Words(merged), c.merged);
        } else {
            EXPECT_FALSE(merged.bytes);
        }
        FreeListTexts(&base);
        FreeListTexts(&ours);
        FreeListTexts(&theirs);
        FreeListTexts(&merged);
    }
    // A base that was never known tells no edit: nothing may be dropped.
    ListTexts unknown = {nullptr, 0}, ours = Block("A"), theirs = Block("B"), merged = {nullptr, 0};
    EXPECT_EQ(MergePhraseEdit(&unknown, &ours, &theirs, &merged), MERGE_CONFLICT);
    FreeListTexts(&ours);
    FreeListTexts(&theirs);
}

std::string Scratch(const std::string& name)
{
    fs::path dir = fs::current_path() / "merge";
    fs::create_directories(dir);
    return (dir / name).string();
}

TEST(FileStamp, ChangesWithEveryKindOfReplacement)
{
    std::string path = Scratch("stamp.htm");
    FileStamp none;
    fs::remove(path);
    EXPECT_EQ(TakeFileStamp(path.c_str(), &none), -1);
    EXPECT_FALSE(SameFileStamp(&none, &none)) << "an unknown stamp matches nothing";

    // Large enough to be sampled, not summed whole.
    std::string bytes(3 * 1024 * 1024, 'x');
    WriteBytes(path, bytes);
    FileStamp first, again;
    ASSERT_EQ(TakeFileStamp(path.c_str(), &first), 0);
    ASSERT_EQ(TakeFileStamp(path.c_str(), &again), 0);
    EXPECT_TRUE(SameFileStamp(&first, &again));

    // The same bytes renamed over it: another file.
    std::string copy = path + ".copy";
    WriteBytes(copy, bytes);
    fs::rename(copy, path);
    FileStamp renamed;
    ASSERT_EQ(TakeFileStamp(path.c_str(), &renamed), 0);
    EXPECT_FALSE(SameFileStamp(&first, &renamed));

    // Rewritten in place at the same size, the write time put back: the
    // first and last bytes are sampled.
    for (size_t at : {(size_t)0, bytes.size() - 1}) {
        FileStamp before, after;
        ASSERT_EQ(TakeFileStamp(path.c_str(), &before), 0);
        auto time = fs::last_write_time(path);
        std::string changed = bytes;
        changed[at] = 'y';
        FILE* f = fopen(path.c_str(), "r+b");
        ASSERT_TRUE(f);
        fwrite(changed.data(), 1, changed.size(), f);
        fclose(f);
        fs::last_write_time(path, time);
        ASSERT_EQ(TakeFileStamp(path.c_str(), &after), 0);
        EXPECT_FALSE(SameFileStamp(&before, &after)) << at;
    }
    // A small file is summed whole.
    WriteBytes(path, "<u>\"root\"\r\n</u>\r\n");
    FileStamp small, smaller;
    ASSERT_EQ(TakeFileStamp(path.c_str(), &small), 0);
    auto time = fs::last_write_time(path);
    WriteBytes(path, "<u>\"raat\"\r\n</u>\r\n");
    fs::last_write_time(path, time);
    ASSERT_EQ(TakeFileStamp(path.c_str(), &smaller), 0);
    EXPECT_FALSE(SameFileStamp(&small, &smaller));
}

int GiveWord(void* context, int index, char* text, size_t size)
{
    const std::vector<std::string>& words = *(const std::vector<std::string>*)context;
    return snprintf(text, size, "%s", words[index].c_str());
}

// The user's list beside the label the file changed: a unique name, the
// phrases inside, the rest of the file as it was; and the same label found
// again in a tree read anew.
TEST(AddLabel, BesideTheTargetWithAUniqueNameAndThePhrases)
{
    LibraryFiles files;
    ASSERT_EQ(SetLibraryFiles(&files, Scratch("add.htm").c_str()), 0);
    WriteBytes(files.phrase,
               "<u>\"root\"\r\n    <u>\"a\"\r\n        <p>\r\n        \"theirs\"\r\n        </p>\r\n    </u>\r\n"
               "    <u>\"a\"\r\n    </u>\r\n    <u>\"a～1\"\r\n    </u>\r\n</u>\r\n");
    LabelNode* root = nullptr;
    ASSERT_EQ(ReadLabelTree(files.phrase, &root), 0);
    LabelNode* second = root->firstChild->nextSibling;
    std::vector<std::string> words = {"ours", "two\r\nlines"};
    PhraseSource source = {&words, 2, GiveWord};
    RewriteRequest add = {};
    add.kind = REWRITE_ADD_LABEL;
    add.target = second;
    add.after = 1;
    add.newName = "a";
    add.phrases = &source;
    char follow[NAME_PATH_SIZE], name[NAME_BUFFER_SIZE];
    ASSERT_EQ(RewritePhraseFile(&files, &add, follow, name), 0);
    EXPECT_STREQ(name, "a～2");
    EXPECT_EQ(std::string(follow, 6), std::string("a～2\0\0", 6));
    EXPECT_EQ(ReadBytes(files.phrase),
              "<u>\"root\"\r\n    <u>\"a\"\r\n        <p>\r\n        \"theirs\"\r\n        </p>\r\n    </u>\r\n"
              "    <u>\"a\"\r\n    </u>\r\n"
              "    <u>\"a～2\"\r\n        <p>\r\n        \"ours\"\r\n        </p>\r\n"
              "        <p>\r\n        \"two\"\r\n        \"lines\"\r\n        </p>\r\n    </u>\r\n"
              "    <u>\"a～1\"\r\n    </u>\r\n</u>\r\n");

    LabelNode* now = nullptr;
    ASSERT_EQ(ReadLabelTree(files.phrase, &now), 0);
    EXPECT_EQ(FindSameLabel(now, second), now->firstChild->nextSibling) << "the second of two labels a";
    ListTexts texts;
    ASSERT_EQ(ReadListTexts(files.phrase, now->firstChild->nextSibling->nextSibling, &texts), 0);
    EXPECT_EQ(std::string(texts.bytes, texts.size), std::string("ours\0two\r\nlines\0", 16));
    FreeListTexts(&texts);
    LabelNode gone = {root, nullptr, nullptr, "b"};
    EXPECT_EQ(FindSameLabel(now, &gone), nullptr);
    // The tree now holds the labels a, a, a～2, a～1 as before: the second a
    // is still the second of two. A third a before it makes it the doubt.
    EXPECT_FALSE(EqualNamesChanged(second, FindSameLabel(now, second)));
    FreeLabelTree(now);
    WriteBytes(files.phrase, "<u>\"root\"\r\n    <u>\"a\"\r\n    </u>\r\n    <u>\"a\"\r\n    </u>\r\n"
                             "    <u>\"a\"\r\n    </u>\r\n</u>\r\n");
    ASSERT_EQ(ReadLabelTree(files.phrase, &now), 0);
    EXPECT_TRUE(EqualNamesChanged(second, FindSameLabel(now, second)));
    FreeLabelTree(now);

    // Without a name the request is refused before anything is written.
    std::string before = ReadBytes(files.phrase);
    add.newName = "";
    EXPECT_EQ(RewritePhraseFile(&files, &add), -1);
    EXPECT_EQ(ReadBytes(files.phrase), before);
    FreeLabelTree(root);
}

}  // namespace
