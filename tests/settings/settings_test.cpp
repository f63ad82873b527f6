#include "settings/settings.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

namespace names = settings_names;

void RemoveSettingsKey()
{
    RegDeleteKeyW(HKEY_CURRENT_USER, names::kKeyPath);
}

bool SettingsKeyExists()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, names::kKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

struct StoredValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

// Every test starts without the key and leaves none behind, whatever the
// preferences of the prefix it runs in.
class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveSettingsKey();
        ASSERT_FALSE(SettingsKeyExists());
    }
    void TearDown() override
    {
        RemoveSettingsKey();
        EXPECT_FALSE(SettingsKeyExists());
    }

    static void Store(const wchar_t* name, DWORD type, const void* data, DWORD size)
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, names::kKeyPath, 0, nullptr, 0, KEY_WRITE,
                                                 nullptr, &key, nullptr));
        const LSTATUS status = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
        ASSERT_EQ(ERROR_SUCCESS, status);
    }
    static void StoreText(const wchar_t* name, const std::wstring& text)
    {
        Store(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    static void StoreDword(const wchar_t* name, DWORD value) { Store(name, REG_DWORD, &value, sizeof(value)); }

    static StoredValue Read(const wchar_t* name)
    {
        StoredValue value;
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, names::kKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return value;
        DWORD size = 0;
        if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
            value.bytes.resize(size);
            RegQueryValueExW(key, name, nullptr, &value.type, value.bytes.data(), &size);
        }
        RegCloseKey(key);
        return value;
    }

    static std::wstring DocumentsBackupFolder()
    {
        wchar_t documents[MAX_PATH] = {};
        EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, documents, CSIDL_PERSONAL, FALSE));
        return std::wstring(documents) + L"\\iPod Music Backup\\";
    }

    // Starts from values no default has, so Load must set every field.
    static Settings Scribbled()
    {
        Settings settings;
        wcscpy_s(settings.DefaultDestPath, L"scribble");
        wcscpy_s(settings.NamingConvertion, L"scribble");
        settings.GridLines = settings.EnableTooltips = settings.StartupIpodScan = 77;
        settings.CheckForUpdates = settings.TransferOverwrite = settings.AskForDestPath = 77;
        return settings;
    }
};

TEST_F(SettingsStore, FirstRunCreatesTheKeyAndTakesEveryDefault)
{
    Settings settings = Scribbled();
    settings.Load();

    EXPECT_TRUE(SettingsKeyExists());
    EXPECT_EQ(DocumentsBackupFolder(), settings.DefaultDestPath);
    EXPECT_STREQ(L"<artist> - <album>\\<track> - <title>", settings.NamingConvertion);
    EXPECT_EQ(1u, settings.GridLines);
    EXPECT_EQ(1u, settings.EnableTooltips);
    EXPECT_EQ(1u, settings.StartupIpodScan);
    EXPECT_EQ(1u, settings.CheckForUpdates);
    EXPECT_EQ(1u, settings.TransferOverwrite);
    EXPECT_EQ(1u, settings.AskForDestPath);
    EXPECT_TRUE(Read(names::kGridLines).bytes.empty()) << "Load must not write values";
}

TEST_F(SettingsStore, SaveWritesAllEightValuesWithTheirTypesAndBytes)
{
    Settings settings;
    settings.Load();
    wcscpy_s(settings.DefaultDestPath, L"E:\\Keep");
    wcscpy_s(settings.NamingConvertion, L"<title>");
    settings.GridLines = 0;
    settings.EnableTooltips = 1;
    settings.StartupIpodScan = 0;
    settings.CheckForUpdates = 7;
    settings.TransferOverwrite = 2;
    settings.AskForDestPath = 0;
    settings.Save();

    const StoredValue path = Read(names::kDefaultDestPath);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), path.type);
    const BYTE pathBytes[] = {'E', 0, ':', 0, '\\', 0, 'K', 0, 'e', 0, 'e', 0, 'p', 0, 0, 0};
    EXPECT_EQ(std::vector<BYTE>(pathBytes, pathBytes + sizeof(pathBytes)), path.bytes);
    const StoredValue rule = Read(names::kNamingConvertion);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), rule.type);
    EXPECT_EQ(16u, rule.bytes.size());   // "<title>" and its terminator

    const std::pair<const wchar_t*, DWORD> numbers[] = {
        {names::kGridLines, 0},       {names::kEnableTooltips, 1},    {names::kStartupIpodScan, 0},
        {names::kCheckForUpdates, 7}, {names::kTransferOverwrite, 2}, {names::kAskForDestPath, 0},
    };
    for (const auto& [name, expected] : numbers) {
        const StoredValue value = Read(name);
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), value.type) << name;
        ASSERT_EQ(4u, value.bytes.size()) << name;
        DWORD stored = 0;
        memcpy(&stored, value.bytes.data(), sizeof(stored));
        EXPECT_EQ(expected, stored) << name;
    }

    Settings reloaded = Scribbled();
    reloaded.Load();
    EXPECT_STREQ(L"E:\\Keep", reloaded.DefaultDestPath);
    EXPECT_STREQ(L"<title>", reloaded.NamingConvertion);
    EXPECT_EQ(7u, reloaded.CheckForUpdates);
    EXPECT_EQ(2u, reloaded.TransferOverwrite) << "2 means overwrite and must not be folded to 1";
}

