#include "db/artwork_db.h"

#include "db/file_handle.h"
#include "db/read_ahead_file.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <new>

using artwork::Picture;
using artwork::Thumbnail;

namespace {

uint16_t U16At(const uint8_t* bytes, size_t offset)
{
    return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

uint32_t U32At(const uint8_t* bytes, size_t offset)
{
    return static_cast<uint32_t>(U16At(bytes, offset)) | static_cast<uint32_t>(U16At(bytes, offset + 2)) << 16;
}

uint64_t U64At(const uint8_t* bytes, size_t offset)
{
    return static_cast<uint64_t>(U32At(bytes, offset + 4)) << 32 | U32At(bytes, offset);
}

// How much of each object's header the reader takes: up to its last field.
constexpr size_t kFileHeaderBytes = 0x18;    // mhfd: data set count at 0x14
constexpr size_t kSetHeaderBytes = 0x0E;     // mhsd: type, 16 bits, at 0x0C
constexpr size_t kListHeaderBytes = 0x0C;    // mhli: image count at 0x08
constexpr size_t kImageHeaderBytes = 0x1C;   // mhii: song id at 0x14
constexpr size_t kObjectHeaderBytes = 0x0E;  // mhod: type, 16 bits, at 0x0C
constexpr size_t kThumbHeaderBytes = 0x24;   // mhni: width at 0x22
constexpr size_t kNameHeaderBytes = 0x24;    // type 3 mhod: the text follows
constexpr uint16_t kImageListSet = 1;
constexpr uint16_t kThumbnailObject = 2;
constexpr uint16_t kFileNameObject = 3;
constexpr uint8_t kUtf16Name = 2;
constexpr size_t kMaxNameUnits = 200;

// Where an object lies, as its header says: its header ends at `body`.
struct Extent {
    int64_t start = 0;
    int64_t body = 0;
    int64_t end = 0;
};

bool IsPathCharacter(uint32_t unit)
{
    return unit >= 0x20 && unit < 0x7F && !strchr("\\/*?\"<>|", static_cast<int>(unit));
}

// ":F1060_1.ithmb" names F1060_1.ithmb in the artwork folder; each further
// ":" a folder below it. Empty when the name is not a plain relative path of
// printable ASCII (every name an iPod writes is one).
std::wstring RelativePath(const std::vector<uint32_t>& units)
{
    std::wstring path, component;
    size_t i = !units.empty() && units[0] == ':' ? 1 : 0;
    for (; i <= units.size(); ++i) {
        if (i < units.size() && units[i] != ':') {
            if (!IsPathCharacter(units[i]))
                return std::wstring();
            component += static_cast<wchar_t>(units[i]);
            continue;
        }
        if (component.empty() || component == L"." || component == L"..")
            return std::wstring();
        path += (path.empty() ? L"" : L"\\") + component;
        component.clear();
    }
    return path;
}

// Reads n bytes at offset; false when the file holds fewer.
bool ReadExactly(const FileHandle& file, uint64_t offset, uint8_t* out, uint32_t n)
{
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN))
        return false;
    while (n > 0) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), out, n, &got, nullptr) || got == 0)
            return false;
        out += got;
        n -= got;
    }
    return true;
}

}  // namespace

// Walks the ArtworkDB once: mhfd, its data sets (mhsd), and in the image list
// (mhli) each image (mhii) with its thumbnails (type 2 mhod holding an mhni,
// whose type 3 mhod names its ithmb file). The file list and the albums are
// passed over: each thumbnail carries all that decoding needs.
class CArtworkDB::Walker {
public:
    Walker(ReadAheadFile& file, CArtworkDB& db) : m_file(file), m_db(db) {}

