// The hyperlink control on a dialog of its own, and the About box opened by
// the real main window's command and driven inside its modal loop.
#include "main_window_fixture.h"

#include "ui/about_dialog.h"
#include "ui/hyperlink.h"

#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace {

LONG_PTR ProcOf(HWND window) { return GetWindowLongPtrW(window, GWLP_WNDPROC); }
HFONT FontOf(HWND window) { return reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)); }
HFONT PropFont(HWND window, const wchar_t* name) { return static_cast<HFONT>(GetPropW(window, name)); }

std::wstring TextOf(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, ARRAYSIZE(text));
    return text;
}

LOGFONTW LogFontOf(HFONT font)
{
    LOGFONTW logFont = {};
    GetObjectW(font, sizeof(logFont), &logFont);
    return logFont;
}

// Hyperlink properties a window still carries, counted when each WM_DESTROY
// has been handled: by then both procedures must have removed theirs.
std::vector<int>* g_leftAtDestroy = nullptr;

BOOL CALLBACK CountHyperlinkProp(HWND, LPWSTR name, HANDLE, ULONG_PTR count)
{
    if (!IS_INTRESOURCE(name) && wcsncmp(name, L"_Hyperlink_", 11) == 0)
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

LRESULT CALLBACK AfterDestroy(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_DESTROY && g_leftAtDestroy) {
        int left = 0;
        EnumPropsExW(call->hwnd, CountHyperlinkProp, reinterpret_cast<LPARAM>(&left));
        g_leftAtDestroy->push_back(left);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// --- The control on a plain dialog -----------------------------------------

INT_PTR CALLBACK PlainDlgProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

constexpr int kSecondLinkId = 2001;

// Dialog 104 with a procedure that converts nothing, a second static beside
// its link, and both converted by the test.
class HyperlinkTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        m_dialog = CreateDialogParamW(g_hInstance, MAKEINTRESOURCEW(IDD_ABOUT), m_window, PlainDlgProc, 0);
        ASSERT_NE(nullptr, m_dialog);
        m_dialogProc = ProcOf(m_dialog);
        const HWND second = CreateWindowExW(0, L"Static", L"second link", WS_CHILD | WS_VISIBLE, 10, 10, 80, 12,
                                            m_dialog, reinterpret_cast<HMENU>(kSecondLinkId), nullptr, nullptr);
        SendMessageW(second, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(m_dialog)), FALSE);
        m_links = {GetDlgItem(m_dialog, IDC_ABOUT_LINK), second};
        for (HWND link : m_links)
            m_fontsBefore.push_back(FontOf(link));
        EXPECT_TRUE(ConvertStaticToHyperlink(m_dialog, IDC_ABOUT_LINK));
        EXPECT_TRUE(ConvertStaticToHyperlink(second));
        ShowWindow(m_dialog, SW_SHOWNA);
    }
    void TearDown() override
    {
        if (GetCapture())
            ReleaseCapture();
        if (IsWindow(m_dialog))
            DestroyWindow(m_dialog);
        MainWindowTest::TearDown();
    }

    // A move to a point of the link's client area. The pointer goes along, so
    // that the moves the system makes up itself agree with the posted one.
    static void MoveMouse(HWND link, int x, int y)
    {
        POINT screen = {x, y};
        ClientToScreen(link, &screen);
        SetCursorPos(screen.x, screen.y);
        PostMessageW(link, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        PumpFor(20);
    }

    HWND m_dialog = nullptr;
    LONG_PTR m_dialogProc = 0;
    std::vector<HWND> m_links;
    std::vector<HFONT> m_fontsBefore;
};

