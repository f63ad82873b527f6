#include "library/media_list.h"

#include "library/app_globals.h"
#include "library/media_library.h"
#include "library/views.h"

#include <cwchar>

namespace {

constexpr UINT_PTR kSpaceSubclassId = 0x5A17;

bool ModifierDown()
{
    return (GetKeyState(VK_CONTROL) | GetKeyState(VK_SHIFT) | GetKeyState(VK_MENU)) < 0;
}

// Space reaches the parent as the list would report it, and goes no further:
// the list would collapse the selection to the focused row and then toggle a
// state that it does not hold. With a modifier, Space is the list's own
// (Ctrl+Space selects the focused row).
LRESULT CALLBACK KeepSpaceFromList(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (message == WM_KEYDOWN && wParam == VK_SPACE && !ModifierDown()) {
        NMLVKEYDOWN key = {};
        key.hdr.hwndFrom = list;
        key.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list));
        key.hdr.code = LVN_KEYDOWN;
        key.wVKey = VK_SPACE;
        SendMessageW(GetParent(list), WM_NOTIFY, key.hdr.idFrom, reinterpret_cast<LPARAM>(&key));
        return 0;
    }
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(list, KeepSpaceFromList, kSpaceSubclassId);
    return DefSubclassProc(list, message, wParam, lParam);
}

void AnswerDisplayInfo(const CMediaLibrary& library, LVITEMW& item)
{
    // The list may ask for a row that a load has just emptied before its
    // count reaches it: such a row shows nothing.
    const TrackEntry* track = library.RowTrack(item.iItem);
    if (item.mask & LVIF_TEXT) {
        if (track)
            MediaListCellText(*track, item.iSubItem, item.pszText, item.cchTextMax);
        else if (item.pszText && item.cchTextMax > 0)
            item.pszText[0] = L'\0';
    }
    if (item.mask & LVIF_IMAGE)
        item.iImage = 0;
    if (item.mask & LVIF_STATE) {
        item.state = (item.state & ~LVIS_STATEIMAGEMASK) |
                     (track && track->isChecked ? kStateTicked : kStateUnticked);
        item.stateMask |= LVIS_STATEIMAGEMASK;
    }
}

bool TitleMatches(const wchar_t* title, const wchar_t* text, size_t textLength, bool partial)
{
    if (!title)
        return false;
    const size_t titleLength = wcslen(title);
    if (titleLength < textLength || (!partial && titleLength != textLength))
        return false;
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, title, static_cast<int>(textLength), text,
                          static_cast<int>(textLength)) == CSTR_EQUAL;
}

// A click on a row's check box toggles its track: the list holds no state
// image to toggle.
void OnClick(CMediaLibrary& library, const NMITEMACTIVATE& click)
{
    LVHITTESTINFO hit = {};
    hit.pt = click.ptAction;
    const int row = static_cast<int>(SendMessageW(click.hdr.hwndFrom, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row < 0 || !(hit.flags & LVHT_ONITEMSTATEICON))
        return;
    library.ToggleRowTick(row);
    UpdateStatusCounts();
}

// Every selected row takes the opposite of the focused row's tick; without
// a selection, the focused row alone toggles.
void OnSpace(CMediaLibrary& library, HWND list)
{
    const int focused = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    std::vector<int> rows = SelectedRows(list);
    if (rows.empty() && focused >= 0)
        rows.push_back(focused);
    if (rows.empty())
        return;
    library.SetRowTicks(rows, !library.IsRowTicked(focused >= 0 ? focused : rows.front()));
    UpdateStatusCounts();
}

}  // namespace

void PrepareOwnerDataList(HWND list)
{
    SendMessageW(list, LVM_SETCALLBACKMASK, LVIS_STATEIMAGEMASK, 0);
    SetWindowSubclass(list, KeepSpaceFromList, kSpaceSubclassId, 0);
}

std::vector<int> SelectedRows(HWND list)
{
    std::vector<int> rows;
    const auto count = static_cast<size_t>(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0));
    rows.reserve(count);
    for (int row = -1;
         (row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED))) >= 0;)
        rows.push_back(row);
    return rows;
}

int FindTitleRow(const CMediaLibrary& library, const LVFINDINFOW& find, int start)
{
    const int rows = library.RowCount();
    if (!(find.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.psz || rows == 0)
        return -1;
    const size_t length = wcslen(find.psz);
    const bool partial = (find.flags & LVFI_PARTIAL) != 0;
    const bool wrap = (find.flags & LVFI_WRAP) != 0;
    int first = start > 0 ? start : 0;
    if (first >= rows) {
        if (!wrap)
            return -1;
        first = 0;
    }
    const int steps = wrap ? rows : rows - first;
    for (int step = 0; step < steps; ++step) {
        const int row = (first + step) % rows;
        if (TitleMatches(library.RowTrack(row)->title.get(), find.psz, length, partial))
            return row;
    }
    return -1;
}

bool OnMediaListNotify(CMediaLibrary& library, const NMHDR& header, LRESULT& result)
{
    result = 0;
    switch (header.code) {
    case LVN_GETDISPINFOW:
        AnswerDisplayInfo(library, const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header)).item);
        return true;
    case LVN_ODFINDITEMW: {
        const auto& find = reinterpret_cast<const NMLVFINDITEMW&>(header);
        result = FindTitleRow(library, find.lvfi, find.iStart);
        return true;
    }
    case NM_CLICK:
        if (!LibraryInUse())
            OnClick(library, reinterpret_cast<const NMITEMACTIVATE&>(header));
        return true;
    case LVN_KEYDOWN:
        if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_SPACE && !LibraryInUse())
            OnSpace(library, header.hwndFrom);
        return true;
    case LVN_COLUMNCLICK: {
        const int column = reinterpret_cast<const NMLISTVIEW&>(header).iSubItem;
        if (column >= 0 && column < kColumnCount && !LibraryInUse())
            library.SortByColumn(static_cast<MediaColumn>(column));
        return true;
    }
    default:
        return false;
    }
}
