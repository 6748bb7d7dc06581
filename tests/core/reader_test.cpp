// The label reader and the phrase list reader, against golden dumps and
// malformed files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/sjis.h"
#include "library/phrase_reader.h"
#include "library/phrase_rewrite.h"
#include "tests/core/test_files.h"

namespace {

using V = std::vector<std::string>;

std::vector<std::string> Phrases(const std::string& path, const LabelNode* target, int* result = nullptr)
{
    std::vector<std::string> out;
    PhraseSink sink = {&out, [](void* context, const char* text, size_t length) {
                           ((std::vector<std::string>*)context)->push_back(std::string(text, length));
                           return 0;
                       }};
    int r = ReadPhraseList(path.c_str(), target, &sink);
    if (result)
        *result = r;
    return out;
}

// Control bytes and the backslash escaped; Shift-JIS characters left as they
// are (their trail byte may be 5Ch).
std::string Escape(const std::string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); i++) {
        unsigned char c = (unsigned char)s[i];
        char buf[8];
        if (IsSjisLeadByte(c) && i + 1 < s.size())
            out += s.substr(i++, 2);
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else if (c < 0x20 || c == 0x7F)
            snprintf(buf, sizeof buf, "\\x%02X", c), out += buf;
        else
            out += (char)c;
    }
    return out;
}

// The tree, and under each label the phrases the phrase list would show.
void DumpLabel(const std::string& path, const LabelNode* node, int depth, std::string* out)
{
    std::string indent(2 * depth, ' ');
    *out += indent + "label \"" + Escape(node->parent ? node->name : "(root)") + "\"\n";
    int result = 0;
    for (const std::string& p : Phrases(path, node, &result))
        *out += indent + "  phrase \"" + Escape(p) + "\"\n";
    if (result != 0)
        *out += indent + "  (read failed)\n";
    for (const LabelNode* child = node->firstChild; child; child = child->nextSibling)
        DumpLabel(path, child, depth + 1, out);
}

std::string Dump(const std::string& path)
{
    LabelNode* root = nullptr;
    LibraryError error = {0, ""};
    if (ReadLabelTree(path.c_str(), &root, &error) != 0)
        return "error at line " + std::to_string(error.line) + ": " + error.what + "\n";
    std::string out;
    DumpLabel(path, root, 0, &out);
    FreeLabelTree(root);
    return out;
}

TEST(Reader, GoldenDumps)
{
    for (const char* name : {"canonical", "variants", "handedited"}) {
        std::string base = std::string(FENLOP_TEST_DATA) + "/golden/reader/" + name;
        std::string actual = Dump(base + ".htm");
        bool exists = false;
        std::string expected = ReadBytes(base + ".txt", &exists);
        EXPECT_TRUE(exists) << base << ".txt";
        EXPECT_EQ(actual, expected) << name;
        if (actual != expected)
            WriteBytes(std::string(name) + ".actual.txt", actual);  // in the scratch folder
    }
}

struct Malformed {
    const char* content;
    long line;
    const char* what;
};

TEST(Reader, MalformedFilesFailEveryReader)
{
    const Malformed cases[] = {
        {"", 0, "no root label"},
        {"   \r\n\r\n", 0, "no root label"},
        {"junk\n<u>\"root\"\n</u>\n", 1, "no root label"},
        {"<u>\n<p>\n</u>\n", 1, "label without a name"},
        {"<u>\"root\"\n  <u>\n  <p>\n  </u>\n</u>\n", 2, "label without a name"},
        {"<u>\"root\"\n  <u>\"a\"\n  </u>\n", 3, "end of file inside a label"},
        {"<u>\"root\"\n  <u>\"a\"\n  <p>\n  \"x\"", 4, "end of file inside a label"},
    };
    for (const Malformed& c : cases) {
        WriteBytes("bad.htm", c.content);
        LabelNode* root = (LabelNode*)1;
        LibraryError error = {-1, ""};
        EXPECT_EQ(ReadLabelTree("bad.htm", &root, &error), -1) << c.content;
        EXPECT_EQ(root, nullptr);
        EXPECT_EQ(error.line, c.line) << c.content;
        EXPECT_STREQ(error.what, c.what) << c.content;
        int result = 0;
        Phrases("bad.htm", nullptr, &result);
        EXPECT_EQ(result, -1) << c.content;
    }
    LabelNode* root = (LabelNode*)1;
    LibraryError error = {-1, ""};
    EXPECT_EQ(ReadLabelTree("missing.htm", &root, &error), -1);
    EXPECT_EQ(root, nullptr);
    EXPECT_EQ(error.line, 0);
    EXPECT_STREQ(error.what, "cannot open the file");
}

std::string Nested(int levels, const std::string& inner)
{
    std::string s = "<u>\"root\"\n";
    for (int i = 0; i < levels; i++)
        s += "<u>\"n\"\n";
    s += inner;
    for (int i = 0; i < levels; i++)
        s += "</u>\n";
    return s + "</u>\n";
}

