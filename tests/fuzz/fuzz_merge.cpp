// The carrying over of one list edit on any three lists.
//
// The input is three lists, split at FFh bytes, each byte a phrase of a
// small alphabet (so that equal phrases are common). The edit is refused or
// carried over; carried over, the result holds every phrase of theirs and
// the user's additions and removals, no more and no fewer: for each text,
// its count in the result is its count in theirs plus ours minus the base
// (unless theirs already is ours, which is then the result). A list that
// the other program left alone gives the user's list itself.
#include <map>
#include <string>
#include <vector>

#include "library/phrase_merge.h"
#include "tests/fuzz/fuzz_files.h"

namespace {

ListTexts Block(const std::vector<std::string>& texts)
{
    std::string bytes;
    for (const std::string& t : texts)
        bytes += t + '\0';
    ListTexts block = {(char*)malloc(bytes.size() + 1), bytes.size()};
    memcpy(block.bytes, bytes.data(), bytes.size());
    return block;
}

std::vector<std::string> Texts(const ListTexts& block)
{
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t i = 0; i < block.size; i++) {
        if (block.bytes[i] == '\0') {
            out.push_back(std::string(block.bytes + start, i - start));
            start = i + 1;
        }
    }
    FUZZ_CHECK(start == block.size);
    return out;
}

std::map<std::string, long> Counts(const std::vector<std::string>& texts)
{
    std::map<std::string, long> counts;
    for (const std::string& t : texts)
        counts[t]++;
    return counts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> lists[3];
    int part = 0;
    for (size_t i = 0; i < size && part < 3; i++) {
        if (data[i] == 0xFF)
            part++;
        else if (part < 3)
            lists[part].push_back(std::string(1, (char)('a' + data[i] % 5)));
    }
    ListTexts base = Block(lists[0]), ours = Block(lists[1]), theirs = Block(lists[2]), merged;
    MergeOutcome outcome = MergePhraseEdit(&base, &ours, &theirs, &merged);
    FUZZ_CHECK((outcome == MERGE_NO_EDIT) == (lists[0] == lists[1]));
    FUZZ_CHECK(outcome != MERGE_FAILED);
    if (lists[2] == lists[0] && lists[0] != lists[1])
        FUZZ_CHECK(outcome == MERGE_APPLIED);
    if (outcome == MERGE_APPLIED) {
        std::vector<std::string> result = Texts(merged);
        if (lists[2] == lists[0] || lists[2] == lists[1]) {
            FUZZ_CHECK(result == lists[1]);
        } else {
            std::map<std::string, long> want = Counts(lists[2]);
            for (const auto& c : Counts(lists[1]))
                want[c.first] += c.second;
            for (const auto& c : Counts(lists[0]))
                want[c.first] -= c.second;
            std::map<std::string, long> got = Counts(result);
            for (const auto& w : want)
                FUZZ_CHECK(w.second == (got.count(w.first) ? got[w.first] : 0));
            for (const auto& g : got)
                FUZZ_CHECK(want.count(g.first));
        }
    } else {
        FUZZ_CHECK(!merged.bytes);
    }
    FreeListTexts(&base);
    FreeListTexts(&ours);
    FreeListTexts(&theirs);
    FreeListTexts(&merged);
    return 0;
}
