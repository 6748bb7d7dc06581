#include "shell/settings_record.h"

#include <cstring>

void SetDefaultSettings(SettingsRecord* record)
{
    memset(record, 0, sizeof *record);
    record->windowLeft = 100;
    record->windowTop = 100;
    record->windowWidth = 448;
    record->windowHeight = 336;
    record->treeWidth = 150;
    record->columnWidth = 1000;
}
