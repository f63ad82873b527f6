#include "artwork_builder.h"

#include <algorithm>
#include <cstring>

namespace ipodgen {

const std::vector<ArtFormat> kVideoArtFormats = {{1028, 100, 100, 200}, {1029, 200, 200, 400}};
const std::vector<ArtFormat> kClassicArtFormats = {
    {1055, 128, 128, 256}, {1060, 320, 320, 640}, {1061, 55, 55, 112}, {1068, 128, 128, 256}};

namespace {

void PutU16(Bytes& bytes, size_t offset, uint16_t value)
{
    bytes[offset] = static_cast<uint8_t>(value);
    bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

Bytes Tagged(const char* tag, uint32_t headerLength)
{
    Bytes bytes(headerLength, 0);
    memcpy(bytes.data(), tag, 4);
    PutU32(bytes, 4, headerLength);
    return bytes;
}

// Appends the parts and sets the total length at 8.
Bytes Closed(Bytes bytes, const std::vector<Bytes>& parts = {})
{
    for (const Bytes& part : parts)
        bytes.insert(bytes.end(), part.begin(), part.end());
    PutU32(bytes, 8, static_cast<uint32_t>(bytes.size()));
    return bytes;
}

Bytes NameMhod(const std::wstring& name, uint8_t encoding)
{
    Bytes text = encoding == 2 ? Utf16Bytes(name) : Bytes(name.begin(), name.end());
    Bytes bytes = Tagged("mhod", 0x18);
    bytes.resize(0x24, 0);
    PutU16(bytes, 0x0C, 3);
    PutU32(bytes, 0x18, static_cast<uint32_t>(text.size()));
    bytes[0x1C] = encoding;
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.resize((bytes.size() + 3) / 4 * 4, 0);
    return Closed(bytes);
}

// A list header (mhli, mhla, mhlf): its item count at 8 instead of a length.
Bytes List(const char* tag, const std::vector<Bytes>& items)
{
    Bytes bytes = Tagged(tag, 0x5C);
    PutU32(bytes, 8, static_cast<uint32_t>(items.size()));
    for (const Bytes& item : items)
        bytes.insert(bytes.end(), item.begin(), item.end());
    return bytes;
}

Bytes ArtDataSet(uint16_t type, const Bytes& list)
{
    Bytes bytes = Tagged("mhsd", 0x60);
    PutU16(bytes, 0x0C, type);
    return Closed(bytes, {list});
}

// ":F1060_2.ithmb" -> "F1060_2.ithmb" below the folder.
std::wstring IthmbPath(const std::wstring& folder, const std::wstring& fileName)
{
    std::wstring path = folder;
    for (wchar_t c : fileName)
        path += c == L':' ? L'\\' : c;
    return path;
}

void AppendXmlCovers(std::string& xml, const char* key, const std::vector<DeviceCover>& covers)
{
    xml += "\t<key>" + std::string(key) + "</key>\n\t<array>\n";
    for (const DeviceCover& c : covers) {
        xml += "\t\t<dict>\n\t\t\t<key>FormatId</key><integer>" + std::to_string(c.formatId) + "</integer>\n";
        xml += "\t\t\t<key>RenderWidth</key><integer>" + std::to_string(c.width) + "</integer>\n";
        xml += "\t\t\t<key>RenderHeight</key><integer>" + std::to_string(c.height) + "</integer>\n";
        xml += "\t\t\t<key>PixelFormat</key><string>" + c.pixelFormat + "</string>\n";
        if (c.rowBytesAlignment)
            xml += "\t\t\t<key>RowBytesAlignment</key><integer>" + std::to_string(c.rowBytesAlignment) + "</integer>\n";
        if (c.alignRowBytes)
            xml += "\t\t\t<key>AlignRowBytes</key><true/>\n";
        xml += "\t\t\t<key>Interlaced</key><false/>\n\t\t</dict>\n";
    }
    xml += "\t</array>\n";
}

}  // namespace

ArtThumb WholeFrameThumb(const ArtFormat& format, const std::wstring& fileName, uint32_t offset)
{
    ArtThumb thumb;
    thumb.formatId = format.formatId;
    thumb.fileName = fileName;
    thumb.offset = offset;
    thumb.byteSize = format.FrameBytes();
    thumb.height = format.height;
    thumb.width = format.width;
    return thumb;
}

Bytes ThumbnailMhod(const ArtThumb& thumb)
{
    Bytes mhni = Tagged("mhni", 0x4C);
    PutU32(mhni, 0x0C, 1);
    PutU32(mhni, 0x10, thumb.formatId);
    PutU32(mhni, 0x14, thumb.offset);
    PutU32(mhni, 0x18, thumb.byteSize);
    PutU16(mhni, 0x1C, static_cast<uint16_t>(thumb.verticalPadding));
    PutU16(mhni, 0x1E, static_cast<uint16_t>(thumb.horizontalPadding));
    PutU16(mhni, 0x20, thumb.height);
    PutU16(mhni, 0x22, thumb.width);
    Bytes holder = Tagged("mhod", 0x18);
    PutU16(holder, 0x0C, 2);
    return Closed(holder, {Closed(mhni, {NameMhod(thumb.fileName, thumb.nameEncoding)})});
}

Bytes Mhii(const ArtImage& image)
{
    Bytes bytes = Tagged("mhii", 0x98);
    PutU32(bytes, 0x0C, static_cast<uint32_t>(image.objects.size()));
    PutU32(bytes, 0x10, image.imageId);
    for (const auto& [offset, value] : Word64(0x14, image.songId))
        PutU32(bytes, offset, value);
    return Closed(bytes, image.objects);
}

Bytes ArtworkDatabase(const std::vector<Bytes>& images, const std::vector<ArtFormat>& formats)
{
    std::vector<Bytes> files;
    for (const ArtFormat& format : formats) {
        Bytes mhif = Tagged("mhif", 0x7C);
        PutU32(mhif, 0x10, format.formatId);
        PutU32(mhif, 0x14, format.FrameBytes());
        files.push_back(Closed(mhif));
    }
    Bytes mhfd = Tagged("mhfd", 0x84);
    PutU32(mhfd, 0x10, 2);
    PutU32(mhfd, 0x14, 3);
    return Closed(mhfd, {ArtDataSet(1, List("mhli", images)), ArtDataSet(2, List("mhla", {})),
                         ArtDataSet(3, List("mhlf", files))});
}

uint16_t ToRgb565(Rgb colour)
{
    return static_cast<uint16_t>((colour.r >> 3) << 11 | (colour.g >> 2) << 5 | colour.b >> 3);
}

Rgb FromRgb565(uint16_t pixel)
{
    const uint32_t r = pixel >> 11, g = (pixel >> 5) & 63, b = pixel & 31;
    return {static_cast<uint8_t>(r << 3 | r >> 2), static_cast<uint8_t>(g << 2 | g >> 4),
            static_cast<uint8_t>(b << 3 | b >> 2)};
}

Bytes Frame565(const ArtFormat& format, const Painter& paint)
{
    Bytes frame(format.FrameBytes(), 0xEE);
    for (uint32_t y = 0; y < format.height; ++y) {
        for (uint32_t x = 0; x < format.width; ++x)
            PutU16(frame, y * format.rowBytes + x * 2, ToRgb565(paint(x, y, format.width, format.height)));
    }
    return frame;
}

artwork::Picture ExpectedPicture(uint32_t width, uint32_t height, const Painter& paint)
{
    artwork::Picture picture;
    picture.width = width;
    picture.height = height;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const Rgb c = FromRgb565(ToRgb565(paint(x, y, width, height)));
            picture.bgr.insert(picture.bgr.end(), {c.b, c.g, c.r});
        }
    }
    return picture;
}

