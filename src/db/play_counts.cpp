#include "db/play_counts.h"

#include "db/read_ahead_file.h"

#include <algorithm>
#include <cstring>

namespace play_counts {

namespace {

uint32_t U32At(const uint8_t* bytes)
{
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint32_t SaturatingAdd(uint32_t a, uint32_t b) { return a > UINT32_MAX - b ? UINT32_MAX : a + b; }

void MergeEntry(const uint8_t* entry, uint32_t entryLength, TrackEntry& track)
{
    track.playCount = SaturatingAdd(track.playCount, U32At(entry));
    if (const uint32_t lastPlayed = U32At(entry + 4))
        track.lastPlayed = lastPlayed;
    if (entryLength >= kRatingEntryLength)
        track.rating = static_cast<uint8_t>(std::min<uint32_t>(U32At(entry + 12), 100));
    if (entryLength < kSkipEntryLength)
        return;
    track.skipCount = SaturatingAdd(track.skipCount, U32At(entry + 20));
    if (const uint32_t lastSkipped = U32At(entry + 24))
        track.lastSkipped = lastSkipped;
}

}  // namespace

size_t Merge(const uint8_t* bytes, size_t size, const std::vector<std::unique_ptr<TrackEntry>>& tracks)
{
    if (!bytes || size < 16 || memcmp(bytes, "mhdp", 4) != 0)
        return 0;
    const uint32_t headerLength = U32At(bytes + 4);
    const uint32_t entryLength = U32At(bytes + 8);
    if (headerLength < kMinHeaderLength || entryLength < kMinEntryLength || headerLength > size)
        return 0;
    const uint64_t fits = (size - headerLength) / entryLength;
    const uint64_t count = std::min<uint64_t>({U32At(bytes + 12), fits, tracks.size()});
    for (uint64_t k = 0; k < count; ++k) {
        if (tracks[static_cast<size_t>(k)])
            MergeEntry(bytes + headerLength + k * entryLength, entryLength, *tracks[static_cast<size_t>(k)]);
    }
    return static_cast<size_t>(count);
}

size_t MergeFileBeside(const wchar_t* databasePath, const std::vector<std::unique_ptr<TrackEntry>>& tracks)
{
    if (!databasePath || tracks.empty())
        return 0;
    wchar_t path[MAX_PATH];
    ReadAheadFile file;
    if (!FilePathBeside(databasePath, kFileName, path, MAX_PATH) || !file.Open(path))
        return 0;
    std::vector<uint8_t> bytes(static_cast<size_t>(std::min(file.Size(), kMaxFileBytes)));
    if (bytes.empty() || !file.Read(bytes.data(), bytes.size()))
        return 0;
    return Merge(bytes.data(), bytes.size(), tracks);
}

}  // namespace play_counts
