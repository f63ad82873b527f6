#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// A growable run of bytes held in fixed-size chunks. A database inflated into
// memory can be tens of megabytes; a 32-bit process rarely has one free block
// that large, and growing one contiguous buffer would briefly need three
// times its size. Chunks need neither, and the bytes never move.
class ByteChunks {
public:
    static constexpr size_t kChunkBytes = 1 << 20;

    int64_t Size() const { return m_size; }

    // Writable space after the last byte; null with *room 0 when the last
    // chunk is full (or there is none): Grow, then ask again.
    uint8_t* Tail(size_t* room);
    // Counts n bytes written at Tail as part of the run.
    void Commit(size_t n);
    // Adds an empty chunk; false, with nothing changed, when memory is short.
    bool Grow();
    // Copies n bytes to the end, growing as needed; false when memory ran
    // short (the bytes that fitted stay).
    bool Append(const void* data, size_t n);

    // The bytes from pos to the end of its chunk; null when pos is outside.
    const uint8_t* BytesAt(int64_t pos, size_t* length) const;

private:
    std::vector<std::unique_ptr<uint8_t[]>> m_chunks;
    int64_t m_size = 0;
};
