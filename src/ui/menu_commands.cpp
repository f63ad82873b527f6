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

void ShowWritePlaylistsCheck(HWND mainWnd)
{
    HMENU menu = GetMenu(mainWnd);
    if (menu)
        CheckMenuItem(menu, IDM_WRITE_PLAYLISTS,
                      MF_BYCOMMAND | (g_settings.WritePlaylists != 0 ? MF_CHECKED : MF_UNCHECKED));
}

void ToggleWritePlaylists(HWND mainWnd)
{
    g_settings.WritePlaylists = g_settings.WritePlaylists != 0 ? 0 : 1;
    ShowWritePlaylistsCheck(mainWnd);
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
