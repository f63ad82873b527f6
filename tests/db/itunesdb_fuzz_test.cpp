// Damaged databases: truncations at every byte and seeded random mutations.
// The reader must end every walk, and every text it returns must be bytes of
// the file; a truncated file must give a prefix of the intact file's tracks.
#include "db/compressed_db.h"
#include "db/itunesdb.h"
#include "db_test_util.h"
#include "reader_damage.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace reader_damage;
using testing_support::TempDir;

namespace {

bool SameTrack(const TrackEntry& a, const TrackEntry& b)
{
    return a.trackId == b.trackId && a.trackNumber == b.trackNumber && a.lengthMs == b.lengthMs &&
           Text(a.title) == Text(b.title) && Text(a.artist) == Text(b.artist) && Text(a.album) == Text(b.album) &&
           Text(a.genre) == Text(b.genre) && Text(a.location) == Text(b.location);
}

TEST(ReaderDamage, EveryTruncationGivesAPrefixOfTheIntactTracks)
{
    TempDir dir;
    for (const Bytes& intact : {SmallSampleDb(), OddLayoutDb()}) {
        const LoadedDb whole = LoadBytes(dir, intact);
        ASSERT_FALSE(whole.tracks.empty());
        for (size_t cut = 0; cut < intact.size(); ++cut) {
            const Bytes truncated(intact.begin(), intact.begin() + cut);
            const LoadedDb db = LoadBytes(dir, truncated);
            const std::string what = "cut at " + std::to_string(cut);
            ASSERT_EQ(cut >= CiTunesDB::kDbHeaderBytes, db.opened) << what;
            ASSERT_LE(db.tracks.size(), whole.tracks.size()) << what;
            for (size_t i = 0; i < db.tracks.size(); ++i)
                ASSERT_TRUE(SameTrack(*db.tracks[i], *whole.tracks[i])) << what << ", track " << i;
            ExpectReadFromFile(db, truncated, what);
        }
    }
}

// The real two-track sample joins the builder-made seeds when the build has
// the samples; without them the builder-made ones are damaged alone.
TEST(ReaderDamage, SeededMutationsNeverReadBeyondTheFile)
{
    std::vector<SeedDatabase> seeds = {
        {"small sample", SmallSampleDb()}, {"odd layout", OddLayoutDb()}, {"every object type", EveryObjectTypeDb()}};
    ASSERT_TRUE(AddSampleSeed(seeds, L"itunes-v4f-2tracks.iTunesDB"));
    MutationTotals totals;
    RunSeededMutations(seeds, 20000, 20261207, totals);
    printf("%d mutated databases of %zu seeds read in %.1f s (%zu tracks survived)\n", totals.cases, seeds.size(),
           totals.seconds, totals.tracksRead);
}

// Compressed databases (iTunesCDB): every text must come from the bytes that
// the reader walked, which are the inflated ones.

// The bytes the reader walked for an iTunesCDB: the inflated image, the file
// itself when it is stored uncompressed, none when it is not read.
Bytes BytesWalked(const std::wstring& cdbPath, const Bytes& file)
{
    ByteChunks image;
    switch (compressed_db::ReadDatabase(cdbPath.c_str(), &image)) {
    case compressed_db::Content::kStored:
        return file;
    case compressed_db::Content::kInflated: {
        EXPECT_LE(image.Size(), compressed_db::kMaxImageBytes);
        Bytes bytes;
        size_t length = 0;
        for (const uint8_t* chunk; (chunk = image.BytesAt(static_cast<int64_t>(bytes.size()), &length));)
            bytes.insert(bytes.end(), chunk, chunk + length);
        return bytes;
    }
    default:
        return {};
    }
}

TEST(ReaderDamage, CompressedMutationsNeverReadBeyondTheInflatedBytes)
{
    constexpr int kCases = 3000;
    Bytes real;
    ASSERT_TRUE(ReadBytes(testing_support::SamplePath(L"itunes-v4f-2tracks.iTunesDB"), &real));
    const std::vector<Bytes> bases = {CompressedDatabase(SmallSampleDb()), CompressedDatabase(OddLayoutDb()),
                                      CompressedDatabase(real)};
    // Header fields that decide how the rest is read: length, flag, data sets.
    const size_t headerFields[] = {4, 5, 20, 0xA8, 0xA9};

    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir.File(L"iTunesDB"), {}));
    const std::wstring cdbPath = dir.File(L"iTunesCDB");
    std::mt19937 random(20261208);
    size_t tracksRead = 0;
    for (int n = 0; n < kCases; ++n) {
        Bytes file = bases[random() % bases.size()];
        const size_t streamBytes = file.size() - kCdbHeaderLength;
        switch (random() % 4) {
        case 0:   // truncation
            file.resize(random() % file.size());
            break;
        case 1:   // a few random bytes of the stream
            for (int flips = 1 + random() % 4; flips > 0; --flips)
                file[kCdbHeaderLength + random() % streamBytes] ^= static_cast<uint8_t>(1 + random() % 255);
            break;
        case 2:   // a header field
            file[headerFields[random() % 5]] ^= static_cast<uint8_t>(1 << random() % 8);
            break;
        default:  // the stream, then a cut
            file[kCdbHeaderLength + random() % streamBytes] ^= 0x80;
            file.resize(file.size() - random() % 64);
            break;
        }
        ASSERT_TRUE(WriteBytes(cdbPath, file));
        const LoadedDb db = LoadIpodDb(dir.File(L"iTunesDB"));
        tracksRead += db.tracks.size();
        ExpectReadFromFile(db, BytesWalked(cdbPath, file), "case " + std::to_string(n));
        if (HasFatalFailure())
            return;
    }
    printf("%d mutated compressed databases read (%zu tracks survived)\n", kCases, tracksRead);
}

}  // namespace
