#pragma once
// Turns any static text control into a hyperlink: blue text, underlined while
// the mouse is over it, a hand cursor, and clicks reported to the parent as
// WM_COMMAND with the control's id. All state lives in window properties, so
// no window class or per-control structure is needed.
#include <windows.h>

// The properties, by name. The control carries all four; its parent carries
// only its own previous window procedure.
constexpr wchar_t kHyperlinkOriginalProc[] = L"_Hyperlink_Original_Proc_";
constexpr wchar_t kHyperlinkOriginalFont[] = L"_Hyperlink_Original_Font_";
constexpr wchar_t kHyperlinkUnderlineFont[] = L"_Hyperlink_Underline_Font_";
constexpr wchar_t kHyperlinkFromStatic[] = L"_Hyperlink_From_Static_";

constexpr COLORREF kHyperlinkColour = RGB(0, 0, 255);

BOOL ConvertStaticToHyperlink(HWND control);
BOOL ConvertStaticToHyperlink(HWND dialog, int controlId);

LRESULT CALLBACK HyperlinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK HyperlinkParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
