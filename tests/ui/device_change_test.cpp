// Drives that come and go, told to the real main window as the system tells
// it: WM_DEVICECHANGE with a DEV_BROADCAST_VOLUME, on the test drives.
#include "main_window_fixture.h"

#include "backup/copy_job.h"
#include "device/device_change.h"
#include "device/ipod_list.h"
#include "library/media_library.h"
#include "library/views.h"
#include "support/test_drives.h"
#include "ui/device_events.h"

#include <dbt.h>

#include <utility>
#include <vector>

namespace {

using testing_support::MakeIpod;

constexpr DriveMask E = DriveBit(L'E'), G = DriveBit(L'G'), H = DriveBit(L'H');

class DeviceChangeTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        testing_support::EmptyTestDrives();
        g_loadedDrive = 0;
        ScanAndTick();   // empties the list of earlier tests
    }
    void TearDown() override
    {
        PumpUntil([] { return g_pendingDriveChanges.Empty() && g_busy == 0; });
        g_pLibrary->Clear();
        testing_support::EmptyTestDrives();
        MainWindowTest::TearDown();
    }

    void Volume(WPARAM event, DriveMask drives, WORD flags = 0, DWORD type = DBT_DEVTYP_VOLUME) const
    {
        DEV_BROADCAST_VOLUME volume = {sizeof(volume), type, 0, drives, flags};
        SendMessageW(m_window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&volume));
    }
    void Arrive(DriveMask drives) const { Volume(DBT_DEVICEARRIVAL, drives); }
    void Remove(DriveMask drives) const { Volume(DBT_DEVICEREMOVECOMPLETE, drives); }
    static bool Settled()
    {
        return PumpUntil([] { return g_pendingDriveChanges.Empty() && g_busy == 0; });
    }
    // "<E: Echo> <G: Golf>" selected ones starred, then the library, the
    // status bar's message and the selector, Scan button and Eject item.
    std::wstring State() const
    {
        std::wstring state;
        const wchar_t* selected = g_ipodList.GetSelectedRoot();
        for (const auto& entry : g_ipodList.Entries())
            state += std::wstring(entry->root) + entry->name.get() + (selected == entry->root ? L"* " : L" ");
        state += std::to_wstring(g_pLibrary->GetItemCount()) + L" tracks, " +
                 std::to_wstring(g_pLibrary->GetCheckedCount()) + L" ticked, '" + StatusText(2) + L"' ";
        const bool eject = !(GetMenuState(GetMenu(m_window), IDM_EJECT, MF_BYCOMMAND) & MF_GRAYED);
        for (bool on : {IsWindowEnabled(Item(IDC_IPOD_SELECTOR)) != FALSE, IsWindowEnabled(Item(IDC_SCAN)) != FALSE,
                        eject})
            state += on ? L'+' : L'-';
        return state;
    }
    // Only these iPods on the test drives: E: "Echo" of 12 tracks, G: "Golf" of 7.
    static void PutIpods(DriveMask drives)
    {
        testing_support::EmptyTestDrives();
        EXPECT_TRUE(!(drives & E) || MakeIpod(L"E:\\", 12, std::wstring(L"Echo")));
        EXPECT_TRUE(!(drives & G) || MakeIpod(L"G:\\", 7, std::wstring(L"Golf")));
    }
    // Scans for the iPods on the test drives and ticks every track.
    void ScanAndTick()
    {
        SendMessageW(m_window, WM_COMMAND, IDM_SCAN, 0);
        ASSERT_TRUE(Settled());
        SendMessageW(m_window, WM_COMMAND, IDM_CHECK_ALL, 0);
    }
};

