// savanto_probe wait TRACKS NAME SECONDS | close | box CAPTION SECONDS | controls | sizes
//               | ticked ROWS SECONDS | drive LETTER UNIXPATH|- | volume arrival|removal LETTER | selector
//               | keys SECONDS
// Run in the same Wine prefix as a running Savanto.exe. "wait" waits until
// its main window lists the iPod NAME in the selector and TRACKS rows in the
// media list with "Items: TRACKS" in the status bar and prints what it saw;
// exit code 0 only when everything matched. "close" sends WM_CLOSE, as the
// window's close box does. "box" waits for a message box titled CAPTION and
// prints its text, a line feed in it written as \n. "controls" prints
// whether the selector, the Scan button and the Eject item are enabled (1),
// or not (0). "sizes" drags the splitter as far left as it goes and prints
// the first column's width and the bar's. "ticked" waits until ROWS rows of
// the media list are ticked and prints how many are. "drive" defines (with
// "-" removes) a removable drive through Wine's mount manager; "volume" sends
// the WM_DEVICECHANGE Windows sends; "selector" prints its items, the
// selected one starred, and the rows. "keys" waits until the main window is
// the foreground window and a control of it has the keyboard focus, so that
// keys typed next reach it. Only messages that Windows carries between
// processes are used.
#include "resource.h"

#include <windows.h>

#include <commctrl.h>
#include <dbt.h>
#include <winioctl.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Seen {
    int rows = -1;
    int playlists = -1;
    int ipods = -1;
    std::wstring selected, status;
};

std::wstring TextOf(HWND window)
{
    wchar_t text[1024] = {};   // a message box's text, its paths included
    SendMessageTimeoutW(window, WM_GETTEXT, ARRAYSIZE(text), reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 2000,
                        nullptr);
    return text;
}

LRESULT Ask(HWND window, UINT message)
{
    DWORD_PTR result = static_cast<DWORD_PTR>(-1);
    SendMessageTimeoutW(window, message, 0, 0, SMTO_BLOCK, 2000, &result);
    return static_cast<LRESULT>(result);
}

HWND FindStatusBar(HWND main) { return FindWindowExW(main, nullptr, STATUSCLASSNAMEW, nullptr); }

Seen Look(HWND main)
{
    Seen seen;
    seen.rows = static_cast<int>(Ask(GetDlgItem(main, IDC_MEDIA_LIST), LVM_GETITEMCOUNT));
    seen.playlists = static_cast<int>(Ask(GetDlgItem(main, IDC_PLAYLIST_TREE), TVM_GETCOUNT)) - 1;
    seen.ipods = static_cast<int>(Ask(GetDlgItem(main, IDC_IPOD_SELECTOR), CB_GETCOUNT));
    seen.selected = TextOf(GetDlgItem(main, IDC_IPOD_SELECTOR));
    seen.status = TextOf(FindStatusBar(main));   // a status bar's text is its part 0
    return seen;
}

bool Matches(const Seen& seen, int tracks, const std::wstring& name)
{
    return seen.rows == tracks && seen.ipods == 1 && seen.selected == name &&
           seen.status == L"Items: " + std::to_wstring(tracks);
}

HWND FindMainWindow() { return FindWindowW(L"#32770", L"Savanto - iPod Backup Tool"); }

int Usage()
{
    fwprintf(stderr, L"usage: savanto_probe wait TRACKS NAME SECONDS | close | box CAPTION SECONDS | controls | "
                     L"sizes | ticked ROWS SECONDS | drive LETTER UNIXPATH|- | volume arrival|removal LETTER | selector | "
                     L"keys SECONDS\n");
    return 2;
}

// A message box's text is the static control 0xFFFF of its dialog.
int Box(const std::wstring& caption, DWORD seconds)
{
    const DWORD start = GetTickCount();
    HWND box = nullptr;
    while (!box && GetTickCount() - start < seconds * 1000) {
        box = FindWindowW(L"#32770", caption.c_str());
        if (!box)
            Sleep(100);
    }
    const HWND text = box ? GetDlgItem(box, 0xFFFF) : nullptr;
    if (!text)
        return 1;
    std::wstring shown;
    for (wchar_t unit : TextOf(text))
        shown += unit == L'\n' ? std::wstring(L"\\n") : std::wstring(1, unit);
    wprintf(L"%ls\n", shown.c_str());
    return 0;
}

