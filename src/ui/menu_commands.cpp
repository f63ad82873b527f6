#include "ui/menu_commands.h"

#include "backup/transfer_log_place.h"
#include "library/views.h"
#include "resource.h"
#include "settings/settings.h"

#include <commctrl.h>

namespace {

constexpr size_t kLongPathCapacity = 32768;   // the longest path Windows allows, in units

}  // namespace

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

void ShowSaveCoversCheck(HWND mainWnd) { ShowOptionCheck(mainWnd, IDM_SAVE_COVERS, g_settings.SaveCovers); }

void ToggleSaveCovers(HWND mainWnd)
{
    SwitchOption(g_settings.SaveCovers);
    ShowSaveCoversCheck(mainWnd);
}

std::wstring HelpFileToOpen(const std::wstring& exeFolder, const std::function<bool(const std::wstring&)>& exists)
{
    if (exists(kHelpFileName) || exeFolder.empty())
        return kHelpFileName;
    const std::wstring besideExe = JoinPath(exeFolder, kHelpFileName);
    return exists(besideExe) ? besideExe : kHelpFileName;
}

std::wstring ProgramFolder()
{
    // Paths may be longer than MAX_PATH: grow until the name fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= kLongPathCapacity)
            return {};
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

namespace {

bool IsFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

void OpenHelpTopics(HWND mainWnd)
{
    const std::wstring file = HelpFileToOpen(ProgramFolder(), IsFile);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.hwnd = mainWnd;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();   // a bare name is resolved against the current directory
    info.nShow = SW_SHOWNORMAL;
    // A missing file is the shell's to report.
    HelpShellExecute()(&info);
}
