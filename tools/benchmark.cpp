// Reports how fast Savanto's engine runs on a generated 40,000-track iPod.
// Figures only: it asserts nothing. Build x86_64 and run under wine64:
//   build/x86_64/wine-run build/x86_64/tools/savanto_bench.exe
#include "backup/copy_job.h"
#include "backup/com_ref.h"
#include "backup/copy_progress_dialog.h"
#include "backup/folder_covers.h"
#include "backup/transfer_log.h"
#include "backup/run_files.h"
#include "device/ipod_list.h"
#include "db/artwork_db.h"
#include "db/itunesdb.h"
#include "ipodgen/sample_ipod.h"
#include "library/app_globals.h"
#include "library/media_library.h"
#include "library/views.h"
#include "resource.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kTracks = 40000;
constexpr int kRuns = 5;

double NowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The calling thread's processor time, in steps of the system's tick (10 ms
// under Wine). The list view works on the calling thread, so this measures
// it without the waits that other processes on a busy machine add.
double ThreadCpuMs()
{
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

// Best of kRuns: the least disturbed run is the one that measures the code.
double BestMs(const std::function<void()>& work, double (*clock)() = NowMs)
{
    double best = 1e300;
    for (int i = 0; i < kRuns; ++i) {
        const double start = clock();
        work();
        best = std::min(best, clock() - start);
    }
    return best;
}

double BestCpuMs(const std::function<void()>& work) { return BestMs(work, ThreadCpuMs); }

std::wstring TempFolder()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"savanto-bench";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void BenchReader(const std::wstring& dbPath, size_t dbBytes)
{
    size_t tracks = 0, playlists = 0;
    const double ms = BestMs([&] {
        CiTunesDB db;
        db.Open(dbPath.c_str());
        const uint32_t playlistCount = db.GetPlaylistCount();
        db.SeekFirstPlaylist();
        playlists = 0;
        for (uint32_t i = 0; i < playlistCount; ++i) {
            PlaylistEntry playlist;
            if (!db.ReadPlaylist(playlist))
                break;
            ++playlists;
        }
        const uint32_t trackCount = db.GetTrackCount();
        db.SeekFirstTrack();
        std::vector<std::unique_ptr<TrackEntry>> all;
        all.reserve(trackCount);
        for (uint32_t i = 0; i < trackCount; ++i) {
            auto track = db.ReadTrack();
            if (!track)
                break;
            all.push_back(std::move(track));
        }
        tracks = all.size();
    });
    wprintf(L"reader: %zu tracks, %zu playlists, %.1f MB database: %.1f ms, %.0f tracks/s\n", tracks,
            playlists, dbBytes / 1e6, ms, tracks / (ms / 1000.0));
}

// A stand-in main window with the controls the library drives: the list
// view, the tree and the search box, with their real ids.
struct HostWindow {
    HWND window = nullptr, list = nullptr, tree = nullptr, search = nullptr;

    HostWindow()
    {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        window = CreateWindowExW(0, L"STATIC", L"bench", WS_OVERLAPPEDWINDOW, 0, 0, 900, 600, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        list = Child(WC_LISTVIEWW, LVS_REPORT | LVS_SHOWSELALWAYS, IDC_MEDIA_LIST);
        tree = Child(WC_TREEVIEWW, TVS_HASBUTTONS | TVS_HASLINES, IDC_PLAYLIST_TREE);
        search = Child(L"EDIT", ES_AUTOHSCROLL, IDC_SEARCH);
        g_hMainWnd = window;
        InitMediaList(list);
        InitPlaylistTree(tree);
    }
    ~HostWindow()
    {
        g_hMainWnd = nullptr;
        DestroyWindow(window);
    }
    HWND Child(const wchar_t* cls, DWORD style, int id)
    {
        return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 800, 500, window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    }
};

// --- The floor: the list view itself ----------------------------------------

// One row's six cells, made before any clock starts.
using RowTexts = std::array<std::wstring, 6>;

std::vector<RowTexts> RowTextsOf(const std::vector<std::unique_ptr<TrackEntry>>& tracks, const std::vector<int>& rows)
{
    std::vector<RowTexts> texts;
    texts.reserve(rows.size());
    for (int position : rows) {
        const TrackEntry& track = *tracks[position];
        wchar_t time[32], number[16];
        swprintf(time, 32, L"%d:%02d", track.lengthMs / 60000, (track.lengthMs / 1000) % 60);
        swprintf(number, 16, L"%d", track.trackNumber);
        auto text = [](const OwnedText& t) { return std::wstring(t ? t.get() : L""); };
        texts.push_back({text(track.title), text(track.artist), text(track.album), text(track.genre), time, number});
    }
    return texts;
}

// A list view like the media list (styles, six columns), driven by list-view
// messages alone.
HWND CreateBareList(HWND parent, DWORD extendedStyles)
{
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0,
                                800, 500, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, extendedStyles);
    const wchar_t* headings[] = {L"Title", L"Artist", L"Album", L"Genre", L"Time", L"Track"};
    for (int i = 0; i < 6; ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.cx = 100;
        column.pszText = const_cast<wchar_t*>(headings[i]);
        column.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    return list;
}

// Empties the list, then inserts the rows at the top from the last, each
// with its five further cells: what any fill of these rows costs.
void BareFill(HWND list, const std::vector<RowTexts>& rows)
{
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.pszText = const_cast<wchar_t*>((*row)[0].c_str());
        const int index = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        for (int column = 1; column < 6; ++column) {
            LVITEMW cell = {};
            cell.iSubItem = column;
            cell.pszText = const_cast<wchar_t*>((*row)[column].c_str());
            SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&cell));
        }
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

// The floor of one library figure: the bare list starts from the rows the
// media list held and ends with the rows it shows.
double FloorMs(HWND bare, const std::vector<RowTexts>& rows)
{
    BareFill(bare, rows);
    return BestCpuMs([&] { BareFill(bare, rows); });
}

void PrintBesideFloor(const wchar_t* what, double libraryMs, double floorMs)
{
    const double share = libraryMs - floorMs;
    wprintf(L"  %-34ls %8.1f ms %8.1f ms %8.1f ms (%3.0f%%)\n", what, libraryMs, floorMs, share,
            libraryMs > 0 ? 100.0 * share / libraryMs : 0.0);
}

void BenchLibrary(const std::wstring& dbPath)
{
    HostWindow host;
    CMediaLibrary library;
    library.SetListView(host.list);
    library.SetTreeView(host.tree);
    HWND bare = CreateBareList(host.window, ListView_GetExtendedListViewStyle(host.list));

    const double loadMs = BestCpuMs([&] {
        SetWindowTextW(host.search, L"");
        library.LoadDatabase(dbPath.c_str());
        library.Refresh();
    });
    const int loadedRows = ListView_GetItemCount(host.list);
    const auto allRows = RowTextsOf(library.Tracks(), library.VisibleRows());
    const double allFloorMs = FloorMs(bare, allRows);
    const double readMs = BestCpuMs([&] { library.LoadDatabase(dbPath.c_str()); });
    library.Refresh();
    const double fillMs = BestCpuMs([&] { library.Refresh(); });

    // How the fill grows with the number of rows (the list view's own cost).
    std::vector<std::wstring> growth;
    for (int rows : {kTracks / 4, kTracks / 2, kTracks}) {
        std::vector<int> positions(library.VisibleRows().begin(), library.VisibleRows().begin() + rows);
        const double ms = BestCpuMs([&] { FillMediaList(host.list, library.Tracks(), positions); });
        wchar_t line[64];
        swprintf(line, 64, L"  fill %d rows: %.0f ms", rows, ms);
        growth.push_back(line);
    }
    library.Refresh();

    // "harbour" is in one artist's name and in album words: a mid-sized result.
    SetWindowTextW(host.search, L"HARBOUR");
    const double searchMs = BestCpuMs([&] { library.Refresh(); });
    const int searchRows = ListView_GetItemCount(host.list);
    const double searchFloorMs = FloorMs(bare, RowTextsOf(library.Tracks(), library.VisibleRows()));

    SetWindowTextW(host.search, L"zzz");
    const double emptySearchMs = BestCpuMs([&] { library.Refresh(); });
    const double emptyFloorMs = FloorMs(bare, {});

    wprintf(L"media list, in the thread's processor time (10 ms steps), best of %d runs:\n", kRuns);
    wprintf(L"  library load alone (reads the database, the list unchanged): %d tracks: %.0f ms\n",
            library.GetItemCount(), readMs);
    for (const std::wstring& line : growth)
        wprintf(L"%ls\n", line.c_str());
    wprintf(L"  beside the floor: a bare list view of the same styles and columns, emptied and filled at\n"
            L"  the top with the same rows by list-view messages alone; the share is what the library adds:\n");
    wprintf(L"  %-34ls %11ls %11ls %22ls\n", L"", L"library", L"floor", L"library's share");
    const std::wstring all = L"(" + std::to_wstring(loadedRows) + L" rows)";
    PrintBesideFloor((L"load + fill " + all).c_str(), loadMs, allFloorMs);
    PrintBesideFloor((L"refresh, no search " + all).c_str(), fillMs, allFloorMs);
    PrintBesideFloor((L"search \"HARBOUR\" (" + std::to_wstring(searchRows) + L" rows)").c_str(), searchMs,
                     searchFloorMs);
    PrintBesideFloor(L"search \"zzz\" (no match)", emptySearchMs, emptyFloorMs);

    SetWindowTextW(host.search, L"");
    library.Clear();
    library.Refresh();
    DestroyWindow(bare);
}

// --- The program's own load path ----------------------------------------------

// Runs this thread's messages until `done`: the load worker hands the views'
// rebuild to this thread, as it does to the main window's.
template <typename Done>
void PumpUntil(Done done)
{
    while (!done()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
}

struct RowFill {
    HWND list;
    const TrackArray* tracks;
    const std::vector<int>* rows;
};

DWORD WINAPI FillFromThisThread(LPVOID parameter)
{
    const auto* fill = static_cast<const RowFill*>(parameter);
    FillMediaList(fill->list, *fill->tracks, *fill->rows);
    return 0;
}

// The load worker started as the selector starts it, timed until its last
// row is in the list; beside it the same load and fill on the window's own
// thread, and a fill driven row by row from a second thread, which is how the
// worker filled the list before the views' rebuild moved to their thread.
void BenchWorkerLoad()
{
    // The worker takes a drive root: H:, a folder of the build's Wine prefix
    // (the tests' drive; the benchmark is not run beside them).
    const wchar_t root[] = L"H:\\";
    const std::wstring itunes = std::wstring(root) + L"iPod_Control\\iTunes";
    HostWindow host;
    CMediaLibrary library;
    library.SetListView(host.list);
    library.SetTreeView(host.tree);
    g_pLibrary = &library;
    HWND bare = CreateBareList(host.window, ListView_GetExtendedListViewStyle(host.list));
    for (int count : {5000, kTracks}) {
        ipodgen::SampleIpodOptions options;
        options.trackCount = count;
        options.mediaFiles = false;
        if (!ipodgen::CreateSampleIpod(root, options)) {
            wprintf(L"worker load: cannot make the sample iPod on %ls\n", root);
            break;
        }
        int workerRows = 0;
        const double workerMs = BestMs([&] {
            library.Clear();
            library.Refresh();
            g_busy = 1;
            HANDLE thread = CreateThread(nullptr, 0, LoadThreadProc, const_cast<wchar_t*>(root), 0, nullptr);
            CloseHandle(thread);
            PumpUntil([&] { return g_busy == 0; });
            workerRows = ListView_GetItemCount(host.list);
        });
        const std::wstring dbPath = itunes + L"\\iTunesDB";
        const double windowMs = BestMs([&] {
            library.LoadDatabase(dbPath.c_str());
            library.Refresh();
        });
        if (workerRows != count || ListView_GetItemCount(host.list) != count)
            wprintf(L"load: %d and %d rows instead of %d\n", workerRows, ListView_GetItemCount(host.list), count);
        const auto rows = RowTextsOf(library.Tracks(), library.VisibleRows());
        BareFill(bare, rows);
        const double floorMs = BestMs([&] { BareFill(bare, rows); });
        wprintf(L"load of %d tracks, wall time: worker path (as the selector starts it) %.1f ms, "
                L"on the window's thread %.1f ms (ratio %.2f), bare list view's floor %.1f ms\n",
                count, workerMs, windowMs, workerMs / windowMs, floorMs);
        DeleteFileW(dbPath.c_str());
        DeleteFileW((itunes + L"\\DeviceInfo").c_str());
        RemoveDirectoryW(itunes.c_str());
        RemoveDirectoryW((std::wstring(root) + L"iPod_Control").c_str());
    }

    // The old path, for comparison: one cross-thread message per insert and cell.
    constexpr int kOldPathRows = 5000;
    if (library.GetItemCount() < kOldPathRows) {
        g_pLibrary = nullptr;
        return;
    }
    std::vector<int> rows(kOldPathRows);
    for (int i = 0; i < kOldPathRows; ++i)
        rows[i] = i;
    RowFill fill = {host.list, &library.Tracks(), &rows};
    const double start = NowMs();
    HANDLE thread = CreateThread(nullptr, 0, FillFromThisThread, &fill, 0, nullptr);
    PumpUntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; });
    CloseHandle(thread);
    const double crossMs = NowMs() - start;
    const double ownMs = BestMs([&] { FillMediaList(host.list, library.Tracks(), rows); });
    wprintf(L"fill of %d rows driven from a second thread (the old worker path): %.1f ms; "
            L"on the list's own thread: %.1f ms\n",
            kOldPathRows, crossMs, ownMs);
    library.Clear();
    library.Refresh();
    g_pLibrary = nullptr;
}

// --- Copy throughput ---------------------------------------------------------

// Runs the copy worker's loop without a dialog: what the chunk work costs.
class BenchCopyHost : public CopyJobHost {
public:
    explicit BenchCopyHost(const std::wstring& root) : m_root(root) {}
    bool SourceRoot(wchar_t (&root)[kPathCapacity]) override
    {
        wcscpy(root, m_root.c_str());
        return true;
    }
    std::wstring RenamingRule() override { return L"<title>"; }
    DWORD TransferOverwrite() override { return 0; }
    DWORD TickCount() override { return GetTickCount(); }
    void Log(const wchar_t*) override {}
    void SetOverallProgress(int) override {}
    void SetFileProgress(int) override {}
    void SetCounterText(const wchar_t*) override {}
    void SetNameText(const wchar_t*) override {}
    void SetElapsedText(const wchar_t*) override {}
    void ShowRowChecks() override {}
    void CloseDialog() override {}

private:
    std::wstring m_root;
};

// The progress dialog's own host, reading from the benchmark's folders.
class BenchDialogHost : public DialogCopyHost {
public:
    BenchDialogHost(HWND dialog, const std::wstring& root) : DialogCopyHost(dialog), m_root(root) {}
    bool SourceRoot(wchar_t (&root)[kPathCapacity]) override
    {
        wcscpy(root, m_root.c_str());
        return true;
    }
    std::wstring RenamingRule() override { return L"<title>"; }
    DWORD TransferOverwrite() override { return 0; }
    void ShowRowChecks() override {}

private:
    std::wstring m_root;
};

struct CopySet {
    std::wstring source, target;
    std::vector<std::unique_ptr<TrackEntry>> tracks;
    std::vector<std::wstring> names;
    double megabytes = 0;

    std::vector<TrackEntry*> List()
    {
        std::vector<TrackEntry*> list;
        for (auto& track : tracks)
            list.push_back(track.get());
        return list;
    }
    void EmptyTarget() const
    {
        for (const std::wstring& name : names)
            DeleteFileW((target + L"\\" + name).c_str());
    }
};

// 205 MB in 141 files of 100 KB to 20 MB, as a music library mixes them.
void MakeCopySet(const std::wstring& folder, CopySet& set)
{
    struct Size {
        int count;
        DWORD bytes;
    };
    const Size sizes[] = {{6, 20000000}, {10, 5000000}, {25, 1000000}, {100, 100000}};
    set.source = folder + L"\\copy-src";
    set.target = folder + L"\\copy-dst";
    CreateDirectoryW(set.source.c_str(), nullptr);
    CreateDirectoryW(set.target.c_str(), nullptr);
    ipodgen::Bytes content;
    for (const Size& size : sizes) {
        content.resize(size.bytes);
        for (int i = 0; i < size.count; ++i) {
            const int n = static_cast<int>(set.names.size());
            for (DWORD b = 0; b < size.bytes; ++b)
                content[b] = static_cast<uint8_t>(b * 31 + n + (b >> 12));
            const std::wstring name = L"f" + std::to_wstring(n) + L".mp3";
            ipodgen::WriteBytes(set.source + L"\\" + name, content);
            auto track = std::make_unique<TrackEntry>();
            const std::wstring title = L"f" + std::to_wstring(n), location = L":" + name;
            track->title.reset(new wchar_t[title.size() + 1]);
            wcscpy(track->title.get(), title.c_str());
            track->location.reset(new wchar_t[location.size() + 1]);
            wcscpy(track->location.get(), location.c_str());
            set.tracks.push_back(std::move(track));
            set.names.push_back(name);
            set.megabytes += size.bytes / 1e6;
        }
    }
}

double WorkerCopyMs(CopySet& set, DWORD chunkBytes)
{
    set.EmptyTarget();
    CopyJob job;
    job.chunkBytes = chunkBytes;
    wcscpy(job.destinationFolder, (set.target + L"\\").c_str());
    auto host = std::make_unique<BenchCopyHost>(set.source + L"\\");
    CopyJobHost& hostRef = *host;
    PrepareCopyRun(job, set.List(), std::move(host));
    const double start = NowMs();
    RunCopyJob(job, hostRef);
    return NowMs() - start;
}

double CopyFileMs(CopySet& set)
{
    set.EmptyTarget();
    const double start = NowMs();
    for (const std::wstring& name : set.names)
        CopyFileW((set.source + L"\\" + name).c_str(), (set.target + L"\\" + name).c_str(), FALSE);
    return NowMs() - start;
}

// Asks the dialog every 5 ms whether it answers, and keeps the worst wait.
struct ResponseSampler {
    std::atomic<HWND> dialog{nullptr};
    std::atomic<bool> stop{false};
    double worstMs = 0;
    int samples = 0, timeouts = 0;

    static DWORD WINAPI Run(LPVOID parameter)
    {
        auto& sampler = *static_cast<ResponseSampler*>(parameter);
        while (!sampler.stop) {
            const HWND dialog = sampler.dialog;
            if (dialog && IsWindow(dialog)) {
                DWORD_PTR result = 0;
                const double start = NowMs();
                if (!SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) && IsWindow(dialog))
                    ++sampler.timeouts;
                sampler.worstMs = std::max(sampler.worstMs, NowMs() - start);
                ++sampler.samples;
            }
            Sleep(5);
        }
        return 0;
    }
};