TEST_F(DeviceChangeTest, ArrivalsAndRemovalsChangeTheListAndKeepTheLoadedIpod)
{
    struct Case {
        const char* name;
        DriveMask before;   // iPods scanned and ticked before the event (E: 12 tracks, G: 7)
        DriveMask after;    // iPods on the drives when the event comes
        WPARAM event;
        DriveMask drives;
        std::wstring state;
    };
    const Case cases[] = {
        {"arrival, nothing loaded", 0, E | G, DBT_DEVICEARRIVAL, E | G, L"E:\\Echo* G:\\Golf 12 tracks, 0 ticked, '' +++"},
        {"arrival beside the loaded iPod", G, E | G, DBT_DEVICEARRIVAL, E,
         L"E:\\Echo G:\\Golf* 7 tracks, 7 ticked, '' +++"},
        {"arrival of a drive without an iPod", G, G, DBT_DEVICEARRIVAL, E | H, L"G:\\Golf* 7 tracks, 7 ticked, '' +++"},
        {"removal of the loaded iPod", E | G, G, DBT_DEVICEREMOVECOMPLETE, E,
         L"G:\\Golf 0 tracks, 0 ticked, 'iPod removed' ++-"},
        {"removal of the only iPod", E, 0, DBT_DEVICEREMOVECOMPLETE, E, L"0 tracks, 0 ticked, 'iPod removed' -+-"},
        {"removal of another iPod", E | G, E, DBT_DEVICEREMOVECOMPLETE, G, L"E:\\Echo* 12 tracks, 12 ticked, '' +++"},
        {"removal of an unlisted drive", E, E, DBT_DEVICEREMOVECOMPLETE, H, L"E:\\Echo* 12 tracks, 12 ticked, '' +++"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_pLibrary->Clear();
        g_loadedDrive = 0;
        SetStatusText(2, L"");
        PutIpods(c.before);
        ScanAndTick();
        PutIpods(c.after);
        Volume(c.event, c.drives);
        ASSERT_TRUE(Settled());
        EXPECT_EQ(c.state, State());
    }
}

TEST_F(DeviceChangeTest, OtherDevicesNetworkDrivesAndTheFloppyLettersAreLeftAlone)
{
    ASSERT_TRUE(MakeIpod(L"B:\\", 3, std::wstring(L"Bravo")));
    ASSERT_TRUE(MakeIpod(L"E:\\", 12, std::wstring(L"Echo")));
    const std::wstring untouched = L"0 tracks, 0 ticked, '' -+-";
    Volume(DBT_DEVICEARRIVAL, E, DBTF_NET);
    Volume(DBT_DEVICEARRIVAL, E, 0, DBT_DEVTYP_PORT);
    Volume(DBT_DEVICEQUERYREMOVE, E);
    Arrive(DriveBit(L'B'));
    ASSERT_TRUE(Settled());
    EXPECT_EQ(untouched, State());
}

// While a worker holds the list or the library the events wait; the latest
// event for a drive wins, and they are applied once the worker has ended.
TEST_F(DeviceChangeTest, EventsWaitForTheWorkerThatHoldsTheListOrTheLibrary)
{
    struct Case {
        const char* name;
        std::atomic<int32_t>* hold;
        std::vector<std::pair<WPARAM, DriveMask>> events;
        std::wstring after;
    };
    const Case cases[] = {
        {"arrival during a scan", &g_busy, {{DBT_DEVICEARRIVAL, G}}, L"E:\\Echo* G:\\Golf 12 tracks, 12 ticked, '' +++"},
        {"removal during an eject", &g_ejecting, {{DBT_DEVICEREMOVECOMPLETE, E}},
         L"0 tracks, 0 ticked, 'iPod removed' -+-"},
        {"arrival, then removal of the same drive", &g_busy,
         {{DBT_DEVICEARRIVAL, G}, {DBT_DEVICEREMOVECOMPLETE, G}}, L"E:\\Echo* 12 tracks, 12 ticked, '' +++"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PutIpods(E);
        ScanAndTick();
        PutIpods(E | G);
        const std::wstring before = State();
        *c.hold = 1;
        for (const auto& event : c.events)
            Volume(event.first, event.second);
        PumpFor(3 * kDriveChangeRetryMs);
        EXPECT_EQ(before, State());
        *c.hold = 0;
        ASSERT_TRUE(Settled());
        EXPECT_EQ(c.after, State());
    }
}

// A copy worker held after its first step stands for a run from E:.
class HeldCopyHost : public CopyJobHost {
public:
    explicit HeldCopyHost(HANDLE gate) : m_gate(gate) {}
    bool SourceRoot(wchar_t (&root)[kPathCapacity]) override { return wcscpy(root, L"E:\\"), true; }
    std::wstring RenamingRule() override { return L"<title>"; }
    DWORD TransferOverwrite() override { return 0; }
    DWORD TickCount() override { return GetTickCount(); }
    void AfterStep() override { WaitForSingleObject(m_gate, INFINITE); }
    void Log(const wchar_t*) override {}
    void SetOverallProgress(int) override {}
    void SetFileProgress(int) override {}
    void SetCounterText(const wchar_t*) override {}
    void SetNameText(const wchar_t*) override {}
    void SetElapsedText(const wchar_t*) override {}
    void ClearRowChecks() override {}
    void CloseDialog() override {}

private:
    HANDLE m_gate;
};

TEST_F(DeviceChangeTest, RemovalDuringACopyIsAppliedWhenTheRunEndsAndTheRunLearnsIt)
{
    PutIpods(E);
    ScanAndTick();
    testing_support::TempDir backup;
    wcscpy(g_copyJob.destinationFolder, (backup.Path() + L"\\").c_str());
    ScopedKernelHandle gate(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::vector<TrackEntry*> tracks;
    g_pLibrary->GetCheckedTracks(tracks);
    PrepareCopyRun(g_copyJob, tracks, std::make_unique<HeldCopyHost>(gate.Get()));
    ASSERT_TRUE(StartCopyWorker(g_copyJob));
    testing_support::EmptyTestDrives();
    Remove(E);
    PumpFor(3 * kDriveChangeRetryMs);
    EXPECT_EQ(L"E:\\Echo* 12 tracks, 12 ticked, '' +++", State()) << "the run's tracks stay";
    EXPECT_EQ(1u, g_copyJob.sourceRemoved.load());
    SetEvent(gate.Get());
    WaitForCopyWorker(g_copyJob);
    ASSERT_TRUE(Settled());
    EXPECT_EQ(L"0 tracks, 0 ticked, 'iPod removed' -+-", State());
}

}  // namespace
