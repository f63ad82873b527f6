// Discovery against the drive letters of the test prefix (B: E: F: G: H:,
// each a folder of the build), the scan and load workers, and the states of
// the selector, the Scan button and the Eject item they leave.
#include "device/ipod_list.h"
#include "library/host_window.h"
#include "support/test_drives.h"
#include "support/test_support.h"

#include "ipodgen/sample_ipod.h"

#include <gtest/gtest.h>

using namespace ipodgen;
using testing_support::HostWindow;
using testing_support::EmptyDrive;
using testing_support::EmptyTestDrives;
using testing_support::MakeIpod;
using testing_support::RunWorker;
using Strings = std::vector<std::wstring>;

namespace {

// Wine reads a drive's label (the ".windows-label" file of the mapped
// folder) once, when its services start, so a test cannot set one: the
// prefix is made with a label on F:.
std::wstring CurrentLabel(const wchar_t* root)
{
    wchar_t label[32] = {};
    GetVolumeInformationW(root, label, ARRAYSIZE(label), nullptr, nullptr, nullptr, nullptr, 0);
    return label;
}

bool WriteDeviceInfo(const wchar_t* root, const Bytes& bytes)
{
    return WriteBytes(std::wstring(root) + L"iPod_Control\\iTunes\\DeviceInfo", bytes);
}

Bytes CountThenText(uint16_t count, const std::wstring& text)
{
    Bytes bytes{static_cast<uint8_t>(count & 0xFF), static_cast<uint8_t>(count >> 8)};
    const Bytes units = Utf16Bytes(text);
    bytes.insert(bytes.end(), units.begin(), units.end());
    return bytes;
}

class IpodScan : public ::testing::Test {
protected:
    void SetUp() override
    {
        EmptyTestDrives();
        g_ipodList.AttachSelector(host.selector);
    }
    void TearDown() override
    {
        EmptyTestDrives();
        g_ipodList.AttachSelector(nullptr);
    }

    int SelectedIndex() const { return static_cast<int>(SendMessageW(host.selector, CB_GETCURSEL, 0, 0)); }
    bool Enabled(HWND control) const { return IsWindowEnabled(control) != FALSE; }

