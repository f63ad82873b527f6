#include "db/itunesdb.h"
#include "db_test_util.h"

#include <gtest/gtest.h>

using namespace ipodgen;
using testing_support::TempDir;

namespace {

class ReaderTest : public ::testing::Test {
protected:
    LoadedDb Load(const Bytes& bytes) { return LoadBytes(dir, bytes); }
    TempDir dir;
};

Bytes OneTrackDb(const Bytes& track) { return SimpleDatabase({track}, {}); }

TEST_F(ReaderTest, ReadsTagsNumbersAndLocationOfEachTrack)
{
    auto db = Load(SimpleDatabase(
        {Track({7, L"Title A", L"Artist A", L"Album A", L"Genre A", L":iPod_Control:Music:F01:AAAA.mp3", 3, 215000}),
         Track({9, L"Title B", L"Artist B", L"Album B", L"Genre B", L":iPod_Control:Music:F02:BBBB.m4a", -2, 5000})},
        {}));
    ASSERT_TRUE(db.opened);
    ASSERT_EQ(2u, db.trackCount);
    ASSERT_EQ(2u, db.tracks.size());
    const TrackEntry& a = *db.tracks[0];
    EXPECT_EQ(7u, a.trackId);
    EXPECT_EQ(L"Title A", Text(a.title));
    EXPECT_EQ(L"Artist A", Text(a.artist));
    EXPECT_EQ(L"Album A", Text(a.album));
    EXPECT_EQ(L"Genre A", Text(a.genre));
    EXPECT_EQ(L":iPod_Control:Music:F01:AAAA.mp3", Text(a.location));
    EXPECT_EQ(3, a.trackNumber);
    EXPECT_EQ(215000, a.lengthMs);
    EXPECT_EQ(0u, a.isChecked);
    EXPECT_EQ(-2, db.tracks[1]->trackNumber);
    EXPECT_EQ(L":iPod_Control:Music:F02:BBBB.m4a", Text(db.tracks[1]->location));
}

TEST_F(ReaderTest, TextObjectEdgeCases)
{
    TextObject odd{1, Utf16Bytes(L"AB")};
    odd.text.pop_back();   // "A" then a lone low byte 'B'
    TextObject withNul{4, Utf16Bytes(std::wstring(L"Front\0Back", 10))};
    TrackItem track;
    track.trackId = 1;
    track.objects = {TextMhod(3, L""),                 // present but empty album
                     Mhod(odd), Mhod(withNul),
                     TextMhod(5, L"First genre"), TextMhod(5, L"Second genre")};
    auto db = Load(OneTrackDb(Mhit(track)));
    ASSERT_EQ(1u, db.tracks.size());
    const TrackEntry& t = *db.tracks[0];
    ASSERT_TRUE(t.album);
    EXPECT_EQ(L"", Text(t.album)) << "a zero-length text is empty, not absent";
    EXPECT_EQ(std::wstring(L"A") + wchar_t(L'B'), Text(t.title)) << "odd length keeps the low byte";
    EXPECT_EQ(L"Front", Text(t.artist)) << "cut at the first NUL";
    EXPECT_EQ(L"Second genre", Text(t.genre)) << "a later object of one type wins";
    EXPECT_FALSE(t.location);
}

TEST_F(ReaderTest, TextIsTheLastBytesOfTheObjectWhateverItsHeaderLengthSays)
{
    for (uint32_t headerLength : {0u, 12u, 24u, 0x80u}) {
        TextObject title{1, Utf16Bytes(L"Tail")};
        title.headerLength = 24;
        title.gap = 16;          // text at offset 40, total 40 + n
        Bytes object = Mhod(title);
        PutU32(object, 4, headerLength);
        TrackItem track;
        track.objects = {object, TextMhod(4, L"Next")};
        auto db = Load(OneTrackDb(Mhit(track)));
        ASSERT_EQ(1u, db.tracks.size()) << headerLength;
        EXPECT_EQ(L"Tail", Text(db.tracks[0]->title)) << headerLength;
        EXPECT_EQ(L"Next", Text(db.tracks[0]->artist)) << headerLength;
    }
}

TEST_F(ReaderTest, UnknownTrackObjectsAreSkippedUnread)
{
    // Their byte-length field is garbage: a reader that took them as text
    // would fail on them.
    Bytes podcastUrl = OpaqueMhod(15, 40);
    Bytes rssUrl = OpaqueMhod(16, 12);
    Bytes artwork = OpaqueMhod(100, 0);
    PutU32(podcastUrl, 28, 0xFFFFFFFF);
    PutU32(rssUrl, 28, 0x7FFFFFFF);
    TrackItem track;
    track.trackId = 5;
    track.objects = {TextMhod(1, L"Before"), podcastUrl, rssUrl, artwork, TextMhod(4, L"After")};
    auto db = Load(SimpleDatabase({Mhit(track), Track({6, L"Second"})}, {}));
    ASSERT_EQ(2u, db.tracks.size());
    EXPECT_EQ(L"Before", Text(db.tracks[0]->title));
    EXPECT_EQ(L"After", Text(db.tracks[0]->artist));
    EXPECT_EQ(6u, db.tracks[1]->trackId);
}

TEST_F(ReaderTest, ShortAndLongTrackHeaders)
{
    for (uint32_t headerLength : {48u, 0xA0u, 236u, 0x248u}) {
        TrackItem first;
        first.headerLength = headerLength;
        first.trackId = 11;
        first.lengthMs = 1234;
        first.trackNumber = 8;
        first.objects = {TextMhod(1, L"Short"), TextMhod(2, L":a.mp3")};
        TrackItem second = first;
        second.trackId = 12;
        second.objects = {TextMhod(1, L"Next")};
        auto db = Load(SimpleDatabase({Mhit(first), Mhit(second)}, {}));
        ASSERT_EQ(2u, db.tracks.size()) << headerLength;
        EXPECT_EQ(11u, db.tracks[0]->trackId);
        EXPECT_EQ(1234, db.tracks[0]->lengthMs);
        EXPECT_EQ(8, db.tracks[0]->trackNumber);
        EXPECT_EQ(L"Short", Text(db.tracks[0]->title)) << headerLength;
        EXPECT_EQ(L":a.mp3", Text(db.tracks[0]->location));
        EXPECT_EQ(12u, db.tracks[1]->trackId);
        EXPECT_EQ(L"Next", Text(db.tracks[1]->title)) << headerLength;
    }
}

TEST_F(ReaderTest, LastTrackWithShortHeaderAtTheEndOfTheFile)
{
    // Fewer than 236 bytes remain after the header: the fields still count.
    TrackItem track;
    track.headerLength = 48;
    track.trackId = 77;
    track.objects = {TextMhod(1, L"x")};
    auto db = Load(SimpleDatabase({Mhit(track)}, {}));
    ASSERT_EQ(1u, db.tracks.size());
    EXPECT_EQ(77u, db.tracks[0]->trackId);
    EXPECT_EQ(L"x", Text(db.tracks[0]->title));
}

TEST_F(ReaderTest, DataSetsInAnyOrderAndOfUnknownTypes)
{
    Database db;
    db.dataSets = {Mhsd({4, Bytes(40, 0xAB)}),
                   Mhsd({2, Mhlp({NamedPlaylist(L"Mix", {2, 1})})}),
                   Mhsd({3, Mhlp({NamedPlaylist(L"Podcasts", {1})})}),
                   Mhsd({1, Mhlt({Track({1, L"One"}), Track({2, L"Two"})})}),
                   Mhsd({5, Bytes(8, 0)})};
    auto loaded = Load(Mhbd(db));
    ASSERT_EQ(2u, loaded.tracks.size());
    EXPECT_EQ(L"One", Text(loaded.tracks[0]->title));
    ASSERT_EQ(1u, loaded.playlists.size()) << "only the playlist data set of type 2 is read";
    EXPECT_EQ(L"Mix", Text(loaded.playlists[0]->name));
    EXPECT_EQ((std::vector<uint32_t>{2, 1}), loaded.playlists[0]->trackIds);
}

TEST_F(ReaderTest, MissingListsAndDataSetCounts)
{
    Database noTracks;
    noTracks.dataSets = {Mhsd({2, Mhlp({NamedPlaylist(L"P", {1})})})};
    auto a = Load(Mhbd(noTracks));
    EXPECT_TRUE(a.opened);
    EXPECT_EQ(0u, a.trackCount);
    EXPECT_EQ(1u, a.playlists.size());

    auto b = Load(SimpleDatabase({Track({1, L"T"})}, {}));
    EXPECT_EQ(0u, b.playlistCount);
    EXPECT_EQ(1u, b.tracks.size());

    for (uint32_t count : {0u, 0x80000000u, 0xFFFFFFFFu}) {
        Database db;
        db.dataSets = {Mhsd({1, Mhlt({Track({1, L"T"})})})};
        db.dataSetCount = count;
        auto c = Load(Mhbd(db));
        EXPECT_TRUE(c.opened);
        EXPECT_EQ(0u, c.trackCount) << std::hex << count;
    }
}

TEST_F(ReaderTest, PlaylistKindsNamesAndItems)
{
    Playlist twoNames;
    twoNames.objects = {TextMhod(1, L"Old name"), OpaqueMhod(100, 16), TextMhod(1, L"New name")};
    for (uint32_t id : {3u, 3u, 99u}) {
        PlaylistItem item;
        item.trackId = id;
        item.objects = {OpaqueMhod(100, 20)};
        twoNames.items.push_back(Mhip(item));
    }
    auto db = Load(SimpleDatabase(
        {Track({3, L"T"})},
        {NamedPlaylist(L"Library", {3}, 1), NamedPlaylist(L"Smart", {3}, 0, true), Mhyp(twoNames),
         NamedPlaylist(std::nullopt, {3})}));
    ASSERT_EQ(4u, db.playlists.size());
    EXPECT_NE(0u, db.playlists[0]->masterFlag);
    EXPECT_EQ(kPlaylistOrdinary, db.playlists[0]->kind);
    EXPECT_EQ(kPlaylistSmart, db.playlists[1]->kind);
    EXPECT_EQ(0u, db.playlists[1]->masterFlag);
    EXPECT_EQ(L"New name", Text(db.playlists[2]->name));
    EXPECT_EQ((std::vector<uint32_t>{3, 3, 99}), db.playlists[2]->trackIds);
    EXPECT_FALSE(db.playlists[3]->name);
    EXPECT_EQ(1u, db.tracks.size()) << "tracks follow the playlists in one pass";
}

TEST_F(ReaderTest, OpenRejectsMissingFilesAndOtherTags)
{
    CiTunesDB db;
    EXPECT_FALSE(db.Open(dir.File(L"absent").c_str()));
    EXPECT_EQ(0u, db.GetTrackCount());
    EXPECT_EQ(0u, db.GetPlaylistCount());
    EXPECT_FALSE(db.ReadTrack());

    Bytes wrong = SimpleDatabase({Track({1, L"T"})}, {});
    wrong[3] = 'x';
    WriteBytes(dir.File(L"wrong"), wrong);
    EXPECT_FALSE(db.Open(dir.File(L"wrong").c_str()));
    EXPECT_EQ(0u, db.GetTrackCount());
    EXPECT_TRUE(DeleteFileW(dir.File(L"wrong").c_str())) << "a rejected file is closed";

    WriteBytes(dir.File(L"tiny"), Bytes{'m', 'h', 'b', 'd'});
    EXPECT_FALSE(db.Open(dir.File(L"tiny").c_str())) << "shorter than its 36-byte header";
}

TEST_F(ReaderTest, ReopeningClosesTheFirstFileAndCountsRestartTheWalk)
{
    WriteBytes(dir.File(L"a"), SimpleDatabase({Track({1, L"A"})}, {NamedPlaylist(L"P", {1})}));
    WriteBytes(dir.File(L"b"), SimpleDatabase({Track({2, L"B"}), Track({3, L"C"})}, {}));
    CiTunesDB db;
    ASSERT_TRUE(db.Open(dir.File(L"a").c_str()));
    ASSERT_TRUE(db.Open(dir.File(L"b").c_str()));
    EXPECT_TRUE(DeleteFileW(dir.File(L"a").c_str())) << "the first file was closed";
    EXPECT_EQ(2u, db.GetTrackCount());
    EXPECT_EQ(0u, db.GetPlaylistCount());
    db.SeekFirstTrack();
    EXPECT_EQ(2u, db.ReadTrack()->trackId);
    EXPECT_EQ(2u, db.GetTrackCount());   // any order: counting again starts over
    db.SeekFirstTrack();
    EXPECT_EQ(2u, db.ReadTrack()->trackId);
    EXPECT_EQ(3u, db.ReadTrack()->trackId);
}

TEST_F(ReaderTest, TheOpenDatabaseStaysReadableAndWritableByOthers)
{
    const std::wstring path = dir.File(L"iTunesDB");
    WriteBytes(path, SimpleDatabase({Track({1, L"A"})}, {}));
    CiTunesDB db;
    ASSERT_TRUE(db.Open(path.c_str()));
    HANDLE other = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, other);
    CloseHandle(other);
}

