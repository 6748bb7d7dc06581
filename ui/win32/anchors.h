// Controls of a resizable dialog that keep their distance to its right and
// bottom edges.
#pragma once

#include <windows.h>

const int ANCHOR_MOVE_X = 1;
const int ANCHOR_MOVE_Y = 2;
const int ANCHOR_SIZE_X = 4;
const int ANCHOR_SIZE_Y = 8;
void InitAnchors(HWND dialog);
void ApplyAnchor(HWND dialog, int id, int flags);
void FreeAnchors(HWND dialog);
