// The settings record that fenlop.exe's entry file defines; the views read
// it, and these tests run them without that file.
#include "shell/settings_record.h"

SettingsRecord g_settings;
