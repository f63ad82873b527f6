// Playlist files written at the end of a copy run: the pure pieces, then
// whole runs on real files whose .m3u8 bytes are compared exactly.
#include "backup/destination_path.h"
#include "backup/playlist_file.h"

#include <gtest/gtest.h>

#include "copy_test_util.h"
#include "support/test_support.h"

#include <algorithm>

using namespace copy_test;

namespace {

// --- Pure pieces ------------------------------------------------------------

TEST(PlaylistText, SecondsInfoLinesAndUtf8)
{
    const std::pair<int32_t, int> seconds[] = {{0, -1},    {-5, -1},       {999, 0},
                                               {1000, 1},  {215999, 215},  {INT32_MAX, 2147483}};
    for (const auto& [lengthMs, expected] : seconds)
        EXPECT_EQ(expected, PlaylistSeconds(lengthMs)) << lengthMs;

    auto track = MakeTrack(nullptr, L"Album", 1, L"Two\r\nLines", L":x.mp3");
    track->lengthMs = 61000;
    EXPECT_EQ(L"#EXTINF:61,uknown artist - Two  Lines", PlaylistInfoLine(*track));
    track = MakeTrack(L"", nullptr, 1, nullptr, L":x.mp3");   // present but empty stays empty
    EXPECT_EQ(L"#EXTINF:-1, - untitled", PlaylistInfoLine(*track));

    const std::pair<std::wstring, std::string> utf8[] = {
        {L"", ""},
        {L"abc", "abc"},
        {L"Caf\u00e9", "Caf\xC3\xA9"},
        {L"\U0001F3B5!", "\xF0\x9F\x8E\xB5!"},   // a surrogate pair is one character
        {std::wstring(1, L'\xD83C') + L"x", "\xEF\xBF\xBDx"},   // an unpaired half is replaced
    };
    for (const auto& [text, expected] : utf8)
        EXPECT_EQ(expected, ToUtf8(text));
}

// Shortened first, then numbered, the number in the uncut tail: two long
// names that differ past the cut, or a name and its " (2)", stay two files.
TEST(PlaylistText, FileNamesAreCleanedShortenedThenNumberedIgnoringCase)
{
    const std::wstring folder = L"C:\\B\\";
    const size_t room = std::min(kMaxLastComponentUnits, kMaxDestinationUnits - folder.size()) - wcslen(kPlaylistExtension);
    const std::wstring cut(room, L'n'), numberedCut = cut.substr(0, room - 4);
    const std::pair<std::wstring, std::wstring> claims[] = {
        {L"A/B", L"A_B"},          {L"A:B", L"A_B (2)"},  {L"a_b", L"a_b (3)"},  {L"", L"_"},
        {L"...", L"___"},          {L"Mix. ", L"Mix"},    {L"Mix", L"Mix (2)"},  {L"Mix (2)", L"Mix (2) (2)"},
        {L"\U0001F3B5 ", L"\U0001F3B5"},   {L"Con", L"Con_"},
        {cut + L"x", cut},         {cut + L"y", numberedCut + L" (2)"},
        {cut + L" (2)", numberedCut + L" (3)"},
        {L"folder", L"folder"},   // only folder.jpg is reserved
    };
    DestinationNames names(folder.c_str(), L"<title>", {});
    for (const auto& [name, expected] : claims) {
        DestinationPath path;
        ASSERT_TRUE(names.ClaimFile(PlaylistFileStem(name.c_str()), kPlaylistExtension, path)) << name;
        EXPECT_EQ(folder + expected + kPlaylistExtension, path.path) << name;
    }
    DestinationPath path;
    EXPECT_TRUE(names.ClaimFile(L".savanto-index", L"", path));
    EXPECT_EQ(folder + L".savanto-index (2)", path.path) << "the index's name is reserved";
}

TEST(PlaylistText, OnlyPlaylistsOfTheTreeAreCollectedWithTheirItemsResolved)
{
    auto playlist = [](const wchar_t* name, uint16_t kind, uint32_t master, std::vector<uint32_t> ids) {
        auto entry = std::make_unique<PlaylistEntry>();
        entry->name = Text(name);
        entry->kind = kind;
        entry->masterFlag = master;
        entry->trackIds = std::move(ids);
        return entry;
    };
    std::vector<std::unique_ptr<PlaylistEntry>> playlists;
    playlists.push_back(playlist(L"Library", kPlaylistOrdinary, 1, {1, 2}));
    playlists.push_back(playlist(L"Smart", kPlaylistSmart, 0, {1}));
    playlists.push_back(playlist(L"Mine", kPlaylistOrdinary, 0, {2, 99, 1, 2}));
    playlists.push_back(playlist(nullptr, kPlaylistOrdinary, 0, {}));
    playlists[2]->persistentId = 0x0123456789ABCDEFull;
    const auto sources = CollectPlaylistSources(playlists, [&](uint32_t id) { return id == 1 ? 0 : id == 2 ? 1 : -1; });
    ASSERT_EQ(2u, sources.size());
    EXPECT_EQ(L"Mine", sources[0].name);
    EXPECT_EQ(0x0123456789ABCDEFull, sources[0].persistentId);
    EXPECT_EQ((std::vector<int>{1, -1, 0, 1}), sources[0].items);
    EXPECT_EQ(L"", sources[1].name);
    EXPECT_TRUE(sources[1].items.empty());
}

// --- Whole runs -------------------------------------------------------------

class PlaylistRunTest : public CopyRunFixture {
protected:
    void SetUp() override
    {
        CopyRunFixture::SetUp();
        host->rule = L"<artist>\\<album>\\<track> - <title>";
    }

