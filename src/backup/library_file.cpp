#include "backup/library_file.h"

#include "backup/playlist_file.h"
#include "backup/renaming_rule.h"

#include <cctype>
#include <cstdio>

namespace {

// From 1601-01-01, where file times begin, to 1904-01-01, where the iPod's do.
constexpr uint64_t kSecondsFrom1601To1904 = 9561628800ULL;
constexpr uint64_t kFileTimeUnitsPerSecond = 10000000ULL;

constexpr char kHeader[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n<dict>\n";

bool KeptInXml(wchar_t c)
{
    if (c < 0x20)
        return c == L'\t' || c == L'\n' || c == L'\r';
    return c != 0xFFFE && c != 0xFFFF;
}

void AppendEscaped(std::wstring& out, wchar_t c)
{
    switch (c) {
    case L'&': out += L"&amp;"; break;
    case L'<': out += L"&lt;"; break;
    case L'>': out += L"&gt;"; break;
    case L'\r': out += L"&#13;"; break;   // a parser would make a bare one a line feed
    default: out += c; break;
    }
}

bool Unreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~' || c == '/';
}

// The path as the shell would name it, without the prefixes that lift the
// length limit.
std::wstring PlainPath(const std::wstring& path)
{
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return L"\\\\" + path.substr(8);
    if (path.compare(0, 4, L"\\\\?\\") == 0)
        return path.substr(4);
    return path;
}

std::string ConvertedXmlText(const wchar_t* text)
{
    std::wstring kept;
    for (size_t i = 0; text && text[i]; ++i) {
        const wchar_t c = text[i];
        if (IS_HIGH_SURROGATE(c) && IS_LOW_SURROGATE(text[i + 1])) {
            kept += c;
            kept += text[++i];
        } else if (!IS_HIGH_SURROGATE(c) && !IS_LOW_SURROGATE(c) && KeptInXml(c)) {
            AppendEscaped(kept, c);
        }
    }
    return ToUtf8(kept);
}

// One dictionary of the file, written key by key with tabs as indentation.
class PlistWriter {
public:
    explicit PlistWriter(std::string& out) : m_out(out) {}

