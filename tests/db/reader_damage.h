#pragma once
// Seeded damage of whole databases, shared by the suite's fuzz test and the
// long run outside it: the seed databases, the mutations, and the check that
// whatever the reader returns was read from the file.
#include "db_test_util.h"
#include "ipodgen/seed_databases.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace reader_damage {

using ipodgen::Bytes;

struct SeedDatabase {
    std::string name;
    Bytes bytes;
};

using ipodgen::EveryObjectTypeDb;
using ipodgen::OddLayoutDb;
using ipodgen::SmallSampleDb;

// Appends the real sample `fileName` when the build has the samples; false
// when it has them but the file cannot be read.
bool AddSampleSeed(std::vector<SeedDatabase>& seeds, const wchar_t* fileName);

// Fails the current test unless every count stays within what the file can
// hold and every text of `db` occurs in `file`.
void ExpectReadFromFile(const LoadedDb& db, const Bytes& file, const std::string& what);

struct MutationTotals {
    int cases = 0;
    size_t tracksRead = 0;
    double seconds = 0;
    std::vector<int> casesPerSeed;
};

// Reads `cases` mutations of the seeds (truncations, flipped bytes, lengths
// and counts set to extremes), chosen by a generator seeded with
// `randomSeed`, and checks each with ExpectReadFromFile. Stops at the first
// fatal failure.
void RunSeededMutations(const std::vector<SeedDatabase>& seeds, int cases, uint32_t randomSeed,
                        MutationTotals& totals);

// The same for compressed databases (iTunesCDB beside a zero-byte iTunesDB):
// each seed is compressed, then its stream, its length or the header fields
// that decide how the rest is read are damaged. Every text must come from the
// bytes the reader walked, which are the inflated ones.
void RunCompressedMutations(const std::vector<SeedDatabase>& seeds, int cases, uint32_t randomSeed,
                            MutationTotals& totals);

}  // namespace reader_damage
