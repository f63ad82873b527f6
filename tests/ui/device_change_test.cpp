// Drives that come and go, told to the real main window as the system tells
// it (WM_DEVICECHANGE with a DEV_BROADCAST_VOLUME), on the test drives.
#include "main_window_fixture.h"

#include "backup/copy_test_util.h"
#include "device/device_change.h"
#include "device/ipod_list.h"
#include "library/media_library.h"
#include "library/views.h"
#include "support/test_drives.h"
#include "ui/device_events.h"

#include <dbt.h>

namespace {

using testing_support::MakeIpod;
constexpr DriveMask B = DriveBit(L'B'), E = DriveBit(L'E'), G = DriveBit(L'G'), H = DriveBit(L'H');
constexpr WPARAM kArrival = DBT_DEVICEARRIVAL, kRemoval = DBT_DEVICEREMOVECOMPLETE;

struct Event {
    WPARAM event;
    DriveMask drives;
    DWORD flags = 0;
    DWORD type = DBT_DEVTYP_VOLUME;
};

class DeviceChangeTest : public MainWindowTest {
protected:
    void TearDown() override
    {
        Settled();
        g_pLibrary->Clear();
        testing_support::EmptyTestDrives();
        MainWindowTest::TearDown();
    }
    void Send(const Event& e) const
    {
        DEV_BROADCAST_VOLUME volume = {sizeof(volume), e.type, 0, e.drives, static_cast<WORD>(e.flags)};
        SendMessageW(m_window, WM_DEVICECHANGE, e.event, reinterpret_cast<LPARAM>(&volume));
    }
    static bool Settled() { return PumpUntil([] { return g_pendingDriveChanges.Empty() && g_busy == 0; }); }
    // Only these iPods on the drives: B: "Bravo", E: "Echo" of 12 tracks, G: "Golf" of 7.
    static void PutIpods(DriveMask drives)
    {
        testing_support::EmptyTestDrives();
        EXPECT_TRUE(!(drives & B) || MakeIpod(L"B:\\", 3, std::wstring(L"Bravo")));
        EXPECT_TRUE(!(drives & E) || MakeIpod(L"E:\\", 12, std::wstring(L"Echo")));
        EXPECT_TRUE(!(drives & G) || MakeIpod(L"G:\\", 7, std::wstring(L"Golf")));
    }
    // Starts afresh with the iPods on `drives` scanned, the first loaded, every track ticked.
    void ScanAndTick(DriveMask drives)
    {
        g_pLibrary->Clear();
        g_loadedDrive = 0;
        SetStatusText(2, L"");
        PutIpods(drives);
        SendMessageW(m_window, WM_COMMAND, IDM_SCAN, 0);
        ASSERT_TRUE(Settled());
        SendMessageW(m_window, WM_COMMAND, IDM_CHECK_ALL, 0);
    }
    // The iPods listed, the selected one starred; the library; the status
    // bar's message; the selector, Scan button and Eject item enabled (+).
    std::wstring State() const
    {
        std::wstring state;
        for (const auto& entry : g_ipodList.Entries())
            state += entry->root + std::wstring(entry->name.get()) +
                     (g_ipodList.GetSelectedRoot() == entry->root ? L"* " : L" ");
        state += std::to_wstring(g_pLibrary->GetItemCount()) + L" tracks, " +
                 std::to_wstring(g_pLibrary->GetCheckedCount()) + L" ticked, '" + StatusText(2) + L"' ";
        for (bool on : {IsWindowEnabled(Item(IDC_IPOD_SELECTOR)) != FALSE, IsWindowEnabled(Item(IDC_SCAN)) != FALSE,
                        !(GetMenuState(GetMenu(m_window), IDM_EJECT, MF_BYCOMMAND) & MF_GRAYED)})
            state += on ? L'+' : L'-';
        return state;
    }
};

// Events while a worker holds the list or the library (`hold`) wait for its
// end, the latest for a drive winning.
TEST_F(DeviceChangeTest, ArrivalsAndRemovalsKeepTheLoadedIpodAndWaitForWorkers)
{
    struct Case {
        const char* name;
        DriveMask before, after;   // the iPods scanned, then those on the drives at the events
        std::atomic<int32_t>* hold;
        std::vector<Event> events;
        std::wstring state;
    };
    const std::wstring echoOnly = L"E:\\Echo* 12 tracks, 12 ticked, '' +++";
    const Case cases[] = {
        {"arrival, none loaded", 0, E | G, nullptr, {{kArrival, E | G}}, L"E:\\Echo* G:\\Golf 12 tracks, 0 ticked, '' +++"},
        {"arrival beside the loaded", G, E | G, nullptr, {{kArrival, E}}, L"E:\\Echo G:\\Golf* 7 tracks, 7 ticked, '' +++"},
        {"arrival without an iPod", E, E, nullptr, {{kArrival, G | H}}, echoOnly},
        {"ignored", 0, B | E, nullptr,
         {{kArrival, E, DBTF_NET}, {kArrival, E, 0, DBT_DEVTYP_PORT}, {DBT_DEVICEQUERYREMOVE, E}, {kArrival, B}},
         L"0 tracks, 0 ticked, '' -+-"},
        {"removal of the loaded", E | G, G, nullptr, {{kRemoval, E}}, L"G:\\Golf 0 tracks, 0 ticked, 'iPod removed' ++-"},
        {"removal of the only", E, 0, nullptr, {{kRemoval, E}}, L"0 tracks, 0 ticked, 'iPod removed' -+-"},
        {"removal of another", E | G, E, nullptr, {{kRemoval, G}}, echoOnly},
        {"removal of an unlisted", E, E, nullptr, {{kRemoval, H}}, echoOnly},
        {"arrival during a scan", E, E | G, &g_busy, {{kArrival, G}}, L"E:\\Echo* G:\\Golf 12 tracks, 12 ticked, '' +++"},
        {"removal during an eject", E, 0, &g_ejecting, {{kRemoval, E}}, L"0 tracks, 0 ticked, 'iPod removed' -+-"},
        {"arrival, then removal, during a scan", E, E | G, &g_busy, {{kArrival, G}, {kRemoval, G}}, echoOnly},
        {"replaced while busy", E, E, &g_busy, {{kRemoval, E}, {kArrival, E}}, L"E:\\Echo* 12 tracks, 0 ticked, '' +++"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScanAndTick(c.before);
        PutIpods(c.after);
        const std::wstring before = State();
        if (c.hold)
            *c.hold = 1;
        for (const Event& e : c.events)
            Send(e);
        if (c.hold) {
            PumpFor(3 * kDriveChangeRetryMs);
            EXPECT_EQ(before, State()) << "while held";
            *c.hold = 0;
        }
        ASSERT_TRUE(Settled());
        EXPECT_EQ(c.state, State());
    }
}

TEST_F(DeviceChangeTest, RemovalDuringACopyIsAppliedWhenTheRunEndsAndTheRunLearnsIt)
{
    ScanAndTick(E);
    testing_support::TempDir backup;
    wcscpy(g_copyJob.destinationFolder, (backup.Path() + L"\\").c_str());
    ScopedKernelHandle gate(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::vector<TrackEntry*> tracks;
    g_pLibrary->GetCheckedTracks(tracks);
    auto host = std::make_unique<copy_test::RecordingHost>();   // held after its first step
    host->root = L"E:\\";
    host->onStep = [&](int) { WaitForSingleObject(gate.Get(), INFINITE); };
    PrepareCopyRun(g_copyJob, tracks, std::move(host));
    ASSERT_TRUE(StartCopyWorker(g_copyJob));
    PutIpods(0);
    Send({kRemoval, E});
    PumpFor(3 * kDriveChangeRetryMs);
    EXPECT_EQ(L"E:\\Echo* 12 tracks, 12 ticked, '' +++", State()) << "the run's tracks stay";
    EXPECT_EQ(1u, g_copyJob.sourceRemoved.load());
    SetEvent(gate.Get());
    WaitForCopyWorker(g_copyJob);
    ASSERT_TRUE(Settled());
    EXPECT_EQ(L"0 tracks, 0 ticked, 'iPod removed' -+-", State());
}

}  // namespace
