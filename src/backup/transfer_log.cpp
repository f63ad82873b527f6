#include "backup/transfer_log.h"

#include <strsafe.h>

CLog g_log;

namespace {

class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) : m_lock(lock) { AcquireSRWLockExclusive(&m_lock); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&m_lock); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    SRWLOCK& m_lock;
};

}  // namespace

size_t FormatLogLine(wchar_t (&line)[kLogLineCapacity], const wchar_t* format, va_list args)
{
    line[0] = L'\0';
    const HRESULT result = StringCchVPrintfW(line, kLogTextLimit + 1, format ? format : L"", args);
    size_t length = 0;
    StringCchLengthW(line, kLogTextLimit + 1, &length);
    // A cut text must not end in half a character.
    if (result == STRSAFE_E_INSUFFICIENT_BUFFER && length > 0 && IS_HIGH_SURROGATE(line[length - 1]))
        --length;
    line[length++] = L'\r';
    line[length++] = L'\n';
    line[length] = L'\0';
    return length;
}

bool CLog::Open(const wchar_t* fileName)
{
    ExclusiveLock lock(m_lock);
    m_file.Close();
    m_file.Reset(CreateFileW(fileName, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    m_path = m_file.IsOpen() ? fileName : L"";
    return m_file.IsOpen();
}

bool CLog::Write(const wchar_t* format, ...)
{
    wchar_t line[kLogLineCapacity];
    va_list args;
    va_start(args, format);
    const size_t length = FormatLogLine(line, format, args);
    va_end(args);

    ExclusiveLock lock(m_lock);
    if (m_file.IsOpen()) {
        DWORD written = 0;
        // Unflushed and unchecked: a lost log line must never stop a backup.
        WriteFile(m_file.Get(), line, static_cast<DWORD>(length * sizeof(wchar_t)), &written, nullptr);
    }
    return true;
}

void CLog::Close()
{
    ExclusiveLock lock(m_lock);
    m_file.Close();
}

bool CLog::IsOpen()
{
    ExclusiveLock lock(m_lock);
    return m_file.IsOpen();
}

std::wstring CLog::WrittenPath()
{
    ExclusiveLock lock(m_lock);
    return m_path;
}