// Lengths that would keep the walk in place, or counts far beyond the file:
// every walk must end quickly and build nothing from unread bytes.
TEST_F(ReaderTest, DegenerateLengthsAndCountsEndTheWalk)
{
    auto withTrack = [](uint32_t field, uint32_t value) {
        TrackItem track;
        track.trackId = 1;
        track.objects = {TextMhod(1, L"T")};
        Bytes first = Mhit(track);
        PutU32(first, field, value);
        return SimpleDatabase({first, Track({2, L"U"})}, {});
    };
    const uint32_t kHeaderLength = 4, kObjectCount = 12, kFirstObjectTotal = 244 + 8;
    for (uint32_t bad : {0u, 0xFFFFFFFFu, 0x7FFFFFFFu}) {
        EXPECT_TRUE(Load(withTrack(kHeaderLength, bad)).tracks.empty()) << std::hex << bad;
        EXPECT_TRUE(Load(withTrack(kFirstObjectTotal, bad)).tracks.empty()) << std::hex << bad;
    }
    EXPECT_TRUE(Load(withTrack(kObjectCount, 0x7FFFFFFF)).tracks.empty());
    const LoadedDb negative = Load(withTrack(kObjectCount, 0x80000000));
    ASSERT_FALSE(negative.tracks.empty());
    EXPECT_FALSE(negative.tracks[0]->title) << "a negative count means no objects";

    auto hugeCount = Load(Mhbd({{Mhsd({1, Mhlt({Track({1, L"T"})}, 0x7FFFFFFF)})}}));
    EXPECT_LE(hugeCount.trackCount, 1000u) << "a count is limited to what the file can hold";
    EXPECT_EQ(1u, hugeCount.tracks.size());

    Playlist loop;
    PlaylistItem item;
    item.totalLength = 0;
    loop.items = {Mhip(item)};
    loop.itemCount = 0xFFFFFFFF;
    auto d = Load(SimpleDatabase({Track({1, L"T"})}, {Mhyp(loop)}));
    EXPECT_TRUE(d.playlists.empty());
    EXPECT_EQ(1u, d.tracks.size()) << "a damaged playlist list does not hide the tracks";
}

