// The compressed database of newer iPods (iTunesCDB): which file a load
// reads, that it gives the records of the same database stored plainly, and
// what damage, truncation and streams that inflate without bound give.
#include "db/compressed_db.h"
#include "db/itunesdb.h"
#include "db_test_util.h"
#include "ipodgen/sample_ipod.h"

#include <gtest/gtest.h>

#include <optional>

using namespace ipodgen;
using testing_support::TempDir;

namespace {

Bytes SampleDb(int tracks)
{
    auto sample = SampleTracks(tracks);
    return SampleDatabase(sample, SamplePlaylists(sample));
}

Bytes SampleFile(const wchar_t* name)
{
    Bytes bytes;
    EXPECT_TRUE(ReadBytes(testing_support::SamplePath(name), &bytes)) << name;
    return bytes;
}

std::string Describe(const LoadedDb& db)
{
    return (db.opened ? "opened, " : "not opened, ") + std::to_string(db.tracks.size()) + " tracks, " +
           std::to_string(db.playlists.size()) + " playlists";
}

// An iPod's iTunes folder with either file present or absent.
class IpodFolder {
public:
    LoadedDb Load(const std::optional<Bytes>& iTunesDb, const std::optional<Bytes>& iTunesCdb)
    {
        Put(L"iTunesDB", iTunesDb);
        Put(L"iTunesCDB", iTunesCdb);
        return LoadIpodDb(dir.File(L"iTunesDB"));
    }

private:
    void Put(const wchar_t* name, const std::optional<Bytes>& bytes)
    {
        if (bytes)
            ASSERT_TRUE(WriteBytes(dir.File(name), *bytes));
        else
            DeleteFileW(dir.File(name).c_str());
    }

