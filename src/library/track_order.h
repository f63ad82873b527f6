#pragma once
// The order of the media list's columns: one sort key per track and column,
// made once and compared as plain numbers, and the stable sort of the rows
// shown by one column.
#include "db/records.h"

#include <cstdint>
#include <memory>
#include <vector>

// The media list's columns, in their order.
enum MediaColumn { kColumnTitle, kColumnArtist, kColumnAlbum, kColumnGenre, kColumnTime, kColumnTrack, kColumnCount };

enum class SortDirection { None, Ascending, Descending };

// Each track's key for `column`, by position: texts compare as the user's
// locale sorts names (case ignored, "Track 9" before "Track 10"), Time by
// length, Track by number. An empty cell (no text, track number 0) gets
// kEmptyCell, which sorts last in both directions.
using ColumnKeys = std::vector<uint64_t>;
constexpr uint64_t kEmptyCell = UINT64_MAX;
ColumnKeys MakeColumnKeys(const std::vector<std::unique_ptr<TrackEntry>>& tracks, MediaColumn column);

// Sorts `rows` (track positions) by their tracks' keys, keeping the order of
// rows whose keys are equal.
void SortRows(std::vector<int>& rows, const ColumnKeys& keys, SortDirection direction);

// Where a click on a heading goes from: another column starts ascending; the
// sorted one goes ascending, descending, then back to no order.
SortDirection NextSortDirection(bool sameColumn, SortDirection current);
