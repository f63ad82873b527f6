#pragma once
// Playlist files: when the option is on, a completed copy run leaves one
// "<playlist>.m3u8" per playlist of the iPod in the destination folder,
// listing the copies of its items so any player can find them.
#include "backup/library_source.h"
#include "db/records.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

constexpr wchar_t kPlaylistExtension[] = L".m3u8";

// The playlists the user sees in the tree (never the master list or a smart
// one), each item resolved by `findPosition` to a track's position in the
// library (-1 when no track carries its id).
std::vector<PlaylistSource> CollectPlaylistSources(const std::vector<std::unique_ptr<PlaylistEntry>>& playlists,
                                                   const std::function<int(uint32_t)>& findPosition);

// lengthMs / 1000 truncated; -1 when the length is unknown (0 or less).
int PlaylistSeconds(int32_t lengthMs);
// "#EXTINF:<seconds>,<artist> - <title>" with the renaming rule's defaults for
// absent tags. A line break in a tag would start a line of its own: it
// becomes a space.
std::wstring PlaylistInfoLine(const TrackEntry& track);
// The path line of a copy below the folder. One beginning with "#" would be
// read as a comment: it is written as ".\#...".
std::wstring PlaylistPathLine(const wchar_t* relative);

// UTF-8 without a byte-order mark; characters beyond the BMP survive, an
// unpaired surrogate becomes U+FFFD.
std::string ToUtf8(const std::wstring& text);

// "#EXTM3U" and, for each item of the playlist whose copy exists (copied by
// this run or an earlier one), its info line and its path below the folder,
// every line ending in CR LF. `copies` has one entry per track of `tracks`.
// Empty when no item is left: such a playlist gets no file.
std::wstring PlaylistFileText(const PlaylistSource& playlist, const std::vector<const TrackEntry*>& tracks,
                              const std::vector<TrackCopy>& copies);

// A playlist's file name without its extension: cleaned like a tag value
// and like a path component. DestinationNames::ClaimFile numbers it when the
// name is taken; every playlist of the tree claims its name in tree order,
// written or not, so that a name belongs to the same playlist from run to run.
std::wstring PlaylistFileStem(const wchar_t* playlistName);
