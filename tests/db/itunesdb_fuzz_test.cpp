// Damaged databases: truncations at every byte and seeded random mutations.
// The reader must end every walk, and every text it returns must be bytes of
// the file; a truncated file must give a prefix of the intact file's tracks.
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

TEST(ReaderDamage, CompressedMutationsNeverReadBeyondTheInflatedBytes)
{
    std::vector<SeedDatabase> seeds = {{"small sample", SmallSampleDb()}, {"odd layout", OddLayoutDb()}};
    ASSERT_TRUE(AddSampleSeed(seeds, L"itunes-v4f-2tracks.iTunesDB"));
    MutationTotals totals;
    RunCompressedMutations(seeds, 3000, 20261208, totals);
    printf("%d mutated compressed databases of %zu seeds read in %.1f s (%zu tracks survived)\n", totals.cases,
           seeds.size(), totals.seconds, totals.tracksRead);
}

}  // namespace
