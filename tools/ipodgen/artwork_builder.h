#pragma once
// Writes an iPod's covers as iTunes lays them out: the ArtworkDB (images and
// their thumbnails) and the F<format>_<n>.ithmb files of RGB565 frames, with
// every field the reader uses under the caller's control, and the cover
// formats of a SysInfoExtended. Builds natively too, for the fuzz targets.
#include "db/cover_frames.h"
#include "db/file_handle.h"
#include "db_builder.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace ipodgen {

// How one format's frames lie in its ithmb files: width x height RGB565
// little-endian pixels in rows of rowBytes.
struct ArtFormat {
    uint32_t formatId = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint32_t rowBytes = 0;
    uint32_t FrameBytes() const { return rowBytes * height; }
};
// The iPod video: one image per track, found by its song id.
extern const std::vector<ArtFormat> kVideoArtFormats;     // 1028, 1029
// The iPod classic: one image per cover, named by the tracks' links; 1061
// as the iPod describes it, 55 x 55 in 112-byte rows.
extern const std::vector<ArtFormat> kClassicArtFormats;   // 1055, 1060, 1061, 1068

// A thumbnail as the database describes it: its mhni and the mhod naming
// its file.
struct ArtThumb {
    uint32_t formatId = 0;
    std::wstring fileName;   // ":F1060_1.ithmb"
    uint32_t offset = 0;
    uint32_t byteSize = 0;
    int16_t verticalPadding = 0;
    int16_t horizontalPadding = 0;
    uint16_t height = 0;
    uint16_t width = 0;
    uint8_t nameEncoding = 2;   // 2 UTF-16LE, 1 UTF-8
};
ArtThumb WholeFrameThumb(const ArtFormat& format, const std::wstring& fileName, uint32_t offset);
// The type 2 mhod that holds the thumbnail.
Bytes ThumbnailMhod(const ArtThumb& thumb);

struct ArtImage {
    uint32_t imageId = 0;
    uint64_t songId = 0;
    std::vector<Bytes> objects;   // its mhod children: ThumbnailMhod, or anything else
};
Bytes Mhii(const ArtImage& image);
// The whole ArtworkDB: the image list (of Mhii), an empty album list and
// the file list of the formats.
Bytes ArtworkDatabase(const std::vector<Bytes>& images, const std::vector<ArtFormat>& formats);

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};
uint16_t ToRgb565(Rgb colour);
// What a reader makes of the pixel: each channel widened by repeating its high bits.
Rgb FromRgb565(uint16_t pixel);

// A picture at any size: the colour at (x, y) of a width x height picture.
using Painter = std::function<Rgb(uint32_t x, uint32_t y, uint32_t width, uint32_t height)>;
// One frame of the format with the picture drawn at the frame's size; the
// bytes that pad its rows are 0xEE, so that a reader taking them shows it.
Bytes Frame565(const ArtFormat& format, const Painter& paint);
// The picture drawn at the size, as a reader decodes it from RGB565.
artwork::Picture ExpectedPicture(uint32_t width, uint32_t height, const Painter& paint);

// Receives the frames in order; the frames of one file arrive in file order.
using FrameSink = std::function<bool(const std::wstring& fileName, const Bytes& frame)>;

// Lays out images as iTunes does: each format's frames one after the other
// in F<format>_1.ithmb, then in _2, _3... once a file would pass rollBytes.
class ArtworkLayout {
public:
    static constexpr uint64_t kDefaultRollBytes = 256ull << 20;

    explicit ArtworkLayout(std::vector<ArtFormat> formats, uint64_t rollBytes = kDefaultRollBytes);
    // One image with a thumbnail of the picture in every format.
    bool AddImage(uint32_t imageId, uint64_t songId, const Painter& paint, const FrameSink& sink);
    Bytes Database() const { return ArtworkDatabase(m_images, m_formats); }

private:
    std::vector<ArtFormat> m_formats;
    uint64_t m_rollBytes;
    std::vector<uint32_t> m_fileNumber;   // per format
    std::vector<uint64_t> m_fileBytes;    // per format: of its current file
    std::vector<Bytes> m_images;
};

// The ithmb files in memory, by file name.
struct IthmbFiles {
    std::map<std::wstring, Bytes> files;
    FrameSink Sink();
};

// Writes the ithmb files into a folder as the frames arrive, so that
// hundreds of megabytes of covers never sit in memory.
class IthmbFolderWriter {
public:
    explicit IthmbFolderWriter(std::wstring folder) : m_folder(std::move(folder)) {}
    FrameSink Sink();

private:
    bool Append(const std::wstring& fileName, const Bytes& frame);
    std::wstring m_folder;
    std::map<std::wstring, FileHandle> m_open;
};

// A cover format as a SysInfoExtended lists it.
struct DeviceCover {
    uint32_t formatId = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t rowBytesAlignment = 0;   // 0: none written
    bool alignRowBytes = false;       // written when true
    std::string pixelFormat = "4C353635";
};
// A SysInfoExtended property list with these AlbumArt and AlbumArt2 arrays
// (an empty one is written empty) among keys the reader must pass over.
Bytes SysInfoExtended(const std::vector<DeviceCover>& albumArt, const std::vector<DeviceCover>& albumArt2 = {});
// What an iPod classic lists: its four formats, rows aligned to 4 bytes.
std::vector<DeviceCover> ClassicDeviceCovers();

}  // namespace ipodgen
