#pragma once
// How the library looks: the media list's columns, icons and rows, the
// playlist tree's icons and root, track times, and the status-bar counts.
#include "db/records.h"
#include "library/track_order.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Column widths and icon sizes follow the DPI of the list's and tree's window.
BOOL InitMediaList(HWND listView);
LRESULT AddListColumn(HWND listView, int index, const wchar_t* heading, int width);
BOOL InitPlaylistTree(HWND treeView);

// After a change of the window's DPI: the icons at the small-icon size of
// `dpi`, and every column's current width carried from one DPI to the other.
void SetMediaListIcons(HWND listView, UINT dpi);
void SetPlaylistTreeIcons(HWND treeView, UINT dpi);
void ScaleMediaListColumns(HWND listView, UINT toDpi, UINT fromDpi);
std::wstring FormatTrackTime(int32_t milliseconds);   // "3:45", "62:05", "-1:05"
void UpdateStatusCounts();

// The extended styles of the media list, with or without grid lines.
DWORD MediaListStyles(bool gridLines);

// "<name> (<items>)"; a playlist without a name shows " (<items>)".
std::wstring PlaylistLabel(const PlaylistEntry& playlist);
// Appends the playlist's node under `root` and returns it.
HTREEITEM InsertPlaylistNode(HWND treeView, HTREEITEM root, const PlaylistEntry& playlist);

// The media list is an owner-data list: it holds the number of rows alone.
// Sets that number, clears the selection and the focus (they are kept by row
// number, which would now name other tracks) and shows the first row.
void ShowMediaListRows(HWND listView, int count);
// The arrow on the sorted column's heading; the others show none.
void ShowSortArrow(HWND listView, int column, SortDirection direction);
// The text of `column` for `track`, as the list shows it, cut to `capacity`.
void MediaListCellText(const TrackEntry& track, int column, wchar_t* buffer, int capacity);

// Sets part `part` of the status bar to `text`.
void SetStatusText(int part, const wchar_t* text);

constexpr UINT kStateUnticked = 0x1000;   // state image 1
constexpr UINT kStateTicked = 0x2000;     // state image 2
