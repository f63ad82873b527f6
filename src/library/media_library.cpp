#include "library/media_library.h"

#include "db/itunesdb.h"
#include "db/play_counts.h"
#include "library/app_globals.h"
#include "library/views.h"
#include "resource.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cwchar>
#include <strsafe.h>   // after the standard headers, whose names it poisons

// ---------------------------------------------------------------- TrackIdIndex

void TrackIdIndex::Rebuild(const TrackArray& tracks)
{
    m_entries.resize(tracks.size());
    for (size_t i = 0; i < tracks.size(); ++i)
        m_entries[i] = {tracks[i]->trackId, static_cast<int>(i)};
    // By identifier, then position: the first of equal identifiers is the
    // track a scan from position 0 would find, and the one kept.
    std::sort(m_entries.begin(), m_entries.end());
    m_entries.erase(std::unique(m_entries.begin(), m_entries.end(),
                                [](const auto& a, const auto& b) { return a.first == b.first; }),
                    m_entries.end());
}

int TrackIdIndex::Find(uint32_t trackId) const
{
    const auto found = std::lower_bound(m_entries.begin(), m_entries.end(), std::make_pair(trackId, INT_MIN));
    return found != m_entries.end() && found->first == trackId ? found->second : -1;
}

// ---------------------------------------------------------------- pure logic

namespace {

// An ASCII letter (upper-cased), digit or space; 0 for any other unit.
wchar_t PlainUnitFolded(wchar_t unit)
{
    if (unit >= L'a' && unit <= L'z')
        return static_cast<wchar_t>(unit - L'a' + L'A');
    if ((unit >= L'A' && unit <= L'Z') || (unit >= L'0' && unit <= L'9') || unit == L' ')
        return unit;
    return 0;
}

}  // namespace

bool MatchesSearch(const wchar_t* field, const wchar_t* search)
{
    if (!field)
        return false;
    if (!search)
        return true;
    const size_t fieldLength = wcslen(field);
    const size_t searchLength = wcslen(search);
    if (fieldLength == 0 || searchLength > fieldLength)
        return false;
    const int compareLength = static_cast<int>(searchLength);
    // Two different ASCII letters, digits or spaces never compare equal, in
    // any case and any locale: a window that begins with another one than the
    // search text is passed over without the comparison, the search's largest
    // cost. (Other units can be ignored by the comparison, so they cannot.)
    const wchar_t searchFirst = PlainUnitFolded(search[0]);
    // The same comparison as lstrcmpiW on each window of the field, without
    // copying the window out to terminate it.
    for (size_t start = 0; start + searchLength <= fieldLength; ++start) {
        const wchar_t fieldFirst = searchFirst ? PlainUnitFolded(field[start]) : 0;
        if (fieldFirst && fieldFirst != searchFirst)
            continue;
        if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, field + start, compareLength, search,
                           compareLength) == CSTR_EQUAL)
            return true;
    }
    return false;
}

namespace {

bool TrackMatches(const TrackEntry& track, const wchar_t* search)
{
    return MatchesSearch(track.artist.get(), search) || MatchesSearch(track.album.get(), search) ||
           MatchesSearch(track.title.get(), search);
}

}  // namespace

std::vector<int> SelectVisibleRows(const TrackArray& tracks, const TrackIdIndex& index,
                                   const PlaylistEntry* playlist, const wchar_t* search)
{
    std::vector<int> rows;
    const int trackCount = static_cast<int>(tracks.size());
    if (search && search[0]) {
        for (int i = 0; i < trackCount; ++i) {
            if (TrackMatches(*tracks[i], search))
                rows.push_back(i);
        }
    } else if (playlist) {
        rows.reserve(playlist->trackIds.size());
        for (uint32_t trackId : playlist->trackIds) {
            // An item naming no track would otherwise show track 0, which the
            // playlist does not hold; it has nothing to show, so it gets no row.
            const int position = index.Find(trackId);
            if (position >= 0)
                rows.push_back(position);
        }
    } else {
        rows.resize(tracks.size());
        for (int i = 0; i < trackCount; ++i)
            rows[i] = i;
    }
    return rows;
}

void ReadSearchText(wchar_t* buffer, int capacity)
{
    if (capacity <= 0)
        return;
    buffer[0] = L'\0';
    HWND searchBox = g_hMainWnd ? GetDlgItem(g_hMainWnd, IDC_SEARCH) : nullptr;
    if (searchBox)
        GetWindowTextW(searchBox, buffer, capacity);
    buffer[capacity - 1] = L'\0';
}

