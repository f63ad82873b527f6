#pragma once
// Owns one handle of a kind whose "none" is null (icons, menus, GDI objects,
// registry keys, Internet handles, threads...) and releases it exactly once
// with the matching function. Files, whose "none" is INVALID_HANDLE_VALUE,
// have FileHandle.
#include <windows.h>

#include <utility>

template <typename Handle, auto Release>
class ScopedHandle {
public:
    ScopedHandle() = default;
    explicit ScopedHandle(Handle handle) : m_handle(handle) {}
    ~ScopedHandle() { Reset(); }

    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ScopedHandle(ScopedHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, Handle())) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.m_handle, Handle()));
        return *this;
    }

    Handle Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != Handle(); }

    void Reset(Handle handle = Handle())
    {
        if (m_handle)
            Release(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = Handle();
};

using ScopedIcon = ScopedHandle<HICON, DestroyIcon>;
using ScopedMenu = ScopedHandle<HMENU, DestroyMenu>;
using ScopedAccelerators = ScopedHandle<HACCEL, DestroyAcceleratorTable>;
using ScopedRegistryKey = ScopedHandle<HKEY, RegCloseKey>;
using ScopedKernelHandle = ScopedHandle<HANDLE, CloseHandle>;   // threads, mutexes: null when none
template <typename GdiHandle>
using ScopedGdiObject = ScopedHandle<GdiHandle, DeleteObject>;
