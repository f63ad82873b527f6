#pragma once
// The main window's status bar and tooltips.
#include <windows.h>

// Three parts with right edges at 80, 200 (at 96 DPI) and the window's edge;
// part 0 empty.
HWND CreateMainStatusBar(HWND mainWnd);
// The parts' edges at `dpi`.
void SetMainStatusParts(HWND bar, UINT dpi);
// The tooltip window with the four tools, active as EnableTooltips says.
HWND CreateMainTooltips(HWND mainWnd);
