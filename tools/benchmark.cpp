// Reports how fast Savanto's engine runs on a generated 40,000-track iPod, and
// its media list on 200,000 tracks too.
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
#include "library/media_list.h"
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

// A stand-in main window with the controls the library drives, their real
// ids, and the owner-data media list answered as the main window answers it.
struct HostWindow {
    HWND window = nullptr, list = nullptr, tree = nullptr, search = nullptr;

    explicit HostWindow(CMediaLibrary& library)
    {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        window = CreateWindowExW(0, L"STATIC", L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 600, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
        SetWindowSubclass(window, AnswerMediaList, 1, reinterpret_cast<DWORD_PTR>(&library));
        list = Child(WC_LISTVIEWW, LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA, IDC_MEDIA_LIST);
        tree = Child(WC_TREEVIEWW, TVS_HASBUTTONS | TVS_HASLINES, IDC_PLAYLIST_TREE);
        search = Child(L"EDIT", ES_AUTOHSCROLL, IDC_SEARCH);
        g_hMainWnd = window;
        InitMediaList(list);
        InitPlaylistTree(tree);
        library.SetListView(list);
        library.SetTreeView(tree);
    }
    ~HostWindow()
    {
        g_hMainWnd = nullptr;
        RemoveWindowSubclass(window, AnswerMediaList, 1);
        DestroyWindow(window);
    }
    HWND Child(const wchar_t* cls, DWORD style, int id)
    {
        return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 800, 500, window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    }
    static LRESULT CALLBACK AnswerMediaList(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR library)
    {
        LRESULT result = 0;
        if (message == WM_NOTIFY && wParam == IDC_MEDIA_LIST &&
            OnMediaListNotify(*reinterpret_cast<CMediaLibrary*>(library), *reinterpret_cast<NMHDR*>(lParam), result))
            return result;
        return DefSubclassProc(window, message, wParam, lParam);
    }
};

// --- The media list, as the program drives it ---------------------------------

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

// The committed memory that is the process's own (its heaps among it):
// what Windows calls private bytes, summed region by region, which Wine
// reports where GetProcessMemoryInfo does not.
double PrivateMegabytes()
{
    size_t bytes = 0;
    MEMORY_BASIC_INFORMATION region = {};
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof(region)) == sizeof(region);
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            bytes += region.RegionSize;
    }
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// The word that one track in 20 carries in its title, and nothing else.
constexpr wchar_t kOneInTwenty[] = L"Zephyr";

// The sample library made less kind to the list: every title its own (titles
// repeat little on a real iPod), an artist per 12 albums, and one title in 20
// holding kOneInTwenty.
std::vector<ipodgen::SampleTrack> ListBenchTracks(int count)
{
    auto tracks = ipodgen::SampleTracks(count);
    for (size_t i = 0; i < tracks.size(); ++i) {
        ipodgen::SampleTrack& track = tracks[i];
        track.title += L" " + std::to_wstring(i);
        if (i % 20 == 7)
            track.title = std::wstring(kOneInTwenty) + L" " + track.title;
        track.artist += L" " + std::to_wstring(i / 120);
    }
    return tracks;
}

struct ListFigures {
    double readMs = 1e300, loadMs = 1e300, paintMs = 1e300, searchMs = 1e300, clearMs = 1e300;
    double artistMs = 1e300, reverseMs = 1e300, titleMs = 1e300, unsortMs = 1e300, checkAllMs = 1e300;
    double workerMs = 1e300;   // the load worker from its start to its end, the list's paint included
    double adoptMs = 1e300;    // what the load adds to the read, on the window's thread
    double libraryMb = 0;
    int searchRows = 0;
};

double Timed(const std::function<void()>& work)
{
    const double start = NowMs();
    work();
    return NowMs() - start;
}

void Keep(double& best, double ms) { best = std::min(best, ms); }

// When the list last got a number of rows other than 0: where a load ends
// for the user, before the list paints.
double g_rowsShownAt = 0;

LRESULT CALLBACK NoteRowsShown(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (message == LVM_SETITEMCOUNT && wParam != 0)
        g_rowsShownAt = NowMs();
    return DefSubclassProc(list, message, wParam, lParam);
}

