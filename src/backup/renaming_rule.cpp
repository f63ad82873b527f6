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
    L" <track> - inserts the track number";

namespace {

enum class Keyword { None, Album, Artist, Title, Track };

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
        if (track.trackNumber > 0)
            name += std::to_wstring(track.trackNumber);
        break;
    case Keyword::None:
        break;
    }
}

bool IsCleanedCharacter(wchar_t c)
{
    return wcschr(L"\\/:*?\"<>|", c) != nullptr && c != L'\0';
}

// "." and ".." are read by the path functions as "here" and "the parent", so
// a tag of ".." could send the copy above the chosen folder.
void NeutraliseDotComponent(std::wstring& path, size_t begin, size_t end)
{
    if (begin == end)
        return;
    for (size_t i = begin; i < end; ++i) {
        if (path[i] != L'.')
            return;
    }
    path.replace(begin, end - begin, end - begin, L'_');
}

std::wstring NeutraliseDotComponents(std::wstring path)
{
    size_t begin = 0;
    for (;;) {
        const size_t end = path.find(L'\\', begin);
        NeutraliseDotComponent(path, begin, end == std::wstring::npos ? path.size() : end);
        if (end == std::wstring::npos)
            return path;
        begin = end + 1;
    }
}

// The location comes from the iPod's database; a "/" or ":" in what follows
// its last dot would otherwise reach CreateFileW as a separator or a stream.
std::wstring SourceExtension(const wchar_t* location)
{
    if (!location)
        return std::wstring();
    return CleanFileName(PathFindExtensionW(location));
}

// Joins as PathAppendW does (leading separators of the name dropped, exactly
// one "\\" between folder and name) but without its canonicalisation, which
// reads any component that begins with ".." as a step up: under it an album
// "...And Justice" would land beside the destination folder instead of in it.
bool JoinFolderAndName(const wchar_t* folder, const std::wstring& name, wchar_t (&joined)[kPathCapacity])
{
    const size_t skip = name.find_first_not_of(L'\\');
    const wchar_t* relative = name.c_str() + (skip == std::wstring::npos ? name.size() : skip);
    if (FAILED(StringCchCopyW(joined, kPathCapacity, folder)))
        return false;
    const size_t folderLength = wcslen(joined);
    if (folderLength > 0 && joined[folderLength - 1] != L'\\' && FAILED(StringCchCatW(joined, kPathCapacity, L"\\")))
        return false;
    return SUCCEEDED(StringCchCatW(joined, kPathCapacity, relative));
}

// Where the part below the folder begins in a path that JoinFolderAndName made.
size_t JoinedFolderLength(const wchar_t* folder)
{
    const size_t length = wcslen(folder);
    return (length > 0 && folder[length - 1] != L'\\') ? length + 1 : length;
}

// An empty component (a doubled separator, or nothing after a last one) is
// read by the file system as no component at all, so it stays as it is.
std::wstring FileSystemComponents(const wchar_t* relative)
{
    std::wstring result;
    for (const wchar_t* begin = relative;;) {
        const wchar_t* end = wcschr(begin, L'\\');
        const std::wstring component = end ? std::wstring(begin, end) : std::wstring(begin);
        result += component.empty() ? component : FileSystemComponent(component);
        if (!end)
            return result;
        result += L'\\';
        begin = end + 1;
    }
}

}  // namespace

std::wstring FileSystemComponent(const std::wstring& component)
{
    if (!component.empty() && component.find_first_not_of(L'.') == std::wstring::npos)
        return std::wstring(component.size(), L'_');
    const size_t last = component.find_last_not_of(L". ");
    return last == std::wstring::npos ? std::wstring(L"_") : component.substr(0, last + 1);
}

bool FormItemDestination(const wchar_t* folder, const wchar_t* rule, const TrackEntry& track,
                         ItemDestination& destination)
{
    destination.expandedName = ApplyRenamingRule(rule, track);
    destination.onDisk[0] = L'\0';
    destination.relativeStart = 0;
    if (!FormDestinationPath(folder, destination.expandedName, track.location.get(), destination.shown))
        return false;
    // Trimming never lengthens a component, so the result fits where `shown` did.
    const size_t start = JoinedFolderLength(folder);
    const std::wstring onDisk =
        std::wstring(destination.shown, start) + FileSystemComponents(destination.shown + start);
    if (FAILED(StringCchCopyW(destination.onDisk, kPathCapacity, onDisk.c_str()))) {
        destination.shown[0] = L'\0';
        destination.onDisk[0] = L'\0';
        return false;
    }
    destination.relativeStart = start;
    return true;
}

std::wstring CleanFileName(const wchar_t* value)
{
    std::wstring cleaned = value ? value : L"";
    for (wchar_t& c : cleaned) {
        if (IsCleanedCharacter(c))
            c = L'_';
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

bool FormDestinationPath(const wchar_t* folder, const std::wstring& expandedName, const wchar_t* location,
                         wchar_t (&destination)[kPathCapacity])
{
    destination[0] = L'\0';
    if (!folder)
        return false;
    wchar_t path[kPathCapacity];
    if (!JoinFolderAndName(folder, NeutraliseDotComponents(expandedName), path) ||
        FAILED(StringCchCatW(path, kPathCapacity, SourceExtension(location).c_str())))
        return false;
    return SUCCEEDED(StringCchCopyW(destination, kPathCapacity, path));
}