TEST_F(ReaderTest, TextLengthsBeyondTheObjectOrFileAreRefused)
{
    for (uint32_t byteLength : {41u, 1000u, 0xFFFFFFFEu}) {
        TextObject title{1, Utf16Bytes(L"Hello")};
        title.byteLength = byteLength;   // longer than the 50-byte object allows
        title.totalLength = byteLength == 41u ? 40u : 50u;
        TrackItem track;
        track.objects = {Mhod(title)};
        auto db = Load(OneTrackDb(Mhit(track)));
        EXPECT_TRUE(db.tracks.empty()) << byteLength;
    }
}

// Real databases written by other software.
TEST(SampleDatabases, TwoTrackDatabaseWithDataSetsOutOfOrder)
{
    SKIP_WITHOUT_SAMPLE_DATABASES();
    auto db = LoadDb(testing_support::SamplePath(L"itunes-v4f-2tracks.iTunesDB"));
    ASSERT_TRUE(db.opened);
    ASSERT_EQ(2u, db.tracks.size());
    const TrackEntry& first = *db.tracks.front();
    EXPECT_EQ(186u, first.trackId);
    EXPECT_EQ(1, first.trackNumber);
    EXPECT_EQ(129124, first.lengthMs);
    EXPECT_EQ(L"\u7D42\u308F\u308A\u3078\u5411\u304B\u3046\u59CB\u307E\u308A\u306E\u6B4C", Text(first.title));
    EXPECT_EQ(L"supercell", Text(first.artist));
    EXPECT_EQ(L"Today Is A Beautiful Day", Text(first.album));
    EXPECT_EQ(L" ", Text(first.genre));
    EXPECT_EQ(L":iPod_Control:Music:F01:IQZL.m4a", Text(first.location));
    const TrackEntry& last = *db.tracks.back();
    EXPECT_EQ(203u, last.trackId);
    EXPECT_EQ(2, last.trackNumber);
    EXPECT_EQ(339590, last.lengthMs);
    EXPECT_EQ(L"\u541B\u306E\u77E5\u3089\u306A\u3044\u7269\u8A9E", Text(last.title));
    EXPECT_EQ(L":iPod_Control:Music:F01:RSEG.m4a", Text(last.location));

    ASSERT_EQ(1u, db.playlists.size());
    EXPECT_EQ(L"IPOD", Text(db.playlists[0]->name));
    EXPECT_NE(0u, db.playlists[0]->masterFlag) << "the master playlist, which the library drops";
    EXPECT_EQ(2u, db.playlists[0]->trackIds.size());
}