ArtworkLayout::ArtworkLayout(std::vector<ArtFormat> formats, uint64_t rollBytes)
    : m_formats(std::move(formats)), m_rollBytes(rollBytes), m_fileNumber(m_formats.size(), 1),
      m_fileBytes(m_formats.size(), 0)
{
}

bool ArtworkLayout::AddImage(uint32_t imageId, uint64_t songId, const Painter& paint, const FrameSink& sink)
{
    ArtImage image{imageId, songId};
    for (size_t i = 0; i < m_formats.size(); ++i) {
        const ArtFormat& format = m_formats[i];
        if (m_fileBytes[i] > 0 && m_fileBytes[i] + format.FrameBytes() > m_rollBytes) {
            ++m_fileNumber[i];
            m_fileBytes[i] = 0;
        }
        const std::wstring name =
            L":F" + std::to_wstring(format.formatId) + L"_" + std::to_wstring(m_fileNumber[i]) + L".ithmb";
        if (!sink(name, Frame565(format, paint)))
            return false;
        image.objects.push_back(ThumbnailMhod(WholeFrameThumb(format, name, static_cast<uint32_t>(m_fileBytes[i]))));
        m_fileBytes[i] += format.FrameBytes();
    }
    m_images.push_back(Mhii(image));
    return true;
}

