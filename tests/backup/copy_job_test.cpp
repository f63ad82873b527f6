// The copy job on real files: the worker's loop runs on the test thread with
// a recording host, so every progress value and log line can be checked.
#include "backup/copy_job.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "copy_test_util.h"
#include "support/test_support.h"

using namespace copy_test;
using testing_support::TempDir;

namespace {

// --- Pure logic -------------------------------------------------------------

TEST(CopyProgressTest, ValuesToTheUnit)
{
    EXPECT_EQ(FileProgressValue(300000, 131072), 436);
    EXPECT_EQ(FileProgressValue(300000, 262144), 873);
    EXPECT_EQ(FileProgressValue(300000, 300000), 1000);
    EXPECT_EQ(FileProgressValue(262144, 131072), 500);
    EXPECT_EQ(FileProgressValue(262144, 262144), 1000);
    EXPECT_EQ(FileProgressValue(19, 19), 999);   // 1000.0 / 19 * 19 falls just short
    EXPECT_EQ(FileProgressValue(0, 0), 0);
    EXPECT_EQ(FileProgressValue(0, 4096), 0);
    EXPECT_EQ(FileProgressValue(4000000000u, 4000000000u), 1000);   // unsigned, no overflow
    EXPECT_EQ(FileProgressValue(100, 250), 1000);                    // a source that grew
    // Ratios whose value passes INT_MAX before the cap: clamped, not wrapped to INT_MIN.
    EXPECT_EQ(FileProgressValue(1, 3000000), 1000);
    EXPECT_EQ(FileProgressValue(2, 4294967295u), 1000);
}

TEST(CopyProgressTest, ElapsedTimeText)
{
    EXPECT_EQ(FormatElapsedTime(0), L"Elapsed time: 00:00:00");
    EXPECT_EQ(FormatElapsedTime(((2 * 60 + 3) * 60 + 4) * 1000 + 999), L"Elapsed time: 02:03:04");
    EXPECT_EQ(FormatElapsedTime(25u * 3600000u), L"Elapsed time: 25:00:00");
    EXPECT_EQ(FormatElapsedTime(0xFFFFFFFFu), L"Elapsed time: 1193:02:47");
}

TEST(CopyProgressTest, ElapsedShownAtMostOnceASecondAcrossATickWrap)
{
    EXPECT_FALSE(ElapsedDisplayDue(999, 0));
    EXPECT_TRUE(ElapsedDisplayDue(1000, 0));
    EXPECT_FALSE(ElapsedDisplayDue(2500, 1600));
    EXPECT_TRUE(ElapsedDisplayDue(500, 0xFFFFFE00u));   // 1012 ms after, across the wrap
    EXPECT_FALSE(ElapsedDisplayDue(100, 0xFFFFFF00u));
}

TEST(CopyProgressTest, CounterAndNameTexts)
{
    EXPECT_EQ(FormatItemCounter(1, 3), L"1 of 3");
    EXPECT_EQ(FormatItemCounter(70000, 70000), L"70000 of 70000");
    EXPECT_EQ(FormatCurrentName(L"3 - What_"), L"Copying: 3 - What_");

    const std::wstring longName(300, L'x');
    const std::wstring shown = FormatCurrentName(longName);
    EXPECT_EQ(shown.size(), kStatusTextCapacity - 1);
    EXPECT_EQ(shown.substr(0, 10), L"Copying: x");

    // A cut that would fall inside a surrogate pair drops the whole character.
    std::wstring pairs = std::wstring(117, L'a') + L"\xD83C\xDFB5";
    EXPECT_EQ(FormatCurrentName(pairs).size(), kStatusTextCapacity - 2);
}

TEST(CopyPathsTest, SourcePathFromLocation)
{
    wchar_t path[kPathCapacity];
    ASSERT_TRUE(BuildSourcePath(L"E:\\", L":A:B.mp3", path));
    EXPECT_STREQ(path, L"E:\\\\A\\B.mp3");
    ASSERT_TRUE(BuildSourcePath(L"E:\\", L"iPod_Control:Music:F00:X.m4a", path));
    EXPECT_STREQ(path, L"E:\\iPod_Control\\Music\\F00\\X.m4a");
    ASSERT_TRUE(BuildSourcePath(L"E:\\", nullptr, path));
    EXPECT_STREQ(path, L"E:\\");

    std::wstring location = L":" + std::wstring(255, L'a');   // 3 + 256 = 259 units: fits
    EXPECT_TRUE(BuildSourcePath(L"E:\\", location.c_str(), path));
    location += L"b";
    EXPECT_FALSE(BuildSourcePath(L"E:\\", location.c_str(), path));
    EXPECT_STREQ(path, L"");
    EXPECT_FALSE(BuildSourcePath(nullptr, L":a", path));
}

TEST(CopyPathsTest, TemporaryNameNextToTheDestination)
{
    wchar_t path[kPathCapacity];
    ASSERT_TRUE(TemporaryPathFor(L"D:\\Backup\\A - B\\3 - C.mp3", path));
    EXPECT_STREQ(path, L"D:\\Backup\\A - B\\3 - C.mp3.part");
    const std::wstring fits(254, L'a'), tooLong(255, L'a');
    EXPECT_TRUE(TemporaryPathFor(fits.c_str(), path));
    EXPECT_FALSE(TemporaryPathFor(tooLong.c_str(), path));
}

TEST(CopyPathsTest, FileExistsTakesNamesLiterally)
{
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir.File(L"a.mp3"), Pattern(10, 1)));
    EXPECT_TRUE(FileExists(dir.File(L"a.mp3").c_str()));
    EXPECT_TRUE(FileExists(dir.Path().c_str()));
    EXPECT_TRUE(FileExists((dir.Path() + L"\\").c_str()));   // a folder with its backslash
    EXPECT_FALSE(FileExists(dir.File(L"b.mp3").c_str()));
    EXPECT_FALSE(FileExists(dir.File(L"*.mp3").c_str()));   // no wildcard match
    EXPECT_FALSE(FileExists(dir.File(L"?.mp3").c_str()));
}

