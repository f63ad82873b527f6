// Savanto's entry point: settings, the main window, the message loop.
#include "backup/copy_job.h"
#include "db/scoped_handle.h"
#include "library/app_globals.h"
#include "resource.h"
#include "settings/settings.h"
#include "ui/main_window.h"

#include <commctrl.h>
#include <windows.h>

namespace {

// Shortcuts come before dialog navigation, so that Ctrl+A typed in the
// search box reaches the media list's command.
void RunMessageLoop(HWND mainWnd, HACCEL accelerators)
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (accelerators && TranslateAcceleratorW(mainWnd, accelerators, &message))
            continue;
        if (IsDialogMessageW(mainWnd, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// A run cancelled just before the window closed may still be in its last
// step: ending the process under it would leave its "<name>.part" file
// behind. Give it a few seconds; the other workers are not waited for.
void LetTheCopyWorkerFinish()
{
    WaitForCopyWorkerBeforeExit(g_copyJob, kCopyWorkerExitWaitMs);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    g_hInstance = instance;
    InitCommonControls();
    g_settings.Load();
    g_hMainWnd = CreateMainWindow();
    if (!g_hMainWnd) {
        // Without its window the program could only wait unseen for ever.
        MessageBoxW(nullptr, L"Savanto could not open its main window.", L"Savanto", MB_ICONERROR);
        ExitProcess(1);
    }
    {
        // A missing table only costs the shortcuts; the menus still work.
        ScopedAccelerators accelerators(LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS)));
        SetWindowPos(g_hMainWnd, nullptr, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE);
        RunMessageLoop(g_hMainWnd, accelerators.Get());
    }
    LetTheCopyWorkerFinish();
    // The settings are saved and the window is gone. Scan, load and update
    // workers may still run and use the iPod list, the library and the
    // layout: end the process here, before the static objects they use are
    // destroyed, instead of returning into the runtime's exit.
    ExitProcess(0);
    return 0;
}
