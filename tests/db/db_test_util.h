#pragma once
#include "db/itunesdb.h"
#include "ipodgen/db_builder.h"
#include "support/test_support.h"

#include <memory>
#include <string>
#include <vector>

// What one load reads, in the order of calls the media library makes.
struct LoadedDb {
    bool opened = false;
    uint32_t playlistCount = 0;
    uint32_t trackCount = 0;
    std::vector<std::unique_ptr<PlaylistEntry>> playlists;
    std::vector<std::unique_ptr<TrackEntry>> tracks;
};

// Reads everything, as the media library does, from a reader already opened.
inline LoadedDb ReadAll(CiTunesDB& db, bool opened)
{
    LoadedDb loaded;
    loaded.opened = opened;
    loaded.playlistCount = db.GetPlaylistCount();
    db.SeekFirstPlaylist();
    for (uint32_t i = 0; i < loaded.playlistCount; ++i) {
        auto playlist = std::make_unique<PlaylistEntry>();
        if (!db.ReadPlaylist(*playlist))
            break;
        loaded.playlists.push_back(std::move(playlist));
    }
    loaded.trackCount = db.GetTrackCount();
    db.SeekFirstTrack();
    for (uint32_t i = 0; i < loaded.trackCount; ++i) {
        auto track = db.ReadTrack();
        if (!track)
            break;
        loaded.tracks.push_back(std::move(track));
    }
    return loaded;
}

inline LoadedDb LoadDb(const std::wstring& path)
{
    CiTunesDB db;
    const bool opened = db.Open(path.c_str());
    return ReadAll(db, opened);
}

// The load of an iPod: the iTunesCDB beside the path when it is the database.
inline LoadedDb LoadIpodDb(const std::wstring& iTunesDbPath)
{
    CiTunesDB db;
    const bool opened = db.OpenIpodDatabase(iTunesDbPath.c_str());
    return ReadAll(db, opened);
}

inline LoadedDb LoadBytes(const testing_support::TempDir& dir, const ipodgen::Bytes& bytes)
{
    const std::wstring path = dir.File(L"iTunesDB");
    ipodgen::WriteBytes(path, bytes);
    return LoadDb(path);
}

inline std::wstring Text(const OwnedText& text)
{
    if (!text)
        return L"<none>";
    const TextUnit* units = text.get();
    return std::wstring(units, units + std::char_traits<TextUnit>::length(units));
}

inline bool SameTrackRecord(const TrackEntry& a, const TrackEntry& b)
{
    return a.trackId == b.trackId && a.trackNumber == b.trackNumber && a.lengthMs == b.lengthMs &&
           Text(a.title) == Text(b.title) && Text(a.artist) == Text(b.artist) && Text(a.album) == Text(b.album) &&
           Text(a.genre) == Text(b.genre) && Text(a.location) == Text(b.location);
}

inline bool SamePlaylistRecord(const PlaylistEntry& a, const PlaylistEntry& b)
{
    return Text(a.name) == Text(b.name) && a.kind == b.kind && a.masterFlag == b.masterFlag &&
           a.trackIds == b.trackIds;
}

// True when every record of `part` equals the record at the same place in `whole`.
inline bool IsPrefixOf(const LoadedDb& part, const LoadedDb& whole)
{
    if (part.tracks.size() > whole.tracks.size() || part.playlists.size() > whole.playlists.size())
        return false;
    for (size_t i = 0; i < part.tracks.size(); ++i) {
        if (!SameTrackRecord(*part.tracks[i], *whole.tracks[i]))
            return false;
    }
    for (size_t i = 0; i < part.playlists.size(); ++i) {
        if (!SamePlaylistRecord(*part.playlists[i], *whole.playlists[i]))
            return false;
    }
    return true;
}
