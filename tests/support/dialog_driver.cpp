#include "support/dialog_driver.h"

#include <string>
#include <utility>

namespace testing_support {
namespace {

struct PendingAct {
    std::wstring title;
    std::function<void(HWND)> act;
    UINT_PTR timer = 0;
};
PendingAct g_pending;

BOOL CALLBACK MatchDialog(HWND window, LPARAM found)
{
    wchar_t text[128] = {};
    GetWindowTextW(window, text, ARRAYSIZE(text));
    if (g_pending.title != text || !IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The dialog box's loop checks for messages before it shows the dialog: the
// timer keeps ticking until the dialog is up.
void CALLBACK OnDriverTimer(HWND, UINT, UINT_PTR, DWORD)
{
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), MatchDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog)
        return;
    KillTimer(nullptr, g_pending.timer);
    const auto act = std::move(g_pending.act);
    g_pending = PendingAct();
    act(dialog);
    if (IsWindowVisible(dialog))   // EndDialog hides the dialog at once
        EndDialog(dialog, 0);
}

}  // namespace

void ActOnDialogWhenShown(const wchar_t* title, std::function<void(HWND dialog)> act)
{
    g_pending.title = title;
    g_pending.act = std::move(act);
    g_pending.timer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, OnDriverTimer);
}

}  // namespace testing_support
