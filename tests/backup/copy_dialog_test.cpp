// Dialog 112 in-process: the real template, the real worker thread and the
// real transfer log, driven from a second thread while the dialog is modal.
#include "backup/copy_progress_dialog.h"

#include "backup/transfer_log.h"
#include "resource.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <atomic>
#include <thread>

#include "copy_test_util.h"
#include "support/test_support.h"

using namespace copy_test;
using testing_support::TempDir;

namespace {

constexpr DWORD kPatienceMs = 20000;   // only a hang ever waits this long

class Event {
public:
    Event() : m_handle(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() { CloseHandle(m_handle); }
    void Set() { SetEvent(m_handle); }
    void Reset() { ResetEvent(m_handle); }
    bool Wait(DWORD ms = kPatienceMs) { return WaitForSingleObject(m_handle, ms) == WAIT_OBJECT_0; }

private:
    HANDLE m_handle;
};

// The dialog's own host with the program's state replaced by the test's, and
// gates that let the test hold the worker at chosen points.
struct Gates {
    std::wstring root;
    std::atomic<HWND> dialog{nullptr};
    Event run;                // open: the worker's steps are not held
    Event planning;           // the worker is preparing its first item
    Event planGo;             // ... and may go on
    bool holdPlan = false;
    Event inReport;           // the worker holds the lock, about to make its first report
    Event reportGo;
    bool holdReport = false;
    int rowClears = 0;
};

class GatedHost : public DialogCopyHost {
public:
    GatedHost(HWND dialog, Gates& gates) : DialogCopyHost(dialog), m_gates(gates) { gates.dialog = dialog; }

    bool SourceRoot(wchar_t (&root)[kPathCapacity]) override
    {
        wcscpy(root, m_gates.root.c_str());
        return true;
    }
    std::wstring RenamingRule() override
    {
        if (m_gates.holdPlan) {
            m_gates.planning.Set();
            m_gates.planGo.Wait();
        }
        return L"<title>";
    }
    DWORD TransferOverwrite() override { return 0; }
    void AfterStep() override { m_gates.run.Wait(); }
    void RunReports(const std::function<void()>& reports) override
    {
        if (m_gates.holdReport) {
            m_gates.holdReport = false;
            m_gates.inReport.Set();
            m_gates.reportGo.Wait();
        }
        DialogCopyHost::RunReports(reports);
    }
    void ShowRowChecks() override { ++m_gates.rowClears; }

private:
    Gates& m_gates;
};

std::wstring ControlText(HWND dialog, int id)
{
    wchar_t text[256] = {};
    GetDlgItemTextW(dialog, id, text, 256);
    return text;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

std::wstring ReadLog(const std::wstring& path)
{
    std::vector<BYTE> bytes;
    if (!ReadBytes(path, bytes))
        return L"<no log>";
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

class CopyDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
    }

    void SetUp() override
    {
        GetCurrentDirectoryW(MAX_PATH, previousDirectory);
        ASSERT_TRUE(SetCurrentDirectoryW(work.Path().c_str()));   // the log goes here
        gates.root = ipod.Path() + L"\\";
        wcscpy(g_copyJob.destinationFolder, (backup.Path() + L"\\").c_str());
        sources.collectTracks = [this](std::vector<TrackEntry*>& list) {
            for (auto& track : tracks)
                list.push_back(track.get());
        };
        sources.makeHost = [this](HWND dialog) { return std::make_unique<GatedHost>(dialog, gates); };
    }

    void TearDown() override
    {
        gates.run.Set();
        gates.planGo.Set();
        gates.reportGo.Set();
        WaitForCopyWorker(g_copyJob);
        SetCurrentDirectoryW(previousDirectory);
    }

    void AddTrack(const wchar_t* title, size_t size)
    {
        const std::wstring file = std::wstring(title) + L".src";
        EXPECT_TRUE(WriteBytes(ipod.File(file), Pattern(size, 5)));
        tracks.push_back(MakeTrack(L"A", L"B", 1, title, (L":" + file).c_str()));
    }

    // Runs the dialog modally on this thread while `drive` acts from another.
    INT_PTR RunDialog(const std::function<void(HWND)>& drive)
    {
        std::thread driver([&] {
            for (int i = 0; i < 2000 && !gates.dialog; ++i)
                ::Sleep(5);
            if (gates.dialog)
                drive(gates.dialog);
        });
        const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_COPY_PROGRESS),
                                               nullptr, CopyProgressDlgProc, reinterpret_cast<LPARAM>(&sources));
        driver.join();
        return result;
    }

