// The views' record, and their word to the user.
#include "library/win32/library_views.h"

LibraryViews g_views;

void TellUser(const char* text)
{
    g_views.told++;
    if (g_views.tell)
        g_views.tell(text);
}

const LibraryFiles* ViewedFiles()
{
    return &g_views.files;
}

int SetViewedLibrary(const char* phrasePath)
{
    return SetLibraryFiles(&g_views.files, phrasePath);
}

void SetUserWord(void (*tell)(const char* text))
{
    g_views.tell = tell;
}

unsigned TreeLoads()
{
    return g_views.treeLoads;
}
