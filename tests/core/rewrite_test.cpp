// The rewrites of the phrase file: golden cases for every operation, the
// guarantees on failure, names, nesting depth, and new libraries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "common/file_calls.h"
#include "library/label_tree.h"
#include "library/library_files.h"
#include "library/phrase_reader.h"
#include "library/phrase_recovery.h"
#include "library/phrase_rewrite.h"
#include "library/phrase_token.h"
#include "tests/core/test_files.h"

namespace fs = std::filesystem;

namespace {

// A library in a folder of its own under the working directory, with the
// label records read from it.
struct Library {
    std::string dir;
    LibraryFiles files;
    LabelNode* root = nullptr;
    std::vector<LabelNode*> orphans;

    explicit Library(const std::string& name)
    {
        dir = (fs::current_path() / "rewrite" / name).string();
        fs::remove_all(dir);
        fs::create_directories(dir);
        EXPECT_EQ(SetLibraryFiles(&files, (dir + "/lib.htm").c_str()), 0);
    }
    // Holding text, its records read.
    Library(const std::string& name, const std::string& text) : Library(name)
    {
        WriteBytes(files.phrase, text);
        EXPECT_TRUE(Load());
    }
    ~Library()
    {
        FreeLabelTree(root);
        for (LabelNode* o : orphans)
            FreeLabelTree(o);
    }
    // Reads the records from the phrase file, or from tree when given.
    bool Load(const std::string* tree = nullptr)
    {
        FreeLabelTree(root);
        root = nullptr;
        std::string path = files.phrase;
        if (tree) {
            path = dir + "/tree.htm";
            WriteBytes(path, *tree);
        }
        return ReadLabelTree(path.c_str(), &root) == 0;
    }
    const LabelNode* Find(const std::vector<std::string>& names) const
    {
        std::vector<const char*> p;
        for (const auto& n : names)
            p.push_back(n.c_str());
        return FindLabelByNames(root, p.data(), (int)p.size());
    }
    // Records of a label that is not in the file (left from an older load).
    LabelNode* Orphan(const std::vector<std::string>& names)
    {
        LabelNode* node = NewLabelNode(nullptr);
        orphans.push_back(node);
        for (const auto& n : names) {
            node = NewLabelNode(node);
            FitLabelName(node->name, n.c_str());
        }
        return node;
    }
    bool NoTemporaryFiles() const
    {
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path().extension() == ".new")
                return false;
        return true;
    }
};

// The phrases of a list, handed over as the phrase list hands its items.
struct PhraseList {
    std::vector<std::string> texts;
    int failAt = -1;  // the item whose text cannot be had
    PhraseSource source;

    explicit PhraseList(std::vector<std::string> t) : texts(std::move(t))
    {
        source = {this, (int)texts.size(), Get};
    }
    static int Get(void* context, int index, char* text, size_t size)
    {
        PhraseList* list = (PhraseList*)context;
        if (index == list->failAt)
            return -1;
        const std::string& s = list->texts[(size_t)index];
        size_t n = std::min(s.size(), size - 1);
        memcpy(text, s.data(), n);
        text[n] = '\0';
        return (int)n;
    }
};

std::vector<std::string> ReadList(const char* path, const LabelNode* target)
{
    std::vector<std::string> out;
    PhraseSink sink{&out, [](void* context, const char* text, size_t length) {
                        ((std::vector<std::string>*)context)->push_back(std::string(text, length));
                        return 0;
                    }};
    EXPECT_EQ(ReadPhraseList(path, target, &sink), 0);
    return out;
}

// One golden case: tests/golden/rewrite/<case>/ holds input.htm, op.txt,
// expected.htm and, where the case has them, clip.txt (the clip file before),
// expected-clip.txt and tree.htm (the library the label records come from,
// when input.htm cannot be read).
struct GoldenOp {
    RewriteKind kind = REWRITE_SAVE_PHRASES;
    int after = 0;
    std::string newName;
    std::vector<std::string> names;
    std::vector<std::string> phrases;
    int result = 0;
    std::string expectName;
    std::vector<std::string> expectFollow;
    bool backup = true;
};

std::string Unescape(const std::string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); i++) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char c = s[++i];
            out += c == 'r' ? '\r' : c == 'n' ? '\n' : c;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool ParseOp(const std::string& bytes, GoldenOp* op)
{
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        size_t space = line.find(' ');
        std::string key = line.substr(0, space);
        std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        if (key == "kind") {
            std::string kind = value.substr(0, value.find(' '));
            if (kind == "rename")
                op->newName = value.substr(value.find(' ') + 1);
            static const struct {
                const char* word;
                RewriteKind kind;
                int after;
            } kinds[] = {
                {"new-above", REWRITE_NEW_LABEL, 0},   {"new-below", REWRITE_NEW_LABEL, 1},
                {"new-into", REWRITE_NEW_CHILD_LABEL, 0}, {"rename", REWRITE_RENAME_LABEL, 0},
                {"cut", REWRITE_CUT_LABEL, 0},         {"copy", REWRITE_COPY_LABEL, 0},
                {"paste-above", REWRITE_PASTE_LABEL, 0}, {"paste-below", REWRITE_PASTE_LABEL, 1},
                {"paste-into", REWRITE_PASTE_CHILD_LABEL, 0}, {"save", REWRITE_SAVE_PHRASES, 0},
            };
            bool known = false;
            for (const auto& k : kinds) {
                if (kind == k.word) {
                    op->kind = k.kind;
                    op->after = k.after;
                    known = true;
                }
            }
            if (!known)
                return false;
        } else if (key == "name") {
            op->names.push_back(value);
        } else if (key == "phrase") {
            op->phrases.push_back(Unescape(value));
        } else if (key == "expect-result") {
            op->result = atoi(value.c_str());
        } else if (key == "expect-name") {
            op->expectName = value;
        } else if (key == "expect-follow") {
            op->expectFollow.push_back(value);
        } else if (key == "expect-backup" && value == "none") {
            op->backup = false;
        } else {
            return false;
        }
    }
    return true;
}

