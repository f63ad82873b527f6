#pragma once
// The part of the Win32 API that the database code, its tests and its fuzz
// targets use, for the native Linux build only. Paths are wide strings as on
// Windows; a backslash in them is taken as a slash.
#include <cstddef>
#include <cstdint>

using BOOL = int;
using DWORD = uint32_t;
using LONGLONG = int64_t;
using HANDLE = void*;
using LPCWSTR = const wchar_t*;
union LARGE_INTEGER {
    LONGLONG QuadPart;
};
struct _TREEITEM;
using HTREEITEM = _TREEITEM*;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
constexpr size_t MAX_PATH = 260;
constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 1;
constexpr DWORD FILE_SHARE_WRITE = 2;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_BEGIN = 0;

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, void* security, DWORD disposition, DWORD flags,
                   HANDLE templateFile);
BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size);
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, LARGE_INTEGER* newPosition, DWORD method);
BOOL ReadFile(HANDLE file, void* buffer, DWORD bytes, DWORD* got, void* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytes, DWORD* written, void* overlapped);
BOOL CloseHandle(HANDLE handle);
