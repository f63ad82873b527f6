#include "backup/transfer_log_place.h"

#include "backup/transfer_log.h"

#include <shlobj.h>

namespace {

std::wstring CurrentDirectory()
{
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size == 0)
        return {};
    std::wstring folder(size, L'\0');
    const DWORD length = GetCurrentDirectoryW(size, folder.data());
    if (length == 0 || length >= size)   // failed, or changed to a longer one meanwhile
        return {};
    folder.resize(length);
    return folder;
}

std::wstring LocalAppData()
{
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return {};
    return folder;
}

bool MakeFolder(const std::wstring& folder)
{
    // A file of that name also "already exists": creating the log in it then fails.
    return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

std::wstring JoinPath(const std::wstring& folder, const wchar_t* name)
{
    if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/')
        return folder + name;
    return folder + L'\\' + name;
}

std::wstring PlaceTransferLog(const LogPlaceSystem& system)
{
    if (!system.currentDirectory.empty()) {
        const std::wstring here = JoinPath(system.currentDirectory, kTransferLogFileName);
        if (system.create(here))
            return here;
    }
    if (system.localAppData.empty())
        return {};
    const std::wstring folder = JoinPath(system.localAppData, kLogAppDataFolder);
    const std::wstring there = JoinPath(folder, kTransferLogFileName);
    if (system.makeFolder(folder) && system.create(there))
        return there;
    return {};
}

bool OpenTransferLog(CLog& log)
{
    const LogPlaceSystem system{CurrentDirectory(), LocalAppData(), MakeFolder,
                                [&log](const std::wstring& file) { return log.Open(file.c_str()); }};
    return !PlaceTransferLog(system).empty();
}
