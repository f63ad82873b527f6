#pragma once
// Turns the user's renaming rule and one track's tags into the relative name
// of its copy.
#include <windows.h>

#include <string>

#include "db/records.h"
#include "settings/settings.h"

// The Preferences dialog shows this under the caption "Renaming Rule help".
extern const wchar_t kRenamingRuleHelp[];

// What the rule writes for an absent tag. The misspelling is deliberate:
// existing backups are named with it, and the copy job skips files whose
// names it finds already there.
constexpr wchar_t kUnknownAlbum[] = L"uknown album";
constexpr wchar_t kUnknownArtist[] = L"uknown artist";
constexpr wchar_t kUntitled[] = L"untitled";
constexpr wchar_t kUnknownComposer[] = L"unknown composer";

// What a track is, from its media type bits. The first kind whose bit is set
// wins, in this order, so a video podcast is a podcast and a TV show also
// marked as a music video is a TV show; none of them (0 included, which older
// databases hold) is music.
enum class TrackKind { Audiobook, Podcast, TvShow, MusicVideo, Movie, ITunesU, VoiceMemo, Ringtone, Music };
TrackKind KindOfTrack(uint32_t mediaType);
// The folder name <kind> inserts: "Audiobooks", "Podcasts", "TV Shows"...
const wchar_t* KindName(TrackKind kind);

// Replaces the nine characters a file name cannot hold, the control
// characters U+0001 to U+001F and every surrogate without its other half
// with "_"; never changes the length. A null value gives an empty text.
std::wstring CleanFileName(const wchar_t* value);

// The expanded rule; FormItemDestination (destination_path.h) makes it a
// path that fits. A null rule expands to nothing.
std::wstring ApplyRenamingRule(const wchar_t* rule, const TrackEntry& track);

// One component of a name as the file system is handed it. Windows drops
// trailing dots and spaces from the last component of a path but only one
// dot from an inner one, so a folder made as "Dots..." (stored "Dots") is
// later looked for as "Dots..": without them, both agree. Nothing left gives
// "_"; a component made only of dots becomes as many underscores.
std::wstring FileSystemComponent(const std::wstring& component);
