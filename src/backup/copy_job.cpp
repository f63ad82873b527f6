#include "backup/copy_job.h"

#include "backup/folder_covers.h"
#include "backup/renaming_rule.h"
#include "backup/run_files.h"
#include "backup/transfer_log.h"
#include "backup/transfer_log_place.h"

#include <shlwapi.h>
#include <strsafe.h>

#include <algorithm>
#include <climits>
#include <unordered_set>

CopyJob g_copyJob;

// --- Pure logic -------------------------------------------------------------

int FileProgressValue(uint32_t sourceSize, uint32_t bytesCopied)
{
    if (sourceSize == 0)
        return 0;
    // Each step rounded to double, as the values to the unit rely on (19 bytes
    // end at 999): the i686 build's x87 registers would otherwise keep extra
    // bits between the division and the product.
    volatile double scale = 1000.0 / static_cast<double>(sourceSize);
    volatile double value = scale * static_cast<double>(bytesCopied);
    // A source that grew while it was copied must not push the bar past its
    // end. Clamped as a double: a value beyond INT_MAX has no int to become.
    const double clamped = value;
    return static_cast<int>(std::min<double>(clamped, kFileProgressMax));
}

std::wstring FormatElapsedTime(DWORD elapsedMs)
{
    wchar_t text[64];
    StringCchPrintfW(text, ARRAYSIZE(text), L"Elapsed time: %02lu:%02lu:%02lu", elapsedMs / 3600000u,
                     (elapsedMs / 60000u) % 60u, (elapsedMs / 1000u) % 60u);
    return text;
}

bool ElapsedDisplayDue(DWORD elapsedMs, DWORD lastShownMs)
{
    return static_cast<DWORD>(elapsedMs - lastShownMs) >= kElapsedRefreshMs;
}

bool ProgressDisplayDue(DWORD now, DWORD lastShown)
{
    return static_cast<DWORD>(now - lastShown) >= kProgressRefreshMs;
}

std::wstring FormatItemCounter(int number, int count)
{
    wchar_t text[32];
    StringCchPrintfW(text, ARRAYSIZE(text), L"%d of %d", number, count);
    return text;
}

std::wstring FormatCurrentName(const std::wstring& name)
{
    std::wstring text = L"Copying: " + name;
    if (text.size() > kStatusTextCapacity - 1) {
        text.resize(kStatusTextCapacity - 1);
        // Never leave half of a surrogate pair at the cut.
        if (IS_HIGH_SURROGATE(text.back()))
            text.pop_back();
    }
    return text;
}

bool BuildSourcePath(const wchar_t* root, const wchar_t* location, wchar_t (&path)[kPathCapacity])
{
    path[0] = L'\0';
    if (!root)
        return false;
    size_t length = 0;
    for (const wchar_t* c = root; *c; ++c) {
        if (length + 1 >= kPathCapacity)
            return path[0] = L'\0', false;
        path[length++] = *c;
    }
    for (const wchar_t* c = location ? location : L""; *c; ++c) {
        if (length + 1 >= kPathCapacity)
            return path[0] = L'\0', false;
        path[length++] = (*c == L':') ? L'\\' : *c;
    }
    path[length] = L'\0';
    return true;
}

std::wstring FailureLine(const wchar_t* path, const wchar_t* reason, DWORD error)
{
    wchar_t line[kLogLineCapacity];
    if (error)
        StringCchPrintfW(line, ARRAYSIZE(line), L"failed: %ls (%ls, error %lu)", path, reason, error);
    else
        StringCchPrintfW(line, ARRAYSIZE(line), L"failed: %ls (%ls)", path, reason);
    return line;
}

std::wstring PathLine(const wchar_t* format, const wchar_t* path)
{
    wchar_t line[kLogLineCapacity];
    StringCchPrintfW(line, ARRAYSIZE(line), format, path);
    return line;
}

bool TemporaryPathFor(const wchar_t* destination, wchar_t (&path)[kPathCapacity])
{
    if (SUCCEEDED(StringCchPrintfW(path, kPathCapacity, L"%ls.part", destination)))
        return true;
    path[0] = L'\0';
    return false;
}