    TrackEntry* Add(const wchar_t* artist, const wchar_t* album, int number, const wchar_t* title, int32_t lengthMs)
    {
        TrackEntry* track = AddTaggedTrack(artist, album, number, title, 3000);
        track->lengthMs = lengthMs;
        return track;
    }

    struct Items {
        std::wstring name;
        std::vector<TrackEntry*> items;   // null: an item of no track
    };

    // Every track of the fixture is the library's; no playlists: the option is off.
    void RunWith(std::vector<TrackEntry*> copyList, std::vector<Items> playlists, bool libraryFile = false)
    {
        PrepareCopyRun(job, std::move(copyList), std::move(ownedHost));
        job.library.writePlaylists = !playlists.empty();
        job.library.writeLibrary = libraryFile;
        job.library.ipodName = L"My:iPod";
        for (const auto& track : tracks)
            job.library.tracks.push_back(track.get());
        for (const Items& playlist : playlists) {
            PlaylistSource source{playlist.name, 0, {}};
            for (TrackEntry* item : playlist.items) {
                const auto& all = job.library.tracks;
                const auto found = std::find(all.begin(), all.end(), item);
                source.items.push_back(found == all.end() ? -1 : static_cast<int>(found - all.begin()));
            }
            job.library.playlists.push_back(std::move(source));
        }
        RunCopyJob(job, *host);
    }

    // A second run in the same folder, with a fresh host.
    void NextRun()
    {
        ownedHost = std::make_unique<RecordingHost>(*host);
        host = ownedHost.get();
        host->log.clear();
        host->steps = 0;
        host->onStep = nullptr;
    }

    std::string Bytes(const std::wstring& relative) const
    {
        std::vector<BYTE> bytes;
        if (!ReadBytes(backup.File(relative), bytes))
            return "<missing>";
        return std::string(bytes.begin(), bytes.end());
    }