    HostWindow host;
};

TEST_F(IpodScan, TwoIpodsListedInDriveOrderTheFirstSelectedAndLoaded)
{
    ASSERT_TRUE(MakeIpod(L"G:\\", 7, std::wstring(L"Gamma")));
    ASSERT_TRUE(MakeIpod(L"E:\\", 12, std::wstring(L"Epsilon")));
    ASSERT_TRUE(RunWorker(ScanThreadProc, nullptr));

    EXPECT_EQ((Strings{L"Epsilon", L"Gamma"}), host.SelectorItems());
    ASSERT_EQ(2u, g_ipodList.Entries().size());
    EXPECT_STREQ(L"E:\\", g_ipodList.Entries()[0]->root);
    EXPECT_STREQ(L"G:\\", g_ipodList.Entries()[1]->root);
    EXPECT_EQ(0, SelectedIndex());
    EXPECT_STREQ(L"E:\\", g_ipodList.GetSelectedRoot());
    EXPECT_EQ(12, host.library.GetItemCount());
    EXPECT_EQ(12, ListView_GetItemCount(host.list));
    EXPECT_EQ(L"Items: 12", host.StatusText(0));
    EXPECT_EQ(L"Checked items: 0", host.StatusText(1));
    EXPECT_EQ(L"", host.StatusText(2));
    EXPECT_EQ(0, g_busy.load());

    SendMessageW(host.selector, CB_SETCURSEL, 1, 0);
    ASSERT_TRUE(RunWorker(LoadThreadProc, const_cast<wchar_t*>(g_ipodList.GetSelectedRoot())));
    EXPECT_EQ(7, host.library.GetItemCount());
    EXPECT_EQ(L"Items: 7", host.StatusText(0));
}

// Newer iPods keep their database compressed in iTunesCDB; their iTunesDB is
// empty or missing. A folder with neither file is no iPod.
TEST_F(IpodScan, IpodsWithACompressedDatabaseAreFoundAndLoaded)
{
    SampleIpodOptions options;
    options.mediaFiles = false;
    options.compressedDatabase = true;
    options.trackCount = 12;
    options.deviceName = std::wstring(L"Nano");
    ASSERT_TRUE(CreateSampleIpod(L"E:\\", options));
    options.trackCount = 7;
    options.deviceName = std::wstring(L"Nano without iTunesDB");
    ASSERT_TRUE(CreateSampleIpod(L"G:\\", options));
    ASSERT_TRUE(DeleteFileW(L"G:\\iPod_Control\\iTunes\\iTunesDB"));
    ASSERT_TRUE(MakeIpod(L"H:\\", 3, std::wstring(L"No database")));
    ASSERT_TRUE(DeleteFileW(L"H:\\iPod_Control\\iTunes\\iTunesDB"));
    ASSERT_TRUE(RunWorker(ScanThreadProc, nullptr));

    EXPECT_EQ((Strings{L"Nano", L"Nano without iTunesDB"}), host.SelectorItems());
    EXPECT_EQ(12, host.library.GetItemCount());
    EXPECT_EQ(L"Items: 12", host.StatusText(0));
    SendMessageW(host.selector, CB_SETCURSEL, 1, 0);
    ASSERT_TRUE(RunWorker(LoadThreadProc, const_cast<wchar_t*>(g_ipodList.GetSelectedRoot())));
    EXPECT_EQ(7, host.library.GetItemCount());
    EXPECT_EQ(3u, TreeView_GetCount(host.tree) - 1) << "the three ordinary playlists";
}

TEST_F(IpodScan, NamesFromDeviceInfoReadDefensivelyOrFromTheVolumeLabel)
{
    ASSERT_TRUE(MakeIpod(L"E:\\", 1, std::wstring(L"unused")));
    Bytes alpha = CountThenText(5, L"AlphaJUNK");
    alpha.push_back(0x41);   // odd trailing byte
    ASSERT_TRUE(WriteDeviceInfo(L"E:\\", alpha));
    ASSERT_TRUE(MakeIpod(L"F:\\", 1, std::nullopt));
    // The test prefix gives F: this label (scripts/wine-prefix.sh).
    const std::wstring label = L"SAVANTO F";
    ASSERT_EQ(label, CurrentLabel(L"F:\\"));
    ASSERT_TRUE(MakeIpod(L"G:\\", 1, std::wstring(L"unused")));
    ASSERT_TRUE(WriteDeviceInfo(L"G:\\", CountThenText(60000, L"Sho")));   // count beyond the file
    ASSERT_TRUE(MakeIpod(L"H:\\", 1, std::wstring(L"unused")));
    ASSERT_TRUE(WriteDeviceInfo(L"H:\\", Bytes{}));

    EXPECT_EQ(4, g_ipodList.Scan());
    EXPECT_EQ((Strings{L"Alpha", label, L"Sho", L""}), host.SelectorItems())
        << "F: has no DeviceInfo: its volume label, not its root";
    ASSERT_TRUE(g_ipodList.Entries()[3]->name) << "an empty DeviceInfo is an empty name, not none";

    // A count with half a unit after it keeps that unit's low byte.
    ASSERT_TRUE(WriteDeviceInfo(L"G:\\", Bytes{9, 0, 'O', 0, 'K', 0, '!'}));
    ASSERT_TRUE(WriteDeviceInfo(L"H:\\", Bytes{7}));   // not even a whole count
    EXPECT_EQ(4, g_ipodList.Scan());
    EXPECT_EQ((Strings{L"Alpha", label, L"OK!", L""}), host.SelectorItems());
}

TEST_F(IpodScan, DriveBIsNeverProbed)
{
    ASSERT_TRUE(MakeIpod(L"B:\\", 3, std::wstring(L"Bravo")));
    ASSERT_TRUE(RunWorker(ScanThreadProc, nullptr));
    EXPECT_TRUE(host.SelectorItems().empty());
    EXPECT_EQ(nullptr, g_ipodList.GetSelectedRoot());
    EXPECT_EQ(0, host.library.GetItemCount());
}

TEST_F(IpodScan, ASecondScanAfterAnEmptyOneSearchesAgain)
{
    EXPECT_EQ(0, g_ipodList.Scan());
    ASSERT_TRUE(MakeIpod(L"F:\\", 2, std::wstring(L"Foxtrot")));
    EXPECT_EQ(1, g_ipodList.Scan());
    EXPECT_EQ((Strings{L"Foxtrot"}), host.SelectorItems());
}

TEST_F(IpodScan, AScanWhileAnotherRunsReturnsZeroAndLeavesTheSelector)
{
    ASSERT_TRUE(MakeIpod(L"E:\\", 2, std::wstring(L"Echo")));
    ASSERT_EQ(1, g_ipodList.Scan());
    ASSERT_TRUE(MakeIpod(L"G:\\", 2, std::wstring(L"Golf")));

    g_ipodList.ScanGuard() = 1;   // as if another thread were scanning
    EXPECT_EQ(0, g_ipodList.Scan());
    EXPECT_EQ((Strings{L"Echo"}), host.SelectorItems());
    EXPECT_EQ(1u, g_ipodList.Entries().size());
    g_ipodList.ScanGuard() = 0;
    EXPECT_EQ(2, g_ipodList.Scan());
}

// Records what the controls look like when a worker writes its passing text.
struct StatusProbe {
    static inline HostWindow* host = nullptr;
    static inline WNDPROC original = nullptr;
    struct Seen {
        std::wstring text;
        bool selector, scan, eject;
        int busy;
    };
    static inline std::vector<Seen> seen;

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == SB_SETTEXTW && LOBYTE(wParam) == 2 && lParam && *reinterpret_cast<wchar_t*>(lParam))
            seen.push_back({reinterpret_cast<wchar_t*>(lParam), IsWindowEnabled(host->selector) != FALSE,
                            IsWindowEnabled(host->scanButton) != FALSE, host->EjectEnabled(), g_busy.load()});
        return CallWindowProcW(original, window, message, wParam, lParam);
    }
    explicit StatusProbe(HostWindow& window)
    {
        host = &window;
        seen.clear();
        original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window.statusBar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
    }
    ~StatusProbe() { SetWindowLongPtrW(host->statusBar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original)); }
};

