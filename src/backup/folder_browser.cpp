#include "backup/folder_browser.h"

#include <objbase.h>
#include <shlobj.h>
#include <strsafe.h>

#include <cwchar>

namespace {

const wchar_t kBrowseTitle[] = L"Select a destination folder to copy your music and videos";

// BIF_NEWDIALOGSTYLE | BIF_EDITBOX | BIF_STATUSTEXT: a folder can be made,
// and a name typed. Virtual folders stay choosable; they are refused after.
constexpr UINT kBrowseFlags = 0x54;

class ComScope {
public:
    ComScope() : m_initialised(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComScope()
    {
        if (m_initialised)
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool m_initialised;
};

// The chooser's result, freed with the shell's allocator.
class ItemIdList {
public:
    explicit ItemIdList(PIDLIST_ABSOLUTE list) : m_list(list) {}
    ~ItemIdList()
    {
        IMalloc* allocator = nullptr;
        if (m_list && SUCCEEDED(SHGetMalloc(&allocator))) {
            allocator->Free(m_list);
            allocator->Release();
        }
    }
    ItemIdList(const ItemIdList&) = delete;
    ItemIdList& operator=(const ItemIdList&) = delete;

    PIDLIST_ABSOLUTE Get() const { return m_list; }

private:
    PIDLIST_ABSOLUTE m_list;
};

}  // namespace

bool FinishFolderPath(wchar_t (&path)[kPathCapacity])
{
    const size_t length = wcsnlen(path, kPathCapacity);
    if (length == 0 || length == kPathCapacity)
        return false;
    if (path[length - 1] == L'\\')
        return true;
    if (length + 1 >= kPathCapacity)
        return false;
    path[length] = L'\\';
    path[length + 1] = L'\0';
    return true;
}

bool BrowseForFolder(HWND owner, wchar_t (&folder)[kPathCapacity])
{
    ComScope com;
    // The chooser writes the display name into its buffer: a scratch one, so
    // that a cancel or a refused choice leaves the caller's folder as it was.
    wchar_t displayName[kPathCapacity] = {};
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = kBrowseTitle;
    info.ulFlags = kBrowseFlags;
    ItemIdList chosen(SHBrowseForFolderW(&info));
    if (!chosen.Get())
        return false;
    wchar_t path[kPathCapacity] = {};
    if (!SHGetPathFromIDListW(chosen.Get(), path) || !FinishFolderPath(path))
        return false;
    StringCchCopyW(folder, kPathCapacity, path);
    return true;
}
