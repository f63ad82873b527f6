#include "backup/playlist_file.h"

#include "backup/renaming_rule.h"
#include "backup/transfer_log.h"

#include <strsafe.h>

#include <algorithm>
#include <climits>

namespace {

// The defaults the renaming rule gives absent tags, so a playlist entry reads
// like the name of its file.
const wchar_t* TagOr(const OwnedText& value, const wchar_t* whenAbsent) { return value ? value.get() : whenAbsent; }

std::wstring WithoutLineBreaks(std::wstring text)
{
    for (wchar_t& c : text) {
        if (c == L'\r' || c == L'\n')
            c = L' ';
    }
    return text;
}

bool HoldsLineBreak(const wchar_t* text) { return wcspbrk(text, L"\r\n") != nullptr; }

bool SameFileName(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

// Formed as item paths are: mended, and shortened when too long.
bool PlaylistFilePath(const wchar_t* folder, const std::wstring& fileName, DestinationPath& path)
{
    return FormDestinationPath(folder, fileName, kPlaylistExtension, 1, path);
}

struct PlaylistFile {
    std::wstring name;   // the playlist's own name
    std::vector<PlaylistLine> lines;
};

// Everything read from the tracks, under the job's lock: once the run is
// cancelled the library may be rebuilt and the tracks gone.
bool ReadPlaylistFiles(CopyJob& job, CopyJobHost& host, std::vector<PlaylistFile>& files)
{
    CopyJobLock guard(job);
    if (job.cancelled)
        return false;
    const DestinationNames& names = JobDestinationNames(job, host.RenamingRule());
    const RunOutcomes outcomes = MapRunOutcomes(job.copyList, job.outcomes);
    for (const PlaylistSource& playlist : job.playlists)
        files.push_back({playlist.name, ChoosePlaylistLines(playlist, outcomes, names)});
    return true;
}

// Writes one playlist's file and returns its log line.
std::wstring WritePlaylistFile(const wchar_t* folder, const std::wstring& fileName, const std::wstring& text)
{
    DestinationPath destination;
    if (!PlaylistFilePath(folder, fileName, destination))
        return FailureLine((fileName + kPlaylistExtension).c_str(), L"destination path too long", 0);
    const wchar_t* path = destination.path.c_str();
    const std::string bytes = ToUtf8(text);
    if (bytes.empty())   // never an empty file in place of a playlist
        return FailureLine(path, L"cannot convert to UTF-8", GetLastError());
    DWORD error = 0;
    if (const wchar_t* failure = WriteFileReplacing(path, bytes, error))
        return FailureLine(path, failure, error);
    return PathLine(kLogPlaylist, path);
}

}  // namespace

std::vector<PlaylistSource> CollectPlaylistSources(const std::vector<std::unique_ptr<PlaylistEntry>>& playlists,
                                                   const std::function<const TrackEntry*(uint32_t)>& findTrack)
{
    std::vector<PlaylistSource> sources;
    for (const auto& playlist : playlists) {
        if (!playlist || playlist->masterFlag != 0 || playlist->kind == kPlaylistSmart)
            continue;
        PlaylistSource source;
        source.name = playlist->name ? playlist->name.get() : L"";
        source.items.reserve(playlist->trackIds.size());
        for (uint32_t trackId : playlist->trackIds)
            source.items.push_back(findTrack(trackId));
        sources.push_back(std::move(source));
    }
    return sources;
}

int PlaylistSeconds(int32_t lengthMs) { return lengthMs > 0 ? lengthMs / 1000 : -1; }

std::wstring PlaylistInfoLine(const TrackEntry& track)
{
    return L"#EXTINF:" + std::to_wstring(PlaylistSeconds(track.lengthMs)) + L"," +
           WithoutLineBreaks(TagOr(track.artist, kUnknownArtist)) + L" - " +
           WithoutLineBreaks(TagOr(track.title, kUntitled));
}

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty() || text.size() > INT_MAX / 4)
        return std::string();
    const int units = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return std::string();
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), units, &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

RunOutcomes MapRunOutcomes(const std::vector<TrackEntry*>& copyList, const std::vector<CopyOutcome>& outcomes)
{
    RunOutcomes map;
    for (size_t i = 0; i < copyList.size() && i < outcomes.size(); ++i)
        map.emplace(copyList[i], outcomes[i]);
    return map;
}

std::vector<PlaylistLine> ChoosePlaylistLines(const PlaylistSource& playlist, const RunOutcomes& outcomes,
                                              const DestinationNames& names)
{
    std::vector<PlaylistLine> lines;
    for (const TrackEntry* track : playlist.items) {
        const auto found = track ? outcomes.find(track) : outcomes.end();
        if (found == outcomes.end() ||
            (found->second != CopyOutcome::Copied && found->second != CopyOutcome::SkippedExisting))
            continue;
        ItemDestination destination;
        if (!names.Find(track, destination))
            continue;
        lines.push_back({PlaylistInfoLine(*track), destination.written.path, destination.written.relativeStart});
    }
    return lines;
}

std::wstring PlaylistFileText(const std::vector<PlaylistLine>& lines,
                              const std::function<bool(const wchar_t*)>& isFile)
{
    std::wstring text;
    for (const PlaylistLine& line : lines) {
        const wchar_t* relative = line.onDisk.c_str() + std::min(line.relativeStart, line.onDisk.size());
        // A path holding a line break cannot be written as one line.
        if (HoldsLineBreak(relative) || !isFile(line.onDisk.c_str()))
            continue;
        text += line.info + L"\r\n" + relative + L"\r\n";
    }
    return text.empty() ? text : L"#EXTM3U\r\n" + text;
}

std::wstring PlaylistFileNames::Claim(const wchar_t* playlistName)
{
    const std::wstring base = WithoutDeviceName(FileSystemComponent(CleanFileName(playlistName)));
    std::wstring name = base;
    for (int number = 2; IsTaken(name); ++number)
        name = base + L" (" + std::to_wstring(number) + L")";
    m_taken.push_back(name);
    return name;
}

bool PlaylistFileNames::IsTaken(const std::wstring& name) const
{
    for (const std::wstring& taken : m_taken) {
        if (SameFileName(taken, name))
            return true;
    }
    return false;
}

bool IsExistingFile(const wchar_t* path)
{
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const DWORD attributes = GetFileAttributesW(path);
    SetErrorMode(previous);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

const wchar_t* WriteFileReplacing(const wchar_t* path, const std::string& bytes, DWORD& error)
{
    wchar_t writePath[kPathCapacity];
    if (!TemporaryPathFor(path, writePath))
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

void WriteRunPlaylists(CopyJob& job, CopyJobHost& host)
{
    std::vector<PlaylistFile> files;
    if (job.playlists.empty() || !ReadPlaylistFiles(job, host, files))
        return;
    PlaylistFileNames names;
    for (const PlaylistFile& file : files) {
        if (job.cancelled)
            return;
        const std::wstring text = PlaylistFileText(file.lines, IsExistingFile);
        if (text.empty())
            continue;
        const std::wstring line = WritePlaylistFile(job.destinationFolder, names.Claim(file.name.c_str()), text);
        CopyJobLock guard(job);
        if (!job.cancelled)
            host.Log(line.c_str());
    }
}
