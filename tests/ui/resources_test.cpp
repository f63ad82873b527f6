// The resources that users, stored shortcuts and other code rely on.
#include "resource.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace {

HINSTANCE Module() { return GetModuleHandleW(nullptr); }

std::wstring MenuText(HMENU menu, UINT item, UINT flags)
{
    wchar_t text[128] = {};
    GetMenuStringW(menu, item, text, ARRAYSIZE(text), flags);
    return text;
}

std::vector<std::wstring> PopupTexts(HMENU popup)
{
    std::vector<std::wstring> texts;
    for (int i = 0; i < GetMenuItemCount(popup); ++i) {
        const UINT id = GetMenuItemID(popup, i);
        texts.push_back(id == 0 ? L"-" : std::to_wstring(id) + L" " + MenuText(popup, i, MF_BYPOSITION));
    }
    return texts;
}

TEST(Resources, MainMenuHoldsEveryCommandWithItsText)
{
    HMENU menu = LoadMenuW(Module(), MAKEINTRESOURCEW(IDR_MAIN_MENU));
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(4, GetMenuItemCount(menu));
    EXPECT_EQ(L"&File", MenuText(menu, 0, MF_BYPOSITION));
    EXPECT_EQ(L"&Edit", MenuText(menu, 1, MF_BYPOSITION));
    EXPECT_EQ(L"&Options", MenuText(menu, 2, MF_BYPOSITION));
    EXPECT_EQ(L"&Help", MenuText(menu, 3, MF_BYPOSITION));
    using Texts = std::vector<std::wstring>;
    EXPECT_EQ((Texts{L"40007 &Scan for iPods", L"40050 &Eject iPod\tCtrl+E", L"-", L"40008 E&xit\tAlt+F4"}),
              PopupTexts(GetSubMenu(menu, 0)));
    EXPECT_EQ((Texts{L"40003 Check &all\tCtrl+A", L"40004 &Uncheck all\tCtrl+U", L"40006 &Invert checks\tCtrl+I",
                     L"-", L"40049 Copy checked items\tCtrl+T"}),
              PopupTexts(GetSubMenu(menu, 1)));
    EXPECT_EQ((Texts{L"40015 Show grid &lines in media list", L"40060 Write playlist &files when copying",
                     L"40061 Write li&brary file when copying", L"40062 Save album &covers when copying", L"-",
                     L"40017 &Preferences...\tCtrl+P"}),
              PopupTexts(GetSubMenu(menu, 2)));
    EXPECT_EQ((Texts{L"40010 &Help topics\tF1", L"-", L"40045 Check for &Updates", L"40011 &About Savanto\tAlt+A"}),
              PopupTexts(GetSubMenu(menu, 3)));
    EXPECT_EQ(static_cast<UINT>(MF_GRAYED), GetMenuState(menu, IDM_EJECT, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_EQ(static_cast<UINT>(MF_CHECKED), GetMenuState(menu, IDM_GRID_LINES, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_EQ(0u, GetMenuState(menu, IDM_WRITE_PLAYLISTS, MF_BYCOMMAND) & (MF_CHECKED | MF_GRAYED));
    EXPECT_EQ(0u, GetMenuState(menu, IDM_WRITE_LIBRARY_FILE, MF_BYCOMMAND) & (MF_CHECKED | MF_GRAYED));
    EXPECT_EQ(0u, GetMenuState(menu, IDM_SCAN, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
    DestroyMenu(menu);
}

TEST(Resources, ContextMenuOfTheMediaList)
{
    HMENU menu = LoadMenuW(Module(), MAKEINTRESOURCEW(IDR_LIST_MENU));
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(L"Song List Menu", MenuText(menu, 0, MF_BYPOSITION));
    EXPECT_EQ((std::vector<std::wstring>{L"40029 Check All", L"40030 Uncheck all", L"40031 Invert checks", L"-",
                                         L"40051 Check selection", L"40052 Uncheck selection", L"-",
                                         L"40032 Copy checked items"}),
              PopupTexts(GetSubMenu(menu, 0)));
    DestroyMenu(menu);
}

TEST(Resources, ShortcutsMapToTheirCommands)
{
    HACCEL table = LoadAcceleratorsW(Module(), MAKEINTRESOURCEW(IDR_ACCELERATORS));
    ASSERT_NE(nullptr, table);
    ACCEL keys[16];
    const int count = CopyAcceleratorTableW(table, keys, ARRAYSIZE(keys));
    DestroyAcceleratorTable(table);
    std::vector<std::wstring> seen;
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(FVIRTKEY | FNOINVERT, keys[i].fVirt & (FVIRTKEY | FNOINVERT)) << i;
        const wchar_t* modifier = (keys[i].fVirt & FCONTROL) ? L"Ctrl+" : (keys[i].fVirt & FALT) ? L"Alt+" : L"";
        const std::wstring key = keys[i].key == VK_F1 ? L"F1" : std::wstring(1, static_cast<wchar_t>(keys[i].key));
        seen.push_back(modifier + key + L"=" + std::to_wstring(keys[i].cmd));
    }
    EXPECT_EQ((std::vector<std::wstring>{L"Ctrl+A=40003", L"Alt+A=40011", L"Ctrl+E=40050", L"Ctrl+I=40006",
                                         L"Ctrl+P=40017", L"Ctrl+T=40049", L"Ctrl+U=40004", L"F1=40010"}),
              seen);
}

TEST(Resources, SplitterCursorHasItsHotSpot)
{
    HCURSOR cursor = static_cast<HCURSOR>(
        LoadImageW(Module(), MAKEINTRESOURCEW(IDC_SPLITTER_CURSOR), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
    ASSERT_NE(nullptr, cursor);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(cursor, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(14u, info.xHotspot);
    EXPECT_EQ(6u, info.yHotspot);
    BITMAP mask = {};
    GetObjectW(info.hbmMask, sizeof(mask), &mask);
    EXPECT_EQ(32, mask.bmWidth);
    EXPECT_EQ(64, mask.bmHeight);   // monochrome: AND and XOR halves in one bitmap
    EXPECT_EQ(nullptr, info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyCursor(cursor);
}

TEST(Resources, IconsLoadInTheirSizes)
{
    for (int id : {IDI_APP, IDI_PLAYLIST, IDI_PLAYLIST_ROOT}) {
        HICON icon = static_cast<HICON>(LoadImageW(Module(), MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
        EXPECT_NE(nullptr, icon) << id;
        DestroyIcon(icon);
    }
    HICON large = static_cast<HICON>(LoadImageW(Module(), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 32, 32, 0));
    ASSERT_NE(nullptr, large);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(large, &info));
    BITMAP colour = {};
    GetObjectW(info.hbmColor, sizeof(colour), &colour);
    EXPECT_EQ(32, colour.bmWidth);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
    DestroyIcon(large);
}

const BYTE* ResourceData(const wchar_t* name, const wchar_t* type, DWORD* bytes)
{
    HRSRC found = FindResourceW(Module(), name, type);
    *bytes = found ? SizeofResource(Module(), found) : 0;
    return found ? static_cast<const BYTE*>(LockResource(LoadResource(Module(), found))) : nullptr;
}

// Every icon holds each size that 100 % to 400 % scaling asks for as a
// 32-bit bitmap whose alpha has soft edges, and 256 pixels as an RGBA PNG.
TEST(Resources, IconsHoldEverySizeInThirtyTwoBits)
{
    for (int id : {IDI_APP, IDI_PLAYLIST, IDI_PLAYLIST_ROOT}) {
        DWORD bytes = 0;
        auto* group = const_cast<BYTE*>(ResourceData(MAKEINTRESOURCEW(id), RT_GROUP_ICON, &bytes));
        ASSERT_NE(nullptr, group) << id;
        for (int size : {16, 20, 24, 32, 40, 48, 64, 256}) {
            SCOPED_TRACE(testing::Message() << "icon " << id << " at " << size);
            const int image = LookupIconIdFromDirectoryEx(group, TRUE, size, size, LR_DEFAULTCOLOR);
            const BYTE* data = ResourceData(MAKEINTRESOURCEW(image), RT_ICON, &bytes);
            ASSERT_GE(bytes, 40u);
            if (size == 256) {   // a PNG, its header's width, 8 bits per channel and RGBA
                EXPECT_EQ(std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\1\0\0\0\1\0\x08\x06", 26),
                          std::string(reinterpret_cast<const char*>(data), 26));
                continue;
            }
            const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(data);
            EXPECT_EQ(size, header->biWidth);
            ASSERT_EQ(32, header->biBitCount);
            ASSERT_GE(bytes, header->biSize + 4u * size * size);
            int soft = 0;
            for (int i = 0; i < size * size; ++i)
                soft += data[header->biSize + 4 * i + 3] % 255 != 0;
            EXPECT_GT(soft, 0);
        }
    }
}

TEST(Resources, VersionIsOnePointOnePointThree)
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(MAKELONG(1, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(0, 3), fixed->dwFileVersionLS);
}

// Both builds embed the same manifest: the program's own identity must name
// no processor, or the one it was built for, and still ask for the common
// controls of version 6; the system must read it as asking for the user's own
// rights, and it must name Windows 7, 8, 8.1 and 10/11 as supported.
TEST(Resources, ManifestFitsTheBuildsArchitectureAndRunsAsInvokerOnWindows7To11)
{
    HRSRC found = FindResourceW(Module(), CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
    ASSERT_NE(nullptr, found);
    const char* data = static_cast<const char*>(LockResource(LoadResource(Module(), found)));
    ASSERT_NE(nullptr, data);
    const std::string manifest(data, SizeofResource(Module(), found));
    const size_t identity = manifest.find("<assemblyIdentity");
    ASSERT_NE(std::string::npos, identity);
    const std::string own = manifest.substr(identity, manifest.find("/>", identity) - identity);
    const size_t named = own.find("processorArchitecture=\"");
    if (named != std::string::npos) {
        std::string architecture = own.substr(named + 23, own.find('"', named + 23) - named - 23);
        for (char& c : architecture)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(sizeof(void*) == 8 ? "amd64" : "x86", architecture);
    }
    EXPECT_NE(std::string::npos, manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
    // Drawn at each monitor's scale by the program, not stretched by the system.
    EXPECT_NE(std::string::npos, manifest.find("2005/WindowsSettings\">true/pm</dpiAware>"));
    EXPECT_NE(std::string::npos, manifest.find("2016/WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>"));
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level = {};
    QueryActCtxW(0, nullptr, nullptr, RunlevelInformationInActivationContext, &level, sizeof(level), nullptr);
    EXPECT_EQ(ACTCTX_RUN_LEVEL_AS_INVOKER, level.RunLevel);
    EXPECT_EQ(0u, level.UiAccess);
    for (const char* id : {"35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                           "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
        EXPECT_NE(std::string::npos, manifest.find("<supportedOS Id=\"{" + std::string(id) + "}\"/>")) << id;
}

}  // namespace
