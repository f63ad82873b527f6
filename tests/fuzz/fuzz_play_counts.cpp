// One input is read as the iPod's "Play Counts" file beside a small database
// and folded into its tracks, as the media library does after a load.
#include "db/db_test_util.h"
#include "db/play_counts.h"

#include <cstdlib>

namespace {

// The small sample database of the other target's corpus as the iPod's
// iTunesDB, and the input as the Play Counts file beside it.
struct Folder {
    testing_support::TempDir dir;
    std::wstring iTunesDb = dir.File(L"iTunesDB");
    std::wstring playCounts = dir.File(play_counts::kFileName);

    Folder()
    {
        const std::string seed = SAVANTO_CORPUS "/fuzz_itunesdb/small-sample.itunesdb";
        ipodgen::Bytes database;
        if (dir.Path().empty() || !ipodgen::ReadBytes(std::wstring(seed.begin(), seed.end()), &database) ||
            !ipodgen::WriteBytes(iTunesDb, database))
            abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const Folder folder;
    if (!ipodgen::WriteBytes(folder.playCounts, ipodgen::Bytes(data, data + size)))
        abort();
    LoadedDb db = LoadIpodDb(folder.iTunesDb);
    if (db.tracks.empty() || play_counts::MergeFileBeside(folder.iTunesDb.c_str(), db.tracks) > db.tracks.size())
        abort();
    return 0;
}
