#include "library/view_thread.h"

namespace {

constexpr wchar_t kClassName[] = L"SavantoViewThread";
constexpr UINT WM_RUN_VIEW_WORK = WM_APP + 1;   // wParam: the call, lParam: its context

using ViewCall = void (*)(void*);

LRESULT CALLBACK ViewThreadProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_RUN_VIEW_WORK)
        return DefWindowProcW(window, message, wParam, lParam);
    reinterpret_cast<ViewCall>(wParam)(reinterpret_cast<void*>(lParam));
    return 1;
}

bool RegisterViewThreadClass(HINSTANCE instance)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = ViewThreadProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

CViewThread::~CViewThread()
{
    // Only the owning thread can destroy the window; the product's library
    // lives until the process ends and never comes here.
    if (m_window && OnViewThread())
        DestroyWindow(m_window);
}

bool CViewThread::Bind()
{
    if (m_window && OnViewThread())
        return true;
    // Only its own thread can destroy the window; while it lives the
    // hand-overs go there, and another thread cannot take them over.
    if (m_window && IsWindow(m_window))
        return false;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterViewThreadClass(instance))
        return false;
    HWND window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!window)
        return false;
    m_window = window;
    m_threadId = GetCurrentThreadId();
    return true;
}

bool CViewThread::RunCall(void (*call)(void*), void* context)
{
    if (!m_window || OnViewThread()) {
        call(context);
        return true;
    }
    // The views' thread never waits for a worker, so this wait always ends:
    // the work runs the next time that thread looks at its messages, also
    // inside a modal dialog's or a message box's loop.
    return SendMessageW(m_window, WM_RUN_VIEW_WORK, reinterpret_cast<WPARAM>(call),
                        reinterpret_cast<LPARAM>(context)) != 0;
}
