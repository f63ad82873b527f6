// One input is read as an iPod's database twice, as the media library reads
// it: as an iTunesDB, and as an iTunesCDB beside an empty iTunesDB (the
// compressed database of newer iPods, or a stored one). The sanitizers watch
// every byte the reader touches; the reader's own promise, that it builds no
// more records than the file could hold, is checked too.
#include "db/db_test_util.h"

#include <cstdlib>

namespace {

// A folder of its own: the input as a plain database, and as an iPod's
// iTunesCDB beside an empty iTunesDB.
struct Folder {
    testing_support::TempDir dir;
    std::wstring plain = dir.File(L"plain.itunesdb");
    std::wstring iTunesDb = dir.File(L"iTunesDB");
    std::wstring iTunesCdb = dir.File(L"iTunesCDB");

    Folder()
    {
        if (dir.Path().empty() || !ipodgen::WriteBytes(iTunesDb, {}))
            abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const Folder folder;
    const ipodgen::Bytes input(data, data + size);
    if (!ipodgen::WriteBytes(folder.plain, input) || !ipodgen::WriteBytes(folder.iTunesCdb, input))
        abort();
    const LoadedDb plain = LoadDb(folder.plain);
    if (plain.tracks.size() > size / CiTunesDB::kTrackFieldBytes ||
        plain.playlists.size() > size / CiTunesDB::kPlaylistFieldBytes)
        abort();
    LoadIpodDb(folder.iTunesDb);
    return 0;
}
