#include "backup/transfer_log.h"
#include "backup/transfer_log_place.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ipodgen/db_builder.h"
#include "support/test_support.h"

namespace {

// The file's bytes, or none when it cannot be read.
std::vector<BYTE> ReadBytes(const std::wstring& path)
{
    std::vector<BYTE> bytes;
    if (!ipodgen::ReadBytes(path, &bytes))
        bytes.clear();
    return bytes;
}

std::wstring ReadText(const std::wstring& path)
{
    const std::vector<BYTE> bytes = ReadBytes(path);
    std::wstring text(bytes.size() / 2, L'\0');
    memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    return text;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// An open without sharing succeeds only when no other handle holds the file.
bool NobodyHolds(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

TEST(TransferLog, SkippedItemGivesTheExact36Bytes)
{
    testing_support::TempDir temp;
    const std::wstring path = temp.File(kTransferLogFileName);
    CLog log;
    ASSERT_TRUE(log.Open(path.c_str()));
    EXPECT_TRUE(log.Write(kLogIgnore, L"D:\\a.mp3"));
    log.Close();

    const std::vector<BYTE> expected = {
        'i', 0, 'g', 0, 'n', 0, 'o', 0, 'r', 0, 'e', 0, ':', 0, ' ', 0, 'D', 0, ':', 0,
        '\\', 0, 'a', 0, '.', 0, 'm', 0, 'p', 0, '3', 0, 0x0D, 0, 0x0A, 0};
    EXPECT_EQ(expected, ReadBytes(path));
}

TEST(TransferLog, EachRunStartsTheFileAnew)
{
    testing_support::TempDir temp;
    const std::wstring path = temp.File(kTransferLogFileName);
    CLog log;
    ASSERT_TRUE(log.Open(path.c_str()));
    log.Write(kLogCopying, L"D:\\first\\one.mp3");
    log.Write(kLogCopying, L"D:\\first\\two.mp3");
    log.Close();
    ASSERT_TRUE(log.Open(path.c_str()));
    log.Write(kLogIgnore, L"D:\\b.m4a");
    log.Close();
    EXPECT_EQ(L"ignore: D:\\b.m4a\r\n", ReadText(path));
}

TEST(TransferLog, OthersMayReadButNotWriteWhileOpen)
{
    testing_support::TempDir temp;
    const std::wstring path = temp.File(kTransferLogFileName);
    CLog log;
    ASSERT_TRUE(log.Open(path.c_str()));
    log.Write(kLogCopying, L"\u00e9\u65e5\U0001F3B5");   // non-Latin and a surrogate pair pass as they are

    HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, reader);
    if (reader != INVALID_HANDLE_VALUE)
        CloseHandle(reader);
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);

    log.Close();
    log.Close();   // a second close does nothing
    EXPECT_TRUE(NobodyHolds(path));
    EXPECT_EQ(L"copying: \u00e9\u65e5\U0001F3B5\r\n", ReadText(path));
}

TEST(TransferLog, BareNameIsCreatedInTheCurrentDirectory)
{
    testing_support::TempDir temp;
    wchar_t previous[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryW(MAX_PATH, previous));
    ASSERT_TRUE(SetCurrentDirectoryW(temp.Path().c_str()));
    {
        CLog log;
        const bool opened = log.Open(kTransferLogFileName);
        log.Write(kLogIgnore, L"x");
        SetCurrentDirectoryW(previous);
        ASSERT_TRUE(opened);
    }   // the destructor closes the file
    EXPECT_TRUE(NobodyHolds(temp.File(kTransferLogFileName)));
    EXPECT_EQ(L"ignore: x\r\n", ReadText(temp.File(kTransferLogFileName)));
}

// Wine does not honour a read-only directory, so the failures used here are
// ones it does: a folder that does not exist, and a file someone else holds
// without sharing.
TEST(TransferLog, LogThatCannotBeCreatedLosesItsLinesQuietly)
{
    testing_support::TempDir temp;
    CLog log;
    const std::wstring unreachable = temp.File(L"missing\\" + std::wstring(kTransferLogFileName));
    EXPECT_FALSE(log.Open(unreachable.c_str()));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_TRUE(log.Write(kLogCopying, L"D:\\a.mp3"));
    EXPECT_FALSE(Exists(temp.File(L"missing")));

    const std::wstring held = temp.File(kTransferLogFileName);
    HANDLE holder = CreateFileW(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    EXPECT_FALSE(log.Open(held.c_str()));
    EXPECT_TRUE(log.Write(kLogCopying, L"D:\\a.mp3"));
    CloseHandle(holder);
    EXPECT_TRUE(ReadBytes(held).empty());
}

TEST(TransferLog, FailedOpenStillReleasesTheEarlierFile)
{
    testing_support::TempDir temp;
    const std::wstring first = temp.File(L"first.txt");
    CLog log;
    ASSERT_TRUE(log.Open(first.c_str()));
    log.Close();   // the path outlives the close, so that the end of a run can name it
    EXPECT_EQ(first, log.WrittenPath());
    ASSERT_TRUE(log.Open(first.c_str()));
    EXPECT_FALSE(log.Open(temp.File(L"missing\\log.txt").c_str()));
    EXPECT_TRUE(NobodyHolds(first));
    EXPECT_EQ(L"", log.WrittenPath());
}

TEST(TransferLogPlace, CurrentDirectoryWhenItTakesTheLogElseLocalAppData)
{
    const std::wstring local = L"C:\\Users\\Ann\\AppData\\Local", there = local + L"\\Savanto\\transfer_log.txt";
    const std::wstring here = L"C:\\Program Files\\Savanto\\transfer_log.txt";
    struct Case { bool inCurrent, inLocal; std::wstring expected; };
    for (const Case& c : {Case{true, true, here}, Case{false, true, there}, Case{false, false, L""}}) {
        std::wstring made;
        const LogPlaceSystem system{L"C:\\Program Files\\Savanto\\", local,
                                    [&](const std::wstring& folder) { made = folder; return true; },
                                    [&](const std::wstring& file) { return file == here ? c.inCurrent : c.inLocal; }};
        EXPECT_EQ(c.expected, PlaceTransferLog(system));
        EXPECT_EQ(c.inCurrent ? L"" : local + L"\\Savanto", made);
    }
}

TEST(TransferLog, LongestDestinationFitsAndLongerTextIsCut)
{
    testing_support::TempDir temp;
    const std::wstring path = temp.File(kTransferLogFileName);
    const std::wstring destination(259, L'd');
    const std::wstring huge(2000, L'h');
    const std::wstring almost(kLogTextLimit - 1, L'a');   // its pair would straddle the cut
    CLog log;
    ASSERT_TRUE(log.Open(path.c_str()));
    log.Write(kLogCopying, destination.c_str());
    log.Write(L"%s", huge.c_str());
    log.Write(L"%s\U0001F3B5", almost.c_str());
    log.Close();

    const std::wstring expected = L"copying: " + destination + L"\r\n" +   // 9 + 259 + 2 units
                                  std::wstring(kLogTextLimit, L'h') + L"\r\n" + almost + L"\r\n";
    EXPECT_EQ(270u + 511u + 510u, expected.size());
    EXPECT_EQ(expected, ReadText(path));
}

TEST(TransferLog, LineFormattingNeverPassesItsBuffer)
{
    struct {
        wchar_t line[kLogLineCapacity];
        wchar_t guard = L'#';   // just past the buffer
    } buffer;
    wchar_t* const line = buffer.line;
    auto format = [&buffer](const wchar_t* text, ...) {
        va_list args;
        va_start(args, text);
        const size_t length = FormatLogLine(buffer.line, text, args);
        va_end(args);
        return length;
    };
    const std::wstring huge(5000, L'x');
    EXPECT_EQ(kLogLineCapacity - 1, format(L"%s", huge.c_str()));
    EXPECT_EQ(L'#', buffer.guard);
    EXPECT_EQ(L'\0', line[kLogLineCapacity - 1]);
    EXPECT_EQ(8u, format(L"%d of %d", 1, 3));
    EXPECT_STREQ(L"1 of 3\r\n", line);
}

}  // namespace