TEST(CopyPathsTest, CreateDirectoryPathMakesEveryMissingFolder)
{
    TempDir dir;
    const std::wstring deep = dir.Path() + L"\\one\\two\\\\three\\";
    CreateDirectoryPath(deep.c_str());
    EXPECT_TRUE(FileExists((dir.Path() + L"\\one\\two\\three").c_str()));
    CreateDirectoryPath(deep.c_str());   // all there: nothing to do, nothing breaks
    EXPECT_TRUE(FileExists((dir.Path() + L"\\one\\two\\three").c_str()));
}

// --- Runs on real files -----------------------------------------------------

class CopyJobTest : public CopyRunFixture {};

TEST_F(CopyJobTest, ThreeChunkFileShowsEveryProgressValue)
{
    AddTrack(3, L"Song", 300000);
    Run();
    std::vector<BYTE> copied;
    ASSERT_TRUE(ReadBytes(Destination(3, L"Song"), copied));
    EXPECT_EQ(copied, sources[0]);
    EXPECT_EQ(host->file, (std::vector<int>{0, 436, 873, 1000}));
    EXPECT_EQ(host->overall, (std::vector<int>{0, 1}));   // at the start and at the run's end
    EXPECT_EQ(host->log, std::vector<std::wstring>{L"copying: " + Destination(3, L"Song")});
    EXPECT_EQ(host->counters, std::vector<std::wstring>{L"1 of 1"});
    EXPECT_EQ(host->names, std::vector<std::wstring>{L"Copying: Artist - Album\\3 - Song"});
    EXPECT_EQ(host->steps, 4);   // preparation, then three chunks
    EXPECT_EQ(host->pausedWaits, 0);
    EXPECT_EQ(host->dialogCloses, 1);
    EXPECT_EQ(host->rowClears, 1);
    EXPECT_TRUE(AllUnticked());
    EXPECT_TRUE(job.copyList.empty());
    EXPECT_FALSE(Exists(Destination(3, L"Song") + L".part"));
}

