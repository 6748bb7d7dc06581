// The find dialog's history against a real combo box of the dialog's style.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "shell/settings_record.h"
#include "ui/win32/find_history.h"

namespace {

using Strings = std::vector<std::string>;

class FindHistoryTest : public ::testing::Test {
protected:
    HWND frame = nullptr;
    HWND combo = nullptr;

    void SetUp() override
    {
        frame = CreateWindowExA(0, "STATIC", "history", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(frame);
        combo = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWN | CBS_SORT | WS_VSCROLL,
                                10, 10, 240, 120, frame, (HMENU)1008, GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(combo);
    }

    void TearDown() override { DestroyWindow(frame); }

    Strings Entries()
    {
        Strings out;
        int count = (int)SendMessageA(combo, CB_GETCOUNT, 0, 0);
        for (int i = 0; i < count; i++) {
            std::string text((size_t)SendMessageA(combo, CB_GETLBTEXTLEN, i, 0) + 1, '\0');
            SendMessageA(combo, CB_GETLBTEXT, i, (LPARAM)&text[0]);
            text.resize(strlen(text.c_str()));
            out.push_back(text);
        }
        return out;
    }

    void Fill(const Strings& texts)
    {
        SendMessageA(combo, CB_RESETCONTENT, 0, 0);
        for (const std::string& t : texts)
            SendMessageA(combo, CB_INSERTSTRING, (WPARAM)-1, (LPARAM)t.c_str());
    }

    Strings Load(const std::string& bytes)
    {
        SendMessageA(combo, CB_RESETCONTENT, 0, 0);
        std::string block = bytes;
        block.resize(FIND_HISTORY_SIZE, '\0');
        LoadHistory(combo, block.data(), FIND_HISTORY_SIZE);
        return Entries();
    }

    std::string Store()
    {
        std::string block(FIND_HISTORY_SIZE, '\x55');
        StoreHistory(combo, &block[0], FIND_HISTORY_SIZE);
        return block;
    }
};

// A text of n bytes, different for each i.
std::string Text(int i, size_t n)
{
    std::string text = "text" + std::to_string(i) + "-";
    text.resize(n, (char)('a' + i % 26));
    return text;
}

std::string Block(const Strings& texts)
{
    std::string block;
    for (const std::string& t : texts)
        block += t + '\0';
    return block;
}

TEST_F(FindHistoryTest, AddingReplacesTheFirstEqualEntryWithoutRegardToCase)
{
    Fill({"zeta", "ABC", "abc", "Abcd"});
    AddHistoryItem(combo, "abc", 0);
    EXPECT_EQ(Entries(), (Strings{"abc", "zeta", "abc", "Abcd"})) << "only the first equal entry goes";
    AddHistoryItem(combo, "ZETA", -1);
    EXPECT_EQ(Entries(), (Strings{"abc", "abc", "Abcd", "ZETA"}));
    AddHistoryItem(combo, "new", 0);
    EXPECT_EQ(Entries(), (Strings{"new", "abc", "abc", "Abcd", "ZETA"})) << "not sorted";
}

TEST_F(FindHistoryTest, TwoByteCharactersAreNotFoldedThroughTheirTrailBytes)
{
    // 83 41 and 83 61 are two different characters; their trail bytes have
    // the values of A and a.
    Fill({"\x83\x61", "ｱ全角Ａ"});
    AddHistoryItem(combo, "\x83\x41", 0);
    EXPECT_EQ(Entries(), (Strings{"\x83\x41", "\x83\x61", "ｱ全角Ａ"}));
    AddHistoryItem(combo, "ｱ全角Ａ", 0);
    EXPECT_EQ(Entries(), (Strings{"ｱ全角Ａ", "\x83\x41", "\x83\x61"}));
    AddHistoryItem(combo, "ｱ全角ａ", 0);
    EXPECT_EQ(Entries().size(), 4u) << "full-width letters are not ASCII letters";
}

TEST_F(FindHistoryTest, TheBlockKeepsTheNewestEntriesThatFitWithTheFinalEmptyText)
{
    for (int i = 0; i < 10; i++)
        AddHistoryItem(combo, Text(i, 30).c_str(), 0);
    ASSERT_EQ(Entries().size(), 10u);
    std::string block = Store();
    Strings newest;
    for (int i = 9; i >= 2; i--)
        newest.push_back(Text(i, 30));
    std::string expected = Block(newest);
    ASSERT_EQ(expected.size(), 248u);
    expected.resize(FIND_HISTORY_SIZE, '\0');
    EXPECT_EQ(block, expected);
    EXPECT_EQ(Load(block), newest);

    // 79-byte entries: three take 240 bytes; a fourth would need 80 more.
    Fill({Text(1, 79), Text(2, 79), Text(3, 79), Text(4, 79)});
    block = Store();
    Strings three = {Text(1, 79), Text(2, 79), Text(3, 79)};
    expected = Block(three);
    expected.resize(FIND_HISTORY_SIZE, '\0');
    EXPECT_EQ(block, expected);
    EXPECT_EQ(Load(block), three);

    // The last text may end at byte 254: byte 255 is the empty text.
    Fill({Text(1, 200), Text(2, 53), "x"});
    block = Store();
    EXPECT_EQ(block.substr(0, 255), Text(1, 200) + '\0' + Text(2, 53) + '\0');
    EXPECT_EQ(block[255], '\0');
    Fill({Text(1, 200), Text(2, 54)});
    EXPECT_EQ(Store(), Text(1, 200) + std::string(56, '\0'));
}

TEST_F(FindHistoryTest, AnEmptyEntryIsNotStoredInFrontOfOthers)
{
    Fill({"", "first", "", "second"});
    std::string block = Store();
    EXPECT_EQ(block.substr(0, 14), std::string("first\0second\0\0", 14));
    EXPECT_EQ(Load(block), (Strings{"first", "second"}));
    Fill({});
    EXPECT_EQ(Store(), std::string(FIND_HISTORY_SIZE, '\0'));
}

TEST_F(FindHistoryTest, ATextThatBeginsALoadedEntryIsNotLoaded)
{
    EXPECT_EQ(Load(Block({"abcd", "abc"})), (Strings{"abcd"}));
    EXPECT_EQ(Load(Block({"abc", "abcd"})), (Strings{"abc", "abcd"}));
    EXPECT_EQ(Load(Block({"ABCD", "ab", "x", "abc"})), (Strings{"ABCD", "x"})) << "without regard to case";
    EXPECT_EQ(Load(Block({"one", "", "hidden"})), (Strings{"one"})) << "the first empty text ends the history";
    EXPECT_EQ(Load(""), Strings{});
}

// A block at the very end of readable memory: a read past it faults.
class GuardedBlock {
public:
    GuardedBlock()
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        page = info.dwPageSize;
        base = (char*)VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        DWORD old;
        if (base)
            VirtualProtect(base + page, page, PAGE_NOACCESS, &old);
    }
    ~GuardedBlock()
    {
        if (base)
            VirtualFree(base, 0, MEM_RELEASE);
    }
    char* Block(const std::string& bytes)
    {
        char* block = base + page - FIND_HISTORY_SIZE;
        memset(block, 0, FIND_HISTORY_SIZE);
        memcpy(block, bytes.data(), bytes.size() < FIND_HISTORY_SIZE ? bytes.size() : FIND_HISTORY_SIZE);
        return block;
    }
    char* base = nullptr;
    DWORD page = 0;
};

TEST_F(FindHistoryTest, AHostileBlockIsReadOnlyWithinItsSize)
{
    GuardedBlock memory;
    ASSERT_TRUE(memory.base);

    LoadHistory(combo, memory.Block(std::string(FIND_HISTORY_SIZE, 'x')), FIND_HISTORY_SIZE);
    EXPECT_EQ(Entries(), Strings{}) << "one text without a NUL";

    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    std::string bytes = Block({"kept", "also"}) + std::string(FIND_HISTORY_SIZE, 'y');
    LoadHistory(combo, memory.Block(bytes), FIND_HISTORY_SIZE);
    EXPECT_EQ(Entries(), (Strings{"kept", "also"})) << "the unterminated rest is not taken";

    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    bytes = Block({std::string(90, 'L'), "after", std::string(80, 'N'), "end"});
    LoadHistory(combo, memory.Block(bytes), FIND_HISTORY_SIZE);
    EXPECT_EQ(Entries(), (Strings{"after", "end"}))
        << "no search text is longer than 79 bytes";
}

}  // namespace
