// The Preferences dialog in-process: the real templates run modally on this
// thread, acted on from inside their loop, and what OK stores is read back
// from the prefix's real registry.
#include "settings/preferences_dialog.h"

#include "resource.h"
#include "support/dialog_driver.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace names = settings_names;
using testing_support::ActOnDialogWhenShown;

constexpr wchar_t kStoredFolder[] = L"C:\\Stored Backup\\";
constexpr wchar_t kStoredRule[] = L"<artist>\\<title>";

// --- What the dialog reaches outside: recorded -------------------------------

struct Recorded {
    std::vector<std::wstring> messageBoxes;   // "owner is page|caption|text|type"
    std::vector<std::wstring> browsedFrom;    // the folder handed to the chooser
    bool browseAnswer = false;
    std::vector<WPARAM> activations;          // TTM_ACTIVATE flags seen by the tooltip
};
Recorded* g_recorded = nullptr;
HWND g_copyPage = nullptr;

int WINAPI RecordMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type)
{
    g_recorded->messageBoxes.push_back(std::wstring(owner == g_copyPage ? L"page" : L"other") + L"|" + caption +
                                       L"|" + text + L"|" + std::to_wstring(type));
    return IDOK;
}

bool RecordBrowse(HWND, wchar_t (&folder)[kPathCapacity])
{
    g_recorded->browsedFrom.push_back(folder);
    wcscpy(folder, L"D:\\Chosen\\");   // a cancel must not leak this
    return g_recorded->browseAnswer;
}

LRESULT CALLBACK RecordActivation(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (message == TTM_ACTIVATE)
        g_recorded->activations.push_back(wParam);
    return DefSubclassProc(window, message, wParam, lParam);
}

// --- Reading the dialog ---------------------------------------------------------

HWND Page(HWND dialog, const wchar_t* title) { return FindWindowExW(dialog, nullptr, L"#32770", title); }

std::wstring Text(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, ARRAYSIZE(text));
    return text;
}

bool Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }
bool Shown(HWND window) { return (GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

RECT ClientRectIn(HWND window, HWND parent)
{
    RECT r = {};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// A click on tab `index`, as the mouse gives it: the tab control itself
// then tells the dialog of the change.
void ClickTab(HWND dialog, int index)
{
    const HWND tabs = GetDlgItem(dialog, IDC_PREF_TABS);
    RECT item = {};
    ASSERT_TRUE(SendMessageW(tabs, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item)));
    const LPARAM point = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    SendMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageW(tabs, WM_LBUTTONUP, 0, point);
}

void Click(HWND page, int id) { SendDlgItemMessageW(page, id, BM_CLICK, 0, 0); }

// --- The stored values -------------------------------------------------------------

struct Stored {
    std::wstring folder, rule;
    DWORD scan, updates, tooltips, overwrite, ask;
};

// Through the program's own readers, each with a default no test stores, so
// that a value that was not written shows.
Stored ReadStored()
{
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, names::kKeyPath, 0, KEY_READ, &key);
    Stored s;
    wchar_t text[kPathCapacity];
    RegReadString(key, names::kDefaultDestPath, text, kPathCapacity, L"<none>");
    s.folder = text;
    RegReadString(key, names::kNamingConvertion, text, kPathCapacity, L"<none>");
    s.rule = text;
    RegReadDword(key, names::kStartupIpodScan, &s.scan, 99);
    RegReadDword(key, names::kCheckForUpdates, &s.updates, 99);
    RegReadDword(key, names::kEnableTooltips, &s.tooltips, 99);
    RegReadDword(key, names::kTransferOverwrite, &s.overwrite, 99);
    RegReadDword(key, names::kAskForDestPath, &s.ask, 99);
    if (key)
        RegCloseKey(key);
    return s;
}

bool KeyExists()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, names::kKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// --- Fixture -----------------------------------------------------------------------

class PreferencesDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TAB_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
    }

    void SetUp() override
    {
        RegDeleteKeyW(HKEY_CURRENT_USER, names::kKeyPath);
        g_recorded = &recorded;
        g_settings = Settings();
        wcscpy(g_settings.DefaultDestPath, kStoredFolder);
        wcscpy(g_settings.NamingConvertion, kStoredRule);
        g_settings.GridLines = 0;   // the dialog never touches it
        tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, tooltip);
        SetWindowSubclass(tooltip, RecordActivation, 1, 0);
        host = {tooltip, RecordBrowse, RecordMessageBox, L"How rules work"};
    }

    void TearDown() override
    {
        DestroyWindow(tooltip);
        RegDeleteKeyW(HKEY_CURRENT_USER, names::kKeyPath);
        g_recorded = nullptr;
    }

    // Opens the dialog as the main window does and runs `act` in it; `act`
    // ends it. The Copy page is g_copyPage meanwhile.
    void Run(const std::function<void(HWND dialog, HWND general, HWND copy)>& act)
    {
        ActOnDialogWhenShown(L"Preferences", [&](HWND dialog) {
            g_copyPage = Page(dialog, L"Copy");
            act(dialog, Page(dialog, L"General"), g_copyPage);
        });
        EXPECT_EQ(1, ShowPreferencesDialog(GetModuleHandleW(nullptr), nullptr, host));
        g_copyPage = nullptr;
    }

    Recorded recorded;
    HWND tooltip = nullptr;
    PreferencesHost host = {};
};

