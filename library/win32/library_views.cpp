// The views' record, and their word to the user.
#include "library/win32/library_views.h"

LibraryViews g_views;

void TellUser(const char* text)
{
    g_views.told++;
    if (g_views.tell)
        g_views.tell(text);
}
