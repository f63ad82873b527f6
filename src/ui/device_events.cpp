#include "ui/device_events.h"

#include "backup/copy_job.h"
#include "device/device_change.h"
#include "device/ipod_list.h"
#include "library/app_globals.h"
#include "resource.h"
#include "ui/main_window.h"

namespace {

bool DriveWorkRunning()
{
    return LibraryInUse() || g_ipodList.ScanGuard() != 0 || CopyRunActive(g_copyJob);
}

// The run goes on (its items fail as read errors do); its end learns why.
// The list is read only during a run: scans and probes, which change it on
// their workers, never run then.
void NoteCopySourceRemoved(DriveMask drives)
{
    if (!CopyRunActive(g_copyJob))
        return;
    const wchar_t* source = g_ipodList.GetSelectedRoot();
    if (source && (drives & DriveBit(source[0])))
        g_copyJob.sourceRemoved = 1;
}

void StartArrivalProbe(DriveMask drives)
{
    // Claimed here, as for the scan, so that no command starts a worker
    // before this one has set it itself.
    g_busy = 1;
    if (!StartWorker(ArrivalThreadProc, reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(drives))))
        g_busy = 0;
}

}  // namespace

INT_PTR OnDeviceChange(HWND mainWnd, WPARAM event, LPARAM data)
{
    VolumeChange change;
    if (!ReadVolumeChange(event, data, change))
        return FALSE;
    if (!change.arrival)
        NoteCopySourceRemoved(change.drives);
    g_pendingDriveChanges.Note(change);
    ApplyDriveChangesWhenIdle(mainWnd);
    return TRUE;
}

void ApplyDriveChangesWhenIdle(HWND mainWnd)
{
    if (!g_pendingDriveChanges.Empty() && DriveWorkRunning()) {
        SetTimer(mainWnd, IDT_DRIVE_CHANGES, kDriveChangeRetryMs, nullptr);
        return;
    }
    KillTimer(mainWnd, IDT_DRIVE_CHANGES);
    ApplyDriveRemovals(g_pendingDriveChanges.TakeRemovals());
    const DriveMask arrivals = g_pendingDriveChanges.TakeArrivals();
    if (arrivals)
        StartArrivalProbe(arrivals);
}
