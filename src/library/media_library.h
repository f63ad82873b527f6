#pragma once
// CMediaLibrary: the loaded iPod's tracks and kept playlists, the rows the
// media list shows, and the ticks. Bound to the main window's playlist tree
// and media list, which it keeps in step by (synchronous) window messages.
#include "db/records.h"

#include <windows.h>

#include <memory>
#include <unordered_map>
#include <vector>

class CiTunesDB;

using TrackArray = std::vector<std::unique_ptr<TrackEntry>>;

// Maps a track identifier to the position of the first track that carries it,
// so that showing a playlist costs one look-up per item instead of one scan of
// every track.
class TrackIdIndex {
public:
    void Rebuild(const TrackArray& tracks);
    void Add(uint32_t trackId, int position);   // keeps an earlier position
    void Clear() { m_positions.clear(); }
    int Find(uint32_t trackId) const;            // -1 when no track matches

private:
    std::unordered_map<uint32_t, int> m_positions;
};

// The rows to show, as positions in `tracks`: with a search text, every track
// whose artist, album or title matches it; otherwise the playlist's items in
// their order (items without a matching track are left out), or every track
// when no playlist is given.
std::vector<int> SelectVisibleRows(const TrackArray& tracks, const TrackIdIndex& index,
                                   const PlaylistEntry* playlist, const wchar_t* search);

class CMediaLibrary {
public:
    static constexpr int kSearchCapacity = 256;   // 255 units and the terminator

    CMediaLibrary() = default;
    CMediaLibrary(const CMediaLibrary&) = delete;
    CMediaLibrary& operator=(const CMediaLibrary&) = delete;

    void SetListView(HWND listView) { m_listView = listView; }
    void SetTreeView(HWND treeView) { m_treeView = treeView; }

    void Clear();
    void LoadDatabase(const wchar_t* path);
    void Refresh();
    void SyncChecks();

    int GetItemCount() const;
    int GetCheckedCount() const;
    // Position of the first track with this identifier; 0 when none matches,
    // which callers cannot tell from a match at 0: use FindTrackPosition.
    int FindTrackIndex(uint32_t trackId) const;
    int FindTrackPosition(uint32_t trackId) const { return m_index.Find(trackId); }
    PlaylistEntry* GetSelectedPlaylist() const;
    // Appends the ticked tracks in library order; `list` is not emptied first.
    void GetCheckedTracks(std::vector<TrackEntry*>& list) const;

    const TrackArray& Tracks() const { return m_tracks; }
    const std::vector<int>& VisibleRows() const { return m_visibleRows; }
    const std::vector<std::unique_ptr<PlaylistEntry>>& Playlists() const { return m_playlists; }

private:
    void ReadPlaylists(CiTunesDB& db);
    void ReadTracks(CiTunesDB& db);
    void RemovePlaylistNodes();

    HWND m_listView = nullptr;
    HWND m_treeView = nullptr;
    TrackArray m_tracks;
    std::vector<int> m_visibleRows;
    std::vector<std::unique_ptr<PlaylistEntry>> m_playlists;
    TrackIdIndex m_index;
};

// Loads the database of the iPod whose volume root is `root` ("E:\") into
// g_pLibrary, with the passing texts in the status bar. Device workers call it.
void LoadIpodDatabase(const wchar_t* root);
// Empties g_pLibrary and its views and refreshes the counts: what an eject
// leaves behind. Device workers call it.
void EmptyLibrary();

// Case-insensitive substring test in the user's locale; an absent or empty
// field never matches.
bool MatchesSearch(const wchar_t* field, const wchar_t* search);

// The search box's text (control 1009 of g_hMainWnd), empty when there is no
// main window. Works from worker threads: the read is a window message.
void ReadSearchText(wchar_t* buffer, int capacity);
