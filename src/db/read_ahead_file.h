#pragma once
#include "db/byte_chunks.h"
#include "db/file_handle.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The file `name` in the folder of `path` (the folder ends at the last "\" or
// "/"; a bare name has none), written to `out` with its NUL; false, with
// nothing written, when it does not fit in `outUnits`.
bool FilePathBeside(const wchar_t* path, const wchar_t* name, wchar_t* out, size_t outUnits);

// A read-only file walked with small reads and relative moves, served from a
// bounded read-ahead window so that thousands of 32-byte reads do not each
// cost a system call. Every read is all-or-nothing and every move stays
// inside the file: a walk over a damaged file fails instead of reading bytes
// that are not there. The same walk can run over bytes already in memory
// (a database that was stored compressed and has been inflated).
class ReadAheadFile {
public:
    static constexpr size_t kWindowBytes = 64 * 1024;

    // Opens for reading only, sharing reading and writing with others.
    bool Open(const wchar_t* path);
    // Serves reads from these bytes instead of a file; never fails.
    void OpenBytes(ByteChunks bytes);
    void Close();
    bool IsOpen() const { return m_file.IsOpen() || m_inMemory; }

    int64_t Size() const { return m_size; }
    int64_t Position() const { return m_pos; }
    int64_t Remaining() const { return m_size - m_pos; }

    // Reads exactly n bytes, or fails and leaves the position unchanged.
    bool Read(void* dst, size_t n);
    bool Skip(int64_t delta) { return SeekTo(m_pos + delta); }
    bool SeekTo(int64_t pos);

private:
    bool ReadAt(int64_t pos, void* dst, size_t n);
    bool FillWindow(int64_t pos);
    bool FillWindowFromMemory(int64_t pos);

    FileHandle m_file;
    ByteChunks m_memory;
    bool m_inMemory = false;
    int64_t m_size = 0;
    int64_t m_pos = 0;
    std::vector<uint8_t> m_buffer;            // the window's bytes when reading a file
    const uint8_t* m_window = nullptr;        // into m_buffer or m_memory
    int64_t m_windowStart = 0;
    size_t m_windowLength = 0;
};
