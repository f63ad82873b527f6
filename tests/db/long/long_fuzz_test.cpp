// The long fuzz run: at least 100,000 seeded mutations of every seed database,
// the suite's assertions on each. Not part of the default suite (CTest label
// "long"); run it with
//   ctest --test-dir build/x86_64 -L long --output-on-failure
// SAVANTO_FUZZ_CASES and SAVANTO_FUZZ_SEED change the number of cases and the
// generator's seed.
#include "reader_damage.h"

#include "ipodgen/sample_ipod.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using namespace reader_damage;

namespace {

constexpr int kDefaultCases = 100000;
constexpr uint32_t kDefaultSeed = 20261207;

Bytes ManyTrackDb(int tracks)
{
    auto sample = ipodgen::SampleTracks(tracks);
    return ipodgen::SampleDatabase(sample, ipodgen::SamplePlaylists(sample));
}

// One line per seed database. The real samples join when the build has them.
std::vector<SeedDatabase> Seeds()
{
    std::vector<SeedDatabase> seeds;
    seeds.push_back({"small sample", SmallSampleDb()});
    seeds.push_back({"odd layout", OddLayoutDb()});
    seeds.push_back({"every object type", EveryObjectTypeDb()});
    seeds.push_back({"300 sample tracks", ManyTrackDb(300)});
    EXPECT_TRUE(AddSampleSeed(seeds, L"itunes-v4f-2tracks.iTunesDB"));
    EXPECT_TRUE(AddSampleSeed(seeds, L"thirdparty-v0c-5375tracks.iTunesDB"));
    return seeds;
}

unsigned long Setting(const char* name, unsigned long fallback)
{
    const char* value = getenv(name);
    return value && *value ? strtoul(value, nullptr, 10) : fallback;
}

TEST(LongReaderDamage, SeededMutationsOfEverySeedNeverReadBeyondTheFile)
{
    const std::vector<SeedDatabase> seeds = Seeds();
    ASSERT_GE(seeds.size(), 4u);
    const int cases = static_cast<int>(Setting("SAVANTO_FUZZ_CASES", kDefaultCases));
    const uint32_t seed = static_cast<uint32_t>(Setting("SAVANTO_FUZZ_SEED", kDefaultSeed));
    MutationTotals totals;
    RunSeededMutations(seeds, cases, seed, totals);
    printf("%d mutated databases read in %.1f s (generator seed %u, %zu tracks survived)\n", totals.cases,
           totals.seconds, seed, totals.tracksRead);
    for (size_t i = 0; i < seeds.size(); ++i)
        printf("  %-36s %9zu bytes %7d cases\n", seeds[i].name.c_str(), seeds[i].bytes.size(),
               totals.casesPerSeed[i]);
    EXPECT_EQ(cases, totals.cases);
}

// Compressed databases of the same seeds (iTunesCDB), a fifth as many cases.
TEST(LongReaderDamage, CompressedMutationsOfEverySeedNeverReadBeyondTheInflatedBytes)
{
    const std::vector<SeedDatabase> seeds = Seeds();
    const int cases = static_cast<int>(Setting("SAVANTO_FUZZ_CASES", kDefaultCases) / 5);
    const uint32_t seed = static_cast<uint32_t>(Setting("SAVANTO_FUZZ_SEED", kDefaultSeed));
    MutationTotals totals;
    RunCompressedMutations(seeds, cases, seed, totals);
    printf("%d mutated compressed databases read in %.1f s (generator seed %u, %zu tracks survived)\n",
           totals.cases, totals.seconds, seed, totals.tracksRead);
    EXPECT_EQ(cases, totals.cases);
}

}  // namespace
