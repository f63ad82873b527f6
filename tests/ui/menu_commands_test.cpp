// Grid lines, Help topics and Check for Updates on the real main window.
#include "main_window_fixture.h"

#include "library/views.h"
#include "ui/menu_commands.h"
#include "update/update_check.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace {

DWORD StoredGridLines()
{
    DWORD value = 0xDEADBEEF, size = sizeof(value);
    RegGetValueW(HKEY_CURRENT_USER, settings_names::kKeyPath, settings_names::kGridLines, RRF_RT_REG_DWORD, nullptr,
                 &value, &size);
    return value;
}

class MenuCommandsTest : public MainWindowTest {
protected:
    DWORD ListStyles() const
    {
        return static_cast<DWORD>(SendMessageW(Item(IDC_MEDIA_LIST), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    }
    bool MenuChecked() const
    {
        return (GetMenuState(GetMenu(m_window), IDM_GRID_LINES, MF_BYCOMMAND) & MF_CHECKED) != 0;
    }
    void Command(int id) const { SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
};

TEST_F(MenuCommandsTest, GridLinesToggleBothWaysReplacingTheStylesAndIsSavedAtTheClose)
{
    constexpr DWORD kPlain = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP;
    RegDeleteKeyValueW(HKEY_CURRENT_USER, settings_names::kKeyPath, settings_names::kGridLines);
    ASSERT_EQ(1u, g_settings.GridLines);   // the default, which the window opened with
    ASSERT_TRUE(MenuChecked());
    // A style nobody asked for goes: the toggle replaces all of them.
    SendMessageW(Item(IDC_MEDIA_LIST), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_HEADERDRAGDROP, LVS_EX_HEADERDRAGDROP);
    struct Step {
        DWORD setting;
        DWORD styles;
        bool checked;
    };
    for (const Step& expected : {Step{0, kPlain, false}, Step{1, kPlain | LVS_EX_GRIDLINES, true},
                                 Step{0, kPlain, false}}) {
        Command(IDM_GRID_LINES);
        EXPECT_EQ(expected.setting, g_settings.GridLines);
        EXPECT_EQ(expected.styles, ListStyles());
        EXPECT_EQ(expected.checked, MenuChecked());
    }
    EXPECT_EQ(0xDEADBEEFu, StoredGridLines()) << "stored at the close, not before";
    SendMessageW(m_window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, StoredGridLines());
}

TEST_F(MenuCommandsTest, GridLinesAnyNonZeroSettingCountsAsOn)
{
    g_settings.GridLines = 0x30;   // as read from a value that is not 0 or 1
    Command(IDM_GRID_LINES);
    EXPECT_EQ(0u, g_settings.GridLines);
    EXPECT_EQ(0u, ListStyles() & LVS_EX_GRIDLINES);
    EXPECT_FALSE(MenuChecked());
}

// --- Help topics --------------------------------------------------------------

struct ShellRequest {
    DWORD size, mask;
    HWND owner;
    std::wstring verb, file;
    bool parameters, directory;
    int show;
};
std::vector<ShellRequest>* g_requests = nullptr;

std::wstring OrEmpty(const wchar_t* text) { return text ? text : L"<null>"; }

BOOL WINAPI RecordShellExecute(SHELLEXECUTEINFOW* info)
{
    g_requests->push_back({info->cbSize, info->fMask, info->hwnd, OrEmpty(info->lpVerb), OrEmpty(info->lpFile),
                           info->lpParameters != nullptr, info->lpDirectory != nullptr, info->nShow});
    return TRUE;
}

TEST_F(MenuCommandsTest, HelpTopicsAsksTheShellToOpenHelpChmInTheCurrentDirectory)
{
    std::vector<ShellRequest> requests;
    g_requests = &requests;
    const ShellExecuteExFn saved = HelpShellExecute();
    HelpShellExecute() = RecordShellExecute;
    Command(IDM_HELP_TOPICS);
    g_busy = 1;   // help is never refused
    Command(IDM_HELP_TOPICS);
    g_busy = 0;
    HelpShellExecute() = saved;
    g_requests = nullptr;

    ASSERT_EQ(2u, requests.size());
    for (const ShellRequest& request : requests) {
        EXPECT_EQ(sizeof(SHELLEXECUTEINFOW), request.size);
        EXPECT_EQ(sizeof(void*) == 4 ? 60u : sizeof(SHELLEXECUTEINFOW), request.size);
        EXPECT_EQ(0u, request.mask);
        EXPECT_EQ(m_window, request.owner);
        EXPECT_EQ(L"open", request.verb);
        EXPECT_EQ(L"help.chm", request.file);
        EXPECT_FALSE(request.parameters);
        EXPECT_FALSE(request.directory);
        EXPECT_EQ(SW_SHOWNORMAL, request.show);
    }
}

TEST(HelpFile, CurrentDirectoryThenTheProgramsFolder)
{
    const std::wstring program = L"C:\\Program Files\\Savanto", besideProgram = program + L"\\help.chm";
    for (const auto& [found, expected] : {std::pair<std::wstring, std::wstring>{L"help.chm", L"help.chm"},
                                          {besideProgram, besideProgram}, {L"", L"help.chm"}}) {
        EXPECT_EQ(expected, HelpFileToOpen(program, [&](const std::wstring& path) { return path == found; }));
    }
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    EXPECT_EQ(std::wstring(exe), ProgramFolder() + L"\\ui_tests.exe");
}

// --- Check for Updates ------------------------------------------------------

std::vector<std::wstring>* g_boxes = nullptr;

int RecordBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style)
{
    g_boxes->push_back(std::wstring(owner == g_hMainWnd ? L"main|" : L"other|") + text + L"|" + caption + L"|" +
                       std::to_wstring(style));
    return IDOK;
}

TEST_F(MenuCommandsTest, CheckForUpdatesStartsTheInteractiveCheck)
{
    std::vector<std::wstring> boxes;
    g_boxes = &boxes;
    update_testing::SetMessageBox(RecordBox);
    // Nothing listens on this loopback port: only the interactive mode says so.
    update_testing::SetServer(L"http://127.0.0.1:9");
    Command(IDM_CHECK_UPDATES);
    const bool ended = PumpUntil([] { return g_updateCheckRunning == 0; });
    update_testing::SetServer(nullptr);
    update_testing::SetMessageBox(nullptr);
    g_boxes = nullptr;

    ASSERT_TRUE(ended);
    EXPECT_EQ((std::vector<std::wstring>{L"main|Error retrieving current version from internet|Version Checker|" +
                                         std::to_wstring(MB_ICONERROR)}),
              boxes);
}

}  // namespace
