// The main window's layout: resizing, minimum size, minimising, splitter.
#include "main_window_fixture.h"

#include "library/dpi.h"
#include "ui/resize_layout.h"
#include "ui/splitter.h"

#include <map>

namespace {

ResizeEntry Entry(RECT base, float l, float t, float r, float b)
{
    return {nullptr, base, base, l, t, r, b};
}

TEST(LayoutRect, EdgesFollowTheirShareOfTheChange)
{
    const RECT base = {10, 20, 110, 220};
    RECT r = LayoutRect(Entry(base, 0, 0, 1, 1), 100, 50);
    EXPECT_EQ(210, r.right);
    EXPECT_EQ(270, r.bottom);
    EXPECT_EQ(10, r.left);
    r = LayoutRect(Entry(base, 1, 0, 1, 0), 100, 50);
    EXPECT_EQ(110, r.left);
    EXPECT_EQ(210, r.right);
    EXPECT_EQ(220, r.bottom);
    // A share is truncated toward zero, also when the window shrinks.
    r = LayoutRect(Entry(base, 0.5f, 0, 0.5f, 0.5f), -3, 7);
    EXPECT_EQ(9, r.left);
    EXPECT_EQ(109, r.right);
    EXPECT_EQ(223, r.bottom);
    // Factors beyond 0..1 count as none or all.
    r = LayoutRect(Entry(base, -2, 0, 3, 0), 10, 0);
    EXPECT_EQ(10, r.left);
    EXPECT_EQ(120, r.right);
}

TEST(LayoutRect, NeverNegativeInSize)
{
    const RECT r = LayoutRect(Entry({100, 50, 200, 80}, 0, 0, 1, 1), -500, -500);
    EXPECT_EQ(100, r.left);
    EXPECT_EQ(100, r.right);
    EXPECT_EQ(50, r.bottom);
}

TEST(ResizeLayoutGrowth, GrowsByAStepAndShrinksToFit)
{
    EXPECT_EQ(56 + 64, GrownCapacity(56, 0, 64));
    EXPECT_EQ(120, GrownCapacity(112, 120, 64));     // fits: unchanged
    EXPECT_EQ(168 + 64, GrownCapacity(168, 120, 64));
    EXPECT_EQ(400, GrownCapacity(400 - 256, 400, 64));   // exactly four steps spare: kept
    EXPECT_EQ(100, GrownCapacity(100, 400, 64));         // more spare: shrunk to fit
}

TEST(SplitterBand, FromTheTreesEdgeToFourPixelsRight)
{
    EXPECT_FALSE(InSplitterBand(99, 100));
    EXPECT_TRUE(InSplitterBand(100, 100));
    EXPECT_TRUE(InSplitterBand(104, 100));
    EXPECT_FALSE(InSplitterBand(105, 100));
    EXPECT_EQ(40, LimitSplitterX(-5));
    EXPECT_EQ(40, LimitSplitterX(40));
    EXPECT_EQ(321, LimitSplitterX(321));
    EXPECT_EQ(500, LimitSplitterX(501));
}

TEST(ScaleToDpi, RoundsToTheNearestPixelHalvesAwayFromZero)
{
    const int kCases[][4] = {{256, 96, 96, 256}, {256, 144, 96, 384}, {7, 144, 96, 11}, {-3, 144, 96, -5},
                             {2, 120, 96, 3},    {5, 120, 96, 6},     {11, 96, 144, 7}, {40, 0, 96, 40}, {40, 144, 0, 40}};
    for (const auto& c : kCases)   // pixels, to DPI, from DPI, expected
        EXPECT_EQ(c[3], ScaleToDpi(c[0], c[1], c[2])) << c[0] << " " << c[1] << "/" << c[2];
}

TEST(SplitterBar, DrawnTwiceRestoresThePicture)
{
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, 16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, bitmap);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    auto* pixels = static_cast<DWORD*>(bits);
    for (int i = 0; i < 256; ++i)
        pixels[i] = 0x00336699u + static_cast<DWORD>(i);
    const std::vector<DWORD> before(pixels, pixels + 256);

