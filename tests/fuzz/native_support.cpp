// The test helpers of the native build: the temporary folder of
// test_support.h over POSIX, no real sample databases, and the seed
// databases read from the fuzz corpus, where the builder wrote them.
#include "ipodgen/seed_databases.h"
#include "support/test_support.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace testing_support {

TempDir::TempDir()
{
    const char* base = getenv("TMPDIR");
    std::string folder = std::string(base && *base ? base : "/tmp") + "/savanto-test-XXXXXX";
    if (mkdtemp(folder.data()))
        m_path.assign(folder.begin(), folder.end());
}

TempDir::~TempDir()
{
    if (!m_path.empty())
        RemoveTree(m_path);
}

bool RemoveTree(const std::wstring& path)
{
    std::error_code error;
    std::filesystem::remove_all(std::filesystem::path(path), error);
    return !error;
}

bool SamplesAvailable() { return false; }
std::string SamplesMissingMessage() { return "The native build does not read the real sample databases."; }
std::wstring SamplePath(const wchar_t*) { return std::wstring(); }

}  // namespace testing_support

namespace ipodgen {

namespace {

Bytes CorpusFile(const wchar_t* name)
{
    const std::string corpus = SAVANTO_CORPUS "/fuzz_itunesdb/";
    Bytes bytes;
    if (!ReadBytes(std::wstring(corpus.begin(), corpus.end()) + name, &bytes))
        bytes.clear();   // the tests then fail on a seed without objects
    return bytes;
}

}  // namespace

Bytes SmallSampleDb() { return CorpusFile(L"small-sample.itunesdb"); }
Bytes OddLayoutDb() { return CorpusFile(L"odd-layout.itunesdb"); }
Bytes EveryObjectTypeDb() { return CorpusFile(L"every-object-type.itunesdb"); }

}  // namespace ipodgen
