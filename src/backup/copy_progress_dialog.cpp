#include "backup/copy_progress_dialog.h"

#include "backup/playlist_file.h"
#include "backup/transfer_log.h"
#include "backup/transfer_log_place.h"
#include "device/ipod_list.h"
#include "library/app_globals.h"
#include "library/media_library.h"
#include "library/views.h"
#include "resource.h"

#include <commctrl.h>
#include <strsafe.h>

// --- The program's side of a run ----------------------------------------------

bool DialogCopyHost::SourceRoot(wchar_t (&root)[kPathCapacity])
{
    const wchar_t* selected = g_ipodList.GetSelectedRoot();
    return selected && SUCCEEDED(StringCchCopyW(root, kPathCapacity, selected));
}

std::wstring DialogCopyHost::RenamingRule() { return g_settings.NamingConvertion; }

DWORD DialogCopyHost::TransferOverwrite() { return g_settings.TransferOverwrite; }

DWORD DialogCopyHost::TickCount() { return GetTickCount(); }

void DialogCopyHost::Log(const wchar_t* line) { g_log.Write(L"%ls", line); }

template <class Field, class Value>
void DialogCopyHost::Note(Field CopyDisplay::*field, CopyDisplay::Part part, const Value& value)
{
    AcquireSRWLockExclusive(&m_displayLock);
    m_display.*field = value;
    m_display.changed |= part;
    ReleaseSRWLockExclusive(&m_displayLock);
}

void DialogCopyHost::SetOverallProgress(int position) { Note(&CopyDisplay::overall, CopyDisplay::kOverall, position); }

void DialogCopyHost::SetFileProgress(int value) { Note(&CopyDisplay::file, CopyDisplay::kFile, value); }

void DialogCopyHost::SetCounterText(const wchar_t* text) { Note(&CopyDisplay::counter, CopyDisplay::kCounter, text); }

void DialogCopyHost::SetNameText(const wchar_t* text) { Note(&CopyDisplay::name, CopyDisplay::kName, text); }

void DialogCopyHost::SetElapsedText(const wchar_t* text) { Note(&CopyDisplay::elapsed, CopyDisplay::kElapsed, text); }

void DialogCopyHost::ShowChanges()
{
    AcquireSRWLockExclusive(&m_displayLock);
    const CopyDisplay display = m_display;
    m_display.changed = 0;
    ReleaseSRWLockExclusive(&m_displayLock);
    if (display.changed & CopyDisplay::kOverall)
        SendDlgItemMessageW(m_dialog, IDC_OVERALL_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(display.overall), 0);
    if (display.changed & CopyDisplay::kFile)
        SendDlgItemMessageW(m_dialog, IDC_FILE_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(display.file), 0);
    if (display.changed & CopyDisplay::kCounter)
        SetDlgItemTextW(m_dialog, IDC_ITEM_COUNTER, display.counter.c_str());
    if (display.changed & CopyDisplay::kName)
        SetDlgItemTextW(m_dialog, IDC_CURRENT_NAME, display.name.c_str());
    if (display.changed & CopyDisplay::kElapsed)
        SetDlgItemTextW(m_dialog, IDC_ELAPSED_TIME, display.elapsed.c_str());
}

void DialogCopyHost::ShowRowChecks()
{
    if (g_pLibrary)
        g_pLibrary->RunOnViewThread([] { g_pLibrary->ShowChecks(); });
    UpdateStatusCounts();
}

void DialogCopyHost::CloseDialog()
{
    // EndDialog belongs to the dialog's own thread: called from the worker it
    // leaves the main window inactive, its shortcuts dead until it is clicked.
    // The run's last state is shown first: the bars end full.
    const HWND dialog = m_dialog;
    if (!m_dialogThread.Run([this, dialog] {
            ShowChanges();
            EndDialog(dialog, 0);
        }))
        EndDialog(dialog, 0);
}

// --- The dialog ----------------------------------------------------------------

