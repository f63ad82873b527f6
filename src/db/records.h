#pragma once
#include "db/platform.h"

#include <cstdint>
#include <memory>
#include <vector>

// A NUL-terminated UTF-16 string owned by one record; null means the database
// held no such string, which every consumer must accept.
using OwnedText = std::unique_ptr<TextUnit[]>;

// One track of the iPod's database. Records are never copied: the library owns
// them and everything else refers to them by pointer or by position.
struct TrackEntry {
    uint32_t trackId = 0;
    OwnedText title;
    OwnedText artist;
    OwnedText album;
    OwnedText genre;
    int32_t trackNumber = 0;   // 0 means none
    int32_t lengthMs = 0;
    uint32_t isChecked = 0;    // 1 when ticked for copying
    OwnedText location;        // ":iPod_Control:Music:F00:ABCD.mp3"

    // The listening history and the rest of the tags. A field the track's
    // header is too short to hold is 0. Times are seconds since 1904-01-01 in
    // the iPod's local time, 0 meaning never.
    OwnedText albumArtist;
    OwnedText composer;
    OwnedText comment;
    int32_t year = 0;
    int32_t trackCount = 0;
    int32_t discNumber = 0;
    int32_t discCount = 0;
    uint8_t compilation = 0;   // nonzero: part of a compilation
    uint8_t rating = 0;        // stars x 20, 0 to 100
    uint32_t playCount = 0;
    uint32_t lastPlayed = 0;
    uint32_t dateAdded = 0;
    uint64_t persistentId = 0;
    uint16_t bpm = 0;
    uint32_t skipCount = 0;
    uint32_t lastSkipped = 0;
    uint32_t mediaType = 0;    // kMediaAudio... bits, which may combine
    // The id of the track's cover in the ArtworkDB, which iPods since the
    // classic share among the tracks of an album (CArtworkDB::ImageOf);
    // 0 when the track has none or its header is too short to hold it.
    uint32_t artworkLink = 0;
};

enum : uint32_t {
    kMediaAudio = 0x01,
    kMediaMovie = 0x02,
    kMediaPodcast = 0x04,
    kMediaAudiobook = 0x08,
    kMediaMusicVideo = 0x20,
    kMediaTvShow = 0x40,
    kMediaRingtone = 1u << 14,
    kMediaVoiceMemo = 1u << 20,
    kMediaITunesU = 1u << 21,
};

enum : uint16_t {
    kPlaylistOrdinary = 1,
    kPlaylistSmart = 2,
};

struct PlaylistEntry {
    OwnedText name;
    uint16_t kind = kPlaylistOrdinary;
    uint32_t masterFlag = 0;          // nonzero in the hidden list of all tracks
    std::vector<uint32_t> trackIds;   // in database order, duplicates kept
    HTREEITEM treeItem = nullptr;
    uint64_t persistentId = 0;        // the playlist's lasting identity; 0 when the header has none
};
