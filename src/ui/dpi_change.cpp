#include "ui/dpi_change.h"

#include "db/scoped_handle.h"
#include "library/app_globals.h"
#include "library/dpi.h"
#include "library/views.h"
#include "resource.h"
#include "ui/main_parts.h"
#include "ui/resize_layout.h"

#include <commctrl.h>

#include <utility>

namespace {

using SetDialogDpiChangeBehaviorProc = BOOL(WINAPI*)(HWND, DIALOG_DPI_CHANGE_BEHAVIORS, DIALOG_DPI_CHANGE_BEHAVIORS);

// The font the template gave the window, the DPI it was made for, and the
// copy made for the DPI of the moment when that differs.
struct MainWindowFont {
    HFONT original = nullptr;
    UINT originalDpi = kBaseDpi;
    ScopedGdiObject<HFONT> scaled;
};
MainWindowFont g_font;

void DisableDialogDpiScaling(HWND mainWnd)
{
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    const auto setBehavior = user32 ? reinterpret_cast<SetDialogDpiChangeBehaviorProc>(reinterpret_cast<void*>(
                                          GetProcAddress(user32, "SetDialogDpiChangeBehavior")))
                                    : nullptr;
    if (setBehavior)
        setBehavior(mainWnd, DDC_DISABLE_ALL, DDC_DISABLE_ALL);
}

// A dialog font's height comes from a whole number of points: taking it back
// to points first gives the height the dialog manager itself would make.
HFONT CreateFontForDpi(UINT dpi)
{
    LOGFONTW font = {};
    if (!g_font.original || !GetObjectW(g_font.original, sizeof(font), &font))
        return nullptr;
    const int points = ScaleToDpi(font.lfHeight < 0 ? -font.lfHeight : font.lfHeight, 72, g_font.originalDpi);
    font.lfHeight = -ScaleToDpi(points, dpi, 72);
    font.lfWidth = 0;
    return CreateFontIndirectW(&font);
}

// A drop-down's window height includes its list, which GetWindowRect leaves out.
int HeightWithList(HWND control, const RECT& shown)
{
    wchar_t className[16] = {};
    GetClassNameW(control, className, ARRAYSIZE(className));
    RECT list = {};
    if (lstrcmpiW(className, WC_COMBOBOXW) != 0 || !SendMessageW(control, CB_GETDROPPEDCONTROLRECT, 0,
                                                                  reinterpret_cast<LPARAM>(&list)))
        return shown.bottom - shown.top;
    return list.bottom - shown.top;
}

// Every control but the status bar, which docks itself, keeps its place and
// size in proportion; the layout then moves the ones it holds.
void ScaleControls(HWND mainWnd, UINT dpi, UINT fromDpi, HFONT font)
{
    for (HWND child = GetWindow(mainWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (font)
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (child == g_hStatusBar)
            continue;
        RECT shown = {};
        GetWindowRect(child, &shown);
        const int height = HeightWithList(child, shown);
        MapWindowPoints(nullptr, mainWnd, reinterpret_cast<POINT*>(&shown), 2);
        const RECT r = ScaleRectToDpi(shown, dpi, fromDpi);
        SetWindowPos(child, nullptr, r.left, r.top, r.right - r.left, ScaleToDpi(height, dpi, fromDpi),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void ScaleViews(HWND mainWnd, UINT dpi, UINT fromDpi)
{
    const HWND list = GetDlgItem(mainWnd, IDC_MEDIA_LIST);
    ScaleMediaListColumns(list, dpi, fromDpi);
    SetMediaListIcons(list, dpi);
    SetPlaylistTreeIcons(GetDlgItem(mainWnd, IDC_PLAYLIST_TREE), dpi);
    SetMainStatusParts(g_hStatusBar, dpi);
}

}  // namespace

void PrepareMainWindowDpi(HWND mainWnd)
{
    DisableDialogDpiScaling(mainWnd);
    g_font.original = reinterpret_cast<HFONT>(SendMessageW(mainWnd, WM_GETFONT, 0, 0));
    g_font.originalDpi = WindowDpi(mainWnd);
    g_font.scaled.Reset();
}

void OnMainWindowDpiChanged(HWND mainWnd, UINT dpi, const RECT& suggested)
{
    const UINT fromDpi = g_layout.Dpi();
    if (dpi != 0 && dpi != fromDpi) {
        SendMessageW(mainWnd, WM_SETREDRAW, FALSE, 0);
        ScopedGdiObject<HFONT> created(dpi == g_font.originalDpi ? nullptr : CreateFontForDpi(dpi));
        ScaleControls(mainWnd, dpi, fromDpi, created ? created.Get() : g_font.original);
        g_font.scaled = std::move(created);   // the controls no longer use the one it held
        ScaleViews(mainWnd, dpi, fromDpi);
        g_layout.Rescale(dpi);
        g_minTrackSize = {ScaleToDpi(g_minTrackSize.cx, dpi, fromDpi), ScaleToDpi(g_minTrackSize.cy, dpi, fromDpi)};
        SendMessageW(mainWnd, WM_SETREDRAW, TRUE, 0);
    }
    SetWindowPos(mainWnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // The window may keep its size, and then hears no WM_SIZE.
    SendMessageW(g_hStatusBar, WM_SIZE, 0, 0);
    g_layout.Apply();
    RedrawWindow(mainWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}