// --- Templates ---------------------------------------------------------------------

struct ControlRow {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    RECT dialogUnits;   // x, y, width, height
    DWORD style;        // the bits of kStyleMask it must have
};
// Not WS_BORDER: edit controls take it off and draw their border themselves.
// A checked radio button becomes a tab stop, so the keyboard reaches its pair.
constexpr DWORD kStyleMask = 0xF | WS_TABSTOP | WS_GROUP | WS_DISABLED | ES_AUTOHSCROLL;

// Checks the children of `window` in z-order, which is template order, and
// returns the window that follows the last row.
HWND ExpectControls(HWND window, const std::vector<ControlRow>& rows)
{
    HWND child = GetWindow(window, GW_CHILD);
    for (const ControlRow& row : rows) {
        if (!child) {
            ADD_FAILURE() << "missing: " << testing::PrintToString(std::wstring(row.text));
            return nullptr;
        }
        wchar_t className[64] = {};
        GetClassNameW(child, className, ARRAYSIZE(className));
        RECT expected = row.dialogUnits;   // each of the four mapped on its own, as the template's
        MapDialogRect(window, &expected);
        const RECT r = ClientRectIn(child, window);
        const RECT actual = {r.left, r.top, r.right - r.left, r.bottom - r.top};
        const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
        EXPECT_EQ(row.id, static_cast<int>(static_cast<short>(GetDlgCtrlID(child)))) << row.text;
        EXPECT_EQ(0, _wcsicmp(row.className, className)) << row.text;
        EXPECT_EQ(std::wstring(row.text), Text(child));
        EXPECT_TRUE(EqualRect(&expected, &actual)) << row.text;
        EXPECT_EQ(row.style, style & kStyleMask) << row.text;
        child = GetWindow(child, GW_HWNDNEXT);
    }
    return child;
}

