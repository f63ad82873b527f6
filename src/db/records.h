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
};
