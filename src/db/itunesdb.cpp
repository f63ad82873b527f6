#include "db/itunesdb.h"

#include "db/compressed_db.h"

#include <algorithm>
#include <cstring>

namespace {

uint32_t U32At(const uint8_t* bytes, size_t offset)
{
    return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<uint32_t>(bytes[offset + 2]) << 16 | static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

int32_t I32At(const uint8_t* bytes, size_t offset)
{
    return static_cast<int32_t>(U32At(bytes, offset));
}

// A field counts only when the object's own header holds it whole: bytes past
// a short header belong to whatever follows it.
uint32_t U32Within(const uint8_t* header, uint32_t headerLength, size_t offset)
{
    return offset + 4 <= headerLength ? U32At(header, offset) : 0;
}

uint64_t U64Within(const uint8_t* header, uint32_t headerLength, size_t offset)
{
    if (offset + 8 > headerLength)
        return 0;
    return static_cast<uint64_t>(U32At(header, offset + 4)) << 32 | U32At(header, offset);
}

enum TrackTextType : uint32_t {
    kTitle = 1, kLocation = 2, kAlbum = 3, kArtist = 4, kGenre = 5,
    kComment = 8, kComposer = 12, kAlbumArtist = 22,
};
constexpr uint32_t kPlaylistName = 1;
constexpr uint32_t kSmartPlaylistRules = 50;

OwnedText* TrackField(TrackEntry& track, uint32_t type)
{
    switch (type) {
    case kTitle: return &track.title;
    case kLocation: return &track.location;
    case kAlbum: return &track.album;
    case kArtist: return &track.artist;
    case kGenre: return &track.genre;
    case kComment: return &track.comment;
    case kComposer: return &track.composer;
    case kAlbumArtist: return &track.albumArtist;
    default: return nullptr;
    }
}

// Older databases end the track header at 0x9C; the skip fields and the media
// type came with the longer header.
constexpr uint32_t kLongTrackHeader = 0xF4;
constexpr uint32_t kDbPersistentIdOffset = 0x18;
constexpr uint32_t kPlaylistPersistentIdOffset = 0x1C;
static_assert(0xD0 + 4 <= CiTunesDB::kTrackHeaderBytes, "the media type lies in the bytes read");
static_assert(kPlaylistPersistentIdOffset + 8 <= CiTunesDB::kPlaylistHeaderBytes, "the id lies in the bytes read");
static_assert(kDbPersistentIdOffset + 8 <= CiTunesDB::kDbHeaderBytes, "the id lies in the bytes read");

void ReadTrackHistory(const uint8_t* header, uint32_t headerLength, TrackEntry& track)
{
    const auto u32 = [&](size_t offset) { return U32Within(header, headerLength, offset); };
    track.compilation = headerLength > 0x1E ? header[0x1E] : 0;
    track.rating = headerLength > 0x1F ? std::min<uint8_t>(header[0x1F], 100) : 0;
    track.trackCount = static_cast<int32_t>(u32(0x30));
    track.year = static_cast<int32_t>(u32(0x34));
    track.playCount = u32(0x50);
    track.lastPlayed = u32(0x58);
    track.discNumber = static_cast<int32_t>(u32(0x5C));
    track.discCount = static_cast<int32_t>(u32(0x60));
    track.dateAdded = u32(0x68);
    track.persistentId = U64Within(header, headerLength, 0x70);
    track.bpm = headerLength >= 0x7C ? static_cast<uint16_t>(header[0x7A] | header[0x7B] << 8) : 0;
    if (headerLength < kLongTrackHeader)
        return;
    track.skipCount = u32(0x9C);
    track.lastSkipped = u32(0xA0);
    track.mediaType = u32(0xD0);
}

}  // namespace

void CiTunesDB::Reset()
{
    m_file.Close();
    m_dataSets.clear();
    memset(m_header, 0, sizeof(m_header));
    m_walkOk = false;
}

bool CiTunesDB::Open(const wchar_t* path)
{
    Reset();
    return m_file.Open(path) && ReadHeaderAndTable();
}

bool CiTunesDB::OpenIpodDatabase(const wchar_t* iTunesDbPath)
{
    wchar_t cdbPath[MAX_PATH];
    if (!compressed_db::PathBeside(iTunesDbPath, cdbPath, MAX_PATH))
        return Open(iTunesDbPath);
    ByteChunks image;
    switch (compressed_db::ReadDatabase(cdbPath, &image)) {
    case compressed_db::Content::kStored:
        return Open(cdbPath);
    case compressed_db::Content::kInflated:
        Reset();
        m_file.OpenBytes(std::move(image));
        return ReadHeaderAndTable();
    case compressed_db::Content::kDamaged:
        // An iPod that once held a compressed database may keep a stale one
        // beside a good iTunesDB; an empty iTunesDB fails to open here.
    case compressed_db::Content::kAbsent:
    default:
        return Open(iTunesDbPath);
    }
}

bool CiTunesDB::ReadHeaderAndTable()
{
    if (!m_file.Read(m_header, sizeof(m_header)) || memcmp(m_header, "mhbd", 4) != 0) {
        m_file.Close();
        return false;
    }
    ReadDataSetTable();
    return true;
}

uint64_t CiTunesDB::PersistentId() const
{
    return U64Within(m_header, U32At(m_header, 4), kDbPersistentIdOffset);
}

void CiTunesDB::ReadDataSetTable()
{
    const int32_t declared = I32At(m_header, 20);
    if (declared <= 0 || !m_file.SeekTo(U32At(m_header, 4)))
        return;
    const int64_t fits = m_file.Remaining() / static_cast<int64_t>(sizeof(DataSetHeader));
    const int64_t count = std::min<int64_t>(declared, fits);
    m_dataSets.reserve(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i) {
        const int64_t start = m_file.Position();
        uint8_t raw[sizeof(DataSetHeader)];
        if (!m_file.Read(raw, sizeof(raw)))
            return;
        DataSetHeader entry;
        memcpy(entry.tag, raw, 4);
        entry.headerLength = U32At(raw, 4);
        entry.totalLength = U32At(raw, 8);
        entry.type = U32At(raw, 12);
        if (entry.totalLength < sizeof(raw))
            return;   // the next data set would not lie beyond this one
        m_dataSets.push_back(entry);
        if (!m_file.SeekTo(start + entry.totalLength))
            return;
    }
}

// Stands the file 12 bytes into the list header of the first data set of the
// given type, reached by passing over every other data set by its length.
bool CiTunesDB::FindList(uint32_t type, uint32_t* itemCount, uint32_t* headerLength)
{
    m_walkOk = false;
    if (!m_file.IsOpen())
        return false;
    int64_t pos = U32At(m_header, 4);
    bool found = false;
    for (const DataSetHeader& set : m_dataSets) {
        if (set.type == type) {
            pos += set.headerLength;
            found = true;
            break;
        }
        pos += set.totalLength;
    }
    uint8_t list[kListHeaderBytes];
    if (!found || !m_file.SeekTo(pos) || !m_file.Read(list, sizeof(list)))
        return false;
    *headerLength = U32At(list, 4);
    *itemCount = U32At(list, 8);
    m_walkOk = true;
    return true;
}

uint32_t CiTunesDB::CountItems(uint32_t type, int64_t minItemBytes)
{
    uint32_t count = 0, headerLength = 0;
    if (!FindList(type, &count, &headerLength))
        return 0;
    return static_cast<uint32_t>(std::min<int64_t>(count, m_file.Remaining() / minItemBytes));
}

void CiTunesDB::SeekFirstItem(uint32_t type)
{
    uint32_t count = 0, headerLength = 0;
    if (FindList(type, &count, &headerLength))
        m_walkOk = m_file.Skip(static_cast<int64_t>(headerLength) - static_cast<int64_t>(kListHeaderBytes));
}

uint32_t CiTunesDB::GetPlaylistCount() { return CountItems(kPlaylistList, kPlaylistFieldBytes); }
uint32_t CiTunesDB::GetTrackCount() { return CountItems(kTrackList, kTrackFieldBytes); }
void CiTunesDB::SeekFirstPlaylist() { SeekFirstItem(kPlaylistList); }
void CiTunesDB::SeekFirstTrack() { SeekFirstItem(kTrackList); }

std::unique_ptr<TrackEntry> CiTunesDB::ReadTrack()
{
    if (!m_walkOk)
        return nullptr;
    m_walkOk = false;   // until this track has been read whole

    // The reader takes 236 bytes, but a header may be shorter and the file may
    // end sooner: only the fields at offsets 0..47 must have been read.
    const int64_t start = m_file.Position();
    uint8_t header[kTrackHeaderBytes] = {};
    const size_t available = static_cast<size_t>(std::min<int64_t>(m_file.Remaining(), sizeof(header)));
    if (available < kTrackFieldBytes || !m_file.Read(header, available))
        return nullptr;
    const uint32_t headerLength = U32At(header, 4);
    uint32_t artworkLink = 0;
    if (headerLength < kTrackFieldBytes || !ReadArtworkLink(start, headerLength, &artworkLink) ||
        !m_file.SeekTo(start + headerLength))
        return nullptr;

    auto track = std::make_unique<TrackEntry>();
    track->artworkLink = artworkLink;
    const int32_t objectCount = I32At(header, 12);
    for (int32_t i = 0; i < objectCount; ++i) {
        if (!ReadTrackObject(*track))
            return nullptr;
    }
    track->trackId = U32At(header, 16);
    track->lengthMs = I32At(header, 40);
    track->trackNumber = I32At(header, 44);
    track->isChecked = 0;
    ReadTrackHistory(header, headerLength, *track);
    m_walkOk = true;
    return track;
}

bool CiTunesDB::ReadArtworkLink(int64_t trackStart, uint32_t headerLength, uint32_t* link)
{
    static_assert(kArtworkLinkOffset >= kTrackHeaderBytes, "the link lies past the bytes read with the header");
    if (headerLength < kArtworkLinkHeader)
        return true;
    uint8_t bytes[4];
    if (!m_file.SeekTo(trackStart + kArtworkLinkOffset) || !m_file.Read(bytes, sizeof(bytes)))
        return false;
    *link = U32At(bytes, 0);
    return true;
}

bool CiTunesDB::ReadTrackObject(TrackEntry& track)
{
    const int64_t start = m_file.Position();
    uint8_t object[kDataObjectBytes];
    if (!m_file.Read(object, sizeof(object)))
        return false;
    const uint32_t totalLength = U32At(object, 8);
    if (totalLength < kMinDataObjectLength)
        return false;
    if (OwnedText* field = TrackField(track, U32At(object, 12)))
        return ReadText(start, totalLength, U32At(object, 28), field);
    return m_file.SeekTo(start + totalLength);
}

bool CiTunesDB::ReadPlaylist(PlaylistEntry& playlist)
{
    if (!m_walkOk)
        return false;
    m_walkOk = false;

    const int64_t start = m_file.Position();
    uint8_t header[kPlaylistHeaderBytes];
    if (!m_file.Read(header, sizeof(header)))
        return false;
    const uint32_t headerLength = U32At(header, 4);
    if (headerLength < kPlaylistFieldBytes || !m_file.SeekTo(start + headerLength))
        return false;

    const uint32_t objectCount = U32At(header, 12);
    for (uint32_t i = 0; i < objectCount; ++i) {
        if (!ReadPlaylistObject(playlist))
            return false;
    }
    playlist.masterFlag = U32At(header, 20);
    playlist.persistentId = U64Within(header, headerLength, kPlaylistPersistentIdOffset);

    const uint32_t itemCount = U32At(header, 16);
    for (uint32_t i = 0; i < itemCount; ++i) {
        const int64_t itemStart = m_file.Position();
        uint8_t item[kPlaylistItemBytes];
        if (!m_file.Read(item, sizeof(item)))
            return false;
        const uint32_t totalLength = U32At(item, 8);
        if (totalLength < kPlaylistItemBytes || !m_file.SeekTo(itemStart + totalLength))
            return false;
        playlist.trackIds.push_back(U32At(item, 24));
    }
    m_walkOk = true;
    return true;
}

bool CiTunesDB::ReadPlaylistObject(PlaylistEntry& playlist)
{
    const int64_t start = m_file.Position();
    uint8_t object[kDataObjectBytes];
    if (!m_file.Read(object, sizeof(object)))
        return false;
    const uint32_t totalLength = U32At(object, 8);
    if (totalLength < kMinDataObjectLength)
        return false;
    const uint32_t type = U32At(object, 12);
    if (type == kPlaylistName)
        return ReadText(start, totalLength, U32At(object, 28), &playlist.name);
    if (type == kSmartPlaylistRules)
        playlist.kind = kPlaylistSmart;
    return m_file.SeekTo(start + totalLength);
}

// The text is the last byteLength bytes of the object, UTF-16LE without a
// terminator; an odd last byte becomes a unit whose high byte is 0. The copy
// is cut at its first NUL. Leaves the file at the end of the object.
bool CiTunesDB::ReadText(int64_t objectStart, uint32_t totalLength, uint32_t byteLength, OwnedText* text)
{
    if (byteLength > totalLength)
        return false;   // the text would begin before its own object
    const int64_t end = objectStart + totalLength;
    if (end > m_file.Size() || !m_file.SeekTo(end - byteLength))
        return false;
    const size_t units = (static_cast<size_t>(byteLength) + 1) / 2;
    OwnedText copy(new TextUnit[units + 1]());
    if (!m_file.Read(copy.get(), byteLength))
        return false;
    *text = std::move(copy);
    return true;
}
