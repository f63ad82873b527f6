#pragma once
// Main-window commands whose work is not written yet. Each id already
// arrives here, so that a command is added as one function in this file.
#include <windows.h>

// Check marks and copying: 40003, 40004, 40006, 40029-40032, 40049, 40051,
// 40052 and the Copy button 1046. True when `id` is one of them.
bool RunTickOrCopyCommand(HWND mainWnd, int id);
// Eject 40050, Help 40010, About 40011, grid lines 40015, Preferences 40017.
bool RunOtherMenuCommand(HWND mainWnd, int id);

void OnMediaListClick(HWND mainWnd);        // NM_CLICK: arms IDT_SYNC_CHECKS
void OnMediaListRightClick(HWND mainWnd);   // NM_RCLICK: context menu 125
void OnSyncChecksTimer(HWND mainWnd);       // IDT_SYNC_CHECKS expired
