#include "ui/main_window.h"

#include "backup/folder_browser.h"
#include "backup/renaming_rule.h"
#include "device/eject.h"
#include "device/ipod_list.h"
#include "library/app_globals.h"
#include "library/media_library.h"
#include "library/media_list.h"
#include "library/views.h"
#include "resource.h"
#include "settings/preferences_dialog.h"
#include "settings/settings.h"
#include "ui/about_dialog.h"
#include "ui/device_events.h"
#include "ui/dpi_change.h"
#include "ui/list_commands.h"
#include "ui/main_parts.h"
#include "ui/menu_commands.h"
#include "ui/resize_layout.h"
#include "ui/splitter.h"
#include "update/update_check.h"

#include <commctrl.h>

namespace {

constexpr UINT kSearchDelayMs = 100;

SplitterDrag g_splitter;

bool IsBusy() { return g_busy != 0; }

// The scan and load workers set g_busy themselves, but only once they run;
// claiming it here keeps a second command that arrives before then (a quick
// double click, arrow keys in the selector) from starting a second worker on
// the same library.
void StartBusyWorker(LPTHREAD_START_ROUTINE proc, LPVOID parameter)
{
    g_busy = 1;
    if (!StartWorker(proc, parameter))
        g_busy = 0;
}

// --- Start-up -------------------------------------------------------------

void SetUpViews(HWND window)
{
    SetClassLongPtrW(window, GCLP_HICON,
                     reinterpret_cast<LONG_PTR>(LoadIconW(g_hInstance, MAKEINTRESOURCEW(IDI_APP))));
    InitMediaList(GetDlgItem(window, IDC_MEDIA_LIST));
    InitPlaylistTree(GetDlgItem(window, IDC_PLAYLIST_TREE));
    g_hStatusBar = CreateMainStatusBar(window);
    g_busy = 0;
    g_ipodList.AttachSelector(GetDlgItem(window, IDC_IPOD_SELECTOR));
    g_hTooltip = CreateMainTooltips(window);
    ShowWritePlaylistsCheck(window);
    ShowWriteLibraryFileCheck(window);
    ShowSaveCoversCheck(window);
}

void BindLibrary(HWND window)
{
    // One library for the life of the process, never replaced or deleted.
    if (!g_pLibrary)
        g_pLibrary = new CMediaLibrary;
    g_pLibrary->SetListView(GetDlgItem(window, IDC_MEDIA_LIST));
    g_pLibrary->SetTreeView(GetDlgItem(window, IDC_PLAYLIST_TREE));
    UpdateStatusCounts();
}

void StartBackgroundWork()
{
    if (g_settings.StartupIpodScan != 0)
        StartBusyWorker(ScanThreadProc, nullptr);
    if (g_settings.CheckForUpdates != 0)
        StartUpdateCheck(1);
}

void SetUpLayout(HWND window)
{
    RECT outer;
    GetWindowRect(window, &outer);
    g_minTrackSize = {outer.right - outer.left, outer.bottom - outer.top};
    PrepareMainWindowDpi(window);
    g_layout.Attach(window);
    g_layout.AddControl(IDC_MEDIA_LIST, 0, 0, 1, 1);
    g_layout.AddControl(IDC_PLAYLIST_TREE, 0, 0, 0, 1);
    g_layout.AddControl(IDC_CLEAR_SEARCH, 1, 0, 1, 0);
    g_layout.AddControl(IDC_SEARCH, 0, 0, 1, 0);
}

INT_PTR OnInitDialog(HWND window)
{
    // The start-up scan addresses the window through g_hMainWnd from its
    // first step, before CreateDialogParamW has returned the handle.
    g_hMainWnd = window;
    SetUpViews(window);
    BindLibrary(window);
    StartBackgroundWork();
    SetUpLayout(window);
    return TRUE;
}

// --- Closing --------------------------------------------------------------

INT_PTR OnClose(HWND window)
{
    g_settings.Save();
    DestroyWindow(window);
    PostQuitMessage(0);
    return TRUE;
}

// --- Layout ---------------------------------------------------------------

INT_PTR OnSize(WPARAM sizeType)
{
    if (sizeType == SIZE_MINIMIZED)
        return FALSE;
    SendMessageW(g_hStatusBar, WM_SIZE, 0, 0);
    g_layout.Apply();
    return TRUE;
}

// wParam holds the new DPI (the same for x and y), lParam the rectangle the
// system suggests for the window at that scale.
INT_PTR OnDpiChanged(HWND window, WPARAM wParam, LPARAM lParam)
{
    OnMainWindowDpiChanged(window, LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
    return TRUE;
}

INT_PTR OnGetMinMaxInfo(LPARAM lParam)
{
    reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {g_minTrackSize.cx, g_minTrackSize.cy};
    return FALSE;
}

// The message's coordinates are not used: the cursor's own position is.
int CursorClientX(HWND window)
{
    POINT cursor = {};
    GetCursorPos(&cursor);
    ScreenToClient(window, &cursor);
    return cursor.x;
}

INT_PTR OnSplitterMouse(HWND window, UINT message)
{
    switch (message) {
    case WM_LBUTTONDOWN:
        OnSplitterButtonDown(window, g_splitter, CursorClientX(window));
        break;
    case WM_MOUSEMOVE:
        OnSplitterMouseMove(window, g_splitter, CursorClientX(window));
        break;
    default:
        OnSplitterButtonUp(window, g_splitter);
        break;
    }
    return TRUE;
}

// --- Commands -------------------------------------------------------------

// The selected iPod's root, of static lifetime: the worker it is handed to
// may outlive the list entry GetSelectedRoot points into. Null when none.
const wchar_t* SelectedDriveRoot()
{
    const wchar_t* selected = g_ipodList.GetSelectedRoot();
    return selected ? StaticDriveRoot(selected[0]) : nullptr;
}

void OnSelectorChange(HWND window)
{
    if (IsBusy())
        return;
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDC_MEDIA_LIST)), TRUE);
    // After a scan that found nothing there is no root to load.
    const wchar_t* root = SelectedDriveRoot();
    if (root)
        StartBusyWorker(LoadThreadProc, const_cast<wchar_t*>(root));
}

