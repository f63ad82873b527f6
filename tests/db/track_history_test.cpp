// The fields beyond the first 48 bytes of a track, bounded by the header that
// holds them, the persistent ids, and the Play Counts file folded into them.
#include "db/itunesdb.h"
#include "db/play_counts.h"
#include "db_test_util.h"

#include <gtest/gtest.h>

using namespace ipodgen;
using testing_support::TempDir;

namespace {

// Each field as the test writes it: offset, bytes, value, long header only.
struct Field {
    const char* name;
    size_t offset, bytes;
    uint64_t value;
    bool longHeaderOnly;
    uint64_t (*read)(const TrackEntry&);
};

const Field kFields[] = {
    {"compilation", 0x1E, 1, 1, false, [](const TrackEntry& t) -> uint64_t { return t.compilation; }},
    {"rating", 0x1F, 1, 80, false, [](const TrackEntry& t) -> uint64_t { return t.rating; }},
    {"trackCount", 0x30, 4, 12, false, [](const TrackEntry& t) -> uint64_t { return uint64_t(t.trackCount); }},
    {"year", 0x34, 4, 1999, false, [](const TrackEntry& t) -> uint64_t { return uint64_t(t.year); }},
    {"playCount", 0x50, 4, 7, false, [](const TrackEntry& t) -> uint64_t { return t.playCount; }},
    {"lastPlayed", 0x58, 4, 3000000000u, false, [](const TrackEntry& t) -> uint64_t { return t.lastPlayed; }},
    {"discNumber", 0x5C, 4, 2, false, [](const TrackEntry& t) -> uint64_t { return uint64_t(t.discNumber); }},
    {"discCount", 0x60, 4, 3, false, [](const TrackEntry& t) -> uint64_t { return uint64_t(t.discCount); }},
    {"dateAdded", 0x68, 4, 2900000000u, false, [](const TrackEntry& t) -> uint64_t { return t.dateAdded; }},
    {"persistentId", 0x70, 8, 0x1122334455667788ull, false, [](const TrackEntry& t) { return t.persistentId; }},
    {"bpm", 0x7A, 2, 128, false, [](const TrackEntry& t) -> uint64_t { return t.bpm; }},
    {"skipCount", 0x9C, 4, 4, true, [](const TrackEntry& t) -> uint64_t { return t.skipCount; }},
    {"lastSkipped", 0xA0, 4, 3100000000u, true, [](const TrackEntry& t) -> uint64_t { return t.lastSkipped; }},
    {"mediaType", 0xD0, 4, kMediaPodcast | kMediaAudio, true, [](const TrackEntry& t) -> uint64_t { return t.mediaType; }},
};

Words FieldWords()
{
    Words words = {{0x1C, 80u << 24 | 1u << 16}, {0x78, 128u << 16}};
    for (const Field& f : kFields) {
        if (f.bytes == 4)
            words.push_back({f.offset, static_cast<uint32_t>(f.value)});
    }
    const Words id = Word64(0x70, 0x1122334455667788ull);
    words.insert(words.end(), id.begin(), id.end());
    return words;
}

Bytes HistoryDatabase(uint32_t trackHeaderLength, uint32_t playlistHeaderLength)
{
    TrackItem full;
    full.headerLength = trackHeaderLength;
    full.trackId = 1;
    full.words = FieldWords();
    full.objects = {TextMhod(22, L"Album Artist"), TextMhod(12, L"Composer"), TextMhod(8, L"Comment"),
                    TextMhod(1, L"Title")};
    TrackItem bare = full;   // the same numbers, none of the three texts
    bare.trackId = 2;
    bare.objects = {TextMhod(1, L"Bare")};
    Playlist playlist;
    playlist.headerLength = playlistHeaderLength;
    playlist.words = Word64(0x1C, 0xFEDCBA9876543210ull);
    playlist.objects = {TextMhod(1, L"Mix")};
    Database db;
    db.words = Word64(0x18, 0x0A0B0C0D0E0F1011ull);
    db.dataSets = {Mhsd({1, Mhlt({Mhit(full), Mhit(bare)})}), Mhsd({2, Mhlp({Mhyp(playlist)})})};
    return Mhbd(db);
}

TEST(TrackHistory, FieldsAreReadOnlyWhereTheHeaderHoldsThemFromPlainAndCompressedDatabases)
{
    TempDir dir;
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
            const std::string where = (compressed ? "compressed, header " : "header ") + std::to_string(headerLength);
            ASSERT_EQ(2u, db.tracks.size()) << where;
            ASSERT_EQ(1u, db.playlists.size()) << where;
            EXPECT_EQ(playlistHeader >= 0x24 ? 0xFEDCBA9876543210ull : 0u, db.playlists[0]->persistentId) << where;
            for (const auto& track : db.tracks) {
                for (const Field& f : kFields) {
                    const bool held = f.offset + f.bytes <= headerLength && (!f.longHeaderOnly || headerLength >= 0xF4);
                    EXPECT_EQ(held ? f.value : 0u, f.read(*track)) << where << ": " << f.name;
                }
            }
            EXPECT_EQ(L"Album Artist|Composer|Comment", Text(db.tracks[0]->albumArtist) + L"|" +
                                                            Text(db.tracks[0]->composer) + L"|" +
                                                            Text(db.tracks[0]->comment));
            EXPECT_EQ(L"<none>|<none>|<none>", Text(db.tracks[1]->albumArtist) + L"|" +
                                                   Text(db.tracks[1]->composer) + L"|" + Text(db.tracks[1]->comment));
            EXPECT_EQ(L"Bare", Text(db.tracks[1]->title)) << where;
        }
    }
}