bool IsDiskFullError(DWORD error) { return error == ERROR_HANDLE_DISK_FULL || error == ERROR_DISK_FULL; }

std::wstring FailedRunMessage(const FailedRunReport& report)
{
    const std::wstring logSentence = report.logPath.empty() ? std::wstring(L"No transfer log could be written.")
                                                            : L"The transfer log lists why:\n" + report.logPath;
    const std::wstring filesFailed = std::to_wstring(report.filesFailed) + L" failed).";
    if (report.failed == 0)
        return L"The copies are done, but the playlist, library or index files could not all be written (" +
               filesFailed + L"\n" + logSentence;
    const std::wstring count =
        std::to_wstring(report.failed) + L" of " + std::to_wstring(report.items) + L" tracks could not be copied.";
    std::wstring text = report.diskFull ? L"The destination disk is full: " + count : count;
    // Once the iPod is gone its tracks are no longer listed, ticked or not.
    text += report.ipodRemoved ? L"\nThe iPod was removed during the copy." : L"\nThey are still ticked.";
    if (report.filesFailed > 0)
        text += L"\nThe playlist, library or index files could not all be written either (" + filesFailed;
    return text + L" " + logSentence;
}

bool FileExists(const wchar_t* path)
{
    // No "insert a disk" box for an iPod that went away. GetFileAttributesW,
    // unlike a directory search, takes "?" and "*" in a rule literally and
    // accepts a folder written with its trailing backslash.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const DWORD attributes = GetFileAttributesW(path);
    SetErrorMode(previous);
    return attributes != INVALID_FILE_ATTRIBUTES;
}

void CreateDirectoryPath(const wchar_t* path)
{
    if (!path || !*path || FileExists(path))
        return;
    wchar_t buffer[kPathCapacity];
    if (FAILED(StringCchCopyW(buffer, kPathCapacity, path)))
        return;
    // A folder typed without a drive has no root to skip: walk it from its start.
    wchar_t* cursor = PathSkipRootW(buffer);
    if (!cursor)
        cursor = buffer;
    for (;; cursor = CharNextW(cursor)) {
        const wchar_t stop = *cursor;
        if (stop != L'\\' && stop != L'\0')
            continue;
        *cursor = L'\0';
        if (buffer[0] && !FileExists(buffer))
            CreateDirectoryW(buffer, nullptr);
        *cursor = stop;
        if (stop == L'\0')
            break;
    }
}

// --- Locking ----------------------------------------------------------------

bool WaitAnsweringSentMessages(HANDLE handle, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        const DWORD result = MsgWaitForMultipleObjectsEx(1, &handle, 50, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED_0)
            return true;
        if (result == WAIT_FAILED)
            return false;
        // Unsigned: a wrapped tick count is fine.
        if (timeoutMs != INFINITE && GetTickCount() - start >= timeoutMs)
            return false;
    }
}

CopyJob::CopyJob() : lock(CreateMutexW(nullptr, FALSE, nullptr)), wake(CreateEventW(nullptr, FALSE, FALSE, nullptr))
{
}

CopyJobLock::CopyJobLock(CopyJob& job) : m_job(job) { WaitForSingleObject(job.lock.Get(), INFINITE); }

CopyJobLock::~CopyJobLock() { ReleaseMutex(m_job.lock.Get()); }

CopyJobUiLock::CopyJobUiLock(CopyJob& job) : m_job(job), m_owned(WaitAnsweringSentMessages(job.lock.Get())) {}

CopyJobUiLock::~CopyJobUiLock()
{
    if (m_owned)
        ReleaseMutex(m_job.lock.Get());
}

namespace {

// Runs `report` unless the run was cancelled; the lock keeps a cancel (and
// with it the dialog's end and the log's close) from slipping in between.
template <class Report>
void ReportUnlessCancelled(CopyJob& job, CopyJobHost& host, Report&& report)
{
    CopyJobLock guard(job);
    if (!job.cancelled)
        host.RunReports(report);
}

void UntickRun(CopyJob& job)
{
    for (TrackEntry* track : job.copyList)
        track->isChecked = 0;
}

// A failed track stays ticked, so the next Copy tries it again.
void UntickDone(CopyJob& job)
{
    for (size_t i = 0; i < job.copyList.size(); ++i)
        job.copyList[i]->isChecked = i < job.outcomes.size() && job.outcomes[i] == CopyOutcome::Failed;
}

}  // namespace