std::string NamePath(const std::vector<std::string>& names)
{
    std::string path;
    for (const auto& n : names)
        path += n + '\0';
    return path + '\0';
}

void RunGoldenCase(const fs::path& dir)
{
    SCOPED_TRACE(dir.filename().string());
    GoldenOp op;
    ASSERT_TRUE(ParseOp(ReadBytes((dir / "op.txt").string()), &op)) << "bad op.txt";
    // Pastes and renames are refused before a backup exists; a copy writes none.
    bool paste = op.kind == REWRITE_PASTE_LABEL || op.kind == REWRITE_PASTE_CHILD_LABEL;
    if (op.kind == REWRITE_COPY_LABEL ||
        (op.result != 0 && (paste || op.kind == REWRITE_RENAME_LABEL)))
        op.backup = false;

    Library lib("golden_" + dir.filename().string());
    std::string input = ReadBytes((dir / "input.htm").string());
    WriteBytes(lib.files.phrase, input);
    bool hasClip = false;
    std::string clip = ReadBytes((dir / "clip.txt").string(), &hasClip);
    if (hasClip)
        WriteBytes(lib.files.clip, clip);
    bool hasTree = false;
    std::string tree = ReadBytes((dir / "tree.htm").string(), &hasTree);
    ASSERT_TRUE(lib.Load(hasTree ? &tree : nullptr));

    const LabelNode* target = lib.Find(op.names);
    if (!op.names.empty() && !target) {
        // Only stores are asked for a label of older records.
        ASSERT_EQ(op.kind, REWRITE_SAVE_PHRASES) << "no such label in the tree";
        target = lib.Orphan(op.names);
    }
    PhraseList list(op.phrases);
    RewriteRequest request{op.kind, target, op.after, op.newName.c_str(), &list.source};
    char follow[NAME_PATH_SIZE];
    char newName[NAME_BUFFER_SIZE];
    LibraryError error;
    EXPECT_EQ(RewritePhraseFile(&lib.files, &request, follow, newName, &error), op.result)
        << error.what << " (line " << error.line << ")";

    bool exists = false;
    EXPECT_EQ(ReadBytes(lib.files.phrase), ReadBytes((dir / "expected.htm").string()));
    bool expectClip = false;
    std::string wantClip = ReadBytes((dir / "expected-clip.txt").string(), &expectClip);
    std::string gotClip = ReadBytes(lib.files.clip, &exists);
    EXPECT_EQ(exists, expectClip || hasClip);
    EXPECT_EQ(gotClip, expectClip ? wantClip : clip);
    std::string backup = ReadBytes(lib.files.backup, &exists);
    EXPECT_EQ(exists, op.backup);
    if (op.backup) {
        EXPECT_EQ(backup, input);
    }
    EXPECT_EQ(std::string(follow, NamePath(op.expectFollow).size()), NamePath(op.expectFollow));
    EXPECT_EQ(std::string(newName), op.expectName);
    EXPECT_TRUE(lib.NoTemporaryFiles());
}

TEST(RewriteGolden, EveryOperation)
{
    std::vector<fs::path> cases;
    for (const auto& entry : fs::directory_iterator(fs::path(FENLOP_TEST_DATA) / "golden" / "rewrite"))
        if (entry.is_directory())
            cases.push_back(entry.path());
    std::sort(cases.begin(), cases.end());
    ASSERT_GE(cases.size(), 20u);
    for (const auto& dir : cases)
        RunGoldenCase(dir);
}

const char kBase[] =
    "<u>\"root\"\r\n"
    "    <u>\"a\"\r\n"
    "        <p>\r\n"
    "        \"a1\"\r\n"
    "        </p>\r\n"
    "    </u>\r\n"
    "    <u>\"b\"\r\n"
    "    </u>\r\n"
    "    <u>\"c\"\r\n"
    "    </u>\r\n"
    "</u>\r\n";

