#include "backup/run_files.h"

#include "backup/backup_index.h"
#include "backup/destination_path.h"
#include "backup/playlist_file.h"
#include "backup/renaming_rule.h"
#include "backup/transfer_log.h"
#include "db/file_handle.h"
#include "update/update_check.h"

#include <strsafe.h>

namespace {

// Claimed in the run's one set of names: shortened to fit, then numbered.
RunFile MakeRunFile(DestinationNames& names, const wchar_t* logFormat, const std::wstring& stem,
                    const wchar_t* extension)
{
    RunFile file;
    file.logFormat = logFormat;
    file.name = stem + extension;
    DestinationPath path;
    if (names.ClaimFile(stem, extension, path))
        file.path = path.path;
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
    for (TrackCopy& copy : copies) {
        const FileOnDisk file = LookAtFile(copy.onDisk);
        copy.exists = file.exists;
        copy.bytes = file.bytes;
    }
}

std::vector<RunFile> ComposeRunFiles(const LibrarySource& library, const std::vector<TrackCopy>& copies,
                                     const LibraryFileInfo& info, DestinationNames& names)
{
    std::vector<RunFile> files;
    if (library.writePlaylists) {
        for (const PlaylistSource& playlist : library.playlists) {
            // Claimed before an empty one is left out: the name stays its own.
            RunFile file = MakeRunFile(names, kLogPlaylist, PlaylistFileStem(playlist.name.c_str()), kPlaylistExtension);
            const std::wstring text = PlaylistFileText(playlist, library.tracks, copies);
            if (text.empty())
                continue;
            file.bytes = ToUtf8(text);
            files.push_back(std::move(file));
        }
    }
    if (library.writeLibrary) {
        files.push_back(MakeRunFile(names, kLogLibrary, LibraryFileStem(library.ipodName), kLibraryExtension));
        files.back().bytes = LibraryFileText(library, copies, info);
    }
    return files;
}

const wchar_t* WriteFileThroughTemporary(const wchar_t* path, const std::string& bytes, DWORD& error,
                                         const FileWrite& how)
{
    wchar_t writePath[kPathCapacity];
    // Without room for the temporary name the file is written as itself:
    // made anew, unless it may not replace one.
    const bool temporary = SUCCEEDED(StringCchPrintfW(writePath, kPathCapacity, L"%ls.part", path));
    if (!temporary)
        StringCchCopyW(writePath, kPathCapacity, path);
    const DWORD disposition = temporary || how.replace ? CREATE_ALWAYS : CREATE_NEW;
    const wchar_t* failure = nullptr;
    {
        FileHandle file(CreateFileW(writePath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition, how.attributes,
                                    nullptr));
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
    const DWORD renameFlags = how.replace ? MOVEFILE_REPLACE_EXISTING : 0;
    if (!failure && temporary && !MoveFileExW(writePath, path, renameFlags)) {
        error = GetLastError();
        failure = L"cannot rename the finished file";
    }
    if (failure)
        DeleteFileW(writePath);
    return failure;
}
