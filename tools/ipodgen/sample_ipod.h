#pragma once
// A simulated iPod volume: iPod_Control\iTunes\iTunesDB (or iTunesCDB), DeviceInfo, and a
// media file with deterministic content at every track's location. Tests,
// the demo and the benchmark make their iPods with it.
#include "artwork_builder.h"
#include "db_builder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ipodgen {

struct SampleTrack {
    uint32_t trackId = 0;
    std::wstring title, artist, album, genre;
    std::wstring location;   // ":iPod_Control:Music:F07:T0042.mp3"
    int32_t trackNumber = 0;
    int32_t lengthMs = 0;
    uint32_t fileBytes = 0;
    // The history in the database; times in Mac seconds of the iPod's local time.
    uint32_t rating = 0, playCount = 0, lastPlayed = 0, dateAdded = 0;
    uint64_t persistentId = 0;
    bool awkward = false;   // named to test what a file name may hold
    uint32_t albumNo = 0;        // the tracks of an album follow one another
    uint32_t artworkLink = 0;    // the album's shared cover image, with SampleCovers::kShared
};

// One entry of the iPod's Play Counts file: what was played since the sync.
struct SamplePlays {
    uint32_t plays = 0, lastPlayed = 0, rating = 0, skips = 0, lastSkipped = 0;
};

struct SamplePlaylist {
    std::wstring name;
    std::vector<uint32_t> trackIds;
    bool smart = false;
};

// The covers in iPod_Control\Artwork, as the iPod's generation keeps them.
// Every track of an album carries its album's cover (SampleCoverOf).
enum class SampleCovers {
    kNone,
    kPerTrack,   // the iPod video: an image per track (1028, 1029), found by song id
    kShared,     // the iPod classic: an image per album (1055, 1060, 1061, 1068), named
                 // by every track's link in a 0x184-byte header, and a SysInfoExtended
};

struct SampleIpodOptions {
    int trackCount = 24;
    std::optional<std::wstring> deviceName = std::wstring(L"Savanto Sample iPod");  // none: no DeviceInfo
    bool mediaFiles = true;
    uint32_t mediaBytes = 0;   // 0: each file gets its own size, 1 to 48 KiB
    // As newer iPods keep it: the database compressed in iTunesCDB beside a
    // zero-byte iTunesDB.
    bool compressedDatabase = false;
    // The last six tracks get names Windows makes hard (see AwkwardTracks).
    bool awkwardNames = false;
    // 0: ten tracks to an album; else the tracks spread over this many albums.
    int albumCount = 0;
    SampleCovers covers = SampleCovers::kNone;
    // Only these of the style's formats (1060 alone for a big sample); empty: all.
    std::vector<uint32_t> coverFormats;
    // Album 1, and every fourth after it, has no cover.
    bool coverlessAlbums = true;
    // The track at this position (1-based; 0: none) is left out, as if it
    // had been deleted from the iPod; the others keep their ids and files.
    int droppedTrack = 0;
};

// The same count always gives the same tracks.
std::vector<SampleTrack> SampleTracks(int count, uint32_t mediaBytes = 0, bool awkwardNames = false,
                                      int albumCount = 0);
// The tracks of those options, the dropped one left out.
std::vector<SampleTrack> SampleTracksOf(const SampleIpodOptions& options);
// Renames the last six tracks to artist "Awkward" with a 240-character title,
// two with one title, "Con", "Nul" and a title holding a control character.
void AwkwardTracks(std::vector<SampleTrack>& tracks);
// Ordinary playlists (one lists a track twice, the first lists every awkward
// track) and one smart playlist.
std::vector<SamplePlaylist> SamplePlaylists(const std::vector<SampleTrack>& tracks);
// One entry per track, 0x1C bytes each, as the iPod keeps them.
std::vector<SamplePlays> SamplePlayCounts(const std::vector<SampleTrack>& tracks);
Bytes PlayCountsBytes(const std::vector<SamplePlays>& entries);
// The database of those tracks and playlists, with the master playlist first.
Bytes SampleDatabase(const std::vector<SampleTrack>& tracks, const std::vector<SamplePlaylist>& playlists,
                     uint32_t trackHeaderLength = TrackItem().headerLength);
// The picture that the cover of the track's album decodes to: the largest
// format's frame, as the RGB565 pixels stored give it back. None when the
// album has no cover.
std::optional<artwork::Picture> SampleCoverOf(const SampleIpodOptions& options, const SampleTrack& track);
// The content of a track's media file: fileBytes bytes derived from its id.
Bytes SampleMediaContent(const SampleTrack& track);
Bytes DeviceInfoBytes(const std::wstring& name);
// "E:\" + ":iPod_Control:Music:F00:A.mp3" -> "E:\iPod_Control\Music\F00\A.mp3"
std::wstring MediaPath(const std::wstring& root, const std::wstring& location);

bool CreateFolderTree(const std::wstring& folder);
// Fills `root` (an existing or new folder, with or without a trailing
// backslash) as an iPod volume; replaces the database, DeviceInfo, media and
// covers (without covers, an ArtworkDB and SysInfoExtended left there are removed).
bool CreateSampleIpod(const std::wstring& root, const SampleIpodOptions& options,
                      std::vector<SampleTrack>* tracksOut = nullptr);

}  // namespace ipodgen
