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

class CIpodList {
public:
    void AttachSelector(HWND selector) { m_selector = selector; }
    int32_t Scan();
    const wchar_t* GetSelectedRoot() const;   // valid until the next scan
    const std::vector<std::unique_ptr<IpodEntry>>& Entries() const { return m_entries; }

private:
    std::vector<std::unique_ptr<IpodEntry>> m_entries;
    HWND m_selector = nullptr;
    std::atomic<int32_t> m_scanGuard{0};
};

extern CIpodList g_ipodList;

void EnableIpodControls(BOOL enable);
DWORD WINAPI ScanThreadProc(LPVOID);
DWORD WINAPI LoadThreadProc(LPVOID root);
