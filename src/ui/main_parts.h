#pragma once
// The main window's status bar and tooltips.
#include <windows.h>

// Three parts with right edges at 80, 200 and the window's edge; part 0 empty.
HWND CreateMainStatusBar(HWND mainWnd);
// The tooltip window with the four tools, active as EnableTooltips says.
HWND CreateMainTooltips(HWND mainWnd);
