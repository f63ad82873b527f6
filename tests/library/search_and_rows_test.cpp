// The window-free parts of the library: the search match, the choice of rows,
// the track-id index, the columns' order, the time text and the playlist label.
#include "library/media_library.h"
#include "library/track_order.h"
#include "library/views.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <tuple>

namespace {

OwnedText Own(const wchar_t* text)
{
    if (!text)
        return nullptr;
    OwnedText copy(new wchar_t[wcslen(text) + 1]);
    wcscpy(copy.get(), text);
    return copy;
}

std::unique_ptr<TrackEntry> MakeTrack(uint32_t id, const wchar_t* title, const wchar_t* artist = nullptr,
                                      const wchar_t* album = nullptr, const wchar_t* genre = nullptr)
{
    auto track = std::make_unique<TrackEntry>();
    track->trackId = id;
    track->title = Own(title);
    track->artist = Own(artist);
    track->album = Own(album);
    track->genre = Own(genre);
    return track;
}

TEST(MatchesSearch, CaseInsensitiveSubstringAnywhereInTheField)
{
    EXPECT_TRUE(MatchesSearch(L"The Quiet Harbour", L"harb"));
    EXPECT_TRUE(MatchesSearch(L"The Quiet Harbour", L"THE QUIET HARBOUR")) << "the whole field";
    EXPECT_TRUE(MatchesSearch(L"The Quiet Harbour", L"bour")) << "at the very end";
    EXPECT_TRUE(MatchesSearch(L"Éloïse Marchand", L"éLOÏSE")) << "beyond ASCII, in the user's locale";
    EXPECT_FALSE(MatchesSearch(L"The Quiet Harbour", L"Harbours")) << "longer than the rest of the field";
    EXPECT_FALSE(MatchesSearch(L"abc", L"abcd"));
    EXPECT_FALSE(MatchesSearch(L"Harbour", L"Habour"));
}

// Every window compared in the user's locale, as lstrcmpiW would: what the
// search must answer, however it skips windows.
bool MatchesAtSomeWindow(const std::wstring& field, const std::wstring& search)
{
    if (field.empty() || search.size() > field.size())
        return false;
    for (size_t start = 0; start + search.size() <= field.size(); ++start) {
        if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, field.c_str() + start, int(search.size()),
                           search.c_str(), int(search.size())) == CSTR_EQUAL)
            return true;
    }
    return false;
}

TEST(MatchesSearch, AnswersAsAComparisonAtEveryWindowDoes)
{
    const wchar_t* fields[] = {L"The Quiet Harbour", L"Straße 9", L"STRASSE", L"co-op 2", L"\u00C6sir aesir",
                               L"e\u0301clair \u00E9clair", L"\uFB01ve five", L"I\u0131\u0130i", L"x'y 7_8",
                               L"\u30CF\u30FC\u30D0\u30FC harbour", L"\x01zz z\x01 \x01-op"};
    const wchar_t* searches[] = {L"harb", L"HARBOUR", L"ss", L"\u00DF", L"coop", L"-op", L"\u00E6sir", L"aesir",
                                 L"\u00E9cl", L"e\u0301c", L"fi", L"\uFB01", L"i", L"I", L"7", L"'y",
                                 L"\u30D0\u30FC", L"Q", L"z", L" h", L"\x01z", L"-o", L"e "};
    for (const wchar_t* field : fields) {
        for (const wchar_t* search : searches)
            EXPECT_EQ(MatchesAtSomeWindow(field, search), MatchesSearch(field, search)) << field << " / " << search;
    }
}

TEST(MatchesSearch, AbsentOrEmptyFieldsNeverMatch)
{
    EXPECT_FALSE(MatchesSearch(nullptr, L"a"));
    EXPECT_FALSE(MatchesSearch(L"", L"a"));
    EXPECT_FALSE(MatchesSearch(L"", L""));
    EXPECT_TRUE(MatchesSearch(L"x", nullptr)) << "an absent search text matches everything";
}

TEST(FormatTrackTime, MinutesAndZeroPaddedSeconds)
{
    EXPECT_EQ(L"3:45", FormatTrackTime(225000));
    EXPECT_EQ(L"0:05", FormatTrackTime(5000));
    EXPECT_EQ(L"0:05", FormatTrackTime(5999)) << "truncated, not rounded";
    EXPECT_EQ(L"62:05", FormatTrackTime(62 * 60000 + 5000)) << "no hours";
    EXPECT_EQ(L"0:00", FormatTrackTime(0));
}

TEST(FormatTrackTime, NegativeLengthsCarryOneSign)
{
    EXPECT_EQ(L"-0:05", FormatTrackTime(-5000));
    EXPECT_EQ(L"-1:05", FormatTrackTime(-65000));
    EXPECT_EQ(L"-35791:23", FormatTrackTime(std::numeric_limits<int32_t>::min()));
    EXPECT_EQ(L"35791:23", FormatTrackTime(std::numeric_limits<int32_t>::max()));
}

TEST(PlaylistLabel, NameFollowedByItemCountDuplicatesIncluded)
{
    PlaylistEntry named;
    named.name = Own(L"Road Trip");
    named.trackIds = {1, 2, 2, 999};
    EXPECT_EQ(L"Road Trip (4)", PlaylistLabel(named));

    PlaylistEntry unnamed;
    unnamed.trackIds = {1, 2, 3};
    EXPECT_EQ(L" (3)", PlaylistLabel(unnamed));

    PlaylistEntry empty;
    empty.name = Own(L"");
    EXPECT_EQ(L" (0)", PlaylistLabel(empty));
}

