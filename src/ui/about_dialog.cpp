#include "ui/about_dialog.h"

#include "library/app_globals.h"
#include "resource.h"
#include "ui/hyperlink.h"
#include "update/update_check.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <string>

namespace {

constexpr wchar_t kTrademarks[] = L"* iPod and iTunes are trademarks of Apple Inc.";

about_testing::OpenPageFn g_openPage = nullptr;

std::wstring Widen(const char* ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }

// "Compiled on <date> at <time>" from the compiler's __DATE__ and __TIME__.
std::wstring BuildStampText(const char* date, const char* time)
{
    return L"Compiled on " + Widen(date) + L" at " + Widen(time);
}

void OpenHomePage()
{
    if (g_openPage)
        g_openPage(kHomePageUrl);
    else
        ShellExecuteW(nullptr, L"open", kHomePageUrl, nullptr, nullptr, 0);
}

// A multiline edit in a dialog wants every key and answers Esc by posting
// WM_CLOSE to the dialog, which would end the box. Declining Esc leaves it
// to the dialog, which turns it into IDCANCEL and ignores that.
LRESULT CALLBACK TrademarksEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
    const MSG* key = reinterpret_cast<const MSG*>(lParam);
    if (message == WM_GETDLGCODE && key && key->message == WM_KEYDOWN && key->wParam == VK_ESCAPE)
        result &= ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(edit, TrademarksEditProc, 0);
    return result;
}

INT_PTR OnInitDialog(HWND window)
{
    ConvertStaticToHyperlink(window, IDC_ABOUT_LINK);
    SetWindowSubclass(GetDlgItem(window, IDC_ABOUT_TRADEMARKS), TrademarksEditProc, 0, 0);
    SetDlgItemTextW(window, IDC_ABOUT_VERSION, (std::wstring(L"Version: ") + kProgramVersion).c_str());
    // Fixed when this file is compiled, which every build of the exe does.
    SetDlgItemTextW(window, IDC_ABOUT_BUILD, BuildStampText(__DATE__, __TIME__).c_str());
    SetDlgItemTextW(window, IDC_ABOUT_TRADEMARKS, kTrademarks);
    return TRUE;
}

INT_PTR OnCommand(HWND window, int id)
{
    if (id == IDCLOSE)
        EndDialog(window, 1);
    else if (id == IDC_ABOUT_LINK)   // a double click opens the page once more
        OpenHomePage();
    // Esc's IDCANCEL and everything else: the box stays.
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK AboutDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(window);
    case WM_COMMAND:
        return OnCommand(window, LOWORD(wParam));
    case WM_CLOSE:
        EndDialog(window, 1);
        return TRUE;
    default:
        return FALSE;
    }
}

void ShowAboutBox(HWND owner)
{
    DialogBoxParamW(g_hInstance, MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutDlgProc, 0);
}

namespace about_testing {

void SetOpenPage(OpenPageFn fn) { g_openPage = fn; }

}  // namespace about_testing
