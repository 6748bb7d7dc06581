// The system's version as one comparable code, and the choice of menu bar
// that follows from it. Pure functions: the Win32 layer supplies what the
// system reports (menu_bar.cpp).
#pragma once

#include <cstdint>

// Platform ids as the version record reports them.
const uint32_t OS_PLATFORM_WIN32S = 0;
const uint32_t OS_PLATFORM_WINDOWS = 1;  // the 9x family
const uint32_t OS_PLATFORM_NT = 2;

// Codes of the families the menu bar tells apart. The low nibble marks a
// later minor version within a family; OS_FAMILY_MASK removes it.
const uint32_t OS_CODE_NT51 = 0x15050100;  // NT 5.1 and 5.2
const uint32_t OS_CODE_NT60 = 0x16060000;
const uint32_t OS_CODE_NT61 = 0x16060100;
const uint32_t OS_CODE_NT62 = 0x16060200;  // 6.2; 6.3 and later add 1
const uint32_t OS_FAMILY_MASK = 0xFFFFFFF0;

// Theme states of the menu bar; 0 means not yet determined.
const int THEME_STATE_UNKNOWN = 0;
const int THEME_STATE_PLAIN = 1;   // the system's ordinary menu bar
const int THEME_STATE_NT5 = 2;     // visual styles on NT 5.1/5.2: still plain
const int THEME_STATE_NT6 = 3;     // visual styles on NT 6 or later: drawn here

// Returns the version code of platform, major and minor version; 0 for a
// platform this program does not know.
uint32_t OsVersionCodeOf(uint32_t platform, uint32_t major, uint32_t minor);

// Returns the theme state (1, 2 or 3) for a visual-style flag (non-zero:
// the application is themed) and a version code already ANDed with
// OS_FAMILY_MASK.
int ThemeStateOf(int themed, uint32_t familyCode);
