#pragma once
// Pixel figures at the screen's scale. Every figure the code gives in pixels
// is its size at 96 DPI (100 %); a window shows it at its own DPI, which per
// monitor may differ from the system's and change while the window lives.
#include <windows.h>

constexpr UINT kBaseDpi = 96;

// `pixels` measured at `fromDpi`, given at `toDpi`: rounded to the nearest
// pixel, halves away from zero. A DPI of 0 (unknown) leaves it as it is.
int ScaleToDpi(int pixels, UINT toDpi, UINT fromDpi = kBaseDpi);
RECT ScaleRectToDpi(const RECT& rect, UINT toDpi, UINT fromDpi);

// The DPI the window is drawn at: GetDpiForWindow where the system has it
// (Windows 10 1607 and later), else the system's DPI, which is the one every
// window of a program is drawn at on older systems.
UINT WindowDpi(HWND window);
// The system's small-icon size (SM_CXSMICON) at `dpi`.
int SmallIconSize(UINT dpi);
