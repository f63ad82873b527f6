#pragma once
// The user's preferences: loaded once at start-up, saved by the Preferences
// dialog's OK and when the main window closes.
#include <windows.h>

constexpr DWORD kPathCapacity = 260;   // units, terminator included

struct Settings {
    wchar_t DefaultDestPath[kPathCapacity] = {};
    wchar_t NamingConvertion[kPathCapacity] = {};
    DWORD GridLines = 1;
    DWORD EnableTooltips = 1;
    DWORD StartupIpodScan = 1;
    DWORD CheckForUpdates = 1;
    DWORD TransferOverwrite = 1;   // exactly 1: skip existing files; else overwrite
    DWORD AskForDestPath = 1;

    void Load();
    void Save();
};

extern Settings g_settings;

BOOL RegReadString(HKEY key, const wchar_t* name, wchar_t* buffer, DWORD capacity, const wchar_t* defaultText);
BOOL RegReadDword(HKEY key, const wchar_t* name, DWORD* value, DWORD defaultValue);
BOOL RegWriteString(HKEY key, const wchar_t* name, const wchar_t* text);
BOOL RegWriteDword(HKEY key, const wchar_t* name, DWORD value);
