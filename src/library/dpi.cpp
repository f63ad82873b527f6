#include "library/dpi.h"

#include <cstdint>

namespace {

// The per-monitor functions of newer systems, looked up when first needed so
// that the program still starts where user32 lacks them.
template <typename Function>
Function User32Function(const char* name)
{
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

using GetDpiForWindowProc = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiProc = int(WINAPI*)(int, UINT);

UINT SystemDpi()
{
    const HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

}  // namespace

int ScaleToDpi(int pixels, UINT toDpi, UINT fromDpi)
{
    if (fromDpi == 0 || toDpi == 0 || toDpi == fromDpi)
        return pixels;
    // In halves, so that the division rounds instead of truncating.
    const int64_t twice = 2 * static_cast<int64_t>(pixels) * toDpi;
    const int64_t divisor = 2 * static_cast<int64_t>(fromDpi);
    return static_cast<int>((twice + (twice < 0 ? -int64_t{fromDpi} : int64_t{fromDpi})) / divisor);
}

RECT ScaleRectToDpi(const RECT& rect, UINT toDpi, UINT fromDpi)
{
    return {ScaleToDpi(rect.left, toDpi, fromDpi), ScaleToDpi(rect.top, toDpi, fromDpi),
            ScaleToDpi(rect.right, toDpi, fromDpi), ScaleToDpi(rect.bottom, toDpi, fromDpi)};
}

UINT WindowDpi(HWND window)
{
    static const auto getDpiForWindow = User32Function<GetDpiForWindowProc>("GetDpiForWindow");
    const UINT dpi = getDpiForWindow && window ? getDpiForWindow(window) : 0;
    return dpi != 0 ? dpi : SystemDpi();
}

int SmallIconSize(UINT dpi)
{
    static const auto getMetricsForDpi = User32Function<GetSystemMetricsForDpiProc>("GetSystemMetricsForDpi");
    if (getMetricsForDpi)
        return getMetricsForDpi(SM_CXSMICON, dpi);
    return ScaleToDpi(GetSystemMetrics(SM_CXSMICON), dpi, SystemDpi());
}
