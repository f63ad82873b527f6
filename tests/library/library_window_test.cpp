// The library bound to a real list view and tree: loading, the rows each view
// shows, the ticks' round trips and the status-bar counts.
#include "library/host_window.h"
#include "library/media_list.h"
#include "settings/settings.h"
#include "support/test_support.h"

#include "ipodgen/db_builder.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace ipodgen;
using testing_support::HostWindow;
using testing_support::RunWorker;
using testing_support::TempDir;
using Strings = std::vector<std::wstring>;

namespace {

// Five tracks, a master playlist, a smart one, and three ordinary ones: one
// listing a track twice and an id no track has, one without a name.
Bytes TestDatabase()
{
    return SimpleDatabase(
        {Track({11, L"Open Water", L"Mira Solenne", L"Glass", L"Jazz", L":a.mp3", 1, 225000}),
         Track({12, L"Slow Light", L"The Quiet Harbour", L"Copper", L"Folk", L":b.mp3", 0, 5000}),
         Track({13, std::nullopt, L"Idris Vane", std::nullopt, std::nullopt, L":c.mp3", -2, 62 * 60000 + 5000}),
         Track({14, L"Falling Rain", L"Paper Lanterns", L"Tides", L"Harbour Pop", L":d.mp3", 4, 1000}),
         Track({15, L"Harbour Lights", L"Ana Beltrão", L"Tides", L"Rock", L":e.mp3", 5, 2000})},
        {NamedPlaylist(L"Library", {11, 12, 13, 14, 15}, 1),
         NamedPlaylist(L"Road Trip", {15, 11, 15, 999}),
         NamedPlaylist(L"Smart", {11}, 0, true),
         NamedPlaylist(std::nullopt, {12, 13, 14}),
         NamedPlaylist(L"Empty", {})});
}

DWORD WINAPI LoadOnWorker(LPVOID root)
{
    LoadIpodDatabase(static_cast<const wchar_t*>(root));
    return 0;
}

class LibraryWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        dbPath = dir.File(L"iTunesDB");
        ASSERT_TRUE(WriteBytes(dbPath, TestDatabase()));
    }

    void Load()
    {
        host.library.LoadDatabase(dbPath.c_str());
        host.library.Refresh();
    }

    void ShowPlaylist(size_t i)
    {
        host.SelectNode(host.PlaylistNode(i));
        host.library.Refresh();
    }

    void ShowRoot()
    {
        host.SelectNode(TreeView_GetRoot(host.tree));
        host.library.Refresh();
    }

    void Search(const wchar_t* text)
    {
        SetWindowTextW(host.search, text);
        host.library.Refresh();
    }

    TempDir dir;
    std::wstring dbPath;
    HostWindow host;
};

TEST_F(LibraryWindow, LoadKeepsOrdinaryPlaylistsSelectsRootAndShowsEveryTrackUnticked)
{
    Load();
    EXPECT_EQ((Strings{L"Road Trip (4)", L" (3)", L"Empty (0)"}), host.PlaylistLabels())
        << "master and smart playlists are dropped";
    HTREEITEM root = TreeView_GetRoot(host.tree);
    EXPECT_EQ(L"Playlists", host.NodeText(root));
    EXPECT_EQ(root, TreeView_GetSelection(host.tree));
    EXPECT_TRUE(TreeView_GetItemState(host.tree, root, TVIS_EXPANDED) & TVIS_EXPANDED);
    EXPECT_EQ(nullptr, host.library.GetSelectedPlaylist());

    EXPECT_EQ((Strings{L"Open Water", L"Slow Light", L"", L"Falling Rain", L"Harbour Lights"}), host.Column(0));
    for (int row = 0; row < 5; ++row)
        EXPECT_FALSE(host.RowTicked(row)) << row;
    UpdateStatusCounts();
    EXPECT_EQ(L"Items: 5", host.StatusText(0));
    EXPECT_EQ(L"Checked items: 0", host.StatusText(1));
}

