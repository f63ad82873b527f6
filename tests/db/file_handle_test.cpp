#include "db/file_handle.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

HANDLE OpenNew(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// An exclusive open succeeds only when no handle to the file is left.
bool IsClosed(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

TEST(FileHandle, ClosesItsFileExactlyOnce)
{
    testing_support::TempDir dir;
    const std::wstring path = dir.File(L"f");
    FileHandle empty;
    EXPECT_FALSE(empty.IsOpen());
    EXPECT_EQ(INVALID_HANDLE_VALUE, empty.Get());
    empty.Close();   // holds none: nothing happens

    {
        FileHandle file(OpenNew(path));
        ASSERT_TRUE(file.IsOpen());
        EXPECT_FALSE(IsClosed(path));
        file.Close();
        EXPECT_FALSE(file.IsOpen());
        EXPECT_TRUE(IsClosed(path));
        file.Close();
    }
    {
        FileHandle file(OpenNew(path));
        FileHandle moved(std::move(file));
        EXPECT_FALSE(file.IsOpen());
        EXPECT_TRUE(moved.IsOpen());
        file = std::move(moved);
        EXPECT_TRUE(file.IsOpen());
        EXPECT_FALSE(IsClosed(path));
    }
    EXPECT_TRUE(IsClosed(path)) << "destruction closes";
    {
        FileHandle file(OpenNew(path));
        file.Reset(OpenNew(dir.File(L"g")));
        EXPECT_TRUE(IsClosed(path)) << "Reset closes the old file";
    }
    EXPECT_TRUE(IsClosed(dir.File(L"g")));
}

}  // namespace
