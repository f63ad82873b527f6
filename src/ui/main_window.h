#pragma once
// The main window: a modeless dialog (resource 105) whose procedure carries
// its start-up, layout, splitter and commands.
#include <windows.h>

INT_PTR CALLBACK MainDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Creates dialog 105 from g_hInstance; null when it cannot be created.
HWND CreateMainWindow();

// Starts a worker that nobody waits for; false when it could not start.
bool StartWorker(LPTHREAD_START_ROUTINE proc, LPVOID parameter);