// The whole run as the program makes it: the progress dialog on this thread,
// its worker reporting to it, a third thread timing the dialog's answers.
double DialogCopyMs(CopySet& set, ResponseSampler& sampler)
{
    set.EmptyTarget();
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    wcscpy(g_copyJob.destinationFolder, (set.target + L"\\").c_str());
    CopyDialogSources sources;
    sources.collectTracks = [&set](std::vector<TrackEntry*>& list) { list = set.List(); };
    sources.makeHost = [&](HWND dialog) {
        sampler.dialog = dialog;
        return std::make_unique<BenchDialogHost>(dialog, set.source + L"\\");
    };
    HANDLE thread = CreateThread(nullptr, 0, ResponseSampler::Run, &sampler, 0, nullptr);
    const double start = NowMs();
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_COPY_PROGRESS), nullptr, CopyProgressDlgProc,
                    reinterpret_cast<LPARAM>(&sources));
    const double ms = NowMs() - start;
    sampler.stop = true;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    WaitForCopyWorker(g_copyJob);
    return ms;
}

void BenchCopy(const std::wstring& folder)
{
    CopySet set;
    MakeCopySet(folder, set);
    // The log the dialog opens goes to the current folder: the benchmark's.
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(folder.c_str());

    const DWORD chunkSizes[] = {128u << 10, 512u << 10, 1u << 20};
    std::array<double, 3> workerMs;
    workerMs.fill(1e300);
    double copyFileMs = 1e300;
    CopyFileMs(set);   // warms the cache for both
    for (int run = 0; run < kRuns; ++run) {
        for (size_t i = 0; i < workerMs.size(); ++i)
            workerMs[i] = std::min(workerMs[i], WorkerCopyMs(set, chunkSizes[i]));
        copyFileMs = std::min(copyFileMs, CopyFileMs(set));
    }
    // The worst answer of every run counts; the best run's time.
    ResponseSampler sampler;
    double dialogMs = 1e300;
    for (int run = 0; run < kRuns; ++run) {
        sampler.stop = false;
        dialogMs = std::min(dialogMs, DialogCopyMs(set, sampler));
    }

    auto rate = [&](double ms) { return set.megabytes / (ms / 1000); };
    wprintf(L"copy of %zu files of 100 KB to 20 MB, %.1f MB, folder to folder on one drive, best of %d runs:\n",
            set.names.size(), set.megabytes, kRuns);
    wprintf(L"  CopyFileW: %.0f ms, %.0f MB/s\n", copyFileMs, rate(copyFileMs));
    for (size_t i = 0; i < workerMs.size(); ++i)
        wprintf(L"  copy worker, %4lu KiB chunks%ls: %.0f ms, %.0f MB/s, %.2f of CopyFileW\n", chunkSizes[i] >> 10,
                chunkSizes[i] == kCopyChunkBytes ? L" (the program's)" : L"                 ", workerMs[i],
                rate(workerMs[i]), copyFileMs / workerMs[i]);
    wprintf(L"  the program's run with its progress dialog: %.0f ms, %.0f MB/s, %.2f of CopyFileW\n",
            dialogMs, rate(dialogMs), copyFileMs / dialogMs);
    wprintf(L"  the dialog's answer to WM_NULL during these runs: worst %.1f ms over %d samples, %d timeouts\n",
            sampler.worstMs, sampler.samples, sampler.timeouts);

    SetCurrentDirectoryW(previous);
    DeleteFileW((folder + L"\\" + kTransferLogFileName).c_str());
    for (const std::wstring& name : set.names) {
        DeleteFileW((set.source + L"\\" + name).c_str());
        DeleteFileW((set.target + L"\\" + name).c_str());
    }
    RemoveDirectoryW(set.source.c_str());
    RemoveDirectoryW(set.target.c_str());
}

