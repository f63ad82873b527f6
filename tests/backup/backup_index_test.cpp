// The backup index: its file format, the names it keeps across runs, and
// whole runs on real files that read, use and rewrite it.
#include "backup/backup_index.h"

#include "backup/destination_path.h"
#include "copy_test_util.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace copy_test;

namespace {

TEST(BackupIndexFile, ReadsWhatItWritesAndRefusesAnythingElse)
{
    const std::string text = IndexText({{0xAB, L"b\\Caf\u00e9.mp3", 5}, {0xFEDCBA9876543210ull, L"A\\x.mp3", UINT64_MAX}});
    EXPECT_EQ("savanto-index 1\r\nFEDCBA9876543210\tA\\x.mp3\t18446744073709551615\r\n"
              "00000000000000AB\tb\\Caf\xC3\xA9.mp3\t5\r\n", text);
    std::vector<IndexLine> read;
    ASSERT_EQ(IndexState::kRead, ParseIndex("\xEF\xBB\xBF" + text, read));
    EXPECT_EQ(text, IndexText(read));
    EXPECT_EQ(IndexState::kRead, ParseIndex("savanto-index 1\n00000000000000ab\ta.mp3\t0\n", read));   // LF, lower case
    EXPECT_EQ(IndexState::kNewer, ParseIndex("savanto-index 2\r\nanything at all", read));
    for (const char* header : {"", "savanto-index 0", "savanto-index", "savanto-index 1\r\n\r\n"})
        EXPECT_EQ(IndexState::kDamaged, ParseIndex(header, read)) << header;
    // Each of these lines after a sound header damages the file.
    for (const char* line : {"0000000000000000\ta\t1", "000000000000001\ta\t1", "000000000000001G\ta\t1",
                             "0000000000000001\ta", "0000000000000001\ta\t1\t2", "0000000000000001\ta\t-1",
                             "0000000000000001\ta\t18446744073709551616", "0000000000000001\t\t1",
                             "0000000000000001\t\\a\t1", "0000000000000001\tC:\\a\t1", "0000000000000001\ta/b\t1",
                             "0000000000000001\ta\\..\\..\\b\t1", "0000000000000001\ta\\\\b\t1", "0000000000000001\t\xC3(\t1"})
        EXPECT_EQ(IndexState::kDamaged, ParseIndex(std::string("savanto-index 1\r\n") + line, read)) << line;
}

struct Named {
    uint64_t id;
    uint32_t added;
    const wchar_t* title;
    const wchar_t* location = L":F00:A.mp3";
};
struct Indexed {
    uint64_t id;
    const wchar_t* path;   // below D:\\B
    bool sizeAsRecorded;
};

// The names of `library` below D:\\B under the rule "<title>", over `index`.
std::vector<std::wstring> NamesOf(const std::vector<Named>& library, const std::vector<Indexed>& index)
{
    std::vector<TrackEntry> tracks(library.size());
    std::vector<const TrackEntry*> pointers;
    for (size_t i = 0; i < tracks.size(); ++i) {
        tracks[i].persistentId = library[i].id;
        tracks[i].dateAdded = library[i].added;
        tracks[i].title = Text(library[i].title);
        tracks[i].location = Text(library[i].location);
        pointers.push_back(&tracks[i]);
    }
    std::vector<IndexedCopy> indexed;
    for (const Indexed& line : index)
        indexed.push_back({line.id, std::wstring(L"D:\\B\\") + line.path, line.sizeAsRecorded});
    const DestinationNames names(L"D:\\B", L"<title>", pointers, indexed);
    std::vector<std::wstring> paths;
    for (const NamedCopy& copy : names.Copies())
        paths.push_back(copy.destination.written.path.substr(5));
    return paths;
}

// X: an older (1) and a younger (2) track of one name; the older one leaves.
TEST(BackupIndexNames, AnIndexedCopyKeepsItsNameAndNoTrackTakesAnother)
{
    const std::tuple<const char*, std::vector<Named>, std::vector<Indexed>, std::vector<std::wstring>> cases[] = {
        {"no index", {{1, 10, L"X"}, {2, 20, L"X"}}, {}, {L"X.mp3", L"X (2).mp3"}},
        {"the older one left", {{2, 20, L"X"}}, {{1, L"x.MP3", true}, {2, L"X (2).mp3", true}}, {L"X (2).mp3"}},
        {"its copy predates the index", {{2, 20, L"X"}}, {{1, L"X.mp3", true}}, {L"X (2).mp3"}},
        {"a newer track of the name", {{2, 20, L"X"}, {3, 5, L"X"}}, {{1, L"X.mp3", true}, {2, L"X (2).mp3", true}},
         {L"X (2).mp3", L"X (3).mp3"}},
        {"retagged", {{2, 20, L"Y"}}, {{2, L"X (2).mp3", true}}, {L"Y.mp3"}},
        {"its size changed", {{2, 20, L"X"}}, {{2, L"X (2).mp3", false}}, {L"X.mp3"}},
        {"a higher number", {{2, 20, L"X"}, {3, 30, L"X"}}, {{2, L"X (3).mp3", true}}, {L"X (3).mp3", L"X.mp3"}},
        {"no persistent id", {{0, 20, L"X"}}, {{1, L"X.mp3", true}}, {L"X (2).mp3"}},
        {"one id twice", {{2, 20, L"X"}, {2, 30, L"X"}}, {{2, L"X (2).mp3", true}}, {L"X (2).mp3", L"X.mp3"}},
        {"reserved names", {{1, 1, L"folder", L":F00:A.jpg"}, {2, 2, L".savanto-index", L":F00:A"}}, {},
         {L"folder (2).jpg", L".savanto-index (2)"}},
    };
    for (const auto& [what, library, index, expected] : cases)
        EXPECT_EQ(expected, NamesOf(library, index)) << what;
}

class BackupIndexRun : public CopyRunFixture {
protected:
    TrackEntry* AddTwin(uint64_t id, uint32_t added, BYTE seed)
    {
        TrackEntry* track = AddTrack(1, L"Twin", 3000, seed);
        track->persistentId = id;
        track->dateAdded = added;
        return track;
    }

