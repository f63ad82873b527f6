#include "main_window_fixture.h"

#include "library/media_library.h"
#include "ui/resize_layout.h"

HKEY MainWindowTest::s_privateUserKey = nullptr;

void MainWindowTest::SetUpTestSuite()
{
    g_hInstance = GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    const std::wstring name = L"Software\\SavantoUiTests\\" + std::to_wstring(GetCurrentProcessId());
    RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &s_privateUserKey,
                    nullptr);
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, s_privateUserKey));
}

void MainWindowTest::TearDownTestSuite()
{
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegDeleteTreeW(s_privateUserKey, nullptr);
    RegCloseKey(s_privateUserKey);
    const std::wstring name = L"Software\\SavantoUiTests\\" + std::to_wstring(GetCurrentProcessId());
    RegDeleteKeyW(HKEY_CURRENT_USER, name.c_str());
}

void MainWindowTest::SetUp()
{
    g_settings = Settings();
    g_settings.StartupIpodScan = 0;   // each test starts its own work
    g_settings.CheckForUpdates = 0;   // never the network
    m_window = CreateMainWindow();
    ASSERT_NE(nullptr, m_window);
}

void MainWindowTest::TearDown()
{
    // A worker a test started must end before the next window exists.
    PumpUntil([] { return g_busy == 0; });
    if (IsWindow(m_window))
        DestroyWindow(m_window);
    TakeQuitMessage();
}

RECT MainWindowTest::ClientRectOf(int id) const
{
    RECT r = {};
    GetWindowRect(Item(id), &r);
    MapWindowPoints(nullptr, m_window, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

SIZE MainWindowTest::OuterSize() const
{
    RECT r;
    GetWindowRect(m_window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

void MainWindowTest::ResizeOuter(int width, int height) const
{
    SetWindowPos(m_window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring MainWindowTest::StatusText(int part) const
{
    wchar_t text[256] = {};
    const LRESULT length = SendMessageW(g_hStatusBar, SB_GETTEXTLENGTHW, part, 0);
    if (LOWORD(length) >= ARRAYSIZE(text))
        return L"<too long>";
    SendMessageW(g_hStatusBar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text));
    return text;
}

void MainWindowTest::PumpFor(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {   // keep it for TakeQuitMessage
                PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (GetTickCount() - start < milliseconds);
}

bool MainWindowTest::TakeQuitMessage()
{
    MSG message;
    return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

void MainWindowTest::LoadSampleIpod(int trackCount)
{
    ipodgen::SampleIpodOptions options;
    options.trackCount = trackCount;
    options.mediaFiles = false;
    ASSERT_TRUE(ipodgen::CreateSampleIpod(m_ipod.Path(), options, &m_tracks));
    g_pLibrary->LoadDatabase((m_ipod.Path() + L"\\iPod_Control\\iTunes\\iTunesDB").c_str());
    g_pLibrary->Refresh();
}