TEST_F(LibraryWindow, RowCellsFollowTheColumns)
{
    Load();
    EXPECT_EQ(L"Open Water", host.Cell(0, 0));
    EXPECT_EQ(L"Mira Solenne", host.Cell(0, 1));
    EXPECT_EQ(L"Glass", host.Cell(0, 2));
    EXPECT_EQ(L"Jazz", host.Cell(0, 3));
    EXPECT_EQ(L"3:45", host.Cell(0, 4));
    EXPECT_EQ(L"1", host.Cell(0, 5));
    EXPECT_EQ(L"0:05", host.Cell(1, 4));
    EXPECT_EQ(L"", host.Cell(1, 5)) << "track number 0 is an empty cell";
    EXPECT_EQ(L"", host.Cell(2, 2)) << "absent album";
    EXPECT_EQ(L"62:05", host.Cell(2, 4));
    EXPECT_EQ(L"-2", host.Cell(2, 5));
}

TEST_F(LibraryWindow, PlaylistRowsFollowItsOrderAndSkipItemsWithoutTrack)
{
    Load();
    ShowPlaylist(0);
    EXPECT_EQ(host.library.Playlists()[0].get(), host.library.GetSelectedPlaylist());
    EXPECT_EQ((Strings{L"Harbour Lights", L"Open Water", L"Harbour Lights"}), host.Column(0))
        << "id 999 names no track: no row, not the first track";
    EXPECT_EQ((std::vector<int>{4, 0, 4}), host.library.VisibleRows());
    EXPECT_EQ(5, host.library.GetItemCount()) << "all tracks, not the rows shown";

    ShowPlaylist(2);
    EXPECT_EQ(0, ListView_GetItemCount(host.list));
    ShowRoot();
    EXPECT_EQ(5, ListView_GetItemCount(host.list));
}

TEST_F(LibraryWindow, FindTrackIndexKeepsItsResultForCallers)
{
    Load();
    EXPECT_EQ(3, host.library.FindTrackIndex(14));
    EXPECT_EQ(0, host.library.FindTrackIndex(999));
    EXPECT_EQ(-1, host.library.FindTrackPosition(999));
}

TEST_F(LibraryWindow, SearchShowsMatchesOfAnyPlaylistAndEmptyingItRestoresThePlaylist)
{
    Load();
    ShowPlaylist(1);   // Slow Light, (no title), Falling Rain
    Search(L"harbour");
    EXPECT_EQ((Strings{L"Slow Light", L"Harbour Lights"}), host.Column(0))
        << "artist and title match; a genre alone does not";
    EXPECT_EQ(5, host.library.GetItemCount());
    Search(L"");
    EXPECT_EQ((Strings{L"Slow Light", L"", L"Falling Rain"}), host.Column(0));
}

TEST_F(LibraryWindow, TicksSurviveChangesOfPlaylistAndSearch)
{
    Load();
    host.TickRow(1, true);   // Slow Light
    ShowPlaylist(1);
    ASSERT_EQ(L"Slow Light", host.Cell(0, 0));
    EXPECT_TRUE(host.RowTicked(0));
    EXPECT_FALSE(host.RowTicked(1));
    host.TickRow(2, true);   // Falling Rain
    Search(L"rain");
    ASSERT_EQ(1, ListView_GetItemCount(host.list));
    EXPECT_TRUE(host.RowTicked(0));
    Search(L"");
    ShowRoot();
    EXPECT_EQ((std::vector<bool>{false, true, false, true, false}),
              (std::vector<bool>{host.RowTicked(0), host.RowTicked(1), host.RowTicked(2), host.RowTicked(3),
                                 host.RowTicked(4)}));
    EXPECT_EQ(2, host.library.GetCheckedCount());
    std::vector<TrackEntry*> checked;
    host.library.GetCheckedTracks(checked);
    ASSERT_EQ(2u, checked.size());
    EXPECT_EQ(12u, checked[0]->trackId);
    EXPECT_EQ(14u, checked[1]->trackId);
    UpdateStatusCounts();
    EXPECT_EQ(L"Checked items: 2", host.StatusText(1));
}

TEST_F(LibraryWindow, TrackShownTwiceHasOneTickAndInvertFlipsItOnce)
{
    Load();
    ShowPlaylist(0);   // rows: Harbour Lights, Open Water, Harbour Lights
    host.TickRow(2, true);
    EXPECT_EQ(L"x.x", host.Ticks());
    host.library.InvertShownTicks();
    EXPECT_EQ(L".x.", host.Ticks());
}

