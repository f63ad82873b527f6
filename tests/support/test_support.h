#pragma once
#include "db/platform.h"

#include <string>

namespace testing_support {

// A fresh folder under %TEMP%, removed with everything in it when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& Path() const { return m_path; }
    std::wstring File(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

bool RemoveTree(const std::wstring& path);

// The real sample databases are found at configure time (SAVANTO_SAMPLES_DIR);
// a build without them skips the tests that read them.
bool SamplesAvailable();
std::string SamplesMissingMessage();
// The path of a sample database; empty when the build has none.
std::wstring SamplePath(const wchar_t* fileName);

}  // namespace testing_support

// Ends the calling test as skipped, saying why, when the build has no sample
// databases.
#define SKIP_WITHOUT_SAMPLE_DATABASES()                                        \
    do {                                                                       \
        if (!testing_support::SamplesAvailable())                              \
            GTEST_SKIP() << testing_support::SamplesMissingMessage();          \
    } while (0)
