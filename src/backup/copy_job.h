#pragma once
// The copy run: copies the media files of the ticked tracks from the iPod to
// the destination folder, one chunk per step, on a worker thread of its own.
// The progress dialog prepares and starts it; the worker reports through a
// CopyJobHost, which in the program is the dialog and the main
// window, and in tests a recorder.
#include "backup/backup_index.h"
#include "backup/destination_path.h"
#include "backup/library_source.h"
#include "db/file_handle.h"
#include "db/scoped_handle.h"
#include "db/records.h"
#include "settings/settings.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// 128 KiB, measured against 512 KiB and 1 MiB (savanto_bench copy): in seven
// runs neither larger chunk was faster by more than 3%, and most runs were
// slower with them (the smaller buffer stays in the processor's cache). A
// step lasts ~4 ms at USB 2.0 speeds, so pause and cancel, which wait for the
// end of the step, stay immediate.
constexpr DWORD kCopyChunkBytes = 131072;
constexpr int kFileProgressMax = 1000;
constexpr size_t kStatusTextCapacity = 128;   // "Copying: %s", terminator included
constexpr DWORD kElapsedRefreshMs = 1000;
// The progress bars move at most this often within an item: the dialog stays
// smooth and the worker spends its time copying, not in window calls.
constexpr DWORD kProgressRefreshMs = 50;
// A paused worker wakes at least this often, so the elapsed time goes on.
constexpr DWORD kPausedWaitMs = 1000;

// --- Pure logic -------------------------------------------------------------

// Current-file progress on a scale of 0 to 1000: (1000.0 / size) * copied,
// truncated; 0 for an empty source, never above 1000.
int FileProgressValue(uint32_t sourceSize, uint32_t bytesCopied);
// "Elapsed time: %02d:%02d:%02d"; the hours are not reduced modulo 24.
std::wstring FormatElapsedTime(DWORD elapsedMs);
// True when the display shown at `lastShownMs` is a second or more old. Both
// are unsigned milliseconds since the start, so a wrapped tick count is fine.
bool ElapsedDisplayDue(DWORD elapsedMs, DWORD lastShownMs);
// True when the progress bars last moved `kProgressRefreshMs` or more before
// `now`; wrap-safe like ElapsedDisplayDue.
bool ProgressDisplayDue(DWORD now, DWORD lastShown);
// "%d of %d".
std::wstring FormatItemCounter(int number, int count);
// "Copying: %s", cut to fit the 128-unit status text.
std::wstring FormatCurrentName(const std::wstring& name);
// The iPod root followed by the track's location with every ":" made "\".
// False, with an empty path, when the result does not fit.
bool BuildSourcePath(const wchar_t* root, const wchar_t* location, wchar_t (&path)[kPathCapacity]);
// Where an item is written until it is complete: the destination with
// ".part" appended. False when that does not fit, and the item is then
// written under its own name.
bool TemporaryPathFor(const wchar_t* destination, wchar_t (&path)[kPathCapacity]);

// The log's lines: "failed: <path> (<reason>[, error <code>])" and a path
// put into a "copying: %s"-like format.
std::wstring FailureLine(const wchar_t* path, const wchar_t* reason, DWORD error);
std::wstring PathLine(const wchar_t* format, const wchar_t* path);

// What the user is told after a run that was not cancelled and had failures.
struct FailedRunReport {
    int failed = 0;          // items whose copy failed
    int items = 0;           // items of the run
    bool diskFull = false;   // at least one failed because the destination disk was full
    std::wstring logPath;    // the transfer log's full path; empty when none could be written
    bool ipodRemoved = false;   // the iPod went away during the run
    int filesFailed = 0;     // playlist, library or index files that could not be written
};
// True for the system's two "disk full" errors.
bool IsDiskFullError(DWORD error);
// The message box's text: the count, a note that the tracks are still ticked
// (or that the iPod went away), the files beside the copies that could not be
// written, and where the log is, or that there is none.
std::wstring FailedRunMessage(const FailedRunReport& report);

// True when a file or folder of that name exists. Wildcards are not expanded.
bool FileExists(const wchar_t* path);
// Creates every missing folder of `path`. Failures are left to the file's
// own creation to report.
void CreateDirectoryPath(const wchar_t* path);

// --- The job ----------------------------------------------------------------

// What the run reads from and reports to the rest of the program. Reports are
// made under the job's lock and never after the run was cancelled.
class CopyJobHost {
public:
    virtual ~CopyJobHost() = default;

