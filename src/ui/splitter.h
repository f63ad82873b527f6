#pragma once
// The vertical splitter between the playlist tree and the media list. While
// it is dragged only an inverted bar moves; the controls are laid out once,
// when the button is released.
#include "library/dpi.h"

#include <windows.h>

// At 96 DPI; the splitter works at the DPI of the main window's layout.
constexpr int kSplitterBarWidth = 4;
constexpr int kSplitterMinX = 40;
constexpr int kSplitterMaxX = 500;

// The band from the tree's right edge to the bar's width right of it, both
// included.
bool InSplitterBand(int x, int treeRight, UINT dpi = kBaseDpi);
int LimitSplitterX(int x, UINT dpi = kBaseDpi);

// Inverts the rectangle with a checkerboard pattern; twice restores it.
void DrawSplitterBar(HDC dc, int x, int y, int width, int height);

struct SplitterDrag {
    bool dragging = false;
    int lastDrawnX = 0;
    int pendingX = 0;   // 0: the mouse has not moved since the button went down
};

// `x` is the cursor's position in the main window's client pixels.
void OnSplitterButtonDown(HWND mainWnd, SplitterDrag& drag, int x);
void OnSplitterMouseMove(HWND mainWnd, SplitterDrag& drag, int x);
void OnSplitterButtonUp(HWND mainWnd, SplitterDrag& drag);
