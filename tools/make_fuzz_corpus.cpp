// make_fuzz_corpus DATABASE_FOLDER PLAY_COUNTS_FOLDER ARTWORK_FOLDER
// Writes the fuzz targets' corpus: the seed databases, each as an iTunesDB
// (NAME.itunesdb) and compressed as an iTunesCDB (NAME.itunescdb), Play
// Counts files for the six tracks of the small sample, with an entry for each
// and for the first three, and the artwork inputs (see ArtworkInputs).
#include "ipodgen/sample_ipod.h"
#include "ipodgen/seed_databases.h"

#include <cstdio>
#include <cstring>
#include <string>

using namespace ipodgen;

namespace {

// One input of fuzz_artwork: the lengths of the ArtworkDB and of the
// SysInfoExtended, both files, then the ithmb file: the layout's largest,
// which the target puts under every name.
Bytes ArtworkInput(const Bytes& database, const Bytes& sysInfo, const IthmbFiles& ithmb)
{
    Bytes largest;
    for (const auto& file : ithmb.files)
        largest = file.second.size() > largest.size() ? file.second : largest;
    Bytes lengths;
    PutU32(lengths, 0, static_cast<uint32_t>(database.size()));
    PutU32(lengths, 4, static_cast<uint32_t>(sysInfo.size()));
    return Concat({lengths, database, sysInfo, largest});
}

Bytes LaidOut(const std::vector<ArtFormat>& formats, int images, const Bytes& sysInfo, uint64_t rollBytes = 1 << 20)
{
    ArtworkLayout layout(formats, rollBytes);
    IthmbFiles ithmb;
    for (int i = 0; i < images; ++i) {
        layout.AddImage(100 + i, 0x5A00 + i, [i](uint32_t x, uint32_t y, uint32_t, uint32_t) {
            return Rgb{static_cast<uint8_t>(x * 9), static_cast<uint8_t>(y * 9), static_cast<uint8_t>(i * 80)};
        }, ithmb.Sink());
    }
    return ArtworkInput(layout.Database(), sysInfo, ithmb);
}

// Small frames in each way a thumbnail is framed: by its own numbers (the
// video's ids at other sizes), by SysInfoExtended's AlbumArt (the classic's
// 1061) or AlbumArt2 (padded thumbnails, one name in UTF-8), and files
// rolled over; and a byte-swapped database.
std::vector<std::pair<const wchar_t*, Bytes>> ArtworkInputs()
{
    DeviceCover small1060{1060, 8, 8, 0, true}, aligned1089{1089, 10, 10, 16};
    ArtThumb padded{1089, L":F1089_1.ithmb", 0, 320, 2, -1, 10, 10};
    const ArtThumb utf8{1089, L":F1089_1.ithmb", 320, 320, -3, 1, 10, 10, 1};
    IthmbFiles paddedFiles;
    paddedFiles.files[L":F1089_1.ithmb"] = Bytes(640, 0x5C);
    const Bytes classic = LaidOut({{1061, 55, 55, 112}}, 2, SysInfoExtended(ClassicDeviceCovers()));
    Bytes swapped = classic;
    memcpy(swapped.data() + 8, "dfhm", 4);
    return {
        {L"video", LaidOut({{1028, 12, 12, 24}, {1029, 16, 16, 32}}, 2, {})},
        {L"classic", classic},
        {L"album-art2", ArtworkInput(ArtworkDatabase({Mhii({100, 1, {ThumbnailMhod(padded)}}),
                                                       Mhii({101, 2, {ThumbnailMhod(utf8)}})}, {}),
                                     SysInfoExtended({}, {aligned1089}), paddedFiles)},
        {L"rolled", LaidOut({{1060, 8, 8, 16}}, 3, SysInfoExtended({small1060}), 256)},
        {L"byte-swapped", swapped},
    };
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        fwprintf(stderr, L"usage: make_fuzz_corpus DATABASE_FOLDER PLAY_COUNTS_FOLDER ARTWORK_FOLDER\n");
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
    for (const auto& [name, input] : ArtworkInputs()) {
        if (!WriteBytes(std::wstring(argv[3]) + L"\\" + name, input)) {
            fwprintf(stderr, L"cannot write %ls in %ls\n", name, argv[3]);
            return 1;
        }
    }
    return 0;
}
