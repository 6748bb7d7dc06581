// The settings record and the options in the registry, and the hot keys and
// the hold they set.
#pragma once

#include <windows.h>

int ReadRegistryBinary(const char* keyPath, const char* valueName, void* buffer, DWORD size);
int WriteRegistryBinary(const char* keyPath, const char* valueName, const void* buffer, DWORD size);
void LoadSettings();
int SaveSettings();
int SaveOptions();
void RegisterCallHotKey(HWND window, int id, int value);
void SetHold(HWND window, int value);