    // The selected iPod's root ("E:\"); false when no iPod is selected.
    virtual bool SourceRoot(wchar_t (&root)[kPathCapacity]) = 0;
    virtual std::wstring RenamingRule() = 0;
    virtual DWORD TransferOverwrite() = 0;
    virtual DWORD TickCount() = 0;
    // Called after every step of the run; tests drive their clock from here.
    virtual void AfterStep() {}
    // Called while the run is paused: waits until `wake` is signalled (a
    // resume or a cancel) or `timeoutMs` has passed.
    virtual void WaitWhilePaused(HANDLE wake, DWORD timeoutMs) { WaitForSingleObject(wake, timeoutMs); }
    // Runs a group of the reports below (an item's start, a bar's move), with
    // the job's lock held; tests hold the worker here.
    virtual void RunReports(const std::function<void()>& reports) { reports(); }

    virtual void Log(const wchar_t* line) = 0;
    virtual void SetOverallProgress(int position) = 0;
    virtual void SetFileProgress(int value) = 0;
    virtual void SetCounterText(const wchar_t* text) = 0;
    virtual void SetNameText(const wchar_t* text) = 0;
    virtual void SetElapsedText(const wchar_t* text) = 0;
    // Shows each track's tick in its rows of the media list and refreshes the counts.
    virtual void ShowRowChecks() = 0;
    // Ends the dialog with 0, on the dialog's own thread.
    virtual void CloseDialog() = 0;
};

// The file being copied. Written under a temporary name and renamed when
// complete; destroying an item that was not completed removes what it wrote,
// so a cut-short file never looks like a finished backup.
struct CopyItem {
    CopyItem() = default;
    CopyItem(const CopyItem&) = delete;
    CopyItem& operator=(const CopyItem&) = delete;
    ~CopyItem();

    uint32_t sourceSize = 0;
    uint32_t bytesCopied = 0;
    FileHandle source;
    FileHandle destination;
    wchar_t destinationPath[kPathCapacity] = {};
    wchar_t writePath[kPathCapacity] = {};   // the temporary name, or the destination itself
    bool written = false;                    // writePath was created by this item
    bool complete = false;                   // renamed into place: keep it
};

// What became of one item of a run.
enum class CopyOutcome : uint8_t {
    NotReached,        // cancelled before it, or still to come
    Copied,
    SkippedExisting,   // the destination was already there
    Failed,
};

struct CopyJob {
    CopyJob();
    CopyJob(const CopyJob&) = delete;
    CopyJob& operator=(const CopyJob&) = delete;

    std::vector<TrackEntry*> copyList;   // points into the library, owns nothing
    std::vector<CopyOutcome> outcomes;   // one per item of copyList
    // Set after PrepareCopyRun: every track of the library, in its order (the
    // copies' names are chosen over all of them; none: over the copy list
    // alone), and what the files beside the copies describe.
    LibrarySource library;
    std::unique_ptr<DestinationNames> names;   // made when the run begins
    // The destination folder's index as the run began, where it was read,
    // and the copies it lists whose files were there then. The worker's own.
    BackupIndex index;
    std::wstring indexFolder;
    std::vector<IndexedCopy> indexedCopies;
    int32_t itemCount = 0;
    int32_t position = 0;
    std::unique_ptr<CopyItem> currentItem;
    std::atomic<uint32_t> paused{0};
    std::atomic<uint32_t> cancelled{0};
    DWORD startTick = 0;
    DWORD lastElapsedShown = 0;
    DWORD lastProgressShown = 0;   // the tick at which the file bar last moved
    int fileProgressShown = 0;
    DWORD chunkBytes = kCopyChunkBytes;   // kept across runs; tests and the benchmark change it
    // Set by the main window when the iPod the run reads from goes away; the
    // run goes on (its items fail) and its end can say why.
    std::atomic<uint32_t> sourceRemoved{0};
    ScopedKernelHandle workerThread;   // kept so that the next run can wait for this one
    wchar_t destinationFolder[kPathCapacity] = {};
    std::unique_ptr<CopyJobHost> host;   // lives until the next run is prepared

    // Held by the worker around every report to the dialog and the log and
    // while it reads a track; held by the user-interface thread to cancel and
    // to close the log. Once cancelled is set under it the worker touches
    // none of them again.
    ScopedKernelHandle lock;
    bool runEnded = false;   // the worker has made its final reports
    bool diskFull = false;   // an item failed for a full destination disk
    int filesFailed = 0;     // playlist, library or index files that could not be written
    // Signalled by a pause, a resume and a cancel: wakes a paused worker.
    ScopedKernelHandle wake;
};

extern CopyJob g_copyJob;

// Worker side: holds the job's lock for its lifetime.
class CopyJobLock {
public:
    explicit CopyJobLock(CopyJob& job);
    ~CopyJobLock();
    CopyJobLock(const CopyJobLock&) = delete;
    CopyJobLock& operator=(const CopyJobLock&) = delete;

private:
    CopyJob& m_job;
};

