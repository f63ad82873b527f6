#include "ui/resize_layout.h"

#include "library/dpi.h"

#include <cstdlib>

CResizeLayout g_layout;

namespace {

LONG MovedEdge(LONG base, float factor, int change)
{
    if (factor <= 0.0f)
        return base;
    if (factor >= 1.0f)
        return base + change;
    return base + static_cast<LONG>(static_cast<float>(change) * factor);
}

// Moves the controls together where the system can batch window moves.
class MoveBatch {
public:
    explicit MoveBatch(int count)
    {
        const bool ntFamily = (GetVersion() & 0x80000000u) == 0;
        m_batch = ntFamily ? BeginDeferWindowPos(count) : nullptr;
    }
    ~MoveBatch()
    {
        if (m_batch)
            EndDeferWindowPos(m_batch);
    }
    MoveBatch(const MoveBatch&) = delete;
    MoveBatch& operator=(const MoveBatch&) = delete;

    void Move(HWND control, const RECT& r)
    {
        const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        const int width = r.right - r.left, height = r.bottom - r.top;
        if (m_batch)
            m_batch = DeferWindowPos(m_batch, control, nullptr, r.left, r.top, width, height, flags);
        if (!m_batch)   // no batch, or the batch broke down: move the rest one by one
            SetWindowPos(control, nullptr, r.left, r.top, width, height, flags);
    }

private:
    HDWP m_batch;
};

}  // namespace

RECT LayoutRect(const ResizeEntry& entry, int dx, int dy)
{
    RECT r;
    r.left = MovedEdge(entry.base.left, entry.leftFactor, dx);
    r.top = MovedEdge(entry.base.top, entry.topFactor, dy);
    r.right = MovedEdge(entry.base.right, entry.rightFactor, dx);
    r.bottom = MovedEdge(entry.base.bottom, entry.bottomFactor, dy);
    if (r.bottom < r.top)
        r.bottom = r.top;
    if (r.right < r.left)
        r.right = r.left;
    return r;
}

int32_t GrownCapacity(int32_t newLength, int32_t capacity, int32_t step)
{
    if (newLength > capacity)
        return newLength + step;
    if (newLength < capacity - 4 * step)
        return newLength;
    return capacity;
}

CResizeLayout::~CResizeLayout() { FreeEntries(); }

void CResizeLayout::FreeEntries()
{
    std::free(m_entries);
    m_entries = nullptr;
    m_capacity = 0;
    m_length = 0;
}

void CResizeLayout::Attach(HWND owner)
{
    m_owner = owner;
    m_dpi = WindowDpi(owner);
    GetClientRect(owner, &m_baseClient);
    FreeEntries();
}

bool CResizeLayout::AddControl(int controlId, float left, float top, float right, float bottom)
{
    const int32_t newLength = m_length + static_cast<int32_t>(sizeof(ResizeEntry));
    const int32_t newCapacity = GrownCapacity(newLength, m_capacity, kGrowthStep);
    if (newCapacity != m_capacity) {
        void* grown = std::realloc(m_entries, static_cast<size_t>(newCapacity));
        if (!grown)
            return false;
        m_entries = static_cast<ResizeEntry*>(grown);
        m_capacity = newCapacity;
    }
    ResizeEntry& entry = m_entries[EntryCount()];
    entry.control = GetDlgItem(m_owner, controlId);
    RECT r = {};
    GetWindowRect(entry.control, &r);
    POINT topLeft = {r.left, r.top}, bottomRight = {r.right, r.bottom};
    ScreenToClient(m_owner, &topLeft);
    ScreenToClient(m_owner, &bottomRight);
    r = {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    entry.base = r;
    entry.current = r;
    entry.leftFactor = left;
    entry.topFactor = top;
    entry.rightFactor = right;
    entry.bottomFactor = bottom;
    m_length = newLength;
    return true;
}

void CResizeLayout::Apply()
{
    if (!m_owner)
        return;
    MoveBatch batch(EntryCount());
    RECT client;
    GetClientRect(m_owner, &client);
    const int dx = client.right - m_baseClient.right;
    const int dy = client.bottom - m_baseClient.bottom;
    for (int i = 0; i < EntryCount(); ++i) {
        ResizeEntry& entry = m_entries[i];
        if (!entry.control)
            continue;
        entry.current = LayoutRect(entry, dx, dy);
        batch.Move(entry.control, entry.current);
    }
}

void CResizeLayout::Rescale(UINT dpi)
{
    m_baseClient = ScaleRectToDpi(m_baseClient, dpi, m_dpi);
    for (int i = 0; i < EntryCount(); ++i) {
        m_entries[i].base = ScaleRectToDpi(m_entries[i].base, dpi, m_dpi);
        m_entries[i].current = ScaleRectToDpi(m_entries[i].current, dpi, m_dpi);
    }
    m_dpi = dpi;
}

ResizeEntry* CResizeLayout::Find(int controlId)
{
    const HWND control = GetDlgItem(m_owner, controlId);
    if (!control)
        return nullptr;
    for (int i = 0; i < EntryCount(); ++i) {
        if (m_entries[i].control == control)
            return &m_entries[i];
    }
    return nullptr;
}
