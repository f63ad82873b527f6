// Damaged, truncated and missing artwork files: no covers, or fewer, with a
// reason; never a read outside the files (the native build runs this under
// the address and undefined-behaviour sanitizers).
#include "db/artwork_db.h"
#include "ipodgen/artwork_builder.h"
#include "reader_damage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

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
    using Damage = std::function<void(Bytes& database, IthmbFiles& ithmb)>;
    const auto cut = [](const wchar_t* name, size_t size) {
        return [=](Bytes&, IthmbFiles& i) { i.files[name].resize(size); };
    };
    const auto drop = [](const wchar_t* name) { return [=](Bytes&, IthmbFiles& i) { i.files.erase(name); }; };
    const struct {
        Damage damage, more;
        bool opens;
        std::vector<uint32_t> images;
        const wchar_t* failure;   // of Open, else of decoding image 100
        uint32_t width;           // of image 100 decoded
    } cases[] = {
        {[](Bytes&, IthmbFiles&) {}, {}, true, {100, 101, 102}, L"", 56},
        {[](Bytes& d, IthmbFiles&) { d.clear(); }, {}, false, {}, L"no ArtworkDB", 0},
        {[](Bytes& d, IthmbFiles&) { memcpy(d.data(), "dfhm", 4); }, {}, true, {}, L"", 0},
        {[](Bytes& d, IthmbFiles&) { d[3] = 'x'; }, {}, false, {}, L"ArtworkDB damaged", 0},
        {[](Bytes& d, IthmbFiles&) { d[Nth(d, "mhod", 1, Nth(d, "mhii", 2))] = 'x'; }, {}, true, {100, 102}, L"", 56},
        {drop(L":F1061_1.ithmb"), {}, true, {100, 101, 102}, L"", 12},   // the smaller thumbnail
        {drop(L":F1061_1.ithmb"), drop(L":F4000_1.ithmb"), true, {100, 101, 102},
         L"ithmb file missing: F1061_1.ithmb", 0},
        {cut(L":F1061_1.ithmb", 6000), drop(L":F4000_1.ithmb"), true, {100, 101, 102},
         L"thumbnail beyond the end of F1061_1.ithmb", 0},
        {[](Bytes& d, IthmbFiles&) {
             for (size_t at; (at = Nth(d, std::string(":\0F", 3), 1)) < d.size();)
                 d[at + 2] = ':';   // an empty folder name
         }, {}, true, {100, 101, 102}, L"no usable ithmb file name", 0},
    };
    const Seed seed;
    for (const auto& c : cases) {
        const std::string what = "case " + std::to_string(&c - cases);
        Seed damaged = seed;
        c.damage(damaged.database, damaged.ithmb);
        if (c.more) {
            c.more(damaged.database, damaged.ithmb);
        }
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

TEST(ArtworkDamage, SeededMutationsOfTheDatabaseAndItsFilesStayInsideThem)
{
    const Seed seed;
    const std::vector<size_t> fields = reader_damage::FieldOffsets(seed.database);
    std::mt19937 random(20260125);
    TempDir dir;
    CArtworkDB artwork;
    OpenWritten(dir, nullptr, seed.ithmb, artwork);
    const auto& [firstName, firstFile] = *seed.ithmb.files.begin();
    size_t decoded = 0;
    for (int n = 0; n < 1200; ++n) {
        Bytes database = seed.database;
        reader_damage::Mutate(database, fields, random);
        // One case in three cuts the first ithmb file short; the next puts it back.
        IthmbFiles changed;
        if (n % 3 != 2) {
            changed.files[firstName] =
                n % 3 ? firstFile : Bytes(firstFile.begin(), firstFile.begin() + random() % firstFile.size());
        }
        OpenWritten(dir, &database, changed, artwork);
        ASSERT_LE(artwork.ImageCount(), database.size() / 0x1C) << n;
        for (uint32_t id : artwork.ImageIds()) {
            artwork::Picture picture;
            std::wstring failure;
            if (!artwork.Decode(id, &picture, &failure))
                continue;
            ++decoded;
            ASSERT_LE(picture.width * picture.height * 2, 2u * 56 * 112) << n << ": more pixels than a file holds";
            ASSERT_EQ(size_t(picture.width) * picture.height * 3, picture.bgr.size()) << n;
        }
    }
    EXPECT_GT(decoded, 1000u) << "most mutations leave images to decode";
}

}  // namespace
