#include "ui/pending_commands.h"

#include "resource.h"

bool RunTickOrCopyCommand(HWND, int id)
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
    case IDC_COPY:
    case IDM_COPY:
    case IDM_LIST_COPY:
        return true;   // not written yet: the command does nothing
    default:
        return false;
    }
}

bool RunOtherMenuCommand(HWND, int id)
{
    switch (id) {
    case IDM_EJECT:
    case IDM_HELP_TOPICS:
    case IDM_ABOUT:
    case IDM_GRID_LINES:
    case IDM_PREFERENCES:
        return true;   // not written yet: the command does nothing
    default:
        return false;
    }
}

void OnMediaListClick(HWND) {}
void OnMediaListRightClick(HWND) {}

void OnSyncChecksTimer(HWND mainWnd) { KillTimer(mainWnd, IDT_SYNC_CHECKS); }
