// The Preferences command on the real main window.
#include "main_window_fixture.h"

#include "backup/renaming_rule.h"
#include "support/dialog_driver.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace {

std::vector<WPARAM>* g_activations = nullptr;

LRESULT CALLBACK RecordActivation(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (message == TTM_ACTIVATE && g_activations)
        g_activations->push_back(wParam);
    return DefSubclassProc(window, message, wParam, lParam);
}

// Ctrl+P arrives as command 40017 from the accelerator table; a scan or load
// running does not hold it off. The dialog is owned by the main window, its
// Help shows the renaming rule's help in a real message box, and its OK
// switches the main window's own tooltips.
TEST_F(MainWindowTest, PreferencesOpenOwnedByTheWindowEvenWhileBusy)
{
    std::vector<WPARAM> activations;
    g_activations = &activations;
    SetWindowSubclass(g_hTooltip, RecordActivation, 1, 0);
    g_settings.EnableTooltips = 1;
    g_busy = 1;
    HWND owner = nullptr;
    std::wstring helpText;
    testing_support::ActOnDialogWhenShown(L"Preferences", [&](HWND dialog) {
        owner = GetWindow(dialog, GW_OWNER);
        EXPECT_FALSE(IsWindowEnabled(m_window));   // modal
        testing_support::ActOnDialogWhenShown(L"Renaming Rule help", [&](HWND box) {
            wchar_t text[512] = {};
            GetDlgItemTextW(box, 0xFFFF, text, ARRAYSIZE(text));   // a message box's text
            helpText = text;
            SendMessageW(box, WM_COMMAND, IDOK, 0);
        });
        const HWND copy = FindWindowExW(dialog, nullptr, L"#32770", L"Copy");
        SendDlgItemMessageW(copy, IDC_PREF_RULE_HELP, BM_CLICK, 0, 0);
        const HWND general = FindWindowExW(dialog, nullptr, L"#32770", L"General");
        SendDlgItemMessageW(general, IDC_PREF_TOOLTIPS, BM_CLICK, 0, 0);
        SendDlgItemMessageW(dialog, IDOK, BM_CLICK, 0, 0);
    });
    SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(IDM_PREFERENCES, 1), 0);
    g_busy = 0;
    RemoveWindowSubclass(g_hTooltip, RecordActivation, 1);
    g_activations = nullptr;
    EXPECT_EQ(m_window, owner);
    EXPECT_TRUE(IsWindowEnabled(m_window));
    EXPECT_EQ(0u, g_settings.EnableTooltips);
    EXPECT_EQ(std::vector<WPARAM>{0}, activations);
    EXPECT_EQ(kRenamingRuleHelp, helpText);   // the rule's help reaches the box
}

}  // namespace
