// The settings record: every value the program keeps between runs, stored
// whole as one 644-byte binary registry value.
#pragma once

#include <cstddef>
#include <cstdint>

const int SETTINGS_RECORD_SIZE = 644;
const int SEARCH_TEXT_SIZE = 80;
const int FIND_HISTORY_SIZE = 256;
const int SELECTED_PATH_SIZE = 256;

struct SettingsRecord {
    int32_t windowLeft;         // phrase window position and outer size
    int32_t windowTop;
    int32_t windowWidth;
    int32_t windowHeight;
    int32_t treeWidth;          // label tree width = splitter position
    int32_t columnWidth;        // the phrase list's one column
    int32_t phraseHotKey;       // hot key control form; 0 = none
    int32_t calcHotKey;
    int32_t calcEnterNewline;   // 1: Enter after a calculator or clipboard paste
    int32_t hold;               // 1: the phrase window stays after a send
    int32_t searchMode;         // 0 AND, 1 OR
    int32_t searchAllTrees;     // 1: search the whole library
    int32_t showingResults;     // 1 while the list shows search results
    char searchText[SEARCH_TEXT_SIZE];
    char selectedLabelPath[SELECTED_PATH_SIZE];  // name path of the last label
    char findHistory[FIND_HISTORY_SIZE];         // strings, newest first, "" ends
};

static_assert(sizeof(SettingsRecord) == SETTINGS_RECORD_SIZE, "the stored record is 644 bytes");
static_assert(offsetof(SettingsRecord, showingResults) == 48, "record layout");
static_assert(offsetof(SettingsRecord, searchText) == 52, "record layout");
static_assert(offsetof(SettingsRecord, selectedLabelPath) == 132, "record layout");
static_assert(offsetof(SettingsRecord, findHistory) == 388, "record layout");

// Sets the defaults used when no valid record is stored: the window layout;
// everything else stays zero.
void SetDefaultSettings(SettingsRecord* record);