    DrawSplitterBar(dc, 5, 2, 4, 10);
    GdiFlush();
    int changed = 0;
    for (int i = 0; i < 256; ++i) {
        const int x = i % 16, y = 15 - i / 16;   // bottom-up rows
        const bool inside = x >= 5 && x < 9 && y >= 2 && y < 12;
        if (!inside) {
            EXPECT_EQ(before[i], pixels[i]) << x << "," << y;
        }
        changed += pixels[i] != before[i];
    }
    EXPECT_EQ(20, changed);   // a checkerboard: half of the 4 x 10 pixels
    DrawSplitterBar(dc, 5, 2, 4, 10);
    GdiFlush();
    EXPECT_EQ(before, std::vector<DWORD>(pixels, pixels + 256));
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

// --- The live window ----------------------------------------------------------

const int kControls[] = {IDC_MEDIA_LIST, IDC_IPOD_SELECTOR, IDC_SCAN, IDC_SEARCH,
                         IDC_CLEAR_SEARCH, IDC_PLAYLIST_TREE, IDC_COPY};

class LayoutTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        ShowWindow(m_window, SW_SHOWNORMAL);
        m_initial = OuterSize();
    }
    std::map<int, RECT> AllRects() const
    {
        std::map<int, RECT> rects;
        for (int id : kControls)
            rects[id] = ClientRectOf(id);
        rects[-1] = ClientRectOf(-1);   // "Search:"
        return rects;
    }
    int Width(int id) const { return ClientRectOf(id).right - ClientRectOf(id).left; }
    int TreeRight() const { return ClientRectOf(IDC_PLAYLIST_TREE).right; }
    int TreeMiddleY() const
    {
        const RECT tree = ClientRectOf(IDC_PLAYLIST_TREE);
        return (tree.top + tree.bottom) / 2;
    }
    // The splitter reads the cursor itself; the message only says what happened.
    void Mouse(UINT message, int x) const
    {
        POINT p = {x, TreeMiddleY()};
        ClientToScreen(m_window, &p);
        SetCursorPos(p.x, p.y);
        SendMessageW(m_window, message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0, 0);
    }
    void Drag(int fromX, int toX) const
    {
        Mouse(WM_LBUTTONDOWN, fromX);
        Mouse(WM_MOUSEMOVE, toX);
        Mouse(WM_LBUTTONUP, toX);
    }
    // Windows sends it on a move to a screen of another scale; Wine never does.
    void ChangeDpi(UINT dpi, UINT fromDpi) const
    {
        RECT r;
        GetWindowRect(m_window, &r);
        r.right = r.left + ScaleToDpi(r.right - r.left, dpi, fromDpi);
        r.bottom = r.top + ScaleToDpi(r.bottom - r.top, dpi, fromDpi);
        SendMessageW(m_window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&r));
    }
    // First column, tree icon, status bar's part edges, the controls' font height.
    std::string PixelSizes() const
    {
        int icon = 0, edges[3] = {};
        ImageList_GetIconSize(TreeView_GetImageList(Item(IDC_PLAYLIST_TREE), TVSIL_NORMAL), &icon, &icon);
        SendMessageW(g_hStatusBar, SB_GETPARTS, 3, reinterpret_cast<LPARAM>(edges));
        LOGFONTW font = {};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Item(IDC_SCAN), WM_GETFONT, 0, 0)), sizeof(font), &font);
        char text[64];
        snprintf(text, sizeof(text), "%d %d %d,%d %ld", ListView_GetColumnWidth(Item(IDC_MEDIA_LIST), 0), icon,
                 edges[0], edges[1], static_cast<long>(font.lfHeight));
        return text;
    }
    SIZE m_initial = {};
};

TEST_F(LayoutTest, CursorPositionsReachTheWindow)
{
    POINT p = {TreeRight() + 2, TreeMiddleY()};
    ClientToScreen(m_window, &p);
    SetCursorPos(p.x, p.y);
    POINT back = {};
    GetCursorPos(&back);
    ASSERT_EQ(p.x, back.x) << "the splitter tests need SetCursorPos";
}

TEST_F(LayoutTest, WiderWindowWidensTheListAndTheSearchBoxOnly)
{
    const std::map<int, RECT> before = AllRects();
    ResizeOuter(m_initial.cx + 100, m_initial.cy + 30);
    const std::map<int, RECT> after = AllRects();
    for (const auto& [id, r] : after) {
        const RECT& b = before.at(id);
        SCOPED_TRACE(id);
        EXPECT_EQ(b.top, r.top);
        switch (id) {
        case IDC_MEDIA_LIST:
            EXPECT_EQ(b.left, r.left);
            EXPECT_EQ(b.right + 100, r.right);
            EXPECT_EQ(b.bottom + 30, r.bottom);
            break;
        case IDC_SEARCH:
            EXPECT_EQ(b.left, r.left);
            EXPECT_EQ(b.right + 100, r.right);
            EXPECT_EQ(b.bottom, r.bottom);
            break;
        case IDC_CLEAR_SEARCH:
            EXPECT_EQ(b.left + 100, r.left);
            EXPECT_EQ(b.right + 100, r.right);
            break;
        case IDC_PLAYLIST_TREE:
            EXPECT_EQ(b.left, r.left);
            EXPECT_EQ(b.right, r.right);
            EXPECT_EQ(b.bottom + 30, r.bottom);
            break;
        default:
            EXPECT_TRUE(EqualRect(&b, &r));
        }
    }
    // The status bar docks itself to the new bottom edge.
    RECT client, bar;
    GetClientRect(m_window, &client);
    GetWindowRect(g_hStatusBar, &bar);
    MapWindowPoints(nullptr, m_window, reinterpret_cast<POINT*>(&bar), 2);
    EXPECT_EQ(client.bottom, bar.bottom);
}

