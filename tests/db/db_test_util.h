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

inline LoadedDb LoadDb(const std::wstring& path)
{
    LoadedDb loaded;
    CiTunesDB db;
    loaded.opened = db.Open(path.c_str());
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

inline LoadedDb LoadBytes(const testing_support::TempDir& dir, const ipodgen::Bytes& bytes)
{
    const std::wstring path = dir.File(L"iTunesDB");
    ipodgen::WriteBytes(path, bytes);
    return LoadDb(path);
}

inline std::wstring Text(const OwnedText& text)
{
    return text ? std::wstring(text.get()) : std::wstring(L"<none>");
}
