#include "settings/preferences_dialog.h"

#include "db/scoped_handle.h"
#include "resource.h"

#include <commctrl.h>

namespace {

using ScopedLibrary = ScopedHandle<HMODULE, FreeLibrary>;
using EnableThemeDialogTextureProc = HRESULT(WINAPI*)(HWND, DWORD);

constexpr DWORD kEnableWithTabTexture = 6;   // ETDT_ENABLE | ETDT_USETABTEXTURE

// What the edits may hold is what g_settings can store: a longer text would
// be cut on OK without the user seeing it.
constexpr WPARAM kEditTextLimit = kPathCapacity - 1;

const wchar_t kRuleHelpCaption[] = L"Renaming Rule help";

INT_PTR CALLBACK GeneralPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CopyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

struct PrefPage {
    HWND window;
    const wchar_t* title;
    int dialogTemplate;
    DLGPROC procedure;
};

// In tab order. Only one Preferences dialog can be open: it is modal.
PrefPage g_prefPages[] = {
    {nullptr, L"General", IDD_PREF_GENERAL, GeneralPageProc},
    {nullptr, L"Copy", IDD_PREF_COPY, CopyPageProc},
};
constexpr int kPageCount = ARRAYSIZE(g_prefPages);
int g_currentPage = 0;

HWND GeneralPage() { return g_prefPages[0].window; }
HWND CopyPage() { return g_prefPages[1].window; }

// The dialog and its pages keep the host in DWLP_USER.
void KeepHost(HWND window, LPARAM host) { SetWindowLongPtrW(window, DWLP_USER, host); }

const PreferencesHost* HostOf(HWND window)
{
    return reinterpret_cast<const PreferencesHost*>(GetWindowLongPtrW(window, DWLP_USER));
}

DWORD CheckedAsDword(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED ? 1 : 0; }

// Any non-zero switch is on. Handed to a two-state check box as it is, a
// stored 2 would ask for the third, indeterminate state that such a box
// does not have.
void CheckSwitch(HWND page, int id, DWORD value) { CheckDlgButton(page, id, value != 0 ? BST_CHECKED : BST_UNCHECKED); }

// --- General page ---------------------------------------------------------

INT_PTR OnGeneralPageInit(HWND page)
{
    CheckSwitch(page, IDC_PREF_STARTUP_SCAN, g_settings.StartupIpodScan);
    CheckSwitch(page, IDC_PREF_CHECK_UPDATES, g_settings.CheckForUpdates);
    CheckSwitch(page, IDC_PREF_TOOLTIPS, g_settings.EnableTooltips);
    return TRUE;
}

INT_PTR CALLBACK GeneralPageProc(HWND page, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG ? OnGeneralPageInit(page) : FALSE;
}

// --- Copy page ------------------------------------------------------------

void EnableFolderControls(HWND page, bool enable)
{
    EnableWindow(GetDlgItem(page, IDC_PREF_DEST_FOLDER), enable);
    EnableWindow(GetDlgItem(page, IDC_PREF_BROWSE), enable);
}

void InitCopyPageTexts(HWND page)
{
    for (int id : {IDC_PREF_DEST_FOLDER, IDC_PREF_RULE})
        SendDlgItemMessageW(page, id, EM_LIMITTEXT, kEditTextLimit, 0);
    SetDlgItemTextW(page, IDC_PREF_DEST_FOLDER, g_settings.DefaultDestPath);
    SetDlgItemTextW(page, IDC_PREF_RULE, g_settings.NamingConvertion);
}

INT_PTR OnCopyPageInit(HWND page, LPARAM host)
{
    KeepHost(page, host);
    InitCopyPageTexts(page);
    CheckRadioButton(page, IDC_PREF_OVERWRITE, IDC_PREF_IGNORE,
                     g_settings.TransferOverwrite == 1 ? IDC_PREF_IGNORE : IDC_PREF_OVERWRITE);
    const bool ask = g_settings.AskForDestPath != 0;
    CheckRadioButton(page, IDC_PREF_ASK_DEST, IDC_PREF_DEFAULT_DEST, ask ? IDC_PREF_ASK_DEST : IDC_PREF_DEFAULT_DEST);
    EnableFolderControls(page, !ask);
    return TRUE;
}

void BrowseDefaultFolder(HWND page)
{
    const PreferencesHost* host = HostOf(page);
    wchar_t folder[kPathCapacity] = {};
    GetDlgItemTextW(page, IDC_PREF_DEST_FOLDER, folder, kPathCapacity);
    if (host && host->browseForFolder && host->browseForFolder(page, folder))
        SetDlgItemTextW(page, IDC_PREF_DEST_FOLDER, folder);
}

void ShowRuleHelp(HWND page)
{
    const PreferencesHost* host = HostOf(page);
    if (host && host->messageBox && host->ruleHelp)
        host->messageBox(page, host->ruleHelp, kRuleHelpCaption, MB_OK);
}

INT_PTR OnCopyPageCommand(HWND page, int id)
{
    switch (id) {
    case IDC_PREF_ASK_DEST:
        EnableFolderControls(page, false);
        return TRUE;
    case IDC_PREF_DEFAULT_DEST:
        EnableFolderControls(page, true);
        return TRUE;
    case IDC_PREF_OVERWRITE:
    case IDC_PREF_IGNORE:
        CheckRadioButton(page, IDC_PREF_OVERWRITE, IDC_PREF_IGNORE, id);
        return TRUE;
    case IDC_PREF_BROWSE:
        BrowseDefaultFolder(page);
        return TRUE;
    case IDC_PREF_RULE_HELP:
        ShowRuleHelp(page);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK CopyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnCopyPageInit(page, lParam);
    case WM_COMMAND:
        return OnCopyPageCommand(page, LOWORD(wParam));
    default:
        return FALSE;
    }
}

// --- The dialog -------------------------------------------------------------

void ShowPage(int index)
{
    SetWindowPos(g_prefPages[index].window, nullptr, 0, 0, 0, 0,
                 SWP_SHOWWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Puts the page at the top-left corner of the tab control's display area,
// right after the tab control in the z-order, which is also the keyboard
// order: the page's controls follow OK and Cancel.
void PlacePage(HWND dialog, HWND tabs, HWND page)
{
    RECT area = {};
    GetWindowRect(tabs, &area);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
    SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    SetWindowPos(page, tabs, area.left, area.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

void CreatePage(HWND dialog, HWND tabs, int index, LPARAM host)
{
    PrefPage& page = g_prefPages[index];
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
    page.window = CreateDialogParamW(instance, MAKEINTRESOURCEW(page.dialogTemplate), dialog, page.procedure, host);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(page.title);
    SendMessageW(tabs, TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&item));
    SetWindowTextW(page.window, page.title);
    EnableTabTexture(page.window);
    PlacePage(dialog, tabs, page.window);
}

INT_PTR OnInitDialog(HWND dialog, LPARAM host)
{
    KeepHost(dialog, host);
    const HWND tabs = GetDlgItem(dialog, IDC_PREF_TABS);
    for (int i = 0; i < kPageCount; ++i)
        CreatePage(dialog, tabs, i, host);
    g_currentPage = 0;
    ShowPage(g_currentPage);
    return TRUE;
}

INT_PTR OnNotify(const NMHDR& header)
{
    if (header.idFrom != IDC_PREF_TABS || header.code != TCN_SELCHANGE)
        return FALSE;
    const int selected = static_cast<int>(SendMessageW(header.hwndFrom, TCM_GETCURSEL, 0, 0));
    if (selected < 0 || selected >= kPageCount)
        return TRUE;
    ShowWindow(g_prefPages[g_currentPage].window, SW_HIDE);
    g_currentPage = selected;
    ShowPage(g_currentPage);
    return TRUE;
}

// A page that could not be created stores nothing, rather than blank values.
void StoreGeneralPage(HWND page)
{
    if (!page)
        return;
    g_settings.StartupIpodScan = CheckedAsDword(page, IDC_PREF_STARTUP_SCAN);
    g_settings.CheckForUpdates = CheckedAsDword(page, IDC_PREF_CHECK_UPDATES);
    g_settings.EnableTooltips = CheckedAsDword(page, IDC_PREF_TOOLTIPS);
}

// The texts are stored as typed, an empty folder included.
void StoreCopyPage(HWND page)
{
    if (!page)
        return;
    GetDlgItemTextW(page, IDC_PREF_DEST_FOLDER, g_settings.DefaultDestPath, kPathCapacity);
    GetDlgItemTextW(page, IDC_PREF_RULE, g_settings.NamingConvertion, kPathCapacity);
    g_settings.AskForDestPath = CheckedAsDword(page, IDC_PREF_ASK_DEST);
    g_settings.TransferOverwrite = CheckedAsDword(page, IDC_PREF_OVERWRITE) ? 0 : 1;
}

void OnOk(HWND dialog)
{
    StoreGeneralPage(GeneralPage());
    StoreCopyPage(CopyPage());
    const PreferencesHost* host = HostOf(dialog);
    if (host && host->tooltip)
        SendMessageW(host->tooltip, TTM_ACTIVATE, g_settings.EnableTooltips, 0);
    g_settings.Save();
    EndDialog(dialog, 1);
}

INT_PTR OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDOK:
        OnOk(dialog);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 1);
        return TRUE;
    default:
        return FALSE;
    }
}

// The page windows die with the dialog; forget their handles with it.
INT_PTR OnDestroy()
{
    for (PrefPage& page : g_prefPages)
        page.window = nullptr;
    return FALSE;
}

}  // namespace

BOOL EnableTabTexture(HWND page)
{
    const ScopedLibrary uxtheme(LoadLibraryW(L"uxtheme.dll"));
    if (!uxtheme)
        return FALSE;
    const auto enable = reinterpret_cast<EnableThemeDialogTextureProc>(
        reinterpret_cast<void*>(GetProcAddress(uxtheme.Get(), "EnableThemeDialogTexture")));
    if (!enable)
        return FALSE;
    return SUCCEEDED(enable(page, kEnableWithTabTexture));
}

INT_PTR CALLBACK PreferencesDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog, lParam);
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam));
    case WM_CLOSE:
        EndDialog(dialog, 1);
        return TRUE;
    case WM_DESTROY:
        return OnDestroy();
    default:
        return FALSE;
    }
}

INT_PTR ShowPreferencesDialog(HINSTANCE instance, HWND owner, const PreferencesHost& host)
{
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PREFERENCES), owner, PreferencesDlgProc,
                           reinterpret_cast<LPARAM>(&host));
}
