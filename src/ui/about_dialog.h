#pragma once
// The About box, dialog 104: name, version, build stamp, trademark notice and
// a link to the publisher's home page.
#include <windows.h>

constexpr wchar_t kHomePageUrl[] = L"https://www.quillmere.com/savanto";

INT_PTR CALLBACK AboutDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Opens the About box modally over `owner` and returns when it is closed.
void ShowAboutBox(HWND owner);

// Seam for tests only: what a click on the link opens the page with; null
// restores the shell, which hands the address to the user's web browser.
namespace about_testing {
using OpenPageFn = void (*)(const wchar_t* url);
void SetOpenPage(OpenPageFn fn);
}  // namespace about_testing