int Controls()
{
    const HWND main = FindMainWindow();
    if (!main)
        return 1;
    const UINT eject = GetMenuState(GetMenu(main), IDM_EJECT, MF_BYCOMMAND);
    wprintf(L"selector=%d scan=%d eject=%ls\n", IsWindowEnabled(GetDlgItem(main, IDC_IPOD_SELECTOR)) ? 1 : 0,
            IsWindowEnabled(GetDlgItem(main, IDC_SCAN)) ? 1 : 0,
            eject == static_cast<UINT>(-1) ? L"?" : (eject & MF_GRAYED) ? L"0" : L"1");
    return 0;
}

// Wine moves the pointer through the display server: wait until the move is seen.
void MoveCursorTo(int x, int y)
{
    SetCursorPos(x, y);
    POINT at = {};
    for (int i = 0; i < 100 && (!GetCursorPos(&at) || at.x != x || at.y != y); ++i)
        Sleep(20);
}

// The splitter reads the cursor's position itself: the drag sets it first.
// A drag at the limit changes nothing, so it is repeated until the tree's
// edge stays put: a press that a slow pointer move made miss the bar is
// then made up for.
int Sizes()
{
    const HWND main = FindMainWindow(), tree = GetDlgItem(main, IDC_PLAYLIST_TREE);
    RECT t = {}, list = {};
    GetWindowRect(tree, &t);
    for (LONG before = LONG_MIN, tries = 0; t.right != before && tries < 5; ++tries) {
        before = t.right;
        for (UINT message : {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP}) {
            MoveCursorTo(message == WM_LBUTTONDOWN ? t.right + 1 : t.left, (t.top + t.bottom) / 2);
            SendMessageTimeoutW(main, message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0, 0, SMTO_BLOCK, 2000,
                                nullptr);
        }
        GetWindowRect(tree, &t);
    }
    GetWindowRect(GetDlgItem(main, IDC_MEDIA_LIST), &list);
    wprintf(L"column=%d bar=%d\n", static_cast<int>(Ask(GetDlgItem(main, IDC_MEDIA_LIST), LVM_GETCOLUMNWIDTH)),
            static_cast<int>(list.left - t.right));
    return main ? 0 : 1;
}

int Ticked(int rows, DWORD seconds)
{
    const HWND list = GetDlgItem(FindMainWindow(), IDC_MEDIA_LIST);
    int ticked = -1;
    for (const DWORD start = GetTickCount(); list && ticked != rows && GetTickCount() - start < seconds * 1000;) {
        ticked = 0;
        for (int row = 0, count = static_cast<int>(Ask(list, LVM_GETITEMCOUNT)); row < count; ++row) {
            DWORD_PTR state = 0;
            SendMessageTimeoutW(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK, SMTO_BLOCK, 2000, &state);
            ticked += state == INDEXTOSTATEIMAGEMASK(2);
        }
        Sleep(ticked == rows ? 0 : 200);
    }
    wprintf(L"%d row(s) ticked\n", ticked);
    return ticked == rows ? 0 : 1;
}

// The display server makes a window active before Wine has moved its own
// focus there; keys typed in between go nowhere.
bool HasKeyboard(HWND main)
{
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    return GetForegroundWindow() == main && GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &gui) &&
           gui.hwndFocus && (gui.hwndFocus == main || IsChild(main, gui.hwndFocus));
}

int Keys(DWORD seconds)
{
    const HWND main = FindMainWindow();
    const DWORD start = GetTickCount();
    bool ready = main && HasKeyboard(main);
    while (main && !ready && GetTickCount() - start < seconds * 1000) {
        Sleep(100);
        ready = HasKeyboard(main);
    }
    wprintf(L"keyboard %ls\n", ready ? L"ready" : L"not ready");
    return ready ? 0 : 1;
}

int Close()
{
    const HWND main = FindMainWindow();
    return main && PostMessageW(main, WM_CLOSE, 0, 0) ? 0 : 1;
}

// Wine's own request to its mount manager, followed by the Unix path.
struct WineUnixDrive {
    ULONG size, type, fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset, deviceOffset, labelOffset;
};

