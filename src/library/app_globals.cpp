#include "library/app_globals.h"

HINSTANCE g_hInstance = nullptr;
HWND g_hMainWnd = nullptr;
HWND g_hStatusBar = nullptr;
HWND g_hTooltip = nullptr;
CMediaLibrary* g_pLibrary = nullptr;
std::atomic<int32_t> g_busy{0};
std::atomic<int32_t> g_ejecting{0};
SIZE g_minTrackSize = {0, 0};
std::atomic<wchar_t> g_loadedDrive{0};
