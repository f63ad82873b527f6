#pragma once
// Helpers of the copy job's tests: tracks, files, and a host that records
// every report of a run and lets a test act between its steps.
#include "backup/copy_job.h"
#include "db/records.h"
#include "ipodgen/db_builder.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace copy_test {

inline OwnedText Text(const wchar_t* value)
{
    if (!value)
        return nullptr;
    const size_t length = wcslen(value);
    OwnedText text(new wchar_t[length + 1]);
    wmemcpy(text.get(), value, length + 1);
    return text;
}

inline std::unique_ptr<TrackEntry> MakeTrack(const wchar_t* artist, const wchar_t* album, int number,
                                             const wchar_t* title, const wchar_t* location)
{
    auto track = std::make_unique<TrackEntry>();
    track->artist = Text(artist);
    track->album = Text(album);
    track->trackNumber = number;
    track->title = Text(title);
    track->location = Text(location);
    track->isChecked = 1;
    return track;
}

// Deterministic content that differs from position to position and file to file.
inline std::vector<BYTE> Pattern(size_t size, BYTE seed)
{
    std::vector<BYTE> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<BYTE>((i * 7 + seed + (i >> 9)) & 0xFF);
    return bytes;
}

inline bool WriteBytes(const std::wstring& path, const std::vector<BYTE>& bytes)
{
    return ipodgen::WriteBytes(path, bytes);
}

inline bool ReadBytes(const std::wstring& path, std::vector<BYTE>& bytes) { return ipodgen::ReadBytes(path, &bytes); }

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The tests' files are sized in chunks of 128 KiB: small files, many steps.
constexpr DWORD kTestChunkBytes = 131072;

class RecordingHost : public CopyJobHost {
public:
    std::wstring root;   // with its trailing backslash
    std::wstring rule = L"<artist> - <album>\\<track> - <title>";
    DWORD overwrite = 1;
    DWORD clock = 0;
    DWORD clockPerStep = kProgressRefreshMs;   // every chunk's progress is shown

    std::vector<std::wstring> log, counters, names, elapsed;
    std::vector<int> overall, file;
    int steps = 0, pausedWaits = 0, rowClears = 0, dialogCloses = 0;
    size_t reports = 0;   // every call that reaches the dialog or the log

    std::function<void(int stepNumber)> onStep;    // after the step, before the next
    std::function<void(const wchar_t* line)> onLog;
    std::function<void()> onPlan;                    // while an item is being prepared

    bool SourceRoot(wchar_t (&out)[kPathCapacity]) override
    {
        if (root.empty() || root.size() >= kPathCapacity)
            return false;
        wcscpy(out, root.c_str());
        return true;
    }
    std::wstring RenamingRule() override
    {
        if (onPlan)
            onPlan();
        return rule;
    }
    DWORD TransferOverwrite() override { return overwrite; }
    DWORD TickCount() override { return clock; }
    void AfterStep() override
    {
        clock += clockPerStep;
        ++steps;
        if (onStep)
            onStep(steps);
    }
    void WaitWhilePaused(HANDLE wake, DWORD timeoutMs) override
    {
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(wake, 0)) << "woken without a pause, resume or cancel";
        EXPECT_EQ(kPausedWaitMs, timeoutMs);
        ++pausedWaits;
    }

    void Log(const wchar_t* line) override
    {
        ++reports;
        log.push_back(line);
        if (onLog)
            onLog(line);
    }
    void SetOverallProgress(int position) override { ++reports, overall.push_back(position); }
    void SetFileProgress(int value) override { ++reports, file.push_back(value); }
    void SetCounterText(const wchar_t* text) override { ++reports, counters.push_back(text); }
    void SetNameText(const wchar_t* text) override { ++reports, names.push_back(text); }
    void SetElapsedText(const wchar_t* text) override { ++reports, elapsed.push_back(text); }
    void ShowRowChecks() override { ++rowClears; }
    void CloseDialog() override { ++reports, ++dialogCloses; }
};

// Runs on real files: an iPod folder with a "Music" folder, a destination
// folder, the tracks and their sources, and a recording host.
class CopyRunFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CreateDirectoryW((ipod.Path() + L"\\Music").c_str(), nullptr));
        ownedHost = std::make_unique<RecordingHost>();
        host = ownedHost.get();
        host->root = ipod.Path() + L"\\";
        wcscpy(job.destinationFolder, (backup.Path() + L"\\").c_str());
        job.chunkBytes = kTestChunkBytes;
    }

    // A track of "Artist - Album" whose source holds `size` bytes.
    TrackEntry* AddTrack(int number, const wchar_t* title, size_t size, BYTE seed = 0)
    {
        return AddTaggedTrack(L"Artist", L"Album", number, title, size, seed);
    }

    TrackEntry* AddTaggedTrack(const wchar_t* artist, const wchar_t* album, int number, const wchar_t* title,
                               size_t size, BYTE seed = 0)
    {
        const std::wstring file = std::wstring(L"T") + std::to_wstring(tracks.size()) + L".mp3";
        sources.push_back(Pattern(size, seed ? seed : static_cast<BYTE>(tracks.size() + 1)));
        EXPECT_TRUE(WriteBytes(ipod.Path() + L"\\Music\\" + file, sources.back()));
        tracks.push_back(MakeTrack(artist, album, number, title, (L":Music:" + file).c_str()));
        return tracks.back().get();
    }

    std::wstring Destination(int number, const wchar_t* title) const
    {
        return backup.Path() + L"\\Artist - Album\\" + std::to_wstring(number) + L" - " + title + L".mp3";
    }

    void Run()
    {
        std::vector<TrackEntry*> list;
        for (auto& track : tracks)
            list.push_back(track.get());
        PrepareCopyRun(job, list, std::move(ownedHost));
        RunCopyJob(job, *host);
    }

    bool AllUnticked() const
    {
        for (auto& track : tracks)
            if (track->isChecked)
                return false;
        return true;
    }

    testing_support::TempDir ipod, backup;
    std::vector<std::unique_ptr<TrackEntry>> tracks;
    std::vector<std::vector<BYTE>> sources;
    CopyJob job;
    std::unique_ptr<RecordingHost> ownedHost;
    RecordingHost* host = nullptr;
};

}  // namespace copy_test
