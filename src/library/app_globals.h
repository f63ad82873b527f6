#pragma once
// Process-wide handles and flags shared by the main window and the workers.
// The user-interface thread writes all of them but g_busy.
#include <windows.h>

#include <atomic>
#include <cstdint>

class CMediaLibrary;

extern HINSTANCE g_hInstance;        // source of every resource
extern HWND g_hMainWnd;              // the main window
extern HWND g_hStatusBar;            // its status bar
extern HWND g_hTooltip;              // its tooltip window
extern CMediaLibrary* g_pLibrary;    // the one media library, never deleted
extern std::atomic<int32_t> g_busy;  // 1 while a scan or load worker runs
extern SIZE g_minTrackSize;          // the main window's smallest outer size
