// The eject on the real main window, with the drive played by a recorder of
// the volume calls: the requests and their order, the boxes, the controls and
// the library the eject leaves, and what the window's own handlers do while
// the eject runs. Interleavings happen at chosen calls of the recorder.
#include "main_window_fixture.h"

#include "device/device_change.h"
#include "device/eject.h"
#include "device/ipod_list.h"
#include "library/host_window.h"
#include "library/media_library.h"
#include "support/test_drives.h"

#include <commctrl.h>
#include <dbt.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::wstring>;
using testing_support::MakeIpod;

HANDLE const kVolume = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x5A5A));
const wchar_t kEjectError[] =
    L"box iPod Eject Error|Cannot eject the iPod. Make sure iTunes or other application is not accessing the "
    L"iPod and try again.|16|main";
const wchar_t kWrongType[] = L"box Cannot eject|Cannot eject. Drive type is incorrect.\n|0|active";
const wchar_t kOpenError[] = L"box Cannot eject|CreateFile error.\n|0|active";
const wchar_t kEjected[] = L"box iPod Ejected|iPod has been ejected safely|0|main";
const wchar_t kLock[] = L"ioctl 90018 in=0 out=0";
const wchar_t kDismount[] = L"ioctl 90020 in=0 out=0";
const wchar_t kAllowRemoval[] = L"ioctl 2d4804 in=1:0 out=0";
const wchar_t kEjectMedia[] = L"ioctl 2d4808 in=0 out=0";

// How the simulated drive answers.
struct Device {
    UINT driveType = DRIVE_REMOVABLE;
    bool openFails = false;
    int lockRefusals = 0;      // refused attempts before the lock is granted
    DWORD refusedCode = 0;     // a request after the lock that fails
    bool closeFails = false;
};

// Plays the drive and records every call as a line. `onCall` runs after each
// line is recorded, on the calling thread: the eject worker's, mostly.
struct Recorder {
    Device device;
    Lines lines;
    std::function<void(const std::wstring&)> onCall;
    wchar_t openedLetter = 0;

    static inline Recorder* current = nullptr;

