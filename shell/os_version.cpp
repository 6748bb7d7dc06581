// Version codes and the menu bar's theme state.
#include "shell/os_version.h"

uint32_t OsVersionCodeOf(uint32_t platform, uint32_t major, uint32_t minor)
{
    switch (platform) {
    case OS_PLATFORM_WIN32S:
        return 0x00030000;
    case OS_PLATFORM_WINDOWS:
        if (major != 4)
            return 0x00045A01;
        switch (minor) {
        case 0: return 0x00040000;
        case 10: return 0x00040A00;
        case 90: return 0x00045A00;
        default: return 0x00045A01;
        }
    case OS_PLATFORM_NT:
        switch (major) {
        case 3: return 0x14033300;
        case 4: return 0x14040000;
        case 5:
            if (minor == 0)
                return 0x14050000;
            return minor <= 2 ? OS_CODE_NT51 : OS_CODE_NT51 + 1;
        case 6:
            switch (minor) {
            case 0: return OS_CODE_NT60;
            case 1: return OS_CODE_NT61;
            case 2: return OS_CODE_NT62;
            default: return OS_CODE_NT62 + 1;
            }
        default:
            // Below 3 cannot be a real NT; 7 and above (10.0, ...) are
            // newer than every family named here.
            return OS_CODE_NT62 + 1;
        }
    default:
        return 0;
    }
}

int ThemeStateOf(int themed, uint32_t familyCode)
{
    if (!themed)
        return THEME_STATE_PLAIN;
    switch (familyCode) {
    case OS_CODE_NT51:
        return THEME_STATE_NT5;
    case OS_CODE_NT60:
    case OS_CODE_NT61:
    case OS_CODE_NT62:
        return THEME_STATE_NT6;
    default:
        return THEME_STATE_PLAIN;
    }
}