    // The .m3u8 and .part files of the destination folder, sorted.
    std::vector<std::wstring> PlaylistFiles() const
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW(backup.File(L"*.m*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE)
            return names;
        do
            names.push_back(entry.cFileName);
        while (FindNextFileW(find, &entry));
        FindClose(find);
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(PlaylistRunTest, FileListsTheCopiesInOrderWithExactBytes)
{
    TrackEntry* dots = Add(L"Dots...", L"Album", 1, L"Song", 215999);   // its folder is named without the dots
    TrackEntry* absent = Add(nullptr, nullptr, 2, nullptr, 0);
    TrackEntry* wide = Add(L"Caf\u00e9", L"\u00dcn\u00ef", 3, L"Night \U0001F3B5", -5);
    TrackEntry* unnumbered = Add(L"Artist", L"Album", 0, L"No number", 1500);
    TrackEntry* existing = Add(L"Artist", L"Album", 5, L"Existing", 60000);
    TrackEntry* failed = Add(L"Artist", L"Album", 6, L"Failed", 1000);
    TrackEntry* notInRun = Add(L"Artist", L"Album", 7, L"Not in run", 1000);   // copied by an earlier run
    TrackEntry* hashed = Add(L"#1 Dads", L"Album", 8, L"Hash", 2000);   // its path must not read as a comment
    ASSERT_TRUE(DeleteFileW((ipod.Path() + L"\\Music\\T5.mp3").c_str()));
    CreateDirectoryPath(backup.File(L"Artist\\Album\\").c_str());
    ASSERT_TRUE(WriteBytes(backup.File(L"Artist\\Album\\5 - Existing.mp3"), Pattern(10, 9)));
    ASSERT_TRUE(WriteBytes(backup.File(L"Artist\\Album\\7 - Not in run.mp3"), Pattern(10, 9)));
    host->overwrite = 1;

    RunWith({dots, absent, wide, unnumbered, existing, failed, hashed},
        {{L"Road trip \U0001F3B5", {dots, absent, nullptr, wide, dots, unnumbered, existing, failed, notInRun, hashed}}});

    EXPECT_EQ(job.outcomes, (std::vector<CopyOutcome>{CopyOutcome::Copied, CopyOutcome::Copied, CopyOutcome::Copied,
                                                      CopyOutcome::Copied, CopyOutcome::SkippedExisting,
                                                      CopyOutcome::Failed, CopyOutcome::Copied}));
    EXPECT_EQ("#EXTM3U\r\n"
              "#EXTINF:215,Dots... - Song\r\nDots\\Album\\1 - Song.mp3\r\n"
              "#EXTINF:-1,uknown artist - untitled\r\nuknown artist\\uknown album\\2 - untitled.mp3\r\n"
              "#EXTINF:-1,Caf\xC3\xA9 - Night \xF0\x9F\x8E\xB5\r\n"
              "Caf\xC3\xA9\\\xC3\x9Cn\xC3\xAF\\3 - Night \xF0\x9F\x8E\xB5.mp3\r\n"
              "#EXTINF:215,Dots... - Song\r\nDots\\Album\\1 - Song.mp3\r\n"
              "#EXTINF:1,Artist - No number\r\nArtist\\Album\\ - No number.mp3\r\n"
              "#EXTINF:60,Artist - Existing\r\nArtist\\Album\\5 - Existing.mp3\r\n"
              "#EXTINF:1,Artist - Not in run\r\nArtist\\Album\\7 - Not in run.mp3\r\n"
              "#EXTINF:2,#1 Dads - Hash\r\n.\\#1 Dads\\Album\\8 - Hash.mp3\r\n",
              Bytes(L"Road trip \U0001F3B5.m3u8"));
    std::vector<BYTE> copy;
    ASSERT_TRUE(ReadBytes(backup.File(L"Dots\\Album\\1 - Song.mp3"), copy));
    EXPECT_EQ(sources[0], copy);
    ASSERT_FALSE(host->log.empty());
    EXPECT_EQ(L"playlist: " + backup.File(L"Road trip \U0001F3B5.m3u8"), host->log.back());
    EXPECT_EQ((std::vector<std::wstring>{L"Road trip \U0001F3B5.m3u8"}), PlaylistFiles());
}

TEST_F(PlaylistRunTest, CollidingNamesAreNumberedInTreeOrderEmptyOnesGetNoFileOldFilesAreReplacedFailuresLogged)
{
    TrackEntry* song = Add(L"A", L"B", 1, L"Song", 1000);
    TrackEntry* gone = Add(L"A", L"B", 2, L"Gone", 1000);
    ASSERT_TRUE(DeleteFileW((ipod.Path() + L"\\Music\\T1.mp3").c_str()));
    ASSERT_TRUE(WriteBytes(backup.File(L"A_B.m3u8"), Pattern(5000, 3)));   // a previous run's
    const std::wstring longName(250, L'n');
    ASSERT_TRUE(CreateDirectoryW(backup.File(L"Blocked.m3u8").c_str(), nullptr));   // cannot be replaced

    RunWith({song, gone}, {{L"A/B", {song}},
                       {L"Nothing", {gone}},   // no file, but its name stays its own
                       {L"A:B", {song, gone}},
                       {L"Nothing", {song}},
                       {longName, {song}},
                       {L"Blocked", {song}},
                       {L"Unused", {}}});

    const std::string expected = "#EXTM3U\r\n#EXTINF:1,A - Song\r\nA\\B\\1 - Song.mp3\r\n";
    EXPECT_EQ(expected, Bytes(L"A_B.m3u8"));
    EXPECT_EQ(expected, Bytes(L"A_B (2).m3u8"));
    EXPECT_EQ(expected, Bytes(L"Nothing (2).m3u8"));
    // Too long a name is shortened to fit, as an item's is.
    const size_t room = std::min(kMaxLastComponentUnits, kMaxDestinationUnits - backup.File(L"").size());
    const std::wstring shortened = longName.substr(0, room - wcslen(kPlaylistExtension)) + kPlaylistExtension;
    EXPECT_EQ(expected, Bytes(shortened.c_str()));
    EXPECT_EQ((std::vector<std::wstring>{L"A_B (2).m3u8", L"A_B.m3u8", L"Blocked.m3u8", L"Nothing (2).m3u8", shortened}),
              PlaylistFiles());   // no temporary file left
    ASSERT_GE(host->log.size(), 5u);
    const std::vector<std::wstring> tail(host->log.end() - 5, host->log.end() - 1);
    EXPECT_EQ((std::vector<std::wstring>{L"playlist: " + backup.File(L"A_B.m3u8"),
                                         L"playlist: " + backup.File(L"A_B (2).m3u8"),
                                         L"playlist: " + backup.File(L"Nothing (2).m3u8"),
                                         L"playlist: " + backup.File(shortened.c_str())}),
              tail);
    const std::wstring blocked =
        L"failed: " + backup.File(L"Blocked.m3u8") + L" (cannot rename the finished file, error ";
    EXPECT_EQ(blocked, host->log.back().substr(0, blocked.size()));
}

TEST_F(PlaylistRunTest, NothingIsWrittenWhenTheOptionIsOffOrTheRunIsCancelled)
{
    TrackEntry* one = Add(L"A", L"B", 1, L"One", 1000);
    TrackEntry* two = Add(L"A", L"B", 2, L"Two", 1000);
    RunWith({one, two}, {});
    EXPECT_EQ((std::vector<std::wstring>{L"copying: " + backup.File(L"A\\B\\1 - One.mp3"),
                                         L"copying: " + backup.File(L"A\\B\\2 - Two.mp3")}),
              host->log);
    EXPECT_TRUE(PlaylistFiles().empty());

    // Cancelled after the first item: the copied one would have made a line.
    one->isChecked = two->isChecked = 1;
    ownedHost = std::make_unique<RecordingHost>(*host);
    host = ownedHost.get();
    host->log.clear();
    host->steps = 0;
    host->overwrite = 0;
    host->onStep = [&](int step) {
        if (step == 2)
            CancelCopyRun(job);
    };
    RunWith({one, two}, {{L"Mix", {one, two}}});
    EXPECT_EQ(CopyOutcome::Copied, job.outcomes[0]);
    EXPECT_EQ(CopyOutcome::NotReached, job.outcomes[1]);
    EXPECT_TRUE(PlaylistFiles().empty());
    EXPECT_EQ(std::vector<std::wstring>{L"copying: " + backup.File(L"A\\B\\1 - One.mp3")}, host->log);
}

// A second, smaller run still lists every copy in the folder; a playlist whose
// copies are gone gets no file, and its namesake keeps the numbered name.
TEST_F(PlaylistRunTest, SecondRunListsEveryCopyAndNamesStayWithTheirPlaylists)
{
    std::vector<TrackEntry*> t;
    for (int i = 1; i <= 6; ++i)
        t.push_back(Add(L"A", L"B", i, (L"S" + std::to_wstring(i)).c_str(), 1000 * i));
    const std::vector<Items> playlists = {{L"Mix", {t[0]}}, {L"mix", {t[1], t[4], t[2]}}, {L"Later", {t[5], t[3]}}};
    RunWith({t[0], t[1], t[2]}, playlists);
    const std::string firstMix = Bytes(L"Mix.m3u8");
    EXPECT_EQ("#EXTM3U\r\n#EXTINF:1,A - S1\r\nA\\B\\1 - S1.mp3\r\n", firstMix);
    EXPECT_EQ((std::vector<std::wstring>{L"Mix.m3u8", L"mix (2).m3u8"}), PlaylistFiles());

    ASSERT_TRUE(DeleteFileW(backup.File(L"A\\B\\1 - S1.mp3").c_str()));
    NextRun();
    RunWith({t[3], t[4], t[5]}, playlists, true);
    EXPECT_EQ(firstMix, Bytes(L"Mix.m3u8")) << "left as the first run wrote it";
    EXPECT_EQ("#EXTM3U\r\n#EXTINF:2,A - S2\r\nA\\B\\2 - S2.mp3\r\n#EXTINF:5,A - S5\r\nA\\B\\5 - S5.mp3\r\n"
              "#EXTINF:3,A - S3\r\nA\\B\\3 - S3.mp3\r\n",
              Bytes(L"mix (2).m3u8"));
    EXPECT_EQ("#EXTM3U\r\n#EXTINF:6,A - S6\r\nA\\B\\6 - S6.mp3\r\n#EXTINF:4,A - S4\r\nA\\B\\4 - S4.mp3\r\n",
              Bytes(L"Later.m3u8"));
    ASSERT_EQ(6u, host->log.size());
    EXPECT_EQ((std::vector<std::wstring>{L"playlist: " + backup.File(L"mix (2).m3u8"),
                                         L"playlist: " + backup.File(L"Later.m3u8"),
                                         L"library: " + backup.File(L"My_iPod Library.xml")}),
              std::vector<std::wstring>(host->log.begin() + 3, host->log.end()));
    const std::string library = Bytes(L"My_iPod Library.xml");
    for (int i = 2; i <= 6; ++i)
        EXPECT_NE(std::string::npos, library.find("/A/B/" + std::to_string(i) + "%20-%20S" + std::to_string(i) + ".mp3<"));
    EXPECT_EQ(std::string::npos, library.find("/1%20-%20S1.mp3")) << "its copy is gone";
    EXPECT_FALSE(Exists(backup.File(L"My_iPod Library.xml.part")));
}

}  // namespace
