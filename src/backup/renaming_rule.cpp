#include "backup/renaming_rule.h"

#include <string>

#include <shlwapi.h>
#include <strsafe.h>

const wchar_t kRenamingRuleHelp[] =
    L"You may enter a renaming rule string for the path and name for your backup files.\n"
    L"You can use \\ or / to delimit a path, and the following keywords:\n"
    L"\n"
    L" <title> - insets the song title\n"
    L" <artist> - inserts the artist name\n"
    L" <album> - inserts the album name\n"
    L" <track> - inserts the track number\n"
    L" <albumartist> - inserts the album artist, else the artist name\n"
    L" <year> - inserts the year\n"
    L" <disc> - inserts the disc number\n"
    L" <composer> - inserts the composer name\n"
    L" <kind> - inserts Music, Podcasts, Audiobooks, Movies...";

namespace {

enum class Keyword { None, Album, Artist, Title, Track, AlbumArtist, Year, Disc, Composer, Kind };

struct KeywordText {
    const wchar_t* text;
    size_t length;
    Keyword keyword;
};

// Tried in this order at every "<".
constexpr KeywordText kKeywords[] = {
    {L"<album>", 7, Keyword::Album},
    {L"<artist>", 8, Keyword::Artist},
    {L"<title>", 7, Keyword::Title},
    {L"<track>", 7, Keyword::Track},
    {L"<albumartist>", 13, Keyword::AlbumArtist},
    {L"<year>", 6, Keyword::Year},
    {L"<disc>", 6, Keyword::Disc},
    {L"<composer>", 10, Keyword::Composer},
    {L"<kind>", 6, Keyword::Kind},
};

struct KindBit {
    uint32_t bit;
    TrackKind kind;
};

// Tried in this order; the first bit set decides.
constexpr KindBit kKindBits[] = {
    {kMediaAudiobook, TrackKind::Audiobook}, {kMediaPodcast, TrackKind::Podcast},
    {kMediaTvShow, TrackKind::TvShow},       {kMediaMusicVideo, TrackKind::MusicVideo},
    {kMediaMovie, TrackKind::Movie},         {kMediaITunesU, TrackKind::ITunesU},
    {kMediaVoiceMemo, TrackKind::VoiceMemo}, {kMediaRingtone, TrackKind::Ringtone},
};

// Only A to Z fold: rules saved by earlier versions must keep matching the
// same way, whatever the user's locale.
wchar_t FoldAsciiLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// The rule's terminator differs from every keyword character, so the
// comparison never reads past the rule's end.
bool StartsWithKeyword(const wchar_t* at, const KeywordText& keyword)
{
    for (size_t i = 0; i < keyword.length; ++i) {
        if (FoldAsciiLetter(at[i]) != keyword.text[i])
            return false;
    }
    return true;
}

const KeywordText* FindKeyword(const wchar_t* at)
{
    for (const KeywordText& keyword : kKeywords) {
        if (StartsWithKeyword(at, keyword))
            return &keyword;
    }
    return nullptr;
}

void AppendTag(std::wstring& name, const OwnedText& value, const wchar_t* whenAbsent)
{
    name += value ? CleanFileName(value.get()) : std::wstring(whenAbsent);
}

void AppendNumber(std::wstring& name, int32_t value)
{
    if (value > 0)
        name += std::to_wstring(value);
}

void AppendKeyword(std::wstring& name, Keyword keyword, const TrackEntry& track)
{
    switch (keyword) {
    case Keyword::Album:
        AppendTag(name, track.album, kUnknownAlbum);
        break;
    case Keyword::Artist:
        AppendTag(name, track.artist, kUnknownArtist);
        break;
    case Keyword::Title:
        AppendTag(name, track.title, kUntitled);
        break;
    case Keyword::Track:
        AppendNumber(name, track.trackNumber);
        break;
    case Keyword::AlbumArtist:
        // Compilations are kept together under their album artist.
        AppendTag(name, track.albumArtist ? track.albumArtist : track.artist, kUnknownArtist);
        break;
    case Keyword::Year:
        AppendNumber(name, track.year);
        break;
    case Keyword::Disc:
        AppendNumber(name, track.discNumber);
        break;
    case Keyword::Composer:
        AppendTag(name, track.composer, kUnknownComposer);
        break;
    case Keyword::Kind:
        name += CleanFileName(KindName(KindOfTrack(track.mediaType)));
        break;
    case Keyword::None:
        break;
    }
}

// Control characters are refused in names by Windows and Wine alike.
bool IsCleanedCharacter(wchar_t c)
{
    return (c >= 0x01 && c <= 0x1F) || (wcschr(L"\\/:*?\"<>|", c) != nullptr && c != L'\0');
}

// Left alone, half a pair reaches the copy's name as it is, while the playlist
// and library files (UTF-8) cannot write it, and so would name another file.
bool IsHalfOfAPair(wchar_t c) { return IS_HIGH_SURROGATE(c) || IS_LOW_SURROGATE(c); }

}  // namespace

TrackKind KindOfTrack(uint32_t mediaType)
{
    for (const KindBit& kindBit : kKindBits) {
        if (mediaType & kindBit.bit)
            return kindBit.kind;
    }
    return TrackKind::Music;
}

const wchar_t* KindName(TrackKind kind)
{
    switch (kind) {
    case TrackKind::Audiobook: return L"Audiobooks";
    case TrackKind::Podcast: return L"Podcasts";
    case TrackKind::TvShow: return L"TV Shows";
    case TrackKind::MusicVideo: return L"Music Videos";
    case TrackKind::Movie: return L"Movies";
    case TrackKind::ITunesU: return L"iTunes U";
    case TrackKind::VoiceMemo: return L"Voice Memos";
    case TrackKind::Ringtone: return L"Ringtones";
    case TrackKind::Music: break;
    }
    return L"Music";
}

std::wstring FileSystemComponent(const std::wstring& component)
{
    if (!component.empty() && component.find_first_not_of(L'.') == std::wstring::npos)
        return std::wstring(component.size(), L'_');
    const size_t last = component.find_last_not_of(L". ");
    return last == std::wstring::npos ? std::wstring(L"_") : component.substr(0, last + 1);
}

std::wstring CleanFileName(const wchar_t* value)
{
    std::wstring cleaned = value ? value : L"";
    for (size_t i = 0; i < cleaned.size(); ++i) {
        if (IS_HIGH_SURROGATE(cleaned[i]) && i + 1 < cleaned.size() && IS_LOW_SURROGATE(cleaned[i + 1]))
            ++i;   // a pair is one character and stays
        else if (IsCleanedCharacter(cleaned[i]) || IsHalfOfAPair(cleaned[i]))
            cleaned[i] = L'_';
    }
    return cleaned;
}

std::wstring ApplyRenamingRule(const wchar_t* rule, const TrackEntry& track)
{
    std::wstring name;
    if (!rule)
        return name;
    for (const wchar_t* at = rule; *at;) {
        const KeywordText* keyword = *at == L'<' ? FindKeyword(at) : nullptr;
        if (keyword) {
            AppendKeyword(name, keyword->keyword, track);
            at += keyword->length;
            continue;
        }
        name += *at == L'/' ? L'\\' : *at;
        ++at;
    }
    return name;
}