// Cut, then paste twice beside another label: the subtree moves whole and
// the second copy is named apart.
TEST(RewriteFlow, CutThenPasteTwice)
{
    Library lib("flow", kBase);
    RewriteRequest cut{REWRITE_CUT_LABEL, lib.Find({"a"}), 0, nullptr, nullptr};
    ASSERT_EQ(RewritePhraseFile(&lib.files, &cut), 0);
    for (int i = 0; i < 2; i++) {
        ASSERT_TRUE(lib.Load());
        RewriteRequest paste{REWRITE_PASTE_LABEL, lib.Find({"c"}), 1, nullptr, nullptr};
        char newName[NAME_BUFFER_SIZE];
        ASSERT_EQ(RewritePhraseFile(&lib.files, &paste, nullptr, newName), 0);
        EXPECT_STREQ(newName, i == 0 ? "a" : "a～1");
    }
    EXPECT_EQ(ReadBytes(lib.files.phrase),
              "<u>\"root\"\r\n"
              "    <u>\"b\"\r\n"
              "    </u>\r\n"
              "    <u>\"c\"\r\n"
              "    </u>\r\n"
              "    <u>\"a～1\"\r\n"
              "        <p>\r\n"
              "        \"a1\"\r\n"
              "        </p>\r\n"
              "    </u>\r\n"
              "    <u>\"a\"\r\n"
              "        <p>\r\n"
              "        \"a1\"\r\n"
              "        </p>\r\n"
              "    </u>\r\n"
              "</u>\r\n");
}

// The phrase file's bytes stay exactly as they were whenever a rewrite fails,
// and the backup holds the library before the latest rewrite.
TEST(RewriteFailure, MissingPhraseFile)
{
    Library lib("missing", kBase);
    remove(lib.files.phrase);
    PhraseList list({"p"});
    for (RewriteKind kind : {REWRITE_NEW_LABEL, REWRITE_NEW_CHILD_LABEL, REWRITE_RENAME_LABEL,
                             REWRITE_CUT_LABEL, REWRITE_COPY_LABEL, REWRITE_SAVE_PHRASES}) {
        RewriteRequest request{kind, lib.Find({"b"}), 0, "n", &list.source};
        EXPECT_EQ(RewritePhraseFile(&lib.files, &request), -1) << kind;
    }
    EXPECT_FALSE(FileExists(lib.files.phrase));
    EXPECT_FALSE(FileExists(lib.files.backup));
    EXPECT_FALSE(FileExists(lib.files.clip));
    EXPECT_TRUE(lib.NoTemporaryFiles());
}

TEST(RewriteFailure, UnwritableTargetsLeaveEveryFileAsItWas)
{
    Library lib("unwritable", kBase);
    WriteBytes(lib.files.clip, "<u>\"old clip\"\r\n</u>\r\n");
    PhraseList list({"p"});
    RewriteRequest save{REWRITE_SAVE_PHRASES, lib.Find({"b"}), 0, nullptr, &list.source};
    ASSERT_EQ(RewritePhraseFile(&lib.files, &save), 0);
    std::string stored = ReadBytes(lib.files.phrase);

    // The new phrase file cannot be created.
    fs::create_directory(TempOf(lib.files.phrase));
    RewriteRequest newLabel{REWRITE_NEW_LABEL, lib.Find({"a"}), 1, nullptr, nullptr};
    EXPECT_EQ(RewritePhraseFile(&lib.files, &newLabel), -1);
    EXPECT_EQ(ReadBytes(lib.files.phrase), stored);
    EXPECT_EQ(ReadBytes(lib.files.backup), stored);
    fs::remove(TempOf(lib.files.phrase));

    // The new clip file cannot be created: a cut keeps the label in the library.
    fs::create_directory(TempOf(lib.files.clip));
    RewriteRequest cut{REWRITE_CUT_LABEL, lib.Find({"a"}), 0, nullptr, nullptr};
    EXPECT_EQ(RewritePhraseFile(&lib.files, &cut), -1);
    RewriteRequest copy{REWRITE_COPY_LABEL, lib.Find({"a"}), 0, nullptr, nullptr};
    EXPECT_EQ(RewritePhraseFile(&lib.files, &copy), -1);
    EXPECT_EQ(ReadBytes(lib.files.phrase), stored);
    EXPECT_EQ(ReadBytes(lib.files.clip), "<u>\"old clip\"\r\n</u>\r\n");
    fs::remove(TempOf(lib.files.clip));

    // The backup cannot be written: nothing else is touched either.
    std::string olderBackup = ReadBytes(lib.files.backup);
    fs::create_directory(TempOf(lib.files.backup));
    EXPECT_EQ(RewritePhraseFile(&lib.files, &newLabel), -1);
    EXPECT_EQ(ReadBytes(lib.files.phrase), stored);
    EXPECT_EQ(ReadBytes(lib.files.backup), olderBackup);
    fs::remove(TempOf(lib.files.backup));
    EXPECT_TRUE(lib.NoTemporaryFiles());
}

#ifndef _WIN32
// A full disk: every write into the new phrase file fails.
TEST(RewriteFailure, FullDisk)
{
    Library lib("fulldisk", kBase);
    std::string temp = TempOf(lib.files.phrase);
    fs::create_symlink("/dev/full", temp);
    std::vector<std::string> big(200, std::string(3000, 'x'));
    PhraseList list(big);
    RewriteRequest save{REWRITE_SAVE_PHRASES, lib.Find({"a"}), 0, nullptr, &list.source};
    EXPECT_EQ(RewritePhraseFile(&lib.files, &save), -1);
    EXPECT_EQ(ReadBytes(lib.files.phrase), kBase);
    fs::remove(temp);
}
#endif

