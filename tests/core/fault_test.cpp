// The kind of a failed rewrite, which callers act on (flp names the clip
// file, the phrase window closes a label that is gone): set with its text,
// and not left over from an earlier failure.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "library/label_tree.h"
#include "library/phrase_reader.h"
#include "library/phrase_rewrite.h"
#include "tests/core/test_files.h"

namespace fs = std::filesystem;

namespace {

const std::string LIBRARY = "<u>\"root\"\n<u>\"a\"\n<p>\n\"x\"\n</p>\n</u>\n<u>\"b\"\n</u>\n</u>\n";

struct Case {
    const char* what;
    RewriteKind kind;
    const char* target;  // a label of LIBRARY, or one that is not there
    const char* clip;    // the clip file's bytes (null: none)
    LibraryFault fault;
    const char* text;
    const char* library = nullptr;  // the phrase file's bytes (null: LIBRARY)
};

const Case CASES[] = {
    {"a store under a label gone from the file", REWRITE_SAVE_PHRASES, "gone", nullptr,
     FAULT_NO_SUCH_LABEL, "no such label in the file"},
    {"a paste without a clip file", REWRITE_PASTE_LABEL, "a", nullptr, FAULT_CLIP_FILE,
     "cannot open the clip file"},
    {"a paste of a clip file without a label", REWRITE_PASTE_LABEL, "a", "\"loose\"\n", FAULT_CLIP_FILE,
     "the clip file holds no label"},
    {"a rename to a sibling's name", REWRITE_RENAME_LABEL, "a", nullptr, FAULT_OTHER,
     "name empty, too long or taken"},
    {"a store in a file that ends inside a label", REWRITE_SAVE_PHRASES, "a", nullptr,
     FAULT_PHRASE_FILE, "end of file inside a label", "<u>\"root\"\n<u>\"a\"\n</u>\n"},
};

int NoPhrase(void*, int, char*, size_t)
{
    return -1;
}

TEST(RewriteFault, KindSetWithTheText)
{
    std::string dir = (fs::current_path() / "faults").string();
    fs::remove_all(dir);
    fs::create_directories(dir);
    LibraryFiles files;
    ASSERT_EQ(SetLibraryFiles(&files, (dir + "/lib.htm").c_str()), 0);
    LabelNode* gone = NewLabelNode(nullptr);
    FitLabelName(NewLabelNode(gone)->name, "gone");
    PhraseSource none = {nullptr, 0, NoPhrase};
    // One record for every case, as a caller that retries keeps one.
    LibraryError error;
    for (const Case& c : CASES) {
        SCOPED_TRACE(c.what);
        std::string library = c.library ? c.library : LIBRARY;
        WriteBytes(files.phrase, library);
        fs::remove(files.clip);
        if (c.clip)
            WriteBytes(files.clip, c.clip);
        LabelNode* root = nullptr;
        WriteBytes(files.phrase + std::string(".tree"), LIBRARY);
        ASSERT_EQ(ReadLabelTree((files.phrase + std::string(".tree")).c_str(), &root), 0);
        const char* name = c.target;
        const LabelNode* target = std::string(name) == "gone" ? gone->firstChild
                                                            : FindLabelByNames(root, &name, 1);
        ASSERT_TRUE(target);
        RewriteRequest request = {};
        request.kind = c.kind;
        request.target = target;
        request.newName = "b";
        request.phrases = &none;
        EXPECT_EQ(RewritePhraseFile(&files, &request, nullptr, nullptr, &error), -1);
        EXPECT_STREQ(c.text, error.what);
        EXPECT_EQ(c.fault, error.fault);
        EXPECT_EQ(library, ReadBytes(files.phrase));
        FreeLabelTree(root);
    }
    FreeLabelTree(gone);
}

}  // namespace