void OnScan()
{
    if (!IsBusy())
        StartBusyWorker(ScanThreadProc, nullptr);
}

bool EjectItemEnabled(HWND window)
{
    const UINT state = GetMenuState(GetMenu(window), IDM_EJECT, MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && !(state & (MF_GRAYED | MF_DISABLED));
}

// The eject worker holds g_ejecting from here to its last step: claimed
// before it starts, so that a second Ctrl+E arriving before the worker's
// first step cannot start a second eject. The command also gives way to a
// greyed item however it arrives, not only through the accelerator table.
void OnEject(HWND window)
{
    if (LibraryInUse() || !EjectItemEnabled(window))
        return;
    const wchar_t* root = SelectedDriveRoot();
    if (!root)
        return;
    g_ejecting = 1;
    if (!StartWorker(EjectThreadProc, const_cast<wchar_t*>(root)))
        g_ejecting = 0;
}

void OnSearchTextChange(HWND window)
{
    KillTimer(window, IDT_SEARCH);
    SetTimer(window, IDT_SEARCH, kSearchDelayMs, nullptr);
}

void OnClearSearch(HWND window) { SetDlgItemTextW(window, IDC_SEARCH, L""); }

// Not refused while busy: the dialog only edits the settings.
void OpenPreferences(HWND window)
{
    const PreferencesHost host = {g_hTooltip, BrowseForFolder, MessageBoxW, kRenamingRuleHelp};
    ShowPreferencesDialog(g_hInstance, window, host);
}

INT_PTR OnCommand(HWND window, int id, int notification)
{
    switch (id) {
    case IDC_IPOD_SELECTOR:
        if (notification == CBN_SELCHANGE)
            OnSelectorChange(window);
        break;
    case IDC_SCAN:
    case IDM_SCAN:
        OnScan();
        break;
    case IDC_SEARCH:
        if (notification == EN_CHANGE)
            OnSearchTextChange(window);
        break;
    case IDC_CLEAR_SEARCH:
        OnClearSearch(window);
        break;
    case IDM_EJECT:
        OnEject(window);
        break;
    case IDM_EXIT:
        OnClose(window);
        break;
    case IDM_CHECK_UPDATES:
        StartUpdateCheck(0);
        break;
    case IDM_HELP_TOPICS:
        OpenHelpTopics(window);
        break;
    case IDM_ABOUT:
        ShowAboutBox(window);
        break;
    case IDM_GRID_LINES:
        ToggleGridLines(window);
        break;
    case IDM_WRITE_PLAYLISTS:
        ToggleWritePlaylists(window);
        break;
    case IDM_WRITE_LIBRARY_FILE:
        ToggleWriteLibraryFile(window);
        break;
    case IDM_SAVE_COVERS:
        ToggleSaveCovers(window);
        break;
    case IDM_PREFERENCES:
        OpenPreferences(window);
        break;
    default:
        // Tick and copy commands. Enter and Esc (1 and 2) do nothing.
        RunListCommand(window, id);
        break;
    }
    return TRUE;
}

// --- Notifications and timers ----------------------------------------------

void OnPlaylistSelected()
{
    // The tree can report its first selection before the library exists, and
    // reports the one a reload makes while the reload is still running.
    if (!LibraryInUse() && g_pLibrary)
        g_pLibrary->Refresh();
}

// The list's answers (a row found for type-ahead) go back through
// DWLP_MSGRESULT: the main window is a dialog.
INT_PTR OnMediaListNotify(HWND window, const NMHDR& header)
{
    LRESULT result = 0;
    if (g_pLibrary && OnMediaListNotify(*g_pLibrary, header, result))
        SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    else if (header.code == NM_RCLICK)
        ShowMediaListMenu(window);
    return TRUE;
}

INT_PTR OnNotify(HWND window, const NMHDR& header)
{
    if (header.idFrom == IDC_PLAYLIST_TREE && header.code == TVN_SELCHANGEDW)
        OnPlaylistSelected();
    else if (header.idFrom == IDC_MEDIA_LIST)
        return OnMediaListNotify(window, header);
    return TRUE;
}

void OnSearchTimer(HWND window)
{
    KillTimer(window, IDT_SEARCH);
    if (LibraryInUse() || !g_pLibrary)
        return;
    g_pLibrary->Refresh();
    UpdateStatusCounts();
}

INT_PTR OnTimer(HWND window, UINT_PTR timer)
{
    if (timer == IDT_SEARCH)
        OnSearchTimer(window);
    else if (timer == IDT_DRIVE_CHANGES)
        ApplyDriveChangesWhenIdle(window);
    return TRUE;
}

}  // namespace

bool StartWorker(LPTHREAD_START_ROUTINE proc, LPVOID parameter)
{
    HANDLE thread = CreateThread(nullptr, 0, proc, parameter, 0, nullptr);
    if (!thread)
        return false;
    CloseHandle(thread);
    return true;
}

HWND CreateMainWindow()
{
    return CreateDialogParamW(g_hInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDlgProc, 0);
}

INT_PTR CALLBACK MainDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(window);
    case WM_CLOSE:
        return OnClose(window);
    case WM_SIZE:
        return OnSize(wParam);
    case WM_GETMINMAXINFO:
        return OnGetMinMaxInfo(lParam);
    case WM_DPICHANGED:
        return OnDpiChanged(window, wParam, lParam);
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        return OnSplitterMouse(window, message);
    case WM_COMMAND:
        return OnCommand(window, LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
        return OnNotify(window, *reinterpret_cast<const NMHDR*>(lParam));
    case WM_TIMER:
        return OnTimer(window, wParam);
    case WM_DEVICECHANGE:
        return OnDeviceChange(window, wParam, lParam);
    default:
        return FALSE;
    }
}
