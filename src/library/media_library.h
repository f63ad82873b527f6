#pragma once
// CMediaLibrary: the loaded iPod's tracks and kept playlists, the rows the
// media list shows, and the ticks. Bound to the main window's playlist tree
// and media list, which it keeps in step; the library and its views change
// only on the thread that owns the views (workers hand the work over).
#include "db/records.h"
#include "library/track_order.h"
#include "library/view_thread.h"

#include <windows.h>

#include <array>
#include <memory>
#include <utility>
#include <vector>

using TrackArray = std::vector<std::unique_ptr<TrackEntry>>;

// Maps a track identifier to the position of the first track that carries it,
// so that showing a playlist costs one look-up per item instead of one scan of
// every track.
class TrackIdIndex {
public:
    void Rebuild(const TrackArray& tracks);
    void Clear() { m_entries.clear(); }
    int Find(uint32_t trackId) const;   // -1 when no track matches

private:
    // (identifier, position) of each identifier's first track, by identifier:
    // one block made by one sort, where a hash map would allocate a node per
    // track on the load's path.
    std::vector<std::pair<uint32_t, int>> m_entries;
};

// The rows to show, as positions in `tracks`: with a search text, every track
// whose artist, album or title matches it; otherwise the playlist's items in
// their order (items without a matching track are left out), or every track
// when no playlist is given.
std::vector<int> SelectVisibleRows(const TrackArray& tracks, const TrackIdIndex& index,
                                   const PlaylistEntry* playlist, const wchar_t* search);

// What one read of a database gives: every track in database order and the
// playlists a user may pick (ordinary ones, not the master), not yet shown;
// the tracks carry the plays the iPod recorded since its last sync.
struct LoadedDatabase {
    TrackArray tracks;
    std::vector<std::unique_ptr<PlaylistEntry>> playlists;
    uint64_t persistentId = 0;   // the database's own
};

// Reads the database at `path` without touching any window, so that a worker
// can do it on its own thread. A file that cannot be read gives nothing; a
// damaged one, what was read before the damage.
LoadedDatabase ReadDatabase(const wchar_t* path);

class CMediaLibrary {
public:
    static constexpr int kSearchCapacity = 256;   // 255 units and the terminator

    CMediaLibrary() = default;
    CMediaLibrary(const CMediaLibrary&) = delete;
    CMediaLibrary& operator=(const CMediaLibrary&) = delete;

    // Called on the thread that owns both views, which becomes the thread
    // that every rebuild of them runs on.
    void SetListView(HWND listView);
    void SetTreeView(HWND treeView) { m_treeView = treeView; }

    void Clear();
    void LoadDatabase(const wchar_t* path);
    // Takes the records of a read, shows its playlists in the tree and selects
    // the root. The media list is left to the Refresh that follows.
    void Adopt(LoadedDatabase&& database);
    // Rebuilds the rows shown from the search text and the selected playlist,
    // in the order of the sorted column if there is one.
    void Refresh();
    // Redraws the list once, so that its check boxes show the tracks' ticks.
    // On the views' thread.
    void ShowChecks();

    // The media list holds no rows: it asks for row r's track here. Null for
    // a row the library does not show (the list may ask while a load empties it).
    const TrackEntry* RowTrack(int row) const;
    int RowCount() const { return static_cast<int>(m_visibleRows.size()); }
    bool IsRowTicked(int row) const;

    // Each changes the tracks' ticks, then redraws the list once. A track
    // shown in two rows has one tick; ticks of hidden tracks are kept.
    void SetShownTicks(bool ticked);
    void InvertShownTicks();   // each distinct track shown flips once
    void SetRowTicks(const std::vector<int>& rows, bool ticked);
    void ToggleRowTick(int row);

    // A click on a heading: sorts the rows shown by that column, ascending,
    // then descending, then back to the library's or playlist's order. The
    // sort is stable over the rows as shown and holds until the next load.
    void SortByColumn(MediaColumn column);
    MediaColumn SortedColumn() const { return m_sortColumn; }
    SortDirection SortOrder() const { return m_sortDirection; }

    int GetItemCount() const;
    int GetCheckedCount() const;
    // Position of the first track with this identifier; 0 when none matches,
    // which callers cannot tell from a match at 0: use FindTrackPosition.
    int FindTrackIndex(uint32_t trackId) const;
    int FindTrackPosition(uint32_t trackId) const { return m_index.Find(trackId); }
    PlaylistEntry* GetSelectedPlaylist() const;
    // Appends the ticked tracks in library order; `list` is not emptied first.
    void GetCheckedTracks(std::vector<TrackEntry*>& list) const;

    // Runs `work` on the views' thread and waits for it (see CViewThread).
    // Every rebuild of the views goes through here when a worker asks for it.
    template <class Work>
    bool RunOnViewThread(Work&& work)
    {
        return m_viewThread.Run(std::forward<Work>(work));
    }
    bool OnViewThread() const { return !m_viewThread.IsBound() || m_viewThread.OnViewThread(); }

    const TrackArray& Tracks() const { return m_tracks; }
    const std::vector<int>& VisibleRows() const { return m_visibleRows; }
    const std::vector<std::unique_ptr<PlaylistEntry>>& Playlists() const { return m_playlists; }
    uint64_t PersistentId() const { return m_persistentId; }

private:
    void RemovePlaylistNodes();
    void ShowRows();
    const ColumnKeys& SortKeys(MediaColumn column);
    void ResetSort();

    HWND m_listView = nullptr;
    HWND m_treeView = nullptr;
    TrackArray m_tracks;
    std::vector<int> m_listedRows;    // the rows in the library's or playlist's order
    std::vector<int> m_visibleRows;   // the rows as shown: m_listedRows, sorted
    MediaColumn m_sortColumn = kColumnTitle;
    SortDirection m_sortDirection = SortDirection::None;
    std::array<ColumnKeys, kColumnCount> m_sortKeys;   // made at a column's first sort
    std::vector<std::unique_ptr<PlaylistEntry>> m_playlists;
    TrackIdIndex m_index;
    uint64_t m_persistentId = 0;
    CViewThread m_viewThread;
};

// Loads the database of the iPod whose volume root is `root` ("E:\") into
// g_pLibrary, with the passing texts in the status bar. Device workers call
// it: the file is read on the calling thread, the views are rebuilt on theirs.
void LoadIpodDatabase(const wchar_t* root);
// Empties g_pLibrary and its views and refreshes the counts, on the views'
// thread: what an eject leaves behind. Device workers call it.
void EmptyLibrary();

// Case-insensitive substring test in the user's locale; an absent or empty
// field never matches.
bool MatchesSearch(const wchar_t* field, const wchar_t* search);

// The search box's text (control 1009 of g_hMainWnd), empty when there is no
// main window. Works from worker threads: the read is a window message.
void ReadSearchText(wchar_t* buffer, int capacity);
