#include "settings/settings.h"

#include "db/scoped_handle.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <strsafe.h>

Settings g_settings;

namespace {

// Opens (creating when missing) the preferences key; an empty owner when
// that fails, and every read or write then keeps to its default.
ScopedRegistryKey OpenSettingsKey(REGSAM access)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, settings_names::kKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return ScopedRegistryKey();
    return ScopedRegistryKey(key);
}

void CopyDefaultText(wchar_t* buffer, DWORD capacity, const wchar_t* defaultText)
{
    // Cutting an over-long default is intended: the buffer's size is the limit.
    StringCchCopyW(buffer, capacity, defaultText ? defaultText : L"");
}

// The registry hands back raw bytes with no promise of a terminator. A text
// that fills the whole buffer has no room for one and counts as too long.
bool TerminateStoredText(wchar_t* buffer, DWORD capacity, DWORD byteCount)
{
    const DWORD units = byteCount / sizeof(wchar_t);
    if (units < capacity) {
        buffer[units] = L'\0';
        return true;
    }
    return buffer[capacity - 1] == L'\0';
}

}  // namespace

BOOL RegReadString(HKEY key, const wchar_t* name, wchar_t* buffer, DWORD capacity, const wchar_t* defaultText)
{
    if (!buffer || capacity == 0)
        return FALSE;
    CopyDefaultText(buffer, capacity, defaultText);
    if (!key)
        return FALSE;
    DWORD byteCount = capacity * sizeof(wchar_t);
    const LSTATUS status =
        RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &byteCount);
    if (status == ERROR_SUCCESS && TerminateStoredText(buffer, capacity, byteCount))
        return TRUE;
    // A failed query may have left part of the stored bytes behind.
    CopyDefaultText(buffer, capacity, defaultText);
    return FALSE;
}

BOOL RegReadDword(HKEY key, const wchar_t* name, DWORD* value, DWORD defaultValue)
{
    if (!value)
        return FALSE;
    *value = defaultValue;
    if (!key)
        return FALSE;
    DWORD byteCount = sizeof(DWORD);
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &byteCount) ==
        ERROR_SUCCESS)
        return TRUE;
    *value = defaultValue;
    return FALSE;
}

BOOL RegWriteString(HKEY key, const wchar_t* name, const wchar_t* text)
{
    if (!key || !text)
        return FALSE;
    const DWORD byteCount = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), byteCount) == ERROR_SUCCESS;
}

BOOL RegWriteDword(HKEY key, const wchar_t* name, DWORD value)
{
    if (!key)
        return FALSE;
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
           ERROR_SUCCESS;
}

void GetDefaultBackupFolder(wchar_t (&folder)[kPathCapacity])
{
    folder[0] = L'\0';
    static_assert(kPathCapacity >= MAX_PATH, "the shell writes up to MAX_PATH units");
    // A half-made folder (the documents folder alone, or a bare relative
    // name) would send copies somewhere the user never chose: all or nothing.
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PERSONAL, TRUE) ||
        !PathAppendW(folder, settings_defaults::kBackupFolderName) || !PathAddBackslashW(folder))
        folder[0] = L'\0';
}

void Settings::Load()
{
    namespace names = settings_names;
    namespace defaults = settings_defaults;
    const ScopedRegistryKey key = OpenSettingsKey(KEY_READ);
    RegReadString(key.Get(), names::kDefaultDestPath, DefaultDestPath, kPathCapacity, defaults::kDefaultDestPath);
    RegReadString(key.Get(), names::kNamingConvertion, NamingConvertion, kPathCapacity, defaults::kNamingConvertion);
    RegReadDword(key.Get(), names::kGridLines, &GridLines, defaults::kGridLines);
    RegReadDword(key.Get(), names::kEnableTooltips, &EnableTooltips, defaults::kEnableTooltips);
    RegReadDword(key.Get(), names::kStartupIpodScan, &StartupIpodScan, defaults::kStartupIpodScan);
    RegReadDword(key.Get(), names::kCheckForUpdates, &CheckForUpdates, defaults::kCheckForUpdates);
    RegReadDword(key.Get(), names::kTransferOverwrite, &TransferOverwrite, defaults::kTransferOverwrite);
    RegReadDword(key.Get(), names::kAskForDestPath, &AskForDestPath, defaults::kAskForDestPath);
    RegReadDword(key.Get(), names::kWritePlaylists, &WritePlaylists, defaults::kWritePlaylists);
    RegReadDword(key.Get(), names::kWriteLibraryFile, &WriteLibraryFile, defaults::kWriteLibraryFile);
    RegReadDword(key.Get(), names::kSaveCovers, &SaveCovers, defaults::kSaveCovers);
    if (DefaultDestPath[0] == L'\0')
        GetDefaultBackupFolder(DefaultDestPath);
}

void Settings::Save()
{
    namespace names = settings_names;
    const ScopedRegistryKey key = OpenSettingsKey(KEY_WRITE);
    RegWriteString(key.Get(), names::kDefaultDestPath, DefaultDestPath);
    RegWriteString(key.Get(), names::kNamingConvertion, NamingConvertion);
    RegWriteDword(key.Get(), names::kGridLines, GridLines);
    RegWriteDword(key.Get(), names::kEnableTooltips, EnableTooltips);
    RegWriteDword(key.Get(), names::kStartupIpodScan, StartupIpodScan);
    RegWriteDword(key.Get(), names::kCheckForUpdates, CheckForUpdates);
    RegWriteDword(key.Get(), names::kTransferOverwrite, TransferOverwrite);
    RegWriteDword(key.Get(), names::kAskForDestPath, AskForDestPath);
    RegWriteDword(key.Get(), names::kWritePlaylists, WritePlaylists);
    RegWriteDword(key.Get(), names::kWriteLibraryFile, WriteLibraryFile);
    RegWriteDword(key.Get(), names::kSaveCovers, SaveCovers);
}
