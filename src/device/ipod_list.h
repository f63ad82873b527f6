#pragma once
// Discovery of iPods attached as disk drives, and the scan and load workers.
#include "db/records.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <vector>

struct IpodEntry {
    wchar_t root[4] = {};   // "E:\"
    OwnedText name;         // DeviceInfo name or volume label; null when none
};

// The one list of detected iPods, bound to the main window's selector.
// Workers that still run when the program ends are not waited for; the
// program ends with ExitProcess, so the list is never destroyed under them.
class CIpodList {
public:
    CIpodList() = default;
    CIpodList(const CIpodList&) = delete;
    CIpodList& operator=(const CIpodList&) = delete;

    void AttachSelector(HWND selector) { m_selector = selector; }
    // The count found. `firstLetter`, when given, receives the drive letter of
    // the iPod the scan selects (the first found), read before the guard
    // drops: once it has, another scan may replace the entries.
    int32_t Scan(wchar_t* firstLetter = nullptr);
    const wchar_t* GetSelectedRoot() const;   // valid until the next scan
    // For drives that come and go between scans. Each takes the scan guard
    // and gives up (false) while a scan holds it; the selection stays on the
    // iPod it named, or on none when that one was removed.
    // Adds `entry` in drive-letter order unless its drive is listed already.
    bool Insert(std::unique_ptr<IpodEntry> entry);
    // Drops the iPod on `letter`; false when none is listed there.
    bool Remove(wchar_t letter);
    // Selects the iPod on `letter`; false when none is listed there.
    bool Select(wchar_t letter);
    const wchar_t* GetSelectedName() const;   // the same; null when the iPod has no name
    const std::vector<std::unique_ptr<IpodEntry>>& Entries() const { return m_entries; }

    // The guard that keeps a second scan out; exposed so that a caller can
    // tell whether a scan runs and tests can hold it.
    std::atomic<int32_t>& ScanGuard() { return m_scanGuard; }

private:
    void EmptySelector();
    void FillSelector();
    int IndexOf(wchar_t letter) const;   // -1 when not listed
    wchar_t SelectedLetter() const;      // 0 when none is selected
    void SelectLetter(wchar_t letter);   // none when it is not listed
    const IpodEntry* SelectedEntry() const;

    std::vector<std::unique_ptr<IpodEntry>> m_entries;
    HWND m_selector = nullptr;
    std::atomic<int32_t> m_scanGuard{0};
};

extern CIpodList g_ipodList;

// Probes one drive root ("E:\"); an entry with its name when the drive holds
// an iPod database, else null.
std::unique_ptr<IpodEntry> ProbeDrive(wchar_t letter);
// The name in a DeviceInfo file: its count of UTF-16 units, then the units.
// False when the file cannot be opened. A file shorter than its count gives
// the units it holds; an empty one gives an empty name.
bool ReadDeviceInfoName(const wchar_t* path, OwnedText* name);

// "E:\" for 'E' (either case), of static lifetime: a worker may hold it while
// a scan replaces the iPod list whose entries GetSelectedRoot points into.
// Null for anything but a letter.
const wchar_t* StaticDriveRoot(wchar_t letter);

void EnableIpodControls(BOOL enable);   // the selector and the Scan button
void EnableEjectItem(BOOL enable);      // the menu's Eject iPod item
void EnableMainControl(int id, BOOL enable);
DWORD WINAPI ScanThreadProc(LPVOID);
DWORD WINAPI LoadThreadProc(LPVOID root);