// --- Play Counts ------------------------------------------------------------

struct CountsEntry {
    uint32_t plays, lastPlayed, rating, skips, lastSkipped;
};

Bytes PlayCounts(uint32_t entryLength, uint32_t declared, const std::vector<CountsEntry>& entries)
{
    Bytes bytes(0x60, 0);
    memcpy(bytes.data(), "mhdp", 4);
    PutU32(bytes, 4, 0x60);
    PutU32(bytes, 8, entryLength);
    PutU32(bytes, 12, declared);
    for (const CountsEntry& e : entries) {
        const size_t at = bytes.size();
        bytes.resize(at + entryLength, 0);
        const std::pair<size_t, uint32_t> words[] = {{0, e.plays}, {4, e.lastPlayed}, {12, e.rating},
                                                     {20, e.skips}, {24, e.lastSkipped}};
        for (const auto& [offset, value] : words) {
            if (offset + 4 <= entryLength)
                PutU32(bytes, at + offset, value);
        }
    }
    return bytes;
}

std::vector<std::unique_ptr<TrackEntry>> ThreeTracks()
{
    std::vector<std::unique_ptr<TrackEntry>> tracks;
    for (uint32_t i = 0; i < 3; ++i) {
        auto t = std::make_unique<TrackEntry>();
        t->playCount = 10, t->lastPlayed = 1000, t->rating = 60, t->skipCount = 5, t->lastSkipped = 2000;
        tracks.push_back(std::move(t));
    }
    return tracks;
}

TEST(TrackHistory, PlayCountsAreAddedAndTheirTimesAndRatingsReplaceAsFarAsTheFileIsSound)
{
    const std::vector<CountsEntry> entries = {{3, 5000, 100, 2, 6000}, {0, 0, 0, 0, 0}, {UINT32_MAX, 0, 250, 1, 0}};
    const CountsEntry untouched = {10, 1000, 60, 5, 2000};
    struct Case {
        const char* what;
        Bytes file;
        size_t merged;
        std::vector<CountsEntry> expected;
    };
    Bytes truncated = PlayCounts(0x1C, 3, entries);
    truncated.resize(0x60 + 0x1C + 0x10);
    Bytes wrongTag = PlayCounts(0x1C, 3, entries);
    wrongTag[0] = 'x';
    Bytes shortHeader = PlayCounts(0x1C, 3, entries);
    PutU32(shortHeader, 4, 0x5C);
    const Case cases[] = {
        {"plays only", PlayCounts(0x0C, 3, entries), 3,
         {{13, 5000, 60, 5, 2000}, {10, 1000, 60, 5, 2000}, {UINT32_MAX, 1000, 60, 5, 2000}}},
        {"with ratings", PlayCounts(0x10, 3, entries), 3,
         {{13, 5000, 100, 5, 2000}, {10, 1000, 0, 5, 2000}, {UINT32_MAX, 1000, 100, 5, 2000}}},
        {"with skips", PlayCounts(0x1C, 3, entries), 3,
         {{13, 5000, 100, 7, 6000}, {10, 1000, 0, 5, 2000}, {UINT32_MAX, 1000, 100, 6, 2000}}},
        {"fewer entries than tracks", PlayCounts(0x1C, 1, {entries[0]}), 1,
         {{13, 5000, 100, 7, 6000}, untouched, untouched}},
        {"more entries than tracks", PlayCounts(0x1C, 4, {entries[0], entries[0], entries[0], entries[0]}), 3,
         {{13, 5000, 100, 7, 6000}, {13, 5000, 100, 7, 6000}, {13, 5000, 100, 7, 6000}}},
        {"a count beyond the file", truncated, 1, {{13, 5000, 100, 7, 6000}, untouched, untouched}},
        {"entries too short", PlayCounts(0x0B, 3, entries), 0, {untouched, untouched, untouched}},
        {"header too short", shortHeader, 0, {untouched, untouched, untouched}},
        {"not a Play Counts file", wrongTag, 0, {untouched, untouched, untouched}},
        {"shorter than its header", Bytes(truncated.begin(), truncated.begin() + 0x40), 0,
         {untouched, untouched, untouched}},
    };
    for (const Case& c : cases) {
        auto tracks = ThreeTracks();
        EXPECT_EQ(c.merged, play_counts::Merge(c.file.data(), c.file.size(), tracks)) << c.what;
        for (size_t i = 0; i < 3; ++i) {
            const CountsEntry& e = c.expected[i];
            const TrackEntry& t = *tracks[i];
            EXPECT_EQ((std::vector<uint32_t>{e.plays, e.lastPlayed, e.rating, e.skips, e.lastSkipped}),
                      (std::vector<uint32_t>{t.playCount, t.lastPlayed, t.rating, t.skipCount, t.lastSkipped}))
                << c.what << ", track " << i;
        }
    }

    TempDir dir;   // the file beside the database, read and left as it was
    const Bytes file = PlayCounts(0x1C, 3, entries);
    ASSERT_TRUE(WriteBytes(dir.File(L"Play Counts"), file));
    auto tracks = ThreeTracks();
    EXPECT_EQ(3u, play_counts::MergeFileBeside(dir.File(L"iTunesDB").c_str(), tracks));
    EXPECT_EQ(13u, tracks[0]->playCount);
    Bytes after;
    ASSERT_TRUE(ReadBytes(dir.File(L"Play Counts"), &after));
    EXPECT_EQ(file, after);
    EXPECT_EQ(0u, play_counts::MergeFileBeside(dir.File(L"sub\\iTunesDB").c_str(), tracks));
}

}  // namespace
