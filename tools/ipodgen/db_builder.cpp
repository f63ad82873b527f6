#include "db_builder.h"

#include "db/platform.h"
#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace ipodgen {

void PutU32(Bytes& bytes, size_t offset, uint32_t value)
{
    if (bytes.size() < offset + 4)
        bytes.resize(offset + 4);
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetU32(const Bytes& bytes, size_t offset)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | bytes.at(offset + i);
    return value;
}

Bytes Utf16Bytes(const std::wstring& text)
{
    Bytes bytes;
    for (wchar_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>((unit >> 8) & 0xFF));
    }
    return bytes;
}

Bytes Concat(const std::vector<Bytes>& parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

namespace {

// Tag and header length; the rest of the header is zero until fields are put.
Bytes Header(const char* tag, uint32_t headerLength)
{
    Bytes bytes(std::max<uint32_t>(headerLength, 8), 0);
    memcpy(bytes.data(), tag, 4);
    PutU32(bytes, 4, headerLength);
    return bytes;
}

void PutWords(Bytes& bytes, const Words& words)
{
    for (const auto& [offset, value] : words)
        PutU32(bytes, offset, value);
}

void Append(Bytes& to, const std::vector<Bytes>& parts)
{
    for (const Bytes& part : parts)
        to.insert(to.end(), part.begin(), part.end());
}

}  // namespace

Words Word64(size_t offset, uint64_t value)
{
    return {{offset, static_cast<uint32_t>(value)}, {offset + 4, static_cast<uint32_t>(value >> 32)}};
}

Bytes Mhod(const TextObject& object)
{
    Bytes bytes = Header("mhod", object.headerLength);
    bytes.resize(object.headerLength + object.gap, 0);
    PutU32(bytes, 12, object.type);
    PutU32(bytes, 24, 1);   // string position, as real databases write it
    PutU32(bytes, 28, object.byteLength.value_or(static_cast<uint32_t>(object.text.size())));
    bytes.insert(bytes.end(), object.text.begin(), object.text.end());
    PutU32(bytes, 8, object.totalLength.value_or(static_cast<uint32_t>(bytes.size())));
    return bytes;
}

Bytes TextMhod(uint32_t type, const std::wstring& text)
{
    TextObject object;
    object.type = type;
    object.text = Utf16Bytes(text);
    return Mhod(object);
}

Bytes OpaqueMhod(uint32_t type, uint32_t contentBytes, uint8_t fill)
{
    Bytes bytes = Header("mhod", 24);
    PutU32(bytes, 12, type);
    bytes.resize(24 + contentBytes, fill);
    PutU32(bytes, 8, static_cast<uint32_t>(bytes.size()));
    return bytes;
}

Bytes Mhit(const TrackItem& track)
{
    Bytes bytes = Header("mhit", track.headerLength);
    PutU32(bytes, 12, track.objectCount.value_or(static_cast<uint32_t>(track.objects.size())));
    PutU32(bytes, 16, track.trackId);
    PutU32(bytes, 40, static_cast<uint32_t>(track.lengthMs));
    PutU32(bytes, 44, static_cast<uint32_t>(track.trackNumber));
    PutWords(bytes, track.words);
    bytes.resize(track.headerLength);   // a header shorter than 48 stays short
    Append(bytes, track.objects);
    PutU32(bytes, 8, track.totalLength.value_or(static_cast<uint32_t>(bytes.size())));
    return bytes;
}

Bytes Mhip(const PlaylistItem& item)
{
    Bytes bytes = Header("mhip", item.headerLength);
    PutU32(bytes, 12, static_cast<uint32_t>(item.objects.size()));
    PutU32(bytes, 24, item.trackId);
    bytes.resize(std::max<size_t>(item.headerLength, 36));
    Append(bytes, item.objects);
    PutU32(bytes, 8, item.totalLength.value_or(static_cast<uint32_t>(bytes.size())));
    return bytes;
}

Bytes Mhyp(const Playlist& playlist)
{
    Bytes bytes = Header("mhyp", playlist.headerLength);
    PutU32(bytes, 12, playlist.objectCount.value_or(static_cast<uint32_t>(playlist.objects.size())));
    PutU32(bytes, 16, playlist.itemCount.value_or(static_cast<uint32_t>(playlist.items.size())));
    PutU32(bytes, 20, playlist.masterFlag);
    PutWords(bytes, playlist.words);
    bytes.resize(playlist.headerLength);
    Append(bytes, playlist.objects);
    Append(bytes, playlist.items);
    PutU32(bytes, 8, playlist.totalLength.value_or(static_cast<uint32_t>(bytes.size())));
    return bytes;
}

Bytes ListHeader(const char* tag, size_t items, uint32_t headerLength, std::optional<uint32_t> countOverride)
{
    Bytes bytes = Header(tag, headerLength);
    PutU32(bytes, 8, countOverride.value_or(static_cast<uint32_t>(items)));
    bytes.resize(headerLength);
    return bytes;
}

Bytes Mhlt(const std::vector<Bytes>& tracks, std::optional<uint32_t> count)
{
    Bytes bytes = ListHeader("mhlt", tracks.size(), 0x5C, count);
    Append(bytes, tracks);
    return bytes;
}

Bytes Mhlp(const std::vector<Bytes>& playlists, std::optional<uint32_t> count)
{
    Bytes bytes = ListHeader("mhlp", playlists.size(), 0x5C, count);
    Append(bytes, playlists);
    return bytes;
}

Bytes Mhsd(const DataSet& set)
{
    Bytes bytes = Header("mhsd", set.headerLength);
    PutU32(bytes, 12, set.type);
    bytes.resize(set.headerLength);
    bytes.insert(bytes.end(), set.list.begin(), set.list.end());
    PutU32(bytes, 8, set.totalLength.value_or(static_cast<uint32_t>(bytes.size())));
    return bytes;
}

Bytes Mhbd(const Database& db)
{
    Bytes bytes = Header("mhbd", db.headerLength);
    PutU32(bytes, 12, 1);
    PutU32(bytes, 16, 0x0c);   // database version
    PutU32(bytes, 20, db.dataSetCount.value_or(static_cast<uint32_t>(db.dataSets.size())));
    PutWords(bytes, db.words);
    bytes.resize(db.headerLength);
    Append(bytes, db.dataSets);
    PutU32(bytes, 8, static_cast<uint32_t>(bytes.size()));
    return bytes;
}

Bytes Track(const TrackTags& tags)
{
    TrackItem track;
    track.trackId = tags.trackId;
    track.lengthMs = tags.lengthMs;
    track.trackNumber = tags.trackNumber;
    track.words = tags.words;
    track.headerLength = tags.headerLength;
    const std::pair<uint32_t, const std::optional<std::wstring>*> fields[] = {
        {1, &tags.title}, {4, &tags.artist}, {3, &tags.album}, {5, &tags.genre}, {2, &tags.location}};
    for (const auto& [type, text] : fields) {
        if (*text)
            track.objects.push_back(TextMhod(type, **text));
    }
    return Mhit(track);
}

Bytes NamedPlaylist(const std::optional<std::wstring>& name, const std::vector<uint32_t>& trackIds,
                    uint32_t masterFlag, bool smart)
{
    Playlist playlist;
    playlist.masterFlag = masterFlag;
    if (name)
        playlist.objects.push_back(TextMhod(1, *name));
    if (smart)
        playlist.objects.push_back(OpaqueMhod(50, 72));
    playlist.objects.push_back(OpaqueMhod(100, 0x264));
    for (uint32_t id : trackIds) {
        PlaylistItem item;
        item.trackId = id;
        item.objects.push_back(OpaqueMhod(100, 20));
        playlist.items.push_back(Mhip(item));
    }
    return Mhyp(playlist);
}

Bytes SimpleDatabase(const std::vector<Bytes>& tracks, const std::vector<Bytes>& playlists)
{
    Database db;
    db.dataSets.push_back(Mhsd({1, Mhlt(tracks)}));
    if (!playlists.empty())
        db.dataSets.push_back(Mhsd({2, Mhlp(playlists)}));
    return Mhbd(db);
}

Bytes ZlibCompress(const Bytes& bytes)
{
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    Bytes out(size);
    if (compress2(out.data(), &size, bytes.data(), static_cast<uLong>(bytes.size()), Z_BEST_COMPRESSION) != Z_OK)
        return {};
    out.resize(size);
    return out;
}

Bytes CompressedDatabase(const Bytes& itunesDb, uint16_t flag)
{
    const size_t headerLength = std::min<size_t>(GetU32(itunesDb, 4), itunesDb.size());
    Bytes header(itunesDb.begin(), itunesDb.begin() + headerLength);
    header.resize(std::max<size_t>(headerLength, kCdbHeaderLength), 0);
    PutU32(header, 4, static_cast<uint32_t>(header.size()));
    header[0xA8] = static_cast<uint8_t>(flag & 0xFF);
    header[0xA9] = static_cast<uint8_t>(flag >> 8);
    Bytes rest(itunesDb.begin() + headerLength, itunesDb.end());
    Bytes file = Concat({header, flag == 1 ? ZlibCompress(rest) : rest});
    PutU32(file, 8, static_cast<uint32_t>(file.size()));
    return file;
}

bool WriteBytes(const std::wstring& path, const Bytes& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
        DWORD written = 0;
        ok = WriteFile(file, bytes.data() + done, chunk, &written, nullptr) && written == chunk;
        done += written;
    }
    CloseHandle(file);
    return ok;
}

bool ReadBytes(const std::wstring& path, Bytes* bytes)
{
    // Shares writing too: a test may read a file that the program holds open.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (1LL << 31);
    if (ok) {
        bytes->assign(static_cast<size_t>(size.QuadPart), 0);
        DWORD got = 0;
        ok = bytes->empty() || (ReadFile(file, bytes->data(), static_cast<DWORD>(bytes->size()), &got, nullptr) &&
                                got == bytes->size());
    }
    CloseHandle(file);
    return ok;
}

}  // namespace ipodgen
