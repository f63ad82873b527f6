#pragma once
// The Options and Help menus' own commands: grid lines, help topics, About.
#include <windows.h>
#include <shellapi.h>

// Shows or hides the media list's grid lines, the opposite of GridLines, and
// moves the menu item's check mark along; the setting is saved at the close.
void ToggleGridLines(HWND mainWnd);

// Opens help.chm from the current directory with the shell.
void OpenHelpTopics(HWND mainWnd);

// What Help topics asks the shell with; tests put their own in place.
using ShellExecuteExFn = BOOL(WINAPI*)(SHELLEXECUTEINFOW* info);
ShellExecuteExFn& HelpShellExecute();