namespace {

const wchar_t kTitleRunning[] = L"Copying...";
const wchar_t kTitlePaused[] = L"Copying... [Paused]";

void CollectLibraryTracks(std::vector<TrackEntry*>& tracks)
{
    if (g_pLibrary)
        g_pLibrary->GetCheckedTracks(tracks);
}

// Every track, for the copies' names; the rest only when an option is on:
// with the file options off a run writes nothing but the copies (and covers).
LibrarySource CollectLibrarySource()
{
    LibrarySource source;
    if (!g_pLibrary)
        return source;
    const CMediaLibrary& library = *g_pLibrary;
    source.tracks.reserve(library.Tracks().size());
    for (const auto& track : library.Tracks())
        source.tracks.push_back(track.get());
    source.writePlaylists = g_settings.WritePlaylists != 0;
    source.writeLibrary = g_settings.WriteLibraryFile != 0;
    source.saveCovers = g_settings.SaveCovers != 0;
    if (!source.WritesAnything())
        return source;
    source.playlists = CollectPlaylistSources(
        library.Playlists(), [&library](uint32_t trackId) { return library.FindTrackPosition(trackId); });
    source.persistentId = library.PersistentId();
    if (const wchar_t* name = g_ipodList.GetSelectedName())
        source.ipodName = name;
    return source;
}

std::unique_ptr<DialogCopyHost> MakeDialogHost(HWND dialog) { return std::make_unique<DialogCopyHost>(dialog); }

INT_PTR OnInitDialog(HWND dialog, const CopyDialogSources* sources)
{
    // The worker of a cancelled run may still be ending its last step; the
    // job (and the log it reports to) is shared, so let it end first.
    WaitForCopyWorker(g_copyJob);
    OpenTransferLog(g_log);

    std::vector<TrackEntry*> tracks;
    if (sources && sources->collectTracks)
        sources->collectTracks(tracks);
    else
        CollectLibraryTracks(tracks);
    auto host = (sources && sources->makeHost) ? sources->makeHost(dialog) : MakeDialogHost(dialog);
    // The job owns the host for as long as the dialog lives.
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(host.get()));
    PrepareCopyRun(g_copyJob, std::move(tracks), std::move(host));
    g_copyJob.library = (sources && sources->collectLibrary) ? sources->collectLibrary() : CollectLibrarySource();

    // The 32-bit range holds any item count; the 16-bit one would wrap at 65,536.
    SendDlgItemMessageW(dialog, IDC_OVERALL_PROGRESS, PBM_SETRANGE32, 0, g_copyJob.itemCount);
    SendDlgItemMessageW(dialog, IDC_FILE_PROGRESS, PBM_SETRANGE32, 0, kFileProgressMax);
    SendDlgItemMessageW(dialog, IDC_OVERALL_PROGRESS, PBM_SETPOS, 0, 0);
    StartCopyWorker(g_copyJob);
    SetDlgItemTextW(dialog, IDC_ITEM_COUNTER, L"");
    SetTimer(dialog, IDT_COPY_DISPLAY, kProgressRefreshMs, nullptr);
    return TRUE;   // the focus goes to the first tab stop, Cancel
}

void OnPause(HWND dialog)
{
    const bool paused = ToggleCopyPause(g_copyJob);
    SetDlgItemTextW(dialog, IDC_PAUSE, paused ? L"Resume" : L"Pause");
    SetWindowTextW(dialog, paused ? kTitlePaused : kTitleRunning);
}

void OnCancel(HWND dialog)
{
    CancelCopyRun(g_copyJob);
    EndDialog(dialog, 1);
}

void OnCommand(HWND dialog, int id)
{
    if (id == IDC_PAUSE)
        OnPause(dialog);
    else
        OnCancel(dialog);   // Cancel, Esc and every other command
}

void OnTimer(HWND dialog)
{
    if (auto* host = reinterpret_cast<DialogCopyHost*>(GetWindowLongPtrW(dialog, DWLP_USER)))
        host->ShowChanges();
}

void OnDestroy()
{
    // Under the job's lock, so a log line being written finishes first.
    CopyJobUiLock lock(g_copyJob);
    g_log.Close();
}

}  // namespace

INT_PTR CALLBACK CopyProgressDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog, reinterpret_cast<const CopyDialogSources*>(lParam));
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam));
        return TRUE;
    case WM_CLOSE:
        OnCancel(dialog);
        return TRUE;
    case WM_TIMER:
        OnTimer(dialog);
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return TRUE;
    default:
        return FALSE;
    }
}
