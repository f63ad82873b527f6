#include "ui/list_commands.h"

#include "backup/copy_job.h"
#include "backup/copy_progress_dialog.h"
#include "backup/folder_browser.h"
#include "backup/transfer_log.h"
#include "db/scoped_handle.h"
#include "library/app_globals.h"
#include "library/media_library.h"
#include "library/media_list.h"
#include "library/views.h"
#include "resource.h"

#include <commctrl.h>
#include <strsafe.h>

namespace {

INT_PTR RunCopyDialog(HWND owner)
{
    return DialogBoxParamW(g_hInstance, MAKEINTRESOURCEW(IDD_COPY_PROGRESS), owner, CopyProgressDlgProc, 0);
}

HWND MediaList(HWND mainWnd) { return GetDlgItem(mainWnd, IDC_MEDIA_LIST); }

// Each command changes the library's ticks of the rows shown, which redraws
// the list once.
void RunTickCommand(HWND mainWnd, int id)
{
    if (!g_pLibrary)
        return;
    CMediaLibrary& library = *g_pLibrary;
    switch (id) {
    case IDM_CHECK_ALL:
    case IDM_LIST_CHECK_ALL:
        library.SetShownTicks(true);
        break;
    case IDM_UNCHECK_ALL:
    case IDM_LIST_UNCHECK_ALL:
        library.SetShownTicks(false);
        break;
    case IDM_INVERT_CHECKS:
    case IDM_LIST_INVERT_CHECKS:
        library.InvertShownTicks();
        break;
    case IDM_LIST_CHECK_SELECTION:
        library.SetRowTicks(SelectedRows(MediaList(mainWnd)), true);
        break;
    default:   // IDM_LIST_UNCHECK_SELECTION
        library.SetRowTicks(SelectedRows(MediaList(mainWnd)), false);
        break;
    }
    UpdateStatusCounts();
}

const wchar_t kNoDefaultFolder[] =
    L"There is no default folder to copy to. Choose one in Preferences, or let Savanto ask for a folder.";

// An empty default folder would send the copies into the current directory:
// the one the settings load fills in takes its place.
bool TakeDefaultFolder(wchar_t (&folder)[kPathCapacity])
{
    SecureZeroMemory(folder, sizeof(folder));
    if (g_settings.DefaultDestPath[0])
        return SUCCEEDED(StringCchCopyW(folder, kPathCapacity, g_settings.DefaultDestPath));
    GetDefaultBackupFolder(folder);
    return folder[0] != L'\0';
}

// A run whose copies did not all land says so, after its dialog is gone.
void ReportFailedRun(HWND mainWnd, CopyCommandActions& actions)
{
    FailedRunReport report;
    if (!FailedRunOf(g_copyJob, report))
        return;
    report.logPath = g_log.WrittenPath();   // where the run's log went, if anywhere
    actions.messageBox(mainWnd, FailedRunMessage(report).c_str(), L"Savanto", MB_ICONWARNING);
}

}  // namespace

CopyCommandActions& CopyCommands()
{
    static CopyCommandActions actions = {MessageBoxW, BrowseForFolder, RunCopyDialog};
    return actions;
}

bool IsRowTicked(HWND list, int row)
{
    const UINT state = static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
    return (state & LVIS_STATEIMAGEMASK) != INDEXTOSTATEIMAGEMASK(1);
}

bool RunListCommand(HWND mainWnd, int id)
{
    switch (id) {
    case IDM_CHECK_ALL:
    case IDM_LIST_CHECK_ALL:
    case IDM_UNCHECK_ALL:
    case IDM_LIST_UNCHECK_ALL:
    case IDM_INVERT_CHECKS:
    case IDM_LIST_INVERT_CHECKS:
    case IDM_LIST_CHECK_SELECTION:
    case IDM_LIST_UNCHECK_SELECTION:
        if (!LibraryInUse())
            RunTickCommand(mainWnd, id);
        return true;
    case IDC_COPY:
    case IDM_COPY:
    case IDM_LIST_COPY:
        // Also refused while an eject runs: the copy worker keeps pointers to
        // tracks that the eject's reload would free.
        if (!LibraryInUse())
            CopyCheckedItems(mainWnd);
        return true;
    default:
        return false;
    }
}

void CopyCheckedItems(HWND mainWnd)
{
    CopyCommandActions& actions = CopyCommands();
    if (!g_pLibrary || g_pLibrary->GetCheckedCount() == 0) {
        actions.messageBox(mainWnd, L"No media checked for transfer", L"Savanto", MB_ICONWARNING);
        return;
    }
    if (g_settings.AskForDestPath) {
        if (!actions.browseForFolder(mainWnd, g_copyJob.destinationFolder))
            return;
    } else if (!TakeDefaultFolder(g_copyJob.destinationFolder)) {
        actions.messageBox(mainWnd, kNoDefaultFolder, L"Savanto", MB_ICONWARNING);
        return;
    }
    // The run's outcome decides, not the button that ended the dialog: Cancel
    // pressed as the run ended still leaves a finished run to report.
    actions.runCopyDialog(mainWnd);
    ReportFailedRun(mainWnd, actions);
}

void PrepareListMenu(HMENU popup, HWND list)
{
    if (SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) == 0) {
        EnableMenuItem(popup, IDM_LIST_CHECK_SELECTION, MF_BYCOMMAND | MF_GRAYED);
        EnableMenuItem(popup, IDM_LIST_UNCHECK_SELECTION, MF_BYCOMMAND | MF_GRAYED);
    }
}

void ShowMediaListMenu(HWND mainWnd)
{
    ScopedMenu menu(LoadMenuW(g_hInstance, MAKEINTRESOURCEW(IDR_LIST_MENU)));
    const HMENU popup = menu.Get() ? GetSubMenu(menu.Get(), 0) : nullptr;
    if (!popup)
        return;
    PrepareListMenu(popup, MediaList(mainWnd));
    POINT cursor = {};
    GetCursorPos(&cursor);
    // Foreground first, or the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(mainWnd);
    TrackPopupMenu(popup, TPM_LEFTBUTTON, cursor.x, cursor.y, 0, mainWnd, nullptr);
    SetForegroundWindow(mainWnd);
}