namespace {

void ReadPlaylists(CiTunesDB& db, std::vector<std::unique_ptr<PlaylistEntry>>& kept)
{
    const uint32_t count = db.GetPlaylistCount();
    db.SeekFirstPlaylist();
    for (uint32_t i = 0; i < count; ++i) {
        auto playlist = std::make_unique<PlaylistEntry>();
        if (!db.ReadPlaylist(*playlist))
            break;   // damaged: the walk cannot go on
        if (playlist->masterFlag != 0 || playlist->kind == kPlaylistSmart)
            continue;
        kept.push_back(std::move(playlist));
    }
}

void ReadTracks(CiTunesDB& db, TrackArray& tracks)
{
    const uint32_t count = db.GetTrackCount();
    db.SeekFirstTrack();
    // The count is already limited to what the file can hold.
    tracks.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        auto track = db.ReadTrack();
        if (!track)
            break;
        tracks.push_back(std::move(track));
    }
}

}  // namespace

LoadedDatabase ReadDatabase(const wchar_t* path)
{
    LoadedDatabase database;
    CiTunesDB db;
    if (db.OpenIpodDatabase(path)) {
        database.persistentId = db.PersistentId();
        ReadPlaylists(db, database.playlists);
        ReadTracks(db, database.tracks);
        play_counts::MergeFileBeside(path, database.tracks);
    }
    return database;
}

// ---------------------------------------------------------------- CMediaLibrary

void CMediaLibrary::Clear()
{
    // The list first: it must never ask for a row whose track is gone.
    m_listedRows.clear();
    m_visibleRows.clear();
    ShowRows();
    ResetSort();
    m_tracks.clear();
    m_persistentId = 0;
    m_index.Clear();
    while (!m_playlists.empty())
        m_playlists.pop_back();   // last to first
    RemovePlaylistNodes();
}

void CMediaLibrary::RemovePlaylistNodes()
{
    if (!m_treeView)
        return;
    HTREEITEM root = TreeView_GetRoot(m_treeView);
    const int nodes = static_cast<int>(TreeView_GetCount(m_treeView));
    for (int i = 0; i + 1 < nodes && root; ++i) {
        HTREEITEM child = TreeView_GetChild(m_treeView, root);
        if (!child)
            break;
        TreeView_DeleteItem(m_treeView, child);
    }
}

void CMediaLibrary::SetListView(HWND listView)
{
    m_listView = listView;
    m_viewThread.Bind();
}

void CMediaLibrary::LoadDatabase(const wchar_t* path)
{
    Clear();
    Adopt(ReadDatabase(path));
}

void CMediaLibrary::Adopt(LoadedDatabase&& database)
{
    Clear();
    m_tracks = std::move(database.tracks);
    m_index.Rebuild(m_tracks);
    m_playlists = std::move(database.playlists);
    m_persistentId = database.persistentId;
    HTREEITEM root = m_treeView ? TreeView_GetRoot(m_treeView) : nullptr;
    for (auto& playlist : m_playlists)
        playlist->treeItem = InsertPlaylistNode(m_treeView, root, *playlist);
    // Last, when the library is whole: selecting the root notifies the main
    // window, whose handler may refresh the list from it.
    if (root) {
        TreeView_Expand(m_treeView, root, TVE_EXPAND);
        TreeView_SelectItem(m_treeView, root);
    }
}

void CMediaLibrary::Refresh()
{
    wchar_t search[kSearchCapacity];
    ReadSearchText(search, kSearchCapacity);
    m_listedRows = SelectVisibleRows(m_tracks, m_index, search[0] ? nullptr : GetSelectedPlaylist(), search);
    m_visibleRows = m_listedRows;
    if (m_sortDirection != SortDirection::None)
        SortRows(m_visibleRows, SortKeys(m_sortColumn), m_sortDirection);
    ShowRows();
}

void CMediaLibrary::ShowRows() { ShowMediaListRows(m_listView, RowCount()); }

void CMediaLibrary::ShowChecks()
{
    if (m_listView)
        InvalidateRect(m_listView, nullptr, FALSE);
}

const TrackEntry* CMediaLibrary::RowTrack(int row) const
{
    if (row < 0 || row >= RowCount())
        return nullptr;
    return m_tracks[static_cast<size_t>(m_visibleRows[static_cast<size_t>(row)])].get();
}

bool CMediaLibrary::IsRowTicked(int row) const
{
    const TrackEntry* track = RowTrack(row);
    return track && track->isChecked != 0;
}

