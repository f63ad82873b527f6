// playlist_e2e_check TRACKS MEDIA_BYTES DEST_FOLDER LOG_FILE RULE LIBRARY_LINES
// After Savanto.exe, with playlist and library files switched on, copied every
// track of a sample iPod made with make_sample_ipod --tracks TRACKS
// --media-bytes MEDIA_BYTES --awkward under RULE: every playlist of the tree
// has "<name>.m3u8" (UTF-8 without a byte-order mark, CR LF lines) listing
// each of its items in order under the name the copy gave it (shortened,
// numbered, mended), and every path in it names a file byte-identical to that
// item's source; the master and smart playlists have none. LIBRARY_LINES is
// the library file as library_dump.py read it: every track, with its tags and
// its history merged from the Play Counts file, and every location names a
// byte-identical copy; the playlists list the items in order. The transfer
// log ends with one "playlist: " line per file, the "library: " line and the
// "index: " line; the index gives every copy to its track.
// With DROPPED, the run was a second one, after the DROPPED-th track (from 1)
// left the iPod: every copy keeps the name the first run gave it, and the
// copy of the track that left is still its own and still indexed.
// Prints what differs; exit code 0 when all matched.
#include "backup/backup_index.h"
#include "e2e_lines.h"
#include "ipodgen/sample_ipod.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
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

std::vector<std::wstring> SplitTabs(const std::wstring& line)
{
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (size_t end; (end = line.find(L'\t', start)) != std::wstring::npos; start = end + 1)
        fields.push_back(line.substr(start, end - start));
    fields.push_back(line.substr(start));
    return fields;
}

std::wstring Hex64(uint64_t value)
{
    wchar_t text[20];
    swprintf(text, 20, L"%08lX%08lX", static_cast<unsigned long>(value >> 32), static_cast<unsigned long>(value));
    return text;
}

// What XML 1.0 can hold of a tag: the library file drops control characters.
std::wstring WithoutControls(std::wstring text)
{
    text.erase(std::remove_if(text.begin(), text.end(), [](wchar_t c) { return c < 0x20 && c != L'\t'; }), text.end());
    return text;
}

// A track's line against the sample it came from, merged with its Play Counts entry.
void CheckLibraryTrack(const std::vector<std::wstring>& f, const std::vector<ipodgen::SampleTrack>& tracks,
                       const std::vector<ipodgen::SamplePlays>& plays)
{
    const size_t position = f.size() == 14 ? static_cast<size_t>(_wtoi(f[1].c_str()) - 1) : tracks.size();
    if (position >= tracks.size())
        return Fail(L"library: a track line of " + std::to_wstring(f.size()) + L" fields: " + f[0]);
    const ipodgen::SampleTrack& t = tracks[position];
    const ipodgen::SamplePlays& p = plays[position];
    const std::vector<std::wstring> expected = {
        f[0], f[1], WithoutControls(t.title), t.artist, t.album, std::to_wstring(t.playCount + p.plays),
        std::to_wstring(p.lastPlayed ? p.lastPlayed : t.lastPlayed), std::to_wstring(p.rating),
        std::to_wstring(p.skips), std::to_wstring(t.dateAdded), std::to_wstring(p.lastSkipped),
        Hex64(t.persistentId), std::to_wstring(t.fileBytes), f[13]};
    for (size_t i = 2; i < expected.size(); ++i) {
        if (f[i] != expected[i])
            Fail(L"library: track " + f[1] + L" field " + std::to_wstring(i) + L" '" + f[i] + L"', expected '" +
                 expected[i] + L"'");
    }
    std::vector<BYTE> copied;
    if (!ipodgen::ReadBytes(f[13], &copied) || copied != ipodgen::SampleMediaContent(t))
        Fail(L"library: track " + f[1] + L" locates '" + f[13] + L"', not a copy of its source");
}

std::wstring Positions(const std::vector<uint32_t>& trackIds, const std::map<uint32_t, size_t>& positions)
{
    std::wstring ids;
    for (uint32_t id : trackIds)
        ids += (ids.empty() ? L"" : L",") + std::to_wstring(positions.at(id) + 1);
    return ids;
}