// The same database read the way a newer iPod keeps it (iTunesCDB beside a
// zero-byte iTunesDB) and stored plainly, each through the load's own open.
void BenchCompressedReader(const std::wstring& folder, const ipodgen::Bytes& db)
{
    const ipodgen::Bytes cdb = ipodgen::CompressedDatabase(db);
    const std::wstring plainDb = folder + L"\\plain\\iTunesDB", cdbFolder = folder + L"\\cdb";
    ipodgen::CreateFolderTree(folder + L"\\plain");
    ipodgen::CreateFolderTree(cdbFolder);
    if (!ipodgen::WriteBytes(plainDb, db) || !ipodgen::WriteBytes(cdbFolder + L"\\iTunesDB", {}) ||
        !ipodgen::WriteBytes(cdbFolder + L"\\iTunesCDB", cdb)) {
        fwprintf(stderr, L"cannot write the compressed benchmark databases\n");
        return;
    }
    for (const std::wstring& path : {plainDb, cdbFolder + L"\\iTunesDB"}) {
        size_t tracks = 0;
        const double ms = BestMs([&] {
            CiTunesDB reader;
            reader.OpenIpodDatabase(path.c_str());
            const uint32_t count = reader.GetTrackCount();
            reader.SeekFirstTrack();
            std::vector<std::unique_ptr<TrackEntry>> all;
            for (uint32_t i = 0; i < count; ++i) {
                auto track = reader.ReadTrack();
                if (!track)
                    break;
                all.push_back(std::move(track));
            }
            tracks = all.size();
        });
        const bool compressed = path != plainDb;
        wprintf(L"reader, tracks of %ls: %zu tracks, %.1f MB file: %.1f ms\n",
                compressed ? L"iTunesCDB" : L"iTunesDB", tracks, (compressed ? cdb.size() : db.size()) / 1e6, ms);
    }
    for (const std::wstring& file : {plainDb, cdbFolder + L"\\iTunesDB", cdbFolder + L"\\iTunesCDB"})
        DeleteFileW(file.c_str());
    RemoveDirectoryW((folder + L"\\plain").c_str());
    RemoveDirectoryW(cdbFolder.c_str());
}