    TempDir dir;
};

Bytes WithHeaderU16(Bytes file, size_t offset, uint16_t value)
{
    file[offset] = static_cast<uint8_t>(value & 0xFF);
    file[offset + 1] = static_cast<uint8_t>(value >> 8);
    return file;
}

// The same database as iTunesDB and, stored compressed and uncompressed, as
// iTunesCDB beside an empty iTunesDB: the same records each time.
void ExpectSameRecordsWhenCompressed(const Bytes& plain)
{
    IpodFolder ipod;
    const LoadedDb expected = ipod.Load(plain, std::nullopt);
    ASSERT_TRUE(expected.opened);
    ASSERT_FALSE(expected.tracks.empty());
    for (uint16_t flag : {1, 0}) {
        const LoadedDb db = ipod.Load(Bytes(), CompressedDatabase(plain, flag));
        const std::string what = "flag " + std::to_string(flag) + ": " + Describe(db);
        EXPECT_TRUE(db.opened) << what;
        EXPECT_EQ(expected.trackCount, db.trackCount) << what;
        EXPECT_EQ(expected.playlistCount, db.playlistCount) << what;
        EXPECT_EQ(expected.tracks.size(), db.tracks.size()) << what;
        EXPECT_EQ(expected.playlists.size(), db.playlists.size()) << what;
        EXPECT_TRUE(IsPrefixOf(db, expected)) << what;
    }
}

TEST(CompressedDb, TheCompressedFileGivesTheRecordsOfTheSameDatabaseStoredPlainly)
{
    ExpectSameRecordsWhenCompressed(SampleDb(30));
}

TEST(SampleDatabases, CompressedCopiesGiveTheRecordsOfTheOriginals)
{
    SKIP_WITHOUT_SAMPLE_DATABASES();
    for (const wchar_t* name : {L"itunes-v4f-2tracks.iTunesDB", L"thirdparty-v0c-5375tracks.iTunesDB"}) {
        SCOPED_TRACE(testing::Message() << name);
        ExpectSameRecordsWhenCompressed(SampleFile(name));
    }
}

TEST(CompressedDb, WhichFileTheLoadReads)
{
    const Bytes cdbDb = SampleDb(9), otherDb = SampleDb(4);
    const Bytes cdb = CompressedDatabase(cdbDb);
    Bytes shortHeader = cdb;
    PutU32(shortHeader, 4, compressed_db::kMinHeaderLength - 1);
    const Bytes none;
    enum Expect { kCdbRecords, kOtherRecords, kNothing };
    const struct {
        const char* what;
        std::optional<Bytes> iTunesDb, iTunesCdb;
        Expect expect;
    } cases[] = {
        {"compressed beside a zero-byte iTunesDB", Bytes(), cdb, kCdbRecords},
        {"compressed without iTunesDB", std::nullopt, cdb, kCdbRecords},
        {"both hold a database: the compressed one wins", otherDb, cdb, kCdbRecords},
        {"stored uncompressed (flag 0)", Bytes(), CompressedDatabase(cdbDb, 0), kCdbRecords},
        {"an iTunesCDB that is not a database", otherDb, Bytes{'j', 'u', 'n', 'k', 0, 0, 0, 0}, kOtherRecords},
        {"a zero-byte iTunesCDB", otherDb, Bytes(), kOtherRecords},
        {"no iTunesCDB", otherDb, std::nullopt, kOtherRecords},
        {"a zero-byte iTunesDB alone, as today", Bytes(), std::nullopt, kNothing},
        {"an unknown flag: the iTunesDB that reads", otherDb, WithHeaderU16(cdb, 0xA8, 2), kOtherRecords},
        {"an unknown flag beside a zero-byte iTunesDB", Bytes(), WithHeaderU16(cdb, 0xA8, 2), kNothing},
        {"a flag of 0x100", otherDb, WithHeaderU16(cdb, 0xA8, 0x100), kOtherRecords},
        {"a header too short to hold the flag", otherDb, shortHeader, kOtherRecords},
        {"a header longer than the file", otherDb, WithHeaderU16(cdb, 4, 0xFFFF), kOtherRecords},
        {"only the tag and the header length", otherDb, Bytes(cdb.begin(), cdb.begin() + 8), kOtherRecords},
        {"the tag and half a header length", otherDb, Bytes(cdb.begin(), cdb.begin() + 6), kOtherRecords},
    };
    IpodFolder ipod;
    const LoadedDb cdbRecords = ipod.Load(cdbDb, std::nullopt), otherRecords = ipod.Load(otherDb, std::nullopt);
    for (const auto& c : cases) {
        const LoadedDb db = ipod.Load(c.iTunesDb, c.iTunesCdb);
        const std::string what = std::string(c.what) + ": " + Describe(db);
        if (c.expect == kNothing) {
            EXPECT_FALSE(db.opened) << what;
            EXPECT_TRUE(db.tracks.empty() && db.playlists.empty()) << what;
            continue;
        }
        const LoadedDb& expected = c.expect == kCdbRecords ? cdbRecords : otherRecords;
        EXPECT_TRUE(db.opened) << what;
        EXPECT_EQ(expected.tracks.size(), db.tracks.size()) << what;
        EXPECT_EQ(expected.playlists.size(), db.playlists.size()) << what;
        EXPECT_TRUE(IsPrefixOf(db, expected)) << what;
    }
}

TEST(CompressedDb, EveryTruncationGivesAPrefixOfTheIntactRecords)
{
    const Bytes cdb = CompressedDatabase(SampleDb(12));
    IpodFolder ipod;
    const LoadedDb whole = ipod.Load(Bytes(), cdb);
    ASSERT_EQ(12u, whole.tracks.size());
    size_t partial = 0;
    for (size_t cut = 0; cut < cdb.size(); ++cut) {
        const LoadedDb db = ipod.Load(Bytes(), Bytes(cdb.begin(), cdb.begin() + cut));
        const std::string what = "cut at " + std::to_string(cut) + ": " + Describe(db);
        ASSERT_EQ(cut >= kCdbHeaderLength, db.opened) << what;
        ASSERT_TRUE(IsPrefixOf(db, whole)) << what;
        partial += !db.tracks.empty() && db.tracks.size() < whole.tracks.size();
    }
    EXPECT_GT(partial, 0u) << "some cuts must leave the first tracks readable";
}

// A database followed (or preceded) by a data set of zeros that compresses
// far beyond the bound: the image stops at the bound, and what lies before
// the cut still reads.
TEST(CompressedDb, AStreamInflatingPastTheBoundIsCutThere)
{
    const Bytes tracks = Mhsd({1, Mhlt({Track({5, L"Kept"}), Track({6, L"Also kept"})})});
    const Bytes padding = Mhsd({4, Bytes(8 << 20, 0)});
    const struct {
        const char* what;
        std::vector<Bytes> dataSets;
        size_t tracksRead;
    } cases[] = {
        {"padding after the tracks", {tracks, padding}, 2},
        {"padding before the tracks", {padding, tracks}, 0},
    };
    TempDir dir;
    for (const auto& c : cases) {
        Database db;
        db.dataSets = c.dataSets;
        const Bytes cdb = CompressedDatabase(Mhbd(db));
        const std::wstring path = dir.File(L"iTunesCDB");
        ASSERT_TRUE(WriteBytes(path, cdb));
        const int64_t bound = compressed_db::ImageBound(static_cast<int64_t>(cdb.size() - kCdbHeaderLength));
        ASSERT_LT(bound, 8 << 20) << c.what;

        ByteChunks image;
        ASSERT_EQ(compressed_db::Content::kInflated, compressed_db::ReadDatabase(path.c_str(), &image)) << c.what;
        EXPECT_EQ(bound, image.Size()) << c.what;
        const LoadedDb loaded = LoadIpodDb(dir.File(L"iTunesDB"));
        EXPECT_TRUE(loaded.opened) << c.what;
        EXPECT_EQ(c.tracksRead, loaded.tracks.size()) << c.what;
    }
}

TEST(CompressedDb, BoundIsSixtyFourTimesTheCompressedBytesWithinItsFloorAndCeiling)
{
    const struct {
        int64_t compressed, bound;
    } cases[] = {
        {-5, 1 << 20},
        {0, 1 << 20},
        {16 << 10, 1 << 20},                // 1 MiB either way
        {100000, 6400000},
        {4 << 20, 256LL << 20},
        {(4 << 20) + 1, 256LL << 20},
        {1LL << 40, 256LL << 20},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.bound, compressed_db::ImageBound(c.compressed)) << c.compressed;
}

TEST(CompressedDb, PathBesideTheGivenDatabase)
{
    const struct {
        const wchar_t* given;
        size_t units;
        const wchar_t* expected;   // null: does not fit
    } cases[] = {
        {L"E:\\iPod_Control\\iTunes\\iTunesDB", MAX_PATH, L"E:\\iPod_Control\\iTunes\\iTunesCDB"},
        {L"Z:/tmp/x/iTunesDB", MAX_PATH, L"Z:/tmp/x/iTunesCDB"},
        {L"C:\\a/b\\db", MAX_PATH, L"C:\\a/b\\iTunesCDB"},
        {L"iTunesDB", MAX_PATH, L"iTunesCDB"},
        {L"E:\\iTunesDB", 13, L"E:\\iTunesCDB"},
        {L"E:\\iTunesDB", 12, nullptr},
        {L"E:\\folder\\iTunesDB", 5, nullptr},
    };
    for (const auto& c : cases) {
        wchar_t path[MAX_PATH] = {};
        const bool fits = compressed_db::PathBeside(c.given, path, c.units);
        EXPECT_EQ(c.expected != nullptr, fits) << c.given;
        if (c.expected && fits) {
            EXPECT_STREQ(c.expected, path);
        }
    }
}

}  // namespace