void CMediaLibrary::SetShownTicks(bool ticked)
{
    for (int position : m_visibleRows)
        m_tracks[static_cast<size_t>(position)]->isChecked = ticked ? 1 : 0;
    ShowChecks();
}

void CMediaLibrary::InvertShownTicks()
{
    std::vector<bool> flipped(m_tracks.size(), false);
    for (int position : m_visibleRows) {
        if (flipped[static_cast<size_t>(position)])
            continue;
        flipped[static_cast<size_t>(position)] = true;
        uint32_t& tick = m_tracks[static_cast<size_t>(position)]->isChecked;
        tick = tick ? 0 : 1;
    }
    ShowChecks();
}

void CMediaLibrary::SetRowTicks(const std::vector<int>& rows, bool ticked)
{
    for (int row : rows) {
        if (row >= 0 && row < RowCount())
            m_tracks[static_cast<size_t>(m_visibleRows[static_cast<size_t>(row)])]->isChecked = ticked ? 1 : 0;
    }
    ShowChecks();
}

void CMediaLibrary::ToggleRowTick(int row)
{
    if (row >= 0 && row < RowCount())
        SetRowTicks({row}, !IsRowTicked(row));
}

void CMediaLibrary::SortByColumn(MediaColumn column)
{
    m_sortDirection = NextSortDirection(column == m_sortColumn, m_sortDirection);
    m_sortColumn = column;
    if (m_sortDirection == SortDirection::None)
        m_visibleRows = m_listedRows;
    else
        SortRows(m_visibleRows, SortKeys(column), m_sortDirection);
    ShowSortArrow(m_listView, column, m_sortDirection);
    ShowRows();
}

const ColumnKeys& CMediaLibrary::SortKeys(MediaColumn column)
{
    ColumnKeys& keys = m_sortKeys[static_cast<size_t>(column)];
    if (keys.size() != m_tracks.size())
        keys = MakeColumnKeys(m_tracks, column);
    return keys;
}

void CMediaLibrary::ResetSort()
{
    if (m_sortDirection != SortDirection::None)
        ShowSortArrow(m_listView, m_sortColumn, SortDirection::None);
    m_sortDirection = SortDirection::None;
    m_sortColumn = kColumnTitle;
    for (ColumnKeys& keys : m_sortKeys)
        ColumnKeys().swap(keys);   // their memory too
}

int CMediaLibrary::GetItemCount() const
{
    return static_cast<int>(m_tracks.size());
}

int CMediaLibrary::GetCheckedCount() const
{
    return static_cast<int>(std::count_if(m_tracks.begin(), m_tracks.end(),
                                          [](const auto& track) { return track->isChecked != 0; }));
}

int CMediaLibrary::FindTrackIndex(uint32_t trackId) const
{
    return std::max(0, m_index.Find(trackId));
}

PlaylistEntry* CMediaLibrary::GetSelectedPlaylist() const
{
    if (!m_treeView)
        return nullptr;
    HTREEITEM selected = TreeView_GetSelection(m_treeView);
    if (!selected)
        return nullptr;
    for (const auto& playlist : m_playlists) {
        if (playlist->treeItem == selected)
            return playlist.get();
    }
    return nullptr;
}

void CMediaLibrary::GetCheckedTracks(std::vector<TrackEntry*>& list) const
{
    for (const auto& track : m_tracks) {
        if (track->isChecked)
            list.push_back(track.get());
    }
}

// ---------------------------------------------------------------- LoadIpodDatabase

void LoadIpodDatabase(const wchar_t* root)
{
    if (!g_pLibrary || !root)
        return;
    wchar_t path[MAX_PATH];
    if (FAILED(StringCchPrintfW(path, MAX_PATH, L"%siPod_Control\\iTunes\\iTunesDB", root)))
        return;   // a root this long is no drive root
    SetStatusText(2, L"Getting iPod information");
    CMediaLibrary& library = *g_pLibrary;
    library.RunOnViewThread([&] { library.Clear(); });
    g_loadedDrive = root[0];   // drive roots are upper case throughout
    LoadedDatabase database = ReadDatabase(path);
    library.RunOnViewThread([&] {
        library.Adopt(std::move(database));
        library.Refresh();
    });
    SetStatusText(2, L"");
}

void EmptyLibrary()
{
    if (!g_pLibrary)
        return;
    CMediaLibrary& library = *g_pLibrary;
    library.RunOnViewThread([&] {
        library.Clear();
        library.Refresh();
        UpdateStatusCounts();
    });
    g_loadedDrive = 0;
}
