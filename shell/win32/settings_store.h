// The settings record and the options in the registry, and the hot keys and
// the hold they set.
#pragma once

#include <windows.h>

int ReadRegistryBinary(const char* keyPath, const char* valueName, void* buffer, DWORD size);
int WriteRegistryBinary(const char* keyPath, const char* valueName, const void* buffer, DWORD size);
void LoadSettings();
int SaveSettings();
int SaveOptions();
// The paste methods' table of g_globals.options as the value PasteMethods;
// an empty table removes the value. 0, or -1 when the registry refused it.
int SavePasteRules();
void RegisterCallHotKey(HWND window, int id, int value);
void SetHold(HWND window, int value);
