#include "support/test_support.h"

#include <atomic>

namespace testing_support {

TempDir::TempDir()
{
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    for (;;) {
        m_path = std::wstring(temp) + L"savanto-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(counter++);
        if (CreateDirectoryW(m_path.c_str(), nullptr))
            return;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            m_path.clear();
            return;
        }
    }
}

TempDir::~TempDir()
{
    if (!m_path.empty())
        RemoveTree(m_path);
}

bool RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = path + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return RemoveDirectoryW(path.c_str()) != 0;
}

bool SamplesAvailable() { return SAVANTO_SAMPLES_DIR[0] != L'\0'; }

std::string SamplesMissingMessage()
{
    return "The real sample iPod databases were not found when the build was configured, so this test "
           "was skipped. To run it, configure with -DSAVANTO_SAMPLES_DIR=<folder holding "
           "itunes-v4f-2tracks.iTunesDB and thirdparty-v0c-5375tracks.iTunesDB> (by default "
           "../shared/samples beside the repository, when it exists).";
}

std::wstring SamplePath(const wchar_t* fileName)
{
    if (!SamplesAvailable())
        return std::wstring();
    return std::wstring(SAVANTO_SAMPLES_DIR) + L"\\" + fileName;
}

}  // namespace testing_support
