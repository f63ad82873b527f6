#include "db/byte_chunks.h"

#include <algorithm>
#include <cstring>
#include <new>

uint8_t* ByteChunks::Tail(size_t* room)
{
    const int64_t capacity = static_cast<int64_t>(m_chunks.size()) * static_cast<int64_t>(kChunkBytes);
    *room = static_cast<size_t>(capacity - m_size);
    if (*room == 0)
        return nullptr;
    return m_chunks.back().get() + (kChunkBytes - *room);
}

void ByteChunks::Commit(size_t n)
{
    size_t room = 0;
    Tail(&room);
    m_size += static_cast<int64_t>(std::min(n, room));
}

// The code base does not throw: a refused allocation is a false result here.
bool ByteChunks::Grow()
{
    std::unique_ptr<uint8_t[]> chunk(new (std::nothrow) uint8_t[kChunkBytes]);
    if (!chunk)
        return false;
    try {
        m_chunks.push_back(std::move(chunk));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool ByteChunks::Append(const void* data, size_t n)
{
    const auto* in = static_cast<const uint8_t*>(data);
    while (n > 0) {
        size_t room = 0;
        uint8_t* out = Tail(&room);
        if (!out) {
            if (!Grow())
                return false;
            continue;
        }
        const size_t take = std::min(n, room);
        memcpy(out, in, take);
        Commit(take);
        in += take;
        n -= take;
    }
    return true;
}

const uint8_t* ByteChunks::BytesAt(int64_t pos, size_t* length) const
{
    *length = 0;
    if (pos < 0 || pos >= m_size)
        return nullptr;
    const size_t chunk = static_cast<size_t>(pos / static_cast<int64_t>(kChunkBytes));
    const size_t offset = static_cast<size_t>(pos % static_cast<int64_t>(kChunkBytes));
    *length = static_cast<size_t>(std::min<int64_t>(m_size - pos, static_cast<int64_t>(kChunkBytes - offset)));
    return m_chunks[chunk].get() + offset;
}
