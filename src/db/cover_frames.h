#pragma once
// How a cover thumbnail lies in its ithmb file, and how its pixels become a
// picture. Every click-wheel iPod stores covers as RGB565 little-endian
// frames of a size fixed per format, whose rows may be padded; the
// thumbnail's own numbers say which part of the frame is the picture.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace artwork {

// 24-bit BGR, rows top-down, no row padding.
struct Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> bgr;
};

// One stored thumbnail of an image, as the ArtworkDB describes it (mhni).
struct Thumbnail {
    uint32_t formatId = 0;
    uint32_t offset = 0;      // in its ithmb file
    uint32_t byteSize = 0;
    int16_t verticalPadding = 0;
    int16_t horizontalPadding = 0;
    uint16_t height = 0;
    uint16_t width = 0;
};

struct Frame {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t rowBytes = 0;
    uint64_t Bytes() const { return uint64_t(rowBytes) * height; }
};

// A cover format as the iPod's SysInfoExtended describes it.
struct DeviceFormat {
    uint32_t formatId = 0;
    Frame frame;
    bool rgb565 = false;   // PixelFormat "4C353635"; other formats are not decoded
};

// Larger renders than any iPod's are taken for damage.
constexpr uint32_t kMaxRenderSide = 4096;

// The cover formats of a SysInfoExtended file: its AlbumArt array, or
// AlbumArt2 when that is empty or missing. Entries without a usable
// FormatId, size or PixelFormat are left out; a file that is not a property
// list gives none.
std::vector<DeviceFormat> CoverFormatsFromSysInfo(const char* bytes, size_t size);

// The frame a thumbnail lies in, whose size must be its byte size: the
// iPod's own description of its format first, then the frames known for the
// format id, then a square frame from its own numbers (side = the larger of
// width + |horizontal padding| and height + |vertical padding|, rows of
// twice the side rounded up to 4 bytes). False, with the reason in
// *failure, when none fits or the one that fits is not RGB565.
bool ChooseFrame(const Thumbnail& thumb, const std::vector<DeviceFormat>& device, Frame* frame,
                 std::wstring* failure);

// The picture's place in the frame: (width - |horizontal padding|) x
// (height - |vertical padding|) from (max(horizontal padding, 0),
// max(vertical padding, 0)), clipped to the frame. False when nothing is left.
struct Crop {
    uint32_t x = 0, y = 0, width = 0, height = 0;
};
bool CropOf(const Thumbnail& thumb, const Frame& frame, Crop* crop);

// Decodes the cropped part of a frame of RGB565 little-endian pixels; each
// channel is widened to 8 bits by repeating its high bits, so that full
// intensity stays 255. `frameBytes` holds frame.Bytes() bytes.
void DecodeRgb565(const uint8_t* frameBytes, const Frame& frame, const Crop& crop, Picture* picture);

}  // namespace artwork