TEST_F(LibraryWindow, ClearLeavesTheRootAloneAndAnUnreadableDatabaseAnEmptyLibrary)
{
    Load();
    host.library.SetShownTicks(true);
    host.library.Clear();
    EXPECT_EQ(1u, TreeView_GetCount(host.tree));
    EXPECT_EQ(0, host.library.GetItemCount());
    EXPECT_TRUE(host.library.VisibleRows().empty());
    EXPECT_EQ(0, ListView_GetItemCount(host.list)) << "the count goes before the tracks";
    for (int row : {-1, 0, 4, 100000}) {   // a list that paints while a load empties the library
        wchar_t text[16] = L"stale";
        NMLVDISPINFOW ask = {{host.list, IDC_MEDIA_LIST, LVN_GETDISPINFOW},
                             {LVIF_TEXT | LVIF_STATE | LVIF_IMAGE, row, 1, 0, LVIS_STATEIMAGEMASK, text, 16, 7}};
        SendMessageW(host.window, WM_NOTIFY, IDC_MEDIA_LIST, reinterpret_cast<LPARAM>(&ask));
        EXPECT_EQ(L"|4096|0", text + (L"|" + std::to_wstring(ask.item.state)) + L"|" + std::to_wstring(ask.item.iImage));
    }

    ASSERT_TRUE(WriteBytes(dbPath, Bytes{'n', 'o', 'p', 'e', 0, 0, 0, 0}));
    Load();
    EXPECT_EQ(0, host.library.GetItemCount());
    EXPECT_EQ(1u, TreeView_GetCount(host.tree));
    host.library.LoadDatabase(dir.File(L"missing").c_str());
    EXPECT_EQ(0, host.library.GetItemCount());
    UpdateStatusCounts();
    EXPECT_EQ(L"Items: 0", host.StatusText(0));
}

TEST_F(LibraryWindow, LoadOnAWorkerAppliesTheSearchBoxText)
{
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"iPod_Control").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"iPod_Control\\iTunes").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(dir.File(L"iPod_Control\\iTunes\\iTunesDB"), TestDatabase()));
    const std::wstring root = dir.Path() + L"\\";
    SetWindowTextW(host.search, L"tides");
    SetStatusText(2, L"before");
    ASSERT_TRUE(RunWorker(LoadOnWorker, const_cast<wchar_t*>(root.c_str())));
    EXPECT_EQ((Strings{L"Falling Rain", L"Harbour Lights"}), host.Column(0));
    EXPECT_EQ(L"", host.StatusText(2));
}

TEST_F(LibraryWindow, HeadingClicksSortAscendingDescendingThenTheListsOwnOrder)
{
    Load();
    const Strings library{L"Open Water", L"Slow Light", L"", L"Falling Rain", L"Harbour Lights"};
    const std::tuple<int, Strings, std::wstring> clicks[] = {
        {0, {L"Falling Rain", L"Harbour Lights", L"Open Water", L"Slow Light", L""}, L"^-----"},
        {0, {L"Slow Light", L"Open Water", L"Harbour Lights", L"Falling Rain", L""}, L"v-----"},
        {0, library, L"------"},
        {5, {L"", L"Open Water", L"Falling Rain", L"Harbour Lights", L"Slow Light"}, L"-----^"},   // -2 first, 0 last
        {4, {L"Falling Rain", L"Harbour Lights", L"Slow Light", L"Open Water", L""}, L"----^-"},   // by length
        {2, {L"Slow Light", L"Open Water", L"Falling Rain", L"Harbour Lights", L""}, L"--^---"},   // Tides by time
    };
    for (const auto& [column, titles, arrows] : clicks) {
        EXPECT_EQ(arrows, HostWindow::ClickHeading(host.list, column));
        EXPECT_EQ(titles, host.Column(0)) << arrows;
    }
    Search(L"harbour");   // the sort holds through a search, a change of playlist and ticking
    EXPECT_EQ((Strings{L"Slow Light", L"Harbour Lights"}), host.Column(0));
    Search(L"");
    ShowPlaylist(1);
    host.library.SetShownTicks(true);
    EXPECT_EQ((Strings{L"Slow Light", L"Falling Rain", L""}), host.Column(0));
    Load();
    EXPECT_EQ(library, host.Column(0)) << "a load shows the library's order";
    EXPECT_EQ(L"--^---", HostWindow::ClickHeading(host.list, 2)) << "with no arrow, and the clicks start anew";
}