TEST_F(HyperlinkTest, TwoLinksSubclassTheParentOnceAndKeepTheirTextAndFont)
{
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(HyperlinkParentProc), ProcOf(m_dialog));
    EXPECT_EQ(m_dialogProc, reinterpret_cast<LONG_PTR>(GetPropW(m_dialog, kHyperlinkOriginalProc)));
    EXPECT_EQ(nullptr, GetPropW(m_dialog, kHyperlinkFromStatic));
    EXPECT_EQ(L"http://www.quillmere.com/savanto", TextOf(m_links[0]));
    for (size_t i = 0; i < m_links.size(); ++i) {
        const HWND link = m_links[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(reinterpret_cast<LONG_PTR>(HyperlinkProc), ProcOf(link));
        EXPECT_NE(nullptr, GetPropW(link, kHyperlinkOriginalProc));
        EXPECT_EQ(SS_NOTIFY, GetWindowLongPtrW(link, GWL_STYLE) & SS_NOTIFY);
        EXPECT_EQ(reinterpret_cast<HANDLE>(1), GetPropW(link, kHyperlinkFromStatic));
        // Idle: the control's own font, remembered; the underlined copy is apart.
        EXPECT_EQ(m_fontsBefore[i], FontOf(link));
        EXPECT_EQ(m_fontsBefore[i], PropFont(link, kHyperlinkOriginalFont));
        const HFONT underline = PropFont(link, kHyperlinkUnderlineFont);
        ASSERT_NE(nullptr, underline);
        EXPECT_NE(m_fontsBefore[i], underline);
        const LOGFONTW plain = LogFontOf(m_fontsBefore[i]), underlined = LogFontOf(underline);
        EXPECT_EQ(1, underlined.lfUnderline);
        EXPECT_EQ(plain.lfHeight, underlined.lfHeight);
        EXPECT_STREQ(plain.lfFaceName, underlined.lfFaceName);
    }
    EXPECT_EQ(L"second link", TextOf(m_links[1]));
}

TEST_F(HyperlinkTest, BothLinksGetBlueTextAndOtherStaticsDoNot)
{
    const HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(nullptr, dc);
    const HWND plainStatic = GetDlgItem(m_dialog, IDC_ABOUT_VERSION);
    for (HWND control : {m_links[0], m_links[1], plainStatic}) {
        SetTextColor(dc, RGB(1, 2, 3));
        const LRESULT brush =
            SendMessageW(m_dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
        EXPECT_NE(0, brush) << "the dialog's own background brush comes back";
        if (control == plainStatic)
            EXPECT_NE(kHyperlinkColour, GetTextColor(dc));
        else
            EXPECT_EQ(RGB(0, 0, 255), GetTextColor(dc));
    }
    DeleteDC(dc);
}

TEST_F(HyperlinkTest, HoverUnderlinesAndCapturesLeavingRestoresAndTheCursorIsAHand)
{
    const HWND link = m_links[0];
    const HFONT original = PropFont(link, kHyperlinkOriginalFont);
    const HFONT underline = PropFont(link, kHyperlinkUnderlineFont);
    RECT client;
    GetClientRect(link, &client);
    struct Move {
        int x, y;
        bool hovered;
    };
    // In, further in, out past an edge (the capture keeps the moves coming),
    // in again, out past another edge, back in.
    const Move moves[] = {{1, 1, true},
                          {client.right - 1, client.bottom - 1, true},
                          {-3, 1, false},
                          {2, 2, true},
                          {2, client.bottom + 6, false},
                          {client.right - 2, client.bottom - 1, true}};
    for (const Move& move : moves) {
        SCOPED_TRACE(testing::Message() << move.x << "," << move.y);
        MoveMouse(link, move.x, move.y);
        EXPECT_EQ(move.hovered ? link : nullptr, GetCapture());
        EXPECT_EQ(move.hovered ? underline : original, FontOf(link));
    }
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(TRUE, SendMessageW(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(LoadCursorW(nullptr, IDC_HAND), GetCursor());
}

// At another DPI the dialog manager gives the controls new fonts: the link underlines that one.
TEST_F(HyperlinkTest, AFontGivenFromOutsideIsTheOneUnderlined)
{
    LOGFONTW larger = LogFontOf(FontOf(m_links[0]));
    larger.lfHeight *= 2;
    const HFONT font = CreateFontIndirectW(&larger);
    SendMessageW(m_links[0], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    MoveMouse(m_links[0], 1, 1);
    EXPECT_EQ(larger.lfHeight, LogFontOf(FontOf(m_links[0])).lfHeight);
    DestroyWindow(m_dialog);
    DeleteObject(font);
}

TEST_F(HyperlinkTest, DestroyingRemovesEveryPropertyAndDeletesTheUnderlineFonts)
{
    std::vector<HFONT> underlines;
    for (HWND link : m_links)
        underlines.push_back(PropFont(link, kHyperlinkUnderlineFont));
    MoveMouse(m_links[0], 1, 1);   // destroyed while hovered
    ASSERT_EQ(m_links[0], GetCapture());

    std::vector<int> left;
    g_leftAtDestroy = &left;
    const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, AfterDestroy, nullptr, GetCurrentThreadId());
    DestroyWindow(m_dialog);
    UnhookWindowsHookEx(hook);
    g_leftAtDestroy = nullptr;

    EXPECT_GE(left.size(), 3u);   // the dialog and both links, among its children
    for (int count : left)
        EXPECT_EQ(0, count);
    for (HFONT font : underlines)
        EXPECT_EQ(0u, GetObjectType(font));
    EXPECT_EQ(nullptr, GetCapture());
}

// --- The About box -----------------------------------------------------------

// Runs `script` on the About box once the modal loop that `open` starts is
// running. A script that leaves the box open fails the test instead of
// hanging it.
std::function<void(HWND)>* g_script = nullptr;
bool g_scriptLeftItOpen = false;

void CALLBACK RunScriptInModalLoop(HWND, UINT, UINT_PTR timer, DWORD)
{
    // The modal loop shows the box once it first runs out of messages.
    const HWND box = FindWindowW(L"#32770", L"About Savanto");
    if (!box || !IsWindowVisible(box) || !g_script)
        return;
    KillTimer(nullptr, timer);
    auto script = std::exchange(g_script, nullptr);
    (*script)(box);
    if (IsWindow(box) && IsWindowVisible(box)) {
        g_scriptLeftItOpen = true;
        EndDialog(box, 0);
    }
}

struct OpenedPages {
    std::vector<std::wstring> urls;
};
OpenedPages* g_opened = nullptr;
void RecordOpenPage(const wchar_t* url) { g_opened->urls.push_back(url); }

class AboutBoxTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        g_opened = &m_opened;
        about_testing::SetOpenPage(RecordOpenPage);
    }
    void TearDown() override
    {
        about_testing::SetOpenPage(nullptr);
        g_opened = nullptr;
        MainWindowTest::TearDown();
    }

    // The About command of the main window, with `script` run inside the box.
    void RunAbout(std::function<void(HWND)> script)
    {
        g_scriptLeftItOpen = false;
        g_script = &script;
        const UINT_PTR timer = SetTimer(nullptr, 0, 10, RunScriptInModalLoop);
        SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(IDM_ABOUT, 0), 0);
        KillTimer(nullptr, timer);
        EXPECT_EQ(nullptr, g_script) << "the About box did not open";
        g_script = nullptr;
        EXPECT_FALSE(g_scriptLeftItOpen) << "the About box did not close";
        EXPECT_TRUE(IsWindowEnabled(m_window));
    }

    OpenedPages m_opened;
};

