#pragma once
// The main window at another scale. A per-monitor aware program is told by
// WM_DPICHANGED when its window moves to a screen of another DPI (or the
// user changes the scale) and must lay the window out again itself.
#include <windows.h>

// At WM_INITDIALOG: keeps the dialog manager of Windows 10 1703 and later
// from rescaling the main window's controls and font by itself, which would
// move them under the layout's stored rectangles, and notes the template's
// font and the DPI the window was made at.
void PrepareMainWindowDpi(HWND mainWnd);

// Lays the main window out at `dpi`: the controls' font, place and size, the
// media list's column widths and icons, the tree's icons, the splitter, the
// status bar's parts and the smallest window size; then moves the window to
// `suggested` (screen coordinates), the rectangle WM_DPICHANGED proposes.
void OnMainWindowDpiChanged(HWND mainWnd, UINT dpi, const RECT& suggested);
