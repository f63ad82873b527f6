#pragma once
// Writes iTunesDB files object by object, with every field that the reader
// uses under the caller's control, so that tests can lay out each variation
// of the format (and each kind of damage) in a few lines.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ipodgen {

using Bytes = std::vector<uint8_t>;

void PutU32(Bytes& bytes, size_t offset, uint32_t value);   // grows as needed
uint32_t GetU32(const Bytes& bytes, size_t offset);
Bytes Utf16Bytes(const std::wstring& text);
Bytes Concat(const std::vector<Bytes>& parts);

// 32-bit fields put into a header at their offsets: (offset, value).
using Words = std::vector<std::pair<size_t, uint32_t>>;
// A 64-bit value as the two words at offset and offset + 4.
Words Word64(size_t offset, uint64_t value);

// Data object (mhod) carrying text: header, then `gap` bytes, then the text,
// which is the last byteLength bytes of the object.
struct TextObject {
    uint32_t type = 1;
    Bytes text;                            // raw UTF-16LE, any length (odd too)
    uint32_t headerLength = 24;
    uint32_t gap = 16;                     // bytes between header and text
    std::optional<uint32_t> totalLength;   // default: headerLength + gap + text
    std::optional<uint32_t> byteLength;    // default: text.size()
};
Bytes Mhod(const TextObject& object);
Bytes TextMhod(uint32_t type, const std::wstring& text);
// A data object whose content the reader must not read (types 15, 16, 50, 100...).
Bytes OpaqueMhod(uint32_t type, uint32_t contentBytes, uint8_t fill = 0xEE);

struct TrackItem {
    uint32_t trackId = 0;
    int32_t lengthMs = 0;
    int32_t trackNumber = 0;
    uint32_t headerLength = 0x9C + 0x58;     // 244, a common modern header
    Words words;                             // more header fields; dropped past its length
    std::vector<Bytes> objects;
    std::optional<uint32_t> objectCount;     // default: objects.size()
    std::optional<uint32_t> totalLength;
};
Bytes Mhit(const TrackItem& track);

struct PlaylistItem {
    uint32_t trackId = 0;
    uint32_t headerLength = 0x4C;
    std::vector<Bytes> objects;              // nested in the item (type 100)
    std::optional<uint32_t> totalLength;
};
Bytes Mhip(const PlaylistItem& item);

struct Playlist {
    uint32_t headerLength = 0x6C;
    uint32_t masterFlag = 0;
    Words words;
    std::vector<Bytes> objects;              // name (type 1), smart rules (50)...
    std::vector<Bytes> items;                // Mhip
    std::optional<uint32_t> objectCount;
    std::optional<uint32_t> itemCount;
    std::optional<uint32_t> totalLength;
};
Bytes Mhyp(const Playlist& playlist);

// Track list (mhlt) or playlist list (mhlp): tag, header length, item count.
Bytes ListHeader(const char* tag, size_t items, uint32_t headerLength = 0x5C,
                 std::optional<uint32_t> countOverride = std::nullopt);
Bytes Mhlt(const std::vector<Bytes>& tracks, std::optional<uint32_t> count = std::nullopt);
Bytes Mhlp(const std::vector<Bytes>& playlists, std::optional<uint32_t> count = std::nullopt);

struct DataSet {
    uint32_t type = 1;
    Bytes list;
    uint32_t headerLength = 0x60;
    std::optional<uint32_t> totalLength;
};
Bytes Mhsd(const DataSet& set);

struct Database {
    std::vector<Bytes> dataSets;
    uint32_t headerLength = 0x68;
    Words words;
    std::optional<uint32_t> dataSetCount;
};
Bytes Mhbd(const Database& db);

// Conveniences for the common shapes.
struct TrackTags {
    uint32_t trackId = 0;
    std::optional<std::wstring> title, artist, album, genre, location;
    int32_t trackNumber = 0;
    int32_t lengthMs = 0;
    Words words;   // the listening history and other header fields
    uint32_t headerLength = TrackItem().headerLength;
};
Bytes Track(const TrackTags& tags);
Bytes NamedPlaylist(const std::optional<std::wstring>& name, const std::vector<uint32_t>& trackIds,
                    uint32_t masterFlag = 0, bool smart = false);
// mhbd with a track data set and, when playlists are given, a playlist data set.
Bytes SimpleDatabase(const std::vector<Bytes>& tracks, const std::vector<Bytes>& playlists);

// The compressed file of newer iPods (iTunesCDB) holding the same database:
// the header widened to 0xF4 bytes with the flag at 0xA8 set to `flag`, then
// the rest, as one zlib stream when the flag is 1 and as is otherwise. The
// total length at offset 8 becomes the file's size.
constexpr uint32_t kCdbHeaderLength = 0xF4;
Bytes CompressedDatabase(const Bytes& itunesDb, uint16_t flag = 1);
Bytes ZlibCompress(const Bytes& bytes);

bool WriteBytes(const std::wstring& path, const Bytes& bytes);
bool ReadBytes(const std::wstring& path, Bytes* bytes);

}  // namespace ipodgen
