// make_fuzz_corpus FOLDER
// Writes the seed databases into FOLDER, each as an iTunesDB (NAME.itunesdb)
// and compressed as an iTunesCDB (NAME.itunescdb): the fuzz targets' corpus.
#include "ipodgen/seed_databases.h"

#include <cstdio>
#include <string>

using namespace ipodgen;

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        fwprintf(stderr, L"usage: make_fuzz_corpus FOLDER\n");
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
    return 0;
}
