// The one routine that shows the program's popup menus.
#include <windows.h>
#include <cstring>

#include "shell/app.h"
#include "ui/ui.h"

static void AdjustTrayMenu(HMENU popup)
{
    // The settings dialog opens only while the tool is idle.
    if (g_app.calcPad || IsWindowVisible(g_app.phraseWindow)) {
        EnableMenuItem(popup, 0, MF_BYPOSITION | MF_GRAYED);
        EnableMenuItem(popup, 1, MF_BYPOSITION | MF_GRAYED);
    }
}

int ShowContextMenu(HWND owner, const char* menuName)
{
    HMENU menu = LoadMenuA(g_app.instance, menuName);
    if (!menu)
        return 0;
    HMENU popup = GetSubMenu(menu, 0);
    int command = 0;
    if (popup) {
        if (strcmp(menuName, "POPUP_TRY") == 0)
            AdjustTrayMenu(popup);
        POINT pt;
        GetCursorPos(&pt);
        SetForegroundWindow(owner);
        command = (int)TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, pt.x, pt.y, 0, owner, nullptr);
        // Lets the menu close when the user clicks elsewhere.
        PostMessageA(owner, WM_NULL, 0, 0);
    }
    DestroyMenu(menu);
    return command;
}
