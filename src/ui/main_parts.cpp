#include "ui/main_parts.h"

#include "library/app_globals.h"
#include "library/dpi.h"
#include "resource.h"
#include "settings/settings.h"

#include <commctrl.h>

HWND CreateMainStatusBar(HWND mainWnd)
{
    const HWND bar = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0,
                                     0, 0, mainWnd, nullptr, g_hInstance, nullptr);
    if (!bar)
        return nullptr;
    SetMainStatusParts(bar, WindowDpi(mainWnd));
    SendMessageW(bar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(L""));
    return bar;
}

void SetMainStatusParts(HWND bar, UINT dpi)
{
    int rightEdges[3] = {ScaleToDpi(80, dpi), ScaleToDpi(200, dpi), -1};
    SendMessageW(bar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(rightEdges));
}

namespace {

struct ToolText {
    int controlId;
    const wchar_t* text;
};

constexpr ToolText kTools[] = {
    {IDC_SCAN, L"Scan for iPods pluged on this computer"},
    {IDC_COPY, L"Copy checked media items"},
    {IDC_SEARCH, L"Search for media"},
    {IDC_IPOD_SELECTOR, L"iPod selector"},
};

void AddTool(HWND tooltip, HWND mainWnd, const ToolText& tool)
{
    TOOLINFOW info = {};
    // The size without lpReserved: what every comctl32 version accepts.
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = mainWnd;
    info.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(mainWnd, tool.controlId));
    info.hinst = g_hInstance;
    info.lpszText = const_cast<wchar_t*>(tool.text);
    info.lParam = 0;
    SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

}  // namespace

HWND CreateMainTooltips(HWND mainWnd)
{
    const HWND tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, mainWnd,
                                         nullptr, g_hInstance, nullptr);
    if (!tooltip)
        return nullptr;
    for (const ToolText& tool : kTools)
        AddTool(tooltip, mainWnd, tool);
    SendMessageW(tooltip, TTM_ACTIVATE, g_settings.EnableTooltips, 0);
    return tooltip;
}