TEST_F(AboutBoxTest, ShowsVersionBuildStampTrademarksAndItsLink)
{
    RunAbout([&](HWND box) {
        EXPECT_EQ(m_window, GetWindow(box, GW_OWNER));
        EXPECT_FALSE(IsWindowEnabled(m_window)) << "modal";
        EXPECT_EQ(L"Version: 1.1.3", TextOf(GetDlgItem(box, IDC_ABOUT_VERSION)));
        const std::wstring stamp = TextOf(GetDlgItem(box, IDC_ABOUT_BUILD));
        EXPECT_TRUE(std::regex_match(stamp, std::wregex(L"Compiled on (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                                                        L"[ 123]\\d \\d{4} at [0-2]\\d:[0-5]\\d:[0-5]\\d")))
            << stamp;
        EXPECT_EQ(L"* iPod and iTunes are trademarks of Apple Inc.", TextOf(GetDlgItem(box, IDC_ABOUT_TRADEMARKS)));
        EXPECT_EQ(kHomePageUrl, TextOf(GetDlgItem(box, IDC_ABOUT_LINK)));
        EXPECT_EQ(reinterpret_cast<LONG_PTR>(HyperlinkProc), ProcOf(GetDlgItem(box, IDC_ABOUT_LINK)));
        EXPECT_NE(nullptr, reinterpret_cast<HICON>(SendDlgItemMessageW(box, IDC_ABOUT_ICON, STM_GETICON, 0, 0)));
        SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDCLOSE, BN_CLICKED), 0);
    });
}

// Runs the box's messages as its modal loop does, keys through
// IsDialogMessageW, for `milliseconds`.
void PumpBox(HWND box, DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (IsWindow(box) && IsDialogMessageW(box, &message))
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (GetTickCount() - start < milliseconds);
}

// A key press on the focused control, as the keyboard delivers it.
void PressKey(HWND box, WPARAM key)
{
    const HWND target = GetFocus() ? GetFocus() : box;
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
    PumpBox(box, 50);
}

TEST_F(AboutBoxTest, EscAndOtherCommandsLeaveItOpenWhileEnterCloseAndTheCloseBoxEndIt)
{
    const std::function<void(HWND)> enders[] = {
        [](HWND box) { PressKey(box, VK_RETURN); },
        [](HWND box) { SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDCLOSE, BN_CLICKED), 0); },
        [](HWND box) { SendMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    for (size_t i = 0; i < ARRAYSIZE(enders); ++i) {
        SCOPED_TRACE(i);
        RunAbout([&](HWND box) {
            EXPECT_EQ(IDC_ABOUT_TRADEMARKS, GetDlgCtrlID(GetFocus())) << "the first tab stop";
            PressKey(box, VK_ESCAPE);
            EXPECT_TRUE(IsWindowVisible(box)) << "Esc in the multiline edit";
            SetFocus(GetDlgItem(box, IDCLOSE));
            PressKey(box, VK_ESCAPE);
            EXPECT_TRUE(IsWindowVisible(box)) << "Esc on the button";
            SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
            SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
            EXPECT_TRUE(IsWindowVisible(box)) << "Esc, IDCANCEL and IDOK do not end the box";
            SetFocus(GetDlgItem(box, IDC_ABOUT_TRADEMARKS));   // Enter from where the box starts
            enders[i](box);
            PumpBox(box, 50);
            EXPECT_FALSE(IsWindow(box) && IsWindowVisible(box));
        });
    }
}

TEST_F(AboutBoxTest, ClickingTheLinkOpensTheHomePageAndLeavesTheBoxOpen)
{
    RunAbout([&](HWND box) {
        const HWND link = GetDlgItem(box, IDC_ABOUT_LINK);
        PostMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        PostMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        PumpBox(box, 50);
        ASSERT_EQ(1u, m_opened.urls.size()) << "the static reports the click as its id";
        EXPECT_EQ(TextOf(link), m_opened.urls[0]) << "the address is the link's text";
        EXPECT_EQ(L"http://www.quillmere.com/savanto", m_opened.urls[0]);
        SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_LINK, STN_DBLCLK), reinterpret_cast<LPARAM>(link));
        EXPECT_EQ(2u, m_opened.urls.size()) << "a double click opens it once more";
        EXPECT_TRUE(IsWindowVisible(box));
        SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDCLOSE, BN_CLICKED), 0);
    });
}

