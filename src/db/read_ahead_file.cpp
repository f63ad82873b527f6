#include "db/read_ahead_file.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

bool FilePathBeside(const wchar_t* path, const wchar_t* name, wchar_t* out, size_t outUnits)
{
    const wchar_t* slash = wcsrchr(path, L'\\');
    const wchar_t* forward = wcsrchr(path, L'/');
    if (forward && (!slash || forward > slash))
        slash = forward;
    const size_t folderUnits = slash ? static_cast<size_t>(slash - path) + 1 : 0;
    if (folderUnits >= outUnits)
        return false;
    const size_t nameUnits = wcslen(name) + 1;   // with its NUL
    if (nameUnits > outUnits - folderUnits)
        return false;
    wmemcpy(out, path, folderUnits);
    wmemcpy(out + folderUnits, name, nameUnits);
    return true;
}

bool ReadAheadFile::Open(const wchar_t* path)
{
    Close();
    m_file.Reset(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!m_file.IsOpen() || !GetFileSizeEx(m_file.Get(), &size)) {
        Close();
        return false;
    }
    m_size = size.QuadPart;
    return true;
}

void ReadAheadFile::OpenBytes(ByteChunks bytes)
{
    Close();
    m_memory = std::move(bytes);
    m_inMemory = true;
    m_size = m_memory.Size();
}

void ReadAheadFile::Close()
{
    m_file.Close();
    m_memory = ByteChunks();
    m_inMemory = false;
    m_window = nullptr;
    m_size = 0;
    m_pos = 0;
    m_windowStart = 0;
    m_windowLength = 0;
}

bool ReadAheadFile::SeekTo(int64_t pos)
{
    if (!IsOpen() || pos < 0 || pos > m_size)
        return false;
    m_pos = pos;
    return true;
}

bool ReadAheadFile::Read(void* dst, size_t n)
{
    if (!IsOpen() || static_cast<uint64_t>(n) > static_cast<uint64_t>(Remaining()))
        return false;
    if (!ReadAt(m_pos, dst, n))
        return false;
    m_pos += static_cast<int64_t>(n);
    return true;
}

bool ReadAheadFile::ReadAt(int64_t pos, void* dst, size_t n)
{
    auto* out = static_cast<uint8_t*>(dst);
    while (n > 0) {
        const int64_t windowEnd = m_windowStart + static_cast<int64_t>(m_windowLength);
        if (pos >= m_windowStart && pos < windowEnd) {
            const size_t offset = static_cast<size_t>(pos - m_windowStart);
            const size_t take = std::min(n, m_windowLength - offset);
            memcpy(out, m_window + offset, take);
            out += take;
            pos += static_cast<int64_t>(take);
            n -= take;
        } else if (!FillWindow(pos)) {
            return false;
        }
    }
    return true;
}

bool ReadAheadFile::FillWindow(int64_t pos)
{
    if (m_inMemory)
        return FillWindowFromMemory(pos);
    if (m_buffer.empty())
        m_buffer.resize(kWindowBytes);
    m_windowLength = 0;
    LARGE_INTEGER target;
    target.QuadPart = pos;
    if (!SetFilePointerEx(m_file.Get(), target, nullptr, FILE_BEGIN))
        return false;
    const int64_t left = m_size - pos;
    const DWORD want = static_cast<DWORD>(std::min<int64_t>(left, static_cast<int64_t>(kWindowBytes)));
    DWORD got = 0;
    if (want == 0 || !ReadFile(m_file.Get(), m_buffer.data(), want, &got, nullptr) || got == 0)
        return false;
    m_window = m_buffer.data();
    m_windowStart = pos;
    m_windowLength = got;
    return true;
}

// In memory the window is simply the rest of the chunk that holds pos.
bool ReadAheadFile::FillWindowFromMemory(int64_t pos)
{
    size_t length = 0;
    const uint8_t* bytes = m_memory.BytesAt(pos, &length);
    if (!bytes)
        return false;
    m_window = bytes;
    m_windowStart = pos;
    m_windowLength = length;
    return true;
}
