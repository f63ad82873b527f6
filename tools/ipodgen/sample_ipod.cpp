#include "sample_ipod.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <set>

namespace ipodgen {

namespace {

const wchar_t* const kArtists[] = {
    L"The Quiet Harbour", L"Mira Solenne", L"Northbound Static", L"Éloïse Marchand",
    L"Paper Lanterns", L"Kōji Aramaki", L"Dust & Daylight", L"The Ferrymen",
    L"Ana Beltrão", L"Low Tide Choir", L"Velvet Cartography", L"Idris Vane",
};
const wchar_t* const kAlbumWords[] = {
    L"Morning", L"Glass", L"Harbour", L"Signals", L"Winter", L"Orchard", L"Lanterns",
    L"Distance", L"Copper", L"Tides", L"Echoes", L"Meridian", L"Paper", L"Northern",
};
const wchar_t* const kTitleWords[24] = {
    L"Open", L"Water", L"Slow", L"Light", L"Letters", L"Home", L"Falling", L"River",
    L"Quiet", L"Stars", L"Over", L"Static", L"Golden", L"Hours", L"Rain", L"Shore",
    L"Running", L"Blue", L"Fire", L"Window", L"Late", L"Summer", L"Bridges", L"Echo",
};
const wchar_t* const kGenres[] = {L"Rock", L"Pop", L"Jazz", L"Folk", L"Electronic", L"Classical"};

template <size_t N>
const wchar_t* Pick(const wchar_t* const (&words)[N], uint32_t n)
{
    return words[n % N];
}

uint32_t Mix(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

bool WriteDatabase(const std::wstring& itunesFolder, const Bytes& database, bool compressed)
{
    const std::wstring cdb = itunesFolder + L"\\iTunesCDB";
    if (!compressed) {
        DeleteFileW(cdb.c_str());
        return WriteBytes(itunesFolder + L"\\iTunesDB", database);
    }
    return WriteBytes(cdb, CompressedDatabase(database)) && WriteBytes(itunesFolder + L"\\iTunesDB", {});
}

constexpr int kTracksPerAlbum = 10;
constexpr uint32_t kFirstTrackId = 100;
constexpr uint32_t kFirstImageId = 100;
constexpr uint32_t kSharedCoverHeaderLength = 0x184;
constexpr uint32_t kArtworkLinkOffset = 0x160;
// Noon, local time, on days well away from a change of clocks.
constexpr uint32_t kAdded2017 = 3579154200u;     // 2017-06-01 09:30
constexpr uint32_t kPlayed2019 = 3630398400u;    // 2019-01-15 12:00
constexpr uint32_t kPlayed2021 = 3695198400u;    // 2021-02-03 12:00
constexpr uint32_t kDay = 86400;

}  // namespace

void AwkwardTracks(std::vector<SampleTrack>& tracks)
{
    const std::wstring titles[] = {L"Long " + std::wstring(235, L'o'), L"Twin", L"Twin", L"Con", L"Nul",
                                   L"Bell\x07Ring"};
    const size_t count = std::min(tracks.size(), std::size(titles));
    for (size_t i = 0; i < count; ++i) {
        SampleTrack& track = tracks[tracks.size() - count + i];
        track.artist = L"Awkward";
        track.title = titles[i];
        track.awkward = true;
    }
}

std::vector<SampleTrack> SampleTracks(int count, uint32_t mediaBytes, bool awkwardNames, int albumCount)
{
    std::vector<SampleTrack> tracks;
    tracks.reserve(count > 0 ? count : 0);
    int32_t trackNumber = 0;
    for (int i = 0; i < count; ++i) {
        const uint32_t albumNo = static_cast<uint32_t>(albumCount > 0 ? int64_t(i) * albumCount / count
                                                                      : i / kTracksPerAlbum);
        trackNumber = tracks.empty() || tracks.back().albumNo != albumNo ? 1 : trackNumber + 1;
        const uint32_t h = Mix(static_cast<uint32_t>(i) + 1);
        SampleTrack t;
        t.albumNo = albumNo;
        t.trackId = kFirstTrackId + static_cast<uint32_t>(i);
        t.artist = Pick(kArtists, albumNo);
        t.album = std::wstring(Pick(kAlbumWords, Mix(albumNo))) + L" " + Pick(kAlbumWords, albumNo * 5 + 3);
        if (albumNo >= 12)
            t.album += L" " + std::to_wstring(albumNo / 12 + 1);
        // Two different words: the second is 1 to 23 places after the first.
        const uint32_t first = h % 24, second = (first + 1 + (h >> 8) % 23) % 24;
        t.title = std::wstring(Pick(kTitleWords, first)) + L" " + Pick(kTitleWords, second);
        t.genre = Pick(kGenres, albumNo);
        t.trackNumber = trackNumber;
        t.lengthMs = static_cast<int32_t>(120000 + h % 240000);
        wchar_t location[64];
        const wchar_t* extension = (i % 7 == 6) ? L"m4a" : L"mp3";
        swprintf(location, 64, L":iPod_Control:Music:F%02u:T%05d.%ls", static_cast<unsigned>(i % 50), i, extension);
        t.location = location;
        t.fileBytes = mediaBytes ? mediaBytes : 1024 + h % (47 * 1024);
        t.rating = static_cast<uint32_t>(i % 6) * 20;
        t.playCount = h % 50;
        t.lastPlayed = i % 3 == 0 ? 0 : kPlayed2019 + static_cast<uint32_t>(i) * 35 * kDay;   // summer and winter
        t.dateAdded = kAdded2017 + static_cast<uint32_t>(i) * kDay;
        t.persistentId = 0x5A00000000000000ull | static_cast<uint64_t>(h) << 8 | static_cast<uint32_t>(i & 0xFF);
        tracks.push_back(std::move(t));
    }
    if (awkwardNames)
        AwkwardTracks(tracks);
    return tracks;
}

std::vector<SampleTrack> SampleTracksOf(const SampleIpodOptions& options)
{
    std::vector<SampleTrack> tracks =
        SampleTracks(options.trackCount, options.mediaBytes, options.awkwardNames, options.albumCount);
    if (options.droppedTrack > 0 && static_cast<size_t>(options.droppedTrack) <= tracks.size())
        tracks.erase(tracks.begin() + (options.droppedTrack - 1));
    return tracks;
}

std::vector<SamplePlaylist> SamplePlaylists(const std::vector<SampleTrack>& tracks)
{
    std::vector<SamplePlaylist> playlists(4);
    playlists[0].name = L"Favourites";
    playlists[1].name = L"Road Trip";
    playlists[2].name = L"Recently Added";
    playlists[2].smart = true;   // smart lists are never shown
    playlists[3].name = L"Quiet Evenings";
    for (size_t i = 0; i < tracks.size(); ++i) {
        if (i % 3 == 0)
            playlists[0].trackIds.push_back(tracks[i].trackId);
        if (i % 5 == 1)
            playlists[1].trackIds.push_back(tracks[i].trackId);
        if (i + 10 >= tracks.size())
            playlists[2].trackIds.push_back(tracks[i].trackId);
        if (i % 4 == 2)
            playlists[3].trackIds.push_back(tracks[i].trackId);
        if (tracks[i].awkward && i % 3 != 0)
            playlists[0].trackIds.push_back(tracks[i].trackId);
    }
    if (!tracks.empty())
        playlists[1].trackIds.push_back(tracks.front().trackId);   // a track listed twice
    return playlists;
}

std::vector<SamplePlays> SamplePlayCounts(const std::vector<SampleTrack>& tracks)
{
    std::vector<SamplePlays> entries(tracks.size());
    for (size_t i = 0; i < tracks.size(); ++i) {
        SamplePlays& e = entries[i];
        e.rating = i % 5 == 0 ? 100 : tracks[i].rating;   // rated on the iPod since the sync
        if (i % 4 == 1) {
            e.plays = 2;
            e.lastPlayed = kPlayed2021 + static_cast<uint32_t>(i) * 9 * kDay;
        }
        if (i % 7 == 3) {
            e.skips = 1;
            e.lastSkipped = kPlayed2021 + static_cast<uint32_t>(i) * 11 * kDay;
        }
    }
    return entries;
}

Bytes PlayCountsBytes(const std::vector<SamplePlays>& entries)
{
    constexpr uint32_t kHeaderLength = 0x60, kEntryLength = 0x1C;
    Bytes bytes(kHeaderLength, 0);
    bytes[0] = 'm', bytes[1] = 'h', bytes[2] = 'd', bytes[3] = 'p';
    PutU32(bytes, 4, kHeaderLength);
    PutU32(bytes, 8, kEntryLength);
    PutU32(bytes, 12, static_cast<uint32_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        const size_t at = kHeaderLength + i * kEntryLength;
        const SamplePlays& e = entries[i];
        PutU32(bytes, at, e.plays);
        PutU32(bytes, at + 4, e.lastPlayed);
        PutU32(bytes, at + 12, e.rating);
        PutU32(bytes, at + 20, e.skips);
        PutU32(bytes, at + 24, e.lastSkipped);
    }
    return bytes;
}

Bytes SampleDatabase(const std::vector<SampleTrack>& tracks, const std::vector<SamplePlaylist>& playlists,
                     uint32_t trackHeaderLength)
{
    std::vector<Bytes> trackItems;
    std::vector<uint32_t> allIds;
    trackItems.reserve(tracks.size());
    for (const SampleTrack& t : tracks) {
        Words words = {{0x1C, t.rating << 24}, {0x50, t.playCount}, {0x58, t.lastPlayed}, {0x68, t.dateAdded}};
        const Words id = Word64(0x70, t.persistentId);
        words.insert(words.end(), id.begin(), id.end());
        words.emplace_back(kArtworkLinkOffset, t.artworkLink);
        trackItems.push_back(Track({t.trackId, t.title, t.artist, t.album, t.genre, t.location,
                                    t.trackNumber, t.lengthMs, words, trackHeaderLength}));
        allIds.push_back(t.trackId);
    }
    std::vector<Bytes> playlistItems;
    playlistItems.push_back(NamedPlaylist(L"Savanto Sample iPod", allIds, 1));
    for (const SamplePlaylist& p : playlists)
        playlistItems.push_back(NamedPlaylist(p.name, p.trackIds, 0, p.smart));
    return SimpleDatabase(trackItems, playlistItems);
}

namespace {

bool AlbumHasCover(const SampleIpodOptions& options, uint32_t albumNo)
{
    return options.covers != SampleCovers::kNone && !(options.coverlessAlbums && albumNo % 4 == 1);
}

std::vector<ArtFormat> CoverFormats(const SampleIpodOptions& options)
{
    std::vector<ArtFormat> formats;
    for (const ArtFormat& format : options.covers == SampleCovers::kPerTrack ? kVideoArtFormats : kClassicArtFormats) {
        const auto& only = options.coverFormats;
        if (only.empty() || std::find(only.begin(), only.end(), format.formatId) != only.end())
            formats.push_back(format);
    }
    return formats;
}

// Smooth gradients over a colour of the album's own, so that each album's
// cover differs from the others' and a JPEG of it stays close.
Painter AlbumPainter(uint32_t albumNo)
{
    const uint32_t h = Mix(albumNo * 2654435761U + 7);
    const uint32_t r = 30 + h % 120, g = 30 + (h >> 8) % 120, b = 30 + (h >> 16) % 120;
    return [r, g, b](uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
        return Rgb{static_cast<uint8_t>(r + x * 100 / width), static_cast<uint8_t>(g + y * 100 / height),
                   static_cast<uint8_t>(b + (x + y) * 50 / (width + height))};
    };
}

void LinkSharedCovers(const SampleIpodOptions& options, std::vector<SampleTrack>& tracks)
{
    for (SampleTrack& t : tracks) {
        if (options.covers == SampleCovers::kShared && AlbumHasCover(options, t.albumNo))
            t.artworkLink = kFirstImageId + t.albumNo;
    }
}

bool WriteCovers(const std::wstring& base, const SampleIpodOptions& options, const std::vector<SampleTrack>& tracks)
{
    const std::wstring folder = base + L"iPod_Control\\Artwork", device = base + L"iPod_Control\\Device";
    if (options.covers == SampleCovers::kNone || options.covers == SampleCovers::kPerTrack)
        DeleteFileW((device + L"\\SysInfoExtended").c_str());
    if (options.covers == SampleCovers::kNone) {
        DeleteFileW((folder + L"\\ArtworkDB").c_str());
        return true;
    }
    const std::vector<ArtFormat> formats = CoverFormats(options);
    ArtworkLayout layout(formats);
    std::set<uint32_t> albumsWritten;
    if (!CreateFolderTree(folder))
        return false;
    {
        IthmbFolderWriter writer(folder);
        for (size_t i = 0; i < tracks.size(); ++i) {
            const SampleTrack& t = tracks[i];
            const bool perTrack = options.covers == SampleCovers::kPerTrack;
            if (!AlbumHasCover(options, t.albumNo) || (!perTrack && !albumsWritten.insert(t.albumNo).second))
                continue;
            const uint32_t imageId = kFirstImageId + (perTrack ? static_cast<uint32_t>(i) : t.albumNo);
            if (!layout.AddImage(imageId, t.persistentId, AlbumPainter(t.albumNo), writer.Sink()))
                return false;
        }
    }
    if (!WriteBytes(folder + L"\\ArtworkDB", layout.Database()))
        return false;
    if (options.covers == SampleCovers::kPerTrack)
        return true;
    std::vector<DeviceCover> listed;
    for (const DeviceCover& cover : ClassicDeviceCovers()) {
        if (std::any_of(formats.begin(), formats.end(), [&](const ArtFormat& f) { return f.formatId == cover.formatId; }))
            listed.push_back(cover);
    }
    return CreateFolderTree(device) && WriteBytes(device + L"\\SysInfoExtended", SysInfoExtended(listed));
}

}  // namespace

std::optional<artwork::Picture> SampleCoverOf(const SampleIpodOptions& options, const SampleTrack& track)
{
    const std::vector<ArtFormat> formats = CoverFormats(options);
    if (!AlbumHasCover(options, track.albumNo) || formats.empty())
        return std::nullopt;
    const ArtFormat& largest = *std::max_element(formats.begin(), formats.end(), [](const ArtFormat& a, const ArtFormat& b) {
        return a.width * a.height < b.width * b.height;
    });
    return ExpectedPicture(largest.width, largest.height, AlbumPainter(track.albumNo));
}

Bytes SampleMediaContent(const SampleTrack& track)
{
    Bytes bytes(track.fileBytes);
    uint32_t state = Mix(track.trackId * 2654435761U);
    for (size_t i = 0; i < bytes.size(); ++i) {
        state = state * 1664525U + 1013904223U;
        bytes[i] = static_cast<uint8_t>(state >> 24);
    }
    return bytes;
}

Bytes DeviceInfoBytes(const std::wstring& name)
{
    Bytes bytes(2);
    bytes[0] = static_cast<uint8_t>(name.size() & 0xFF);
    bytes[1] = static_cast<uint8_t>(name.size() >> 8);
    Bytes text = Utf16Bytes(name);
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.resize(0x600, 0);   // the real file is larger; the rest is ignored
    return bytes;
}

std::wstring MediaPath(const std::wstring& root, const std::wstring& location)
{
    std::wstring path = root;
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    for (wchar_t c : location) {
        if (c == L':') {
            if (path.back() != L'\\')
                path += L'\\';
        } else {
            path += c;
        }
    }
    return path;
}

bool CreateFolderTree(const std::wstring& folder)
{
    for (size_t i = 0; i <= folder.size(); ++i) {
        if (i == folder.size() || folder[i] == L'\\' || folder[i] == L'/') {
            const std::wstring prefix = folder.substr(0, i);
            if (prefix.empty() || prefix.back() == L':')
                continue;
            if (!CreateDirectoryW(prefix.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
                return false;
        }
    }
    return true;
}

bool CreateSampleIpod(const std::wstring& root, const SampleIpodOptions& options,
                      std::vector<SampleTrack>* tracksOut)
{
    std::wstring base = root;
    if (base.empty() || base.back() != L'\\')
        base += L'\\';
    const std::wstring itunes = base + L"iPod_Control\\iTunes";
    if (!CreateFolderTree(itunes))
        return false;
    std::vector<SampleTrack> tracks = SampleTracksOf(options);
    LinkSharedCovers(options, tracks);
    const uint32_t trackHeaderLength =
        options.covers == SampleCovers::kShared ? kSharedCoverHeaderLength : TrackItem().headerLength;
    if (!WriteDatabase(itunes, SampleDatabase(tracks, SamplePlaylists(tracks), trackHeaderLength),
                       options.compressedDatabase) ||
        !WriteCovers(base, options, tracks))
        return false;
    if (!WriteBytes(itunes + L"\\Play Counts", PlayCountsBytes(SamplePlayCounts(tracks))))
        return false;
    const std::wstring deviceInfo = itunes + L"\\DeviceInfo";
    if (options.deviceName) {
        if (!WriteBytes(deviceInfo, DeviceInfoBytes(*options.deviceName)))
            return false;
    } else {
        DeleteFileW(deviceInfo.c_str());
    }
    if (options.mediaFiles) {
        for (const SampleTrack& t : tracks) {
            const std::wstring path = MediaPath(base, t.location);
            if (!CreateFolderTree(path.substr(0, path.rfind(L'\\'))) || !WriteBytes(path, SampleMediaContent(t)))
                return false;
        }
    }
    if (tracksOut)
        *tracksOut = std::move(tracks);
    return true;
}

}  // namespace ipodgen
