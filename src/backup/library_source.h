#pragma once
// What the files written beside a completed run (playlist files, the library
// file) take from the library and from the destination folder. Plain data:
// the writers see nothing of the copy job.
#include "db/records.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A playlist of the tree. Its items are positions in LibrarySource::tracks,
// -1 for an item whose identifier no track carries.
struct PlaylistSource {
    std::wstring name;
    uint64_t persistentId = 0;
    std::vector<int> items;
};

// Taken when a run is prepared. The tracks belong to the library, as those
// of the copy list do, and are read only under the copy job's lock.
struct LibrarySource {
    std::vector<const TrackEntry*> tracks;   // every track, in library order
    std::vector<PlaylistSource> playlists;   // the ordinary playlists, in tree order
    uint64_t persistentId = 0;               // the database's
    std::wstring ipodName;                   // empty when the iPod has none
    bool writePlaylists = false;
    bool writeLibrary = false;
    bool saveCovers = false;   // folder.jpg from the iPod's artwork beside the run's copies

    bool WritesAnything() const { return writePlaylists || writeLibrary; }
};

// Where one track of the library is copied, and whether a copy is there now.
struct TrackCopy {
    std::wstring onDisk;          // as the copy hands it to the file system; empty when it does not fit
    size_t relativeStart = 0;     // onDisk from here on: the path below the folder
    bool exists = false;          // a file (not a folder) is there
    uint64_t bytes = 0;           // its size
};
