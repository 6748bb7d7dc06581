// Scratch files and small helpers shared by the fuzz targets.
//
// A target's files are kept in memory (memory_files.h): the core's file
// calls and these helpers go to the same in-memory files, and a run touches
// no disk. The core's large buffers are kept from walk to walk
// (kept_buffers.h).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/file_calls.h"
#include "common/safe_file.h"
#include "library/label_tree.h"
#include "tests/fuzz/kept_buffers.h"
#include "tests/fuzz/memory_files.h"

// The folder of the target's files; the first call puts them in memory
// and keeps the core's buffers.
inline const std::string& FuzzDir()
{
    static const std::string dir = (UseMemoryFiles(), UseKeptBuffers(), std::string("/fenlop-fuzz"));
    return dir;
}

inline std::string FuzzPath(const char* name)
{
    return FuzzDir() + "/" + name;
}

inline void WriteFuzzFile(const std::string& path, const std::string& bytes)
{
    FILE* f = FileOpen(path.c_str(), "wb");
    if (!f || FileWrite(bytes.data(), bytes.size(), f) != bytes.size() || FileClose(f) != 0)
        abort();
}

// The whole file; false when it does not exist.
inline bool ReadFuzzFile(const std::string& path, std::string* bytes)
{
    bytes->clear();
    FILE* f = FileOpen(path.c_str(), "rb");
    if (!f)
        return false;
    char buffer[16384];
    size_t n;
    while ((n = FileRead(buffer, sizeof buffer, f)) > 0)
        bytes->append(buffer, n);
    FileClose(f);
    return true;
}

inline bool FuzzFileExists(const std::string& path)
{
    return FileExists(path.c_str());
}

// The input cut into sections at each "\n==\n" (the seed files are text).
inline std::vector<std::string> FuzzSections(const uint8_t* data, size_t size)
{
    static const char kSeparator[] = "\n==\n";
    std::vector<std::string> sections;
    std::string all((const char*)data, size);
    size_t from = 0;
    for (;;) {
        size_t at = all.find(kSeparator, from);
        if (at == std::string::npos) {
            sections.push_back(all.substr(from));
            return sections;
        }
        sections.push_back(all.substr(from, at - from));
        from = at + sizeof kSeparator - 1;
    }
}

// The labels of a tree in file order, the root excluded.
inline std::vector<LabelNode*> LabelsInOrder(LabelNode* root)
{
    std::vector<LabelNode*> labels;
    LabelNode* node = root ? root->firstChild : nullptr;
    while (node) {
        labels.push_back(node);
        if (node->firstChild) {
            node = node->firstChild;
            continue;
        }
        while (node != root && !node->nextSibling)
            node = node->parent;
        node = node == root ? nullptr : node->nextSibling;
    }
    return labels;
}

// True when no label on the way to node shares its name with a sibling, so
// that the name path means this label alone.
inline bool PathIsUnique(const LabelNode* node)
{
    for (; node && node->parent; node = node->parent) {
        for (const LabelNode* s = node->parent->firstChild; s; s = s->nextSibling) {
            if (s != node && strcmp(s->name, node->name) == 0)
                return false;
        }
    }
    return true;
}

// The names from the top level down to node.
inline std::vector<std::string> PathNames(const LabelNode* node)
{
    std::vector<std::string> names;
    for (; node && node->parent; node = node->parent)
        names.insert(names.begin(), node->name);
    return names;
}

inline LabelNode* FindByPath(LabelNode* root, const std::vector<std::string>& names)
{
    std::vector<const char*> p;
    for (const std::string& n : names)
        p.push_back(n.c_str());
    return FindLabelByNames(root, p.data(), (int)p.size());
}

inline size_t SubtreeSize(const LabelNode* node)
{
    size_t n = 1;
    const LabelNode* child = node->firstChild;
    // Iterative: the depth is bounded by the readers, but keep it flat.
    std::vector<const LabelNode*> stack;
    while (child || !stack.empty()) {
        if (!child) {
            child = stack.back()->nextSibling;
            stack.pop_back();
            continue;
        }
        n++;
        stack.push_back(child);
        child = child->firstChild;
    }
    return n;
}

// Collects the phrases a reader hands out.
struct Collected {
    std::vector<std::string> texts;
    size_t stopAfter = (size_t)-1;
};

inline int CollectPhrase(void* context, const char* text, size_t length)
{
    Collected* c = (Collected*)context;
    if (c->texts.size() >= c->stopAfter)
        return -1;
    c->texts.emplace_back(text, length);
    return 0;
}

#define FUZZ_CHECK(condition)                                                     \
    do {                                                                          \
        if (!(condition)) {                                                       \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            abort();                                                              \
        }                                                                         \
    } while (0)
