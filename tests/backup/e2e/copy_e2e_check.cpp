// copy_e2e_check TRACKS MEDIA_BYTES DEST_FOLDER LOG_FILE [RULE]
// After Savanto.exe copied every track of a sample iPod made with
// make_sample_ipod --tracks TRACKS --media-bytes MEDIA_BYTES: each copy must
// be byte-identical to its source under the name RULE gives it (by default
// the default renaming rule),
// nothing else may lie in the destination, and the transfer log must hold one
// line per track in library order. Prints what differs; exit code 0 when all matched.
#include "e2e_lines.h"
#include "ipodgen/sample_ipod.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void CountFiles(const std::wstring& folder, int& count)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CountFiles(folder + L"\\" + name, count);
        else
            ++count;
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 5 && argc != 6) {
        fwprintf(stderr, L"usage: copy_e2e_check TRACKS MEDIA_BYTES DEST_FOLDER LOG_FILE [RULE]\n");
        return 2;
    }
    const auto tracks = ipodgen::SampleTracks(_wtoi(argv[1]), static_cast<uint32_t>(_wtoi(argv[2])));
    const std::wstring folder = argv[3];
    const std::vector<std::wstring> log = ReadUtf16Lines(argv[4]);
    const wchar_t* rule = argc == 6 ? argv[5] : L"<artist> - <album>\\<track> - <title>";

    int failures = 0, copies = 0;
    std::vector<std::wstring> expectedLog;
    const std::vector<std::wstring> paths = SampleCopyPaths(tracks, folder, rule);
    for (size_t i = 0; i < tracks.size(); ++i) {
        const auto& sample = tracks[i];
        const wchar_t* destination = paths[i].c_str();
        if (!*destination) {
            fwprintf(stderr, L"no destination for track %u\n", sample.trackId);
            ++failures;
            continue;
        }
        // Two tracks with one name are both copied, the second numbered.
        expectedLog.push_back(std::wstring(L"copying: ") + destination);
        ++copies;
        std::vector<BYTE> copied;
        if (!ipodgen::ReadBytes(destination, &copied)) {
            fwprintf(stderr, L"missing: %ls\n", destination);
            ++failures;
        } else if (copied != ipodgen::SampleMediaContent(sample)) {
            fwprintf(stderr, L"differs (%zu bytes): %ls\n", copied.size(), destination);
            ++failures;
        }
    }
    if (log != expectedLog) {
        fwprintf(stderr, L"transfer_log.txt has %zu lines, %zu expected\n", log.size(), expectedLog.size());
        for (size_t i = 0; i < log.size() || i < expectedLog.size(); ++i) {
            const std::wstring got = i < log.size() ? log[i] : L"<none>";
            const std::wstring want = i < expectedLog.size() ? expectedLog[i] : L"<none>";
            if (got != want)
                fwprintf(stderr, L"  line %zu: got '%ls', expected '%ls'\n", i + 1, got.c_str(), want.c_str());
        }
        ++failures;
    }
    int files = 0;
    CountFiles(folder, files);
    if (files != copies) {
        fwprintf(stderr, L"%d files in the destination, %d expected\n", files, copies);
        ++failures;
    }
    wprintf(L"%d tracks, %d copies checked, %zu log lines, %d failures\n", static_cast<int>(tracks.size()), copies,
            log.size(), failures);
    return failures == 0 ? 0 : 1;
}