class RowSelection : public ::testing::Test {
protected:
    void SetUp() override
    {
        tracks.push_back(MakeTrack(10, L"Open Water", L"Mira Solenne", L"Glass Harbour", L"Jazz"));
        tracks.push_back(MakeTrack(20, L"Slow Light", L"Paper Lanterns", L"Copper", L"Harbour Pop"));
        tracks.push_back(MakeTrack(30, nullptr, nullptr, nullptr, nullptr));
        tracks.push_back(MakeTrack(20, L"Second id 20", L"Idris Vane", L"Tides", L"Rock"));
        tracks.push_back(MakeTrack(40, L"harbour lights", L"Idris Vane", nullptr, nullptr));
        index.Rebuild(tracks);
    }

    TrackArray tracks;
    TrackIdIndex index;
};

TEST_F(RowSelection, RootShowsEveryTrackInLibraryOrder)
{
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4}), SelectVisibleRows(tracks, index, nullptr, L""));
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4}), SelectVisibleRows(tracks, index, nullptr, nullptr));
}

TEST_F(RowSelection, PlaylistShowsItsItemsInItsOrderWithDuplicates)
{
    PlaylistEntry playlist;
    playlist.trackIds = {40, 10, 40, 30};
    EXPECT_EQ((std::vector<int>{4, 0, 4, 2}), SelectVisibleRows(tracks, index, &playlist, L""));
}

TEST_F(RowSelection, PlaylistItemsWithoutTrackGetNoRowAndDuplicateIdsFindTheFirstTrack)
{
    PlaylistEntry playlist;
    playlist.trackIds = {999, 20, 0, 30};
    EXPECT_EQ((std::vector<int>{1, 2}), SelectVisibleRows(tracks, index, &playlist, L""));

    PlaylistEntry none;
    none.trackIds = {12345};
    EXPECT_TRUE(SelectVisibleRows(tracks, index, &none, L"").empty());
}

TEST_F(RowSelection, SearchIgnoresPlaylistAndGenre)
{
    PlaylistEntry playlist;
    playlist.trackIds = {30};
    // Track 1 has "Harbour" only in its genre; track 0 in its album, track 4 in its title.
    EXPECT_EQ((std::vector<int>{0, 4}), SelectVisibleRows(tracks, index, &playlist, L"HARBOUR"));
    EXPECT_EQ((std::vector<int>{3, 4}), SelectVisibleRows(tracks, index, nullptr, L"vane")) << "artist";
    EXPECT_TRUE(SelectVisibleRows(tracks, index, nullptr, L"Jazz").empty()) << "genre is not searched";
}

TEST_F(RowSelection, IndexAgreesWithALinearScanFromTheStart)
{
    for (uint32_t id : {10u, 20u, 30u, 40u, 41u, 0u}) {
        int linear = -1;
        for (size_t i = 0; i < tracks.size(); ++i) {
            if (tracks[i]->trackId == id) {
                linear = static_cast<int>(i);
                break;
            }
        }
        EXPECT_EQ(linear, index.Find(id)) << "id " << id;
    }
    index.Clear();
    EXPECT_EQ(-1, index.Find(10));
}

TEST(ColumnOrder, TextsAsExplorerSortsNamesNumbersByValueEmptyCellsLastBothWays)
{
    TrackArray tracks;
    const wchar_t* titles[] = {L"Track 10", L"track 9", nullptr, L"Banana", L"", L"apple", L"Track 9", L"\u00C4pfel"};
    const int32_t numbers[] = {3, 0, -2, 12, 0, 1, 0, 0};   // 0: no track number, a time of 0:00
    for (int i = 0; i < 8; ++i) {
        tracks.push_back(MakeTrack(1, titles[i]));
        tracks.back()->trackNumber = numbers[i];
        tracks.back()->lengthMs = numbers[i] * 1000;
    }
    using D = SortDirection;   // equal keys ("track 9", "Track 9") keep the order shown
    const std::tuple<MediaColumn, D, std::vector<int>> sorts[] = {
        {kColumnTitle, D::Ascending, {7, 5, 3, 1, 6, 0, 2, 4}}, {kColumnTitle, D::Descending, {0, 1, 6, 3, 5, 7, 2, 4}},
        {kColumnTrack, D::Ascending, {2, 5, 0, 3, 1, 4, 6, 7}}, {kColumnTrack, D::Descending, {3, 0, 5, 2, 1, 4, 6, 7}},
        {kColumnTime, D::Ascending, {2, 1, 4, 6, 7, 5, 0, 3}}};
    for (const auto& [column, direction, sorted] : sorts) {
        std::vector<int> rows = {0, 1, 2, 3, 4, 5, 6, 7};
        SortRows(rows, MakeColumnKeys(tracks, column), direction);
        EXPECT_EQ(sorted, rows) << column << " " << static_cast<int>(direction);
    }
}

TEST(ColumnOrder, StableOverTheRowsAsShown)
{
    TrackArray tracks;
    for (int i = 0; i < 60; ++i)
        tracks.push_back(MakeTrack(1, i % 3 ? (i % 2 ? L"A" : L"a") : L"b"));
    std::vector<int> rows, expected;
    for (int i = 59; i >= 0; --i)
        rows.push_back(i);
    for (int pass : {0, 1})   // the b's, then the a's in any case, each in the order shown
        std::copy_if(rows.begin(), rows.end(), std::back_inserter(expected), [&](int i) { return (i % 3 != 0) == pass; });
    SortRows(rows, MakeColumnKeys(tracks, kColumnTitle), SortDirection::Descending);
    EXPECT_EQ(expected, rows);
}

}  // namespace
