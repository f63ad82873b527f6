// The covers: which image is a track's, how its thumbnail is framed and
// cropped, and what its RGB565 pixels decode to.
#include "db/artwork_db.h"
#include "db_test_util.h"
#include "ipodgen/sample_ipod.h"

#include <gtest/gtest.h>

#include <map>

using namespace ipodgen;
using testing_support::TempDir;

namespace {

void WriteArtwork(const TempDir& dir, const Bytes& database, const IthmbFiles& ithmb)
{
    ASSERT_TRUE(WriteBytes(dir.File(L"ArtworkDB"), database));
    for (const auto& [name, bytes] : ithmb.files)
        ASSERT_TRUE(WriteBytes(dir.File(name.substr(1)), bytes));
}

TEST(Artwork, SampleIpodsOfBothStylesGiveEveryTrackOfAnAlbumItsCover)
{
    for (SampleCovers style : {SampleCovers::kPerTrack, SampleCovers::kShared}) {
        TempDir root;
        SampleIpodOptions options;
        options.trackCount = 36;   // albums 0 to 3; album 1 has no cover
        options.mediaFiles = false;
        options.covers = style;
        std::vector<SampleTrack> sample;
        ASSERT_TRUE(CreateSampleIpod(root.Path(), options, &sample));
        const LoadedDb db = LoadIpodDb(root.File(L"iPod_Control\\iTunes\\iTunesDB"));
        CArtworkDB artwork;
        ASSERT_TRUE(artwork.Open(root.Path().c_str()));
        EXPECT_EQ(style == SampleCovers::kShared ? 4u : 0u, artwork.DeviceFormats().size());
        ASSERT_EQ(sample.size(), db.tracks.size());
        std::map<uint32_t, const SampleTrack*> carriers;   // image -> a track that carries it
        for (size_t i = 0; i < sample.size(); ++i) {
            EXPECT_EQ(sample[i].artworkLink, db.tracks[i]->artworkLink) << i;
            const std::optional<uint32_t> image = artwork.ImageOf(*db.tracks[i]);
            ASSERT_EQ(SampleCoverOf(options, sample[i]).has_value(), image.has_value()) << i;
            if (image) {
                EXPECT_EQ(sample[i].albumNo, carriers.emplace(*image, &sample[i]).first->second->albumNo) << i;
            }
        }
        EXPECT_EQ(style == SampleCovers::kShared ? 3u : 26u, carriers.size());
        for (const auto& [image, track] : carriers) {
            artwork::Picture picture;
            std::wstring failure;
            ASSERT_TRUE(artwork.Decode(image, &picture, &failure)) << failure;
            const artwork::Picture expected = *SampleCoverOf(options, *track);
            EXPECT_EQ(style == SampleCovers::kShared ? 320u : 200u, picture.width);
            EXPECT_TRUE(picture.width == expected.width && picture.height == expected.height &&
                        picture.bgr == expected.bgr) << image;
        }
    }
}

TEST(Artwork, TheTrackLinkOverridesTheSongIdWhenTheHeaderHoldsIt)
{
    TempDir dir;
    IthmbFiles ithmb;
    ArtworkLayout layout({{4000, 8, 8, 16}});
    const Painter grey = [](uint32_t, uint32_t, uint32_t, uint32_t) { return Rgb{128, 128, 128}; };
    ASSERT_TRUE(layout.AddImage(100, 0x1111, grey, ithmb.Sink()) && layout.AddImage(200, 0x2222, grey, ithmb.Sink()));
    WriteArtwork(dir, layout.Database(), ithmb);
    const struct {
        uint32_t headerLength;
        uint64_t persistentId;
        uint32_t link, linkRead;
        std::optional<uint32_t> image;
    } cases[] = {
        {0x184, 0x1111, 0, 0, 100},  {0x184, 0x1111, 200, 200, 200}, {0x184, 0x1111, 300, 300, std::nullopt},
        {0x180, 0x1111, 200, 0, 100}, {0x248, 0x3333, 200, 200, 200}, {0x248, 0x3333, 0, 0, std::nullopt},
    };
    std::vector<Bytes> tracks;
    for (const auto& c : cases) {
        Words words = Word64(0x70, c.persistentId);
        words.emplace_back(0x160, c.link);
        tracks.push_back(Track({1, L"T", L"A", L"B", L"G", L":x.mp3", 1, 1, words, c.headerLength}));
    }
    const LoadedDb db = LoadBytes(dir, SimpleDatabase(tracks, {}));
    CArtworkDB artwork;
    ASSERT_TRUE(artwork.OpenFolder(dir.Path(), dir.File(L"SysInfoExtended")));
    ASSERT_EQ(std::size(cases), db.tracks.size());
    for (size_t i = 0; i < db.tracks.size(); ++i) {
        EXPECT_EQ(cases[i].linkRead, db.tracks[i]->artworkLink) << i;
        EXPECT_EQ(cases[i].image, artwork.ImageOf(*db.tracks[i])) << i;
    }
}

// Pixel (x, y) of a frame: x in red, y in green, and 21 in blue, which the
// rows' padding bytes (0xEE) never give.
uint16_t Pattern(uint32_t x, uint32_t y) { return static_cast<uint16_t>((x % 32) << 11 | (y % 64) << 5 | 21); }

TEST(Artwork, ThumbnailsAreFramedAndCroppedByTheDeviceTheKnownFramesOrTheirOwnNumbers)
{
    const DeviceCover aligned16{4001, 90, 90, 16}, aligned4{4002, 71, 71, 0, true};
    const DeviceCover notRgb565{1060, 320, 320, 0, true, "4C353535"}, wide1029{1029, 400, 100};
    const struct {
        uint32_t formatId, frameWidth, frameHeight, rowBytes;
        uint16_t width, height;
        int16_t verticalPadding, horizontalPadding;
        std::vector<DeviceCover> albumArt, albumArt2;
        uint32_t x, y, w, h;          // the picture expected
        const wchar_t* failure;       // or this
    } cases[] = {
        {1060, 320, 320, 640, 320, 320, 0, 0, {}, {}, 0, 0, 320, 320, nullptr},
        {1055, 128, 128, 256, 128, 128, 20, 0, {}, {}, 0, 20, 128, 108, nullptr},
        {1055, 128, 128, 256, 128, 128, 0, -10, {}, {}, 0, 0, 118, 128, nullptr},
        {1055, 128, 128, 256, 140, 128, 0, 20, {}, {}, 20, 0, 108, 128, nullptr},   // clipped to the frame
        {1016, 57, 57, 116, 57, 57, 0, 0, {}, {}, 0, 0, 57, 57, nullptr},           // nano 7G, padded rows
        {1016, 140, 140, 280, 140, 140, 0, 0, {}, {}, 0, 0, 140, 140, nullptr},     // iPod photo
        {1061, 56, 56, 112, 56, 56, 0, 0, {}, {}, 0, 0, 56, 56, nullptr},
        {1061, 55, 55, 112, 55, 55, 0, 0, {}, {}, 0, 0, 55, 55, nullptr},
        {4000, 60, 60, 120, 60, 56, 4, 0, {}, {}, 0, 4, 60, 52, nullptr},           // its own numbers
        {4000, 60, 60, 128, 60, 60, 0, 0, {}, {}, 0, 0, 0, 0, L"no known frame for format 4000"},
        {4001, 90, 90, 192, 90, 90, 0, 0, {aligned16}, {}, 0, 0, 90, 90, nullptr},
        {4002, 71, 71, 144, 71, 71, 0, 0, {}, {aligned4}, 0, 0, 71, 71, nullptr},
        {1029, 400, 100, 800, 400, 100, 0, 0, {wide1029}, {}, 0, 0, 400, 100, nullptr},   // over the known 200 x 200
        {1060, 320, 320, 640, 320, 320, 0, 0, {notRgb565}, {}, 0, 0, 0, 0, L"format 1060 is not RGB565"},
        {1055, 128, 128, 256, 128, 128, 0, 128, {}, {}, 0, 0, 0, 0, L"thumbnail outside its frame"},
    };
    for (const auto& c : cases) {
        const std::string what = "case " + std::to_string(&c - cases);
        TempDir dir;
        Bytes ithmb(100, 0x55);   // the thumbnail does not begin the file
        ithmb.resize(100 + c.rowBytes * c.frameHeight, 0xEE);
        for (uint32_t y = 0; y < c.frameHeight; ++y) {
            for (uint32_t x = 0; x < c.frameWidth; ++x) {
                ithmb[100 + y * c.rowBytes + x * 2] = static_cast<uint8_t>(Pattern(x, y));
                ithmb[100 + y * c.rowBytes + x * 2 + 1] = static_cast<uint8_t>(Pattern(x, y) >> 8);
            }
        }
        const ArtThumb thumb{c.formatId, L":F.ithmb", 100, c.rowBytes * c.frameHeight, c.verticalPadding,
                             c.horizontalPadding, c.height, c.width};
        ASSERT_TRUE(WriteBytes(dir.File(L"F.ithmb"), ithmb));
        ASSERT_TRUE(WriteBytes(dir.File(L"ArtworkDB"), ArtworkDatabase({Mhii({1, 1, {ThumbnailMhod(thumb)}})}, {})));
        if (!c.albumArt.empty() || !c.albumArt2.empty()) {
            ASSERT_TRUE(WriteBytes(dir.File(L"SysInfoExtended"), SysInfoExtended(c.albumArt, c.albumArt2)));
        }
        CArtworkDB artwork;
        artwork::Picture picture;
        std::wstring failure;
        ASSERT_TRUE(artwork.OpenFolder(dir.Path(), dir.File(L"SysInfoExtended"))) << what;
        ASSERT_EQ(c.failure == nullptr, artwork.Decode(1, &picture, &failure)) << what;
        if (c.failure) {
            EXPECT_EQ(c.failure, failure) << what;
            continue;
        }
        const Painter pattern = [&](uint32_t x, uint32_t y, uint32_t, uint32_t) {
            return Rgb{static_cast<uint8_t>((c.x + x) % 32 << 3), static_cast<uint8_t>((c.y + y) % 64 << 2), 21 << 3};
        };
        const artwork::Picture expected = ExpectedPicture(c.w, c.h, pattern);
        EXPECT_TRUE(picture.width == c.w && picture.height == c.h && picture.bgr == expected.bgr)
            << what << ": " << picture.width << " x " << picture.height;
    }
}

TEST(Artwork, RGB565WidensEachChannelByRepeatingItsHighBits)
{
    const uint16_t pixels[] = {0x0000, 0xFFFF, 0xF800, 0x07E0, 0x001F, 0x8410, 0x0821, 0x7BEF};
    const std::vector<uint8_t> bgr = {0, 0, 0,    255, 255, 255, 0, 0, 255,   0, 255, 0,
                                      255, 0, 0,  132, 130, 132, 8, 4, 8,     123, 125, 123};
    Bytes frame(20, 0xEE);   // 8 pixels in a 20-byte row
    for (size_t i = 0; i < std::size(pixels); ++i)
        frame[2 * i] = static_cast<uint8_t>(pixels[i]), frame[2 * i + 1] = static_cast<uint8_t>(pixels[i] >> 8);
    artwork::Picture picture;
    artwork::DecodeRgb565(frame.data(), {8, 1, 20}, {0, 0, 8, 1}, &picture);
    EXPECT_EQ(bgr, picture.bgr);
}

}  // namespace