    void WalkDataSets(const uint8_t* fileHeader)
    {
        const uint32_t setCount = U32At(fileHeader, 0x14);
        int64_t at = U32At(fileHeader, 4);
        if (at < static_cast<int64_t>(kFileHeaderBytes))
            return;
        for (uint32_t i = 0; i < setCount; ++i) {
            uint8_t head[kSetHeaderBytes];
            Extent set;
            if (!ReadObject(at, "mhsd", head, sizeof(head), sizeof(head), INT64_MAX, &set))
                return;
            if (U16At(head, 0x0C) == kImageListSet)
                WalkImageList(set);
            at = set.end;
        }
    }

private:
    // Reads `bytes` of the header at `at` and its extent, which must lie
    // inside `limit`; its header must be at least `minHeader` bytes long.
    bool ReadObject(int64_t at, const char* tag, uint8_t* head, size_t bytes, size_t minHeader, int64_t limit,
                    Extent* extent)
    {
        if (!m_file.SeekTo(at) || !m_file.Read(head, bytes) || memcmp(head, tag, 4) != 0)
            return false;
        const uint32_t headerLength = U32At(head, 4), totalLength = U32At(head, 8);
        *extent = {at, at + headerLength, at + totalLength};
        return headerLength >= minHeader && totalLength >= headerLength && totalLength >= bytes && extent->end <= limit;
    }

    void WalkImageList(const Extent& set)
    {
        uint8_t list[kListHeaderBytes];
        if (!m_file.SeekTo(set.body) || !m_file.Read(list, sizeof(list)) || memcmp(list, "mhli", 4) != 0)
            return;
        const uint32_t imageCount = U32At(list, 8);
        int64_t at = set.body + U32At(list, 4);
        for (uint32_t i = 0; i < imageCount && at < set.end; ++i) {
            uint8_t head[kImageHeaderBytes];
            Extent image;
            if (!ReadObject(at, "mhii", head, sizeof(head), sizeof(head), set.end, &image))
                return;
            ReadImage(head, image);   // damage inside one image drops it alone
            at = image.end;
        }
    }

    void ReadImage(const uint8_t* head, const Extent& image)
    {
        const size_t firstThumbnail = m_db.m_thumbnails.size();
        const uint32_t childCount = U32At(head, 0x0C);
        int64_t at = image.body;
        for (uint32_t i = 0; i < childCount && at < image.end; ++i) {
            uint8_t object[kObjectHeaderBytes];
            Extent child;
            if (!ReadObject(at, "mhod", object, sizeof(object), sizeof(object), image.end, &child) ||
                (U16At(object, 0x0C) == kThumbnailObject && !ReadThumbnail(child))) {
                m_db.m_thumbnails.resize(firstThumbnail);
                return;
            }
            at = child.end;
        }
        Image stored;
        stored.id = U32At(head, 0x10);
        stored.songId = U64At(head, 0x14);
        stored.firstThumbnail = static_cast<uint32_t>(firstThumbnail);
        stored.thumbnailCount = static_cast<uint32_t>(m_db.m_thumbnails.size() - firstThumbnail);
        m_db.m_images.push_back(stored);
    }

    // The mhni at the type 2 mhod's header length.
    bool ReadThumbnail(const Extent& holder)
    {
        uint8_t head[kThumbHeaderBytes];
        Extent extent;
        if (!ReadObject(holder.body, "mhni", head, sizeof(head), sizeof(head), holder.end, &extent))
            return false;
        StoredThumbnail stored;
        Thumbnail& thumb = stored.thumb;
        thumb.formatId = U32At(head, 0x10);
        thumb.offset = U32At(head, 0x14);
        thumb.byteSize = U32At(head, 0x18);
        thumb.verticalPadding = static_cast<int16_t>(U16At(head, 0x1C));
        thumb.horizontalPadding = static_cast<int16_t>(U16At(head, 0x1E));
        thumb.height = U16At(head, 0x20);
        thumb.width = U16At(head, 0x22);
        if (U32At(head, 0x0C) > 0 && !ReadFileName(extent, &stored.file))
            return false;
        m_db.m_thumbnails.push_back(stored);
        return true;
    }