FrameSink IthmbFiles::Sink()
{
    return [this](const std::wstring& fileName, const Bytes& frame) {
        Bytes& file = files[fileName];
        file.insert(file.end(), frame.begin(), frame.end());
        return true;
    };
}

FrameSink IthmbFolderWriter::Sink()
{
    return [this](const std::wstring& fileName, const Bytes& frame) { return Append(fileName, frame); };
}

bool IthmbFolderWriter::Append(const std::wstring& fileName, const Bytes& frame)
{
    auto open = m_open.find(fileName);
    if (open == m_open.end()) {
        FileHandle file(CreateFileW(IthmbPath(m_folder, fileName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsOpen())
            return false;
        open = m_open.emplace(fileName, std::move(file)).first;
    }
    DWORD written = 0;
    return WriteFile(open->second.Get(), frame.data(), static_cast<DWORD>(frame.size()), &written, nullptr) &&
           written == frame.size();
}

Bytes SysInfoExtended(const std::vector<DeviceCover>& albumArt, const std::vector<DeviceCover>& albumArt2)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                      "<plist version=\"1.0\">\n<dict>\n"
                      "\t<key>FamilyID</key><integer>11</integer>\n"
                      "\t<!-- a list of other images, with fields like the covers' -->\n"
                      "\t<key>ChapterImageSpecs</key>\n\t<array>\n\t\t<dict>\n"
                      "\t\t\t<key>FormatId</key><integer>1060</integer>\n"
                      "\t\t\t<key>RenderWidth</key><integer>1</integer>\n"
                      "\t\t\t<key>RenderHeight</key><integer>1</integer>\n"
                      "\t\t\t<key>PixelFormat</key><string>4C353635</string>\n"
                      "\t\t</dict>\n\t</array>\n"
                      "\t<key>VisibleBuildID</key><string>Sample &amp; test</string>\n";
    AppendXmlCovers(xml, "AlbumArt", albumArt);
    AppendXmlCovers(xml, "AlbumArt2", albumArt2);
    xml += "\t<key>SupportsSparseArtwork</key><true/>\n</dict>\n</plist>\n";
    return Bytes(xml.begin(), xml.end());
}

std::vector<DeviceCover> ClassicDeviceCovers()
{
    std::vector<DeviceCover> covers;
    for (const ArtFormat& format : kClassicArtFormats) {
        DeviceCover cover;
        cover.formatId = format.formatId;
        cover.width = format.width;
        cover.height = format.height;
        cover.alignRowBytes = true;
        covers.push_back(cover);
    }
    return covers;
}

}  // namespace ipodgen