    void RunOver(std::vector<TrackEntry*> library, std::vector<TrackEntry*> ticked)
    {
        ownedHost = std::make_unique<RecordingHost>(*host);
        host = ownedHost.get();
        host->log.clear();
        PrepareCopyRun(job, ticked, std::move(ownedHost));
        job.library.tracks.assign(library.begin(), library.end());
        RunCopyJob(job, *host);
    }

    std::string IndexBytes() const
    {
        std::vector<BYTE> bytes;
        return ReadBytes(backup.File(kIndexFileName), bytes) ? std::string(bytes.begin(), bytes.end()) : "<none>";
    }

    std::wstring IndexLog() const { return L"index: " + backup.File(kIndexFileName); }
};

TEST_F(BackupIndexRun, TheYoungerTwinKeepsItsCopyAfterTheOlderLeaves)
{
    TrackEntry* older = AddTwin(0xA1, 10, 10);
    TrackEntry* younger = AddTwin(0xB2, 20, 20);
    const std::wstring plain = Destination(1, L"Twin"), numbered = Destination(1, L"Twin (2)");
    RunOver({older, younger}, {older, younger});
    const std::string both = "savanto-index 1\r\n00000000000000B2\tArtist - Album\\1 - Twin (2).mp3\t3000\r\n"
                             "00000000000000A1\tArtist - Album\\1 - Twin.mp3\t3000\r\n";
    EXPECT_EQ(both, IndexBytes());
    EXPECT_EQ(IndexLog(), host->log.back());
    EXPECT_TRUE(GetFileAttributesW(backup.File(kIndexFileName).c_str()) & FILE_ATTRIBUTE_HIDDEN);

    // Under Ignore and then Overwrite the younger track's own copy is skipped,
    // then rewritten; the older one's stays as it was, and keeps its line.
    for (DWORD overwrite : {1u, 0u}) {
        host->overwrite = overwrite;
        RunOver({younger}, {younger});
        EXPECT_EQ((std::vector<std::wstring>{(overwrite ? L"ignore: " : L"copying: ") + numbered, IndexLog()}),
                  host->log);
        std::vector<BYTE> copy;
        ASSERT_TRUE(ReadBytes(plain, copy));
        EXPECT_EQ(sources[0], copy);
        ASSERT_TRUE(ReadBytes(numbered, copy));
        EXPECT_EQ(sources[1], copy);
        EXPECT_EQ(both, IndexBytes());
    }

    // The older copy deleted: its line goes, its name is free again.
    ASSERT_TRUE(DeleteFileW(plain.c_str()));
    RunOver({younger}, {});
    EXPECT_EQ("savanto-index 1\r\n00000000000000B2\tArtist - Album\\1 - Twin (2).mp3\t3000\r\n", IndexBytes());
}

TEST_F(BackupIndexRun, ACancelledRunRecordsWhatLandedWithoutALogLine)
{
    TrackEntry* first = AddTwin(0xA1, 10, 10);
    TrackEntry* second = AddTrack(2, L"Never", 3000);
    second->persistentId = 0xB2;
    host->onStep = [&](int step) {
        if (step == 2)
            CancelCopyRun(job);
    };
    RunOver({first, second}, {first, second});
    EXPECT_EQ("savanto-index 1\r\n00000000000000A1\tArtist - Album\\1 - Twin.mp3\t3000\r\n", IndexBytes());
    EXPECT_EQ(std::vector<std::wstring>{L"copying: " + Destination(1, L"Twin")}, host->log);
}

TEST_F(BackupIndexRun, ADamagedIndexIsRewrittenAndANewerOneLeftAlone)
{
    TrackEntry* track = AddTwin(0xA1, 10, 10);
    const std::wstring path = backup.File(kIndexFileName);
    const std::tuple<std::string, std::string, std::wstring> cases[] = {
        {"savanto-index 1\r\nnot a line\r\n", "savanto-index 1\r\n00000000000000A1\tArtist - Album\\1 - Twin.mp3\t3000\r\n",
         L"index ignored: " + path + L" (damaged; it is written anew at the end of the run)"},
        {"savanto-index 7\r\nwhatever", "savanto-index 7\r\nwhatever",
         L"index left as it is: " + path + L" (written by a newer version of Savanto)"}};
    for (const auto& [before, after, line] : cases) {
        ASSERT_TRUE(WriteBytes(path, std::vector<BYTE>(before.begin(), before.end())));
        RunOver({track}, {track});
        EXPECT_EQ(after, IndexBytes());
        EXPECT_EQ(line, host->log.empty() ? L"" : host->log.front());
        ASSERT_TRUE(DeleteFileW(Destination(1, L"Twin").c_str()));
    }
}

}  // namespace
