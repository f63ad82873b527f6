#pragma once
// The Options menu's "Write playlist files when copying": its check mark
// shows the WritePlaylists preference, which the item switches.
#include <windows.h>

// Puts the check mark where the preference says; the main window's start-up.
void ShowWritePlaylistsCheck(HWND mainWnd);
// Switches the preference and its check mark; saved with the others on close.
void ToggleWritePlaylists(HWND mainWnd);
