#include "library/views.h"

#include "db/scoped_handle.h"
#include "library/app_globals.h"
#include "library/dpi.h"
#include "library/media_library.h"
#include "library/media_list.h"
#include "resource.h"
#include "settings/settings.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdlib>
#include <strsafe.h>   // after the standard headers, whose names it poisons

namespace {

struct ColumnSpec {
    const wchar_t* heading;
    int width;
};

constexpr ColumnSpec kColumns[] = {
    {L"Title", 256}, {L"Artist", 140}, {L"Album", 190}, {L"Genre", 90}, {L"Time", 64}, {L"Track", 60},
};

// The shell's icon for the file type, from the size the system keeps that is
// nearest above `size`: the image list shrinks it rather than blowing up a
// smaller one.
HICON ShellIcon(const wchar_t* fileName, int size)
{
    const UINT which = size > GetSystemMetrics(SM_CXSMICON) ? SHGFI_LARGEICON : SHGFI_SMALLICON;
    SHFILEINFOW info = {};
    if (!SHGetFileInfoW(fileName, FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                        SHGFI_USEFILEATTRIBUTES | SHGFI_ICON | which))
        return nullptr;
    return info.hIcon;
}

void AddIcon(HIMAGELIST images, HICON icon)
{
    ScopedIcon owned(icon);   // the image list keeps its own copy
    if (owned.Get())
        ImageList_AddIcon(images, owned.Get());
}

// The icon resource's image nearest to `size`; the icons hold every size
// that common scales ask for.
HICON LoadIconOfSize(int id, int size)
{
    return static_cast<HICON>(LoadImageW(g_hInstance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
}

HIMAGELIST CreateImageList(int size) { return ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 2, 2); }

void UncheckGridLinesItem(HWND listView)
{
    HMENU menu = GetMenu(GetParent(listView));
    if (menu)
        CheckMenuItem(menu, IDM_GRID_LINES, MF_BYCOMMAND | MF_UNCHECKED);
}

}  // namespace

DWORD MediaListStyles(bool gridLines)
{
    const DWORD styles = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP;
    return gridLines ? (styles | LVS_EX_GRIDLINES) : styles;
}

BOOL InitMediaList(HWND listView)
{
    const bool gridLines = g_settings.GridLines != 0;
    if (!gridLines)
        UncheckGridLinesItem(listView);
    SendMessageW(listView, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, MediaListStyles(gridLines));
    const UINT dpi = WindowDpi(listView);
    for (int i = 0; i < static_cast<int>(ARRAYSIZE(kColumns)); ++i)
        AddListColumn(listView, i, kColumns[i].heading, ScaleToDpi(kColumns[i].width, dpi));
    SetMediaListIcons(listView, dpi);
    PrepareOwnerDataList(listView);
    return TRUE;
}

void SetMediaListIcons(HWND listView, UINT dpi)
{
    const int size = SmallIconSize(dpi);
    HIMAGELIST icons = CreateImageList(size);
    AddIcon(icons, ShellIcon(L"foo.mp3", size));
    AddIcon(icons, ShellIcon(L"foo.wmv", size));
    // The list destroys the image list it holds when it goes, but not one it
    // is given a replacement for.
    HIMAGELIST previous = ListView_SetImageList(listView, icons, LVSIL_SMALL);
    if (previous && previous != icons)
        ImageList_Destroy(previous);
}

void ScaleMediaListColumns(HWND listView, UINT toDpi, UINT fromDpi)
{
    const HWND header = ListView_GetHeader(listView);
    const int columns = header ? Header_GetItemCount(header) : 0;
    // The widths the user has dragged the columns to are kept, at the new scale.
    for (int i = 0; i < columns; ++i)
        ListView_SetColumnWidth(listView, i, ScaleToDpi(ListView_GetColumnWidth(listView, i), toDpi, fromDpi));
}

LRESULT AddListColumn(HWND listView, int index, const wchar_t* heading, int width)
{
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(heading);
    column.iSubItem = index;
    return SendMessageW(listView, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

void SetPlaylistTreeIcons(HWND treeView, UINT dpi)
{
    const int size = SmallIconSize(dpi);
    HIMAGELIST icons = CreateImageList(size);
    AddIcon(icons, LoadIconOfSize(IDI_PLAYLIST, size));
    AddIcon(icons, LoadIconOfSize(IDI_PLAYLIST_ROOT, size));
    // A tree never destroys its image lists: the one it held is ours to free.
    HIMAGELIST previous = TreeView_SetImageList(treeView, icons, TVSIL_NORMAL);
    if (previous && previous != icons)
        ImageList_Destroy(previous);
}

BOOL InitPlaylistTree(HWND treeView)
{
    SetPlaylistTreeIcons(treeView, WindowDpi(treeView));
    TVINSERTSTRUCTW insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<wchar_t*>(L"Playlists");
    insert.item.iImage = 1;
    insert.item.iSelectedImage = 1;
    SendMessageW(treeView, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
    return TRUE;
}

std::wstring FormatTrackTime(int32_t milliseconds)
{
    // A negative length (only a damaged database has one) keeps its sign in
    // front instead of on both the minutes and the seconds ("0:-5").
    const int64_t value = milliseconds;
    const int64_t magnitude = value < 0 ? -value : value;
    wchar_t text[32];
    StringCchPrintfW(text, ARRAYSIZE(text), L"%ls%d:%02d", value < 0 ? L"-" : L"",
                     static_cast<int>(magnitude / 60000), static_cast<int>((magnitude / 1000) % 60));
    return text;
}

void SetStatusText(int part, const wchar_t* text)
{
    if (g_hStatusBar)
        SendMessageW(g_hStatusBar, SB_SETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text));
}

void UpdateStatusCounts()
{
    // The counts walk every track: they are taken on the views' thread, where
    // the library is rebuilt, so that a worker never counts tracks being freed.
    if (g_pLibrary && !g_pLibrary->OnViewThread()) {
        g_pLibrary->RunOnViewThread([] { UpdateStatusCounts(); });
        return;
    }
    const int items = g_pLibrary ? g_pLibrary->GetItemCount() : 0;
    const int checked = g_pLibrary ? g_pLibrary->GetCheckedCount() : 0;
    wchar_t text[64];
    StringCchPrintfW(text, ARRAYSIZE(text), L"Items: %d", items);
    SetStatusText(0, text);
    StringCchPrintfW(text, ARRAYSIZE(text), L"Checked items: %d", checked);
    SetStatusText(1, text);
}

std::wstring PlaylistLabel(const PlaylistEntry& playlist)
{
    wchar_t count[24];
    StringCchPrintfW(count, ARRAYSIZE(count), L" (%d)", static_cast<int>(playlist.trackIds.size()));
    std::wstring label = playlist.name ? playlist.name.get() : L"";
    return label + count;
}

HTREEITEM InsertPlaylistNode(HWND treeView, HTREEITEM root, const PlaylistEntry& playlist)
{
    if (!treeView || !root)
        return nullptr;
    const std::wstring label = PlaylistLabel(playlist);
    TVINSERTSTRUCTW insert = {};
    insert.hParent = root;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<wchar_t*>(label.c_str());
    insert.item.iImage = 0;
    insert.item.iSelectedImage = 0;
    return reinterpret_cast<HTREEITEM>(SendMessageW(treeView, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void ShowMediaListRows(HWND listView, int count)
{
    if (!listView)
        return;
    // The list keeps its selection and focus by row number, which would now
    // name other tracks. Row by row: a change of state for row -1 walks every
    // row of the list, asking for each one's state.
    for (int row; (row = ListView_GetNextItem(listView, -1, LVNI_SELECTED)) >= 0;)
        ListView_SetItemState(listView, row, 0, LVIS_SELECTED);
    const int focused = ListView_GetNextItem(listView, -1, LVNI_FOCUSED);
    if (focused >= 0)
        ListView_SetItemState(listView, focused, 0, LVIS_FOCUSED);
    SendMessageW(listView, LVM_SETSELECTIONMARK, 0, -1);
    SendMessageW(listView, LVM_SETITEMCOUNT, static_cast<WPARAM>(count), 0);
    if (count > 0)
        ListView_EnsureVisible(listView, 0, FALSE);
    InvalidateRect(listView, nullptr, TRUE);
}

void ShowSortArrow(HWND listView, int column, SortDirection direction)
{
    const HWND header = listView ? ListView_GetHeader(listView) : nullptr;
    const int columns = header ? Header_GetItemCount(header) : 0;
    for (int i = 0; i < columns; ++i) {
        HDITEMW item = {};
        item.mask = HDI_FORMAT;
        if (!Header_GetItem(header, i, &item))
            continue;
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (i == column && direction != SortDirection::None)
            item.fmt |= direction == SortDirection::Ascending ? HDF_SORTUP : HDF_SORTDOWN;
        Header_SetItem(header, i, &item);
    }
}

void MediaListCellText(const TrackEntry& track, int column, wchar_t* buffer, int capacity)
{
    if (!buffer || capacity <= 0)
        return;
    buffer[0] = L'\0';
    const wchar_t* text = nullptr;
    switch (column) {
    case kColumnTitle:
        text = track.title.get();
        break;
    case kColumnArtist:
        text = track.artist.get();
        break;
    case kColumnAlbum:
        text = track.album.get();
        break;
    case kColumnGenre:
        text = track.genre.get();
        break;
    case kColumnTime:
        StringCchCopyW(buffer, static_cast<size_t>(capacity), FormatTrackTime(track.lengthMs).c_str());
        return;
    case kColumnTrack:
        if (track.trackNumber != 0)
            StringCchPrintfW(buffer, static_cast<size_t>(capacity), L"%d", track.trackNumber);
        return;
    default:
        return;
    }
    // An absent text leaves the cell empty; a longer one than the list asks
    // for is cut, as the list would cut it.
    if (text)
        StringCchCopyW(buffer, static_cast<size_t>(capacity), text);
}
