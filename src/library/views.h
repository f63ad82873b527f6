#pragma once
// How the library looks: the media list's columns, icons and rows, the
// playlist tree's icons and root, track times, and the status-bar counts.
#include <windows.h>

#include <cstdint>
#include <string>

BOOL InitMediaList(HWND listView);
LRESULT AddListColumn(HWND listView, int index, const wchar_t* heading, int width);
BOOL InitPlaylistTree(HWND treeView);
std::wstring FormatTrackTime(int32_t milliseconds);   // "3:45", "62:05"
void UpdateStatusCounts();