TEST(Reader, NestingDepthIsBounded)
{
    WriteBytes("deep.htm", Nested(MAX_LABEL_DEPTH, "<p>\n\"bottom\"\n</p>\n"));
    LabelNode* root = nullptr;
    ASSERT_EQ(ReadLabelTree("deep.htm", &root, nullptr), 0);
    LabelNode* bottom = root;
    while (bottom->firstChild)
        bottom = bottom->firstChild;
    EXPECT_EQ(LabelDepth(bottom), MAX_LABEL_DEPTH);
    EXPECT_EQ(Phrases("deep.htm", bottom), std::vector<std::string>{"bottom"});
    FreeLabelTree(root);

    // One level more, or a hundred thousand (the reader must not recurse).
    for (int levels : {MAX_LABEL_DEPTH + 1, 100000}) {
        WriteBytes("deep.htm", Nested(levels, ""));
        LibraryError error = {0, ""};
        EXPECT_EQ(ReadLabelTree("deep.htm", &root, &error), -1);
        EXPECT_EQ(root, nullptr);
        EXPECT_EQ(error.line, MAX_LABEL_DEPTH + 2);
        EXPECT_STREQ(error.what, "nesting too deep");
        int result = 0;
        Phrases("deep.htm", nullptr, &result);  // skips the sub-labels, still counts them
        EXPECT_EQ(result, -1);
    }
}

TEST(Reader, PhraseTextBound)
{
    // A line is dropped when the text would pass 65,535 bytes; later, shorter
    // lines still go in. Whatever fits the list's 65,535 bytes reads back whole.
    std::string a(65000, 'a'), b(600, 'b'), c(530, 'c');
    WriteBytes("long.htm", "<u>\"root\"\n<p>\n\"" + a + "\"\n\"" + b + "\"\n\"" + c +
                               "\"\n\"d\"\n\"\"\n</p>\n"
                               "<p>\n\"" + std::string(65536, 'x') + "\"\n</p>\n"
                               "<p>\n\"" + std::string(65535, 'y') + "\"\n</p>\n</u>\n");
    std::vector<std::string> got = Phrases("long.htm", nullptr);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], a + "\r\n" + c + "\r\nd");
    EXPECT_EQ(got[0].size(), 65535u);
    EXPECT_EQ(got[1], "");
    EXPECT_EQ(got[2], std::string(65535, 'y'));
}

TEST(Reader, PhraseListTargets)
{
    WriteBytes("lib.htm",
               "<u>\"root\"\n<u>\"a\"\n<u>\"b\"\n<p>\n\"in b\"\n</p>\n</u>\n<p>\n\"in a\"\n</p>\n"
               "<p>\n\"second\"\n</p>\n</u>\n<p>\n\"in root\"\n</p>\n</u>\n");
    LabelNode* root = nullptr;
    ASSERT_EQ(ReadLabelTree("lib.htm", &root, nullptr), 0);
    LabelNode* a = root->firstChild;
    EXPECT_EQ(Phrases("lib.htm", nullptr), std::vector<std::string>{"in root"});
    EXPECT_EQ(Phrases("lib.htm", a->firstChild), std::vector<std::string>{"in b"});

    // A label that is not in the file (cut meanwhile) has no phrases.
    LabelNode* gone = NewLabelNode(a);
    strcpy(gone->name, "gone");
    int result = -1;
    EXPECT_TRUE(Phrases("lib.htm", gone, &result).empty());
    EXPECT_EQ(result, 0);

    // The sink stops the read.
    int calls = 0;
    PhraseSink stop = {&calls, [](void* context, const char*, size_t) {
                           ++*(int*)context;
                           return -1;
                       }};
    EXPECT_EQ(ReadPhraseList("lib.htm", a, &stop), -1);
    EXPECT_EQ(calls, 1);
    FreeLabelTree(root);

    // A file cut short: the phrases read before the fault stay handed over.
    WriteBytes("cut.htm", "<u>\"root\"\n<p>\n\"x\"\n</p>\n<p>\n\"y\"\n");
    EXPECT_EQ(Phrases("cut.htm", nullptr, &result), std::vector<std::string>{"x"});
    EXPECT_EQ(result, -1);
}

// Storing a label's list back as it was read changes nothing, equal sibling
// names included: the reader and the rewrites pick the same label.
void StoreEveryLabelBack(const LibraryFiles* files, LabelNode* node)
{
    V list = Phrases(files->phrase, node);
    PhraseSource source = {&list, (int)list.size(), [](void* context, int index, char* text, size_t size) {
                               const std::string& t = (*(V*)context)[index];
                               snprintf(text, size, "%s", t.c_str());
                               return (int)t.size();
                           }};
    RewriteRequest request = {REWRITE_SAVE_PHRASES, node->parent ? node : nullptr, 0, nullptr, &source};
    EXPECT_EQ(RewritePhraseFile(files, &request), 0) << node->name;
    for (LabelNode* child = node->firstChild; child; child = child->nextSibling)
        StoreEveryLabelBack(files, child);
}

TEST(Reader, ListsStoredBackLeaveTheFileAsItWas)
{
    std::string canonical = ReadBytes(std::string(FENLOP_TEST_DATA) + "/golden/reader/canonical.htm");
    std::string twins =
        "<u>\"root\"\r\n    <u>\"t\"\r\n        <p>\r\n        \"one\"\r\n        </p>\r\n    </u>\r\n"
        "    <u>\"t\"\r\n        <u>\"t\"\r\n            <p>\r\n            \"inner\"\r\n            </p>\r\n"
        "        </u>\r\n        <p>\r\n        \"two\"\r\n        </p>\r\n    </u>\r\n</u>\r\n";
    for (const std::string& content : {canonical, twins}) {
        LibraryFiles files;
        ASSERT_EQ(SetLibraryFiles(&files, "store.htm"), 0);
        WriteBytes(files.phrase, content);
        LabelNode* root = nullptr;
        ASSERT_EQ(ReadLabelTree(files.phrase, &root, nullptr), 0);
        StoreEveryLabelBack(&files, root);
        EXPECT_EQ(ReadBytes(files.phrase), content);
        FreeLabelTree(root);
    }
}

}  // namespace