    void Indent(int depth) { m_out.append(static_cast<size_t>(depth), '\t'); }
    void Key(int depth, const char* key)
    {
        Indent(depth);
        m_out.append("<key>").append(key).append("</key>");
    }
    void Integer(int depth, const char* key, uint64_t value)
    {
        Key(depth, key);
        m_out.append("<integer>").append(std::to_string(value)).append("</integer>\n");
    }
    void IntegerUnlessZero(int depth, const char* key, int64_t value)
    {
        if (value > 0)
            Integer(depth, key, static_cast<uint64_t>(value));
    }
    void String(int depth, const char* key, const std::string& utf8)
    {
        Key(depth, key);
        m_out.append("<string>").append(utf8).append("</string>\n");
    }
    void TextUnlessEmpty(int depth, const char* key, const OwnedText& text)
    {
        if (text && text[0])
            String(depth, key, XmlText(text.get()));
    }
    void Boolean(int depth, const char* key, bool value = true)
    {
        Key(depth, key);
        m_out += value ? "<true/>\n" : "<false/>\n";
    }
    void Date(int depth, const char* key, const SYSTEMTIME& utc)
    {
        Key(depth, key);
        m_out += "<date>" + XmlDate(utc) + "</date>\n";
    }
    void HexUnlessZero(int depth, const char* key, uint64_t value)
    {
        if (value == 0)
            return;
        char hex[17];
        snprintf(hex, sizeof(hex), "%08lX%08lX", static_cast<unsigned long>(value >> 32),
                 static_cast<unsigned long>(value & 0xFFFFFFFFu));
        String(depth, key, hex);
    }
    void Open(int depth, const char* tag)
    {
        Indent(depth);
        m_out += std::string("<") + tag + ">\n";
    }
    void Close(int depth, const char* tag)
    {
        Indent(depth);
        m_out += std::string("</") + tag + ">\n";
    }

private:
    std::string& m_out;
};

// A time of the iPod as UTC; false for never or one that cannot be turned.
bool UtcOf(uint32_t macSeconds, LocalToUtcFn localToUtc, SYSTEMTIME* utc)
{
    SYSTEMTIME local;
    return MacSecondsToSystemTime(macSeconds, &local) && localToUtc && localToUtc(local, utc);
}

void WriteDateUnlessNever(PlistWriter& w, int depth, const char* key, uint32_t macSeconds, LocalToUtcFn localToUtc)
{
    SYSTEMTIME utc;
    if (UtcOf(macSeconds, localToUtc, &utc))
        w.Date(depth, key, utc);
}

void WriteTags(PlistWriter& w, const TrackEntry& track)
{
    w.TextUnlessEmpty(3, "Name", track.title);
    w.TextUnlessEmpty(3, "Artist", track.artist);
    w.TextUnlessEmpty(3, "Album Artist", track.albumArtist);
    w.TextUnlessEmpty(3, "Composer", track.composer);
    w.TextUnlessEmpty(3, "Album", track.album);
    w.TextUnlessEmpty(3, "Genre", track.genre);
}

void WriteNumbers(PlistWriter& w, const TrackEntry& track, const TrackCopy& copy)
{
    w.IntegerUnlessZero(3, "Size", static_cast<int64_t>(copy.bytes));
    w.IntegerUnlessZero(3, "Total Time", track.lengthMs);
    w.IntegerUnlessZero(3, "Disc Number", track.discNumber);
    w.IntegerUnlessZero(3, "Disc Count", track.discCount);
    w.IntegerUnlessZero(3, "Track Number", track.trackNumber);
    w.IntegerUnlessZero(3, "Track Count", track.trackCount);
    w.IntegerUnlessZero(3, "Year", track.year);
    w.IntegerUnlessZero(3, "BPM", track.bpm);
}

// As iTunes marks them: a video podcast is a podcast with video, not a movie.
void WriteKind(PlistWriter& w, const TrackEntry& track)
{
    if (track.mediaType & kMediaPodcast)
        w.Boolean(3, "Podcast");
    if (track.mediaType & (kMediaMovie | kMediaMusicVideo | kMediaTvShow))
        w.Boolean(3, "Has Video");
    switch (KindOfTrack(track.mediaType)) {
    case TrackKind::Movie: w.Boolean(3, "Movie"); break;
    case TrackKind::TvShow: w.Boolean(3, "TV Show"); break;
    case TrackKind::MusicVideo: w.Boolean(3, "Music Video"); break;
    default: break;
    }
}

void WriteHistory(PlistWriter& w, const TrackEntry& track, LocalToUtcFn localToUtc)
{
    WriteDateUnlessNever(w, 3, "Date Added", track.dateAdded, localToUtc);
    w.TextUnlessEmpty(3, "Comments", track.comment);
    w.IntegerUnlessZero(3, "Play Count", track.playCount);
    w.IntegerUnlessZero(3, "Play Date", track.lastPlayed);   // the iPod's local seconds, as written by others
    WriteDateUnlessNever(w, 3, "Play Date UTC", track.lastPlayed, localToUtc);
    w.IntegerUnlessZero(3, "Skip Count", track.skipCount);
    WriteDateUnlessNever(w, 3, "Skip Date", track.lastSkipped, localToUtc);
    w.IntegerUnlessZero(3, "Rating", track.rating);
    if (track.compilation)
        w.Boolean(3, "Compilation");
    WriteKind(w, track);
}

void WriteTrack(std::string& out, size_t position, const TrackEntry& track, const TrackCopy& copy,
                LocalToUtcFn localToUtc)
{
    PlistWriter w(out);
    const std::string id = std::to_string(position + 1);
    w.Indent(2);
    out += "<key>" + id + "</key>\n";
    w.Open(2, "dict");
    w.Integer(3, "Track ID", position + 1);
    WriteTags(w, track);
    WriteNumbers(w, track, copy);
    WriteHistory(w, track, localToUtc);
    w.HexUnlessZero(3, "Persistent ID", track.persistentId);
    w.String(3, "Track Type", "File");
    w.String(3, "Location", FileUrl(copy.onDisk));
    w.Close(2, "dict");
}

void WritePlaylistItems(PlistWriter& w, std::string& out, const std::vector<int>& positions,
                        const std::vector<TrackCopy>& copies)
{
    w.Key(3, "Playlist Items");
    out += "\n";
    w.Open(3, "array");
    for (int position : positions) {
        if (position < 0 || static_cast<size_t>(position) >= copies.size() ||
            !copies[static_cast<size_t>(position)].exists)
            continue;
        w.Indent(4);
        out += "<dict><key>Track ID</key><integer>" + std::to_string(position + 1) + "</integer></dict>\n";
    }
    w.Close(3, "array");
}

void WritePlaylists(std::string& out, const LibrarySource& library, const std::vector<TrackCopy>& copies)
{
    PlistWriter w(out);
    w.Key(1, "Playlists");
    out += "\n";
    w.Open(1, "array");
    std::vector<int> everyTrack(copies.size());
    for (size_t i = 0; i < everyTrack.size(); ++i)
        everyTrack[i] = static_cast<int>(i);
    uint64_t playlistId = library.tracks.size() + 1;   // never the same as a track's
    w.Open(2, "dict");
    w.String(3, "Name", "Library");
    w.Boolean(3, "Master");
    w.Integer(3, "Playlist ID", playlistId++);
    w.Boolean(3, "Visible", false);
    w.Boolean(3, "All Items");
    WritePlaylistItems(w, out, everyTrack, copies);
    w.Close(2, "dict");
    for (const PlaylistSource& playlist : library.playlists) {
        w.Open(2, "dict");
        w.String(3, "Name", XmlText(playlist.name.c_str()));
        w.Integer(3, "Playlist ID", playlistId++);
        w.HexUnlessZero(3, "Playlist Persistent ID", playlist.persistentId);
        w.Boolean(3, "All Items");
        WritePlaylistItems(w, out, playlist.items, copies);
        w.Close(2, "dict");
    }
    w.Close(1, "array");
}

std::wstring FolderWithSlash(const std::wstring& folder)
{
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/')
        return folder + L"\\";
    return folder;
}

}  // namespace

