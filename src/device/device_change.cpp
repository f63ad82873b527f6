#include "device/device_change.h"

#include "device/ipod_list.h"
#include "library/app_globals.h"
#include "library/media_library.h"
#include "library/views.h"
#include "resource.h"

#include <dbt.h>

CPendingDriveChanges g_pendingDriveChanges;

namespace {

// A and B are never probed, as in a scan.
constexpr DriveMask kProbedDrives = 0x03FFFFFCu;

template <class Visit>
void ForEachDrive(DriveMask drives, Visit&& visit)
{
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        if (drives & DriveBit(letter))
            visit(letter);
    }
}

}  // namespace

bool ReadVolumeChange(WPARAM event, LPARAM data, VolumeChange& change)
{
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE)
        return false;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (!header || header->dbch_devicetype != DBT_DEVTYP_VOLUME || header->dbch_size < sizeof(DEV_BROADCAST_VOLUME))
        return false;
    const auto* volume = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(data);
    if (volume->dbcv_flags & DBTF_NET)
        return false;
    change.arrival = event == DBT_DEVICEARRIVAL;
    change.drives = volume->dbcv_unitmask & kProbedDrives;
    return change.drives != 0;
}

void CPendingDriveChanges::Note(const VolumeChange& change)
{
    if (change.arrival) {
        m_arrived |= change.drives;
    } else {
        m_removed |= change.drives;
        m_arrived &= ~change.drives;
    }
}

DriveMask CPendingDriveChanges::TakeArrivals()
{
    const DriveMask drives = m_arrived;
    m_arrived = 0;
    return drives;
}

DriveMask CPendingDriveChanges::TakeRemovals()
{
    const DriveMask drives = m_removed;
    m_removed = 0;
    return drives;
}

void ShowIpodControlsForList()
{
    EnableMainControl(IDC_IPOD_SELECTOR, g_ipodList.Entries().empty() ? FALSE : TRUE);
    EnableMainControl(IDC_SCAN, TRUE);
    EnableEjectItem(g_ipodList.GetSelectedRoot() ? TRUE : FALSE);
}

void ApplyDriveRemovals(DriveMask drives)
{
    bool changed = false;
    ForEachDrive(drives, [&](wchar_t letter) { changed = g_ipodList.Remove(letter) || changed; });
    const bool loadedRemoved = (drives & DriveBit(g_loadedDrive)) != 0;
    if (loadedRemoved) {
        EmptyLibrary();
        SetStatusText(2, L"iPod removed");
    }
    if (changed || loadedRemoved)
        ShowIpodControlsForList();
}

DWORD WINAPI ArrivalThreadProc(LPVOID parameter)
{
    const auto drives = static_cast<DriveMask>(reinterpret_cast<ULONG_PTR>(parameter));
    g_busy = 1;
    EnableIpodControls(FALSE);
    EnableEjectItem(FALSE);
    SetErrorMode(SEM_FAILCRITICALERRORS);   // as the scan: no box for a drive without a medium
    wchar_t firstAdded = L'\0';
    ForEachDrive(drives, [&](wchar_t letter) {
        if (g_ipodList.Insert(ProbeDrive(letter)) && !firstAdded)
            firstAdded = letter;
    });
    if (firstAdded && g_loadedDrive == 0 && g_ipodList.Select(firstAdded)) {
        LoadIpodDatabase(StaticDriveRoot(firstAdded));
        UpdateStatusCounts();
    } else if (!g_ipodList.GetSelectedRoot()) {
        // The iPod whose tracks a scan that found nothing left listed is back.
        g_ipodList.Select(g_loadedDrive);
    }
    ShowIpodControlsForList();
    g_busy = 0;
    return 0;
}
