// The state of a key or mouse button as the thread's input has seen it.
#pragma once

#include <windows.h>

// True while key is held: any bit but the toggle bit (the low one) counts,
// so a key whose state the system reports without the high bit still does.
inline bool KeyDown(int key)
{
    return ((unsigned short)GetKeyState(key) & 0xFFFE) != 0;
}