// --- Preparing, cancelling --------------------------------------------------

void WaitForCopyWorker(CopyJob& job)
{
    if (!job.workerThread.Get())
        return;
    WaitAnsweringSentMessages(job.workerThread.Get());
    job.workerThread.Reset(nullptr);
}

bool WaitForCopyWorkerBeforeExit(CopyJob& job, DWORD timeoutMs)
{
    // The handle is kept: after a timeout the worker still runs.
    return !job.workerThread.Get() || WaitAnsweringSentMessages(job.workerThread.Get(), timeoutMs);
}

void PrepareCopyRun(CopyJob& job, std::vector<TrackEntry*> tracks, std::unique_ptr<CopyJobHost> host)
{
    WaitForCopyWorker(job);
    job.copyList = std::move(tracks);
    job.library = LibrarySource();
    job.names.reset();
    job.index = BackupIndex();
    job.indexFolder.clear();
    job.indexedCopies.clear();
    job.diskFull = false;
    job.filesFailed = 0;
    job.outcomes.assign(job.copyList.size(), CopyOutcome::NotReached);
    job.paused = 0;
    job.cancelled = 0;
    job.sourceRemoved = 0;
    job.itemCount = static_cast<int32_t>(std::min<size_t>(job.copyList.size(), INT32_MAX));
    job.position = 0;
    job.currentItem.reset();
    job.runEnded = false;
    job.host = std::move(host);
    ResetEvent(job.wake.Get());
}

bool StartCopyWorker(CopyJob& job)
{
    // Suspended until the handle is stored, so the job never holds a handle
    // of a thread that has already gone.
    HANDLE thread = CreateThread(nullptr, 0, CopyWorker, &job, CREATE_SUSPENDED, nullptr);
    if (!thread)
        return false;
    job.workerThread.Reset(thread);
    ResumeThread(thread);
    return true;
}

bool ToggleCopyPause(CopyJob& job)
{
    const bool paused = (job.paused ^= 1u) != 0;
    SetEvent(job.wake.Get());
    return paused;
}

bool CopyRunActive(CopyJob& job)
{
    if (!job.workerThread.Get())
        return false;
    CopyJobUiLock guard(job);
    return !job.runEnded;
}

void CancelCopyRun(CopyJob& job)
{
    CopyJobUiLock guard(job);
    if (job.runEnded || job.cancelled)
        return;
    job.cancelled = 1;
    SetEvent(job.wake.Get());   // a paused worker ends now, not at its next wake-up
    // The worker will not touch the tracks again; the user interface can be
    // used (and the library reloaded) before it has finished its last step.
    UntickRun(job);
    if (job.host)
        job.host->ShowRowChecks();
}

const DestinationNames& JobDestinationNames(CopyJob& job, const std::wstring& rule)
{
    if (!job.names || job.names->Rule() != rule || job.names->Folder() != job.destinationFolder) {
        std::vector<const TrackEntry*> tracks = job.library.tracks;
        if (tracks.empty())
            tracks.assign(job.copyList.begin(), job.copyList.end());
        static const std::vector<IndexedCopy> kNone;
        const bool indexHere = job.indexFolder == job.destinationFolder;
        job.names = std::make_unique<DestinationNames>(job.destinationFolder, rule.c_str(), tracks,
                                                       indexHere ? job.indexedCopies : kNone);
    }
    return *job.names;
}

bool FailedRunOf(CopyJob& job, FailedRunReport& report)
{
    CopyJobUiLock guard(job);
    report.failed = static_cast<int>(std::count(job.outcomes.begin(), job.outcomes.end(), CopyOutcome::Failed));
    report.items = job.itemCount;
    report.diskFull = job.diskFull;
    report.ipodRemoved = job.sourceRemoved != 0;
    report.filesFailed = job.filesFailed;
    return job.runEnded && !job.cancelled && (report.failed > 0 || report.filesFailed > 0);
}

// --- The worker -------------------------------------------------------------