    bool LogIsClosed() const
    {
        // The log is shared for reading only while open: exclusive access
        // succeeds once it has been closed.
        HANDLE file = CreateFileW(work.File(L"transfer_log.txt").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(file);
        return true;
    }

    TempDir work, ipod, backup;
    wchar_t previousDirectory[MAX_PATH] = {};
    std::vector<std::unique_ptr<TrackEntry>> tracks;
    Gates gates;
    CopyDialogSources sources;
};

TEST_F(CopyDialogTest, CompleteRunEndsWithZeroAndClosesTheLog)
{
    AddTrack(L"one", 300000);
    AddTrack(L"two", 10);
    gates.run.Set();
    const INT_PTR result = RunDialog([](HWND) {});
    EXPECT_EQ(result, 0);
    WaitForCopyWorker(g_copyJob);
    EXPECT_TRUE(LogIsClosed());
    EXPECT_EQ(ReadLog(work.File(L"transfer_log.txt")),
              L"copying: " + backup.File(L"one.src") + L"\r\ncopying: " + backup.File(L"two.src") + L"\r\n");
    std::vector<BYTE> copied;
    ASSERT_TRUE(ReadBytes(backup.File(L"one.src"), copied));
    EXPECT_EQ(copied, Pattern(300000, 5));
    EXPECT_EQ(gates.rowClears, 1);
    EXPECT_EQ(tracks[0]->isChecked, 0u);
}

TEST_F(CopyDialogTest, OpensEmptyCounterAndRangesBeforeTheFirstStep)
{
    AddTrack(L"one", 10);
    gates.holdPlan = true;
    std::wstring counter, name;
    int overallHigh = -1, fileHigh = -1;
    const INT_PTR result = RunDialog([&](HWND dialog) {
        gates.planning.Wait();
        counter = ControlText(dialog, IDC_ITEM_COUNTER);
        name = ControlText(dialog, IDC_CURRENT_NAME);
        overallHigh = static_cast<int>(SendDlgItemMessageW(dialog, IDC_OVERALL_PROGRESS, PBM_GETRANGE, FALSE, 0));
        fileHigh = static_cast<int>(SendDlgItemMessageW(dialog, IDC_FILE_PROGRESS, PBM_GETRANGE, FALSE, 0));
        gates.planGo.Set();
        gates.run.Set();
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(counter, L"");
    EXPECT_EQ(name, L"Starting...");
    EXPECT_EQ(overallHigh, 1);
    EXPECT_EQ(fileHigh, 1000);
}

TEST_F(CopyDialogTest, ShowsTheItemOnItsOwnTimerWhileTheWorkerWaits)
{
    AddTrack(L"one", 10);
    AddTrack(L"two", 10);
    std::wstring counter, name;
    int overall = -1;
    RunDialog([&](HWND dialog) {
        // The worker waits after its first step, the first item's start.
        for (int i = 0; i < 400 && ControlText(dialog, IDC_ITEM_COUNTER).empty(); ++i)
            ::Sleep(50);
        counter = ControlText(dialog, IDC_ITEM_COUNTER);
        name = ControlText(dialog, IDC_CURRENT_NAME);
        overall = static_cast<int>(SendDlgItemMessageW(dialog, IDC_OVERALL_PROGRESS, PBM_GETPOS, 0, 0));
        gates.run.Set();
    });
    EXPECT_EQ(counter, FormatItemCounter(1, 2));
    EXPECT_EQ(name, FormatCurrentName(L"one"));
    EXPECT_EQ(overall, 0);
}

TEST_F(CopyDialogTest, PauseTwiceRestoresTheTextsAndCancelEndsWithOne)
{
    AddTrack(L"big", 1000000);
    std::wstring pausedTitle, pausedButton, resumedTitle, resumedButton;
    const INT_PTR result = RunDialog([&](HWND dialog) {
        SendMessageW(dialog, WM_COMMAND, IDC_PAUSE, 0);
        pausedTitle = WindowText(dialog);
        pausedButton = ControlText(dialog, IDC_PAUSE);
        SendMessageW(dialog, WM_COMMAND, IDC_PAUSE, 0);
        resumedTitle = WindowText(dialog);
        resumedButton = ControlText(dialog, IDC_PAUSE);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        gates.run.Set();
    });
    EXPECT_EQ(pausedTitle, L"Copying... [Paused]");
    EXPECT_EQ(pausedButton, L"Resume");
    EXPECT_EQ(resumedTitle, L"Copying...");
    EXPECT_EQ(resumedButton, L"Pause");
    EXPECT_EQ(result, 1);
    WaitForCopyWorker(g_copyJob);
    EXPECT_TRUE(LogIsClosed());
    EXPECT_FALSE(Exists(backup.File(L"big.src")));
    EXPECT_FALSE(Exists(backup.File(L"big.src.part")));
    EXPECT_EQ(tracks[0]->isChecked, 0u);
    EXPECT_EQ(gates.rowClears, 1);
}

TEST_F(CopyDialogTest, EscapeAndTheCloseBoxCancelToo)
{
    AddTrack(L"big", 1000000);
    const INT_PTR byEscape = RunDialog([&](HWND dialog) {
        PostMessageW(GetDlgItem(dialog, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_EQ(byEscape, 1);
    gates.run.Set();
    WaitForCopyWorker(g_copyJob);

    tracks[0]->isChecked = 1;
    gates.dialog = nullptr;
    gates.run.Reset();
    const INT_PTR byCloseBox = RunDialog([&](HWND dialog) { PostMessageW(dialog, WM_CLOSE, 0, 0); });
    EXPECT_EQ(byCloseBox, 1);
    gates.run.Set();
    WaitForCopyWorker(g_copyJob);
    EXPECT_TRUE(LogIsClosed());
    EXPECT_EQ(tracks[0]->isChecked, 0u);
}

TEST_F(CopyDialogTest, CancelWhileTheWorkerReportsNeitherHangsNorLosesTheLine)
{
    AddTrack(L"one", 10);
    gates.holdReport = true;
    gates.run.Set();
    const INT_PTR result = RunDialog([&](HWND dialog) {
        gates.inReport.Wait();
        // The worker holds the lock and is about to report; the cancel waits
        // for the lock, and the worker's line still reaches the log.
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        ::Sleep(50);
        gates.reportGo.Set();
    });
    EXPECT_EQ(result, 1);
    WaitForCopyWorker(g_copyJob);
    EXPECT_TRUE(LogIsClosed());
    EXPECT_EQ(ReadLog(work.File(L"transfer_log.txt")), L"copying: " + backup.File(L"one.src") + L"\r\n");
    EXPECT_EQ(tracks[0]->isChecked, 0u);
}

}  // namespace