TEST_F(LibraryWindow, SpaceGivesTheSelectionTheFocusedRowsOppositeTickAndKeepsIt)
{
    Load();
    const std::tuple<std::vector<int>, int, std::wstring> presses[] = {
        {{1, 3}, 3, L".x.x."}, {{1, 3}, 1, L"....."}, {{3}, 1, L"...x."}, {{}, 4, L"...xx"}};
    for (const auto& [selected, focused, ticks] : presses) {
        ListView_SetItemState(host.list, -1, 0, LVIS_SELECTED);
        for (int row : selected)
            ListView_SetItemState(host.list, row, LVIS_SELECTED, LVIS_SELECTED);
        ListView_SetItemState(host.list, focused, LVIS_FOCUSED, LVIS_FOCUSED);
        SendMessageW(host.list, WM_KEYDOWN, VK_SPACE, 0x00390001);
        EXPECT_EQ(ticks, host.Ticks());
        EXPECT_EQ(selected, SelectedRows(host.list)) << "the selection stays";
    }
    Search(L"tides");
    EXPECT_EQ(L"xx", host.Ticks()) << "a search keeps the ticks";
    EXPECT_TRUE(SelectedRows(host.list).empty()) << "and clears the selection";
    EXPECT_EQ(-1, ListView_GetNextItem(host.list, -1, LVNI_FOCUSED)) << "and the focus";
}

TEST_F(LibraryWindow, TypeAheadMovesToTheNextTitleBeginningWithTheLetterRoundTheEnd)
{
    Load();   // Open Water, Slow Light, (none), Falling Rain, Harbour Lights
    ListView_SetItemState(host.list, 3, LVIS_FOCUSED, LVIS_FOCUSED);
    SendMessageW(host.list, WM_CHAR, L'O', 0x00180001);
    EXPECT_EQ(0, ListView_GetNextItem(host.list, -1, LVNI_FOCUSED));
}

TEST_F(LibraryWindow, InitMediaListSetsColumnsStylesAndGridLinesFromTheSetting)
{
    const Strings headings{L"Title", L"Artist", L"Album", L"Genre", L"Time", L"Track"};
    const int widths[] = {256, 140, 190, 90, 64, 60};
    for (int i = 0; i < 6; ++i) {
        wchar_t text[32] = {};
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
        column.pszText = text;
        column.cchTextMax = ARRAYSIZE(text);
        ASSERT_TRUE(SendMessageW(host.list, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_EQ(headings[i], text);
        EXPECT_EQ(widths[i], column.cx);
        EXPECT_EQ(i, column.iSubItem);
        EXPECT_EQ(LVCFMT_LEFT, column.fmt & LVCFMT_JUSTIFYMASK);
    }
    EXPECT_NE(nullptr, ListView_GetImageList(host.list, LVSIL_SMALL));
    EXPECT_NE(nullptr, TreeView_GetImageList(host.tree, TVSIL_NORMAL));

    HMENU menu = GetMenu(host.window);
    const DWORD saved = g_settings.GridLines;
    g_settings.GridLines = 1;
    HWND withGrid = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 10, 10, host.window,
                                    nullptr, nullptr, nullptr);
    InitMediaList(withGrid);
    EXPECT_EQ(static_cast<DWORD>(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_GRIDLINES),
              ListView_GetExtendedListViewStyle(withGrid));
    EXPECT_TRUE(GetMenuState(menu, IDM_GRID_LINES, MF_BYCOMMAND) & MF_CHECKED);

    g_settings.GridLines = 0;
    HWND plain = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 10, 10, host.window,
                                 nullptr, nullptr, nullptr);
    InitMediaList(plain);
    EXPECT_EQ(static_cast<DWORD>(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP),
              ListView_GetExtendedListViewStyle(plain));
    EXPECT_FALSE(GetMenuState(menu, IDM_GRID_LINES, MF_BYCOMMAND) & MF_CHECKED);
    g_settings.GridLines = saved;
    DestroyWindow(plain);
    DestroyWindow(withGrid);
}

}  // namespace
