// The phrase window's menu bar, owner-drawn under visual styles on NT 6 and
// later.
#pragma once

#include <windows.h>

void SetupMenuBar();
void ReleaseMenuBar();
void DrawMenuBarItem(const DRAWITEMSTRUCT* item);
void MeasureMenuBarItem(MEASUREITEMSTRUCT* item);
