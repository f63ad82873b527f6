#pragma once
// CViewThread: runs view work on the thread that owns the main window's views.
// A worker that rebuilds the tree or the list hands the whole rebuild to that
// thread in one synchronous step: driven from the worker itself, every insert
// and every cell text would be a cross-thread message of its own, which makes
// a big list tens of times slower to fill.
#include <windows.h>

class CViewThread {
public:
    CViewThread() = default;
    ~CViewThread();
    CViewThread(const CViewThread&) = delete;
    CViewThread& operator=(const CViewThread&) = delete;

    // Makes the calling thread the views' thread: creates a message-only
    // window there, which answers the hand-overs. False when it cannot, or
    // when another thread is bound and its window still lives.
    bool Bind();
    bool IsBound() const { return m_window != nullptr; }
    bool OnViewThread() const { return GetCurrentThreadId() == m_threadId; }

    // Runs `work` on the views' thread and returns once it has run: at once on
    // that thread itself, or when no thread is bound (there are no views to
    // keep apart then). False when the hand-over failed and nothing ran.
    template <class Work>
    bool Run(Work&& work)
    {
        return RunCall(&Invoke<Work>, &work);
    }

private:
    template <class Work>
    static void Invoke(void* work)
    {
        (*static_cast<Work*>(work))();
    }
    bool RunCall(void (*call)(void*), void* context);

    HWND m_window = nullptr;
    DWORD m_threadId = 0;
};