// One run of what a user waits for, each step from the state the one before
// left: the load (the selector's worker, until the item count is set), the
// first paint, a search and its clearing, sorts (the first by a column makes
// its keys), Check all.
void RunListSteps(CMediaLibrary& library, HostWindow& host, const wchar_t* root, ListFigures& figures)
{
    library.Clear();
    const double before = PrivateMegabytes();
    SetWindowSubclass(host.list, NoteRowsShown, 1, 0);
    const double start = NowMs();
    Keep(figures.workerMs, Timed([&] {
             g_busy = 1;
             HANDLE thread = CreateThread(nullptr, 0, LoadThreadProc, const_cast<wchar_t*>(root), 0, nullptr);
             CloseHandle(thread);
             PumpUntil([&] { return g_busy == 0; });
         }));
    Keep(figures.loadMs, g_rowsShownAt - start);
    RemoveWindowSubclass(host.list, NoteRowsShown, 1);
    figures.libraryMb = std::max(figures.libraryMb, PrivateMegabytes() - before);
    Keep(figures.paintMs, Timed([&] { RedrawWindow(host.list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }));
    auto search = [&](const wchar_t* text) {
        SetWindowTextW(host.search, text);
        return Timed([&] {
            library.Refresh();
            UpdateStatusCounts();
            UpdateWindow(host.list);
        });
    };
    Keep(figures.searchMs, search(kOneInTwenty));
    figures.searchRows = ListView_GetItemCount(host.list);
    Keep(figures.clearMs, search(L""));
    auto sort = [&](MediaColumn column) {
        return Timed([&] {
            library.SortByColumn(column);
            UpdateWindow(host.list);
        });
    };
    Keep(figures.artistMs, sort(kColumnArtist));
    Keep(figures.reverseMs, sort(kColumnArtist));
    Keep(figures.unsortMs, sort(kColumnArtist));
    Keep(figures.titleMs, sort(kColumnTitle));
    Keep(figures.checkAllMs, Timed([&] {
             library.SetShownTicks(true);
             UpdateStatusCounts();
             UpdateWindow(host.list);
         }));
}

void PrintListFigures(int tracks, const ListFigures& f, int runs)
{
    auto ofRead = [&](double ms) { return ms / f.readMs; };
    wprintf(L"media list, %d tracks, wall time, best of %d runs (x: times the read):\n", tracks, runs);
    wprintf(L"  read the database (ReadDatabase)        %8.1f ms\n", f.readMs);
    wprintf(L"  load and show (worker, to the count set) %7.1f ms  x%.2f\n", f.loadMs, ofRead(f.loadMs));
    wprintf(L"    of which the library takes the records and shows them: %.1f ms\n", f.adoptMs);
    wprintf(L"  the load worker, to its end (the paint on the way) %.1f ms  x%.2f\n", f.workerMs, ofRead(f.workerMs));
    wprintf(L"  first paint of the list                  %7.1f ms\n", f.paintMs);
    wprintf(L"  search \"%ls\" (%d rows)              %8.1f ms  x%.2f\n", kOneInTwenty, f.searchRows, f.searchMs,
            ofRead(f.searchMs));
    wprintf(L"  clear the search                         %7.1f ms  x%.2f\n", f.clearMs, ofRead(f.clearMs));
    wprintf(L"  sort by Artist (its keys made)           %7.1f ms  x%.2f\n", f.artistMs, ofRead(f.artistMs));
    wprintf(L"  reverse it                               %7.1f ms  x%.2f\n", f.reverseMs, ofRead(f.reverseMs));
    wprintf(L"  back to the library's order              %7.1f ms\n", f.unsortMs);
    wprintf(L"  sort by Title (every title its own key)  %7.1f ms  x%.2f\n", f.titleMs, ofRead(f.titleMs));
    wprintf(L"  Check all                                %7.1f ms\n", f.checkAllMs);
    wprintf(L"  private bytes the load added             %7.1f MB (process: %.1f MB)\n", f.libraryMb,
            PrivateMegabytes());
}

// Where a first sort by titles goes: making the keys, then sorting by them.
void PrintKeyFigures(const CMediaLibrary& library)
{
    ColumnKeys keys;
    const double keysMs = Timed([&] { keys = MakeColumnKeys(library.Tracks(), kColumnTitle); });
    std::vector<int> rows(library.Tracks().size());
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = static_cast<int>(i);
    const double sortMs = Timed([&] { SortRows(rows, keys, SortDirection::Descending); });
    wprintf(L"  of the sort by Title: its keys %.1f ms, the sort by them %.1f ms\n", keysMs, sortMs);
}

// The media list on 40,000 and 200,000 tracks, through the program's own
// code: the load worker, the owner-data list and the library's commands.
void BenchMediaList()
{
    // The worker takes a drive root: H:, a folder of the build's Wine prefix
    // (the tests' drive; the benchmark is not run beside them).
    const wchar_t root[] = L"H:\\";
    const std::wstring itunes = std::wstring(root) + L"iPod_Control\\iTunes";
    const std::wstring dbPath = itunes + L"\\iTunesDB";
    CMediaLibrary library;
    HostWindow host(library);
    g_pLibrary = &library;
    for (int count : {kTracks, 200000}) {
        const auto tracks = ListBenchTracks(count);
        ipodgen::CreateFolderTree(itunes);
        if (!ipodgen::WriteBytes(dbPath, ipodgen::SampleDatabase(tracks, ipodgen::SamplePlaylists(tracks)))) {
            wprintf(L"media list: cannot write %ls\n", dbPath.c_str());
            break;
        }
        const int runs = count > kTracks ? 3 : kRuns;
        ListFigures figures;
        for (int run = 0; run < runs; ++run) {
            library.Clear();
            LoadedDatabase read;
            Keep(figures.readMs, Timed([&] { read = ReadDatabase(dbPath.c_str()); }));
            Keep(figures.adoptMs, Timed([&] {
                     library.Adopt(std::move(read));
                     library.Refresh();
                 }));
            RunListSteps(library, host, root, figures);
        }
        PrintListFigures(count, figures, runs);
        PrintKeyFigures(library);
        library.Clear();
        DeleteFileW(dbPath.c_str());
    }
    RemoveDirectoryW(itunes.c_str());
    RemoveDirectoryW((std::wstring(root) + L"iPod_Control").c_str());
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

// "copy" as the only argument runs the copy figures alone, "list" the media
// list's, "covers" the covers'.
int wmain(int argc, wchar_t** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);   // each figure as soon as it is measured
    const std::wstring folder = TempFolder();
    if (argc == 2 && wcscmp(argv[1], L"copy") == 0) {
        BenchCopy(folder);
        RemoveDirectoryW(folder.c_str());
        return 0;
    }
    if (argc == 2 && wcscmp(argv[1], L"list") == 0) {
        BenchMediaList();
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
    BenchMediaList();
    BenchCopy(folder);
    BenchRunFiles(folder, dbPath);
    BenchCovers(folder);
    DeleteFileW(dbPath.c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
