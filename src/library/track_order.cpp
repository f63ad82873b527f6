#include "library/track_order.h"

#include <windows.h>

#include <algorithm>
#include <climits>
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

// Explorer's order of names. LINGUISTIC_IGNORECASE and SORT_DIGITSASNUMBERS
// need Windows 7; Wine 8 honours them in sort keys too.
constexpr DWORD kSortKeyFlags = LCMAP_SORTKEY | LINGUISTIC_IGNORECASE | SORT_DIGITSASNUMBERS;

// Sort keys of the distinct texts, end to end in one buffer: a key per track
// would cost a heap block each, and artists, albums and genres repeat.
struct DistinctTexts {
    std::vector<size_t> keyStart = {0};   // one more than the texts: the end of the last key
    std::vector<uint8_t> keyBytes;

    uint32_t Count() const { return static_cast<uint32_t>(keyStart.size() - 1); }
    std::string_view Key(size_t i) const
    {
        return {reinterpret_cast<const char*>(keyBytes.data()) + keyStart[i], keyStart[i + 1] - keyStart[i]};
    }
};

int MapSortKey(std::wstring_view text, uint8_t* key, int capacity)
{
    return LCMapStringEx(LOCALE_NAME_USER_DEFAULT, kSortKeyFlags, text.data(), static_cast<int>(text.size()),
                         reinterpret_cast<wchar_t*>(key), capacity, nullptr, nullptr, 0);
}

void AppendSortKey(DistinctTexts& distinct, std::wstring_view text)
{
    // Most keys fit in a buffer on the stack: one call makes them. A longer
    // one is measured first.
    uint8_t key[256];
    if (text.size() > static_cast<size_t>(INT_MAX / 8))
        text = text.substr(0, INT_MAX / 8);
    int made = MapSortKey(text, key, sizeof(key));
    if (made > 0) {
        distinct.keyBytes.insert(distinct.keyBytes.end(), key, key + made);
    } else if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        const int needed = MapSortKey(text, nullptr, 0);
        const size_t start = distinct.keyBytes.size();
        distinct.keyBytes.resize(start + static_cast<size_t>(std::max(needed, 0)));
        made = needed > 0 ? MapSortKey(text, distinct.keyBytes.data() + start, needed) : 0;
        distinct.keyBytes.resize(start + static_cast<size_t>(std::max(made, 0)));
    }
    // A key that could not be made stays empty: the text still gets a place,
    // beside the others that failed.
    distinct.keyStart.push_back(distinct.keyBytes.size());
}

// Each track's rank among the distinct texts of the column, in key order;
// equal keys ("abc", "ABC") share a rank.
ColumnKeys TextKeys(const std::vector<std::unique_ptr<TrackEntry>>& tracks, const OwnedText TrackEntry::*field)
{
    ColumnKeys keys(tracks.size(), kEmptyCell);
    DistinctTexts distinct;
    std::unordered_map<std::wstring_view, uint32_t> seen;
    seen.reserve(tracks.size());
    std::vector<uint32_t> textOfTrack(tracks.size(), 0);
    for (size_t i = 0; i < tracks.size(); ++i) {
        const wchar_t* text = ((*tracks[i]).*field).get();
        if (!text || !text[0])
            continue;
        const auto [entry, added] = seen.emplace(std::wstring_view(text), distinct.Count());
        if (added)
            AppendSortKey(distinct, entry->first);
        textOfTrack[i] = entry->second;
        keys[i] = 0;   // not empty: ranked below
    }
    std::vector<uint32_t> byKey(distinct.Count());
    std::iota(byKey.begin(), byKey.end(), 0u);
    std::sort(byKey.begin(), byKey.end(),
              [&](uint32_t a, uint32_t b) { return distinct.Key(a) < distinct.Key(b); });
    std::vector<uint32_t> rank(distinct.Count(), 0);
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
