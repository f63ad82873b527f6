#pragma once
// The main window's side of drives that come and go: WM_DEVICECHANGE and the
// timer that applies what had to wait.
#include <windows.h>

// How often changes that wait for a worker or a copy run look again.
constexpr UINT kDriveChangeRetryMs = 250;

// WM_DEVICECHANGE: notes a volume's arrival or removal and applies it at once
// when nothing uses the iPod list or the library, else once that has ended.
// FALSE for the events it leaves to the system.
INT_PTR OnDeviceChange(HWND mainWnd, WPARAM event, LPARAM data);
// Applies the noted changes unless a scan, load, eject or copy run still
// holds the list or the library; then the timer tries again.
void ApplyDriveChangesWhenIdle(HWND mainWnd);
