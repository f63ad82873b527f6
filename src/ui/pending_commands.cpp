#include "ui/pending_commands.h"

#include "resource.h"
#include "ui/list_commands.h"

bool RunTickOrCopyCommand(HWND mainWnd, int id) { return RunListCommand(mainWnd, id); }

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

void OnMediaListClick(HWND mainWnd) { ArmSyncChecksTimer(mainWnd); }
void OnMediaListRightClick(HWND mainWnd) { ShowMediaListMenu(mainWnd); }

void OnSyncChecksTimer(HWND mainWnd) { OnSyncChecksExpired(mainWnd); }