TEST_F(CopyJobTest, ExactMultipleOfTheChunkEndsOnTheThirdRead)
{
    AddTrack(1, L"Even", 262144);
    const std::wstring destination = Destination(1, L"Even");
    std::vector<bool> finalFileAfterStep;
    host->onStep = [&](int) { finalFileAfterStep.push_back(Exists(destination)); };
    Run();
    EXPECT_EQ(host->file, (std::vector<int>{0, 500, 1000}));
    // Two full chunks reach 1000; only the third read, which returns nothing,
    // completes the item and puts the file under its name.
    EXPECT_EQ(finalFileAfterStep, (std::vector<bool>{false, false, false, true}));
    std::vector<BYTE> copied;
    ASSERT_TRUE(ReadBytes(destination, copied));
    EXPECT_EQ(copied, sources[0]);
}

TEST_F(CopyJobTest, EmptySourceGivesEmptyFileAndTheBarStaysAtZero)
{
    AddTrack(2, L"Silence", 0);
    Run();
    std::vector<BYTE> copied{1};
    ASSERT_TRUE(ReadBytes(Destination(2, L"Silence"), copied));
    EXPECT_TRUE(copied.empty());
    EXPECT_EQ(host->file, std::vector<int>{0});
}

TEST_F(CopyJobTest, ExistingFileIsSkippedOrOverwrittenAsTheSettingSays)
{
    AddTrack(1, L"Old", 5000);
    const std::wstring destination = Destination(1, L"Old");
    CreateDirectoryPath((backup.Path() + L"\\Artist - Album\\").c_str());
    const std::vector<BYTE> previous = Pattern(100, 99);
    ASSERT_TRUE(WriteBytes(destination, previous));

    host->overwrite = 1;
    Run();
    std::vector<BYTE> content;
    ASSERT_TRUE(ReadBytes(destination, content));
    EXPECT_EQ(content, previous);
    EXPECT_EQ(host->log, std::vector<std::wstring>{L"ignore: " + destination});
    EXPECT_EQ(host->overall, (std::vector<int>{1, 1}));   // the skipped item counts as done
    EXPECT_EQ(host->names, std::vector<std::wstring>{L"Copying: Artist - Album\\1 - Old"});

    tracks[0]->isChecked = 1;
    ownedHost = std::make_unique<RecordingHost>(*host);
    host = ownedHost.get();
    host->log.clear();
    host->overwrite = 0;
    Run();
    ASSERT_TRUE(ReadBytes(destination, content));
    EXPECT_EQ(content, sources[0]);
    EXPECT_EQ(host->log, std::vector<std::wstring>{L"copying: " + destination});
}

TEST_F(CopyJobTest, TwoTracksWithOneDestinationBothLandAndKeepTheirNames)
{
    AddTrack(4, L"Twin", 1000, 10);
    AddTrack(4, L"Twin", 2000, 20);
    const std::wstring first = Destination(4, L"Twin"), second = Destination(4, L"Twin (2)");
    Run();
    std::vector<BYTE> content;
    ASSERT_TRUE(ReadBytes(first, content));
    EXPECT_EQ(content, sources[0]);
    ASSERT_TRUE(ReadBytes(second, content));
    EXPECT_EQ(content, sources[1]);
    EXPECT_EQ(host->log, (std::vector<std::wstring>{L"copying: " + first, L"copying: " + second}));

    // Named over the whole library, not the ticked tracks: the second alone
    // is found where the first run put it.
    ownedHost = std::make_unique<RecordingHost>(*host);
    host = ownedHost.get();
    host->log.clear();
    PrepareCopyRun(job, {tracks[1].get()}, std::move(ownedHost));
    job.library.tracks = {tracks[0].get(), tracks[1].get()};
    RunCopyJob(job, *host);
    EXPECT_EQ(host->log, std::vector<std::wstring>{L"ignore: " + second});
}