TEST_F(IpodScan, ControlStatesThroughAScanThatFindsAnIpodAndALoad)
{
    ASSERT_TRUE(MakeIpod(L"E:\\", 3, std::wstring(L"Echo")));
    EXPECT_FALSE(Enabled(host.selector));
    EXPECT_FALSE(Enabled(host.scanButton));
    EXPECT_FALSE(host.EjectEnabled());
    {
        StatusProbe probe(host);
        ASSERT_TRUE(RunWorker(ScanThreadProc, nullptr));
        ASSERT_EQ(2u, StatusProbe::seen.size());
        EXPECT_EQ(L"Scanning for iPods", StatusProbe::seen[0].text);
        EXPECT_EQ(L"Getting iPod information", StatusProbe::seen[1].text);
        for (const auto& seen : StatusProbe::seen) {
            EXPECT_FALSE(seen.selector || seen.scan || seen.eject) << "while: " << seen.text.c_str();
            EXPECT_EQ(1, seen.busy);
        }
    }
    EXPECT_TRUE(Enabled(host.selector));
    EXPECT_TRUE(Enabled(host.scanButton));
    EXPECT_TRUE(host.EjectEnabled());
    EXPECT_EQ(0, g_busy.load());

    {
        StatusProbe probe(host);
        ASSERT_TRUE(RunWorker(LoadThreadProc, const_cast<wchar_t*>(L"E:\\")));
        ASSERT_EQ(1u, StatusProbe::seen.size());
        EXPECT_FALSE(StatusProbe::seen[0].selector || StatusProbe::seen[0].scan || StatusProbe::seen[0].eject);
        EXPECT_EQ(1, StatusProbe::seen[0].busy);
    }
    EXPECT_TRUE(Enabled(host.selector));
    EXPECT_TRUE(Enabled(host.scanButton));
    EXPECT_TRUE(host.EjectEnabled());
    EXPECT_EQ(0, g_busy.load());
    EXPECT_EQ(3, host.library.GetItemCount());
}