TEST_F(PreferencesDialogTest, TemplatesHoldEveryControlInOrder)
{
    const DWORD check = BS_AUTOCHECKBOX | WS_TABSTOP, radio = BS_AUTORADIOBUTTON, group = BS_GROUPBOX | WS_GROUP;
    const DWORD edit = WS_TABSTOP | ES_AUTOHSCROLL;
    Run([&](HWND dialog, HWND general, HWND copy) {
        RECT client = {}, size = {0, 0, 265, 195};
        GetClientRect(dialog, &client);
        MapDialogRect(dialog, &size);
        EXPECT_TRUE(EqualRect(&size, &client));
        EXPECT_EQ(static_cast<LONG_PTR>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME),
                  GetWindowLongPtrW(dialog, GWL_STYLE) & (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME));
        const std::vector<ControlRow> dialogRows = {
            {IDOK, L"Button", L"OK", {154, 174, 50, 14}, BS_DEFPUSHBUTTON | WS_TABSTOP},
            {IDCANCEL, L"Button", L"Cancel", {208, 174, 50, 14}, WS_TABSTOP},
            {IDC_PREF_TABS, L"SysTabControl32", L"", {7, 7, 251, 164}, 0}};
        const std::vector<ControlRow> generalRows = {
            {IDC_PREF_STARTUP_SCAN, L"Button", L"Scan for iPods on startup", {7, 7, 95, 10}, check},
            {IDC_PREF_CHECK_UPDATES, L"Button", L"Automatically check for updates on the Internet", {7, 18, 165, 10},
             check},
            {IDC_PREF_TOOLTIPS, L"Button", L"Enable tooltips", {7, 29, 62, 10}, check}};
        // Stored: Ask before copy and Ignore, the checked ones.
        const std::vector<ControlRow> copyRows = {
            {IDC_PREF_DEST_FOLDER, L"Edit", kStoredFolder, {17, 44, 166, 14}, edit | WS_DISABLED},
            {IDC_PREF_BROWSE, L"Button", L"Browse", {187, 44, 43, 14}, WS_TABSTOP | WS_DISABLED},
            {IDC_PREF_RULE, L"Edit", kStoredRule, {17, 86, 175, 14}, edit},
            {IDC_PREF_OVERWRITE, L"Button", L"Overwrite", {17, 124, 46, 10}, radio},
            {IDC_PREF_IGNORE, L"Button", L"Ignore", {67, 124, 36, 10}, radio | WS_TABSTOP},
            {-1, L"Button", L"If file exists", {7, 113, 107, 27}, group},
            {IDC_PREF_RULE_HELP, L"Button", L"Help", {196, 86, 34, 14}, WS_TABSTOP},
            {-1, L"Button", L"Destination folder", {7, 7, 230, 63}, group},
            {IDC_PREF_ASK_DEST, L"Button", L"Ask before copy", {17, 19, 67, 10}, radio | WS_TABSTOP},
            {IDC_PREF_DEFAULT_DEST, L"Button", L"Use default folder", {99, 19, 71, 10}, radio},
            {-1, L"Static", L"Default folder:", {17, 35, 45, 8}, WS_GROUP},
            {-1, L"Button", L"Renaming Rule", {7, 73, 230, 36}, group}};
        EXPECT_EQ(copy, ExpectControls(dialog, dialogRows));   // the pages follow the controls
        EXPECT_EQ(nullptr, ExpectControls(general, generalRows));
        EXPECT_EQ(nullptr, ExpectControls(copy, copyRows));
        for (HWND page : {general, copy}) {
            RECT pageSize = {0, 0, 244, 148}, pageClient = {};
            MapDialogRect(page, &pageSize);
            GetClientRect(page, &pageClient);
            EXPECT_TRUE(EqualRect(&pageSize, &pageClient));
            EXPECT_EQ(0, GetWindowLongPtrW(page, GWL_STYLE) & WS_CAPTION);
        }
        // Only the Copy page is reached with the keyboard.
        EXPECT_EQ(0, GetWindowLongPtrW(general, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
        EXPECT_NE(0, GetWindowLongPtrW(copy, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
        Click(dialog, IDCANCEL);
    });
}

// --- Opening -------------------------------------------------------------------------

TEST_F(PreferencesDialogTest, PagesAreChildrenInTheTabAreaAndOneIsShown)
{
    Run([&](HWND dialog, HWND general, HWND copy) {
        const HWND tabs = GetDlgItem(dialog, IDC_PREF_TABS);
        ASSERT_EQ(2, SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
        const wchar_t* titles[] = {L"General", L"Copy"};
        for (int i = 0; i < 2; ++i) {
            wchar_t text[32] = {};
            TCITEMW item = {};
            item.mask = TCIF_TEXT;
            item.pszText = text;
            item.cchTextMax = ARRAYSIZE(text);
            SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
            EXPECT_STREQ(titles[i], text);
        }
        RECT area = ClientRectIn(tabs, dialog);
        SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
        for (HWND page : {general, copy}) {
            ASSERT_NE(nullptr, page);
            EXPECT_EQ(dialog, GetParent(page));
            const RECT placed = ClientRectIn(page, dialog);
            EXPECT_EQ(area.left, placed.left);
            EXPECT_EQ(area.top, placed.top);
        }
        // Each page went in right after the tab control: they follow it in
        // the keyboard order.
        EXPECT_EQ(copy, GetWindow(tabs, GW_HWNDNEXT));
        EXPECT_EQ(general, GetWindow(copy, GW_HWNDNEXT));
        EXPECT_EQ(0, SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
        EXPECT_TRUE(Shown(general));
        EXPECT_FALSE(Shown(copy));
        const HMODULE uxtheme = LoadLibraryW(L"uxtheme.dll");
        const bool themed = uxtheme && GetProcAddress(uxtheme, "EnableThemeDialogTexture");
        EXPECT_EQ(themed, EnableTabTexture(copy) != FALSE);
        if (uxtheme)
            FreeLibrary(uxtheme);
        Click(dialog, IDCANCEL);
    });
}

struct OpeningCase {
    DWORD scan, updates, tooltips, overwrite, ask;
    bool scanShown, updatesShown, tooltipsShown, overwriteShown, askShown;
};

TEST_F(PreferencesDialogTest, PagesOpenWithTheStoredValues)
{
    const OpeningCase cases[] = {
        {1, 0, 1, 0, 0, true, false, true, true, false},
        {0, 1, 0, 1, 1, false, true, false, false, true},
        // Any non-zero switch is on; only 1 means "Ignore", as the copy reads it.
        {2, 77, 0x80000000, 2, 5, true, true, true, true, true},
    };
    for (const OpeningCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "scan " << c.scan << " overwrite " << c.overwrite << " ask " << c.ask);
        g_settings.StartupIpodScan = c.scan;
        g_settings.CheckForUpdates = c.updates;
        g_settings.EnableTooltips = c.tooltips;
        g_settings.TransferOverwrite = c.overwrite;
        g_settings.AskForDestPath = c.ask;
        Run([&](HWND dialog, HWND general, HWND copy) {
            EXPECT_EQ(c.scanShown, Checked(general, IDC_PREF_STARTUP_SCAN));
            EXPECT_EQ(c.updatesShown, Checked(general, IDC_PREF_CHECK_UPDATES));
            EXPECT_EQ(c.tooltipsShown, Checked(general, IDC_PREF_TOOLTIPS));
            EXPECT_EQ(c.overwriteShown, Checked(copy, IDC_PREF_OVERWRITE));
            EXPECT_EQ(!c.overwriteShown, Checked(copy, IDC_PREF_IGNORE));
            EXPECT_EQ(c.askShown, Checked(copy, IDC_PREF_ASK_DEST));
            EXPECT_EQ(!c.askShown, Checked(copy, IDC_PREF_DEFAULT_DEST));
            EXPECT_EQ(!c.askShown, IsWindowEnabled(GetDlgItem(copy, IDC_PREF_DEST_FOLDER)) != FALSE);
            EXPECT_EQ(!c.askShown, IsWindowEnabled(GetDlgItem(copy, IDC_PREF_BROWSE)) != FALSE);
            EXPECT_EQ(kStoredFolder, Text(GetDlgItem(copy, IDC_PREF_DEST_FOLDER)));
            EXPECT_EQ(kStoredRule, Text(GetDlgItem(copy, IDC_PREF_RULE)));
            Click(dialog, IDCANCEL);
        });
    }
}

// --- Closing ---------------------------------------------------------------------------

TEST_F(PreferencesDialogTest, TabsSwitchPagesAndKeepWhatWasTypedUntilCancelOrCloseBox)
{
    const auto cancel = [](HWND dialog) { Click(dialog, IDCANCEL); };
    const auto closeBox = [](HWND dialog) { SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); };
    for (const auto& end : {std::function<void(HWND)>(cancel), std::function<void(HWND)>(closeBox)}) {
        const Settings before = g_settings;
        Run([&](HWND dialog, HWND general, HWND copy) {
            Click(general, IDC_PREF_TOOLTIPS);
            ClickTab(dialog, 1);
            EXPECT_FALSE(Shown(general));
            EXPECT_TRUE(Shown(copy));
            SetDlgItemTextW(copy, IDC_PREF_RULE, L"<title>");
            Click(copy, IDC_PREF_DEFAULT_DEST);
            Click(copy, IDC_PREF_OVERWRITE);
            ClickTab(dialog, 0);
            EXPECT_TRUE(Shown(general));
            EXPECT_FALSE(Shown(copy));
            ClickTab(dialog, 1);
            EXPECT_FALSE(Checked(general, IDC_PREF_TOOLTIPS));
            EXPECT_EQ(L"<title>", Text(GetDlgItem(copy, IDC_PREF_RULE)));
            EXPECT_TRUE(Checked(copy, IDC_PREF_DEFAULT_DEST));
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(copy, IDC_PREF_DEST_FOLDER)));
            EXPECT_TRUE(Checked(copy, IDC_PREF_OVERWRITE));
            end(dialog);
            EXPECT_FALSE(IsWindowVisible(dialog));   // ended, not merely left
        });
        EXPECT_FALSE(KeyExists());
        EXPECT_EQ(0, memcmp(&before, &g_settings, sizeof(Settings)));
        EXPECT_TRUE(recorded.activations.empty());
    }
}

struct OkCase {
    bool scan, updates, tooltips, overwrite, ask;
    std::wstring folder, rule;
};

TEST_F(PreferencesDialogTest, OkStoresExactlyWhatTheControlsHold)
{
    const OkCase cases[] = {
        {true, false, true, true, false, L"E:\\Music", L"<title>"},   // no backslash added
        {false, true, false, false, true, L"", std::wstring(259, L'r')},   // empty folder stays empty
    };
    for (const OkCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "ask " << c.ask << " rule length " << c.rule.size());
        g_settings.StartupIpodScan = !c.scan;
        g_settings.CheckForUpdates = !c.updates;
        g_settings.EnableTooltips = !c.tooltips;
        g_settings.TransferOverwrite = c.overwrite ? 1 : 0;
        g_settings.AskForDestPath = !c.ask;
        recorded.activations.clear();
        Run([&](HWND dialog, HWND general, HWND copy) {
            for (int id : {IDC_PREF_STARTUP_SCAN, IDC_PREF_CHECK_UPDATES, IDC_PREF_TOOLTIPS})
                Click(general, id);
            Click(copy, c.overwrite ? IDC_PREF_OVERWRITE : IDC_PREF_IGNORE);
            Click(copy, c.ask ? IDC_PREF_ASK_DEST : IDC_PREF_DEFAULT_DEST);
            EXPECT_EQ(!c.ask, IsWindowEnabled(GetDlgItem(copy, IDC_PREF_DEST_FOLDER)) != FALSE);
            EXPECT_EQ(!c.ask, IsWindowEnabled(GetDlgItem(copy, IDC_PREF_BROWSE)) != FALSE);
            SetDlgItemTextW(copy, IDC_PREF_DEST_FOLDER, c.folder.c_str());
            SetDlgItemTextW(copy, IDC_PREF_RULE, c.rule.c_str());
            Click(dialog, IDOK);
        });
        const Stored s = ReadStored();
        EXPECT_EQ(c.folder, s.folder);
        EXPECT_EQ(c.rule, s.rule);
        EXPECT_EQ(c.scan ? 1u : 0u, s.scan);
        EXPECT_EQ(c.updates ? 1u : 0u, s.updates);
        EXPECT_EQ(c.tooltips ? 1u : 0u, s.tooltips);
        EXPECT_EQ(c.overwrite ? 0u : 1u, s.overwrite);
        EXPECT_EQ(c.ask ? 1u : 0u, s.ask);
        EXPECT_EQ(c.folder, g_settings.DefaultDestPath);
        EXPECT_EQ(0u, g_settings.GridLines);   // saved as it was, never changed
        // The main window's tooltips follow at once.
        EXPECT_EQ(std::vector<WPARAM>{c.tooltips ? 1u : 0u}, recorded.activations);
    }
}

