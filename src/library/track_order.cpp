#include "library/track_order.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string_view>
#include <unordered_map>

namespace {

const OwnedText TrackEntry::*TextOf(MediaColumn column)
{
    switch (column) {
    case kColumnTitle:
        return &TrackEntry::title;
    case kColumnArtist:
        return &TrackEntry::artist;
    case kColumnAlbum:
        return &TrackEntry::album;
    default:
        return &TrackEntry::genre;
    }
}

// Explorer's order of names. Each flag is Windows 7's or later; Wine 8 honours
// them in sort keys too.
constexpr DWORD kSortKeyFlags = LCMAP_SORTKEY | LINGUISTIC_IGNORECASE | SORT_DIGITSASNUMBERS;

// Sort keys of the distinct texts, end to end in one buffer: a key per track
// would cost a heap block each, and artists, albums and genres repeat.
struct DistinctTexts {
    std::vector<std::wstring_view> texts;
    std::vector<size_t> keyStart;   // one more than texts: the end of the last key
    std::vector<uint8_t> keyBytes;

    std::string_view Key(size_t i) const
    {
        return {reinterpret_cast<const char*>(keyBytes.data()) + keyStart[i], keyStart[i + 1] - keyStart[i]};
    }
};

void AppendSortKey(DistinctTexts& distinct, std::wstring_view text)
{
    const int length = static_cast<int>(std::min<size_t>(text.size(), INT_MAX / 4));
    const int needed = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, kSortKeyFlags, text.data(), length, nullptr, 0,
                                     nullptr, nullptr, 0);
    const size_t start = distinct.keyBytes.size();
    if (needed > 0) {
        distinct.keyBytes.resize(start + static_cast<size_t>(needed));
        const int made = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, kSortKeyFlags, text.data(), length,
                                       reinterpret_cast<wchar_t*>(distinct.keyBytes.data() + start), needed,
                                       nullptr, nullptr, 0);
        // A failed key compares as the empty key: the text still gets a row
        // place, beside the others that failed.
        distinct.keyBytes.resize(start + static_cast<size_t>(std::max(made, 0)));
    }
    distinct.keyStart.push_back(distinct.keyBytes.size());
}

// Each track's rank among the distinct texts of the column, in key order;
// equal keys ("abc", "ABC") share a rank.
ColumnKeys TextKeys(const std::vector<std::unique_ptr<TrackEntry>>& tracks, const OwnedText TrackEntry::*field)
{
    ColumnKeys keys(tracks.size(), kEmptyCell);
    DistinctTexts distinct;
    distinct.keyStart.push_back(0);
    std::unordered_map<std::wstring_view, uint32_t> seen;
    std::vector<uint32_t> textOfTrack(tracks.size(), 0);
    for (size_t i = 0; i < tracks.size(); ++i) {
        const wchar_t* text = ((*tracks[i]).*field).get();
        if (!text || !text[0])
            continue;
        const auto [entry, added] = seen.emplace(std::wstring_view(text), static_cast<uint32_t>(distinct.texts.size()));
        if (added) {
            distinct.texts.push_back(entry->first);
            AppendSortKey(distinct, entry->first);
        }
        textOfTrack[i] = entry->second;
        keys[i] = 0;   // not empty: ranked below
    }
    std::vector<uint32_t> byKey(distinct.texts.size());
    std::iota(byKey.begin(), byKey.end(), 0u);
    std::sort(byKey.begin(), byKey.end(),
              [&](uint32_t a, uint32_t b) { return distinct.Key(a) < distinct.Key(b); });
    std::vector<uint32_t> rank(distinct.texts.size(), 0);
    for (size_t i = 1; i < byKey.size(); ++i)
        rank[byKey[i]] = rank[byKey[i - 1]] + (distinct.Key(byKey[i]) != distinct.Key(byKey[i - 1]) ? 1 : 0);
    for (size_t i = 0; i < tracks.size(); ++i) {
        if (keys[i] != kEmptyCell)
            keys[i] = rank[textOfTrack[i]];
    }
    return keys;
}

// A signed number as a key that orders the same way.
uint64_t NumberKey(int32_t value) { return static_cast<uint64_t>(static_cast<int64_t>(value) + INT32_MAX + 1); }

}  // namespace

ColumnKeys MakeColumnKeys(const std::vector<std::unique_ptr<TrackEntry>>& tracks, MediaColumn column)
{
    if (column == kColumnTime || column == kColumnTrack) {
        ColumnKeys keys(tracks.size());
        for (size_t i = 0; i < tracks.size(); ++i) {
            const TrackEntry& track = *tracks[i];
            keys[i] = column == kColumnTime ? NumberKey(track.lengthMs)
                      : track.trackNumber == 0 ? kEmptyCell
                                               : NumberKey(track.trackNumber);
        }
        return keys;
    }
    return TextKeys(tracks, TextOf(column));
}

void SortRows(std::vector<int>& rows, const ColumnKeys& keys, SortDirection direction)
{
    if (direction == SortDirection::None)
        return;
    // Keys are below 2^33; descending turns them round below kEmptyCell, so
    // that empty cells stay last.
    const bool descending = direction == SortDirection::Descending;
    auto orderKey = [&](int row) {
        const uint64_t key = keys[static_cast<size_t>(row)];
        return key == kEmptyCell || !descending ? key : (uint64_t{1} << 34) - key;
    };
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) { return orderKey(a) < orderKey(b); });
}

SortDirection NextSortDirection(bool sameColumn, SortDirection current)
{
    if (!sameColumn || current == SortDirection::None)
        return SortDirection::Ascending;
    return current == SortDirection::Ascending ? SortDirection::Descending : SortDirection::None;
}
