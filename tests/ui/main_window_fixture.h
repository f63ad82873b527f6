#pragma once
// Creates the real main window from the embedded resources, with the
// registry's HKEY_CURRENT_USER redirected to a private key for this process
// so that saved settings never reach other tests' values.
#include "library/app_globals.h"
#include "resource.h"
#include "settings/settings.h"
#include "ui/main_window.h"
#include "ipodgen/sample_ipod.h"
#include "support/test_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

class MainWindowTest : public testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    HWND Item(int id) const { return GetDlgItem(m_window, id); }
    RECT ClientRectOf(int id) const;    // the control in the window's client pixels
    SIZE OuterSize() const;
    void ResizeOuter(int width, int height) const;
    std::wstring StatusText(int part) const;

    // Runs the window's messages (timers included) until `done` or a generous
    // guard against hanging; returns done().
    template <typename Done>
    static bool PumpUntil(Done done)
    {
        for (int i = 0; i < 1000 && !done(); ++i)
            PumpFor(10);
        return done();
    }
    static void PumpFor(DWORD milliseconds);
    static bool TakeQuitMessage();   // removes a posted WM_QUIT, if any

    // Fills m_ipod with a sample iPod of `trackCount` tracks (no media files),
    // loads it into the library and shows every track.
    void LoadSampleIpod(int trackCount);

    HWND m_window = nullptr;
    testing_support::TempDir m_ipod;
    std::vector<ipodgen::SampleTrack> m_tracks;
    static HKEY s_privateUserKey;
};
