// fenlop.exe end to end: the phrase window's menu bar, owner-drawn under
// visual styles (a fresh Wine prefix has its light theme on) and the
// system's own without them. Checked by the pixels on the screen.
#include "tests/e2e/e2e_fixture.h"

#include <cstdio>
#include <map>

namespace {

const COLORREF TEXT_FRONT = RGB(48, 48, 48);
const COLORREF TEXT_BEHIND = RGB(128, 128, 128);
const char THEME_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager";
const char APP_DEFAULTS_KEY[] = "Software\\Wine\\AppDefaults\\fenlop.exe";

// Counts of pixels of a screen rectangle, read through the screen DC.
struct Pixels {
    std::vector<COLORREF> colours;
    int width = 0;
    int height = 0;

    int Count(COLORREF c) const
    {
        int n = 0;
        for (COLORREF p : colours)
            n += p == c;
        return n;
    }
    // Share of the most frequent colour, and that colour.
    COLORREF Dominant(double* share = nullptr) const
    {
        std::map<COLORREF, int> seen;
        for (COLORREF p : colours)
            seen[p]++;
        std::pair<COLORREF, int> best{0, 0};
        for (auto& s : seen)
            if (s.second > best.second)
                best = s;
        if (share)
            *share = colours.empty() ? 0 : (double)best.second / colours.size();
        return best.first;
    }
};

Pixels ReadScreen(const RECT& rc)
{
    Pixels px;
    px.width = rc.right - rc.left;
    px.height = rc.bottom - rc.top;
    for (DWORD p : ScreenPixels(rc))
        px.colours.push_back(RGB(GetBValue(p), GetGValue(p), GetRValue(p)));  // 0x00RRGGBB to a COLORREF
    return px;
}

std::string Hex(COLORREF c)
{
    char text[16];
    snprintf(text, sizeof text, "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

class MenuBarE2E : public FenlopE2E {
protected:
    RECT bar = {};

    // The menu bar's strip in screen coordinates.
    RECT BarRect()
    {
        MENUBARINFO info = {};
        info.cbSize = sizeof info;
        if (GetMenuBarInfo(phrase, OBJID_MENU, 0, &info) && info.rcBar.bottom > info.rcBar.top)
            return info.rcBar;
        // Just above the client area, one menu bar high.
        RECT client;
        GetClientRect(phrase, &client);
        POINT origin{0, 0};
        ClientToScreen(phrase, &origin);
        return RECT{origin.x, origin.y - GetSystemMetrics(SM_CYMENU), origin.x + client.right, origin.y};
    }

    Pixels Bar() { return ReadScreen(bar); }

    std::string Describe(const Pixels& px)
    {
        double share = 0;
        COLORREF dominant = px.Dominant(&share);
        return "bar " + std::to_string(px.width) + "x" + std::to_string(px.height) + ", mostly " + Hex(dominant) +
               " (" + std::to_string((int)(share * 100)) + "%), 303030: " + std::to_string(px.Count(TEXT_FRONT)) +
               ", 808080: " + std::to_string(px.Count(TEXT_BEHIND)) +
               ", menu text: " + std::to_string(px.Count(GetSysColor(COLOR_MENUTEXT)));
    }

    // The phrase window in front with hold on, so that it stays on the
    // screen while another window is in front.
    void ShowInFront()
    {
        SettingsRecord record = RecordWith(BUSINESS_PATH, sizeof BUSINESS_PATH);
        record.hold = 1;
        ASSERT_NO_FATAL_FAILURE(CallUpOverTarget(record));
        bar = BarRect();
        ASSERT_GT(bar.right - bar.left, 100);
        ASSERT_GT(bar.bottom - bar.top, 10);
    }

    // With the target in front; the phrase window stays visible behind it.
    void PutTargetInFront()
    {
        FocusTarget();
        ASSERT_TRUE(IsWindowVisible(phrase));
    }

    void ExpectSystemBar(const char* shotName)
    {
        ShowInFront();
        // The system's own bar: its menu text colour, none of ours.
        ASSERT_TRUE(WaitUntil([&] { return Bar().Count(GetSysColor(COLOR_MENUTEXT)) > 50; }, 3000))
            << Describe(Bar());
        Pixels front = Bar();
        EXPECT_EQ(front.Count(TEXT_FRONT), 0) << Describe(front);
        EXPECT_EQ(front.Count(TEXT_BEHIND), 0) << Describe(front);
        Shot(shotName);
        PutTargetInFront();
        Sleep(300);
        Pixels behind = Bar();
        EXPECT_EQ(behind.Count(TEXT_FRONT), 0) << Describe(behind);
        EXPECT_EQ(behind.Count(TEXT_BEHIND), 0) << Describe(behind);
        EXPECT_GT(behind.Count(GetSysColor(COLOR_MENUTEXT)), 50) << Describe(behind);
    }
};

TEST_F(MenuBarE2E, ThemedBarIsDarkInFrontAndGreyBehind)
{
    ShowInFront();
    ASSERT_TRUE(WaitUntil([&] { return Bar().Count(TEXT_FRONT) > 50; }, 3000)) << Describe(Bar());
    Pixels front = Bar();
    EXPECT_EQ(front.Count(TEXT_BEHIND), 0) << Describe(front);
    EXPECT_EQ(front.Count(GetSysColor(COLOR_MENUTEXT)), 0) << "drawn by the system: " << Describe(front);
    // The items stand on the button face colour.
    RECT firstItem{bar.left, bar.top, bar.left + (bar.right - bar.left) / 4, bar.bottom};
    EXPECT_EQ(ReadScreen(firstItem).Dominant(), GetSysColor(COLOR_BTNFACE)) << Describe(front);
    Sleep(300);  // the list paints a moment after the bar
    Shot("menu-bar-front");

    PutTargetInFront();
    EXPECT_TRUE(WaitUntil([&] {
        Pixels px = Bar();
        return px.Count(TEXT_BEHIND) > 50 && px.Count(TEXT_FRONT) == 0;
    }, 3000)) << Describe(Bar());
    Shot("menu-bar-behind");

    // In front again: dark again.
    EXPECT_TRUE(WaitUntil([&] {
        if (GetForegroundWindow() != phrase)
            SetForegroundWindow(phrase);
        Pixels px = Bar();
        return px.Count(TEXT_FRONT) > 50 && px.Count(TEXT_BEHIND) == 0;
    }, 3000)) << Describe(Bar());
}

TEST_F(MenuBarE2E, TheOpenedItemHasTheHighlightBackground)
{
    ShowInFront();
    ASSERT_TRUE(WaitUntil([&] { return Bar().Count(TEXT_FRONT) > 50; }, 3000)) << Describe(Bar());
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    ASSERT_EQ(Bar().Count(highlight), 0);

    // A click on the first item opens its popup.
    ClickAt(POINT{bar.left + 25, (bar.top + bar.bottom) / 2});
    ASSERT_TRUE(WaitUntil([] { return FindWindowA("#32768", nullptr) != nullptr; }, 3000)) << "no popup opened";
    ASSERT_TRUE(WaitUntil([&] { return Bar().Count(highlight) > 100; }, 3000)) << Describe(Bar());
    Shot("menu-bar-open");

    // Only the first item: the highlight ends before the second item's
    // text, which keeps the button face.
    Pixels px = Bar();
    int lastHighlight = -1, firstTextAfter = -1;
    for (int x = 0; x < px.width; x++)
        for (int row = 0; row < px.height; row++)
            if (px.colours[row * px.width + x] == highlight)
                lastHighlight = x;
    for (int x = lastHighlight + 1; x < px.width && firstTextAfter < 0; x++)
        for (int row = 0; row < px.height; row++)
            if (px.colours[row * px.width + x] == TEXT_FRONT)
                firstTextAfter = x;
    EXPECT_GT(firstTextAfter, lastHighlight) << "the other items lost their text";
    EXPECT_LT(lastHighlight, px.width / 2);
    RECT inside{bar.left + 2, bar.top + 2, bar.left + 6, bar.bottom - 2};
    EXPECT_EQ(ReadScreen(inside).Dominant(), highlight);
    // The opened item's text stays dark.
    RECT firstItem{bar.left, bar.top, bar.left + lastHighlight + 1, bar.bottom};
    EXPECT_GT(ReadScreen(firstItem).Count(TEXT_FRONT), 20);

    PressKey(VK_ESCAPE);
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return Bar().Count(highlight) == 0; }, 3000)) << Describe(Bar());
}

