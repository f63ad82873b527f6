#include "db/compressed_db.h"

#include "db/read_ahead_file.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace compressed_db {

namespace {

constexpr size_t kInputBytes = 16 * 1024;   // on the worker's stack

uint32_t U32At(const uint8_t* bytes)
{
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

bool CopyBytes(ReadAheadFile& file, int64_t n, ByteChunks* out)
{
    uint8_t buffer[4096];
    while (n > 0) {
        const size_t take = static_cast<size_t>(std::min<int64_t>(n, sizeof(buffer)));
        if (!file.Read(buffer, take) || !out->Append(buffer, take))
            return false;
        n -= static_cast<int64_t>(take);
    }
    return true;
}

// Makes room for the next inflated bytes: at most up to the bound, and none
// when memory is short.
uint8_t* OutputRoom(ByteChunks* image, int64_t bound, size_t* room)
{
    *room = 0;
    const int64_t left = bound - image->Size();
    if (left <= 0)
        return nullptr;
    uint8_t* out = image->Tail(room);
    if (!out && image->Grow())
        out = image->Tail(room);
    *room = static_cast<size_t>(std::min<int64_t>(*room, left));
    return out;
}

// Gives the stream its next input when it has taken all it had; false at
// the end of the file.
bool Refill(ReadAheadFile& file, uint8_t* input, size_t inputBytes, z_stream* stream)
{
    if (stream->avail_in > 0)
        return true;
    const size_t take = static_cast<size_t>(std::min<int64_t>(file.Remaining(), inputBytes));
    if (take == 0 || !file.Read(input, take))
        return false;
    stream->next_in = input;
    stream->avail_in = static_cast<uInt>(take);
    return true;
}

// Inflates the rest of the file onto the end of *image. The loop ends with
// the stream, the file (a truncated stream), the bound, the memory, damage,
// or a pass that neither took input nor gave output.
void InflateRest(ReadAheadFile& file, int64_t bound, ByteChunks* image)
{
    z_stream stream = {};
    if (inflateInit(&stream) != Z_OK)
        return;
    uint8_t input[kInputBytes];
    size_t room = 0;
    uint8_t* out = nullptr;
    while (Refill(file, input, sizeof(input), &stream) && (out = OutputRoom(image, bound, &room))) {
        const uInt inputBefore = stream.avail_in;
        stream.next_out = out;
        stream.avail_out = static_cast<uInt>(room);
        const int result = inflate(&stream, Z_NO_FLUSH);
        const size_t produced = room - stream.avail_out;
        image->Commit(produced);
        if (result != Z_OK || (produced == 0 && stream.avail_in == inputBefore))
            break;   // the end, damage (Z_DATA_ERROR, Z_NEED_DICT, Z_MEM_ERROR) or no progress
    }
    inflateEnd(&stream);
}

}  // namespace

int64_t ImageBound(int64_t compressedBytes)
{
    const int64_t byRatio = std::max<int64_t>(0, compressedBytes) * kMaxRatio;
    return std::min(kMaxImageBytes, std::max(kMinBound, byRatio));
}

Content ReadDatabase(const wchar_t* cdbPath, ByteChunks* image)
{
    ReadAheadFile file;
    uint8_t tag[4];
    if (!file.Open(cdbPath) || !file.Read(tag, sizeof(tag)) || memcmp(tag, "mhbd", 4) != 0)
        return Content::kAbsent;
    uint8_t length[4], flag[2];
    if (!file.Read(length, sizeof(length)))
        return Content::kDamaged;
    const uint32_t headerLength = U32At(length);
    if (headerLength < kMinHeaderLength || headerLength > file.Size() || !file.SeekTo(kFlagOffset) ||
        !file.Read(flag, sizeof(flag)))
        return Content::kDamaged;
    const uint32_t compressed = flag[0] | flag[1] << 8;
    if (compressed == 0)
        return Content::kStored;
    const int64_t bound = ImageBound(file.Size() - headerLength);
    if (compressed != 1 || headerLength > bound)
        return Content::kDamaged;

    *image = ByteChunks();
    if (!file.SeekTo(0) || !CopyBytes(file, headerLength, image))
        return Content::kDamaged;   // memory ran short for the header alone
    InflateRest(file, bound, image);
    return Content::kInflated;
}

bool PathBeside(const wchar_t* iTunesDbPath, wchar_t* cdbPath, size_t cdbPathUnits)
{
    return FilePathBeside(iTunesDbPath, L"iTunesCDB", cdbPath, cdbPathUnits);
}

}  // namespace compressed_db
