#pragma once
// A stand-in for the main window in tests: a top-level window carrying the
// controls that the library and the device workers address, with their real
// ids and the states the dialog template gives them, a menu with the items
// they grey and tick, and a three-part status bar set as g_hStatusBar. Its
// owner-data media list is answered as the main window answers it.
#include "library/app_globals.h"
#include "library/media_library.h"
#include "library/media_list.h"
#include "library/views.h"
#include "resource.h"

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

namespace testing_support {

class HostWindow {
public:
    HostWindow()
    {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES |
                                                               ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        g_hInstance = GetModuleHandleW(nullptr);
        window = CreateWindowExW(0, L"STATIC", L"Savanto test host", WS_OVERLAPPEDWINDOW, 0, 0, 900, 600,
                                 nullptr, CreateHostMenu(), g_hInstance, nullptr);
        SetWindowSubclass(window, AnswerMediaList, 1, reinterpret_cast<DWORD_PTR>(&library));
        list = Child(WC_LISTVIEWW, LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA, IDC_MEDIA_LIST);
        MoveWindow(list, 0, 0, 880, 300, FALSE);   // every heading in view, for the clicks on them
        tree = Child(WC_TREEVIEWW, TVS_HASBUTTONS | TVS_HASLINES | TVS_SHOWSELALWAYS, IDC_PLAYLIST_TREE);
        search = Child(L"EDIT", ES_AUTOHSCROLL, IDC_SEARCH);
        selector = Child(L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_DISABLED, IDC_IPOD_SELECTOR);
        scanButton = Child(L"BUTTON", WS_DISABLED, IDC_SCAN);
        statusBar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window,
                                    nullptr, g_hInstance, nullptr);
        int parts[3] = {150, 300, -1};
        SendMessageW(statusBar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));

