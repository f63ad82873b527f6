#include "backup/run_files.h"

#include "backup/playlist_file.h"
#include "backup/renaming_rule.h"
#include "backup/transfer_log.h"
#include "db/file_handle.h"
#include "update/update_check.h"

#include <strsafe.h>

namespace {

RunFile MakeRunFile(const wchar_t* logFormat, const std::wstring& folder, const std::wstring& stem,
                    const wchar_t* extension, std::string bytes)
{
    RunFile file;
    file.logFormat = logFormat;
    file.name = stem + extension;
    wchar_t path[kPathCapacity];
    // Joined as item paths are, and refused like them when too long.
    if (FormDestinationPath(folder.c_str(), stem, extension, path))
        file.path = path;
    file.bytes = std::move(bytes);
    return file;
}

}  // namespace

LibraryFileInfo CurrentLibraryFileInfo(const wchar_t* folder)
{
    LibraryFileInfo info;
    info.folder = folder;
    info.applicationVersion = kProgramVersion;
    GetSystemTime(&info.now);
    return info;
}

void CheckCopies(std::vector<TrackCopy>& copies)
{
    // No "insert a disk" box for a destination that went away.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    for (TrackCopy& copy : copies) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        copy.exists = !copy.onDisk.empty() &&
                      GetFileAttributesExW(copy.onDisk.c_str(), GetFileExInfoStandard, &data) &&
                      !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        copy.bytes = copy.exists ? (static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow) : 0;
    }
    SetErrorMode(previous);
}

std::vector<RunFile> ComposeRunFiles(const LibrarySource& library, const std::vector<TrackCopy>& copies,
                                     const LibraryFileInfo& info)
{
    std::vector<RunFile> files;
    if (library.writePlaylists) {
        PlaylistFileNames names;
        for (const PlaylistSource& playlist : library.playlists) {
            const std::wstring stem = names.Claim(playlist.name.c_str());   // before an empty one is left out
            const std::wstring text = PlaylistFileText(playlist, library.tracks, copies);
            if (!text.empty())
                files.push_back(MakeRunFile(kLogPlaylist, info.folder, stem, kPlaylistExtension, ToUtf8(text)));
        }
    }
    if (library.writeLibrary)
        files.push_back(MakeRunFile(kLogLibrary, info.folder, LibraryFileStem(library.ipodName), kLibraryExtension,
                                    LibraryFileText(library, copies, info)));
    return files;
}

const wchar_t* WriteFileReplacing(const wchar_t* path, const std::string& bytes, DWORD& error)
{
    wchar_t writePath[kPathCapacity];
    if (FAILED(StringCchPrintfW(writePath, kPathCapacity, L"%ls.part", path)))
        StringCchCopyW(writePath, kPathCapacity, path);
    const wchar_t* failure = nullptr;
    {
        FileHandle file(CreateFileW(writePath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsOpen()) {
            error = GetLastError();
            return L"cannot create destination";
        }
        DWORD written = 0;
        if (bytes.size() > MAXDWORD ||
            !WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size()) {
            error = GetLastError();
            error = error ? error : ERROR_HANDLE_DISK_FULL;
            failure = L"write error";
        }
    }
    if (!failure && wcscmp(writePath, path) != 0 && !MoveFileExW(writePath, path, MOVEFILE_REPLACE_EXISTING)) {
        error = GetLastError();
        failure = L"cannot rename the finished file";
    }
    if (failure)
        DeleteFileW(writePath);
    return failure;
}
