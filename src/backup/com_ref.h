#pragma once
// Owners for COM: an interface pointer, and COM on the calling thread.
#include <objbase.h>

// Owns one COM interface pointer; released exactly once.
template <class Interface>
class ComRef {
public:
    ComRef() = default;
    ~ComRef()
    {
        if (m_pointer)
            m_pointer->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    Interface* operator->() const { return m_pointer; }
    Interface* Get() const { return m_pointer; }
    Interface** Out() { return &m_pointer; }   // for a call that makes one; only while empty

private:
    Interface* m_pointer = nullptr;
};

// COM for the calling thread, for as long as the object lives.
class ComApartment {
public:
    ComApartment() : m_result(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComApartment()
    {
        // Also S_FALSE (already initialised) is paired with an uninitialise.
        if (SUCCEEDED(m_result))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT m_result;
};