    // The type 3 mhod at the mhni's header length; *file stays kNoFile when
    // the name is not a usable path.
    bool ReadFileName(const Extent& thumbnail, uint32_t* file)
    {
        uint8_t head[kNameHeaderBytes];
        Extent name;
        if (thumbnail.body >= thumbnail.end)
            return true;   // declared, but there is no room for it
        // The name's header is shorter than the part read: the text has a
        // fixed place, whatever the header length says.
        if (!ReadObject(thumbnail.body, "mhod", head, sizeof(head), kObjectHeaderBytes, thumbnail.end, &name))
            return false;
        if (U16At(head, 0x0C) != kFileNameObject)
            return true;
        const uint32_t byteLength = U32At(head, 0x18);
        if (byteLength > name.end - name.start - kNameHeaderBytes)
            return false;
        const bool utf16 = head[0x1C] == kUtf16Name;
        const size_t unitBytes = utf16 ? 2 : 1;
        if (byteLength > kMaxNameUnits * unitBytes)
            return true;
        uint8_t text[kMaxNameUnits * 2];
        if (!m_file.Read(text, byteLength))
            return false;
        std::vector<uint32_t> units;
        for (size_t i = 0; i + unitBytes <= byteLength; i += unitBytes)
            units.push_back(utf16 ? U16At(text, i) : text[i]);
        const std::wstring path = RelativePath(units);
        if (!path.empty())
            *file = FileIndex(path);
        return true;
    }

    uint32_t FileIndex(const std::wstring& path)
    {
        const auto found = m_fileIndexes.emplace(path, static_cast<uint32_t>(m_db.m_files.size()));
        if (found.second)
            m_db.m_files.push_back(path);
        return found.first->second;
    }

    ReadAheadFile& m_file;
    CArtworkDB& m_db;
    std::map<std::wstring, uint32_t> m_fileIndexes;
};

void CArtworkDB::Reset()
{
    m_folder.clear();
    m_openFailure.clear();
    m_deviceFormats.clear();
    m_images.clear();
    m_thumbnails.clear();
    m_files.clear();
    m_byId.clear();
    m_bySong.clear();
}

bool CArtworkDB::Open(const wchar_t* ipodRoot)
{
    std::wstring root = ipodRoot ? ipodRoot : L"";
    if (!root.empty() && root.back() != L'\\' && root.back() != L'/')
        root += L'\\';
    return OpenFolder(root + L"iPod_Control\\Artwork", root + L"iPod_Control\\Device\\SysInfoExtended");
}

bool CArtworkDB::OpenFolder(const std::wstring& artworkFolder, const std::wstring& sysInfoExtendedPath)
{
    Reset();
    m_folder = artworkFolder;
    ReadAheadFile file;
    uint8_t head[kFileHeaderBytes];
    if (!file.Open((artworkFolder + L"\\ArtworkDB").c_str())) {
        m_openFailure = L"no ArtworkDB";
        return false;
    }
    if (!file.Read(head, 4) || memcmp(head, "dfhm", 4) != 0) {
        if (!file.SeekTo(0) || !file.Read(head, sizeof(head)) || memcmp(head, "mhfd", 4) != 0) {
            m_openFailure = L"ArtworkDB damaged";
            return false;
        }
        ReadDeviceFormats(sysInfoExtendedPath);
        Walker(file, *this).WalkDataSets(head);
    }
    BuildIndexes();
    return true;
}

void CArtworkDB::ReadDeviceFormats(const std::wstring& sysInfoExtendedPath)
{
    ReadAheadFile file;
    if (!file.Open(sysInfoExtendedPath.c_str()) || file.Size() > kMaxSysInfoBytes)
        return;
    std::vector<char> bytes(static_cast<size_t>(file.Size()));
    if (file.Read(bytes.data(), bytes.size()))
        m_deviceFormats = artwork::CoverFormatsFromSysInfo(bytes.data(), bytes.size());
}

void CArtworkDB::BuildIndexes()
{
    m_byId.reserve(m_images.size());
    m_bySong.reserve(m_images.size());
    for (uint32_t i = 0; i < m_images.size(); ++i) {
        m_byId.emplace_back(m_images[i].id, i);
        if (m_images[i].songId != 0)
            m_bySong.emplace_back(m_images[i].songId, i);
    }
    // Sorted with the index second, so that of two images with one id the
    // first in the file is found.
    std::sort(m_byId.begin(), m_byId.end());
    std::sort(m_bySong.begin(), m_bySong.end());
}

