// The walker: where labels stand against a path, skipping and copying
// bodies, and the whole-file walk against the label tree's reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "common/buffer_calls.h"
#include "library/phrase_reader.h"
#include "library/phrase_walker.h"
#include "tests/core/test_files.h"
#include "tests/walk_events.h"

namespace {

// Each head met as "name:place" (P path, T target, I inside, B beside);
// labels beside the path are skipped, all others entered.
std::string Places(const std::string& content, const std::vector<const char*>& names,
                   const std::vector<int>& ordinals)
{
    LabelPath path = {};
    for (size_t i = 0; i < names.size(); i++) {
        path.name[i] = names[i];
        path.ordinal[i] = ordinals[i];
    }
    path.count = (int)names.size();
    FILE* f = OpenBytes(content);
    PhraseWalker w;
    std::string out;
    if (StartWalk(&w, f, &path, false, nullptr) == 0) {
        for (int event; (event = WalkNext(&w)) != WALK_END && event != WALK_FAILED;) {
            if (event != WALK_LABEL)
                continue;
            out += std::string(out.empty() ? "" : " ") + w.text + ":" + "PTIB"[w.place];
            if (w.place == PLACE_BESIDE && WalkSkipBody(&w) != 0)
                break;
        }
        if (w.failed)
            out += " failed";
    }
    EndWalk(&w);
    fclose(f);
    return out;
}

TEST(Walker, PlacesAgainstThePath)
{
    const std::string twins = "<u>\"r\"\n<u>\"t\"\n<u>\"s\"\n</u>\n</u>\n<u>\"u\"\n</u>\n"
                              "<u>\"t\"\n<u>\"s\"\n<u>\"in\"\n</u>\n</u>\n</u>\n<u>\"t\"\n</u>\n</u>\n";
    struct Case {
        std::vector<const char*> names;
        std::vector<int> ordinals;
        const char* places;
    } cases[] = {
        {{}, {}, "t:I s:I u:I t:I s:I in:I t:I"},
        {{"t"}, {0}, "t:T s:I u:B t:B t:B"},
        {{"t", "s"}, {1, 0}, "t:B u:B t:P s:T in:I t:B"},
        {{"t", "s"}, {2, 0}, "t:B u:B t:B t:P"},  // the path's label holds no such child
        {{"u", "x"}, {0, 0}, "t:B u:P t:B t:B"},
        {{"gone"}, {0}, "t:B u:B t:B t:B"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Places(twins, c.names, c.ordinals), c.places) << c.places;
    // Skipped bodies are checked as closely as walked ones.
    EXPECT_EQ(Places("<u>\"r\"\n<u>\"a\"\n<u>\n</u>\n</u>\n</u>\n", {"b"}, {0}), "a:B failed");
}

struct Copied {
    std::string tokens;
    int stopAfter = -1;
};

int PutCopied(void* context, int token, int level, const char* text, size_t length)
{
    Copied* c = (Copied*)context;
    if (c->stopAfter-- == 0)
        return -1;
    c->tokens += std::to_string(token) + "@" + std::to_string(level) +
                 (text ? ":" + std::string(text, length) : "") + " ";
    return 0;
}

TEST(Walker, SkipAndCopyBodies)
{
    const std::string body = "<u>\"r\"\n<u>\"a\"\n<u>\"b\"\n</u>\n<p>\n\"t\"\n</p>\n</u>\n<p>\n";
    FILE* f = OpenBytes(body);
    PhraseWalker w;
    ASSERT_EQ(StartWalk(&w, f, nullptr, false, nullptr), 0);
    ASSERT_EQ(WalkNext(&w), WALK_LABEL);
    EXPECT_EQ(WalkSkipBody(&w), 0);
    EXPECT_EQ(w.depth, 0);
    EXPECT_EQ(WalkNext(&w), WALK_PHRASE_OPEN);
    EXPECT_EQ(WalkSkipBody(&w), -1);  // the file ends inside the root label
    EndWalk(&w);
    fclose(f);

    // A copy writes at the levels asked for; the depth limit is checked on them.
    for (int level : {5, MAX_LABEL_DEPTH + 1}) {
        f = OpenBytes(body);
        Copied copied;
        TokenSink sink = {&copied, PutCopied};
        LibraryError error = {0, ""};
        ASSERT_EQ(StartWalk(&w, f, nullptr, false, &error), 0);
        ASSERT_EQ(WalkNext(&w), WALK_LABEL);
        if (level == 5) {
            EXPECT_EQ(WalkCopyBody(&w, &sink, level), 0);
            EXPECT_EQ(copied.tokens, "100@5:b 101@5 200@5 300@5:t 201@5 101@4 ");
        } else {
            EXPECT_EQ(WalkCopyBody(&w, &sink, level), -1);
            EXPECT_STREQ(error.what, "nesting too deep");
            EXPECT_EQ(error.line, 3);
        }
        EndWalk(&w);
        fclose(f);
    }

    // A sink that stops stops the copy, and the walk.
    f = OpenBytes(body);
    Copied stopping;
    stopping.stopAfter = 1;
    TokenSink sink = {&stopping, PutCopied};
    LibraryError error = {0, ""};
    ASSERT_EQ(StartWalk(&w, f, nullptr, false, &error), 0);
    ASSERT_EQ(WalkNext(&w), WALK_LABEL);
    EXPECT_EQ(WalkCopyBody(&w, &sink, 2), -1);
    EXPECT_STREQ(error.what, "");
    EXPECT_EQ(WalkNext(&w), WALK_FAILED);
    EndWalk(&w);
    fclose(f);
}

TEST(Walker, WholeFileWalkFailsAsTheLabelTree)
{
    std::string deep = "<u>\"r\"\n";
    for (int i = 0; i <= MAX_LABEL_DEPTH; i++)
        deep += "<u>\n\"n\"\n";
    const std::string files[] = {
        "", "junk\n<u>\"r\"\n</u>\n", "<u>\n<p>\n</u>\n", "<u>\"r\"\n  <u>\n  <p>\n  </u>\n</u>\n",
        "<u>\"r\"\n  <u>\"a\"\n  </u>\n", "<u>\"r\"\n<p>\n\"x\"", deep,
    };
    for (const std::string& content : files) {
        WriteBytes("walk.htm", content);
        LabelNode* root = nullptr;
        LibraryError tree = {0, ""}, walk = {0, ""};
        LibraryCounts counts;
        EXPECT_EQ(ReadLabelTree("walk.htm", &root, &tree), -1);
        EXPECT_EQ(WalkLibraryFile("walk.htm", nullptr, &counts, &walk), -1);
        EXPECT_EQ(walk.line, tree.line) << content;
        EXPECT_STREQ(walk.what, tree.what) << content;
    }

    // Labels, phrases (a phrase opened in a phrase counts once) and the label asked for.
    WriteBytes("walk.htm", "<u>\"r\"\n<p>\n\"x\"\n<u>\"a\"\n<p>\n<p>\n</u>\n</p>\n<u>\"b\"\n</u>\n</u>\n");
    LabelPath path = {};
    path.name[0] = "b";
    path.count = 1;
    LibraryCounts counts;
    ASSERT_EQ(WalkLibraryFile("walk.htm", &path, &counts, nullptr), 0);
    EXPECT_EQ(counts.labels, 2);
    EXPECT_EQ(counts.phrases, 3);
    EXPECT_TRUE(counts.found);
    path.ordinal[0] = 1;
    ASSERT_EQ(WalkLibraryFile("walk.htm", &path, &counts, nullptr), 0);
    EXPECT_FALSE(counts.found);
}

// A quiet walk takes the common lines on a quick path of its own; what it
// reports must not change with that.
TEST(Walker, AQuietWalkReportsWhatAFullWalkDoes)
{
    std::string big = "<u>\"r\"\r\n";
    for (int i = 0; i < 3000; i++) {
        std::string indent(i % 7 * 3, i % 5 == 0 ? '\t' : ' ');
        big += indent + (i % 3 ? "<p>\r\n" : "<P>\n") + indent + "\"phrase " + std::to_string(i) +
               "\"\r\n";
        if (i % 4 == 0)
            big += indent + "\"" + std::string(i % 1500, 'x') + "\"\r\n";
        if (i % 11 == 0)
            big += "<u>\"l" + std::to_string(i) + "\"\n";
        big += indent + (i % 2 ? "</p>\r\n" : "</p>  \n");
        if (i % 11 == 5)
            big += "</u>\n";
    }
    big += "</u>\n";
    // The writers' layout, where most phrases are one line at one indent;
    // some break the shape in one place or another.
    std::string shaped = "<u>\"r\"\r\n";
    for (int i = 0; i < 4000; i++) {
        int depth = 1 + i / 500 % 3;
        std::string indent(4 * depth + 4, ' ');
        if (i % 250 == 0)
            shaped += std::string(4 * depth, ' ') + "<u>\"l" + std::to_string(i) + "\"\r\n";
        std::string text = "\"p" + std::to_string(i) + (i % 7 == 3 ? "\"x" : "\"");
        if (i % 5 == 1)
            text = "\"\"";
        shaped += indent + (i % 11 == 4 ? "<P>" : "<p>") + "\r\n";
        shaped += indent + text + (i % 13 == 6 ? "\n" : "\r\n");
        if (i % 17 == 9)
            shaped += indent + "\"second\"\r\n";
        shaped += indent + (i % 19 == 2 ? "</p> " : "</p>") + "\r\n";
        if (i % 250 == 249)
            shaped += std::string(4 * depth, ' ') + "</u>\r\n";
    }
    shaped += "</u>\r\n";
    // Long one-line phrases past the first read-ahead, cut inside a line:
    // the bytes after the end of the last read-ahead are no part of it.
    std::string wide = "<u>\"r\"\r\n";
    while (wide.size() < READ_BLOCK_SIZE + 4000)
        wide += "    <p>\r\n    \"" + std::string(80 + wide.size() % 90, 't') +
                "\"\r\n    </p>\r\n";
    const std::string longLine(70000, 'y');
    const std::string files[] = {
        "<u>\"r\"\n<p>\n\"a\"\n\"b\n\"c\"d\"\n</p>\n<p>\r\n\"e\"\r\n<p> \"f\"\n</p>\"g\"\n</u>\n",
        "<u>\"r\"\n\"loose\"\n<p>\n<u>\"a\"\n\"in a\"\n</u>\n\"back\"\n</u>\n\"after\"\n",
        "<u>\"r\"\n<p>\n<b>\n  \"x\"\n<p/>\n</P>\n</p\n\"y\"\n</u>",
        "<u>\"r\"\n<p>\n\"" + longLine + "\"\n\"z\"\n</p>\n<p>\n\"" + longLine.substr(0, 1020) +
            "\"\n</p>\n</u>\n",
        "<u>\"r\"\n<p>\n\"open\"",
        "<u>\"r\"\n<u>\"a\"\n<u>\"b\"\n<p>\n\"x\"\n<b>\n<\n\n   \n\t<u>\"t\"\n</u>\n<p> <u>\n\"c\"\n"
        "</u>\n<u>\n\"d\"\n</u>\n  </u>\n</u>\n<p>\n\"after\"\n</u>\n",
        "<u>\"r\"\n<u>\"a\"\n<u>\"b\"\n<u>\n</u>\n</u>\n</u>\n</u>\n",
        "<u>\"r\"\n<u>\"a\"\n<u>\"b\"\n<p>\n\"never closed\"\n",
        "<u>\"r\"\r\n<p>\r\n\"cr\"\r\r\n</p>\r",
        big,
        big.substr(0, big.size() / 2),
        shaped,
        shaped.substr(0, shaped.size() / 3),
    };
    std::vector<std::string> cuts(std::begin(files), std::end(files));
    // Larger than the steps in which a file seen in place is released.
    std::string large = shaped.substr(0, shaped.size() - 8);
    while (large.size() < 2 * VIEW_RELEASE_STEP + 5000)
        large += large.substr(8, 100000);
    cuts.push_back(large + "</u>\r\n");
    for (size_t at = wide.size() - 1000; at < wide.size(); at += 5)
        cuts.push_back(wide.substr(0, at));
    for (const std::string& content : cuts) {
        FILE* f = OpenBytes(content);
        long loudTags = -1, quietTags = -2;
        std::string loud = WalkEvents(f, false, &loudTags);
        EXPECT_EQ(WalkEvents(f, true, &quietTags), loud) << content.substr(0, 200);
        EXPECT_EQ(quietTags, loudTags);
        // Seen in place instead of read, the file walks the same.
        WriteBytes("view.htm", content);
        SetFileViewer(&kCopyViewer);
        EXPECT_EQ(WalkEvents(nullptr, true, &quietTags, false, "view.htm"), loud)
            << content.substr(0, 200);
        EXPECT_EQ(WalkEvents(nullptr, false, &quietTags, false, "view.htm"), loud);
        SetFileViewer(nullptr);
        // Skipping the bodies below the top level takes a quick path too.
        loud = WalkEvents(f, false, &loudTags, true);
        EXPECT_EQ(WalkEvents(f, true, &quietTags, true), loud) << content.substr(0, 200);
        EXPECT_EQ(quietTags, loudTags);
        fclose(f);
    }
}

// The buffers taken and not yet given back, and every give that did not
// match a take (an unknown buffer, one given twice, another size).
struct HeldBuffers {
    std::map<void*, size_t> held;
    std::vector<std::string> faults;
};
HeldBuffers g_held;

void* TakeHeld(size_t size)
{
    void* buffer = malloc(size);
    g_held.held[buffer] = size;
    return buffer;
}

void GiveHeld(void* buffer, size_t size)
{
    auto found = g_held.held.find(buffer);
    if (found == g_held.held.end())
        g_held.faults.push_back("given back twice or never taken");
    else if (found->second != size)
        g_held.faults.push_back("taken with " + std::to_string(found->second) + " bytes, given back with " +
                                std::to_string(size));
    if (found != g_held.held.end())
        g_held.held.erase(found);
    free(buffer);
}

const BufferCalls kHeldCalls = {TakeHeld, GiveHeld};

// Every walk gives back each buffer it took, once, with the size it took:
// the fuzz targets keep them by size.
TEST(Walker, EveryWalkGivesBackWhatItTook)
{
    const char* files[] = {
        "<u>\"r\"\n<p>\n\"x\"\n</p>\n<u>\"a\"\n<u>\"b\"\n<p>\n\"y\"\n</p>\n</u>\n</u>\n</u>\n",
        "junk\n<p>\n\"x\"\n</p>\n",                        // no root label
        "<u>\"r\"\n<u>\"a\"\n<u>\n<p>\n</u>\n</u>\n</u>\n",  // fails in a label head
    };
    UseBufferCalls(&kHeldCalls);
    for (const char* content : files) {
        WriteBytes("walk.htm", content);
        LibraryCounts counts;
        WalkLibraryFile("walk.htm", nullptr, &counts, nullptr);
        LabelNode* root = nullptr;
        if (ReadLabelTree("walk.htm", &root) == 0)
            FreeLabelTree(root);
        PhraseSink none = {nullptr, [](void*, const char*, size_t) { return 0; }};
        ReadPhraseList("walk.htm", nullptr, &none);
        FILE* f = OpenBytes(content);
        WalkEvents(f, false);
        WalkEvents(f, true, nullptr, true);
        fclose(f);
        EXPECT_TRUE(g_held.held.empty()) << g_held.held.size() << " not given back: " << content;
        for (const std::string& fault : g_held.faults)
            ADD_FAILURE() << fault << ": " << content;
        g_held = HeldBuffers();
    }
    UseBufferCalls(nullptr);
}

}  // namespace