TEST(SampleDatabases, ThirdPartyDatabaseWithShortTrackHeaders)
{
    SKIP_WITHOUT_SAMPLE_DATABASES();
    auto db = LoadDb(testing_support::SamplePath(L"thirdparty-v0c-5375tracks.iTunesDB"));
    ASSERT_TRUE(db.opened);
    ASSERT_EQ(5375u, db.tracks.size());
    size_t withoutGenre = 0;
    for (const auto& track : db.tracks)
        withoutGenre += track->genre ? 0 : 1;
    EXPECT_EQ(1057u, withoutGenre);
    const TrackEntry& first = *db.tracks.front();
    EXPECT_EQ(31337u, first.trackId);
    EXPECT_EQ(13, first.trackNumber);
    EXPECT_EQ(212427, first.lengthMs);
    EXPECT_EQ(L"Glenn Miller-In The Mood", Text(first.title));
    EXPECT_EQ(L"Unknown", Text(first.artist));
    EXPECT_EQ(L"Best of Big Band Swing", Text(first.album));
    EXPECT_EQ(L"Big Band", Text(first.genre));
    EXPECT_EQ(L":iPod_Control:Music:F23:RPDM.mp3", Text(first.location));
    const TrackEntry& last = *db.tracks.back();
    EXPECT_EQ(36711u, last.trackId);
    EXPECT_EQ(4, last.trackNumber);
    EXPECT_EQ(184000, last.lengthMs);
    EXPECT_EQ(L"We're Not Right", Text(last.title));
    EXPECT_EQ(L"David Gray", Text(last.artist));
    EXPECT_EQ(L"White Ladder", Text(last.album));
    EXPECT_EQ(L"(17)", Text(last.genre));
    EXPECT_EQ(L":iPod_Control:Music:F16:JUAG.mp3", Text(last.location));

    ASSERT_EQ(1u, db.playlists.size());
    EXPECT_FALSE(db.playlists[0]->name);
    EXPECT_NE(0u, db.playlists[0]->masterFlag);
    EXPECT_EQ(5375u, db.playlists[0]->trackIds.size());
}

}  // namespace
