#pragma once
// The Options and Help menus' own commands: grid lines, playlist and library
// files, covers, help topics, About.
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>

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
// "Save album covers when copying", the same for SaveCovers.
void ShowSaveCoversCheck(HWND mainWnd);
void ToggleSaveCovers(HWND mainWnd);

// Opens help.chm with the shell: the current directory's, else the one beside
// Savanto.exe.
void OpenHelpTopics(HWND mainWnd);

constexpr wchar_t kHelpFileName[] = L"help.chm";

// The file Help topics opens. The current directory's help.chm as a bare name,
// as it always was; else the one in `exeFolder`, for a shortcut that starts
// the program in another folder; with neither, the bare name again, so that
// the shell reports the missing file. `exists` is asked about a path.
std::wstring HelpFileToOpen(const std::wstring& exeFolder, const std::function<bool(const std::wstring&)>& exists);

// The folder that holds the running program; empty when it cannot be told.
std::wstring ProgramFolder();

// What Help topics asks the shell with; tests put their own in place.
using ShellExecuteExFn = BOOL(WINAPI*)(SHELLEXECUTEINFOW* info);
ShellExecuteExFn& HelpShellExecute();
