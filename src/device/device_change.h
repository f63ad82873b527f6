#pragma once
// Drives that come and go while the program runs: the volume arrivals and
// removals that WM_DEVICECHANGE reports, applied to the iPod list, its
// selector and the library.
#include <windows.h>

// Drive letters as bits, bit 0 for A:, as a DEV_BROADCAST_VOLUME gives them.
using DriveMask = DWORD;

constexpr DriveMask DriveBit(wchar_t letter)
{
    return (letter >= L'A' && letter <= L'Z') ? DriveMask{1} << (letter - L'A') : 0;
}

struct VolumeChange {
    bool arrival = false;
    DriveMask drives = 0;
};

// Reads a WM_DEVICECHANGE: true for the arrival or removal of local volumes
// among the drives discovery probes (C: to Z:). Network volumes, other kinds
// of device and other events give false.
bool ReadVolumeChange(WPARAM event, LPARAM data, VolumeChange& change);

// The changes that wait while a worker or a copy run uses the list or the
// library. User-interface thread only.
class CPendingDriveChanges {
public:
    // A removal cancels an arrival not yet probed. An arrival after a removal
    // keeps both, since the drive may now hold another iPod: removals are
    // taken and applied before arrivals.
    void Note(const VolumeChange& change);
    bool Empty() const { return m_arrived == 0 && m_removed == 0; }
    DriveMask TakeArrivals();
    DriveMask TakeRemovals();

private:
    DriveMask m_arrived = 0;
    DriveMask m_removed = 0;
};

extern CPendingDriveChanges g_pendingDriveChanges;

// The drives leave the list and the selector. The loaded iPod's drive also
// empties the library as a successful eject does, and the status bar says
// "iPod removed". User-interface thread, while no worker runs.
void ApplyDriveRemovals(DriveMask drives);

// Probes the drives of its parameter (a DriveMask) as a scan probes a drive
// and adds the iPods found to the list, keeping the selection; the first new
// one is selected and loaded only when no iPod was loaded. Holds g_busy.
DWORD WINAPI ArrivalThreadProc(LPVOID drives);

// The selector, the Scan button and the Eject item as the list and the
// selection now stand.
void ShowIpodControlsForList();
