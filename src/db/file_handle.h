#pragma once
#include "db/platform.h"

// Owns one Win32 file handle, or none (INVALID_HANDLE_VALUE). The handle is
// closed exactly once: by Close, by Reset, or when the owner is destroyed.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(HANDLE handle) : m_handle(handle) {}
    ~FileHandle() { Close(); }

    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle(FileHandle&& other) noexcept : m_handle(other.Release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_handle; }

    void Close()
    {
        if (IsOpen()) {
            CloseHandle(m_handle);
            m_handle = INVALID_HANDLE_VALUE;
        }
    }

    void Reset(HANDLE handle)
    {
        Close();
        m_handle = handle;
    }

    // Gives up ownership without closing.
    HANDLE Release()
    {
        HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return handle;
    }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};
