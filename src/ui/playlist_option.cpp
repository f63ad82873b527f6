#include "ui/playlist_option.h"

#include "resource.h"
#include "settings/settings.h"

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
