// The main window created from its resources and driven with messages.
#include "main_window_fixture.h"

#include "device/ipod_list.h"
#include "library/media_library.h"
#include "support/test_support.h"
#include "ipodgen/sample_ipod.h"

#include <commctrl.h>

namespace {

LRESULT CALLBACK CountRefills(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR counter)
{
    if (message == LVM_SETITEMCOUNT)
        ++*reinterpret_cast<int*>(counter);
    return DefSubclassProc(window, message, wParam, lParam);
}

std::wstring WindowText(HWND window)
{
    wchar_t text[128] = {};
    GetWindowTextW(window, text, ARRAYSIZE(text));
    return text;
}

LONG_PTR Style(HWND window) { return GetWindowLongPtrW(window, GWL_STYLE); }

TEST_F(MainWindowTest, OpensHiddenWithItsControlsInTabOrder)
{
    EXPECT_EQ(m_window, g_hMainWnd);
    EXPECT_FALSE(IsWindowVisible(m_window));
    EXPECT_EQ(L"Savanto - iPod Backup Tool", WindowText(m_window));
    const LONG_PTR style = Style(m_window);
    for (LONG_PTR bit : {WS_CAPTION, WS_SYSMENU, WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX})
        EXPECT_EQ(bit, style & bit);
    EXPECT_NE(0, GetClassLongPtrW(m_window, GCLP_HICON));

    std::vector<int> order;
    for (HWND child = GetWindow(m_window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (child != g_hStatusBar)
            order.push_back(GetDlgCtrlID(child));
    }
    const int kStatic = -1;
    EXPECT_EQ((std::vector<int>{IDC_MEDIA_LIST, IDC_IPOD_SELECTOR, IDC_SCAN, IDC_SEARCH, IDC_CLEAR_SEARCH,
                                IDC_PLAYLIST_TREE, IDC_COPY, kStatic}),
              order);
    EXPECT_EQ(LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA,
              Style(Item(IDC_MEDIA_LIST)) & (LVS_TYPEMASK | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | LVS_OWNERDATA));
    EXPECT_EQ(CBS_DROPDOWNLIST, Style(Item(IDC_IPOD_SELECTOR)) & 3);
    EXPECT_EQ(L"Scan for iPods", WindowText(Item(IDC_SCAN)));
    EXPECT_EQ(L"Clear Search", WindowText(Item(IDC_CLEAR_SEARCH)));
    EXPECT_EQ(L"Copy", WindowText(Item(IDC_COPY)));
    EXPECT_EQ(L"Search:", WindowText(Item(-1)));
}

TEST_F(MainWindowTest, StartsWithTheIpodControlsOffAndNothingLoaded)
{
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_IPOD_SELECTOR)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_SCAN)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_COPY)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_SEARCH)));
    HMENU menu = GetMenu(m_window);
    EXPECT_TRUE(GetMenuState(menu, IDM_EJECT, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_FALSE(GetMenuState(menu, IDM_SCAN, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_EQ(0, g_busy.load());
    ASSERT_NE(nullptr, g_pLibrary);
    EXPECT_EQ(0, g_pLibrary->GetItemCount());
}

TEST_F(MainWindowTest, StatusBarHasThreeParts)
{
    ASSERT_NE(nullptr, g_hStatusBar);
    EXPECT_EQ(m_window, GetParent(g_hStatusBar));
    int edges[4] = {};
    ASSERT_EQ(3, SendMessageW(g_hStatusBar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)));
    EXPECT_EQ(80, edges[0]);
    EXPECT_EQ(200, edges[1]);
    EXPECT_EQ(-1, edges[2]);
    EXPECT_EQ(L"Items: 0", StatusText(0));
    EXPECT_EQ(L"Checked items: 0", StatusText(1));
    EXPECT_EQ(L"", StatusText(2));
}

TEST_F(MainWindowTest, TooltipsNameTheFourControls)
{
    ASSERT_NE(nullptr, g_hTooltip);
    ASSERT_EQ(4, SendMessageW(g_hTooltip, TTM_GETTOOLCOUNT, 0, 0));
    const std::pair<int, const wchar_t*> tools[] = {{IDC_SCAN, L"Scan for iPods pluged on this computer"},
                                                    {IDC_COPY, L"Copy checked media items"},
                                                    {IDC_SEARCH, L"Search for media"},
                                                    {IDC_IPOD_SELECTOR, L"iPod selector"}};
    for (const auto& tool : tools) {
        wchar_t text[80] = {};
        TOOLINFOW info = {};
        info.cbSize = TTTOOLINFOW_V2_SIZE;
        info.hwnd = m_window;
        info.uId = reinterpret_cast<UINT_PTR>(Item(tool.first));
        info.lpszText = text;
        EXPECT_TRUE(SendMessageW(g_hTooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&info)));
        EXPECT_STREQ(tool.second, text);
        EXPECT_EQ(static_cast<UINT>(TTF_IDISHWND | TTF_SUBCLASS), info.uFlags & (TTF_IDISHWND | TTF_SUBCLASS));
    }
}

TEST_F(MainWindowTest, EnterAndEscDoNothing)
{
    SendMessageW(m_window, WM_COMMAND, IDOK, 0);
    SendMessageW(m_window, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(IsWindow(m_window));
    EXPECT_FALSE(TakeQuitMessage());
}

// --- Closing saves the settings ---------------------------------------------

DWORD StoredDword(const wchar_t* name)
{
    DWORD value = 0xDEADBEEF, size = sizeof(value);
    RegGetValueW(HKEY_CURRENT_USER, settings_names::kKeyPath, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

TEST_F(MainWindowTest, ExitSavesTheSettingsAndEndsTheLoop)
{
    g_settings.GridLines = 0;
    g_settings.AskForDestPath = 0;
    SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
    EXPECT_FALSE(IsWindow(m_window));
    EXPECT_TRUE(TakeQuitMessage());
    EXPECT_EQ(0u, StoredDword(settings_names::kGridLines));
    EXPECT_EQ(0u, StoredDword(settings_names::kAskForDestPath));
}

TEST_F(MainWindowTest, CloseBoxDoesAsExitDoes)
{
    g_settings.GridLines = 1;
    g_settings.EnableTooltips = 0;
    SendMessageW(m_window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(m_window));
    EXPECT_TRUE(TakeQuitMessage());
    EXPECT_EQ(1u, StoredDword(settings_names::kGridLines));
    EXPECT_EQ(0u, StoredDword(settings_names::kEnableTooltips));
}

// The check mark follows the preference from the start, each click switches
// both, and closing stores the last state.
TEST_F(MainWindowTest, WriteFileItemsFollowAndSwitchTheirPreferences)
{
    struct Option {
        UINT item;
        DWORD Settings::*value;
        const wchar_t* name;
    };
    const Option options[] = {{IDM_WRITE_PLAYLISTS, &Settings::WritePlaylists, settings_names::kWritePlaylists},
                              {IDM_WRITE_LIBRARY_FILE, &Settings::WriteLibraryFile, settings_names::kWriteLibraryFile},
                              {IDM_SAVE_COVERS, &Settings::SaveCovers, settings_names::kSaveCovers}};
    for (const Option& option : options) {
        auto checked = [&] { return (GetMenuState(GetMenu(m_window), option.item, MF_BYCOMMAND) & MF_CHECKED) != 0; };
        DestroyWindow(m_window);
        g_settings.WritePlaylists = g_settings.WriteLibraryFile = g_settings.SaveCovers = 0;
        m_window = CreateMainWindow();
        ASSERT_NE(nullptr, m_window);
        EXPECT_FALSE(checked()) << option.item;
        DestroyWindow(m_window);
        g_settings.*option.value = 1;
        m_window = CreateMainWindow();
        ASSERT_NE(nullptr, m_window);
        EXPECT_TRUE(checked()) << option.item;

        const std::pair<DWORD, bool> afterClick[] = {{0u, false}, {1u, true}, {0u, false}};
        for (const auto& [value, mark] : afterClick) {
            SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(option.item, 0), 0);
            EXPECT_EQ(value, g_settings.*option.value) << option.item;
            EXPECT_EQ(mark, checked()) << option.item;
        }
        EXPECT_EQ(0u, g_settings.WritePlaylists + g_settings.WriteLibraryFile + g_settings.SaveCovers)
            << "the other options stay off";
        SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(option.item, 0), 0);
        SendMessageW(m_window, WM_CLOSE, 0, 0);
        EXPECT_TRUE(TakeQuitMessage());
        EXPECT_EQ(1u, StoredDword(option.name)) << option.item;
        m_window = CreateMainWindow();
    }
}

// --- Searching --------------------------------------------------------------

class LoadedWindowTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        LoadSampleIpod(60);
        if (HasFatalFailure())
            return;
        ASSERT_EQ(60, g_pLibrary->GetItemCount());
        SetWindowSubclass(Item(IDC_MEDIA_LIST), CountRefills, 1, reinterpret_cast<DWORD_PTR>(&m_refills));
    }
    void TearDown() override
    {
        RemoveWindowSubclass(Item(IDC_MEDIA_LIST), CountRefills, 1);
        g_pLibrary->Clear();
        MainWindowTest::TearDown();
    }
    int Rows() const { return static_cast<int>(SendMessageW(Item(IDC_MEDIA_LIST), LVM_GETITEMCOUNT, 0, 0)); }
    void Type(const wchar_t* text) const { SetDlgItemTextW(m_window, IDC_SEARCH, text); }
    bool WaitForRefills(int count) { return PumpUntil([&] { return m_refills >= count; }); }

    int m_refills = 0;
};

