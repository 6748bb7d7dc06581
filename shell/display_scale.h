// Sizes at the display's scale. The settings record keeps every length in
// pixels at 96 DPI, whatever display it was taken on, so a record moves
// between displays and machines unchanged; the windows work in the pixels
// of their own display.
#pragma once

#include "shell/settings_record.h"

const int BASE_DPI = 96;

// A length at 96 DPI in pixels at dpi, rounded to the nearest pixel (halves
// away from zero, as the system's MulDiv). A dpi of 0 or less counts as 96;
// results beyond the int range stop at its ends.
int ScaleToDpi(int value, int dpi);
// The other way: pixels at dpi back to 96 DPI. For any dpi of 96 or more it
// gives back exactly the value ScaleToDpi started from.
int ScaleFromDpi(int pixels, int dpi);
// A length at one scale at another (a window moved between displays).
int ScaleBetween(int value, int fromDpi, int toDpi);

// The phrase window's lengths that the record keeps.
struct WindowLayout {
    int left, top, width, height;  // outer rectangle
    int treeWidth;
    int columnWidth;
};

// The record's layout in pixels at dpi.
WindowLayout LayoutAtDpi(const SettingsRecord& record, int dpi);
// A layout in pixels at dpi into the record, at 96 DPI.
void StoreLayoutAtDpi(SettingsRecord* record, const WindowLayout& layout, int dpi);
