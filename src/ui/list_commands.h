#pragma once
// The media list's tick commands, its context menu, and the Copy command that
// opens the progress dialog.
#include "settings/settings.h"

#include <windows.h>

// What the Copy command shows and opens; tests put their own in place.
struct CopyCommandActions {
    int(WINAPI* messageBox)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
    bool (*browseForFolder)(HWND owner, wchar_t (&folder)[kPathCapacity]);
    INT_PTR (*runCopyDialog)(HWND owner);
};
CopyCommandActions& CopyCommands();

// What row `row`'s check box shows, as the list reports it (state image 1
// unticked, 2 ticked).
bool IsRowTicked(HWND list, int row);

// Runs a tick or copy command (40003, 40004, 40006, 40029-40032, 40049, 40051,
// 40052, 1046); false for any other id. Refused, silently, while a worker
// may rebuild the library (LibraryInUse).
bool RunListCommand(HWND mainWnd, int id);
void CopyCheckedItems(HWND mainWnd);

// NM_RCLICK: menu 125 at the cursor.
void ShowMediaListMenu(HWND mainWnd);
// Greys "Check selection" and "Uncheck selection" when no row is selected.
void PrepareListMenu(HMENU popup, HWND list);