// A malformed library fails every rewrite where the reader fails it, with the
// same line and reason, and stays as it is.
TEST(RewriteFailure, MalformedFilesSayWhere)
{
    std::string base(kBase);
    const std::string files[] = {
        "<u>\"root\"\r\n    <u>\r\n    c\r\n    </u>\r\n</u>\r\n",  // label without a name
        base.substr(0, base.size() - 6),                               // end of file inside a label
        "junk\r\n" + base,                                            // no root label
        "",
        "<u>\r\n",
    };
    Library lib("malformed", kBase);
    PhraseList list({"p"});
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        WriteBytes(lib.files.phrase, file);
        LibraryError want, got;
        LabelNode* root = nullptr;
        ASSERT_EQ(ReadLabelTree(lib.files.phrase, &root, &want), -1);
        RewriteRequest save{REWRITE_SAVE_PHRASES, lib.Find({"a"}), 0, nullptr, &list.source};
        EXPECT_EQ(RewritePhraseFile(&lib.files, &save, nullptr, nullptr, &got), -1);
        EXPECT_STREQ(got.what, want.what);
        EXPECT_EQ(got.line, want.line);
        EXPECT_EQ(ReadBytes(lib.files.phrase), file);
    }
}

// The list cannot hand over an item halfway through the store.
TEST(RewriteFailure, SourceFailingMidway)
{
    Library lib("source", kBase);
    PhraseList list({"1", "2", "3", "4"});
    list.failAt = 2;
    RewriteRequest save{REWRITE_SAVE_PHRASES, lib.Find({"a"}), 0, nullptr, &list.source};
    EXPECT_EQ(RewritePhraseFile(&lib.files, &save), -1);
    EXPECT_EQ(ReadBytes(lib.files.phrase), kBase);
    EXPECT_TRUE(lib.NoTemporaryFiles());
}

TEST(RewriteFailure, BackupHoldsTheLibraryBeforeTheLatestRewrite)
{
    Library lib("backup", kBase);
    PhraseList first({"first"}), second({"second"});
    RewriteRequest save{REWRITE_SAVE_PHRASES, lib.Find({"c"}), 0, nullptr, &first.source};
    ASSERT_EQ(RewritePhraseFile(&lib.files, &save), 0);
    std::string afterFirst = ReadBytes(lib.files.phrase);
    EXPECT_EQ(ReadBytes(lib.files.backup), kBase);
    // The library is read once: the backup is written from that read, and
    // never read back.
    static std::vector<std::string> opened;
    opened.clear();
    SetFileFaultHook([](FileCall call, const char* path) {
        if (call == FILE_CALL_OPEN)
            opened.push_back(path);
        return 0;
    });
    save.phrases = &second.source;
    EXPECT_EQ(RewritePhraseFile(&lib.files, &save), 0);
    SetFileFaultHook(nullptr);
    EXPECT_EQ(std::count(opened.begin(), opened.end(), std::string(lib.files.phrase)), 1);
    EXPECT_EQ(std::count(opened.begin(), opened.end(), std::string(lib.files.backup)), 0);
    EXPECT_EQ(ReadBytes(lib.files.backup), afterFirst);
    // A copy of a label rewrites nothing, so the backup stays.
    RewriteRequest copy{REWRITE_COPY_LABEL, lib.Find({"c"}), 0, nullptr, nullptr};
    ASSERT_EQ(RewritePhraseFile(&lib.files, &copy), 0);
    EXPECT_EQ(ReadBytes(lib.files.backup), afterFirst);
}

// Labels that no operation needs are refused before a file is touched.
TEST(RewriteFailure, RefusedRequests)
{
    Library lib("refused", kBase);
    for (RewriteKind kind : {REWRITE_NEW_LABEL, REWRITE_NEW_CHILD_LABEL, REWRITE_RENAME_LABEL,
                             REWRITE_CUT_LABEL, REWRITE_COPY_LABEL, REWRITE_PASTE_LABEL,
                             REWRITE_PASTE_CHILD_LABEL}) {
        // No label, and the root label itself.
        RewriteRequest none{kind, nullptr, 0, "n", nullptr};
        EXPECT_EQ(RewritePhraseFile(&lib.files, &none), -1);
        RewriteRequest root{kind, lib.root, 0, "n", nullptr};
        EXPECT_EQ(RewritePhraseFile(&lib.files, &root), -1);
    }
    RewriteRequest noList{REWRITE_SAVE_PHRASES, lib.Find({"a"}), 0, nullptr, nullptr};
    EXPECT_EQ(RewritePhraseFile(&lib.files, &noList), -1);
    // A label that the file no longer has: nothing is created or cut.
    LabelNode* gone = lib.Orphan({"gone"});
    for (RewriteKind kind : {REWRITE_NEW_LABEL, REWRITE_RENAME_LABEL, REWRITE_CUT_LABEL,
                             REWRITE_COPY_LABEL}) {
        RewriteRequest request{kind, gone, 0, "n", nullptr};
        EXPECT_EQ(RewritePhraseFile(&lib.files, &request), -1) << kind;
    }
    EXPECT_EQ(ReadBytes(lib.files.phrase), kBase);
    EXPECT_FALSE(FileExists(lib.files.clip));
}

