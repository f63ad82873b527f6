#include "ui/list_commands.h"

#include "backup/copy_job.h"
#include "backup/copy_progress_dialog.h"
#include "backup/folder_browser.h"
#include "backup/transfer_log.h"
#include "db/scoped_handle.h"
#include "library/app_globals.h"
#include "library/media_library.h"
#include "library/views.h"
#include "resource.h"

#include <commctrl.h>
#include <strsafe.h>

namespace {

constexpr UINT kUnticked = 1;
constexpr UINT kTicked = 2;

INT_PTR RunCopyDialog(HWND owner)
{
    return DialogBoxParamW(g_hInstance, MAKEINTRESOURCEW(IDD_COPY_PROGRESS), owner, CopyProgressDlgProc, 0);
}

HWND MediaList(HWND mainWnd) { return GetDlgItem(mainWnd, IDC_MEDIA_LIST); }

int RowCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

void SetRowStateImage(HWND list, int row, UINT image)
{
    LVITEMW item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(image);
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

UINT RowStateImage(HWND list, int row)
{
    const UINT state = static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
    return (state & LVIS_STATEIMAGEMASK) >> 12;
}

// Copies the marks into the tracks and shows the new counts.
void SyncAndCount()
{
    if (g_pLibrary)
        g_pLibrary->SyncChecks();
    UpdateStatusCounts();
}

void RunTickCommand(HWND mainWnd, int id)
{
    const HWND list = MediaList(mainWnd);
    switch (id) {
    case IDM_CHECK_ALL:
    case IDM_LIST_CHECK_ALL:
        SetAllRowChecks(list, true);
        break;
    case IDM_UNCHECK_ALL:
    case IDM_LIST_UNCHECK_ALL:
        SetAllRowChecks(list, false);
        break;
    case IDM_INVERT_CHECKS:
    case IDM_LIST_INVERT_CHECKS:
        InvertRowChecks(list);
        break;
    case IDM_LIST_CHECK_SELECTION:
        SetSelectedRowChecks(list, true);
        break;
    default:   // IDM_LIST_UNCHECK_SELECTION
        SetSelectedRowChecks(list, false);
        break;
    }
    SyncAndCount();
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

void SetAllRowChecks(HWND list, bool ticked) { SetRowStateImage(list, -1, ticked ? kTicked : kUnticked); }

void InvertRowChecks(HWND list)
{
    for (int row = RowCount(list) - 1; row >= 0; --row)
        SetRowStateImage(list, row, RowStateImage(list, row) == kUnticked ? kTicked : kUnticked);
}

void SetSelectedRowChecks(HWND list, bool ticked)
{
    for (int row = RowCount(list) - 1; row >= 0; --row) {
        if (SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED)
            SetRowStateImage(list, row, ticked ? kTicked : kUnticked);
    }
}

bool IsRowTicked(HWND list, int row) { return RowStateImage(list, row) != kUnticked; }

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

void ArmSyncChecksTimer(HWND mainWnd)
{
    if (g_busy)
        return;
    SetTimer(mainWnd, IDT_SYNC_CHECKS, kSyncChecksDelayMs, nullptr);   // restarts a running one
}

void OnSyncChecksExpired(HWND mainWnd)
{
    // While a worker may rebuild the library the marks wait for the next
    // expiry instead of being dropped: when the worker leaves the library as
    // it was (a failed eject, a scan that found nothing) the click still counts,
    // and after a reload the read-back finds the marks the reload drew.
    if (LibraryInUse()) {
        SetTimer(mainWnd, IDT_SYNC_CHECKS, kSyncChecksDelayMs, nullptr);
        return;
    }
    SyncAndCount();
    KillTimer(mainWnd, IDT_SYNC_CHECKS);
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
