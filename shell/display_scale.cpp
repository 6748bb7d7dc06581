#include "shell/display_scale.h"

#include <climits>
#include <cstdint>

static int Effective(int dpi)
{
    return dpi > 0 ? dpi : BASE_DPI;
}

int ScaleBetween(int value, int fromDpi, int toDpi)
{
    int64_t from = Effective(fromDpi);
    int64_t product = (int64_t)value * Effective(toDpi);
    int64_t half = from / 2;
    int64_t scaled = product >= 0 ? (product + half) / from : -((-product + half) / from);
    if (scaled > INT_MAX)
        return INT_MAX;
    if (scaled < INT_MIN)
        return INT_MIN;
    return (int)scaled;
}

int ScaleToDpi(int value, int dpi)
{
    return ScaleBetween(value, BASE_DPI, dpi);
}

int ScaleFromDpi(int pixels, int dpi)
{
    return ScaleBetween(pixels, dpi, BASE_DPI);
}

WindowLayout LayoutAtDpi(const SettingsRecord& record, int dpi)
{
    WindowLayout layout;
    layout.left = ScaleToDpi(record.windowLeft, dpi);
    layout.top = ScaleToDpi(record.windowTop, dpi);
    layout.width = ScaleToDpi(record.windowWidth, dpi);
    layout.height = ScaleToDpi(record.windowHeight, dpi);
    layout.treeWidth = ScaleToDpi(record.treeWidth, dpi);
    layout.columnWidth = ScaleToDpi(record.columnWidth, dpi);
    return layout;
}

void StoreLayoutAtDpi(SettingsRecord* record, const WindowLayout& layout, int dpi)
{
    record->windowLeft = ScaleFromDpi(layout.left, dpi);
    record->windowTop = ScaleFromDpi(layout.top, dpi);
    record->windowWidth = ScaleFromDpi(layout.width, dpi);
    record->windowHeight = ScaleFromDpi(layout.height, dpi);
    record->treeWidth = ScaleFromDpi(layout.treeWidth, dpi);
    record->columnWidth = ScaleFromDpi(layout.columnWidth, dpi);
}