TEST(RenameName, Checks)
{
    Library lib("rename", kBase);
    const LabelNode* b = lib.Find({"b"});
    EXPECT_EQ(CheckRenameName(b, std::string(79, 'n').c_str()), 0);
    EXPECT_EQ(CheckRenameName(b, std::string(80, 'n').c_str()), -1);
    EXPECT_EQ(CheckRenameName(b, ""), -1);
    EXPECT_EQ(CheckRenameName(b, "b"), -1);  // its own name
    EXPECT_EQ(CheckRenameName(b, "c"), -1);  // a sibling's
    EXPECT_EQ(CheckRenameName(b, "a1"), 0);  // a phrase, not a label
    EXPECT_EQ(CheckRenameName(b, "x\r\ny"), -1);
    EXPECT_EQ(CheckRenameName(b, "x\ny"), -1);
    EXPECT_EQ(CheckRenameName(nullptr, "x"), -1);
    RewriteRequest rename{REWRITE_RENAME_LABEL, b, 0, "c", nullptr};
    EXPECT_EQ(RewritePhraseFile(&lib.files, &rename), -1);
    std::string name79(79, 'n');
    rename.newName = name79.c_str();
    EXPECT_EQ(RewritePhraseFile(&lib.files, &rename), 0);
    ASSERT_TRUE(lib.Load());
    EXPECT_NE(lib.Find({name79}), nullptr);
}

// Siblings of equal names (a hand-edited file): the label at the target's own
// place among them is the one rewritten.
TEST(RewriteNames, EqualSiblingNames)
{
    const std::string file =
        "<u>\"root\"\r\n"
        "    <u>\"d\"\r\n"
        "        <p>\r\n"
        "            \"first\"\r\n"
        "        </p>\r\n"
        "    </u>\r\n"
        "    <u>\"d\"\r\n"
        "        <p>\r\n"
        "            \"second\"\r\n"
        "        </p>\r\n"
        "    </u>\r\n"
        "</u>\r\n";
    Library lib("equal", file);
    const LabelNode* second = lib.root->firstChild->nextSibling;
    ASSERT_STREQ(second->name, "d");
    PhraseList list({"new"});
    RewriteRequest save{REWRITE_SAVE_PHRASES, second, 0, nullptr, &list.source};
    ASSERT_EQ(RewritePhraseFile(&lib.files, &save), 0);
    std::string stored = ReadBytes(lib.files.phrase);
    EXPECT_NE(stored.find("\"first\""), std::string::npos);
    EXPECT_EQ(stored.find("\"second\""), std::string::npos);
    EXPECT_NE(stored.find("\"new\""), std::string::npos);

    ASSERT_TRUE(lib.Load());
    RewriteRequest cut{REWRITE_CUT_LABEL, lib.root->firstChild, 0, nullptr, nullptr};
    ASSERT_EQ(RewritePhraseFile(&lib.files, &cut), 0);
    EXPECT_EQ(ReadBytes(lib.files.clip),
              "    <u>\"d\"\r\n        <p>\r\n        \"first\"\r\n        </p>\r\n    </u>\r\n");
    EXPECT_EQ(ReadBytes(lib.files.phrase),
              "<u>\"root\"\r\n    <u>\"d\"\r\n        <p>\r\n        \"new\"\r\n        </p>\r\n"
              "    </u>\r\n</u>\r\n");
}

// Names longer than a record holds pass through rewrites whole and are
// matched by their held form.
TEST(RewriteNames, LongNames)
{
    // 200 bytes of two-byte characters, and one that differs only after 83 bytes.
    std::string longName, otherLong;
    for (int i = 0; i < 100; i++)
        longName += "表";
    otherLong = longName.substr(0, 100) + "xyz";
    const std::string file = "<u>\"root\"\r\n    <u>\"" + longName + "\"\r\n        <u>\"in\"\r\n"
                             "        </u>\r\n    </u>\r\n    <u>\"s\"\r\n    </u>\r\n</u>\r\n";
    Library lib("longnames", file);
    const LabelNode* held = lib.root->firstChild;
    EXPECT_EQ(strlen(held->name), 82u);  // 83 would split a character

    // Stored under the long-named label's child; the long name is written whole.
    PhraseList list({"p"});
    RewriteRequest save{REWRITE_SAVE_PHRASES, held->firstChild, 0, nullptr, &list.source};
    ASSERT_EQ(RewritePhraseFile(&lib.files, &save), 0);
    EXPECT_EQ(ReadBytes(lib.files.phrase),
              "<u>\"root\"\r\n    <u>\"" + longName + "\"\r\n        <u>\"in\"\r\n"
              "            <p>\r\n            \"p\"\r\n            </p>\r\n"
              "        </u>\r\n    </u>\r\n    <u>\"s\"\r\n    </u>\r\n</u>\r\n");

    // Copy and paste it beside itself: the held form is taken, so the pasted
    // name is cut to one a user could give (78 bytes: 79 would split a
    // character) and numbered, though the cut name alone is free here.
    ASSERT_TRUE(lib.Load());
    RewriteRequest copy{REWRITE_COPY_LABEL, lib.root->firstChild, 0, nullptr, nullptr};
    ASSERT_EQ(RewritePhraseFile(&lib.files, &copy), 0);
    RewriteRequest paste{REWRITE_PASTE_LABEL, lib.root->firstChild, 1, nullptr, nullptr};
    char newName[NAME_BUFFER_SIZE];
    ASSERT_EQ(RewritePhraseFile(&lib.files, &paste, nullptr, newName), 0);
    EXPECT_EQ(std::string(newName), longName.substr(0, 78) + "～1");
    // Pasted under "s", where nothing is taken, it keeps its whole name.
    ASSERT_TRUE(lib.Load());
    RewriteRequest into{REWRITE_PASTE_CHILD_LABEL, lib.Find({"s"}), 0, nullptr, nullptr};
    ASSERT_EQ(RewritePhraseFile(&lib.files, &into, nullptr, newName), 0);
    EXPECT_EQ(std::string(newName), longName.substr(0, 82));
    std::string stored = ReadBytes(lib.files.phrase);
    EXPECT_NE(stored.find("    <u>\"s\"\r\n        <u>\"" + longName + "\"\r\n"), std::string::npos);
    (void)otherLong;
}

