#pragma once
// CResizeLayout: moves a window's registered child controls when the
// window's client size changes, each edge following a share of the change.
#include <windows.h>

#include <cstdint>

struct ResizeEntry {
    HWND control;          // null: skipped
    RECT base;             // client coordinates at the base client size
    RECT current;          // as last computed by Apply
    float leftFactor, topFactor, rightFactor, bottomFactor;
};

// The rectangle of `entry` when the client area is dx wider and dy taller
// than at the base size; never narrower or shorter than zero.
RECT LayoutRect(const ResizeEntry& entry, int dx, int dy);

// The capacity, in bytes, that holds `newLength` bytes: grown by `step`
// beyond the need, shrunk to fit when more than four steps are unused.
int32_t GrownCapacity(int32_t newLength, int32_t capacity, int32_t step);

class CResizeLayout {
public:
    static constexpr int32_t kGrowthStep = 64;

    CResizeLayout() = default;
    ~CResizeLayout();
    CResizeLayout(const CResizeLayout&) = delete;
    CResizeLayout& operator=(const CResizeLayout&) = delete;

    void Attach(HWND owner);
    // False when the array could not grow; the control then stays put.
    bool AddControl(int controlId, float left, float top, float right, float bottom);
    void Apply();
    ResizeEntry* Find(int controlId);
    // Carries the base client size and every entry's rectangles to `dpi`;
    // the next Apply lays the controls out at that scale.
    void Rescale(UINT dpi);
    // The DPI the rectangles are measured at: the owner's when attached.
    UINT Dpi() const { return m_dpi; }

    int EntryCount() const { return m_length / static_cast<int32_t>(sizeof(ResizeEntry)); }
    int32_t CapacityBytes() const { return m_capacity; }
    const RECT& BaseClient() const { return m_baseClient; }

private:
    void FreeEntries();

    HWND m_owner = nullptr;
    RECT m_baseClient = {};
    UINT m_dpi = 96;
    ResizeEntry* m_entries = nullptr;
    int32_t m_capacity = 0;   // bytes
    int32_t m_length = 0;     // bytes
};

extern CResizeLayout g_layout;   // the main window's
