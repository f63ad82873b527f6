#pragma once
// The covers an iPod keeps beside its music database: the ArtworkDB in
// iPod_Control\Artwork, which lists the images and their thumbnails, and the
// F<format>_<n>.ithmb files beside it that hold the thumbnails' pixels. Since iTunes 7
// these are the only copy of the covers a user added, so the backup saves
// them beside the copied tracks.
//
// Nothing read is trusted: every read is bounded by its file and by the
// object that holds it. A missing or damaged ArtworkDB or ithmb file means
// no covers (for that image, or at all), never a failure of anything else:
// damage inside one image drops that image, damage in the lists ends the walk
// with the images read whole until then. The database is read only when a
// copy run needs covers, never when the iPod is loaded.
//
// Use: Open the iPod's artwork once per run, ask ImageOf for each track,
// Decode each image needed once. After Open the object does not change, so
// any number of threads may call its const functions at once.
#include "db/cover_frames.h"
#include "db/records.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CArtworkDB {
public:
    // Larger thumbnails are taken for damage: the largest cover frame of
    // any iPod is 320 x 320 (200 KB).
    static constexpr uint32_t kMaxThumbnailBytes = 4u << 20;
    // A SysInfoExtended is tens of kilobytes; past this it is not read.
    static constexpr int64_t kMaxSysInfoBytes = 1 << 20;

    CArtworkDB() = default;
    CArtworkDB(const CArtworkDB&) = delete;
    CArtworkDB& operator=(const CArtworkDB&) = delete;

    // Reads the artwork of the iPod whose root is `ipodRoot` ("E:\", or any
    // folder holding iPod_Control, with or without a trailing backslash):
    // iPod_Control\Artwork\ArtworkDB, and the cover formats of
    // iPod_Control\Device\SysInfoExtended when there is one. False when the
    // iPod has no readable ArtworkDB; OpenFailure then says why. A
    // byte-swapped ArtworkDB (of some phones) opens with no images.
    bool Open(const wchar_t* ipodRoot);
    // The same with the folder of the ArtworkDB and its ithmb files, and the
    // path of the SysInfoExtended (which may be missing) named directly.
    bool OpenFolder(const std::wstring& artworkFolder, const std::wstring& sysInfoExtendedPath);
    // Why the last Open found no database ("no ArtworkDB", ...); empty after
    // a successful one.
    const std::wstring& OpenFailure() const { return m_openFailure; }

    size_t ImageCount() const { return m_images.size(); }
    // Every image's id, in file order.
    std::vector<uint32_t> ImageIds() const;
    // The cover formats SysInfoExtended described; empty without one.
    const std::vector<artwork::DeviceFormat>& DeviceFormats() const { return m_deviceFormats; }

    // The id of the image a track carries: the image that the track's
    // artwork link names when the link is nonzero (none when no image has
    // that id), else the image whose song id is the track's persistent id.
    // Many tracks may carry one image; the id is the image's lasting
    // identity, to count and cache by.
    std::optional<uint32_t> ImageOf(const TrackEntry& track) const;
    std::optional<uint32_t> ImageOf(uint64_t persistentId, uint32_t artworkLink) const;

    // Decodes the image's largest thumbnail (by width x height) into a
    // picture of width x height, 24-bit BGR, rows top-down, no row padding;
    // when it cannot be decoded, the next largest. Reads only that
    // thumbnail's bytes from its ithmb file. False, with a short reason for
    // the log in *failure ("ithmb file missing: F1060_1.ithmb", "no known
    // frame for format 1060"), when no thumbnail of the image decodes.
    bool Decode(uint32_t imageId, artwork::Picture* picture, std::wstring* failure) const;

private:
    static constexpr uint32_t kNoFile = UINT32_MAX;
    struct StoredThumbnail {
        artwork::Thumbnail thumb;
        uint32_t file = kNoFile;   // into m_files; kNoFile when its name is not usable
    };
    struct Image {
        uint32_t id = 0;
        uint64_t songId = 0;
        uint32_t firstThumbnail = 0;
        uint32_t thumbnailCount = 0;
    };
    class Walker;

    void Reset();
    void ReadDeviceFormats(const std::wstring& sysInfoExtendedPath);
    void BuildIndexes();
    const Image* FindImage(uint32_t imageId) const;
    bool DecodeThumbnail(const StoredThumbnail& stored, artwork::Picture* picture, std::wstring* failure) const;

    std::wstring m_folder;
    std::wstring m_openFailure;
    std::vector<artwork::DeviceFormat> m_deviceFormats;
    std::vector<Image> m_images;                       // in file order
    std::vector<StoredThumbnail> m_thumbnails;         // each image's in a run
    std::vector<std::wstring> m_files;                 // ithmb paths below m_folder
    std::vector<std::pair<uint32_t, uint32_t>> m_byId;     // (image id, index), sorted
    std::vector<std::pair<uint64_t, uint32_t>> m_bySong;   // (song id, index), sorted
};
