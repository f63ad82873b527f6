#include "device/ipod_list.h"

#include "db/file_handle.h"
#include "library/app_globals.h"
#include "library/media_library.h"
#include "library/views.h"
#include "resource.h"

#include <algorithm>
#include <cstring>
#include <strsafe.h>   // after the standard headers, whose names it poisons

CIpodList g_ipodList;

namespace {

constexpr int kLabelCapacity = 32;

FileHandle OpenForReading(const wchar_t* path)
{
    return FileHandle(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool FormatOnRoot(wchar_t* path, const wchar_t* root, const wchar_t* below)
{
    return SUCCEEDED(StringCchPrintfW(path, MAX_PATH, L"%ls%ls", root, below));
}

// Reads up to `size` bytes; returns how many arrived.
DWORD ReadUpTo(HANDLE file, void* buffer, DWORD size)
{
    DWORD total = 0;
    while (total < size) {
        DWORD read = 0;
        if (!ReadFile(file, static_cast<uint8_t*>(buffer) + total, size - total, &read, nullptr) || read == 0)
            break;
        total += read;
    }
    return total;
}

OwnedText VolumeLabel(const wchar_t* root)
{
    OwnedText label(new wchar_t[kLabelCapacity]());
    if (!GetVolumeInformationW(root, label.get(), kLabelCapacity, nullptr, nullptr, nullptr, nullptr, 0))
        return nullptr;   // no name: the selector shows the root instead
    label[kLabelCapacity - 1] = L'\0';
    return label;
}

// "A:\" to "Z:\", built at compile time: never written, so any thread may
// hold one for as long as it likes.
struct DriveRootTable {
    constexpr DriveRootTable() : roots()
    {
        for (int i = 0; i < 26; ++i) {
            roots[i][0] = static_cast<wchar_t>(L'A' + i);
            roots[i][1] = L':';
            roots[i][2] = L'\\';
        }
    }
    wchar_t roots[26][4];
};
constexpr DriveRootTable kDriveRoots;

}  // namespace

void EnableEjectItem(BOOL enable)
{
    HMENU menu = g_hMainWnd ? GetMenu(g_hMainWnd) : nullptr;
    if (menu)
        EnableMenuItem(menu, IDM_EJECT, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

void EnableMainControl(int id, BOOL enable)
{
    HWND control = g_hMainWnd ? GetDlgItem(g_hMainWnd, id) : nullptr;
    if (control)
        EnableWindow(control, enable);
}

bool ReadDeviceInfoName(const wchar_t* path, OwnedText* name)
{
    FileHandle file = OpenForReading(path);
    if (!file.IsOpen())
        return false;
    uint8_t countBytes[2] = {};
    const DWORD countRead = ReadUpTo(file.Get(), countBytes, sizeof(countBytes));
    const uint32_t units = countRead == sizeof(countBytes) ? (countBytes[0] | (countBytes[1] << 8)) : 0;

    // Read no more than the file holds: a count beyond it gives the units
    // present, a half unit at the end keeps its low byte.
    LARGE_INTEGER fileSize = {};
    GetFileSizeEx(file.Get(), &fileSize);
    const int64_t available = std::max<int64_t>(0, fileSize.QuadPart - static_cast<int64_t>(countRead));
    const DWORD nameBytes = static_cast<DWORD>(std::min<int64_t>(available, 2 * static_cast<int64_t>(units)));
    const size_t bufferUnits = (nameBytes + 1) / 2 + 1;   // zero-filled, so always terminated
    OwnedText text(new wchar_t[bufferUnits]());
    ReadUpTo(file.Get(), text.get(), nameBytes);
    *name = std::move(text);
    return true;
}

std::unique_ptr<IpodEntry> ProbeDrive(wchar_t letter)
{
    const wchar_t root[4] = {letter, L':', L'\\', L'\0'};
    wchar_t path[MAX_PATH];
    if (!FormatOnRoot(path, root, L"iPod_Control\\iTunes\\iTunesDB"))
        return nullptr;
    // The open files close at once. Newer iPods keep their database in
    // iTunesCDB; their iTunesDB may be missing.
    if (!OpenForReading(path).IsOpen() &&
        (!FormatOnRoot(path, root, L"iPod_Control\\iTunes\\iTunesCDB") || !OpenForReading(path).IsOpen()))
        return nullptr;

    auto entry = std::make_unique<IpodEntry>();
    std::memcpy(entry->root, root, sizeof(root));
    if (!FormatOnRoot(path, root, L"iPod_Control\\iTunes\\DeviceInfo") ||
        !ReadDeviceInfoName(path, &entry->name))
        entry->name = VolumeLabel(root);
    return entry;
}

void CIpodList::EmptySelector()
{
    if (!m_selector)
        return;
    const int items = static_cast<int>(SendMessageW(m_selector, CB_GETCOUNT, 0, 0));
    for (int i = items - 1; i >= 0; --i)
        SendMessageW(m_selector, CB_DELETESTRING, i, 0);
}

void CIpodList::FillSelector()
{
    if (!m_selector)
        return;
    for (const auto& entry : m_entries) {
        const wchar_t* text = entry->name ? entry->name.get() : entry->root;
        SendMessageW(m_selector, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SendMessageW(m_selector, CB_SETCURSEL, 0, 0);
}

int32_t CIpodList::Scan(wchar_t* firstLetter)
{
    int32_t expected = 0;
    if (!m_scanGuard.compare_exchange_strong(expected, 1))
        return 0;
    // Probing a drive without a medium must not bring up the system's
    // critical-error box; the mode stays for the rest of the run.
    SetErrorMode(SEM_FAILCRITICALERRORS);

    EmptySelector();
    m_entries.clear();
    for (wchar_t letter = L'C'; letter <= L'Z'; ++letter) {
        auto entry = ProbeDrive(letter);
        if (entry)
            m_entries.push_back(std::move(entry));
    }
    const int32_t found = static_cast<int32_t>(m_entries.size());
    if (found > 0) {
        FillSelector();
        if (firstLetter)
            *firstLetter = m_entries.front()->root[0];
    }
    m_scanGuard = 0;
    return found;
}

const IpodEntry* CIpodList::SelectedEntry() const
{
    if (!m_selector || m_entries.empty())
        return nullptr;
    const LRESULT selected = SendMessageW(m_selector, CB_GETCURSEL, 0, 0);
    if (selected < 0 || selected >= static_cast<LRESULT>(m_entries.size()))
        return nullptr;
    return m_entries[static_cast<size_t>(selected)].get();
}

const wchar_t* CIpodList::GetSelectedRoot() const
{
    const IpodEntry* entry = SelectedEntry();
    return entry ? entry->root : nullptr;
}

const wchar_t* CIpodList::GetSelectedName() const
{
    const IpodEntry* entry = SelectedEntry();
    return entry ? entry->name.get() : nullptr;
}

int CIpodList::IndexOf(wchar_t letter) const
{
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i]->root[0] == letter)
            return static_cast<int>(i);
    }
    return -1;
}

wchar_t CIpodList::SelectedLetter() const
{
    const wchar_t* root = GetSelectedRoot();
    return root ? root[0] : L'\0';
}

void CIpodList::SelectLetter(wchar_t letter)
{
    if (m_selector)
        SendMessageW(m_selector, CB_SETCURSEL, static_cast<WPARAM>(IndexOf(letter)), 0);
}

bool CIpodList::Insert(std::unique_ptr<IpodEntry> entry)
{
    int32_t expected = 0;
    if (!entry || IndexOf(entry->root[0]) >= 0 || !m_scanGuard.compare_exchange_strong(expected, 1))
        return false;
    const wchar_t selected = SelectedLetter();
    const auto place = std::find_if(m_entries.begin(), m_entries.end(),
                                    [&](const auto& listed) { return listed->root[0] > entry->root[0]; });
    const auto index = static_cast<WPARAM>(place - m_entries.begin());
    const IpodEntry& added = **m_entries.insert(place, std::move(entry));
    if (m_selector) {
        const wchar_t* text = added.name ? added.name.get() : added.root;
        SendMessageW(m_selector, CB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text));
        SelectLetter(selected);
    }
    m_scanGuard = 0;
    return true;
}

bool CIpodList::Remove(wchar_t letter)
{
    const int index = IndexOf(letter);
    int32_t expected = 0;
    if (index < 0 || !m_scanGuard.compare_exchange_strong(expected, 1))
        return false;
    const wchar_t selected = SelectedLetter();
    if (m_selector)
        SendMessageW(m_selector, CB_DELETESTRING, static_cast<WPARAM>(index), 0);
    m_entries.erase(m_entries.begin() + index);
    SelectLetter(selected);
    m_scanGuard = 0;
    return true;
}

bool CIpodList::Select(wchar_t letter)
{
    if (IndexOf(letter) < 0)
        return false;
    SelectLetter(letter);
    return true;
}

const wchar_t* StaticDriveRoot(wchar_t letter)
{
    if (letter >= L'a' && letter <= L'z')
        letter = static_cast<wchar_t>(letter - L'a' + L'A');
    if (letter < L'A' || letter > L'Z')
        return nullptr;
    return kDriveRoots.roots[letter - L'A'];
}

void EnableIpodControls(BOOL enable)
{
    EnableMainControl(IDC_IPOD_SELECTOR, enable);
    EnableMainControl(IDC_SCAN, enable);
}

DWORD WINAPI ScanThreadProc(LPVOID)
{
    g_busy = 1;
    EnableIpodControls(FALSE);
    EnableEjectItem(FALSE);
    SetStatusText(2, L"Scanning for iPods");
    // The letter comes from the scan itself: a scan started elsewhere (during
    // an eject) may replace the list before GetSelectedRoot could be read.
    wchar_t first = L'\0';
    if (g_ipodList.Scan(&first) > 0) {
        LoadIpodDatabase(StaticDriveRoot(first));
        EnableEjectItem(TRUE);
        EnableMainControl(IDC_IPOD_SELECTOR, TRUE);
    }
    EnableMainControl(IDC_SCAN, TRUE);
    SetStatusText(2, L"");
    UpdateStatusCounts();
    g_busy = 0;
    return 0;
}

DWORD WINAPI LoadThreadProc(LPVOID root)
{
    g_busy = 1;
    EnableIpodControls(FALSE);
    EnableEjectItem(FALSE);
    // A copy, so that the load does not read the list's entry while a scan
    // started elsewhere (the eject's rescan) replaces it.
    wchar_t rootCopy[4] = {};
    if (root)
        StringCchCopyW(rootCopy, ARRAYSIZE(rootCopy), static_cast<const wchar_t*>(root));
    LoadIpodDatabase(root ? rootCopy : nullptr);
    UpdateStatusCounts();
    EnableIpodControls(TRUE);
    EnableEjectItem(TRUE);
    g_busy = 0;
    return 0;
}
