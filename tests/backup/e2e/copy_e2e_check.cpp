// copy_e2e_check TRACKS MEDIA_BYTES DEST_FOLDER LOG_FILE [RULE | --faults]
// After Savanto.exe copied every track of a sample iPod made with
// make_sample_ipod --tracks TRACKS --media-bytes MEDIA_BYTES: each copy must
// be byte-identical to its source under the name RULE gives it (by default
// the default renaming rule),
// nothing but them and the index may lie in the destination, and the transfer
// log must hold one line per track in library order, then the index's line. Prints what differs; exit code 0 when all matched.
// With --faults the destination disk filled up during the run: an item the log
// reports failed must have left neither its file nor its temporary ".part"
// file, every other one must be a whole copy, and both kinds must occur.
#include "backup/backup_index.h"
#include "backup/copy_job.h"
#include "e2e_lines.h"
#include "ipodgen/sample_ipod.h"
#include "support/picture_file.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

namespace {

// The log's failure line of that destination, which must name a full disk.
std::wstring FailedLineIn(const std::vector<std::wstring>& log, const wchar_t* destination)
{
    const std::wstring prefix = L"failed: " + std::wstring(destination) + L" (write error, error ";
    for (const std::wstring& line : log) {
        if (line == prefix + L"39)" || line == prefix + L"112)")
            return line;
    }
    return prefix + L"39 or 112)";
}

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

// Each folder of the copies has folder.jpg, close to the cover its album
// carries after JPEG, or none when the album has no cover; their log lines
// follow the items'. Returns how many there are.
int CheckCovers(const ipodgen::SampleIpodOptions& options, const std::vector<ipodgen::SampleTrack>& tracks,
                const std::vector<std::wstring>& paths, std::vector<std::wstring>& expectedLog, int& failures)
{
    std::set<std::wstring> seen;
    int covers = 0;
    for (size_t i = 0; i < tracks.size(); ++i) {
        const std::wstring picture = paths[i].substr(0, paths[i].rfind(L'\\')) + L"\\folder.jpg";
        if (!seen.insert(picture).second)
            continue;
        const std::optional<artwork::Picture> cover = ipodgen::SampleCoverOf(options, tracks[i]);
        artwork::Picture saved;
        if (!cover) {
            if (FileExists(picture.c_str()))
                fwprintf(stderr, L"a cover for an album without one: %ls\n", picture.c_str()), ++failures;
            continue;
        }
        ++covers;
        expectedLog.push_back(L"cover: " + picture);
        if (!ReadPictureFile(picture, saved)) {
            fwprintf(stderr, L"no cover that decodes: %ls\n", picture.c_str());
            ++failures;
        } else if (const double difference = MeanChannelDifference(saved, *cover); difference > 10.0) {
            fwprintf(stderr, L"%ls differs from the cover by %.1f per channel\n", picture.c_str(), difference);
            ++failures;
        }
    }
    return covers;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 5) {
        fwprintf(stderr, L"usage: copy_e2e_check TRACKS MEDIA_BYTES DEST_FOLDER LOG_FILE [RULE | --faults]\n"
                         L"                      [--covers video|classic]\n");
        return 2;
    }
    ipodgen::SampleIpodOptions options;
    options.trackCount = _wtoi(argv[1]);
    options.mediaBytes = static_cast<uint32_t>(_wtoi(argv[2]));
    const std::wstring folder = argv[3];
    const std::vector<std::wstring> log = ReadUtf16Lines(argv[4]);
    bool faults = false;
    const wchar_t* rule = L"<artist> - <album>\\<track> - <title>";
    for (int i = 5; i < argc; ++i) {
        if (wcscmp(argv[i], L"--faults") == 0)
            faults = true;
        else if (wcscmp(argv[i], L"--covers") == 0 && i + 1 < argc)
            options.covers = wcscmp(argv[++i], L"video") == 0 ? ipodgen::SampleCovers::kPerTrack
                                                              : ipodgen::SampleCovers::kShared;
        else
            rule = argv[i];
    }
    const auto tracks = ipodgen::SampleTracksOf(options);
    std::set<std::wstring> failed;
    for (const std::wstring& line : log) {
        const size_t reason = line.rfind(L" (");
        if (faults && line.compare(0, 8, L"failed: ") == 0 && reason != std::wstring::npos)
            failed.insert(line.substr(8, reason - 8));
    }

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
        if (failed.count(destination)) {
            expectedLog.push_back(FailedLineIn(log, destination));
            if (FileExists(destination) || FileExists((std::wstring(destination) + L".part").c_str())) {
                fwprintf(stderr, L"a failed item left a file: %ls\n", destination);
                ++failures;
            }
            continue;
        }
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
    const int covers = CheckCovers(options, tracks, paths, expectedLog, failures);
    // The index ends the log: written, or on a full disk perhaps not.
    const std::wstring index = IndexPathIn(folder), indexFailed = L"failed: " + index + L" (";
    const bool indexFailedInLog = faults && !log.empty() && log.back().compare(0, indexFailed.size(), indexFailed) == 0;
    const bool indexThere = FileExists(index.c_str());
    expectedLog.push_back(indexFailedInLog ? log.back() : L"index: " + index);
    if (indexThere == indexFailedInLog) {
        fwprintf(stderr, L"the index is%ls there, as its log line says otherwise\n", indexThere ? L"" : L" not");
        ++failures;
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
    if (files != copies + covers + (indexThere ? 1 : 0)) {
        fwprintf(stderr, L"%d files in the destination, %d copies, %d covers and %d index\n", files, copies, covers,
                 indexThere ? 1 : 0);
        ++failures;
    }
    if (faults && (failed.empty() || copies == 0)) {
        fwprintf(stderr, L"%zu items failed and %d were copied: the disk was not filled during the run\n",
                 failed.size(), copies);
        ++failures;
    }
    wprintf(L"%d tracks, %d copies checked, %zu failed items, %zu log lines, %d failures\n",
            static_cast<int>(tracks.size()), copies, failed.size(), log.size(), failures);
    return failures == 0 ? 0 : 1;
}
