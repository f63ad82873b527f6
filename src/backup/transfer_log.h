#pragma once
// "transfer_log.txt": one line per item of the last copy run, UTF-16LE
// without a byte-order mark, each line ending in CR LF.
#include <windows.h>

#include <cstdarg>
#include <cstddef>
#include <string>

#include "db/file_handle.h"

constexpr wchar_t kTransferLogFileName[] = L"transfer_log.txt";
constexpr wchar_t kLogCopying[] = L"copying: %s";
constexpr wchar_t kLogIgnore[] = L"ignore: %s";
constexpr wchar_t kLogPlaylist[] = L"playlist: %s";
constexpr wchar_t kLogLibrary[] = L"library: %s";
constexpr wchar_t kLogIndex[] = L"index: %s";

constexpr size_t kLogLineCapacity = 512;                  // units, terminator included
constexpr size_t kLogTextLimit = kLogLineCapacity - 3;   // leaves CR, LF and the terminator

// Formats one line, CR LF included, and returns its length in units. A text
// longer than kLogTextLimit is cut there (never mid surrogate pair).
size_t FormatLogLine(wchar_t (&line)[kLogLineCapacity], const wchar_t* format, va_list args);

class CLog {
public:
    CLog() = default;
    virtual ~CLog() = default;
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    // Creates the file anew (an existing one is truncated); others may read
    // it meanwhile but not write. Any file held before is closed first.
    bool Open(const wchar_t* fileName);
    // Always true; writes nothing when no file is open.
    bool Write(const wchar_t* format, ...);
    void Close();
    bool IsOpen();
    // The file the last Open created, kept after Close so that the end of a
    // run can name it; empty when that Open failed or none was made yet.
    std::wstring WrittenPath();

private:
    // The copy worker writes while the dialog may close the log: without the
    // lock a write could reach a handle value already closed and reused.
    SRWLOCK m_lock = SRWLOCK_INIT;
    FileHandle m_file;
    std::wstring m_path;
};

extern CLog g_log;