// A text can only be as long as the setting that holds it: typing or pasting
// more stops at 259 units, rather than OK cutting it silently.
TEST_F(PreferencesDialogTest, EditsTakeNoMoreThanTheSettingsHold)
{
    const std::wstring pasted(300, L'p');
    g_settings.AskForDestPath = 0;
    Run([&](HWND dialog, HWND, HWND copy) {
        for (int id : {IDC_PREF_DEST_FOLDER, IDC_PREF_RULE}) {
            SetDlgItemTextW(copy, id, L"");
            SendDlgItemMessageW(copy, id, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(pasted.c_str()));
            EXPECT_EQ(259u, Text(GetDlgItem(copy, id)).size());
        }
        Click(dialog, IDOK);
    });
    EXPECT_EQ(pasted.substr(0, 259), ReadStored().folder);
    EXPECT_EQ(pasted.substr(0, 259), ReadStored().rule);
}

// --- Help and Browse ---------------------------------------------------------------------

TEST_F(PreferencesDialogTest, HelpShowsTheRuleHelpOwnedByThePage)
{
    Run([&](HWND dialog, HWND, HWND copy) {
        Click(copy, IDC_PREF_RULE_HELP);
        Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(std::vector<std::wstring>{L"page|Renaming Rule help|How rules work|0"}, recorded.messageBoxes);
}

TEST_F(PreferencesDialogTest, BrowseFillsTheFolderOnlyWhenAFolderIsChosen)
{
    g_settings.AskForDestPath = 0;
    for (bool chosen : {false, true}) {
        recorded.browseAnswer = chosen;
        recorded.browsedFrom.clear();
        Run([&](HWND dialog, HWND, HWND copy) {
            SetDlgItemTextW(copy, IDC_PREF_DEST_FOLDER, L"C:\\Typed");
            Click(copy, IDC_PREF_BROWSE);
            EXPECT_EQ(chosen ? L"D:\\Chosen\\" : L"C:\\Typed", Text(GetDlgItem(copy, IDC_PREF_DEST_FOLDER)));
            Click(dialog, IDCANCEL);
        });
        EXPECT_EQ(std::vector<std::wstring>{L"C:\\Typed"}, recorded.browsedFrom);
    }
}

}  // namespace
