#include "ui/menu_commands.h"

#include "library/views.h"
#include "resource.h"
#include "settings/settings.h"

#include <commctrl.h>

#ifndef _WIN64
// The shipped 32-bit build hands the shell the structure's documented size.
static_assert(sizeof(SHELLEXECUTEINFOW) == 60, "SHELLEXECUTEINFOW must be 60 bytes on 32-bit Windows");
#endif

ShellExecuteExFn& HelpShellExecute()
{
    static ShellExecuteExFn shellExecute = ShellExecuteExW;
    return shellExecute;
}

void ToggleGridLines(HWND mainWnd)
{
    const bool show = g_settings.GridLines == 0;
    g_settings.GridLines = show ? 1 : 0;
    CheckMenuItem(GetMenu(mainWnd), IDM_GRID_LINES, MF_BYCOMMAND | (show ? MF_CHECKED : MF_UNCHECKED));
    // A mask of 0 replaces every extended style at once.
    SendMessageW(GetDlgItem(mainWnd, IDC_MEDIA_LIST), LVM_SETEXTENDEDLISTVIEWSTYLE, 0, MediaListStyles(show));
}

namespace {

void ShowOptionCheck(HWND mainWnd, UINT item, DWORD value)
{
    HMENU menu = GetMenu(mainWnd);
    if (menu)
        CheckMenuItem(menu, item, MF_BYCOMMAND | (value != 0 ? MF_CHECKED : MF_UNCHECKED));
}

void SwitchOption(DWORD& value) { value = value != 0 ? 0 : 1; }

}  // namespace

void ShowWritePlaylistsCheck(HWND mainWnd)
{
    ShowOptionCheck(mainWnd, IDM_WRITE_PLAYLISTS, g_settings.WritePlaylists);
}

void ToggleWritePlaylists(HWND mainWnd)
{
    SwitchOption(g_settings.WritePlaylists);
    ShowWritePlaylistsCheck(mainWnd);
}

void ShowWriteLibraryFileCheck(HWND mainWnd)
{
    ShowOptionCheck(mainWnd, IDM_WRITE_LIBRARY_FILE, g_settings.WriteLibraryFile);
}

void ToggleWriteLibraryFile(HWND mainWnd)
{
    SwitchOption(g_settings.WriteLibraryFile);
    ShowWriteLibraryFileCheck(mainWnd);
}

void OpenHelpTopics(HWND mainWnd)
{
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.hwnd = mainWnd;
    info.lpVerb = L"open";
    info.lpFile = L"help.chm";   // no folder: the current directory's
    info.nShow = SW_SHOWNORMAL;
    // A missing file is the shell's to report.
    HelpShellExecute()(&info);
}