int Drive(wchar_t letter, const std::wstring& unixPath)
{
    const bool remove = unixPath == L"-";
    const std::string path(unixPath.begin(), unixPath.end());   // the tests' paths are ASCII
    std::vector<char> request(sizeof(WineUnixDrive) + (remove ? 0 : path.size() + 1));
    auto* drive = reinterpret_cast<WineUnixDrive*>(request.data());
    drive->size = static_cast<ULONG>(request.size());
    drive->type = remove ? DRIVE_NO_ROOT_DIR : DRIVE_REMOVABLE;
    drive->letter = static_cast<WCHAR>(towlower(letter));
    drive->mountPointOffset = remove ? 0 : sizeof(WineUnixDrive);
    path.copy(request.data() + sizeof(WineUnixDrive), remove ? 0 : path.size());
    HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD returned = 0;
    const BOOL done = manager != INVALID_HANDLE_VALUE &&
                      DeviceIoControl(manager, CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS),
                                      request.data(), static_cast<DWORD>(request.size()), nullptr, 0, &returned, nullptr);
    if (manager != INVALID_HANDLE_VALUE)
        CloseHandle(manager);
    return done ? 0 : 1;
}

int Volume(const std::wstring& event, wchar_t letter)
{
    const HWND main = FindMainWindow();
    if (!main || letter < L'A' || letter > L'Z')
        return 1;
    DEV_BROADCAST_VOLUME volume = {sizeof(volume), DBT_DEVTYP_VOLUME, 0, 1u << (letter - L'A'), 0};
    SendMessageW(main, WM_DEVICECHANGE, event == L"arrival" ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE,
                 reinterpret_cast<LPARAM>(&volume));
    return 0;
}

int Selector()
{
    const HWND main = FindMainWindow();
    const HWND selector = GetDlgItem(main, IDC_IPOD_SELECTOR);
    for (LRESULT i = 0, count = Ask(selector, CB_GETCOUNT); i < count; ++i) {
        wchar_t text[256] = {};
        if (SendMessageW(selector, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) < 256)
            SendMessageW(selector, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        wprintf(L"%ls%ls; ", text, i == Ask(selector, CB_GETCURSEL) ? L"*" : L"");
    }
    wprintf(L"%d rows\n", static_cast<int>(Ask(GetDlgItem(main, IDC_MEDIA_LIST), LVM_GETITEMCOUNT)));
    return main ? 0 : 1;
}

int Wait(int tracks, const std::wstring& name, DWORD seconds)
{
    const DWORD start = GetTickCount();
    HWND main = nullptr;
    Seen seen;
    while (GetTickCount() - start < seconds * 1000) {
        main = main ? main : FindMainWindow();
        if (main) {
            seen = Look(main);
            if (Matches(seen, tracks, name))
                break;
        }
        Sleep(200);
    }
    wprintf(L"window %ls; selector %d item(s), selected \"%ls\"; %d playlist(s); %d row(s); status \"%ls\"\n",
            main ? L"found" : L"not found", seen.ipods, seen.selected.c_str(), seen.playlists, seen.rows,
            seen.status.c_str());
    return main && Matches(seen, tracks, name) ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"close" && argc == 2)
        return Close();
    if (command == L"controls" && argc == 2)
        return Controls();
    if (command == L"sizes" && argc == 2)
        return Sizes();
    if (command == L"box" && argc == 4)
        return Box(argv[2], static_cast<DWORD>(_wtoi(argv[3])));
    if (command == L"ticked" && argc == 4)
        return Ticked(_wtoi(argv[2]), static_cast<DWORD>(_wtoi(argv[3])));
    if (command == L"drive" && argc == 4)
        return Drive(argv[2][0], argv[3]);
    if (command == L"volume" && argc == 4)
        return Volume(argv[2], argv[3][0]);
    if (command == L"selector" && argc == 2)
        return Selector();
    if (command == L"keys" && argc == 3)
        return Keys(static_cast<DWORD>(_wtoi(argv[2])));
    if (command == L"wait" && argc == 5)
        return Wait(_wtoi(argv[2]), argv[3], static_cast<DWORD>(_wtoi(argv[4])));
    return Usage();
}