    void Record(std::wstring line)
    {
        lines.push_back(line);
        if (onCall)
            onCall(line);
    }
    static UINT WINAPI DriveType(LPCWSTR root)
    {
        current->Record(std::wstring(L"type ") + root);
        return current->device.driveType;
    }
    static HANDLE WINAPI Open(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE templateFile)
    {
        wchar_t line[160];
        swprintf(line, ARRAYSIZE(line), L"open %ls access=%lx share=%lu%ls disposition=%lu flags=%lu%ls", path,
                 access, share, security ? L" security" : L"", disposition, flags, templateFile ? L" template" : L"");
        current->openedLetter = path[4];
        current->Record(line);
        return current->device.openFails ? INVALID_HANDLE_VALUE : kVolume;
    }
    static BOOL WINAPI Control(HANDLE volume, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                               LPDWORD returned, LPOVERLAPPED overlapped)
    {
        wchar_t line[160];
        swprintf(line, ARRAYSIZE(line), L"ioctl %lx in=%lu%ls out=%lu%ls%ls%ls", code, inSize,
                 in && inSize == 1 ? (*static_cast<BYTE*>(in) ? L":1" : L":0") : L"", outSize,
                 out ? L" buffer" : L"", returned ? L"" : L" no-count", overlapped ? L" overlapped" : L"");
        current->Record(volume == kVolume ? line : L"ioctl on another handle");
        return current->Answer(code);
    }
    BOOL Answer(DWORD code)
    {
        if (code == FSCTL_LOCK_VOLUME)
            return device.lockRefusals-- > 0 ? FALSE : TRUE;
        if (code == device.refusedCode)
            return FALSE;
        if (code == IOCTL_STORAGE_EJECT_MEDIA) {   // as a real eject would, the iPod goes away
            const wchar_t database[] = {openedLetter, L':', L'\\', L'\0'};
            DeleteFileW((std::wstring(database) + L"iPod_Control\\iTunes\\iTunesDB").c_str());
        }
        return TRUE;
    }
    static BOOL WINAPI Close(HANDLE handle)
    {
        current->Record(handle == kVolume ? L"close" : L"close another handle");
        return !current->device.closeFails;
    }
    static void WINAPI Wait(DWORD milliseconds) { current->Record(L"sleep " + std::to_wstring(milliseconds)); }
    static int WINAPI Box(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
    {
        // The worker owns no window: its active window is none.
        const wchar_t* ownerName = owner == GetActiveWindow() ? L"active" : owner == g_hMainWnd ? L"main" : L"other";
        current->Record(std::wstring(L"box ") + caption + L"|" + text + L"|" + std::to_wstring(type) + L"|" +
                        ownerName);
        return IDOK;
    }

    Recorder()
    {
        saved = EjectCalls();
        current = this;
        EjectCalls() = {DriveType, Open, Control, Close, Wait, Box};
    }
    ~Recorder()
    {
        EjectCalls() = saved;
        current = nullptr;
    }
    EjectPlatform saved;
};

Lines LockGrantedAfter(int refusals)
{
    Lines lines;
    for (int i = 0; i < refusals; ++i)
        lines.insert(lines.end(), {kLock, L"sleep 500"});
    lines.push_back(kLock);
    return lines;
}

Lines Joined(std::initializer_list<Lines> parts)
{
    Lines all;
    for (const Lines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

int Count(const Lines& lines, const std::wstring& line)
{
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

const Lines kOpenE = {L"type E:\\", L"open \\\\.\\E: access=c0000000 share=3 disposition=3 flags=0"};

LRESULT CALLBACK CountRefills(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR counter)
{
    if (message == LVM_SETITEMCOUNT)
        ++*reinterpret_cast<int*>(counter);
    return DefSubclassProc(window, message, wParam, lParam);
}

class EjectTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        testing_support::EmptyTestDrives();
        SetWindowSubclass(List(), CountRefills, 1, reinterpret_cast<DWORD_PTR>(&m_refills));
    }
    void TearDown() override
    {
        PumpUntil([] { return g_ejecting == 0 && g_busy == 0; });
        RemoveWindowSubclass(List(), CountRefills, 1);
        g_pLibrary->Clear();
        testing_support::EmptyTestDrives();
        MainWindowTest::TearDown();
    }

    HWND List() const { return Item(IDC_MEDIA_LIST); }
    int Rows() const { return static_cast<int>(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0)); }
    void Command(int id) const { SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    bool EjectEnabled() const { return !(GetMenuState(GetMenu(m_window), IDM_EJECT, MF_BYCOMMAND) & MF_GRAYED); }
    // Selector, Scan button, Eject item: "+" enabled, "-" not.
    std::wstring Controls() const
    {
        std::wstring states;
        for (bool on : {IsWindowEnabled(Item(IDC_IPOD_SELECTOR)) != FALSE, IsWindowEnabled(Item(IDC_SCAN)) != FALSE,
                        EjectEnabled()})
            states += on ? L'+' : L'-';
        return states;
    }
    int SelectorCount() const { return static_cast<int>(SendMessageW(Item(IDC_IPOD_SELECTOR), CB_GETCOUNT, 0, 0)); }
    // The library as the user sees it.
    std::wstring Shown() const
    {
        return std::to_wstring(g_pLibrary->GetItemCount()) + L" tracks, " + std::to_wstring(Rows()) + L" rows, " +
               std::to_wstring(g_pLibrary->GetCheckedCount()) + L" ticked, " + StatusText(0) + L", " +
               std::to_wstring(SelectorCount()) + L" iPods";
    }
    void ScanFromMenu()
    {
        Command(IDM_SCAN);
        ASSERT_TRUE(PumpUntil([] { return g_busy == 0; }));
    }
    void LoadEchoAndGolf()
    {
        ASSERT_TRUE(MakeIpod(L"E:\\", 12, std::wstring(L"Echo")));
        ASSERT_TRUE(MakeIpod(L"G:\\", 7, std::wstring(L"Golf")));
        ScanFromMenu();
        ASSERT_EQ(L"12 tracks, 12 rows, 0 ticked, Items: 12, 2 iPods", Shown());
    }
    void EjectAndWait()
    {
        Command(IDM_EJECT);
        ASSERT_TRUE(PumpUntil([] { return g_ejecting == 0; }));
    }
    static bool DatabaseOn(const wchar_t* root)
    {
        return GetFileAttributesW((std::wstring(root) + L"iPod_Control\\iTunes\\iTunesDB").c_str()) !=
               INVALID_FILE_ATTRIBUTES;
    }

    Recorder m_recorder;
    int m_refills = 0;
};

// --- The requests --------------------------------------------------------------

TEST_F(EjectTest, RequestsInOrderStoppingAtTheFirstRefusalAndAlwaysClosing)
{
    struct Case {
        const char* name;
        Device device;
        BOOL result;
        Lines expected;
    };
    const Lines wholeSequence = {kDismount, kAllowRemoval, kEjectMedia, L"close"};
    const Case cases[] = {
        {"removable", {}, TRUE, Joined({kOpenE, {kLock}, wholeSequence})},
        {"cd-rom", {DRIVE_CDROM}, TRUE,
         Joined({{L"type E:\\", L"open \\\\.\\E: access=80000000 share=3 disposition=3 flags=0", kLock},
                 wholeSequence})},
        {"fixed", {DRIVE_FIXED}, FALSE, {L"type E:\\", kWrongType}},
        {"network", {DRIVE_REMOTE}, FALSE, {L"type E:\\", kWrongType}},
        {"no drive", {DRIVE_NO_ROOT_DIR}, FALSE, {L"type E:\\", kWrongType}},
        {"open fails", {DRIVE_REMOVABLE, true}, FALSE, Joined({kOpenE, {kOpenError}})},
        {"lock on the 7th", {DRIVE_REMOVABLE, false, 6}, TRUE, Joined({kOpenE, LockGrantedAfter(6), wholeSequence})},
        {"lock on the 20th", {DRIVE_REMOVABLE, false, 19}, TRUE,
         Joined({kOpenE, LockGrantedAfter(19), wholeSequence})},
        {"lock never", {DRIVE_REMOVABLE, false, 20}, FALSE,
         Joined({kOpenE, LockGrantedAfter(19), {L"sleep 500", L"close"}})},
        {"dismount refused", {DRIVE_REMOVABLE, false, 0, FSCTL_DISMOUNT_VOLUME}, FALSE,
         Joined({kOpenE, {kLock, kDismount, L"close"}})},
        {"removal refused", {DRIVE_REMOVABLE, false, 0, IOCTL_STORAGE_MEDIA_REMOVAL}, FALSE,
         Joined({kOpenE, {kLock, kDismount, kAllowRemoval, L"close"}})},
        {"eject refused", {DRIVE_REMOVABLE, false, 0, IOCTL_STORAGE_EJECT_MEDIA}, FALSE,
         Joined({kOpenE, {kLock}, wholeSequence})},
        {"close fails", {DRIVE_REMOVABLE, false, 0, 0, true}, FALSE, Joined({kOpenE, {kLock}, wholeSequence})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(MakeIpod(L"E:\\", 1, std::wstring(L"Echo")));
        m_recorder.device = c.device;
        m_recorder.lines.clear();
        EXPECT_EQ(c.result, EjectDrive(L'E'));
        EXPECT_EQ(c.expected, m_recorder.lines);
        EXPECT_EQ(Count(c.expected, kEjectMedia) == 0 || c.device.refusedCode == IOCTL_STORAGE_EJECT_MEDIA,
                  DatabaseOn(L"E:\\"));
    }
}

// --- The thread on the main window ------------------------------------------------

TEST_F(EjectTest, EveryFailureTellsTheUserAndLeavesLibraryAndListAsTheyWere)
{
    struct Case {
        const char* name;
        Device device;
        bool busyAtStart;
        Lines boxes;
    };
    const Case cases[] = {
        {"fixed disk", {DRIVE_FIXED}, false, {kWrongType, kEjectError}},
        {"open fails", {DRIVE_REMOVABLE, true}, false, {kOpenError, kEjectError}},
        {"lock refused", {DRIVE_REMOVABLE, false, 20}, false, {kEjectError}},
        {"dismount refused", {DRIVE_REMOVABLE, false, 0, FSCTL_DISMOUNT_VOLUME}, false, {kEjectError}},
        {"eject refused", {DRIVE_REMOVABLE, false, 0, IOCTL_STORAGE_EJECT_MEDIA}, false, {kEjectError}},
        {"a scan began first", {}, true, {kEjectError}},
    };
    LoadEchoAndGolf();
    Command(IDM_CHECK_ALL);   // the ticks reach the library, which must keep them
    const std::wstring before = Shown();
    const int refills = m_refills;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_recorder.device = c.device;
        m_recorder.lines.clear();
        std::wstring controlsAtBox;
        m_recorder.onCall = [&](const std::wstring& line) {
            if (line == kEjectError)
                controlsAtBox = Controls();
        };
        if (c.busyAtStart) {   // the command refuses while busy: start the worker as it would have
            g_busy = 1;
            g_ejecting = 1;
            ASSERT_TRUE(StartWorker(EjectThreadProc, const_cast<wchar_t*>(StaticDriveRoot(L'E'))));
            ASSERT_TRUE(PumpUntil([] { return g_ejecting == 0; }));
            g_busy = 0;
        } else {
            EjectAndWait();
        }
        Lines boxes;
        for (const auto& line : m_recorder.lines)
            if (line.rfind(L"box ", 0) == 0)
                boxes.push_back(line);
        EXPECT_EQ(c.boxes, boxes);
        if (c.busyAtStart) {
            EXPECT_EQ(c.boxes, m_recorder.lines) << "the drive is not touched";
        }
        EXPECT_EQ(L"---", controlsAtBox);
        EXPECT_EQ(L"+++", Controls());
        EXPECT_EQ(before, Shown());
        EXPECT_TRUE(DatabaseOn(L"E:\\"));
    }
    EXPECT_EQ(refills, m_refills);
}

TEST_F(EjectTest, SuccessEmptiesTheLibraryThenLoadsTheIpodThatRemains)
{
    struct Case {
        const char* name;
        bool secondIpod;
        std::wstring shownAfter;
        std::wstring controlsAfter;
    };
    const Case cases[] = {
        {"E: and G:", true, L"7 tracks, 7 rows, 0 ticked, Items: 7, 1 iPods", L"+++"},
        {"E: only", false, L"0 tracks, 0 rows, 0 ticked, Items: 0, 0 iPods", L"-+-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::EmptyTestDrives();
        ASSERT_TRUE(MakeIpod(L"E:\\", 12, std::wstring(L"Echo")));
        if (c.secondIpod) {
            ASSERT_TRUE(MakeIpod(L"G:\\", 7, std::wstring(L"Golf")));
        }
        ScanFromMenu();
        m_recorder.lines.clear();
        std::wstring atFirstCall, atBox;
        m_recorder.onCall = [&](const std::wstring& line) {
            if (m_recorder.lines.size() == 1)
                atFirstCall = Controls();
            if (line == kEjected)
                atBox = Controls() + L" " + Shown() + L" '" + StatusText(2) + L"'";
            if (line != kEjectMedia)
                return;
            // The system reports the iPod's removal: the eject, whose work it is, does it alone.
            DEV_BROADCAST_VOLUME volume = {sizeof(volume), DBT_DEVTYP_VOLUME, 0, DriveBit(L'E'), 0};
            SendMessageW(m_window, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&volume));
        };
        EjectAndWait();
        ASSERT_TRUE(PumpUntil([] { return g_pendingDriveChanges.Empty() && g_busy == 0; }));
        EXPECT_EQ(Joined({kOpenE, {kLock, kDismount, kAllowRemoval, kEjectMedia, L"close", kEjected}}),
                  m_recorder.lines);
        EXPECT_EQ(L"---", atFirstCall);
        EXPECT_EQ(L"--- 0 tracks, 0 rows, 0 ticked, Items: 0, " + std::to_wstring(c.secondIpod ? 2 : 1) + L" iPods ''",
                  atBox);
        EXPECT_EQ(c.shownAfter, Shown());
        EXPECT_EQ(c.controlsAfter, Controls());
        const wchar_t* selected = g_ipodList.GetSelectedRoot();
        EXPECT_EQ(c.secondIpod ? L"G:\\" : L"", std::wstring(selected ? selected : L""));
        EXPECT_EQ(L"", StatusText(2));
    }
}

// --- The command ---------------------------------------------------------------------

TEST_F(EjectTest, CommandRefusedWhileBusyEjectingOrGreyedAndStartsOneEjectAtATime)
{
    LoadEchoAndGolf();
    m_recorder.device.refusedCode = FSCTL_DISMOUNT_VOLUME;   // each eject ends with the error box
    HACCEL accelerators = LoadAcceleratorsW(g_hInstance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    ASSERT_NE(nullptr, accelerators);
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    const BYTE savedControl = keys[VK_CONTROL];
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    const auto ctrlE = [&] {
        MSG message = {m_window, WM_KEYDOWN, 'E', 0x00120001};
        TranslateAcceleratorW(m_window, accelerators, &message);
    };
    struct Case {
        const char* name;
        std::function<void()> prepare;
        std::function<void()> command;
        int ejects;
    };
    const Case cases[] = {
        {"menu", [] {}, [&] { Command(IDM_EJECT); }, 1},
        {"Ctrl+E", [] {}, ctrlE, 1},
        {"menu twice before the worker runs", [] {}, [&] {
             Command(IDM_EJECT);
             Command(IDM_EJECT);
         }, 1},
        {"Ctrl+E while the item is greyed", [&] { EnableMenuItem(GetMenu(m_window), IDM_EJECT, MF_GRAYED); }, ctrlE, 0},
        {"menu while the item is greyed", [&] { EnableMenuItem(GetMenu(m_window), IDM_EJECT, MF_GRAYED); },
         [&] { Command(IDM_EJECT); }, 0},
        {"busy", [] { g_busy = 1; }, [&] { Command(IDM_EJECT); }, 0},
        {"ejecting", [] { g_ejecting = 1; }, [&] { Command(IDM_EJECT); }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_recorder.lines.clear();
        c.prepare();
        const int32_t ejectingBefore = g_ejecting;
        c.command();
        EXPECT_EQ(c.ejects ? 1 : ejectingBefore, g_ejecting.load()) << "claimed before the worker's first step";
        g_busy = 0;
        g_ejecting = c.ejects ? g_ejecting.load() : 0;
        ASSERT_TRUE(PumpUntil([] { return g_ejecting == 0; }));
        EXPECT_EQ(c.ejects, Count(m_recorder.lines, L"type E:\\"));
        EnableMenuItem(GetMenu(m_window), IDM_EJECT, MF_ENABLED);
    }
    keys[VK_CONTROL] = savedControl;
    SetKeyboardState(keys);
    DestroyAcceleratorTable(accelerators);
}

// --- The library kept apart ---------------------------------------------------------

TEST_F(EjectTest, HandlersAndAFileMenuScanDuringTheEjectLeaveTheLibraryWhole)
{
    struct Case {
        const char* name;
        std::wstring step;   // the recorded call at which the interleaving happens
        bool scan;           // a scan from the File menu runs to its end there
    };
    const Case cases[] = {
        {"handlers while the drive is locked", kLock, false},
        {"handlers after the library was emptied", kEjected, false},
        {"scan while the drive is locked", kLock, true},
        {"scan between emptying and reloading", kEjected, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::EmptyTestDrives();
        LoadEchoAndGolf();
        m_recorder.lines.clear();
        std::wstring seen;
        m_recorder.onCall = [&](const std::wstring& line) {
            if (line != c.step)
                return;
            if (c.scan) {
                SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(IDM_SCAN, 0), 0);
                for (int i = 0; i < 3000 && g_busy != 0; ++i)
                    Sleep(10);
                seen += L"scan ended " + std::to_wstring(g_busy == 0) + L"; ";
            }
            const std::wstring shown = Shown();
            const int refills = m_refills;
            SetDlgItemTextW(m_window, IDC_SEARCH, L"Echo");
            SendMessageW(m_window, WM_TIMER, IDT_SEARCH, 0);
            NMTREEVIEWW change = {};
            change.hdr = {Item(IDC_PLAYLIST_TREE), IDC_PLAYLIST_TREE, TVN_SELCHANGEDW};
            SendMessageW(m_window, WM_NOTIFY, IDC_PLAYLIST_TREE, reinterpret_cast<LPARAM>(&change));
            testing_support::HostWindow::ClickBox(List(), 0);
            SendMessageW(List(), WM_KEYDOWN, VK_SPACE, 0x00390001);
            Command(IDM_CHECK_ALL);
            SetDlgItemTextW(m_window, IDC_SEARCH, L"");
            seen += std::to_wstring(m_refills - refills) + L" refills, " +
                    (shown == Shown() ? L"library untouched" : L"library changed: " + Shown());
        };
        EjectAndWait();
        EXPECT_EQ((c.scan ? L"scan ended 1; " : L"") + std::wstring(L"0 refills, library untouched"), seen);
        EXPECT_EQ(L"7 tracks, 7 rows, 0 ticked, Items: 7, 1 iPods", Shown());
        EXPECT_EQ(L"+++", Controls());
        EXPECT_STREQ(L"G:\\", g_ipodList.GetSelectedRoot());
    }
}

TEST_F(EjectTest, AScanHoldingTheListMakesTheEjectsRescanFindNone)
{
    LoadEchoAndGolf();
    m_recorder.onCall = [&](const std::wstring& line) {
        if (line == kEjected)
            g_ipodList.ScanGuard() = 1;   // as if a scan from the File menu were probing the drives
    };
    EjectAndWait();
    g_ipodList.ScanGuard() = 0;
    EXPECT_EQ(L"0 tracks, 0 rows, 0 ticked, Items: 0, 2 iPods", Shown()) << "the other scan fills the list";
    EXPECT_EQ(L"-+-", Controls());
}

}  // namespace
