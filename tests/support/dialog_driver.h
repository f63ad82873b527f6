#pragma once
// Drives a modal dialog of this thread from inside its own message loop: a
// thread timer waits until the dialog titled `title` is shown, then runs
// `act` on it once. `act` should end the dialog; if it leaves it open (a
// failed assertion), the dialog is ended with 0 so the test cannot hang.
#include <windows.h>

#include <functional>

namespace testing_support {

void ActOnDialogWhenShown(const wchar_t* title, std::function<void(HWND dialog)> act);

}  // namespace testing_support
