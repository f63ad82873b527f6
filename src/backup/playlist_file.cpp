#include "backup/playlist_file.h"

#include "backup/destination_path.h"
#include "backup/renaming_rule.h"

#include <windows.h>

#include <algorithm>
#include <climits>

namespace {

// The defaults the renaming rule gives absent tags, so a playlist entry reads
// like the name of its file.
const wchar_t* TagOr(const OwnedText& value, const wchar_t* whenAbsent) { return value ? value.get() : whenAbsent; }

std::wstring WithoutLineBreaks(std::wstring text)
{
    for (wchar_t& c : text) {
        if (c == L'\r' || c == L'\n')
            c = L' ';
    }
    return text;
}

bool HoldsLineBreak(const wchar_t* text) { return wcspbrk(text, L"\r\n") != nullptr; }

}  // namespace

std::vector<PlaylistSource> CollectPlaylistSources(const std::vector<std::unique_ptr<PlaylistEntry>>& playlists,
                                                   const std::function<int(uint32_t)>& findPosition)
{
    std::vector<PlaylistSource> sources;
    for (const auto& playlist : playlists) {
        if (!playlist || playlist->masterFlag != 0 || playlist->kind == kPlaylistSmart)
            continue;
        PlaylistSource source;
        source.name = playlist->name ? playlist->name.get() : L"";
        source.persistentId = playlist->persistentId;
        source.items.reserve(playlist->trackIds.size());
        for (uint32_t trackId : playlist->trackIds)
            source.items.push_back(findPosition(trackId));
        sources.push_back(std::move(source));
    }
    return sources;
}

int PlaylistSeconds(int32_t lengthMs) { return lengthMs > 0 ? lengthMs / 1000 : -1; }

std::wstring PlaylistInfoLine(const TrackEntry& track)
{
    return L"#EXTINF:" + std::to_wstring(PlaylistSeconds(track.lengthMs)) + L"," +
           WithoutLineBreaks(TagOr(track.artist, kUnknownArtist)) + L" - " +
           WithoutLineBreaks(TagOr(track.title, kUntitled));
}

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty() || text.size() > INT_MAX / 4)
        return std::string();
    const int units = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return std::string();
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), units, &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

std::wstring PlaylistPathLine(const wchar_t* relative)
{
    return relative[0] == L'#' ? std::wstring(L".\\") + relative : std::wstring(relative);
}

std::wstring PlaylistFileText(const PlaylistSource& playlist, const std::vector<const TrackEntry*>& tracks,
                              const std::vector<TrackCopy>& copies)
{
    std::wstring text;
    for (int position : playlist.items) {
        if (position < 0 || static_cast<size_t>(position) >= tracks.size() ||
            static_cast<size_t>(position) >= copies.size())
            continue;
        const TrackCopy& copy = copies[static_cast<size_t>(position)];
        const wchar_t* relative = copy.onDisk.c_str() + std::min(copy.relativeStart, copy.onDisk.size());
        // A path holding a line break cannot be written as one line.
        if (!copy.exists || HoldsLineBreak(relative))
            continue;
        text += PlaylistInfoLine(*tracks[static_cast<size_t>(position)]) + L"\r\n" + PlaylistPathLine(relative) +
                L"\r\n";
    }
    return text.empty() ? text : L"#EXTM3U\r\n" + text;
}

std::wstring PlaylistFileStem(const wchar_t* playlistName)
{
    return FileSystemComponent(CleanFileName(playlistName));
}
