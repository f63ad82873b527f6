#pragma once
// Process-wide handles and flags shared by the main window and the workers.
// The user-interface thread writes all of them but g_busy and g_ejecting.
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
// 1 while an eject runs: from the command that starts it to the eject
// worker's last step. Kept apart from g_busy, which a scan started during the
// eject clears when it ends.
extern std::atomic<int32_t> g_ejecting;
extern SIZE g_minTrackSize;          // the main window's smallest outer size
// The drive letter of the iPod whose database the library holds, 0 when the
// library holds none: set by LoadIpodDatabase, cleared by EmptyLibrary.
extern std::atomic<wchar_t> g_loadedDrive;

// A worker may rebuild the media library: a scan or load runs, or an eject.
// The main window's handlers that read or change the library refuse to while
// this holds.
inline bool LibraryInUse() { return g_busy != 0 || g_ejecting != 0; }