TEST_F(MenuBarE2E, WithoutVisualStylesTheBarIsTheSystems)
{
    RegistryValue off(HKEY_CURRENT_USER, THEME_KEY, "ThemeActive", "0");
    ASSERT_TRUE(off.set());
    ExpectSystemBar("menu-bar-unthemed");
}

TEST_F(MenuBarE2E, OnNt51WithVisualStylesTheBarIsTheSystems)
{
    // The reported version of this one program: 5.1.
    RegistryValue xp(HKEY_CURRENT_USER, APP_DEFAULTS_KEY, "Version", "winxp");
    ASSERT_TRUE(xp.set());
    ExpectSystemBar("menu-bar-nt51");
}

// Every key of the phrase window is in its menu with the key after the tab,
// read from the program's own resources: each Ctrl key of FLP_ACC shows as
// "Ctrl+" and its letter on the item of its command. F1 is named in the
// help, not in the menu, as the item has always been.
TEST(MenuTexts, EveryCtrlKeyIsShownOnItsMenuItem)
{
    HMODULE exe = LoadLibraryExA(WindowsPath(FENLOP_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(exe);
    HACCEL table = LoadAcceleratorsA(exe, "FLP_ACC");
    HMENU menu = LoadMenuA(exe, "MENU_APP");
    ASSERT_TRUE(table && menu);
    std::vector<ACCEL> keys(CopyAcceleratorTableA(table, nullptr, 0));
    CopyAcceleratorTableA(table, keys.data(), (int)keys.size());
    int ctrlKeys = 0;
    for (const ACCEL& key : keys) {
        char text[80] = "";
        int n = GetMenuStringA(menu, key.cmd, text, sizeof text, MF_BYCOMMAND);
        EXPECT_GT(n, 0) << "command " << key.cmd << " has no menu item";
        const char* tab = strchr(text, '\t');
        if (!(key.fVirt & FCONTROL))
            continue;
        ctrlKeys++;
        EXPECT_EQ(tab ? std::string(tab + 1) : "", std::string("Ctrl+") + (char)key.key) << text;
    }
    EXPECT_EQ(ctrlKeys, 5);  // U, D, F, E (the filter box) and S
    DestroyMenu(menu);
    FreeLibrary(exe);
}

}  // namespace
