#pragma once
// The files a completed run leaves beside its copies: which copies exist,
// what each file holds, and how it replaces an older one.
#include "backup/destination_path.h"
#include "backup/library_file.h"
#include "backup/library_source.h"

#include <windows.h>

#include <string>
#include <vector>

// The folder, this program's version and the time now.
LibraryFileInfo CurrentLibraryFileInfo(const wchar_t* folder);

// Fills in whether each copy exists as a file, and its size.
void CheckCopies(std::vector<TrackCopy>& copies);

struct RunFile {
    const wchar_t* logFormat = nullptr;   // the log line written when it is in place
    std::wstring path;                    // empty when the path does not fit
    std::wstring name;                    // what the log names when it does not fit
    std::string bytes;
};

// The playlist files (when asked for: one per playlist with an item whose
// copy exists) and the library file (when asked for), their names claimed
// in `names` in tree order, the library file's last.
std::vector<RunFile> ComposeRunFiles(const LibrarySource& library, const std::vector<TrackCopy>& copies,
                                     const LibraryFileInfo& info, DestinationNames& names);

// How WriteFileThroughTemporary treats the file.
struct FileWrite {
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;   // the temporary file's, which the rename hands on
    bool replace = true;                        // false: an existing `path` stays, and the write fails
};

// Writes `bytes` under a temporary name ("<path>.part") and renames it to
// `path`, so that `path` is never seen half written. On failure returns the
// reason (error holds the system's code) and leaves neither the temporary
// file nor a partial `path` behind.
const wchar_t* WriteFileThroughTemporary(const wchar_t* path, const std::string& bytes, DWORD& error,
                                         const FileWrite& how = FileWrite());
