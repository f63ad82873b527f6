#include "ui/splitter.h"

#include "db/scoped_handle.h"
#include "library/app_globals.h"
#include "library/dpi.h"
#include "resource.h"
#include "ui/resize_layout.h"

namespace {

class ClientDc {
public:
    explicit ClientDc(HWND window) : m_window(window), m_dc(GetDC(window)) {}
    ~ClientDc()
    {
        if (m_dc)
            ReleaseDC(m_window, m_dc);
    }
    ClientDc(const ClientDc&) = delete;
    ClientDc& operator=(const ClientDc&) = delete;
    HDC Get() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

const ResizeEntry* TreeEntry() { return g_layout.Find(IDC_PLAYLIST_TREE); }

int BarWidth() { return ScaleToDpi(kSplitterBarWidth, g_layout.Dpi()); }

void SetSplitterCursor()
{
    SetCursor(LoadCursorW(g_hInstance, MAKEINTRESOURCEW(IDC_SPLITTER_CURSOR)));
}

bool InBandOfTree(int x)
{
    const ResizeEntry* tree = TreeEntry();
    return tree && InSplitterBand(x, tree->current.right, g_layout.Dpi());
}

// The bar spans the tree's current height.
void DrawBarAt(HWND mainWnd, int x)
{
    const ResizeEntry* tree = TreeEntry();
    if (!tree)
        return;
    ClientDc dc(mainWnd);
    if (dc.Get())
        DrawSplitterBar(dc.Get(), x, tree->current.top, BarWidth(), tree->current.bottom - tree->current.top);
}

}  // namespace

bool InSplitterBand(int x, int treeRight, UINT dpi)
{
    return x >= treeRight && x <= treeRight + ScaleToDpi(kSplitterBarWidth, dpi);
}

int LimitSplitterX(int x, UINT dpi)
{
    const int least = ScaleToDpi(kSplitterMinX, dpi), most = ScaleToDpi(kSplitterMaxX, dpi);
    return x < least ? least : x > most ? most : x;
}

void DrawSplitterBar(HDC dc, int x, int y, int width, int height)
{
    // Eight rows of one byte each, every row padded to 16 bits.
    static const BYTE kCheckerboard[16] = {0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0,
                                           0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0};
    ScopedGdiObject<HBITMAP> pattern(CreateBitmap(8, 8, 1, 1, kCheckerboard));
    ScopedGdiObject<HBRUSH> brush(CreatePatternBrush(pattern.Get()));
    if (!brush.Get())
        return;
    SetBrushOrgEx(dc, x, y, nullptr);
    const HGDIOBJ previous = SelectObject(dc, brush.Get());
    PatBlt(dc, x, y, width, height, PATINVERT);
    SelectObject(dc, previous);
}

void OnSplitterButtonDown(HWND mainWnd, SplitterDrag& drag, int x)
{
    if (!InBandOfTree(x))
        return;
    SetSplitterCursor();
    SetCapture(mainWnd);
    drag.dragging = true;
    DrawBarAt(mainWnd, x);
    drag.pendingX = 0;
    drag.lastDrawnX = x;
}

void OnSplitterMouseMove(HWND mainWnd, SplitterDrag& drag, int x)
{
    if (InBandOfTree(x))
        SetSplitterCursor();
    if (!drag.dragging)
        return;
    drag.pendingX = LimitSplitterX(x, g_layout.Dpi());
    DrawBarAt(mainWnd, drag.lastDrawnX);
    DrawBarAt(mainWnd, drag.pendingX);
    drag.lastDrawnX = drag.pendingX;
}

void OnSplitterButtonUp(HWND mainWnd, SplitterDrag& drag)
{
    if (!drag.dragging)
        return;
    drag.dragging = false;
    DrawBarAt(mainWnd, drag.lastDrawnX);
    ReleaseCapture();
    if (drag.pendingX == 0)
        return;
    ResizeEntry* tree = g_layout.Find(IDC_PLAYLIST_TREE);
    ResizeEntry* list = g_layout.Find(IDC_MEDIA_LIST);
    if (tree)
        tree->base.right = drag.pendingX;
    if (list)
        list->base.left = drag.pendingX + BarWidth();
    g_layout.Apply();
}
