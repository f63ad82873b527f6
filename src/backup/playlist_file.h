#pragma once
// Playlist files: when the option is on, a completed copy run leaves one
// "<playlist>.m3u8" per playlist of the iPod in the destination folder,
// listing the copies of its items so any player can find them.
#include "backup/copy_job.h"
#include "db/records.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

constexpr wchar_t kPlaylistExtension[] = L".m3u8";

// The playlists the user sees in the tree (never the master list or a smart
// one), each item resolved by `findTrack` (null when no track carries its id).
std::vector<PlaylistSource> CollectPlaylistSources(const std::vector<std::unique_ptr<PlaylistEntry>>& playlists,
                                                   const std::function<const TrackEntry*(uint32_t)>& findTrack);

// lengthMs / 1000 truncated; -1 when the length is unknown (0 or less).
int PlaylistSeconds(int32_t lengthMs);
// "#EXTINF:<seconds>,<artist> - <title>" with the renaming rule's defaults for
// absent tags. A line break in a tag would start a line of its own: it
// becomes a space.
std::wstring PlaylistInfoLine(const TrackEntry& track);

// UTF-8 without a byte-order mark; characters beyond the BMP survive, an
// unpaired surrogate becomes U+FFFD.
std::string ToUtf8(const std::wstring& text);

// What the run did with each track of its copy list.
using RunOutcomes = std::unordered_map<const TrackEntry*, CopyOutcome>;
RunOutcomes MapRunOutcomes(const std::vector<TrackEntry*>& copyList, const std::vector<CopyOutcome>& outcomes);

// One entry of a playlist file: its info line and where the copy is.
struct PlaylistLine {
    std::wstring info;
    std::wstring onDisk;        // as the copy job handed it to the file system
    size_t relativeStart = 0;   // onDisk from here on: the path below the folder
};

// The playlist's items, in order, that were in the run and were copied or
// found already there, each under the name the copy job gave it.
// Items of no track, not in the run, failed or not reached are left out.
std::vector<PlaylistLine> ChoosePlaylistLines(const PlaylistSource& playlist, const RunOutcomes& outcomes,
                                              const DestinationNames& names);

// "#EXTM3U" and, for each line whose copy `isFile`, its info line and its
// path below the folder, every line ending in CR LF. Empty when no line is
// left: such a playlist gets no file.
std::wstring PlaylistFileText(const std::vector<PlaylistLine>& lines,
                              const std::function<bool(const wchar_t*)>& isFile);

// The file names (without extension) of one run's playlists: cleaned like a
// tag value and like a path component (device names mended), numbered " (2)", " (3)"... when a name
// is taken already. Case is ignored, as the file system ignores it.
class PlaylistFileNames {
public:
    std::wstring Claim(const wchar_t* playlistName);

private:
    bool IsTaken(const std::wstring& name) const;
    std::vector<std::wstring> m_taken;
};

// True when `path` names a file (not a folder).
bool IsExistingFile(const wchar_t* path);

// Writes `bytes` under a temporary name and renames it over `path`. On
// failure returns the reason (error holds the system's code) and leaves
// neither the temporary file nor a partial `path` behind.
const wchar_t* WriteFileReplacing(const wchar_t* path, const std::string& bytes, DWORD& error);

// The end of a completed run: writes the job's playlists, one log line each.
// Stops, writing nothing more, once the run is cancelled.
void WriteRunPlaylists(CopyJob& job, CopyJobHost& host);