// A file nested n levels deep below the root: "<u>"l"" n times, then the
// closes.
std::string Nested(int n)
{
    std::string s = "<u>\"root\"\n";
    s.reserve(20 * (size_t)n);
    for (int i = 0; i < n; i++)
        s += "<u>\"l\"\n";
    for (int i = 0; i <= n; i++)
        s += "</u>\n";
    return s;
}

// A hand-made chain of records for a label at depth n named "l" all along.
struct Chain {
    LabelNode* root = NewLabelNode(nullptr);
    LabelNode* deepest = root;
    explicit Chain(int n)
    {
        for (int i = 0; i < n; i++) {
            deepest = NewLabelNode(deepest);
            strcpy(deepest->name, "l");
        }
    }
    ~Chain() { FreeLabelTree(root); }
};

TEST(RewriteDepth, LimitHoldsWithoutStack)
{
    Library lib("depth");
    WriteBytes(lib.files.phrase, Nested(MAX_LABEL_DEPTH));
    Chain chain(MAX_LABEL_DEPTH);
    PhraseList list({"deep"});
    RewriteRequest save{REWRITE_SAVE_PHRASES, chain.deepest, 0, nullptr, &list.source};
    ASSERT_EQ(RewritePhraseFile(&lib.files, &save), 0);
    std::string stored = ReadBytes(lib.files.phrase);
    EXPECT_NE(stored.find(std::string(4 * (MAX_LABEL_DEPTH + 1), ' ') + "\"deep\"\r\n"),
              std::string::npos);
    // One more level is refused, whether made here or pasted.
    RewriteRequest child{REWRITE_NEW_CHILD_LABEL, chain.deepest, 0, nullptr, nullptr};
    EXPECT_EQ(RewritePhraseFile(&lib.files, &child), -1);
    WriteBytes(lib.files.clip, "<u>\"c\"\r\n</u>\r\n");
    RewriteRequest paste{REWRITE_PASTE_CHILD_LABEL, chain.deepest, 0, nullptr, nullptr};
    EXPECT_EQ(RewritePhraseFile(&lib.files, &paste), -1);
    WriteBytes(lib.files.clip, "<u>\"c\"\r\n<u>\"c2\"\r\n</u>\r\n</u>\r\n");
    paste.target = chain.deepest->parent;
    LibraryError error;
    EXPECT_EQ(RewritePhraseFile(&lib.files, &paste, nullptr, nullptr, &error), -1);
    EXPECT_STREQ(error.what, "nesting too deep");
    paste.kind = REWRITE_PASTE_LABEL;
    EXPECT_EQ(RewritePhraseFile(&lib.files, &paste), 0);
    EXPECT_EQ(ReadBytes(lib.files.backup), stored);

    // Files nested deeper fail, however deep, with the phrase file unchanged.
    for (int n : {MAX_LABEL_DEPTH + 1, 100000}) {
        std::string deep = Nested(n);
        WriteBytes(lib.files.phrase, deep);
        Chain one(1);
        RewriteRequest request{REWRITE_SAVE_PHRASES, one.deepest, 0, nullptr, &list.source};
        EXPECT_EQ(RewritePhraseFile(&lib.files, &request, nullptr, nullptr, &error), -1) << n;
        EXPECT_STREQ(error.what, "nesting too deep");
        EXPECT_EQ(error.line, MAX_LABEL_DEPTH + 2);
        EXPECT_TRUE(ReadBytes(lib.files.phrase) == deep);
    }
}

