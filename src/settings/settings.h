#pragma once
// The user's preferences: loaded once at start-up, saved by the Preferences
// dialog's OK and when the main window closes.
#include <windows.h>

constexpr DWORD kPathCapacity = 260;   // units, terminator included

// Where the preferences live and what each value is called. Stored values
// outlive any one version of the program, so these names never change.
namespace settings_names {
constexpr wchar_t kKeyPath[] = L"SOFTWARE\\Quillmere\\Savanto";
constexpr wchar_t kDefaultDestPath[] = L"DefaultDestPath";
constexpr wchar_t kNamingConvertion[] = L"NamingConvertion";
constexpr wchar_t kGridLines[] = L"GridLines";
constexpr wchar_t kEnableTooltips[] = L"EnableTooltips";
constexpr wchar_t kStartupIpodScan[] = L"StartupIpodScan";
constexpr wchar_t kCheckForUpdates[] = L"CheckForUpdates";
constexpr wchar_t kTransferOverwrite[] = L"TransferOverwrite";
constexpr wchar_t kAskForDestPath[] = L"AskForDestPath";
constexpr wchar_t kWritePlaylists[] = L"WritePlaylists";
constexpr wchar_t kWriteLibraryFile[] = L"WriteLibraryFile";
constexpr wchar_t kSaveCovers[] = L"SaveCovers";
}  // namespace settings_names

namespace settings_defaults {
constexpr wchar_t kDefaultDestPath[] = L"";   // completed by Load
constexpr wchar_t kNamingConvertion[] = L"<artist> - <album>\\<track> - <title>";
constexpr wchar_t kBackupFolderName[] = L"iPod Music Backup";
constexpr DWORD kGridLines = 1;
constexpr DWORD kEnableTooltips = 1;
constexpr DWORD kStartupIpodScan = 1;
constexpr DWORD kCheckForUpdates = 1;
constexpr DWORD kTransferOverwrite = 1;
constexpr DWORD kAskForDestPath = 1;
constexpr DWORD kWritePlaylists = 0;
constexpr DWORD kWriteLibraryFile = 0;
// On: the covers are what a rescued library lacks most, and folder.jpg
// never replaces a file.
constexpr DWORD kSaveCovers = 1;
}  // namespace settings_defaults

// TransferOverwrite holds 1 when existing files are left alone; any other
// value, 2 included, means they are overwritten.
constexpr DWORD kTransferIgnoreExisting = 1;

struct Settings {
    wchar_t DefaultDestPath[kPathCapacity] = {};
    wchar_t NamingConvertion[kPathCapacity] = {};
    DWORD GridLines = settings_defaults::kGridLines;
    DWORD EnableTooltips = settings_defaults::kEnableTooltips;
    DWORD StartupIpodScan = settings_defaults::kStartupIpodScan;
    DWORD CheckForUpdates = settings_defaults::kCheckForUpdates;
    DWORD TransferOverwrite = settings_defaults::kTransferOverwrite;   // exactly 1: skip existing files; else overwrite
    DWORD AskForDestPath = settings_defaults::kAskForDestPath;
    DWORD WritePlaylists = settings_defaults::kWritePlaylists;   // .m3u8 files beside a completed backup
    DWORD WriteLibraryFile = settings_defaults::kWriteLibraryFile;   // "<iPod> Library.xml" beside it
    DWORD SaveCovers = settings_defaults::kSaveCovers;   // each album's folder.jpg from the iPod's artwork

    void Load();
    void Save();
};

extern Settings g_settings;

// The documents folder followed by "iPod Music Backup\"; empty when the
// documents folder cannot be found.
void GetDefaultBackupFolder(wchar_t (&folder)[kPathCapacity]);

BOOL RegReadString(HKEY key, const wchar_t* name, wchar_t* buffer, DWORD capacity, const wchar_t* defaultText);
BOOL RegReadDword(HKEY key, const wchar_t* name, DWORD* value, DWORD defaultValue);
BOOL RegWriteString(HKEY key, const wchar_t* name, const wchar_t* text);
BOOL RegWriteDword(HKEY key, const wchar_t* name, DWORD value);
