#pragma once
// The Options and Help menus' own commands: grid lines, playlist and library
// files, help topics, About.
#include <windows.h>
#include <shellapi.h>

// Shows or hides the media list's grid lines, the opposite of GridLines, and
// moves the menu item's check mark along; the setting is saved at the close.
void ToggleGridLines(HWND mainWnd);

// "Write playlist files when copying": its check mark shows the
// WritePlaylists preference, put in place at start-up; the item switches the
// preference and the mark, saved with the others at the close.
void ShowWritePlaylistsCheck(HWND mainWnd);
void ToggleWritePlaylists(HWND mainWnd);
// "Write library file when copying", the same for WriteLibraryFile.
void ShowWriteLibraryFileCheck(HWND mainWnd);
void ToggleWriteLibraryFile(HWND mainWnd);

// Opens help.chm from the current directory with the shell.
void OpenHelpTopics(HWND mainWnd);

// What Help topics asks the shell with; tests put their own in place.
using ShellExecuteExFn = BOOL(WINAPI*)(SHELLEXECUTEINFOW* info);
ShellExecuteExFn& HelpShellExecute();