TEST(CreateLibrary, WritesANewLibraryAndKeepsTheOldFile)
{
    Library lib("create");
    remove(lib.files.phrase);
    const std::string fresh =
        "<u>\"root\"\r\n    <u>\"新しいラベル\"\r\n    </u>\r\n</u>\r\n";
    char kept[PATH_BUFFER_SIZE];
    ASSERT_EQ(CreateLibraryFile(&lib.files, kept), 0);
    EXPECT_STREQ(kept, "");
    EXPECT_EQ(ReadBytes(lib.files.phrase), fresh);

    WriteBytes(lib.files.phrase, "unreadable 1");
    WriteBytes(lib.files.backup, "backup");
    ASSERT_EQ(CreateLibraryFile(&lib.files, kept), 0);
    std::string first = std::string(lib.files.phrase).substr(0, strlen(lib.files.phrase) - 3) + "001";
    EXPECT_EQ(std::string(kept), first);
    EXPECT_EQ(ReadBytes(first), "unreadable 1");
    EXPECT_EQ(ReadBytes(lib.files.phrase), fresh);

    WriteBytes(lib.files.phrase, "unreadable 2");
    ASSERT_EQ(CreateLibraryFile(&lib.files, nullptr), 0);
    std::string second = first.substr(0, first.size() - 1) + "2";
    EXPECT_EQ(ReadBytes(second), "unreadable 2");
    EXPECT_EQ(ReadBytes(first), "unreadable 1");
    EXPECT_EQ(ReadBytes(lib.files.backup), "backup");

    // When the new file cannot be written, the old one stays where it was.
    WriteBytes(lib.files.phrase, "unreadable 3");
    fs::create_directory(TempOf(lib.files.phrase));
    EXPECT_EQ(CreateLibraryFile(&lib.files, kept), -1);
    EXPECT_EQ(ReadBytes(lib.files.phrase), "unreadable 3");
    EXPECT_FALSE(FileExists((first.substr(0, first.size() - 1) + "3").c_str()));
    fs::remove(TempOf(lib.files.phrase));
    remove(first.c_str());
    remove(second.c_str());
}

// The text a stored phrase reads back as: a lone CR or LF becomes CR LF.
std::string WithLineBreaks(const std::string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); i++) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
            out += "\r\n";
            i++;
        } else if (s[i] == '\r' || s[i] == '\n') {
            out += "\r\n";
        } else {
            out += s[i];
        }
    }
    return out;
}

// The longest text the phrase list holds and the reader returns whole.
const size_t READ_BACK_LIMIT = PHRASE_BUFFER_SIZE - 1;

// Random phrases: any bytes but NUL, lines of random lengths (longer than
// 1,024 bytes too), empty texts, texts ending with CR LF, lone CR and LF,
// up to READ_BACK_LIMIT bytes as read back.
std::string RandomText(std::mt19937& random)
{
    std::uniform_int_distribution<int> byte(1, 255), kind(0, 9);
    std::string s;
    switch (kind(random)) {
    case 0:
        return s;
    case 1:  // as long as a phrase can be, in long lines
        for (;;) {
            size_t line = std::uniform_int_distribution<size_t>(0, 20000)(random);
            size_t room = READ_BACK_LIMIT - s.size();
            if (line + 2 > room) {
                s.append(room, 'L');
                return s;
            }
            for (size_t i = 0; i < line; i++)
                s += (char)(byte(random) % 2 ? 'a' + i % 26 : 0x81 + i % 30);
            s += "\r\n";
        }
    default: {
        size_t length = std::uniform_int_distribution<size_t>(1, kind(random) < 3 ? 5000 : 200)(random);
        for (size_t i = 0; i < length; i++)
            s += (char)byte(random);
        if (kind(random) < 3)
            s += "\r\n";
        return s;
    }
    }
}

TEST(RewriteProperty, StoredPhrasesReadBackUnchanged)
{
    Library lib("property", kBase);
    std::mt19937 random(20240611);
    for (int round = 0; round < 40; round++) {
        SCOPED_TRACE(round);
        std::vector<std::string> texts;
        int count = std::uniform_int_distribution<int>(0, 12)(random);
        for (int i = 0; i < count; i++)
            texts.push_back(RandomText(random));
        std::vector<std::string> want;
        for (auto& t : texts) {
            want.push_back(WithLineBreaks(t));
            if (want.back().size() > READ_BACK_LIMIT) {
                t.resize(t.size() - (want.back().size() - READ_BACK_LIMIT));
                want.back() = WithLineBreaks(t);
            }
        }
        PhraseList list(texts);
        const LabelNode* target = round % 3 == 0 ? nullptr : lib.Find({round % 3 == 1 ? "b" : "c"});
        RewriteRequest save{REWRITE_SAVE_PHRASES, target, 0, nullptr, &list.source};
        ASSERT_EQ(RewritePhraseFile(&lib.files, &save), 0);
        std::vector<std::string> got = ReadList(lib.files.phrase, target);
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < want.size(); i++)
            ASSERT_TRUE(got[i] == want[i]) << "phrase " << i << " of " << want[i].size() << " bytes";
        EXPECT_EQ(ReadList(lib.files.phrase, lib.Find({"a"})), std::vector<std::string>{"a1"});
    }
}

