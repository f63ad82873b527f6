// The fields beyond the first 48 bytes of a track, bounded by the header that
// holds them, the persistent ids, and the Play Counts file folded into them.
#include "db/itunesdb.h"
#include "db/play_counts.h"
#include "db_test_util.h"

#include <gtest/gtest.h>

#include <array>

using namespace ipodgen;

namespace {

// compilation, rating, trackCount, year, playCount, lastPlayed, discNumber, discCount, dateAdded,
// persistentId, bpm, skipCount, lastSkipped, mediaType.
std::vector<uint64_t> History(const TrackEntry& t)
{
    return {t.compilation, t.rating, uint64_t(t.trackCount), uint64_t(t.year), t.playCount, t.lastPlayed,
            uint64_t(t.discNumber), uint64_t(t.discCount), t.dateAdded, t.persistentId, t.bpm, t.skipCount,
            t.lastSkipped, t.mediaType};
}
struct Field { size_t end; uint64_t value; };   // the first offset past the field, as above
const Field kFields[] = {{0x1F, 1}, {0x20, 80}, {0x34, 12}, {0x38, 1999}, {0x54, 7}, {0x5C, 3000000000u},
                         {0x60, 2}, {0x64, 3}, {0x6C, 2900000000u}, {0x78, 0x1122334455667788ull}, {0x7C, 128},
                         {0xA0, 4}, {0xA4, 3100000000u}, {0xD4, kMediaPodcast | kMediaAudio}};

Bytes HistoryDatabase(uint32_t trackHeaderLength, uint32_t playlistHeaderLength)
{
    TrackItem full;
    full.headerLength = trackHeaderLength;
    full.words = {{0x1C, 80u << 24 | 1u << 16}, {0x30, 12}, {0x34, 1999}, {0x50, 7}, {0x58, 3000000000u},
                  {0x5C, 2}, {0x60, 3}, {0x68, 2900000000u}, {0x70, 0x55667788}, {0x74, 0x11223344},
                  {0x78, 128u << 16}, {0x9C, 4}, {0xA0, 3100000000u}, {0xD0, kMediaPodcast | kMediaAudio}};
    full.objects = {TextMhod(22, L"Album Artist"), TextMhod(12, L"Composer"), TextMhod(8, L"Comment")};
    TrackItem bare = full;   // the same numbers, none of the three texts
    bare.objects = {TextMhod(1, L"Bare")};
    Playlist playlist;
    playlist.headerLength = playlistHeaderLength;
    playlist.words = Word64(0x1C, 0xFEDCBA9876543210ull);
    playlist.objects = {TextMhod(1, L"Mix")};   // the bytes past a short header
    Database db;
    db.words = Word64(0x18, 0x0A0B0C0D0E0F1011ull);
    db.dataSets = {Mhsd({1, Mhlt({Mhit(full), Mhit(bare)})}), Mhsd({2, Mhlp({Mhyp(playlist)})})};
    return Mhbd(db);
}

TEST(TrackHistory, FieldsAreReadOnlyWhereTheHeaderHoldsThemFromPlainAndCompressedDatabases)
{
    testing_support::TempDir dir;
    const std::wstring path = dir.File(L"iTunesDB");
    for (bool compressed : {false, true}) {
        for (uint32_t headerLength : {0x60u, 0x9Cu, 0xF4u, 0x184u}) {
            const uint32_t playlistHeader = headerLength == 0x60 ? 0x20 : 0x6C;   // 0x20 cannot hold the id
            const Bytes plain = HistoryDatabase(headerLength, playlistHeader);
            ASSERT_TRUE(WriteBytes(path, compressed ? Bytes() : plain));
            ASSERT_TRUE(WriteBytes(dir.File(L"iTunesCDB"), compressed ? CompressedDatabase(plain) : Bytes()));
            CiTunesDB reader;
            ASSERT_TRUE(reader.OpenIpodDatabase(path.c_str()));
            EXPECT_EQ(0x0A0B0C0D0E0F1011ull, reader.PersistentId());
            const LoadedDb db = ReadAll(reader, true);
            ASSERT_EQ(2u, db.tracks.size());
            ASSERT_EQ(1u, db.playlists.size());
            EXPECT_EQ(playlistHeader >= 0x24 ? 0xFEDCBA9876543210ull : 0u, db.playlists[0]->persistentId);
            std::vector<uint64_t> expected;   // the skips and the media type came with the 0xF4 header
            for (const Field& f : kFields)
                expected.push_back(f.end <= headerLength && (f.end < 0xA0 || headerLength >= 0xF4) ? f.value : 0);
            for (const auto& track : db.tracks)
                EXPECT_EQ(expected, History(*track)) << compressed << " " << headerLength;
            const TrackEntry& a = *db.tracks[0];
            const TrackEntry& b = *db.tracks[1];
            EXPECT_EQ(L"Album Artist Composer Comment <none> <none> <none> Bare",
                      Text(a.albumArtist) + L" " + Text(a.composer) + L" " + Text(a.comment) + L" " +
                          Text(b.albumArtist) + L" " + Text(b.composer) + L" " + Text(b.comment) + L" " + Text(b.title));
        }
    }
}

// Plays, last played, rating, skips, last skipped, at +0, +4, +12, +20, +24 of an entry.
using Counts = std::array<uint32_t, 5>;
constexpr size_t kCountOffsets[] = {0, 4, 12, 20, 24};

Bytes PlayCounts(uint32_t entryLength, uint32_t declared, const std::vector<Counts>& entries, size_t cut = SIZE_MAX)
{
    Bytes bytes = {'m', 'h', 'd', 'p'};
    PutU32(bytes, 4, 0x60), PutU32(bytes, 8, entryLength), PutU32(bytes, 12, declared);
    bytes.resize(0x60);
    for (const Counts& e : entries) {
        const size_t at = bytes.size();
        bytes.resize(at + entryLength);
        for (size_t i = 0; i < 5 && kCountOffsets[i] + 4 <= entryLength; ++i)
            PutU32(bytes, at + kCountOffsets[i], e[i]);
    }
    bytes.resize(std::min(cut, bytes.size()));
    return bytes;
}

TEST(TrackHistory, PlayCountsAreAddedAndTheirTimesAndRatingsReplaceAsFarAsTheFileIsSound)
{
    const std::vector<Counts> entries = {{3, 5000, 100, 2, 6000}, {0, 0, 0, 0, 0}, {UINT32_MAX, 0, 250, 1, 0}};
    const Counts u = {10, 1000, 60, 5, 2000}, merged = {13, 5000, 100, 7, 6000};   // untouched, and the first merged
    Bytes badTag = PlayCounts(0x1C, 3, entries), shortHeader = badTag, cutHeader = badTag;
    badTag[0] = 'x', PutU32(shortHeader, 4, 0x5C), cutHeader.resize(0x40);
    const struct {
        Bytes file;
        size_t merged;
        std::vector<Counts> expected;
    } cases[] = {
        {PlayCounts(0x0C, 3, entries), 3, {{13, 5000, 60, 5, 2000}, u, {UINT32_MAX, 1000, 60, 5, 2000}}},
        {PlayCounts(0x10, 3, entries), 3, {{13, 5000, 100, 5, 2000}, {10, 1000, 0, 5, 2000}, {UINT32_MAX, 1000, 100, 5, 2000}}},
        {PlayCounts(0x1C, 3, entries), 3, {merged, {10, 1000, 0, 5, 2000}, {UINT32_MAX, 1000, 100, 6, 2000}}},
        {PlayCounts(0x1C, 1, entries), 1, {merged, u, u}},                                 // fewer than the tracks
        {PlayCounts(0x1C, 4, {entries[0], entries[0], entries[0], entries[0]}), 3, {merged, merged, merged}},
        {PlayCounts(0x1C, 3, entries, 0x60 + 0x1C + 0x10), 1, {merged, u, u}},             // truncated
        {PlayCounts(0x0B, 3, entries), 0, {u, u, u}},
        {badTag, 0, {u, u, u}}, {shortHeader, 0, {u, u, u}}, {cutHeader, 0, {u, u, u}},
    };
    for (const auto& c : cases) {
        std::vector<std::unique_ptr<TrackEntry>> tracks(3);
        std::vector<Counts> after;
        for (auto& t : tracks) {
            t = std::make_unique<TrackEntry>();
            t->playCount = u[0], t->lastPlayed = u[1], t->rating = uint8_t(u[2]), t->skipCount = u[3];
            t->lastSkipped = u[4];
        }
        EXPECT_EQ(c.merged, play_counts::Merge(c.file.data(), c.file.size(), tracks)) << &c - cases;
        for (const auto& t : tracks)
            after.push_back({t->playCount, t->lastPlayed, t->rating, t->skipCount, t->lastSkipped});
        EXPECT_EQ(c.expected, after) << &c - cases;
    }
}

}  // namespace