TEST_F(CopyJobTest, MissingSourceIsLoggedAsFailedAndTheRunGoesOn)
{
    AddTrack(1, L"Gone", 1000);
    AddTrack(2, L"Here", 1000);
    ASSERT_TRUE(DeleteFileW((ipod.Path() + L"\\Music\\T0.mp3").c_str()));
    Run();
    EXPECT_EQ(host->log, (std::vector<std::wstring>{
                             L"copying: " + Destination(1, L"Gone"),
                             L"failed: " + Destination(1, L"Gone") + L" (cannot open source, error 2)",
                             L"copying: " + Destination(2, L"Here"),
                         }));
    EXPECT_FALSE(Exists(Destination(1, L"Gone")));
    EXPECT_FALSE(Exists(Destination(1, L"Gone") + L".part"));
    EXPECT_TRUE(Exists(Destination(2, L"Here")));
    EXPECT_EQ(host->overall, (std::vector<int>{1, 1, 2}));
    EXPECT_EQ(1u, tracks[0]->isChecked);   // failed: still ticked for the next run
    EXPECT_EQ(0u, tracks[1]->isChecked);
}

TEST_F(CopyJobTest, DestinationThatCannotBeCreatedIsLoggedAsFailed)
{
    AddTrack(1, L"Blocked", 300000);
    AddTrack(2, L"Blocked too", 10);
    // A file where the album folder should be: nothing can be created in it.
    ASSERT_TRUE(WriteBytes(backup.Path() + L"\\Artist - Album", Pattern(1, 1)));
    Run();
    ASSERT_EQ(host->log.size(), 4u);
    EXPECT_EQ(host->log[0], L"copying: " + Destination(1, L"Blocked"));
    EXPECT_EQ(host->log[1].rfind(L"failed: " + Destination(1, L"Blocked") + L" (cannot create destination, error ", 0),
              0u);
    EXPECT_EQ(host->log[3].rfind(L"failed: " + Destination(2, L"Blocked too"), 0), 0u);
    EXPECT_EQ(host->file, (std::vector<int>{0, 0}));   // no chunk was read
    EXPECT_EQ(host->dialogCloses, 1);
}

TEST_F(CopyJobTest, CountersWhileTheMiddleItemIsSkipped)
{
    AddTrack(1, L"A", 10);
    AddTrack(2, L"B", 10);
    AddTrack(3, L"C", 10);
    CreateDirectoryPath((backup.Path() + L"\\Artist - Album\\").c_str());
    ASSERT_TRUE(WriteBytes(Destination(2, L"B"), Pattern(3, 3)));
    Run();
    EXPECT_EQ(host->counters, (std::vector<std::wstring>{L"1 of 3", L"2 of 3", L"3 of 3"}));
    EXPECT_EQ(host->overall, (std::vector<int>{0, 2, 2, 3}));
    EXPECT_EQ(host->log[1], L"ignore: " + Destination(2, L"B"));
}

TEST_F(CopyJobTest, EmptyListClosesTheDialogAtOnce)
{
    Run();
    EXPECT_EQ(host->steps, 0);
    EXPECT_EQ(host->dialogCloses, 1);
    EXPECT_EQ(host->rowClears, 1);
    EXPECT_TRUE(host->log.empty());
}

TEST_F(CopyJobTest, CancelMidFileLeavesNoPartialFileAndUnticksEverything)
{
    AddTrack(1, L"Long", 1000000);
    AddTrack(2, L"Never", 100);
    AddTrack(3, L"Neither", 100);
    size_t reportsAtCancel = 0;
    bool partialWhileCopying = false;
    host->onStep = [&](int step) {
        if (step == 3) {   // two chunks written
            partialWhileCopying = Exists(Destination(1, L"Long") + L".part");
            CancelCopyRun(job);
            reportsAtCancel = host->reports;
        }
    };
    Run();
    EXPECT_TRUE(partialWhileCopying);
    EXPECT_FALSE(Exists(Destination(1, L"Long")));
    EXPECT_FALSE(Exists(Destination(1, L"Long") + L".part"));
    EXPECT_TRUE(AllUnticked());
    EXPECT_EQ(host->rowClears, 1);            // by the cancel, not again by the worker
    EXPECT_EQ(host->reports, reportsAtCancel);   // nothing reached the dialog or log after
    EXPECT_EQ(host->dialogCloses, 0);         // the dialog closed itself
    EXPECT_EQ(host->log, std::vector<std::wstring>{L"copying: " + Destination(1, L"Long")});
    EXPECT_EQ(host->steps, 3);
}