TEST_F(LoadedWindowTest, TypingRefreshesOnceAfterTheLastChange)
{
    const std::wstring artist = m_tracks[3].artist;
    Type(artist.substr(0, 1).c_str());
    Type(artist.substr(0, 2).c_str());
    Type(artist.c_str());
    EXPECT_EQ(0, m_refills);   // nothing before the timer runs
    ASSERT_TRUE(WaitForRefills(1));
    PumpFor(300);              // a second refresh would have come by now
    EXPECT_EQ(1, m_refills);
    EXPECT_GT(Rows(), 0);
    EXPECT_LT(Rows(), 60);
    EXPECT_EQ(static_cast<size_t>(Rows()), g_pLibrary->VisibleRows().size());
    EXPECT_EQ(L"Items: 60", StatusText(0));

    SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(IDC_CLEAR_SEARCH, BN_CLICKED), 0);
    wchar_t text[8] = L"x";
    GetDlgItemTextW(m_window, IDC_SEARCH, text, ARRAYSIZE(text));
    EXPECT_STREQ(L"", text);
    ASSERT_TRUE(WaitForRefills(2));
    PumpFor(300);
    EXPECT_EQ(2, m_refills);
    EXPECT_EQ(60, Rows());
}

TEST_F(LoadedWindowTest, SearchTimerWhileBusyRefreshesNothingAndStops)
{
    Type(m_tracks[0].title.c_str());
    g_busy = 1;
    PumpFor(400);
    g_busy = 0;
    PumpFor(300);   // the timer was killed: it does not come back
    EXPECT_EQ(0, m_refills);
    EXPECT_EQ(60, Rows());
}