TEST_F(LayoutTest, CannotBeMadeSmallerThanAtCreation)
{
    EXPECT_EQ(m_initial.cx, g_minTrackSize.cx);
    EXPECT_EQ(m_initial.cy, g_minTrackSize.cy);
    MINMAXINFO limits = {};
    EXPECT_FALSE(SendMessageW(m_window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits)));
    EXPECT_EQ(m_initial.cx, limits.ptMinTrackSize.x);
    EXPECT_EQ(m_initial.cy, limits.ptMinTrackSize.y);
}

TEST_F(LayoutTest, TooNarrowGivesTheListZeroWidth)
{
    Drag(TreeRight(), 500);
    g_minTrackSize = {0, 0};   // the system itself keeps windows from shrinking below it
    ResizeOuter(300, m_initial.cy);
    EXPECT_EQ(504, ClientRectOf(IDC_MEDIA_LIST).left);
    EXPECT_EQ(0, Width(IDC_MEDIA_LIST));
    EXPECT_GE(Width(IDC_SEARCH), 0);
}

TEST_F(LayoutTest, MinimiseAndRestoreKeepEveryControlInPlace)
{
    ResizeOuter(m_initial.cx + 60, m_initial.cy + 40);
    const std::map<int, RECT> before = AllRects();
    ShowWindow(m_window, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(m_window));
    ShowWindow(m_window, SW_RESTORE);
    const std::map<int, RECT> after = AllRects();
    for (const auto& [id, r] : after)
        EXPECT_TRUE(EqualRect(&before.at(id), &r)) << id;
}

TEST_F(LayoutTest, SplitterMovesTheSplitOnRelease)
{
    const int listRight = ClientRectOf(IDC_MEDIA_LIST).right;
    Mouse(WM_LBUTTONDOWN, TreeRight() + 2);
    EXPECT_EQ(m_window, GetCapture());
    Mouse(WM_MOUSEMOVE, 300);
    EXPECT_NE(300, TreeRight());   // nothing moves while dragging
    Mouse(WM_LBUTTONUP, 300);
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_EQ(300, TreeRight());
    EXPECT_EQ(304, ClientRectOf(IDC_MEDIA_LIST).left);
    EXPECT_EQ(listRight, ClientRectOf(IDC_MEDIA_LIST).right);

    // The split survives a resize: the tree keeps its width.
    ResizeOuter(m_initial.cx + 80, m_initial.cy);
    EXPECT_EQ(300, TreeRight());
    EXPECT_EQ(304, ClientRectOf(IDC_MEDIA_LIST).left);
    EXPECT_EQ(listRight + 80, ClientRectOf(IDC_MEDIA_LIST).right);
}

TEST_F(LayoutTest, SplitterStopsAtItsLimits)
{
    Drag(TreeRight(), 3);
    EXPECT_EQ(40, TreeRight());
    EXPECT_EQ(44, ClientRectOf(IDC_MEDIA_LIST).left);
    Drag(TreeRight() + 4, 900);
    EXPECT_EQ(500, TreeRight());
    EXPECT_EQ(504, ClientRectOf(IDC_MEDIA_LIST).left);
}

TEST_F(LayoutTest, ClickWithoutMovingOrOutsideTheBandChangesNothing)
{
    const std::map<int, RECT> before = AllRects();
    Mouse(WM_LBUTTONDOWN, TreeRight() + 1);
    Mouse(WM_LBUTTONUP, TreeRight() + 1);
    Mouse(WM_LBUTTONDOWN, TreeRight() + 5);   // just outside
    EXPECT_EQ(nullptr, GetCapture());
    Mouse(WM_MOUSEMOVE, 300);
    Mouse(WM_LBUTTONUP, 300);
    const std::map<int, RECT> after = AllRects();
    for (const auto& [id, r] : after)
        EXPECT_TRUE(EqualRect(&before.at(id), &r)) << id;
}

// The template's 8-point font is 11 pixels high at 96 DPI and 16 at 144.
TEST_F(LayoutTest, DpiChangeScalesEverythingSizedInPixelsAndBack)
{
    ASSERT_EQ(96u, g_layout.Dpi()) << "the tests' prefix runs at 96 DPI";
    EXPECT_EQ("256 16 80,200 -11", PixelSizes());
    ChangeDpi(144, 96);
    EXPECT_EQ("384 24 120,300 -16", PixelSizes());
    EXPECT_NEAR(ScaleToDpi(m_initial.cx, 144), g_minTrackSize.cx, 1);
    Drag(TreeRight(), 3);
    EXPECT_EQ(66, ClientRectOf(IDC_MEDIA_LIST).left);   // limit 60, bar 6
    ChangeDpi(96, 144);
    EXPECT_EQ("256 16 80,200 -11", PixelSizes());
    EXPECT_EQ(44, ClientRectOf(IDC_MEDIA_LIST).left);
}

}  // namespace
