// prefs_probe tab INDEX | page | focus | stored
// Run in the same Wine prefix as a running Savanto.exe whose Preferences
// dialog is open, to tell the end-to-end script where to click and what the
// dialog shows:
//   tab INDEX    screen point "X Y" at the middle of tab INDEX
//   page         the title of the page shown
//   focus        the id of the control that has the keyboard focus
//   stored       the preferences in the registry, one "name=value" a line
// Exit code 0 when it could answer.
#include "resource.h"
#include "settings/settings.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

namespace {

HWND FindPreferences() { return FindWindowW(L"#32770", L"Preferences"); }

HWND ShownPage(HWND dialog)
{
    for (HWND page = FindWindowExW(dialog, nullptr, L"#32770", nullptr); page;
         page = FindWindowExW(dialog, page, L"#32770", nullptr)) {
        if (IsWindowVisible(page))
            return page;
    }
    return nullptr;
}

int PrintCentre(HWND window, RECT r)
{
    POINT centre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(window, &centre);
    wprintf(L"%ld %ld\n", centre.x, centre.y);
    return 0;
}

// The tab's rectangle lives in Savanto's process: the request is answered
// into memory borrowed there.
bool RemoteTabRect(HWND tabs, int index, RECT& rect)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(tabs, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process)
        return false;
    void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
    bool ok = false;
    if (remote) {
        DWORD_PTR answered = 0;
        ok = SendMessageTimeoutW(tabs, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(remote), SMTO_BLOCK, 5000,
                                 &answered) &&
             answered && ReadProcessMemory(process, remote, &rect, sizeof(rect), nullptr);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return ok;
}

int Tab(HWND dialog, int index)
{
    const HWND tabs = GetDlgItem(dialog, IDC_PREF_TABS);
    RECT item = {};
    return RemoteTabRect(tabs, index, item) ? PrintCentre(tabs, item) : 1;
}

int Page(HWND dialog)
{
    wchar_t title[64] = {};
    const HWND page = ShownPage(dialog);
    if (!page)
        return 1;
    SendMessageTimeoutW(page, WM_GETTEXT, ARRAYSIZE(title), reinterpret_cast<LPARAM>(title), SMTO_BLOCK, 2000,
                        nullptr);
    wprintf(L"%ls\n", title);
    return 0;
}

int Focus(HWND dialog)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) || !info.hwndFocus)
        return 1;
    wprintf(L"%d\n", GetDlgCtrlID(info.hwndFocus));
    return 0;
}

int Stored()
{
    namespace names = settings_names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, names::kKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 1;
    for (const wchar_t* name : {names::kDefaultDestPath, names::kNamingConvertion}) {
        wchar_t text[kPathCapacity];
        RegReadString(key, name, text, kPathCapacity, L"<missing>");
        wprintf(L"%ls=%ls\n", name, text);
    }
    for (const wchar_t* name : {names::kEnableTooltips, names::kStartupIpodScan, names::kCheckForUpdates,
                                names::kTransferOverwrite, names::kAskForDestPath}) {
        DWORD value = 0;
        if (RegReadDword(key, name, &value, 0xFFFFFFFF))
            wprintf(L"%ls=%lu\n", name, value);
        else
            wprintf(L"%ls=<missing>\n", name);
    }
    RegCloseKey(key);
    return 0;
}

int Usage()
{
    fwprintf(stderr, L"usage: prefs_probe tab INDEX | page | focus | stored\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"stored" && argc == 2)
        return Stored();
    const HWND dialog = FindPreferences();
    if (!dialog)
        return 1;
    if (command == L"tab" && argc == 3)
        return Tab(dialog, _wtoi(argv[2]));
    if (command == L"page" && argc == 2)
        return Page(dialog);
    if (command == L"focus" && argc == 2)
        return Focus(dialog);
    return Usage();
}
