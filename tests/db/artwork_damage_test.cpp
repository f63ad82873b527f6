// Damaged, truncated and missing artwork files: no covers, or fewer, with a
// reason; never a read outside the files (the native build runs this under
// the address and undefined-behaviour sanitizers).
#include "db/artwork_db.h"
#include "ipodgen/artwork_builder.h"
#include "db_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

using namespace ipodgen;
using testing_support::TempDir;

namespace {

// Three images in two formats; the 1061 frames roll over into a second file.
struct Seed {
    Bytes database;
    IthmbFiles ithmb;
    Seed()
    {
        ArtworkLayout layout({{1061, 56, 56, 112}, {4000, 12, 12, 24}}, 2 * 56 * 112);
        for (uint32_t id : {100u, 101u, 102u}) {
            layout.AddImage(id, id, [id](uint32_t x, uint32_t y, uint32_t, uint32_t) {
                return Rgb{static_cast<uint8_t>(x * 4), static_cast<uint8_t>(y * 4), static_cast<uint8_t>(id)};
            }, ithmb.Sink());
        }
        database = layout.Database();
    }
};

// Writes what is given (no database: none) and opens it.
bool OpenWritten(const TempDir& dir, const Bytes* database, const IthmbFiles& ithmb, CArtworkDB& artwork)
{
    if (database)
        WriteBytes(dir.File(L"ArtworkDB"), *database);
    for (const auto& [name, bytes] : ithmb.files)
        WriteBytes(dir.File(name.substr(1)), bytes);
    return artwork.OpenFolder(dir.Path(), dir.File(L"SysInfoExtended"));
}

// Where the nth occurrence of the text is, at or after `from`; the size when there is none.
size_t Nth(const Bytes& bytes, const std::string& text, int n, size_t from = 0)
{
    for (auto at = bytes.begin() + static_cast<ptrdiff_t>(from);; ++at) {
        at = std::search(at, bytes.end(), text.begin(), text.end());
        if (at == bytes.end() || --n == 0)
            return static_cast<size_t>(at - bytes.begin());
    }
}

TEST(ArtworkDamage, DamagedOrMissingFilesGiveFewerCoversAndSayWhy)
{
    const wchar_t *f1061 = L":F1061_1.ithmb", *f4000 = L":F4000_1.ithmb";
    const struct {
        std::function<void(Bytes& database, std::map<std::wstring, Bytes>& ithmb)> damage;
        bool opens;
        std::vector<uint32_t> images;
        const wchar_t* failure;   // of Open, else of decoding image 100
        uint32_t width;           // of image 100 decoded
    } cases[] = {
        {[](Bytes&, auto&) {}, true, {100, 101, 102}, L"", 56},
        {[](Bytes& d, auto&) { d.clear(); }, false, {}, L"no ArtworkDB", 0},
        {[](Bytes& d, auto&) { memcpy(d.data(), "dfhm", 4); }, true, {}, L"", 0},
        {[](Bytes& d, auto&) { d[3] = 'x'; }, false, {}, L"ArtworkDB damaged", 0},
        {[](Bytes& d, auto&) { d[Nth(d, "mhod", 1, Nth(d, "mhii", 2))] = 'x'; }, true, {100, 102}, L"", 56},
        {[&](Bytes&, auto& i) { i.erase(f1061); }, true, {100, 101, 102}, L"", 12},   // the smaller thumbnail
        {[&](Bytes&, auto& i) { i.erase(f1061), i.erase(f4000); }, true, {100, 101, 102},
         L"ithmb file missing: F1061_1.ithmb", 0},
        {[&](Bytes&, auto& i) { i[f1061].resize(6000), i.erase(f4000); }, true, {100, 101, 102},
         L"thumbnail beyond the end of F1061_1.ithmb", 0},
        {[](Bytes& d, auto&) {
             for (size_t at; (at = Nth(d, std::string(":\0F", 3), 1)) < d.size();)
                 d[at + 2] = ':';   // an empty folder name
         }, true, {100, 101, 102}, L"no usable ithmb file name", 0},
    };
    const Seed seed;
    for (const auto& c : cases) {
        const std::string what = "case " + std::to_string(&c - cases);
        Seed damaged = seed;
        c.damage(damaged.database, damaged.ithmb.files);
        TempDir dir;
        CArtworkDB artwork;
        ASSERT_EQ(c.opens, OpenWritten(dir, damaged.database.empty() ? nullptr : &damaged.database, damaged.ithmb, artwork)) << what;
        EXPECT_EQ(c.images, artwork.ImageIds()) << what;
        artwork::Picture picture;
        std::wstring failure = artwork.OpenFailure();
        if (c.opens && !c.images.empty()) {
            EXPECT_EQ(c.width != 0, artwork.Decode(100, &picture, &failure)) << what;
        }
        EXPECT_EQ(c.failure, failure) << what;
        EXPECT_EQ(c.width, picture.width) << what;
    }
}

TEST(ArtworkDamage, EveryTruncationOfTheDatabaseKeepsTheImagesReadWhole)
{
    const Seed seed;
    TempDir dir;
    CArtworkDB whole;
    ASSERT_TRUE(OpenWritten(dir, &seed.database, seed.ithmb, whole));
    for (size_t size = 1; size < seed.database.size(); ++size) {
        CArtworkDB artwork;
        const Bytes cut(seed.database.begin(), seed.database.begin() + size);
        const bool opened = OpenWritten(dir, &cut, {}, artwork);
        ASSERT_EQ(size >= 0x18, opened) << size;
        const std::vector<uint32_t> ids = artwork.ImageIds(), all = whole.ImageIds();
        ASSERT_TRUE(std::equal(ids.begin(), ids.end(), all.begin(), all.begin() + std::min(ids.size(), all.size())))
            << size;
        for (uint32_t id : ids) {
            artwork::Picture cutPicture, wholePicture;
            std::wstring failure;
            ASSERT_TRUE(artwork.Decode(id, &cutPicture, &failure) && whole.Decode(id, &wholePicture, &failure));
            ASSERT_EQ(wholePicture.bgr, cutPicture.bgr) << size;
        }
    }
}

}  // namespace
