// The tick and copy commands on the real main window with a loaded library.
#include "main_window_fixture.h"

#include "backup/copy_job.h"
#include "ipodgen/sample_ipod.h"
#include "library/host_window.h"
#include "library/media_library.h"
#include "support/test_support.h"
#include "ui/list_commands.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace {

struct Recorded {
    std::vector<std::wstring> messages;   // "text|caption|type"
    int browses = 0;
    bool browseAnswer = false;
    int dialogs = 0;
    std::wstring destinationAtDialog;
    INT_PTR dialogResult = 0;
    bool runCancelled = false;   // else the run ends with one failed item
};
Recorded* g_recorded = nullptr;

int WINAPI RecordMessageBox(HWND, const wchar_t* text, const wchar_t* caption, UINT type)
{
    g_recorded->messages.push_back(std::wstring(text) + L"|" + caption + L"|" + std::to_wstring(type));
    return IDOK;
}

bool RecordBrowse(HWND, wchar_t (&folder)[kPathCapacity])
{
    ++g_recorded->browses;
    if (g_recorded->browseAnswer)
        wcscpy(folder, L"C:\\Chosen\\");
    return g_recorded->browseAnswer;
}

INT_PTR RecordDialog(HWND)
{
    ++g_recorded->dialogs;
    g_recorded->destinationAtDialog = g_copyJob.destinationFolder;
    if (g_recorded->dialogResult != 0) {
        g_copyJob.outcomes = {CopyOutcome::Failed};
        g_copyJob.itemCount = 1;
        g_copyJob.runEnded = !g_recorded->runCancelled;
        g_copyJob.cancelled = g_recorded->runCancelled ? 1 : 0;
    }
    return g_recorded->dialogResult;
}

class ListCommandsTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        LoadSampleIpod(30);
        if (HasFatalFailure())
            return;
        ASSERT_EQ(30, Rows());
        m_savedActions = CopyCommands();
        g_recorded = &m_recorded;
        CopyCommands() = {RecordMessageBox, RecordBrowse, RecordDialog};
    }
    void TearDown() override
    {
        CopyCommands() = m_savedActions;
        g_recorded = nullptr;
        g_busy = 0;
        g_pLibrary->Clear();
        MainWindowTest::TearDown();
    }

    HWND List() const { return Item(IDC_MEDIA_LIST); }
    int Rows() const { return static_cast<int>(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0)); }
    void Command(int id) const { SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    // A click on the row's check box when it does not show `ticked`.
    void Tick(int row, bool ticked) const
    {
        if (IsRowTicked(List(), row) != ticked)
            testing_support::HostWindow::ClickBox(List(), row);
    }
    void Select(int row) const
    {
        LVITEMW item = {};
        item.stateMask = LVIS_SELECTED;
        item.state = LVIS_SELECTED;
        SendMessageW(List(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
    std::vector<int> TickedRows() const
    {
        std::vector<int> rows;
        for (int row = 0; row < Rows(); ++row)
            if (IsRowTicked(List(), row))
                rows.push_back(row);
        return rows;
    }
    CopyCommandActions m_savedActions = {};
    Recorded m_recorded;
};

TEST_F(ListCommandsTest, CheckAllWithASearchTicksOnlyTheShownRows)
{
    SetDlgItemTextW(m_window, IDC_SEARCH, m_tracks[4].artist.c_str());
    ASSERT_TRUE(PumpUntil([&] { return Rows() < 30; }));
    const int shown = Rows();
    ASSERT_GT(shown, 0);
    Command(IDM_CHECK_ALL);
    EXPECT_EQ(shown, g_pLibrary->GetCheckedCount());
    EXPECT_EQ(L"Checked items: " + std::to_wstring(shown), StatusText(1));

    SetDlgItemTextW(m_window, IDC_SEARCH, L"");
    ASSERT_TRUE(PumpUntil([&] { return Rows() == 30; }));
    EXPECT_EQ(static_cast<size_t>(shown), TickedRows().size());   // hidden tracks kept their marks
    Command(IDM_LIST_UNCHECK_ALL);
    EXPECT_EQ(0, g_pLibrary->GetCheckedCount());
    EXPECT_EQ(L"Checked items: 0", StatusText(1));
}

TEST_F(ListCommandsTest, InvertFlipsEveryRow)
{
    Tick(0, true);
    Tick(7, true);
    Command(IDM_INVERT_CHECKS);
    EXPECT_EQ(28, g_pLibrary->GetCheckedCount());
    EXPECT_FALSE(IsRowTicked(List(), 0));
    EXPECT_FALSE(IsRowTicked(List(), 7));
    EXPECT_TRUE(IsRowTicked(List(), 29));
    Command(IDM_LIST_INVERT_CHECKS);
    EXPECT_EQ((std::vector<int>{0, 7}), TickedRows());
    EXPECT_EQ(2, g_pLibrary->GetCheckedCount());
}

TEST_F(ListCommandsTest, SelectionCommandsActOnTheSelectedRowsOnly)
{
    Select(3);
    Select(12);
    Command(IDM_LIST_CHECK_SELECTION);
    EXPECT_EQ((std::vector<int>{3, 12}), TickedRows());
    EXPECT_EQ(2, g_pLibrary->GetCheckedCount());
    Tick(20, true);
    Command(IDM_LIST_UNCHECK_SELECTION);
    EXPECT_EQ(std::vector<int>{20}, TickedRows());
    EXPECT_EQ(1, g_pLibrary->GetCheckedCount());
}

TEST_F(ListCommandsTest, ContextMenuGreysTheSelectionItemsWithoutASelection)
{
    for (bool selected : {false, true}) {
        if (selected)
            Select(5);
        HMENU menu = LoadMenuW(g_hInstance, MAKEINTRESOURCEW(IDR_LIST_MENU));
        ASSERT_NE(nullptr, menu);
        HMENU popup = GetSubMenu(menu, 0);
        PrepareListMenu(popup, List());
        const bool grey = !selected;
        EXPECT_EQ(grey, (GetMenuState(popup, IDM_LIST_CHECK_SELECTION, MF_BYCOMMAND) & MF_GRAYED) != 0);
        EXPECT_EQ(grey, (GetMenuState(popup, IDM_LIST_UNCHECK_SELECTION, MF_BYCOMMAND) & MF_GRAYED) != 0);
        EXPECT_EQ(0u, GetMenuState(popup, IDM_LIST_CHECK_ALL, MF_BYCOMMAND) & MF_GRAYED);
        EXPECT_EQ(0u, GetMenuState(popup, IDM_LIST_COPY, MF_BYCOMMAND) & MF_GRAYED);
        DestroyMenu(menu);
    }
}

TEST_F(ListCommandsTest, TickCommandsAreRefusedWhileBusy)
{
    g_busy = 1;
    Command(IDM_CHECK_ALL);
    Command(IDC_COPY);
    g_busy = 0;
    EXPECT_TRUE(TickedRows().empty());
    EXPECT_TRUE(m_recorded.messages.empty());
}

TEST_F(ListCommandsTest, CopyWithNothingTickedWarnsAndOpensNothing)
{
    for (int id : {IDC_COPY, IDM_COPY, IDM_LIST_COPY})
        Command(id);
    const std::wstring expected =
        L"No media checked for transfer|Savanto|" + std::to_wstring(static_cast<unsigned>(MB_ICONWARNING));
    EXPECT_EQ((std::vector<std::wstring>{expected, expected, expected}), m_recorded.messages);
    EXPECT_EQ(0, m_recorded.browses);
    EXPECT_EQ(0, m_recorded.dialogs);
}

TEST_F(ListCommandsTest, CopyTakesTheDefaultFolderOrTheChosenOne)
{
    Tick(1, true);
    Command(IDM_CHECK_ALL);   // counts the marks
    g_settings.AskForDestPath = 0;
    wcscpy(g_settings.DefaultDestPath, L"D:\\Default\\");
    Command(IDM_COPY);
    EXPECT_EQ(0, m_recorded.browses);
    EXPECT_EQ(1, m_recorded.dialogs);
    EXPECT_EQ(L"D:\\Default\\", m_recorded.destinationAtDialog);

    g_settings.AskForDestPath = 1;
    m_recorded.browseAnswer = false;   // the chooser was cancelled
    Command(IDM_COPY);
    EXPECT_EQ(1, m_recorded.browses);
    EXPECT_EQ(1, m_recorded.dialogs);

    m_recorded.browseAnswer = true;
    Command(IDM_LIST_COPY);
    EXPECT_EQ(2, m_recorded.dialogs);
    EXPECT_EQ(L"C:\\Chosen\\", m_recorded.destinationAtDialog);
    EXPECT_TRUE(m_recorded.messages.empty());
}

// Cancel pressed as the run ended returns the dialog's Cancel result: the
// run's outcome, not the button, decides whether its end is reported.
TEST_F(ListCommandsTest, TheRunsOutcomeNotTheButtonDecidesTheEndMessage)
{
    Tick(1, true);
    Command(IDM_CHECK_ALL);
    g_settings.AskForDestPath = 0;
    m_recorded.dialogResult = IDCANCEL;
    for (bool cancelled : {false, true}) {
        m_recorded.runCancelled = cancelled;
        m_recorded.messages.clear();
        Command(IDM_COPY);
        const std::wstring said = m_recorded.messages.empty() ? L"" : m_recorded.messages[0].substr(0, 34);
        EXPECT_EQ(cancelled ? L"" : L"1 of 1 tracks could not be copied.", said);
    }
    g_copyJob.outcomes.clear();
    g_copyJob.runEnded = false;
    g_copyJob.cancelled = 0;
}

// Counts the read-backs of the marks: each one ends by showing the checked
// count in part 1 of the status bar.
class ReadBackCounter {
public:
    ReadBackCounter()
    {
        SetWindowSubclass(g_hStatusBar, CountCheckedTexts, kSubclassId, reinterpret_cast<DWORD_PTR>(&m_count));
    }
    ~ReadBackCounter() { RemoveWindowSubclass(g_hStatusBar, CountCheckedTexts, kSubclassId); }
    ReadBackCounter(const ReadBackCounter&) = delete;
    ReadBackCounter& operator=(const ReadBackCounter&) = delete;

    int Count() const { return m_count; }

private:
    static constexpr UINT_PTR kSubclassId = 0x5EAD;

    static LRESULT CALLBACK CountCheckedTexts(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                              DWORD_PTR count)
    {
        if (message == SB_SETTEXTW && LOBYTE(LOWORD(wParam)) == 1)
            ++*reinterpret_cast<int*>(count);
        return DefSubclassProc(window, message, wParam, lParam);
    }

    int m_count = 0;
};

TEST_F(ListCommandsTest, AClickOnABoxTicksAtOnceAndAClickBesideItDoesNot)
{
    ReadBackCounter readBacks;
    Tick(2, true);
    EXPECT_EQ(L"Checked items: 1", StatusText(1));
    EXPECT_EQ(1, readBacks.Count()) << "one per click";
    testing_support::HostWindow::ClickBox(List(), 4, true);
    EXPECT_EQ(std::vector<int>{2}, TickedRows());
}

// A scan or load (g_busy) or an eject (g_ejecting) may rebuild the library at
// any moment: the handlers that read or change it leave it alone meanwhile.
TEST_F(ListCommandsTest, HandlersLeaveTheLibraryAloneWhileAWorkerMayRebuildIt)
{
    for (std::atomic<int32_t>* flag : {&g_busy, &g_ejecting}) {
        SCOPED_TRACE(flag == &g_busy ? "busy" : "ejecting");
        g_pLibrary->Refresh();
        ASSERT_EQ(30, Rows());
        *flag = 1;

        Tick(3, true);
        ListView_SetItemState(List(), 4, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        SendMessageW(List(), WM_KEYDOWN, VK_SPACE, 0x00390001);
        testing_support::HostWindow::ClickHeading(List(), 0);
        Command(IDM_CHECK_ALL);
        Command(IDM_COPY);
        SetDlgItemTextW(m_window, IDC_SEARCH, L"matches no track at all");
        SendMessageW(m_window, WM_TIMER, IDT_SEARCH, 0);
        HWND tree = Item(IDC_PLAYLIST_TREE);
        TreeView_SelectItem(tree, TreeView_GetChild(tree, TreeView_GetRoot(tree)));
        PumpFor(300);
        EXPECT_EQ(30, Rows()) << "no refresh";
        EXPECT_TRUE(TickedRows().empty()) << "no click, Space or tick command";
        EXPECT_EQ(SortDirection::None, g_pLibrary->SortOrder()) << "no sort";
        EXPECT_EQ(0, m_recorded.dialogs + static_cast<int>(m_recorded.messages.size())) << "no copy";

        *flag = 0;
        SetDlgItemTextW(m_window, IDC_SEARCH, L"");
        KillTimer(m_window, IDT_SEARCH);
        TreeView_SelectItem(tree, TreeView_GetRoot(tree));
    }
}

}  // namespace
