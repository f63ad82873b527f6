#include "ui/hyperlink.h"

namespace {

WNDPROC PreviousProc(HWND window)
{
    return reinterpret_cast<WNDPROC>(GetPropW(window, kHyperlinkOriginalProc));
}

// Stores the window's procedure in its "original" property and puts `proc`
// in its place.
void Subclass(HWND window, WNDPROC proc)
{
    const LONG_PTR previous = GetWindowLongPtrW(window, GWLP_WNDPROC);
    SetPropW(window, kHyperlinkOriginalProc, reinterpret_cast<HANDLE>(previous));
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
}

void Unsubclass(HWND window, WNDPROC previous)
{
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    RemovePropW(window, kHyperlinkOriginalProc);
}

HFONT CreateUnderlinedCopy(HFONT font)
{
    LOGFONTW logFont = {};
    // A control without a font of its own draws with the system font.
    if (!GetObjectW(font ? font : GetStockObject(SYSTEM_FONT), sizeof(logFont), &logFont))
        return nullptr;
    logFont.lfUnderline = 1;
    return CreateFontIndirectW(&logFont);
}

void ShowFont(HWND control, const wchar_t* property)
{
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetPropW(control, property)), FALSE);
    InvalidateRect(control, nullptr, FALSE);
}

bool IsOverControl(HWND control, LPARAM clientPoint)
{
    POINT point = {static_cast<short>(LOWORD(clientPoint)), static_cast<short>(HIWORD(clientPoint))};
    ClientToScreen(control, &point);
    RECT bounds;
    GetWindowRect(control, &bounds);
    return PtInRect(&bounds, point) != FALSE;
}

// Holding the capture while hovered is what lets the control see the mouse leave.
void OnLinkMouseMove(HWND control, LPARAM clientPoint)
{
    if (GetCapture() != control) {
        ShowFont(control, kHyperlinkUnderlineFont);
        SetCapture(control);
    } else if (!IsOverControl(control, clientPoint)) {
        ShowFont(control, kHyperlinkOriginalFont);
        ReleaseCapture();
    }
}

// A font given from outside (the dialog manager's, when the dialog moves to
// a screen of another DPI) is the one the link goes back to from now on, and
// gets an underlined copy; a hovered link takes the copy at once.
WPARAM AdoptFont(HWND control, WPARAM font)
{
    const HANDLE given = reinterpret_cast<HANDLE>(font);
    const HANDLE underline = GetPropW(control, kHyperlinkUnderlineFont);
    if (given == GetPropW(control, kHyperlinkOriginalFont) || given == underline)
        return font;
    const HFONT copy = CreateUnderlinedCopy(static_cast<HFONT>(given));
    SetPropW(control, kHyperlinkOriginalFont, given);
    SetPropW(control, kHyperlinkUnderlineFont, copy);
    DeleteObject(static_cast<HFONT>(underline));
    return GetCapture() == control && copy ? reinterpret_cast<WPARAM>(copy) : font;
}

BOOL OnLinkSetCursor()
{
    HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    SetCursor(hand ? hand : LoadCursorW(nullptr, IDC_ARROW));
    return TRUE;
}

void OnLinkDestroy(HWND control, WNDPROC previous)
{
    Unsubclass(control, previous);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetPropW(control, kHyperlinkOriginalFont)), FALSE);
    RemovePropW(control, kHyperlinkOriginalFont);
    DeleteObject(static_cast<HFONT>(GetPropW(control, kHyperlinkUnderlineFont)));
    RemovePropW(control, kHyperlinkUnderlineFont);
    RemovePropW(control, kHyperlinkFromStatic);
}

LRESULT OnParentCtlColorStatic(HWND parent, WNDPROC previous, WPARAM dc, LPARAM control)
{
    const LRESULT brush = CallWindowProcW(previous, parent, WM_CTLCOLORSTATIC, dc, control);
    if (GetPropW(reinterpret_cast<HWND>(control), kHyperlinkFromStatic))
        SetTextColor(reinterpret_cast<HDC>(dc), kHyperlinkColour);
    return brush;
}

}  // namespace

BOOL ConvertStaticToHyperlink(HWND control)
{
    const HWND parent = GetParent(control);
    // A parent with several links is subclassed once: a second time would
    // store HyperlinkParentProc as its own predecessor.
    if (parent && GetWindowLongPtrW(parent, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(HyperlinkParentProc))
        Subclass(parent, HyperlinkParentProc);
    SetWindowLongPtrW(control, GWL_STYLE, GetWindowLongPtrW(control, GWL_STYLE) | SS_NOTIFY);
    Subclass(control, HyperlinkProc);
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    SetPropW(control, kHyperlinkOriginalFont, font);
    SetPropW(control, kHyperlinkUnderlineFont, CreateUnderlinedCopy(font));
    SetPropW(control, kHyperlinkFromStatic, reinterpret_cast<HANDLE>(1));
    return TRUE;
}

BOOL ConvertStaticToHyperlink(HWND dialog, int controlId)
{
    return ConvertStaticToHyperlink(GetDlgItem(dialog, controlId));
}

LRESULT CALLBACK HyperlinkParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const WNDPROC previous = PreviousProc(window);
    switch (message) {
    case WM_DESTROY:
        Unsubclass(window, previous);
        break;
    case WM_CTLCOLORSTATIC:
        return OnParentCtlColorStatic(window, previous, wParam, lParam);
    default:
        break;
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

LRESULT CALLBACK HyperlinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const WNDPROC previous = PreviousProc(window);
    switch (message) {
    case WM_SETCURSOR:
        return OnLinkSetCursor();
    case WM_SETFONT:
        wParam = AdoptFont(window, wParam);
        break;
    case WM_MOUSEMOVE:
        OnLinkMouseMove(window, lParam);
        break;
    case WM_DESTROY:
        OnLinkDestroy(window, previous);
        break;
    default:
        break;
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}
