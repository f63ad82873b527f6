#pragma once
// Dialog 112: the window of a copy run. Opening it prepares and starts the
// copy job; Pause holds the run between chunks; Cancel, Esc and the close box
// end it at once with 1; the worker ends it with 0 after the last item.
#include "backup/copy_job.h"
#include "library/view_thread.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// What the dialog shows of a run, and which parts changed since it last
// showed them.
struct CopyDisplay {
    enum Part : unsigned { kOverall = 1, kFile = 2, kCounter = 4, kName = 8, kElapsed = 16 };
    int overall = 0, file = 0;
    std::wstring counter, name, elapsed;
    unsigned changed = 0;
};

// The dialog's view of the program: its controls, the main window's media
// list and counts, the selected iPod, the settings and the transfer log.
// The worker's reports only note what the controls should show; the dialog's
// thread shows it on a timer. A progress bar paints as its position is set,
// and a worker that waited for each paint would spend longer on the bars
// than on the copies of small files.
class DialogCopyHost : public CopyJobHost {
public:
    // Made on the dialog's thread, which ends the dialog.
    explicit DialogCopyHost(HWND dialog) : m_dialog(dialog) { m_dialogThread.Bind(); }

    bool SourceRoot(wchar_t (&root)[kPathCapacity]) override;
    std::wstring RenamingRule() override;
    DWORD TransferOverwrite() override;
    DWORD TickCount() override;

    void Log(const wchar_t* line) override;
    void SetOverallProgress(int position) override;
    void SetFileProgress(int value) override;
    void SetCounterText(const wchar_t* text) override;
    void SetNameText(const wchar_t* text) override;
    void SetElapsedText(const wchar_t* text) override;
    void ShowRowChecks() override;
    void CloseDialog() override;

    // On the dialog's thread: shows what changed since the last call.
    void ShowChanges();

protected:
    HWND Dialog() const { return m_dialog; }

private:
    // Sets one part of what the dialog shows and marks it changed.
    template <class Field, class Value>
    void Note(Field CopyDisplay::*field, CopyDisplay::Part part, const Value& value);

    HWND m_dialog;
    CViewThread m_dialogThread;
    SRWLOCK m_displayLock = SRWLOCK_INIT;
    CopyDisplay m_display;
};

// What the dialog takes from the program when its parameter is 0; tests pass
// a pointer to their own as the dialog's parameter.
struct CopyDialogSources {
    std::function<void(std::vector<TrackEntry*>&)> collectTracks;
    std::function<std::unique_ptr<DialogCopyHost>(HWND dialog)> makeHost;
    std::function<LibrarySource()> collectLibrary;
};

INT_PTR CALLBACK CopyProgressDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