TEST_F(CopyJobTest, CancelWhileAnItemIsPreparedWritesNothingMore)
{
    AddTrack(1, L"First", 10);
    AddTrack(2, L"Second", 10);
    host->onPlan = [&] {
        if (host->log.size() == 1)   // the second item is being prepared
            CancelCopyRun(job);
    };
    Run();
    EXPECT_EQ(host->log, std::vector<std::wstring>{L"copying: " + Destination(1, L"First")});
    EXPECT_EQ(host->counters, std::vector<std::wstring>{L"1 of 2"});
    EXPECT_TRUE(Exists(Destination(1, L"First")));
    EXPECT_FALSE(Exists(Destination(2, L"Second")));
    EXPECT_FALSE(Exists(Destination(2, L"Second") + L".part"));
    EXPECT_TRUE(AllUnticked());
}

TEST_F(CopyJobTest, PauseDuringPreparationHoldsTheFirstChunk)
{
    AddTrack(1, L"Held", 200000);
    host->clockPerStep = 400;
    int stepOfPause = 0;
    size_t fileReportsWhilePaused = 0;
    bool partOpenWhilePaused = false;
    host->onLog = [&](const wchar_t*) { job.paused = 1; };
    host->onStep = [&](int step) {
        if (job.paused && !stepOfPause)
            stepOfPause = step;
        if (step == 6) {
            fileReportsWhilePaused = host->file.size();
            partOpenWhilePaused = Exists(Destination(1, L"Held") + L".part");
            job.paused = 0;
        }
    };
    Run();
    EXPECT_EQ(stepOfPause, 1);
    EXPECT_EQ(host->pausedWaits, 5);         // steps 2 to 6 wait instead of spinning
    EXPECT_EQ(fileReportsWhilePaused, 1u);   // only the 0 of the preparation
    EXPECT_TRUE(partOpenWhilePaused);        // files open, log line written
    EXPECT_EQ(host->file, (std::vector<int>{0, 655, 1000}));
    // 400 ms per step: the elapsed time counts on while paused.
    EXPECT_EQ(host->elapsed, (std::vector<std::wstring>{L"Elapsed time: 00:00:01", L"Elapsed time: 00:00:02"}));
    std::vector<BYTE> copied;
    ASSERT_TRUE(ReadBytes(Destination(1, L"Held"), copied));
    EXPECT_EQ(copied, sources[0]);
}