void CheckLibrary(const std::wstring& linesPath, const std::wstring& folder,
                  const std::vector<ipodgen::SampleTrack>& tracks)
{
    std::vector<BYTE> bytes;
    if (!ipodgen::ReadBytes(linesPath, &bytes))
        return Fail(L"no library lines");
    std::map<uint32_t, size_t> positions;
    std::vector<uint32_t> allIds;
    for (size_t i = 0; i < tracks.size(); ++i)
        positions[tracks[i].trackId] = i, allIds.push_back(tracks[i].trackId);
    std::vector<std::wstring> expectedPlaylists = {L"playlist\tLibrary\t1\t" + Positions(allIds, positions)};
    for (const auto& playlist : ipodgen::SamplePlaylists(tracks)) {
        if (!playlist.smart)
            expectedPlaylists.push_back(L"playlist\t" + playlist.name + L"\t0\t" + Positions(playlist.trackIds, positions));
    }
    const auto plays = ipodgen::SamplePlayCounts(tracks);
    std::vector<std::wstring> playlists;
    size_t trackLines = 0;
    for (const std::wstring& line : SplitCrLfLines(FromUtf8(std::string(bytes.begin(), bytes.end())))) {
        const std::vector<std::wstring> f = SplitTabs(line);
        if (f[0] == L"folder" && (f.size() != 2 || f[1] != folder + L"\\"))
            Fail(L"library: Music Folder '" + line + L"'");
        else if (f[0] == L"track")
            CheckLibraryTrack(f, tracks, plays), ++trackLines;
        else if (f[0] == L"playlist")
            playlists.push_back(line);
    }
    if (trackLines != tracks.size())
        Fail(L"library: " + std::to_wstring(trackLines) + L" tracks");
    if (playlists != expectedPlaylists)
        Fail(L"library: the playlists are not the sample's");
}

// The index lists every copy of the first run, with its track's id: the
// dropped track's too, whose name stays taken.
void CheckIndex(const std::wstring& folder, const std::vector<ipodgen::SampleTrack>& everyTrack,
                const std::vector<std::wstring>& paths)
{
    const BackupIndex index = ReadBackupIndex(folder);
    if (index.state != IndexState::kRead)
        return Fail(L"no readable index in " + folder);
    std::map<std::wstring, uint64_t> owners;
    for (const IndexLine& line : index.lines)
        owners[folder + L"\\" + line.path] = line.persistentId;
    for (size_t i = 0; i < everyTrack.size(); ++i) {
        const auto owner = owners.find(paths[i]);
        if (owner == owners.end() || owner->second != everyTrack[i].persistentId)
            Fail(L"index: no line gives '" + paths[i] + L"' to its track");
    }
    if (index.lines.size() != everyTrack.size())
        Fail(L"index: " + std::to_wstring(index.lines.size()) + L" lines");
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 7 && argc != 8) {
        fwprintf(stderr, L"usage: playlist_e2e_check TRACKS MEDIA_BYTES DEST_FOLDER LOG_FILE RULE LIBRARY_LINES "
                         L"[DROPPED]\n");
        return 2;
    }
    ipodgen::SampleIpodOptions options;
    options.trackCount = _wtoi(argv[1]);
    options.mediaBytes = static_cast<uint32_t>(_wtoi(argv[2]));
    options.awkwardNames = true;
    const auto everyTrack = ipodgen::SampleTracksOf(options);   // as the first run copied them
    options.droppedTrack = argc == 8 ? _wtoi(argv[7]) : 0;
    const auto tracks = ipodgen::SampleTracksOf(options);
    const std::wstring folder = argv[3];
    // Every copy keeps the name the first run gave it, whichever tracks left since.
    const std::vector<std::wstring> paths = SampleCopyPaths(everyTrack, folder, argv[5]);
    std::map<uint32_t, const ipodgen::SampleTrack*> byId;
    for (size_t i = 0; i < everyTrack.size(); ++i)
        g_paths[everyTrack[i].trackId] = paths[i];
    for (const ipodgen::SampleTrack& track : tracks)
        byId[track.trackId] = &track;
    if (options.droppedTrack > 0) {
        const size_t dropped = static_cast<size_t>(options.droppedTrack - 1);
        std::vector<BYTE> copied;
        if (!ipodgen::ReadBytes(paths[dropped], &copied) || copied != ipodgen::SampleMediaContent(everyTrack[dropped]))
            Fail(L"the copy of the track that left, '" + paths[dropped] + L"', is not its own any more");
    }
    CheckIndex(folder, everyTrack, paths);

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
    CheckLibrary(argv[6], folder, tracks);
    expectedLogTail.push_back(L"library: " + folder + L"\\Copy E2E iPod Library.xml");
    expectedLogTail.push_back(L"index: " + IndexPathIn(folder));

    const std::vector<std::wstring> log = ReadUtf16Lines(argv[4]);
    const std::vector<std::wstring> tail(log.size() >= expectedLogTail.size() ? log.end() - expectedLogTail.size()
                                                                               : log.begin(),
                                         log.end());
    if (log.size() != tracks.size() + expectedLogTail.size() || tail != expectedLogTail)
        Fail(L"transfer_log.txt: " + std::to_wstring(log.size()) + L" lines, its last ones are not the playlists'");
    wprintf(L"%d playlist files checked, %zu log lines, %d failures\n", written, log.size(), g_failures);
    return g_failures == 0 ? 0 : 1;
}
