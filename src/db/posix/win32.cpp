#include "db/posix/win32.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace {

// A handle is the file descriptor plus one, so that descriptor 0 is not null.
HANDLE FromDescriptor(int fd) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd) + 1); }
int Descriptor(HANDLE handle) { return static_cast<int>(reinterpret_cast<intptr_t>(handle) - 1); }

// UTF-8 of the path, which the tests and fuzz targets keep to ASCII.
std::string NativePath(LPCWSTR path)
{
    std::string native;
    for (; *path; ++path)
        native += *path == L'\\' ? '/' : static_cast<char>(*path);
    return native;
}

}  // namespace

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD, void*, DWORD disposition, DWORD, HANDLE)
{
    int flags = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    if (disposition == CREATE_ALWAYS)
        flags |= O_CREAT | O_TRUNC;
    const int fd = open(NativePath(path).c_str(), flags | O_CLOEXEC, 0644);
    return fd < 0 ? INVALID_HANDLE_VALUE : FromDescriptor(fd);
}

BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size)
{
    struct stat status;
    if (fstat(Descriptor(file), &status) != 0)
        return 0;
    size->QuadPart = status.st_size;
    return 1;
}

BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, LARGE_INTEGER* newPosition, DWORD)
{
    const off_t at = lseek(Descriptor(file), distance.QuadPart, SEEK_SET);
    if (at < 0)
        return 0;
    if (newPosition)
        newPosition->QuadPart = at;
    return 1;
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD bytes, DWORD* got, void*)
{
    ssize_t n;
    do {
        n = read(Descriptor(file), buffer, bytes);
    } while (n < 0 && errno == EINTR);
    *got = n < 0 ? 0 : static_cast<DWORD>(n);
    return n >= 0;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytes, DWORD* written, void*)
{
    ssize_t n;
    do {
        n = write(Descriptor(file), buffer, bytes);
    } while (n < 0 && errno == EINTR);
    *written = n < 0 ? 0 : static_cast<DWORD>(n);
    return n >= 0;
}

BOOL CloseHandle(HANDLE handle) { return close(Descriptor(handle)) == 0; }