// Within an item the bar moves at most every 50 ms of the run's clock, and
// always to the item's last value; a run of the program's own chunk size
// ends its items on the same values.
TEST_F(CopyJobTest, FileBarMovesAtMostEveryFiftyMillisecondsAndAlwaysAtTheItemsEnd)
{
    struct Case {
        const char* name;
        DWORD chunkBytes, clockPerStep;
        size_t size;
        std::vector<int> file;
    };
    const DWORD chunk = kTestChunkBytes;
    const Case cases[] = {
        {"every step due", chunk, 50, 4 * chunk + 1, {0, 249, 499, 749, 999, 1000}},
        {"every second step due, ending at 999", chunk, 25, 6 * chunk + 1, {0, 333, 666, 999}},
        {"none due before the end", chunk, 10, 3 * chunk, {0, 1000}},
        {"the program's chunk", kCopyChunkBytes, 50, 2 * kCopyChunkBytes + 7, {0, 499, 999, 1000}},
        {"the program's chunk, fast", kCopyChunkBytes, 1, 2 * kCopyChunkBytes + 7, {0, 1000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tracks.clear();
        sources.clear();
        AddTrack(1, L"Bar", c.size);
        host->overwrite = 0;
        host->clockPerStep = c.clockPerStep;
        host->file.clear();
        job.chunkBytes = c.chunkBytes;
        ownedHost = std::make_unique<RecordingHost>(*host);
        host = ownedHost.get();
        Run();
        EXPECT_EQ(c.file, host->file);
        std::vector<BYTE> copied;
        ASSERT_TRUE(ReadBytes(Destination(1, L"Bar"), copied));
        EXPECT_EQ(sources[0], copied);
    }
}

// A path that would pass 254 units (so that its ".part" name still fits) is shortened.
TEST_F(CopyJobTest, LongPathsAreShortened)
{
    AddTrack(1, std::wstring(300, L't').c_str(), 140000);
    const size_t used = backup.Path().size() + 1 + wcslen(L"Artist - Album\\1 - .mp3");
    const std::wstring destination = Destination(1, std::wstring(kMaxDestinationUnits - used, L't').c_str());
    ASSERT_EQ(destination.size(), kMaxDestinationUnits);
    Run();
    std::vector<BYTE> copied;
    ASSERT_TRUE(ReadBytes(destination, copied));
    EXPECT_EQ(copied, sources[0]);
    EXPECT_EQ(host->log, std::vector<std::wstring>{L"copying: " + destination});
}

TEST_F(CopyJobTest, NoSelectedIpodFailsEachItem)
{
    AddTrack(1, L"Nowhere", 10);
    host->root.clear();
    Run();
    EXPECT_EQ(host->log, std::vector<std::wstring>{L"failed: " + Destination(1, L"Nowhere") + L" (no iPod selected)"});
}

}  // namespace

namespace {

// A failing read or write is made by swapping the item's handle, after its
// first chunk, for one of the same file opened without the needed access.
HANDLE OpenWithout(const std::wstring& path, DWORD access)
{
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST_F(CopyJobTest, FailedWriteIsLoggedAndLeavesNoFile)
{
    AddTrack(1, L"Full disk", 400000);
    AddTrack(2, L"Next", 10);
    const std::wstring destination = Destination(1, L"Full disk");
    host->onStep = [&](int step) {
        if (step == 2)
            job.currentItem->destination.Reset(OpenWithout(destination + L".part", GENERIC_READ));
    };
    Run();
    ASSERT_EQ(host->log.size(), 3u);
    EXPECT_EQ(host->log[1], L"failed: " + destination + L" (write error, error 5)");
    EXPECT_EQ(host->log[2], L"copying: " + Destination(2, L"Next"));
    EXPECT_FALSE(Exists(destination));
    EXPECT_FALSE(Exists(destination + L".part"));
    EXPECT_TRUE(Exists(Destination(2, L"Next")));
    // Still ticked, in the track and its row, and the user is told.
    EXPECT_EQ(1u, tracks[0]->isChecked);
    EXPECT_EQ(0u, tracks[1]->isChecked);
    EXPECT_EQ(host->rowClears, 1);
    FailedRunReport report;
    ASSERT_TRUE(FailedRunOf(job, report));
    EXPECT_TRUE(report.failed == 1 && report.items == 2 && !report.diskFull);
}

TEST_F(CopyJobTest, FailedReadIsNotTakenForTheEndOfTheFile)
{
    AddTrack(1, L"Scratched", 400000);
    const std::wstring destination = Destination(1, L"Scratched");
    host->overwrite = 0;
    CreateDirectoryPath((backup.Path() + L"\\Artist - Album\\").c_str());
    const std::vector<BYTE> earlierBackup = Pattern(400000, 77);
    ASSERT_TRUE(WriteBytes(destination, earlierBackup));
    host->onStep = [&](int step) {
        if (step == 2)
            job.currentItem->source.Reset(OpenWithout(ipod.Path() + L"\\Music\\T0.mp3", GENERIC_WRITE));
    };
    Run();
    ASSERT_EQ(host->log.size(), 2u);
    EXPECT_EQ(host->log[1], L"failed: " + destination + L" (read error, error 5)");
    // The complete copy of an earlier run is not replaced by a truncated one.
    std::vector<BYTE> content;
    ASSERT_TRUE(ReadBytes(destination, content));
    EXPECT_EQ(content, earlierBackup);
    EXPECT_FALSE(Exists(destination + L".part"));
    EXPECT_EQ(1u, tracks[0]->isChecked);
}

TEST(FailedRunTest, MessageNamesTheCountTheTicksAndTheLog)
{
    const std::wstring rest = L" could not be copied.\nThey are still ticked. The transfer log lists why:\nC:\\l.txt";
    EXPECT_EQ(L"1 of 2 tracks" + rest, FailedRunMessage({1, 2, false, L"C:\\l.txt"}));
    EXPECT_EQ(L"The destination disk is full: 3 of 40 tracks" + rest, FailedRunMessage({3, 40, true, L"C:\\l.txt"}));
    EXPECT_EQ(L"1 of 1 tracks could not be copied.\nThe iPod was removed during the copy. No transfer log could be written.",
              FailedRunMessage({1, 1, false, L"", true}));
    // Files beside the copies that could not be written are said too.
    FailedRunReport report = {0, 5, false, L"C:\\l.txt"};
    report.filesFailed = 2;
    EXPECT_EQ(L"The copies are done, but the playlist, library or index files could not all be written (2 failed).\n"
              L"The transfer log lists why:\nC:\\l.txt",
              FailedRunMessage(report));
    report.logPath.clear();
    EXPECT_EQ(L"The copies are done, but the playlist, library or index files could not all be written (2 failed).\n"
              L"No transfer log could be written.",
              FailedRunMessage(report));
    report = {1, 2, false, L"C:\\l.txt"};
    report.filesFailed = 1;
    EXPECT_EQ(L"1 of 2 tracks could not be copied.\nThey are still ticked.\nThe playlist, library or index files could "
              L"not all be written either (1 failed). The transfer log lists why:\nC:\\l.txt",
              FailedRunMessage(report));
    EXPECT_TRUE(IsDiskFullError(ERROR_HANDLE_DISK_FULL) && IsDiskFullError(ERROR_DISK_FULL));
    EXPECT_FALSE(IsDiskFullError(0) || IsDiskFullError(ERROR_ACCESS_DENIED));
}

// The entries of a folder, sorted, each followed by ";".
std::wstring EntryNames(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return L"<none>";
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    std::sort(names.begin(), names.end());
    std::wstring joined;
    for (const std::wstring& name : names)
        joined += name + L";";
    return joined;
}

// A folder is made as a path's last component and then used as an inner one,
// where the file system trims its name differently: every call must be handed
// the trimmed name, or the files miss their folder. The log names the path
// written.
TEST_F(CopyJobTest, NamesEndingInDotsOrSpacesLandInOneFolderAndAreFoundAgain)
{
    const wchar_t* titles[] = {L"One", L"Two"};
    for (const wchar_t* title : titles) {
        TrackEntry* track = AddTrack(1, title, 150000);
        track->artist = Text(L"Dots...");
        track->album = Text(L"Trailing. ");
    }
    host->rule = L"<artist>\\<album>\\<title>";
    host->overwrite = 1;
    Run();
    const std::wstring shown = backup.Path() + L"\\Dots\\Trailing\\";
    const std::wstring onDisk = backup.Path() + L"\\Dots\\Trailing\\";
    EXPECT_EQ(host->log,
              (std::vector<std::wstring>{L"copying: " + shown + L"One.mp3", L"copying: " + shown + L"Two.mp3"}));
    EXPECT_EQ(L"Dots;", EntryNames(backup.Path()));
    EXPECT_EQ(L"Trailing;", EntryNames(backup.Path() + L"\\Dots"));
    EXPECT_EQ(L"One.mp3;Two.mp3;", EntryNames(onDisk));
    for (size_t i = 0; i < 2; ++i) {
        std::vector<BYTE> copied;
        ASSERT_TRUE(ReadBytes(onDisk + titles[i] + L".mp3", copied));
        EXPECT_EQ(copied, sources[i]);
    }

    // The existence test looks where the copy went: the next run skips both.
    for (auto& track : tracks)
        track->isChecked = 1;
    ownedHost = std::make_unique<RecordingHost>(*host);
    host = ownedHost.get();
    host->log.clear();
    Run();
    EXPECT_EQ(host->log,
              (std::vector<std::wstring>{L"ignore: " + shown + L"One.mp3", L"ignore: " + shown + L"Two.mp3"}));
    EXPECT_EQ(L"Dots;", EntryNames(backup.Path()));
    EXPECT_EQ(L"One.mp3;Two.mp3;", EntryNames(onDisk));
}

}  // namespace
