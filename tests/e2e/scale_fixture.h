// The display's scale for the programs a test starts (Wine's LogPixels,
// read by every Wine process when it starts), and the clipped texts of
// another program's dialog at that scale, seen from outside.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/e2e_driver.h"

const char DESKTOP_KEY[] = "Control Panel\\Desktop";
const char FONTS_KEY[] = "System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts";

// The display's scale for the programs started while it lives.
struct DisplayScale {
    RegistryValue user, machine;
    explicit DisplayScale(int dpi)
        : user(HKEY_CURRENT_USER, DESKTOP_KEY, "LogPixels", dpi),
          machine(HKEY_LOCAL_MACHINE, FONTS_KEY, "LogPixels", dpi)
    {
    }
};

struct DialogFont {
    const char* face;
    int points;
};
const DialogFont DIALOG_FONT = {"ＭＳ Ｐゴシック", 9};  // every dialog's but the pad's


inline BOOL CALLBACK CollectChild(HWND child, LPARAM found)
{
    ((std::vector<HWND>*)found)->push_back(child);
    return TRUE;
}

// The text as drawn: "&&" is one ampersand, a single "&" marks the next
// character (Shift-JIS trail bytes are never taken for one).
inline std::string DrawnText(const std::string& text)
{
    std::string drawn;
    for (size_t i = 0; i < text.size(); i++) {
        unsigned char c = (unsigned char)text[i];
        if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
            drawn += text.substr(i, 2);
            i++;
        } else if (c == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                drawn += '&';
                i++;
            }
        } else {
            drawn += (char)c;
        }
    }
    return drawn;
}

// Descriptions of the controls of dialog whose text does not fit, at dpi:
// each static, button and check box text measured in the dialog's font.
inline std::vector<std::string> ClippedTexts(HWND dialog, int dpi, DialogFont font)
{
    std::vector<HWND> children;
    EnumChildWindows(dialog, CollectChild, (LPARAM)&children);
    LOGFONTA description = {};
    description.lfHeight = -MulDiv(font.points, dpi, 72);
    description.lfCharSet = SHIFTJIS_CHARSET;
    strcpy(description.lfFaceName, font.face);
    HFONT handle = CreateFontIndirectA(&description);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, handle);
    std::vector<std::string> clipped;
    for (HWND child : children) {
        char cls[32] = "";
        GetClassNameA(child, cls, sizeof cls);
        std::string text = DrawnText(WindowText(child));
        LONG style = GetWindowLongA(child, GWL_STYLE);
        RECT client;
        GetClientRect(child, &client);
        if (text.empty() || !IsWindowVisible(child))
            continue;
        RECT need = {0, 0, client.right, 0};
        int room = client.right;
        UINT format = DT_CALCRECT | DT_SINGLELINE;
        if (!lstrcmpiA(cls, "Static")) {
            int type = style & SS_TYPEMASK;
            if (type > SS_RIGHT && type != SS_LEFTNOWORDWRAP)
                continue;
            if (type != SS_LEFTNOWORDWRAP)
                format = DT_CALCRECT | DT_WORDBREAK;
        } else if (!lstrcmpiA(cls, "Button")) {
            int type = style & BS_TYPEMASK;
            if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON)
                room -= MulDiv(16, dpi, 96);  // the box and its gap
            else if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
                room -= MulDiv(4, dpi, 96);  // the raised edge
            else
                continue;
        } else {
            continue;
        }
        DrawTextA(dc, text.c_str(), (int)text.size(), &need, format);
        bool fits = (format & DT_SINGLELINE) ? need.right <= room && need.bottom <= client.bottom
                                             : need.bottom <= client.bottom;
        if (!fits)
            clipped.push_back("\"" + text + "\" needs " + std::to_string(need.right) + "x" +
                              std::to_string(need.bottom) + ", has " + std::to_string(room) + "x" +
                              std::to_string(client.bottom) + " at " + std::to_string(dpi) + " DPI");
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(handle);
    return clipped;
}
