#pragma once
// The iPod's record of what was played since the last sync: "Play Counts"
// beside the database. The iPod adds to it as the user listens and the next
// sync folds it into the database and deletes it, so until then it holds the
// only record of those plays. Savanto reads it and never writes or deletes it.
#include "db/records.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace play_counts {

constexpr wchar_t kFileName[] = L"Play Counts";
constexpr uint32_t kMinHeaderLength = 0x60;
constexpr uint32_t kMinEntryLength = 0x0C;
constexpr uint32_t kRatingEntryLength = 0x10;   // entries this long carry a rating
constexpr uint32_t kSkipEntryLength = 0x1C;     // and these the skips
// Far more than 0x1C bytes for each track the largest iPod holds.
constexpr int64_t kMaxFileBytes = 16LL << 20;

// Folds the entries of a Play Counts file into the tracks of the database's
// track list, entry k into track k: plays and skips are added, a nonzero
// time of the last play or skip and a present rating replace the track's.
// A file that is not one changes nothing; entries past the end of the bytes,
// of the declared count or of the tracks are not read. Returns how many
// entries were merged.
size_t Merge(const uint8_t* bytes, size_t size, const std::vector<std::unique_ptr<TrackEntry>>& tracks);

// Reads the Play Counts file in the folder of `databasePath` (the iTunesDB),
// when there is one, and merges it. Returns how many entries were merged.
size_t MergeFileBeside(const wchar_t* databasePath, const std::vector<std::unique_ptr<TrackEntry>>& tracks);

}  // namespace play_counts
