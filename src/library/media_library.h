#pragma once
// CMediaLibrary: the loaded iPod's tracks and kept playlists, the rows the
// media list shows, and the ticks. Bound to the main window's playlist tree
// and media list, which it keeps in step by (synchronous) window messages.
#include "db/records.h"

#include <windows.h>

#include <memory>
#include <vector>

class CMediaLibrary {
public:
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
    int FindTrackIndex(uint32_t trackId) const;
    PlaylistEntry* GetSelectedPlaylist() const;
    // Appends the ticked tracks in library order; `list` is not emptied first.
    void GetCheckedTracks(std::vector<TrackEntry*>& list) const;

    const std::vector<std::unique_ptr<TrackEntry>>& Tracks() const { return m_tracks; }
    const std::vector<int>& VisibleRows() const { return m_visibleRows; }
    const std::vector<std::unique_ptr<PlaylistEntry>>& Playlists() const { return m_playlists; }

private:
    HWND m_listView = nullptr;
    HWND m_treeView = nullptr;
    std::vector<std::unique_ptr<TrackEntry>> m_tracks;
    std::vector<int> m_visibleRows;
    std::vector<std::unique_ptr<PlaylistEntry>> m_playlists;
};

// Loads the database of the iPod whose volume root is `root` ("E:\") into
// g_pLibrary, with the passing texts in the status bar. Device workers call it.
void LoadIpodDatabase(const wchar_t* root);

// Case-insensitive substring test in the user's locale; an absent or empty
// field never matches.
bool MatchesSearch(const wchar_t* field, const wchar_t* search);