        g_hMainWnd = window;
        g_hStatusBar = statusBar;
        InitMediaList(list);
        InitPlaylistTree(tree);
        library.SetListView(list);
        library.SetTreeView(tree);
        g_pLibrary = &library;
        g_busy = 0;
    }

    ~HostWindow()
    {
        g_pLibrary = nullptr;
        g_hMainWnd = nullptr;
        g_hStatusBar = nullptr;
        RemoveWindowSubclass(window, AnswerMediaList, 1);
        DestroyWindow(window);
    }

    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    std::wstring StatusText(int part) const
    {
        const int length = LOWORD(SendMessageW(statusBar, SB_GETTEXTLENGTHW, part, 0));
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(statusBar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(static_cast<size_t>(length));
        return text;
    }

    std::wstring Cell(int row, int column) const
    {
        wchar_t text[512] = {};
        ListView_GetItemText(list, row, column, text, ARRAYSIZE(text));
        return text;
    }

    std::vector<std::wstring> Column(int column) const
    {
        std::vector<std::wstring> cells;
        for (int row = 0; row < ListView_GetItemCount(list); ++row)
            cells.push_back(Cell(row, column));
        return cells;
    }

    bool RowTicked(int row) const
    {
        return ListView_GetItemState(list, row, LVIS_STATEIMAGEMASK) == kStateTicked;
    }
    // What every row's box shows: "x" ticked, "." not.
    std::wstring Ticks() const
    {
        std::wstring marks;
        for (int row = 0; row < ListView_GetItemCount(list); ++row)
            marks += RowTicked(row) ? L'x' : L'.';
        return marks;
    }
    // Clicks the row's check box, as the mouse does, when it does not show `ticked`.
    void TickRow(int row, bool ticked)
    {
        if (RowTicked(row) != ticked)
            ClickBox(list, row);
    }
    static void ClickBox(HWND list, int row, bool beside = false)
    {
        ListView_EnsureVisible(list, row, FALSE);
        RECT bounds = {LVIR_BOUNDS}, icon = {LVIR_ICON};
        SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
        SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&icon));
        const int x = beside ? icon.right + 20 : (bounds.left + icon.left) / 2;   // beside: on the title
        const LPARAM at = MAKELPARAM(x, (bounds.top + bounds.bottom) / 2);
        SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(list, WM_LBUTTONUP, 0, at);
    }

    // Clicks a column's heading: the header tells the list, which tells its
    // parent. Returns every heading's arrow after it: "^", "v" or "-" for none.
    static std::wstring ClickHeading(HWND list, int column)
    {
        const HWND header = ListView_GetHeader(list);
        RECT r = {};
        Header_GetItemRect(header, column, &r);
        const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(header, WM_LBUTTONUP, 0, at);
        std::wstring arrows;
        for (HDITEMW item = {HDI_FORMAT}; Header_GetItem(header, arrows.size(), &item);)
            arrows += (item.fmt & HDF_SORTUP) ? L'^' : (item.fmt & HDF_SORTDOWN) ? L'v' : L'-';
        return arrows;
    }

    std::vector<std::wstring> PlaylistLabels() const
    {
        std::vector<std::wstring> labels;
        HTREEITEM root = TreeView_GetRoot(tree);
        for (HTREEITEM node = TreeView_GetChild(tree, root); node; node = TreeView_GetNextSibling(tree, node))
            labels.push_back(NodeText(node));
        return labels;
    }

    std::wstring NodeText(HTREEITEM node) const
    {
        wchar_t text[512] = {};
        TVITEMW item = {};
        item.mask = TVIF_TEXT;
        item.hItem = node;
        item.pszText = text;
        item.cchTextMax = ARRAYSIZE(text);
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return text;
    }

    std::vector<std::wstring> SelectorItems() const
    {
        std::vector<std::wstring> items;
        const int count = static_cast<int>(SendMessageW(selector, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[256] = {};
            SendMessageW(selector, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            items.push_back(text);
        }
        return items;
    }

    bool EjectEnabled() const
    {
        return !(GetMenuState(GetMenu(window), IDM_EJECT, MF_BYCOMMAND) & MF_GRAYED);
    }

    void SelectNode(HTREEITEM node) { TreeView_SelectItem(tree, node); }
    HTREEITEM PlaylistNode(size_t i) const { return library.Playlists()[i]->treeItem; }

    HWND window = nullptr, list = nullptr, tree = nullptr, search = nullptr;
    HWND selector = nullptr, scanButton = nullptr, statusBar = nullptr;
    CMediaLibrary library;

private:
    static LRESULT CALLBACK AnswerMediaList(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR library)
    {
        LRESULT result = 0;
        if (message == WM_NOTIFY && wParam == IDC_MEDIA_LIST &&
            OnMediaListNotify(*reinterpret_cast<CMediaLibrary*>(library), *reinterpret_cast<NMHDR*>(lParam), result))
            return result;
        return DefSubclassProc(window, message, wParam, lParam);
    }

    static HMENU CreateHostMenu()
    {
        HMENU bar = CreateMenu();
        HMENU file = CreatePopupMenu();
        AppendMenuW(file, MF_STRING, IDM_SCAN, L"&Scan for iPods");
        AppendMenuW(file, MF_STRING | MF_GRAYED, IDM_EJECT, L"&Eject iPod\tCtrl+E");
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
        HMENU options = CreatePopupMenu();
        AppendMenuW(options, MF_STRING | MF_CHECKED, IDM_GRID_LINES, L"Show grid &lines in media list");
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(options), L"&Options");
        return bar;
    }

    HWND Child(const wchar_t* windowClass, DWORD style, int id)
    {
        return CreateWindowExW(0, windowClass, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 0, 0, 400, 300,
                               window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_hInstance, nullptr);
    }
};

// Runs `proc` on a worker thread and pumps this thread's messages until it
// ends: workers act on windows that the test thread owns by sending messages.
inline bool RunWorker(LPTHREAD_START_ROUTINE proc, void* parameter, DWORD timeoutMs = 30000)
{
    HANDLE thread = CreateThread(nullptr, 0, proc, parameter, 0, nullptr);
    if (!thread)
        return false;
    const DWORD start = GetTickCount();
    bool finished = false;
    while (GetTickCount() - start < timeoutMs) {
        const DWORD wait = MsgWaitForMultipleObjects(1, &thread, FALSE, 100, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0) {
            finished = true;
            break;
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    CloseHandle(thread);
    return finished;
}

}  // namespace testing_support