// User-interface side: waits for `handle` (a thread, or the job's lock, which
// it then owns) while still answering the messages the worker sends, so that
// a worker blocked in a window call cannot deadlock the wait. False when the
// wait failed or `timeoutMs` passed first.
bool WaitAnsweringSentMessages(HANDLE handle, DWORD timeoutMs = INFINITE);

// User-interface side of the job's lock.
class CopyJobUiLock {
public:
    explicit CopyJobUiLock(CopyJob& job);
    ~CopyJobUiLock();
    CopyJobUiLock(const CopyJobUiLock&) = delete;
    CopyJobUiLock& operator=(const CopyJobUiLock&) = delete;

private:
    CopyJob& m_job;
    bool m_owned;
};

// Waits until the worker of the previous run, if any, has ended.
void WaitForCopyWorker(CopyJob& job);

// How long the process's end waits for a copy worker.
constexpr DWORD kCopyWorkerExitWaitMs = 5000;
// Before the process ends: gives a worker still running (a cancelled run in
// its last step) up to `timeoutMs` to finish and remove its partial file.
// True when no worker runs any more.
bool WaitForCopyWorkerBeforeExit(CopyJob& job, DWORD timeoutMs);

// The names of the job's copies, made for `rule` on first use (and anew when
// the rule or the folder changed), over the index read when the run began.
// Under the job's lock.
const DestinationNames& JobDestinationNames(CopyJob& job, const std::wstring& rule);

// After the run ended without a cancel: what the user must be told, or false
// when every item was copied or skipped and every file beside the copies was
// written. Reads the job under its lock.
bool FailedRunOf(CopyJob& job, FailedRunReport& report);

// Makes the job ready for a new run with `tracks`: waits for the previous
// worker to end, then resets the list, counters and flags. User-interface thread.
void PrepareCopyRun(CopyJob& job, std::vector<TrackEntry*> tracks, std::unique_ptr<CopyJobHost> host);
// Starts the worker on a prepared job; false when no thread could be made.
bool StartCopyWorker(CopyJob& job);
// Pauses a running job or resumes a paused one; true when it is now paused.
bool ToggleCopyPause(CopyJob& job);
// True from the start of a worker until it has made its final reports: the
// tracks of the copy list must stay in place until then. User-interface thread.
bool CopyRunActive(CopyJob& job);
// The user ended the run: no report reaches the dialog or the log after this.
// Unticks the run's tracks and the rows at once, as the worker would at its end.
void CancelCopyRun(CopyJob& job);

// The steps of the worker; RunCopyJob is its whole loop.
void RunCopyJob(CopyJob& job, CopyJobHost& host);
void StartNextItem(CopyJob& job, CopyJobHost& host);
void CopyNextChunk(CopyJob& job, CopyJobHost& host, BYTE* chunk);
void FinishCopyRun(CopyJob& job, CopyJobHost& host);
void UpdateElapsedTime(CopyJob& job, CopyJobHost& host);

// Where each track of the names' library is copied, in its order, by the
// names the copy itself uses: the one place that says where a track's copy is.
std::vector<TrackCopy> FormTrackCopies(const DestinationNames& names);
// The end of a completed run: writes the playlist and library files asked
// for, one log line each. Writes nothing more once the run is cancelled.
// `copies`: every track's copy as it is now.
void WriteRunFiles(CopyJob& job, CopyJobHost& host, const std::vector<TrackCopy>& copies);
// The end of a completed run with covers asked for: folder.jpg in each folder
// of the run's copies (copied or skipped) whose tracks carry a cover and that
// has none yet, one log line each. Stops once the run is cancelled.
void SaveRunCovers(CopyJob& job, CopyJobHost& host);
// The end of every run, cancelled or not: the index records every copy in the
// folder that belongs to a track, and keeps the older lines whose files are
// still there. Logged unless the run was cancelled.
void WriteBackupIndex(CopyJob& job, CopyJobHost& host, const std::vector<TrackCopy>& copies);
// The lines the index holds after a run: a line for every track with a
// persistent id whose copy exists, then each older line whose file exists
// (its size as `look` finds it now) unless its path is already a track's.
std::vector<IndexLine> IndexLinesAfterRun(const DestinationNames& names, const std::vector<TrackCopy>& copies,
                                          const std::vector<IndexLine>& older,
                                          const std::function<FileOnDisk(const std::wstring& relative)>& look);

// The worker thread's procedure; its parameter is the CopyJob.
DWORD WINAPI CopyWorker(LPVOID job);