// What a list can hold, 65,535 bytes, is stored whole, in lines of any length.
TEST(RewriteProperty, LongestPhrasesAreStoredWhole)
{
    Library lib("longest", kBase);
    std::string oneLine(PHRASE_BUFFER_SIZE - 1, 'x');
    std::string lines = std::string(40000, 'y') + "\r\n" + std::string(PHRASE_BUFFER_SIZE - 40003, 'z');
    PhraseList list({oneLine, lines});
    RewriteRequest save{REWRITE_SAVE_PHRASES, lib.Find({"c"}), 0, nullptr, &list.source};
    ASSERT_EQ(RewritePhraseFile(&lib.files, &save), 0);
    std::string want = "    <u>\"c\"\r\n        <p>\r\n        \"" + oneLine +
                       "\"\r\n        </p>\r\n        <p>\r\n        \"" + std::string(40000, 'y') +
                       "\"\r\n        \"" + std::string(PHRASE_BUFFER_SIZE - 40003, 'z') +
                       "\"\r\n        </p>\r\n    </u>\r\n</u>\r\n";
    std::string stored = ReadBytes(lib.files.phrase);
    ASSERT_GT(stored.size(), want.size());
    EXPECT_TRUE(stored.compare(stored.size() - want.size(), want.size(), want) == 0);
    // And a rewrite elsewhere copies those lines through unchanged.
    RewriteRequest newLabel{REWRITE_NEW_LABEL, lib.Find({"a"}), 0, nullptr, nullptr};
    ASSERT_EQ(RewritePhraseFile(&lib.files, &newLabel), 0);
    std::string again = ReadBytes(lib.files.phrase);
    EXPECT_TRUE(again.compare(again.size() - want.size(), want.size(), want) == 0);
    // And both read back as they were stored.
    EXPECT_TRUE(ReadList(lib.files.phrase, lib.Find({"c"})) == (std::vector<std::string>{oneLine, lines}));
}

// Edits the file could not take at exit wait in recovery files beside it,
// each one label; a start adds each as a new last top-level label under a
// name of its own and removes the file, and a library that cannot take it
// leaves the file where it is.
TEST(Recovery, WaitsBesideTheLibraryUntilALaterStartAddsIt)
{
    Library lib("recovery");
    WriteBytes(lib.files.phrase, kBase);
    PhraseList list({"a1", "two\r\nlines", ""});
    char first[PATH_BUFFER_SIZE], second[PATH_BUFFER_SIZE];
    ASSERT_EQ(WriteRecoveryFile(&lib.files, "a", &list.source, first), 0);
    ASSERT_EQ(WriteRecoveryFile(&lib.files, std::string(79, 'n').c_str(), &list.source, second), 0);
    std::string stem = std::string(lib.files.phrase).substr(0, strlen(lib.files.phrase) - 3);
    EXPECT_EQ(std::string(first), stem + "r01");
    EXPECT_EQ(std::string(second), stem + "r02") << "an earlier recovery file is never written over";
    const std::string body = "        <p>\r\n        \"a1\"\r\n        </p>\r\n"
                             "        <p>\r\n        \"two\"\r\n        \"lines\"\r\n        </p>\r\n"
                             "        <p>\r\n        </p>\r\n";
    EXPECT_EQ(ReadBytes(first), "<u>\"復元：a\"\r\n    <p>\r\n    \"a1\"\r\n    </p>\r\n"
                                "    <p>\r\n    \"two\"\r\n    \"lines\"\r\n    </p>\r\n"
                                "    <p>\r\n    </p>\r\n</u>\r\n");
    std::string cut = "復元：" + std::string(73, 'n');  // 79 bytes, a name the user could give

    // Nowhere to go: an unreadable library, a library without a top-level label.
    char name[NAME_BUFFER_SIZE];
    for (const char* library : {"not a library", "<u>\"root\"\r\n</u>\r\n"}) {
        WriteBytes(lib.files.phrase, library);
        EXPECT_EQ(MergeRecoveryFile(&lib.files, first, name), -1);
        EXPECT_EQ(ReadBytes(lib.files.phrase), library);
        EXPECT_TRUE(FileExists(first));
    }

    WriteBytes(lib.files.phrase, kBase);
    ASSERT_EQ(MergeRecoveryFile(&lib.files, first, name), 0);
    EXPECT_STREQ(name, "復元：a");
    WriteBytes(first, ReadBytes(second));  // the same label twice: named apart
    ASSERT_EQ(MergeRecoveryFile(&lib.files, first, name), 0);
    EXPECT_EQ(std::string(name), cut);
    // The same label standing last is that file merged before (its removal
    // failed): a file of other phrases under that name is named apart.
    PhraseList other({"b1"});
    remove(second);
    ASSERT_EQ(WriteRecoveryFile(&lib.files, std::string(79, 'n').c_str(), &other.source, second), 0);
    ASSERT_EQ(MergeRecoveryFile(&lib.files, second, name), 0);
    EXPECT_EQ(std::string(name), cut + "～1");
    EXPECT_FALSE(FileExists(first) || FileExists(second));
    std::string tail = "    <u>\"c\"\r\n    </u>\r\n    <u>\"復元：a\"\r\n" + body + "    </u>\r\n"
                       "    <u>\"" + cut + "\"\r\n" + body + "    </u>\r\n"
                       "    <u>\"" + cut + "～1\"\r\n        <p>\r\n        \"b1\"\r\n        </p>\r\n"
                       "    </u>\r\n</u>\r\n";
    std::string merged = ReadBytes(lib.files.phrase);
    ASSERT_GT(merged.size(), tail.size());
    EXPECT_EQ(merged.substr(merged.size() - tail.size()), tail);
    EXPECT_TRUE(lib.NoTemporaryFiles());

    // The library's own name is never a recovery file's.
    LibraryFiles own;
    ASSERT_EQ(SetLibraryFiles(&own, (lib.dir + "/lib.R01").c_str()), 0);
    EXPECT_EQ(RecoveryFilePath(&own, 1, name), -1);
    EXPECT_EQ(RecoveryFilePath(&own, 2, name), 0);
}

}  // namespace