TEST_F(SettingsStore, WriteFileOptionsKeepTheirDefaultsAndRoundTripAsDwords)
{
    const std::tuple<DWORD Settings::*, const wchar_t*, DWORD> options[] = {
        {&Settings::WritePlaylists, names::kWritePlaylists, 0},
        {&Settings::WriteLibraryFile, names::kWriteLibraryFile, 0},
        {&Settings::SaveCovers, names::kSaveCovers, 1}};
    for (const auto& [member, name, byDefault] : options) {   // before anything is saved
        Settings settings = Scribbled();
        settings.*member = 77;
        settings.Load();
        EXPECT_EQ(byDefault, settings.*member) << name;
        EXPECT_TRUE(Read(name).bytes.empty()) << "Load must not write values";
    }
    for (const auto& [member, name, byDefault] : options) {
        Settings settings = Scribbled();
        for (DWORD value : {1u, 0u}) {
            settings.*member = value;
            settings.Save();
            const StoredValue stored = Read(name);
            EXPECT_EQ(static_cast<DWORD>(REG_DWORD), stored.type);
            EXPECT_EQ((std::vector<BYTE>{static_cast<BYTE>(value), 0, 0, 0}), stored.bytes);
            Settings reloaded = Scribbled();
            reloaded.*member = 77;
            reloaded.Load();
            EXPECT_EQ(value, reloaded.*member) << name;
        }
        StoreDword(name, 5);   // any non-zero value is on, and kept as it is
        settings.Load();
        EXPECT_EQ(5u, settings.*member) << name;
    }
}

TEST_F(SettingsStore, EmptyDestinationStaysEmptyUntilTheNextLoad)
{
    Settings settings;
    settings.Load();
    settings.DefaultDestPath[0] = L'\0';
    settings.Save();
    EXPECT_EQ(2u, Read(names::kDefaultDestPath).bytes.size());
    EXPECT_STREQ(L"", settings.DefaultDestPath);

    Settings next;
    next.Load();
    EXPECT_EQ(DocumentsBackupFolder(), next.DefaultDestPath);
}

TEST_F(SettingsStore, RuleLongerThanTheBufferKeepsTheDefault)
{
    StoreText(names::kNamingConvertion, std::wstring(260, L'r'));
    Settings settings = Scribbled();
    settings.Load();
    EXPECT_STREQ(settings_defaults::kNamingConvertion, settings.NamingConvertion);

    StoreText(names::kNamingConvertion, std::wstring(259, L'r'));
    settings.Load();
    EXPECT_EQ(std::wstring(259, L'r'), settings.NamingConvertion);
}

TEST_F(SettingsStore, TextFillingTheBufferWithoutTerminatorKeepsTheDefault)
{
    const std::wstring full(kPathCapacity, L'x');   // 520 bytes, no room for a terminator
    Store(names::kNamingConvertion, REG_BINARY, full.data(), kPathCapacity * sizeof(wchar_t));
    Settings settings = Scribbled();
    settings.Load();
    EXPECT_STREQ(settings_defaults::kNamingConvertion, settings.NamingConvertion);
}

TEST_F(SettingsStore, StoredBytesAreTakenWhateverTheirType)
{
    // A text stored without its terminator, with an odd byte count, as binary.
    const BYTE odd[] = {'a', 0, 'b', 0, 'c'};
    Store(names::kNamingConvertion, REG_BINARY, odd, sizeof(odd));
    StoreText(names::kGridLines, L"0");            // bytes 30 00 00 00: non-zero, so on
    const BYTE shortValue[] = {0x02, 0x00};        // fills the low bytes only
    Store(names::kTransferOverwrite, REG_BINARY, shortValue, sizeof(shortValue));
    const ULONGLONG wide = 0;                      // 8 bytes do not fit
    Store(names::kEnableTooltips, REG_QWORD, &wide, sizeof(wide));
    Store(names::kAskForDestPath, REG_BINARY, nullptr, 0);   // empty: nothing to overwrite

    Settings settings = Scribbled();
    settings.Load();
    EXPECT_STREQ(L"ab", settings.NamingConvertion);
    EXPECT_EQ(0x30u, settings.GridLines);
    EXPECT_EQ(2u, settings.TransferOverwrite);
    EXPECT_EQ(1u, settings.EnableTooltips);
    EXPECT_EQ(1u, settings.AskForDestPath);
}

TEST_F(SettingsStore, DestinationStoredAsNumberZeroIsEmptyAndReplaced)
{
    StoreDword(names::kDefaultDestPath, 0);
    Settings settings;
    settings.Load();
    EXPECT_EQ(DocumentsBackupFolder(), settings.DefaultDestPath);
}

TEST(RegistryHelpers, FailedReadsLeaveTheDefaultWithinTheBuffer)
{
    wchar_t small[4];
    EXPECT_FALSE(RegReadString(nullptr, names::kNamingConvertion, small, 4, L"longer default"));
    EXPECT_STREQ(L"lon", small);
    DWORD value = 9;
    EXPECT_FALSE(RegReadDword(nullptr, names::kGridLines, &value, 5));
    EXPECT_EQ(5u, value);
    EXPECT_FALSE(RegWriteDword(nullptr, names::kGridLines, 1));
    EXPECT_FALSE(RegWriteString(nullptr, names::kGridLines, L"x"));
}

}  // namespace