// The files a completed run writes: 20 playlists of 2,000 items each and the
// library file, over a folder holding every track's copy (empty files). The
// look for each copy, shared by all of them, is reported apart from the
// making and the writing of the files.
void BenchRunFiles(const std::wstring& folder, const std::wstring& dbPath)
{
    const LoadedDatabase loaded = ReadDatabase(dbPath.c_str());
    LibrarySource library;
    library.writePlaylists = library.writeLibrary = true;
    library.ipodName = L"Benchmark iPod";
    for (const auto& track : loaded.tracks)
        library.tracks.push_back(track.get());
    library.playlists.resize(20);
    for (size_t i = 0; i < library.tracks.size(); ++i)
        library.playlists[i % 20].items.push_back(static_cast<int>(i));
    for (size_t p = 0; p < library.playlists.size(); ++p)
        library.playlists[p].name = L"Playlist " + std::to_wstring(p + 1);
    const std::wstring destination = folder + L"\\run files\\";
    std::vector<TrackCopy> copies;
    std::unique_ptr<DestinationNames> names;
    const double formMs = BestMs([&] {
        names = std::make_unique<DestinationNames>(destination.c_str(), settings_defaults::kNamingConvertion,
                                                   library.tracks);
        copies = FormTrackCopies(*names);
    });
    std::set<std::wstring> folders;
    for (const TrackCopy& copy : copies) {
        const std::wstring parent = copy.onDisk.substr(0, copy.onDisk.rfind(L'\\'));
        if (folders.insert(parent).second)
            CreateDirectoryPath((parent + L"\\").c_str());
        CloseHandle(CreateFileW(copy.onDisk.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    const double checkMs = BestMs([&] { CheckCopies(copies); });
    std::vector<RunFile> files;
    // Each compose claims its files' names anew, in a copy of the run's names made beforehand.
    std::vector<DestinationNames> claims(kRuns, *names);
    const double composeMs = BestMs([&] {
        files = ComposeRunFiles(library, copies, CurrentLibraryFileInfo(destination.c_str()), claims.back());
        claims.pop_back();
    });
    std::string indexText;
    const double indexMs = BestMs([&] {
        const auto lines = IndexLinesAfterRun(*names, copies, {}, [](const std::wstring&) { return FileOnDisk(); });
        indexText = IndexText(lines);
    });
    size_t bytes = 0;
    const double writeMs = BestMs([&] {
        bytes = 0;
        for (const RunFile& file : files) {
            DWORD error = 0;
            WriteFileThroughTemporary(file.path.c_str(), file.bytes, error);
            bytes += file.bytes.size();
        }
    });
    size_t existing = 0;
    for (const TrackCopy& copy : copies)
        existing += copy.exists ? 1 : 0;
    wprintf(L"run files: %zu destinations formed: %.1f ms\n", copies.size(), formMs);
    wprintf(L"run files: %zu copies looked for (%zu there): %.1f ms, %.1f us each\n", copies.size(), existing, checkMs,
            1000.0 * checkMs / static_cast<double>(std::max<size_t>(copies.size(), 1)));
    wprintf(L"run files: %zu files, %.1f MB (20 playlists, library file): composed in %.1f ms, written in %.1f ms\n",
            files.size(), static_cast<double>(bytes) / 1e6, composeMs, writeMs);
    wprintf(L"run files: index of %zu lines, %.1f MB: composed in %.1f ms\n", copies.size(),
            static_cast<double>(indexText.size()) / 1e6, indexMs);
    for (const TrackCopy& copy : copies)
        DeleteFileW(copy.onDisk.c_str());
    for (const RunFile& file : files)
        DeleteFileW(file.path.c_str());
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        RemoveDirectoryW(it->c_str());
        RemoveDirectoryW(it->substr(0, it->rfind(L'\\')).c_str());
    }
    RemoveDirectoryW(destination.c_str());
}

// Removes a folder with everything in it.
void RemoveFolderTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName, path = folder + L"\\" + name;
            if (name == L"." || name == L"..")
                continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolderTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

// The covers of a 40,000-track library with 3,000 distinct 320 x 320 covers
// (format 1060), one album to a folder: the whole save (reading the artwork
// database, decoding, encoding and writing every folder.jpg) as a run makes
// it, then the parts apart, the JPEG encoder's share among them.
void BenchCovers(const std::wstring& folder)
{
    ipodgen::SampleIpodOptions options;
    options.trackCount = kTracks;
    options.mediaFiles = false;
    options.albumCount = 3000;
    options.covers = ipodgen::SampleCovers::kShared;
    options.coverFormats = {1060};
    options.coverlessAlbums = false;
    const std::wstring ipod = folder + L"\\covers ipod\\", destination = folder + L"\\covers";
    if (!ipodgen::CreateSampleIpod(ipod, options)) {
        fwprintf(stderr, L"cannot write the covers' sample iPod\n");
        return;
    }
    const LoadedDatabase loaded = ReadDatabase((ipod + L"iPod_Control\\iTunes\\iTunesDB").c_str());
    std::vector<const TrackEntry*> library;
    for (const auto& track : loaded.tracks)
        library.push_back(track.get());
    const DestinationNames names(destination.c_str(), settings_defaults::kNamingConvertion, library);
    CoverRun run;
    run.ipodRoot = ipod;
    std::set<std::wstring> folders;
    for (const NamedCopy& copy : names.Copies()) {
        const std::wstring& path = copy.destination.written.path;
        const std::wstring parent = path.substr(0, path.rfind(L'\\'));
        if (folders.insert(parent).second)
            CreateDirectoryPath((parent + L"\\").c_str());
    }
    for (size_t i = 0; i < library.size(); ++i) {
        const std::wstring& path = names.Copies()[i].destination.written.path;
        run.tracks.push_back({path.substr(0, path.rfind(L'\\')), library[i]->persistentId, library[i]->artworkLink});
    }

    size_t written = 0;
    double start = NowMs();
    SaveFolderCovers(run, [&](const std::wstring& line) {
        written += line.compare(0, 7, L"cover: ") == 0 ? 1 : 0;
        return true;
    });
    const double totalMs = NowMs() - start;

    start = NowMs();
    CArtworkDB artwork;
    artwork.Open(ipod.c_str());
    std::set<uint32_t> images;
    for (const CoverTrack& track : run.tracks) {
        if (const auto image = artwork.ImageOf(track.persistentId, track.artworkLink))
            images.insert(*image);
    }
    const double readMs = NowMs() - start;
    const ComApartment com;
    double decodeMs = 0, encodeMs = 0;
    size_t jpegBytes = 0;
    for (uint32_t image : images) {
        artwork::Picture picture;
        std::wstring failure;
        std::string jpeg;
        start = NowMs();
        artwork.Decode(image, &picture, &failure);
        decodeMs += NowMs() - start;
        start = NowMs();
        EncodeJpeg(picture, kCoverJpegQuality, jpeg, failure);
        encodeMs += NowMs() - start;
        jpegBytes += jpeg.size();
    }
    wprintf(L"covers: %zu tracks, %zu images, %zu folder.jpg written (%.1f KB each): %.0f ms in all\n",
            library.size(), images.size(), written, jpegBytes / 1e3 / std::max<size_t>(images.size(), 1), totalMs);
    wprintf(L"covers, apart: reading the artwork database %.0f ms, decoding %.0f ms, JPEG encoding %.0f ms "
            L"(%.0f%% of the whole), the rest (writing, choosing) %.0f ms\n",
            readMs, decodeMs, encodeMs, 100.0 * encodeMs / totalMs, totalMs - readMs - decodeMs - encodeMs);
    RemoveFolderTree(destination);
    RemoveFolderTree(ipod.substr(0, ipod.size() - 1));
}

}  // namespace

// "copy" as the only argument runs the copy figures alone, "covers" the covers'.
int wmain(int argc, wchar_t** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);   // each figure as soon as it is measured
    const std::wstring folder = TempFolder();
    if (argc == 2 && wcscmp(argv[1], L"copy") == 0) {
        BenchCopy(folder);
        RemoveDirectoryW(folder.c_str());
        return 0;
    }
    if (argc == 2 && wcscmp(argv[1], L"covers") == 0) {
        BenchCovers(folder);
        RemoveDirectoryW(folder.c_str());
        return 0;
    }
    const std::wstring dbPath = folder + L"\\iTunesDB";
    auto tracks = ipodgen::SampleTracks(kTracks);
    const ipodgen::Bytes db = ipodgen::SampleDatabase(tracks, ipodgen::SamplePlaylists(tracks));
    if (!ipodgen::WriteBytes(dbPath, db)) {
        fwprintf(stderr, L"cannot write %ls\n", dbPath.c_str());
        return 1;
    }
    wprintf(L"Savanto benchmark, %d tracks, best of %d runs (%d-bit build)\n", kTracks, kRuns,
            static_cast<int>(sizeof(void*) * 8));
    BenchReader(dbPath, db.size());
    BenchCompressedReader(folder, db);
    BenchLibrary(dbPath);
    BenchWorkerLoad();
    BenchCopy(folder);
    BenchRunFiles(folder, dbPath);
    BenchCovers(folder);
    DeleteFileW(dbPath.c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