namespace {

// What one item needs from the track and the settings, read under the lock.
struct ItemPlan {
    int number = 0;   // 1-based
    wchar_t source[kPathCapacity] = {};
    ItemDestination destination;
    bool skipIfExists = false;
    const wchar_t* problem = nullptr;
};

bool PlanItem(CopyJob& job, CopyJobHost& host, ItemPlan& plan)
{
    CopyJobLock guard(job);
    if (job.cancelled)
        return false;
    const TrackEntry& track = *job.copyList[job.position];
    plan.number = job.position + 1;
    plan.skipIfExists = host.TransferOverwrite() == 1;
    const bool fits = JobDestinationNames(job, host.RenamingRule()).Find(&track, plan.destination);
    wchar_t root[kPathCapacity];
    if (!host.SourceRoot(root))
        plan.problem = L"no iPod selected";
    else if (!BuildSourcePath(root, track.location.get(), plan.source))
        plan.problem = L"source path too long";
    if (!fits)
        plan.problem = L"destination path too long";
    return true;
}

void CreateDestinationFolder(const wchar_t* destination)
{
    wchar_t folder[kPathCapacity];
    if (FAILED(StringCchCopyW(folder, kPathCapacity, destination)))
        return;
    PathRemoveFileSpecW(folder);
    if (!folder[0])
        return;   // a bare name: it goes to the current folder
    if (wcslen(folder) + 2 > kPathCapacity)
        return;
    PathAddBackslashW(folder);
    CreateDirectoryPath(folder);
}

void EndItem(CopyJob& job, CopyOutcome outcome)
{
    job.outcomes[static_cast<size_t>(job.position)] = outcome;
    ++job.position;
}

void EndFailedItem(CopyJob& job, DWORD error)
{
    job.diskFull = job.diskFull || IsDiskFullError(error);
    EndItem(job, CopyOutcome::Failed);
}

// Opens the source and the file the item is written to. On failure the
// reason and the system's error code are returned; nothing was written.
const wchar_t* OpenItemFiles(CopyItem& item, const wchar_t* source, DWORD& error)
{
    item.source.Reset(CreateFileW(source, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!item.source.IsOpen())
        return error = GetLastError(), L"cannot open source";
    if (!TemporaryPathFor(item.destinationPath, item.writePath))
        StringCchCopyW(item.writePath, kPathCapacity, item.destinationPath);
    item.destination.Reset(CreateFileW(item.writePath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!item.destination.IsOpen())
        return error = GetLastError(), L"cannot create destination";
    item.written = true;
    item.sourceSize = GetFileSize(item.source.Get(), nullptr);
    return nullptr;
}

// Moves the file bar when its value changed and, unless `always`, when the
// last move is old enough.
void ShowFileProgress(CopyJob& job, CopyJobHost& host, int value, bool always)
{
    const DWORD now = host.TickCount();
    if (value == job.fileProgressShown || (!always && !ProgressDisplayDue(now, job.lastProgressShown)))
        return;
    job.fileProgressShown = value;
    job.lastProgressShown = now;
    ReportUnlessCancelled(job, host, [&] { host.SetFileProgress(value); });
}

// The bar always shows where the item ended.
void ShowItemEnd(CopyJob& job, CopyJobHost& host)
{
    const CopyItem& item = *job.currentItem;
    ShowFileProgress(job, host, FileProgressValue(item.sourceSize, item.bytesCopied), true);
}

// Ends the current item without keeping its file; the run goes on.
void FailCurrentItem(CopyJob& job, CopyJobHost& host, const wchar_t* reason, DWORD error)
{
    ShowItemEnd(job, host);
    const std::wstring line = FailureLine(job.currentItem->destinationPath, reason, error);
    job.currentItem.reset();
    EndFailedItem(job, error);
    ReportUnlessCancelled(job, host, [&] { host.Log(line.c_str()); });
}

void CompleteCurrentItem(CopyJob& job, CopyJobHost& host)
{
    CopyItem& item = *job.currentItem;
    item.source.Close();
    item.destination.Close();
    if (wcscmp(item.writePath, item.destinationPath) != 0 &&
        !MoveFileExW(item.writePath, item.destinationPath, MOVEFILE_REPLACE_EXISTING)) {
        FailCurrentItem(job, host, L"cannot rename the finished copy", GetLastError());
        return;
    }
    item.complete = true;
    ShowItemEnd(job, host);
    job.currentItem.reset();
    EndItem(job, CopyOutcome::Copied);
}

void ReportItemStart(CopyJob& job, CopyJobHost& host, const ItemPlan& plan, const std::vector<std::wstring>& lines)
{
    job.fileProgressShown = 0;
    job.lastProgressShown = host.TickCount();
    ReportUnlessCancelled(job, host, [&] {
        for (const std::wstring& line : lines)
            host.Log(line.c_str());
        host.SetOverallProgress(job.position);
        host.SetFileProgress(0);
        host.SetCounterText(FormatItemCounter(plan.number, job.itemCount).c_str());
        host.SetNameText(FormatCurrentName(plan.destination.expandedName).c_str());
    });
}

}  // namespace

CopyItem::~CopyItem()
{
    source.Close();
    destination.Close();
    if (written && !complete)
        DeleteFileW(writePath);
}

void StartNextItem(CopyJob& job, CopyJobHost& host)
{
    ItemPlan plan;
    if (!PlanItem(job, host, plan))
        return;
    const wchar_t* path = plan.destination.written.path.c_str();
    std::vector<std::wstring> lines;
    if (plan.problem) {
        lines.push_back(FailureLine(path[0] ? path : plan.destination.expandedName.c_str(), plan.problem, 0));
        EndFailedItem(job, 0);
    } else {
        CreateDestinationFolder(path);
        if (plan.skipIfExists && FileExists(path)) {
            lines.push_back(PathLine(kLogIgnore, path));
            EndItem(job, CopyOutcome::SkippedExisting);
        } else {
            auto item = std::make_unique<CopyItem>();
            StringCchCopyW(item->destinationPath, kPathCapacity, path);
            DWORD error = 0;
            const wchar_t* failure = OpenItemFiles(*item, plan.source, error);
            lines.push_back(PathLine(kLogCopying, path));
            if (failure) {
                lines.push_back(FailureLine(path, failure, error));
                EndFailedItem(job, error);   // the item's destructor removes what it created
            } else {
                job.currentItem = std::move(item);
            }
        }
    }
    ReportItemStart(job, host, plan, lines);
}

void CopyNextChunk(CopyJob& job, CopyJobHost& host, BYTE* chunk)
{
    CopyItem& item = *job.currentItem;
    DWORD read = 0;
    if (!ReadFile(item.source.Get(), chunk, job.chunkBytes, &read, nullptr)) {
        FailCurrentItem(job, host, L"read error", GetLastError());
        return;
    }
    if (read == 0) {
        CompleteCurrentItem(job, host);
        return;
    }
    DWORD written = 0;
    if (!WriteFile(item.destination.Get(), chunk, read, &written, nullptr) || written != read) {
        const DWORD error = GetLastError();
        FailCurrentItem(job, host, L"write error", error ? error : ERROR_HANDLE_DISK_FULL);
        return;
    }
    item.bytesCopied += read;
    if (read < job.chunkBytes)
        CompleteCurrentItem(job, host);
    else
        ShowFileProgress(job, host, FileProgressValue(item.sourceSize, item.bytesCopied), false);
}

void FinishCopyRun(CopyJob& job, CopyJobHost& host)
{
    CopyJobLock guard(job);
    job.runEnded = true;
    if (job.cancelled)
        return;   // the cancel has unticked everything and closed the dialog
    UntickDone(job);
    job.copyList.clear();
    job.library = LibrarySource();
    job.names.reset();
    host.SetOverallProgress(job.position);   // the bar ends full, however fast the last items went
    host.ShowRowChecks();
    host.CloseDialog();
}

void UpdateElapsedTime(CopyJob& job, CopyJobHost& host)
{
    const DWORD elapsed = host.TickCount() - job.startTick;
    if (!ElapsedDisplayDue(elapsed, job.lastElapsedShown))
        return;
    job.lastElapsedShown = elapsed;
    const std::wstring text = FormatElapsedTime(elapsed);
    ReportUnlessCancelled(job, host, [&] { host.SetElapsedText(text.c_str()); });
}

std::vector<TrackCopy> FormTrackCopies(const DestinationNames& names)
{
    std::vector<TrackCopy> copies(names.Copies().size());
    for (size_t i = 0; i < copies.size(); ++i) {
        const DestinationPath& written = names.Copies()[i].destination.written;
        copies[i].onDisk = written.path;
        copies[i].relativeStart = written.relativeStart;
    }
    return copies;
}

std::vector<IndexLine> IndexLinesAfterRun(const DestinationNames& names, const std::vector<TrackCopy>& copies,
                                          const std::vector<IndexLine>& older,
                                          const std::function<FileOnDisk(const std::wstring&)>& look)
{
    std::vector<IndexLine> lines;
    std::unordered_set<std::wstring> paths;   // folded
    for (size_t i = 0; i < copies.size() && i < names.Copies().size(); ++i) {
        const TrackCopy& copy = copies[i];
        const uint64_t id = names.Copies()[i].persistentId;
        if (!copy.exists || id == 0)
            continue;
        const std::wstring relative = copy.onDisk.substr(std::min(copy.relativeStart, copy.onDisk.size()));
        if (paths.insert(FoldedPath(relative)).second)
            lines.push_back({id, relative, copy.bytes});
    }
    for (const IndexLine& line : older) {
        if (!paths.insert(FoldedPath(line.path)).second)
            continue;
        const FileOnDisk file = look(line.path);
        if (file.exists)
            lines.push_back({line.persistentId, line.path, file.bytes});
    }
    return lines;
}

namespace {

// The folder's index and the files of its lines, looked at outside the lock
// (with 40,000 lines that takes a while, and a Cancel must not wait for it);
// then the names of every copy, over them, under the lock.
void NameTheCopies(CopyJob& job, CopyJobHost& host)
{
    std::wstring folder;
    {
        CopyJobLock guard(job);
        if (job.cancelled)
            return;
        folder = job.destinationFolder;
    }
    job.index = ReadBackupIndex(folder);
    job.indexFolder = folder;
    for (const IndexLine& line : job.index.lines) {
        IndexedCopy copy{line.persistentId, JoinPath(folder, line.path.c_str()), false};
        const FileOnDisk file = LookAtFile(copy.path);
        copy.sizeAsRecorded = file.bytes == line.bytes;
        if (file.exists)
            job.indexedCopies.push_back(std::move(copy));
    }
    const std::wstring problem = IndexProblemLine(IndexPathIn(folder), job.index);
    CopyJobLock guard(job);
    if (job.cancelled)
        return;
    JobDestinationNames(job, host.RenamingRule());
    if (!problem.empty())
        host.RunReports([&] { host.Log(problem.c_str()); });
}

// Every track's copy as it is now; the names touch no track, so this runs
// outside the lock and after a cancel too.
std::vector<TrackCopy> LookAtCopies(CopyJob& job)
{
    std::vector<TrackCopy> copies;
    if (job.names) {
        copies = FormTrackCopies(*job.names);
        CheckCopies(copies);
    }
    return copies;
}

bool ComposeRunFilesLocked(CopyJob& job, const std::vector<TrackCopy>& copies, std::vector<RunFile>& files)
{
    CopyJobLock guard(job);
    if (job.cancelled || !job.names || !job.library.WritesAnything())
        return false;
    files = ComposeRunFiles(job.library, copies, CurrentLibraryFileInfo(job.names->Folder().c_str()), *job.names);
    return true;
}

// The log's line for a file written beside the copies; counts a failure.
std::wstring WriteRunFile(CopyJob& job, const RunFile& file, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
{
    DWORD error = 0;
    FileWrite how;
    how.attributes = attributes;
    const wchar_t* failure = file.path.empty() ? L"destination path too long"
                                               : WriteFileThroughTemporary(file.path.c_str(), file.bytes, error, how);
    if (!failure)
        return PathLine(file.logFormat, file.path.c_str());
    CopyJobLock guard(job);
    ++job.filesFailed;
    return FailureLine(file.path.empty() ? file.name.c_str() : file.path.c_str(), failure, error);
}

}  // namespace

void WriteRunFiles(CopyJob& job, CopyJobHost& host, const std::vector<TrackCopy>& copies)
{
    std::vector<RunFile> files;
    if (!ComposeRunFilesLocked(job, copies, files))
        return;
    for (const RunFile& file : files) {
        if (job.cancelled)
            return;
        const std::wstring line = WriteRunFile(job, file);
        ReportUnlessCancelled(job, host, [&] { host.Log(line.c_str()); });
    }
}

void WriteBackupIndex(CopyJob& job, CopyJobHost& host, const std::vector<TrackCopy>& copies)
{
    if (!job.names || !IndexWritable(job.index))
        return;
    const std::wstring& folder = job.indexFolder;
    const std::vector<IndexLine> lines = IndexLinesAfterRun(*job.names, copies, job.index.lines,
        [&folder](const std::wstring& relative) { return LookAtFile(JoinPath(folder, relative.c_str())); });
    // A folder that never had an index and has no copy to remember gets none.
    if (lines.empty() && job.index.state == IndexState::kAbsent)
        return;
    RunFile file;
    file.logFormat = kLogIndex;
    file.path = IndexPathIn(job.indexFolder);
    file.bytes = IndexText(lines);
    // Made hidden: the rename hands the attribute on to the index.
    const std::wstring line = WriteRunFile(job, file, FILE_ATTRIBUTE_HIDDEN);
    ReportUnlessCancelled(job, host, [&] { host.Log(line.c_str()); });
}

namespace {

// Read under the lock: once the run is cancelled the tracks may go.
bool CollectCoverRun(CopyJob& job, CopyJobHost& host, CoverRun& run)
{
    CopyJobLock guard(job);
    wchar_t root[kPathCapacity];
    if (job.cancelled || !job.library.saveCovers || !job.names || !host.SourceRoot(root))
        return false;
    run.ipodRoot = root;
    for (size_t i = 0; i < job.copyList.size() && i < job.outcomes.size(); ++i) {
        const bool inFolder = job.outcomes[i] == CopyOutcome::Copied || job.outcomes[i] == CopyOutcome::SkippedExisting;
        const TrackEntry& track = *job.copyList[i];
        ItemDestination destination;
        if (!inFolder || !job.names->Find(&track, destination))
            continue;
        const std::wstring& path = destination.written.path;
        const size_t slash = path.rfind(L'\\');
        run.tracks.push_back({slash == std::wstring::npos ? std::wstring() : path.substr(0, slash),
                              track.persistentId, track.artworkLink});
    }
    return !run.tracks.empty();
}

}  // namespace

void SaveRunCovers(CopyJob& job, CopyJobHost& host)
{
    CoverRun run;
    if (!CollectCoverRun(job, host, run))
        return;
    SaveFolderCovers(run, [&](const std::wstring& line) {
        ReportUnlessCancelled(job, host, [&] { host.Log(line.c_str()); });
        return !job.cancelled;
    });
}

void RunCopyJob(CopyJob& job, CopyJobHost& host)
{
    std::vector<BYTE> chunk(job.chunkBytes);
    job.startTick = host.TickCount();
    job.lastElapsedShown = 0;
    NameTheCopies(job, host);
    while (job.position < job.itemCount && !job.cancelled) {
        if (!job.currentItem)
            StartNextItem(job, host);
        else if (job.paused)
            host.WaitWhilePaused(job.wake.Get(), kPausedWaitMs);
        else
            CopyNextChunk(job, host, chunk.data());
        if (job.cancelled)
            break;
        UpdateElapsedTime(job, host);
        host.AfterStep();
    }
    job.currentItem.reset();   // after a cancel: closes the files, removes the partial one
    const std::vector<TrackCopy> copies = LookAtCopies(job);
    WriteRunFiles(job, host, copies);
    SaveRunCovers(job, host);
    WriteBackupIndex(job, host, copies);
    FinishCopyRun(job, host);
}

DWORD WINAPI CopyWorker(LPVOID parameter)
{
    CopyJob& job = *static_cast<CopyJob*>(parameter);
    RunCopyJob(job, *job.host);
    return 0;
}