TEST_F(AboutBoxTest, OpeningTwiceLeavesNoPropertyOrFontBehind)
{
    for (int opening = 0; opening < 2; ++opening) {
        SCOPED_TRACE(opening);
        HFONT underline = nullptr, dialogFont = nullptr;
        std::vector<int> left;
        HHOOK hook = nullptr;
        RunAbout([&](HWND box) {
            const HWND link = GetDlgItem(box, IDC_ABOUT_LINK);
            underline = PropFont(link, kHyperlinkUnderlineFont);
            dialogFont = FontOf(box);
            EXPECT_EQ(OBJ_FONT, static_cast<int>(GetObjectType(underline)));
            g_leftAtDestroy = &left;
            hook = SetWindowsHookExW(WH_CALLWNDPROCRET, AfterDestroy, nullptr, GetCurrentThreadId());
            PressKey(box, VK_RETURN);
        });
        UnhookWindowsHookEx(hook);
        g_leftAtDestroy = nullptr;
        EXPECT_GE(left.size(), 2u) << "the box and its link were destroyed";
        for (int count : left)
            EXPECT_EQ(0, count);
        EXPECT_NE(nullptr, underline);
        EXPECT_EQ(0u, GetObjectType(underline)) << "the underline font was deleted";
        EXPECT_EQ(0u, GetObjectType(dialogFont)) << "the box's own font went with the box";
    }
}

}  // namespace
