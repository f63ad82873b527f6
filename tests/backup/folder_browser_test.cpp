// The destination folder chooser: how a chosen path is finished, and that a
// cancelled choice leaves the caller's buffer as it was.
#include "backup/folder_browser.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

struct Finishing {
    std::wstring chosen;
    bool finished;
    std::wstring result;
};

TEST(FolderBrowserTest, ChosenPathEndsWithOneBackslash)
{
    const std::wstring fits(kPathCapacity - 2, L'a');   // the backslash takes the last unit
    const std::wstring full(kPathCapacity - 1, L'a');   // no room left
    const Finishing cases[] = {
        {L"D:\\Music", true, L"D:\\Music\\"},
        {L"D:\\Music\\", true, L"D:\\Music\\"},   // added once only
        {L"D:\\", true, L"D:\\"},                 // a root stays as it is
        {L"\\\\server\\share", true, L"\\\\server\\share\\"},
        {fits, true, fits + L"\\"},
        {full, false, full},
        {full.substr(0, kPathCapacity - 2) + L"\\", true, full.substr(0, kPathCapacity - 2) + L"\\"},
        {L"", false, L""},
    };
    for (const Finishing& c : cases) {
        wchar_t path[kPathCapacity];
        wmemset(path, L'#', kPathCapacity);   // beyond the terminator: must stay untouched
        wcscpy(path, c.chosen.c_str());
        EXPECT_EQ(c.finished, FinishFolderPath(path)) << c.chosen.size();
        EXPECT_EQ(c.result, path) << c.chosen.size();
        if (c.result.size() + 1 < kPathCapacity) {
            EXPECT_EQ(L'#', path[c.result.size() + 1]) << c.chosen.size();
        }
    }
}

BOOL CALLBACK TakeDialog(HWND window, LPARAM found)
{
    wchar_t className[16] = {};
    GetClassNameW(window, className, ARRAYSIZE(className));
    if (wcscmp(className, L"#32770") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The chooser's dialog on the thread that runs it, once it is there.
HWND FindChooser(DWORD threadId)
{
    HWND found = nullptr;
    EnumThreadWindows(threadId, TakeDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The chooser is a modal dialog on the test's thread: a helper thread
// presses its Cancel as soon as it is there.
TEST(FolderBrowserTest, CancelLeavesTheBufferExactlyAsItWas)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, owner);
    wchar_t folder[kPathCapacity];
    wmemset(folder, L'#', kPathCapacity);
    wcscpy(folder, L"C:\\Before\\");
    wchar_t before[kPathCapacity];
    wmemcpy(before, folder, kPathCapacity);

    const DWORD threadId = GetCurrentThreadId();
    std::atomic<bool> chooserSeen{false};
    std::thread canceller([&] {
        for (int tries = 0; tries < 2000 && !chooserSeen; ++tries) {
            HWND chooser = FindChooser(threadId);
            if (chooser) {
                chooserSeen = true;
                PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
            } else {
                Sleep(10);
            }
        }
    });
    const bool chosen = BrowseForFolder(owner, folder);
    canceller.join();
    DestroyWindow(owner);
    ASSERT_TRUE(chooserSeen) << "the chooser never opened";
    EXPECT_FALSE(chosen);
    EXPECT_EQ(0, wmemcmp(before, folder, kPathCapacity));
}

}  // namespace
