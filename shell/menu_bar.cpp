// The phrase window's menu bar.
#include <windows.h>

#include "shell/app.h"

static HMENU s_menuBar;

void SetupMenuBar()
{
    s_menuBar = LoadMenuA(g_app.instance, "MENU_APP");
    HMENU classMenu = GetMenu(g_app.phraseWindow);
    if (s_menuBar && SetMenu(g_app.phraseWindow, s_menuBar) && classMenu)
        DestroyMenu(classMenu);
}

void ReleaseMenuBar()
{
    if (s_menuBar && IsMenu(s_menuBar))
        DestroyMenu(s_menuBar);
    s_menuBar = nullptr;
}

void DrawMenuBarItem(const DRAWITEMSTRUCT*) {}

void MeasureMenuBarItem(MEASUREITEMSTRUCT*) {}