std::wstring LibraryFileStem(const std::wstring& ipodName)
{
    const std::wstring base = ipodName.empty() ? kUnnamedIpod : FileSystemComponent(CleanFileName(ipodName.c_str()));
    return base + kLibraryFileSuffix;
}

bool PcLocalToUtc(const SYSTEMTIME& local, SYSTEMTIME* utc)
{
    return TzSpecificLocalTimeToSystemTime(nullptr, &local, utc) != FALSE;
}

bool MacSecondsToSystemTime(uint32_t seconds, SYSTEMTIME* time)
{
    if (seconds == 0)
        return false;
    const uint64_t units = (kSecondsFrom1601To1904 + seconds) * kFileTimeUnitsPerSecond;
    FILETIME fileTime;
    fileTime.dwLowDateTime = static_cast<DWORD>(units & 0xFFFFFFFFu);
    fileTime.dwHighDateTime = static_cast<DWORD>(units >> 32);
    return FileTimeToSystemTime(&fileTime, time) != FALSE;
}

std::string XmlDate(const SYSTEMTIME& utc)
{
    char text[32];
    snprintf(text, sizeof(text), "%04u-%02u-%02uT%02u:%02u:%02uZ", utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
             utc.wMinute, utc.wSecond);
    return text;
}

std::string XmlText(const wchar_t* text)
{
    // Most tags are plain ASCII that needs no escape: those skip the conversion.
    std::string ascii;
    for (const wchar_t* c = text; c && *c; ++c) {
        if (*c < 0x20 || *c > 0x7E || *c == L'&' || *c == L'<' || *c == L'>')
            return ConvertedXmlText(text);
        ascii += static_cast<char>(*c);
    }
    return ascii;
}

std::string FileUrl(const std::wstring& path)
{
    std::wstring plain = PlainPath(path);
    for (wchar_t& c : plain) {
        if (c == L'\\')
            c = L'/';
    }
    const std::string utf8 = ToUtf8(plain);
    const bool drive = utf8.size() >= 2 && utf8[1] == ':' && isalpha(static_cast<unsigned char>(utf8[0]));
    std::string url = utf8.compare(0, 1, "/") == 0 ? "file://localhost" : "file://localhost/";
    static const char kHex[] = "0123456789ABCDEF";
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (Unreserved(c) || (drive && i == 1)) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 0x0F];
        }
    }
    return url;
}

std::string LibraryFileText(const LibrarySource& library, const std::vector<TrackCopy>& copies,
                            const LibraryFileInfo& info)
{
    std::string out(kHeader);
    out.reserve(1024 + copies.size() * 1400);
    PlistWriter w(out);
    w.Integer(1, "Major Version", 1);
    w.Integer(1, "Minor Version", 1);
    w.String(1, "Application Version", XmlText(info.applicationVersion.c_str()));
    w.Date(1, "Date", info.now);
    w.String(1, "Music Folder", FileUrl(FolderWithSlash(info.folder)));
    w.HexUnlessZero(1, "Library Persistent ID", library.persistentId);
    w.Key(1, "Tracks");
    out += "\n";
    w.Open(1, "dict");
    for (size_t i = 0; i < library.tracks.size() && i < copies.size(); ++i) {
        if (copies[i].exists && library.tracks[i])
            WriteTrack(out, i, *library.tracks[i], copies[i], info.localToUtc);
    }
    w.Close(1, "dict");
    WritePlaylists(out, library, copies);
    out += "</dict>\n</plist>\n";
    return out;
}