HTREEITEM FirstPlaylistNode(HWND tree)
{
    const HTREEITEM root = TreeView_GetRoot(tree);
    return TreeView_GetChild(tree, root);
}

TEST_F(LoadedWindowTest, ChoosingAPlaylistShowsItsTracks)
{
    const HWND tree = Item(IDC_PLAYLIST_TREE);
    const HTREEITEM node = FirstPlaylistNode(tree);
    ASSERT_NE(nullptr, node);
    g_busy = 1;
    TreeView_SelectItem(tree, node);
    EXPECT_EQ(0, m_refills);   // refused while a scan or load runs
    g_busy = 0;
    TreeView_SelectItem(tree, TreeView_GetRoot(tree));
    EXPECT_EQ(1, m_refills);
    TreeView_SelectItem(tree, node);
    EXPECT_EQ(2, m_refills);
    const PlaylistEntry* playlist = g_pLibrary->GetSelectedPlaylist();
    ASSERT_NE(nullptr, playlist);
    EXPECT_EQ(static_cast<int>(playlist->trackIds.size()), Rows());
}

// --- Scanning ------------------------------------------------------------

TEST_F(MainWindowTest, ScanIsRefusedWhileBusy)
{
    g_busy = 1;
    SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(IDC_SCAN, BN_CLICKED), 0);
    SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(IDM_SCAN, 0), 0);
    SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(IDC_IPOD_SELECTOR, CBN_SELCHANGE), 0);
    PumpFor(300);
    EXPECT_EQ(L"", StatusText(2));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_SCAN)));   // a scan would have enabled it
    g_busy = 0;
}

TEST_F(MainWindowTest, ScanCommandRunsTheScanWorker)
{
    SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(IDM_SCAN, 0), 0);
    EXPECT_EQ(1, g_busy.load());   // claimed before the worker's first step
    ASSERT_TRUE(PumpUntil([] { return g_busy == 0; }));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_SCAN)));
    EXPECT_EQ(L"", StatusText(2));
}

TEST_F(MainWindowTest, SelectorChangeWithoutIpodsStartsNoLoad)
{
    SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(IDC_IPOD_SELECTOR, CBN_SELCHANGE), 0);
    EXPECT_EQ(0, g_busy.load());
}

}  // namespace
