#pragma once
#include "db/byte_chunks.h"

#include <cstddef>
#include <cstdint>

// Newer iPods (the nano of the 5th to 7th generation) keep their database in
// iTunesCDB beside a zero-byte iTunesDB. The file begins with the usual
// database header, stored as is; a flag in that header says whether the rest
// is one zlib stream which inflates to exactly what an iTunesDB holds after
// its header.
namespace compressed_db {

constexpr size_t kFlagOffset = 0xA8;         // 16 bits: 1 compressed, 0 stored
constexpr uint32_t kMinHeaderLength = 0xAA;  // must hold the flag

// The inflated image may be at most kMaxRatio times the compressed bytes
// (zlib alone would allow about 1000 times: a few kilobytes could claim
// gigabytes) and never more than kMaxImageBytes, for a 32-bit process. Real
// databases stay far inside: 40,000 tracks, more than the largest iPod holds,
// inflate to about 55 MB, and their padded headers and UTF-16 text compress
// some 5 to 15 times. Below kMinBound the ratio plays no part, so that a tiny
// database made mostly of zero padding is not cut short.
constexpr int64_t kMaxRatio = 64;
constexpr int64_t kMaxImageBytes = 256LL << 20;
constexpr int64_t kMinBound = 1LL << 20;

int64_t ImageBound(int64_t compressedBytes);

enum class Content {
    kAbsent,     // no such file, or it does not begin with "mhbd": not the database
    kDamaged,    // the database, but its header is too short or its flag unknown
    kStored,     // the database, stored uncompressed: read the file as it is
    kInflated,   // the database, inflated into *image (the header, then the rest)
};

// Reads the file at cdbPath. For kInflated, *image holds the stored header
// followed by the inflated bytes; a damaged or truncated stream, one that
// would inflate past ImageBound, or memory running short leave the bytes
// inflated until then, so that the records before the damage still read.
Content ReadDatabase(const wchar_t* cdbPath, ByteChunks* image);

// The iTunesCDB beside the given iTunesDB path; false when it does not fit.
bool PathBeside(const wchar_t* iTunesDbPath, wchar_t* cdbPath, size_t cdbPathUnits);

}  // namespace compressed_db
