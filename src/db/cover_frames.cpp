#include "db/cover_frames.h"

#include "db/plist.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cstdlib>

namespace artwork {

namespace {

// The square cover frames of the click-wheel iPods, by format id. An id may
// name two frames (1016 on the iPod photo and on the nano 7G); the byte size
// tells them apart. For 1061 the iPods describe 55 x 55 while other writers
// store 56 x 56, both in 112-byte rows.
constexpr struct {
    uint16_t formatId;
    uint16_t side;
} kKnownFrames[] = {
    {1016, 140}, {1017, 56},                                   // iPod photo
    {1027, 100}, {1031, 42},                                   // nano 1G and 2G
    {1028, 100}, {1029, 200},                                  // video
    {1055, 128}, {1060, 320}, {1061, 56}, {1061, 55}, {1068, 128},   // classic, nano 3G
    {1071, 240}, {1074, 50}, {1078, 80}, {1084, 240},         // nano 4G
    {1056, 128}, {1073, 240},                                  // nano 5G
    {1085, 88}, {1089, 58},                                    // nano 6G
    {1010, 240}, {1011, 240}, {1013, 50}, {1015, 58}, {1016, 57},   // nano 7G
};

constexpr char kRgb565LittleEndian[] = "4C353635";   // "L565"

uint32_t AlignUp(uint64_t value, uint32_t alignment)
{
    return static_cast<uint32_t>((value + alignment - 1) / alignment * alignment);
}

Frame SquareFrame(uint32_t side) { return {side, side, AlignUp(2ull * side, 4)}; }

bool InRange(int64_t value, int64_t low, int64_t high) { return value >= low && value <= high; }

bool SameLetters(const std::string& text, const char* expected)
{
    return std::equal(text.begin(), text.end(), expected, expected + strlen(expected),
                      [](char a, char b) { return toupper(static_cast<unsigned char>(a)) == b; });
}

// Rows are aligned to RowBytesAlignment bytes, or to 4 when AlignRowBytes is true.
uint32_t RowAlignment(const plist::Value& entry)
{
    int64_t alignment = 0;
    if (entry.FindInteger("RowBytesAlignment", &alignment) && InRange(alignment, 1, kMaxRenderSide))
        return static_cast<uint32_t>(alignment);
    return entry.FindInteger("AlignRowBytes", &alignment) && alignment ? 4 : 1;
}

bool ReadDeviceFormat(const plist::Value& entry, DeviceFormat* format)
{
    int64_t id = 0, width = 0, height = 0;
    const plist::Value* pixels = entry.Find("PixelFormat");
    if (!entry.FindInteger("FormatId", &id) || !entry.FindInteger("RenderWidth", &width) ||
        !entry.FindInteger("RenderHeight", &height) || !pixels || pixels->kind != plist::Value::Kind::kString ||
        !InRange(id, 0, UINT32_MAX) || !InRange(width, 1, kMaxRenderSide) || !InRange(height, 1, kMaxRenderSide))
        return false;
    format->formatId = static_cast<uint32_t>(id);
    format->frame.width = static_cast<uint32_t>(width);
    format->frame.height = static_cast<uint32_t>(height);
    format->frame.rowBytes = AlignUp(2ull * static_cast<uint64_t>(width), RowAlignment(entry));
    format->rgb565 = SameLetters(pixels->text, kRgb565LittleEndian);
    return true;
}

const plist::Value* NonEmptyArray(const plist::Value& root, const char* key)
{
    const plist::Value* array = root.Find(key);
    return array && array->kind == plist::Value::Kind::kArray && !array->items.empty() ? array : nullptr;
}

bool FrameFromOwnNumbers(const Thumbnail& thumb, Frame* frame)
{
    const uint32_t side = std::max<uint32_t>(thumb.width + std::abs(thumb.horizontalPadding),
                                             thumb.height + std::abs(thumb.verticalPadding));
    *frame = SquareFrame(side);
    return side > 0 && frame->Bytes() == thumb.byteSize;
}

}  // namespace

std::vector<DeviceFormat> CoverFormatsFromSysInfo(const char* bytes, size_t size)
{
    std::vector<DeviceFormat> formats;
    plist::Value root;
    if (!plist::Parse(bytes, size, &root))
        return formats;
    const plist::Value* entries = NonEmptyArray(root, "AlbumArt");
    if (!entries)
        entries = NonEmptyArray(root, "AlbumArt2");
    if (!entries)
        return formats;
    for (const plist::Value& entry : entries->items) {
        DeviceFormat format;
        if (ReadDeviceFormat(entry, &format))
            formats.push_back(format);
    }
    return formats;
}

bool ChooseFrame(const Thumbnail& thumb, const std::vector<DeviceFormat>& device, Frame* frame,
                 std::wstring* failure)
{
    const std::wstring format = std::to_wstring(thumb.formatId);
    for (const DeviceFormat& d : device) {
        if (d.formatId != thumb.formatId || d.frame.Bytes() != thumb.byteSize)
            continue;
        if (!d.rgb565) {
            *failure = L"format " + format + L" is not RGB565";
            return false;
        }
        *frame = d.frame;
        return true;
    }
    for (const auto& known : kKnownFrames) {
        if (known.formatId == thumb.formatId && SquareFrame(known.side).Bytes() == thumb.byteSize) {
            *frame = SquareFrame(known.side);
            return true;
        }
    }
    if (FrameFromOwnNumbers(thumb, frame))
        return true;
    *failure = L"no known frame for format " + format;
    return false;
}

bool CropOf(const Thumbnail& thumb, const Frame& frame, Crop* crop)
{
    const int32_t width = int32_t(thumb.width) - std::abs(thumb.horizontalPadding);
    const int32_t height = int32_t(thumb.height) - std::abs(thumb.verticalPadding);
    const uint32_t x = static_cast<uint32_t>(std::max<int32_t>(thumb.horizontalPadding, 0));
    const uint32_t y = static_cast<uint32_t>(std::max<int32_t>(thumb.verticalPadding, 0));
    if (width <= 0 || height <= 0 || x >= frame.width || y >= frame.height)
        return false;
    *crop = {x, y, std::min(uint32_t(width), frame.width - x), std::min(uint32_t(height), frame.height - y)};
    return true;
}

void DecodeRgb565(const uint8_t* frameBytes, const Frame& frame, const Crop& crop, Picture* picture)
{
    picture->width = crop.width;
    picture->height = crop.height;
    picture->bgr.resize(size_t(crop.width) * crop.height * 3);
    uint8_t* out = picture->bgr.data();
    for (uint32_t row = 0; row < crop.height; ++row) {
        const uint8_t* in = frameBytes + size_t(crop.y + row) * frame.rowBytes + size_t(crop.x) * 2;
        for (uint32_t column = 0; column < crop.width; ++column, in += 2) {
            const uint32_t p = uint32_t(in[0]) | uint32_t(in[1]) << 8;
            const uint32_t r = p >> 11, g = (p >> 5) & 63, b = p & 31;
            *out++ = static_cast<uint8_t>(b << 3 | b >> 2);
            *out++ = static_cast<uint8_t>(g << 2 | g >> 4);
            *out++ = static_cast<uint8_t>(r << 3 | r >> 2);
        }
    }
}

}  // namespace artwork
