#include "support/test_drives.h"

#include "ipodgen/sample_ipod.h"
#include "support/test_support.h"

#include <windows.h>

namespace testing_support {

const wchar_t* const kTestDrives[5] = {L"B:", L"E:", L"F:", L"G:", L"H:"};

void EmptyDrive(const wchar_t* drive)
{
    WIN32_FIND_DATAW entry;
    const std::wstring root = std::wstring(drive) + L"\\";
    HANDLE find = FindFirstFileW((root + L"*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L".." || name == L".windows-label")
            continue;   // the prefix's label, read only when Wine starts, stays
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            RemoveTree(root + name);
        else
            DeleteFileW((root + name).c_str());
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

void EmptyTestDrives()
{
    for (const wchar_t* drive : kTestDrives)
        EmptyDrive(drive);
}

bool MakeIpod(const wchar_t* root, int tracks, std::optional<std::wstring> name)
{
    ipodgen::SampleIpodOptions options;
    options.trackCount = tracks;
    options.deviceName = std::move(name);
    options.mediaFiles = false;
    return ipodgen::CreateSampleIpod(root, options);
}

}  // namespace testing_support
