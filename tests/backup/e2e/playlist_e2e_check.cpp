// playlist_e2e_check TRACKS MEDIA_BYTES DEST_FOLDER LOG_FILE RULE
// After Savanto.exe, with playlist files switched on, copied every track of a
// sample iPod made with make_sample_ipod --tracks TRACKS --media-bytes
// MEDIA_BYTES --awkward under RULE: every playlist of the tree has
// "<name>.m3u8" (UTF-8 without a byte-order mark, CR LF lines) listing each of
// its items in order under the name the copy gave it (shortened, numbered,
// mended), and every path in it names a file byte-identical to that item's
// source; the master
// and smart playlists have none; the transfer log ends with one "playlist: "
// line per file. Prints what differs; exit code 0 when all matched.
#include "e2e_lines.h"
#include "ipodgen/sample_ipod.h"

#include <windows.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

int g_failures = 0;

void Fail(const std::wstring& what)
{
    fwprintf(stderr, L"%ls\n", what.c_str());
    ++g_failures;
}

std::wstring FromUtf8(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                          nullptr, 0);
    if (units <= 0)
        return L"<not UTF-8>";
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], units);
    return wide;
}

std::map<uint32_t, std::wstring> g_paths;   // by track id: where its copy is

void CheckEntry(const std::wstring& folder, const std::wstring& info, const std::wstring& path,
                const ipodgen::SampleTrack& track, const std::wstring& where)
{
    if (folder + L"\\" + path != g_paths[track.trackId])
        Fail(where + L": '" + path + L"', expected '" + g_paths[track.trackId] + L"'");
    const std::wstring expectedInfo =
        L"#EXTINF:" + std::to_wstring(track.lengthMs / 1000) + L"," + track.artist + L" - " + track.title;
    if (info != expectedInfo)
        Fail(where + L": '" + info + L"', expected '" + expectedInfo + L"'");
    if (path.empty() || path[0] == L'\\' || path.find_first_of(L":/") != std::wstring::npos)
        Fail(where + L": '" + path + L"' is not a path below the folder with backslashes");
    std::vector<BYTE> copied;
    if (!ipodgen::ReadBytes(folder + L"\\" + path, &copied))
        Fail(where + L": no file '" + path + L"'");
    else if (copied != ipodgen::SampleMediaContent(track))
        Fail(where + L": '" + path + L"' differs from the source of track " + std::to_wstring(track.trackId));
}

void CheckPlaylist(const std::wstring& folder, const ipodgen::SamplePlaylist& playlist,
                   const std::map<uint32_t, const ipodgen::SampleTrack*>& tracks)
{
    const std::wstring file = playlist.name + L".m3u8";
    std::vector<BYTE> bytes;
    if (!ipodgen::ReadBytes(folder + L"\\" + file, &bytes))
        return Fail(L"missing: " + file);
    const std::string utf8(bytes.begin(), bytes.end());
    if (utf8.compare(0, 3, "\xEF\xBB\xBF") == 0)
        Fail(file + L" starts with a byte-order mark");
    const std::vector<std::wstring> lines = SplitCrLfLines(FromUtf8(utf8));
    if (lines.empty() || lines[0] != L"#EXTM3U")
        return Fail(file + L" does not begin with #EXTM3U");
    if (lines.size() != 1 + 2 * playlist.trackIds.size())
        return Fail(file + L": " + std::to_wstring(lines.size()) + L" lines for " +
                    std::to_wstring(playlist.trackIds.size()) + L" items");
    for (size_t i = 0; i < playlist.trackIds.size(); ++i)
        CheckEntry(folder, lines[1 + 2 * i], lines[2 + 2 * i], *tracks.at(playlist.trackIds[i]),
                   file + L" item " + std::to_wstring(i + 1));
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 6) {
        fwprintf(stderr, L"usage: playlist_e2e_check TRACKS MEDIA_BYTES DEST_FOLDER LOG_FILE RULE\n");
        return 2;
    }
    const auto tracks = ipodgen::SampleTracks(_wtoi(argv[1]), static_cast<uint32_t>(_wtoi(argv[2])), true);
    const std::wstring folder = argv[3];
    const std::vector<std::wstring> paths = SampleCopyPaths(tracks, folder, argv[5]);
    std::map<uint32_t, const ipodgen::SampleTrack*> byId;
    for (size_t i = 0; i < tracks.size(); ++i) {
        byId[tracks[i].trackId] = &tracks[i];
        g_paths[tracks[i].trackId] = paths[i];
    }

    std::vector<std::wstring> expectedLogTail;
    int written = 0;
    for (const auto& playlist : ipodgen::SamplePlaylists(tracks)) {
        if (playlist.smart) {
            if (GetFileAttributesW((folder + L"\\" + playlist.name + L".m3u8").c_str()) != INVALID_FILE_ATTRIBUTES)
                Fail(L"a file for the smart playlist " + playlist.name);
            continue;
        }
        CheckPlaylist(folder, playlist, byId);
        expectedLogTail.push_back(L"playlist: " + folder + L"\\" + playlist.name + L".m3u8");
        ++written;
    }
    if (GetFileAttributesW((folder + L"\\Savanto Sample iPod.m3u8").c_str()) != INVALID_FILE_ATTRIBUTES)
        Fail(L"a file for the master playlist");

    const std::vector<std::wstring> log = ReadUtf16Lines(argv[4]);
    const std::vector<std::wstring> tail(log.size() >= expectedLogTail.size() ? log.end() - expectedLogTail.size()
                                                                               : log.begin(),
                                         log.end());
    if (log.size() != tracks.size() + expectedLogTail.size() || tail != expectedLogTail)
        Fail(L"transfer_log.txt: " + std::to_wstring(log.size()) + L" lines, its last ones are not the playlists'");
    wprintf(L"%d playlist files checked, %zu log lines, %d failures\n", written, log.size(), g_failures);
    return g_failures == 0 ? 0 : 1;
}