TEST_F(IpodScan, AScanThatFindsNoneEnablesOnlyScanAndKeepsTheLoadedTracks)
{
    ASSERT_TRUE(MakeIpod(L"E:\\", 4, std::wstring(L"Echo")));
    ASSERT_TRUE(RunWorker(ScanThreadProc, nullptr));
    ASSERT_EQ(4, host.library.GetItemCount());
    EmptyDrive(L"E:");

    ASSERT_TRUE(RunWorker(ScanThreadProc, nullptr));
    EXPECT_TRUE(host.SelectorItems().empty());
    EXPECT_FALSE(Enabled(host.selector));
    EXPECT_TRUE(Enabled(host.scanButton));
    EXPECT_FALSE(host.EjectEnabled());
    EXPECT_EQ(4, host.library.GetItemCount()) << "the library keeps the last iPod's tracks";
    EXPECT_EQ(4, ListView_GetItemCount(host.list));
    EXPECT_EQ(L"Items: 4", host.StatusText(0));
    EXPECT_EQ(L"", host.StatusText(2));
}

TEST_F(IpodScan, AScanThreadMeetingARunningScanEndsAsAfterFindingNone)
{
    ASSERT_TRUE(MakeIpod(L"E:\\", 2, std::wstring(L"Echo")));
    g_ipodList.ScanGuard() = 1;
    ASSERT_TRUE(RunWorker(ScanThreadProc, nullptr));
    g_ipodList.ScanGuard() = 0;
    EXPECT_TRUE(host.SelectorItems().empty());
    EXPECT_FALSE(Enabled(host.selector));
    EXPECT_TRUE(Enabled(host.scanButton));
    EXPECT_EQ(0, host.library.GetItemCount());
}

// Counts the messages that other threads send to the list and the tree. The
// hook's wParam tells a message of this thread from one of another.
struct CrossThreadCounter {
    static inline HWND views[2] = {};
    static inline int count = 0;

    static LRESULT CALLBACK Hook(int code, WPARAM sentByThisThread, LPARAM lParam)
    {
        const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && !sentByThisThread && (message->hwnd == views[0] || message->hwnd == views[1]))
            ++count;
        return CallNextHookEx(nullptr, code, sentByThisThread, lParam);
    }
    explicit CrossThreadCounter(const HostWindow& host)
        : hook(SetWindowsHookExW(WH_CALLWNDPROC, &Hook, nullptr, GetCurrentThreadId()))
    {
        views[0] = host.list;
        views[1] = host.tree;
        count = 0;
    }
    ~CrossThreadCounter() { UnhookWindowsHookEx(hook); }
    HHOOK hook;
};

TEST_F(IpodScan, ALoadFromAWorkerDrivesTheViewsFromTheirOwnThread)
{
    // The rows and nodes are made on the thread that owns the views, so the
    // worker's messages to them do not grow with the number of tracks.
    std::vector<int> crossThread;
    for (int tracks : {20, 1500}) {
        ASSERT_TRUE(MakeIpod(L"E:\\", tracks, std::wstring(L"Echo")));
        ASSERT_EQ(1, g_ipodList.Scan());
        CrossThreadCounter counter(host);
        ASSERT_TRUE(RunWorker(LoadThreadProc, const_cast<wchar_t*>(L"E:\\")));
        crossThread.push_back(CrossThreadCounter::count);

        EXPECT_EQ(tracks, ListView_GetItemCount(host.list));
        EXPECT_EQ(tracks, host.library.GetItemCount());
        EXPECT_EQ(host.library.Playlists().size(), host.PlaylistLabels().size());
        EXPECT_EQ(L"Items: " + std::to_wstring(tracks), host.StatusText(0));
        EXPECT_EQ(L"", host.StatusText(2));
        EmptyDrive(L"E:");
    }
    EXPECT_EQ(crossThread[0], crossThread[1]);
    EXPECT_EQ(0, crossThread[1]);
}

}  // namespace