std::vector<uint32_t> CArtworkDB::ImageIds() const
{
    std::vector<uint32_t> ids;
    ids.reserve(m_images.size());
    for (const Image& image : m_images)
        ids.push_back(image.id);
    return ids;
}

const CArtworkDB::Image* CArtworkDB::FindImage(uint32_t imageId) const
{
    const auto found = std::lower_bound(m_byId.begin(), m_byId.end(), std::make_pair(imageId, 0u));
    return found != m_byId.end() && found->first == imageId ? &m_images[found->second] : nullptr;
}

std::optional<uint32_t> CArtworkDB::ImageOf(const TrackEntry& track) const
{
    return ImageOf(track.persistentId, track.artworkLink);
}

// A link that names no image means no cover: the track's own image, if it
// still has one, is not the one the iPod shows for it.
std::optional<uint32_t> CArtworkDB::ImageOf(uint64_t persistentId, uint32_t artworkLink) const
{
    if (artworkLink != 0) {
        if (FindImage(artworkLink))
            return artworkLink;
        return std::nullopt;
    }
    const auto found = std::lower_bound(m_bySong.begin(), m_bySong.end(), std::make_pair(persistentId, 0u));
    if (persistentId == 0 || found == m_bySong.end() || found->first != persistentId)
        return std::nullopt;
    return m_images[found->second].id;
}

bool CArtworkDB::Decode(uint32_t imageId, Picture* picture, std::wstring* failure) const
{
    const Image* image = FindImage(imageId);
    if (!image || image->thumbnailCount == 0) {
        *failure = image ? L"image has no thumbnail" : L"no such image";
        return false;
    }
    const StoredThumbnail* first = &m_thumbnails[image->firstThumbnail];
    std::vector<const StoredThumbnail*> bySize;
    for (uint32_t i = 0; i < image->thumbnailCount; ++i)
        bySize.push_back(first + i);
    std::stable_sort(bySize.begin(), bySize.end(), [](const StoredThumbnail* a, const StoredThumbnail* b) {
        return uint32_t(a->thumb.width) * a->thumb.height > uint32_t(b->thumb.width) * b->thumb.height;
    });
    std::wstring laterFailure;   // the largest thumbnail's reason is the one told
    for (size_t i = 0; i < bySize.size(); ++i) {
        if (DecodeThumbnail(*bySize[i], picture, i == 0 ? failure : &laterFailure)) {
            failure->clear();
            return true;
        }
    }
    return false;
}

bool CArtworkDB::DecodeThumbnail(const StoredThumbnail& stored, Picture* picture, std::wstring* failure) const
{
    const Thumbnail& thumb = stored.thumb;
    artwork::Frame frame;
    artwork::Crop crop;
    if (stored.file == kNoFile) {
        *failure = L"no usable ithmb file name";
        return false;
    }
    const std::wstring& name = m_files[stored.file];
    if (thumb.byteSize > kMaxThumbnailBytes) {
        *failure = L"thumbnail too large";
        return false;
    }
    if (!artwork::ChooseFrame(thumb, m_deviceFormats, &frame, failure))
        return false;
    if (!artwork::CropOf(thumb, frame, &crop)) {
        *failure = L"thumbnail outside its frame";
        return false;
    }
    FileHandle file(CreateFileW((m_folder + L"\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        *failure = L"ithmb file missing: " + name;
        return false;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size) || uint64_t(thumb.offset) + thumb.byteSize > uint64_t(size.QuadPart)) {
        *failure = L"thumbnail beyond the end of " + name;
        return false;
    }
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[thumb.byteSize]);
    if (!bytes || !ReadExactly(file, thumb.offset, bytes.get(), thumb.byteSize)) {
        *failure = L"cannot read " + name;
        return false;
    }
    artwork::DecodeRgb565(bytes.get(), frame, crop, picture);
    return true;
}
