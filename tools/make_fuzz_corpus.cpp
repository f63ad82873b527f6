// make_fuzz_corpus DATABASE_FOLDER PLAY_COUNTS_FOLDER
// Writes the fuzz targets' corpus: the seed databases, each as an iTunesDB
// (NAME.itunesdb) and compressed as an iTunesCDB (NAME.itunescdb), and Play
// Counts files for the six tracks of the small sample, with an entry for each
// and for the first three.
#include "ipodgen/sample_ipod.h"
#include "ipodgen/seed_databases.h"

#include <cstdio>
#include <string>

using namespace ipodgen;

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        fwprintf(stderr, L"usage: make_fuzz_corpus DATABASE_FOLDER PLAY_COUNTS_FOLDER\n");
        return 2;
    }
    const struct {
        const wchar_t* name;
        Bytes bytes;
    } seeds[] = {{L"small-sample", SmallSampleDb()},
                 {L"odd-layout", OddLayoutDb()},
                 {L"every-object-type", EveryObjectTypeDb()},
                 {L"older-headers", HeaderGenerationDb(false)},
                 {L"newer-headers", HeaderGenerationDb(true)}};
    const std::wstring folder = std::wstring(argv[1]) + L"\\";
    for (const auto& seed : seeds) {
        if (!WriteBytes(folder + seed.name + L".itunesdb", seed.bytes) ||
            !WriteBytes(folder + seed.name + L".itunescdb", CompressedDatabase(seed.bytes))) {
            fwprintf(stderr, L"cannot write %ls in %ls\n", seed.name, argv[1]);
            return 1;
        }
    }
    std::vector<SamplePlays> plays = SamplePlayCounts(SampleTracks(6));
    const std::wstring playCounts = std::wstring(argv[2]) + L"\\";
    if (!WriteBytes(playCounts + L"six-entries", PlayCountsBytes(plays)) ||
        !WriteBytes(playCounts + L"three-entries", PlayCountsBytes({plays.begin(), plays.begin() + 3}))) {
        fwprintf(stderr, L"cannot write in %ls\n", argv[2]);
        return 1;
    }
    return 0;
}
