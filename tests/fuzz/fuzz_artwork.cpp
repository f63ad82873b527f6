// One input is cut into an iPod's ArtworkDB, its SysInfoExtended and a small
// ithmb file, and read as a copy run reads the covers: every image the
// database lists is decoded. The input begins with the byte lengths of the
// ArtworkDB and of the SysInfoExtended (32 bits each, cut to what follows);
// the rest is the ithmb file, which every name the corpus uses points to.
#include "db/artwork_db.h"
#include "ipodgen/db_builder.h"
#include "support/test_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

const char* const kIthmbNames[] = {"F1028_1.ithmb", "F1029_1.ithmb", "F1060_1.ithmb", "F1060_2.ithmb",
                                   "F1061_1.ithmb", "F1089_1.ithmb"};

struct Folder {
    testing_support::TempDir dir;
    std::wstring artworkDb = dir.File(L"ArtworkDB");
    std::wstring sysInfo = dir.File(L"SysInfoExtended");
    std::wstring ithmb = dir.File(L"ithmb");

    Folder()
    {
        std::error_code error;
        const std::filesystem::path folder(dir.Path());
        for (const char* name : kIthmbNames)
            std::filesystem::create_symlink("ithmb", folder / name, error);
        if (dir.Path().empty() || error)
            abort();
    }
};

// The next `length` bytes of the input (fewer when it ends sooner).
ipodgen::Bytes Take(const uint8_t*& data, size_t& size, size_t length)
{
    const size_t n = std::min(size, length);
    data += n, size -= n;
    return ipodgen::Bytes(data - n, data);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const Folder folder;
    const size_t inputSize = size;
    ipodgen::Bytes lengths = Take(data, size, 8);
    lengths.resize(8, 0);
    const ipodgen::Bytes database = Take(data, size, ipodgen::GetU32(lengths, 0));
    const ipodgen::Bytes sysInfo = Take(data, size, ipodgen::GetU32(lengths, 4));
    if (!ipodgen::WriteBytes(folder.artworkDb, database) || !ipodgen::WriteBytes(folder.sysInfo, sysInfo) ||
        !ipodgen::WriteBytes(folder.ithmb, ipodgen::Bytes(data, data + size)))
        abort();
    CArtworkDB artwork;
    artwork.OpenFolder(folder.dir.Path(), folder.sysInfo);
    if (artwork.ImageCount() > inputSize / 0x1C)
        abort();
    for (uint32_t id : artwork.ImageIds()) {
        artwork::Picture picture;
        std::wstring failure;
        const bool decoded = artwork.Decode(id, &picture, &failure);
        if (decoded ? picture.bgr.size() != size_t(picture.width) * picture.height * 3 || picture.bgr.empty()
                    : failure.empty())
            abort();
    }
    return 0;
}
