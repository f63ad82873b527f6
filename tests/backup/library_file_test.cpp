// The library file's text: XML escaping and the characters it drops, file
// URLs, dates, omitted keys, and a whole small library compared byte by byte.
#include "backup/library_file.h"
#include "backup/renaming_rule.h"

#include <gtest/gtest.h>

#include "copy_test_util.h"

using namespace copy_test;

namespace {

TEST(LibraryFileText, TextUrlsAndDates)
{
    const std::wstring unpairedLow(1, L'\xDC00'), unpairedHigh(1, L'\xD83C');
    const std::pair<std::wstring, std::string> texts[] = {
        {L"Tom & Jerry <live> \"x\" 'y'", "Tom &amp; Jerry &lt;live&gt; \"x\" 'y'"},
        {L"a\x01\x08\x0B\x0C\x1F" L"b\tc\nd\re", "ab\tc\nd&#13;e"},
        {L"\U0001F3B5 Caf\u00e9", "\xF0\x9F\x8E\xB5 Caf\xC3\xA9"},
        {unpairedHigh + L"x" + unpairedLow + L"\uFFFE\uFFFF\uFFFDz", "x\xEF\xBF\xBDz"},
        {unpairedHigh, ""},
    };
    for (const auto& [text, expected] : texts)
        EXPECT_EQ(expected, XmlText(text.c_str()));

    const std::pair<std::wstring, std::string> urls[] = {
        {L"C:\\Music\\A & B\\#1 ?%+,;=@!$'()[].mp3",
         "file://localhost/C:/Music/A%20%26%20B/%231%20%3F%25%2B%2C%3B%3D%40%21%24%27%28%29%5B%5D.mp3"},
        {L"\\\\server\\share\\x y.mp3", "file://localhost//server/share/x%20y.mp3"},
        {L"\\\\?\\UNC\\server\\share\\z.mp3", "file://localhost//server/share/z.mp3"},
        {L"\\\\?\\D:\\long\\a.mp3", "file://localhost/D:/long/a.mp3"},
        {L"e:\\Caf\u00e9\\a:b~_-.\U0001F3B5", "file://localhost/e:/Caf%C3%A9/a%3Ab~_-.%F0%9F%8E%B5"},
    };
    for (const auto& [path, expected] : urls)
        EXPECT_EQ(expected, FileUrl(path));

    const std::pair<uint32_t, std::string> dates[] = {
        {1, "1904-01-01T00:00:01Z"}, {3000000000u, "1999-01-24T05:20:00Z"}, {UINT32_MAX, "2040-02-06T06:28:15Z"}};
    SYSTEMTIME time;
    EXPECT_FALSE(MacSecondsToSystemTime(0, &time)) << "0 means never";
    for (const auto& [seconds, expected] : dates) {
        ASSERT_TRUE(MacSecondsToSystemTime(seconds, &time));
        EXPECT_EQ(expected, XmlDate(time));
    }

    const std::pair<std::wstring, std::wstring> stems[] = {
        {L"", L"iPod Library"}, {L"Jo's iPod", L"Jo's iPod Library"}, {L"A/B: C?", L"A_B_ C_ Library"}};
    for (const auto& [name, expected] : stems)
        EXPECT_EQ(expected, LibraryFileStem(name));
}

// A fixed zone one hour east of UTC, whatever the machine's.
bool OneHourEast(const SYSTEMTIME& local, SYSTEMTIME* utc)
{
    FILETIME file;
    if (!SystemTimeToFileTime(&local, &file))
        return false;
    ULARGE_INTEGER units{{file.dwLowDateTime, file.dwHighDateTime}};
    units.QuadPart -= 3600ULL * 10000000ULL;
    file = {units.LowPart, units.HighPart};
    return FileTimeToSystemTime(&file, utc) != FALSE;
}

TEST(LibraryFileText, WholeFileWithOmittedKeysAndOnlyTheCopiesThatExist)
{
    auto full = MakeTrack(L"Artist & Co", L"Album", 3, L"Title <1>", L":a.mp3");
    full->albumArtist = Text(L"Various");
    full->composer = Text(L"Comp");
    full->comment = Text(L"Note\x01");
    full->genre = Text(L"Rock");
    full->lengthMs = 215000, full->discNumber = 1, full->discCount = 2, full->trackCount = 12, full->year = 1999;
    full->bpm = 128, full->dateAdded = 2900000000u, full->playCount = 7, full->lastPlayed = 3000000000u;
    full->skipCount = 2, full->lastSkipped = 3100000000u, full->rating = 80, full->compilation = 1;
    full->mediaType = kMediaPodcast, full->persistentId = 0x00112233AABBCCDDull;
    auto bare = MakeTrack(nullptr, nullptr, 0, L"", L":b.mp3");   // every key that can be left out is
    auto gone = MakeTrack(L"X", L"Y", 1, L"Gone", L":c.mp3");
    LibrarySource library;
    library.tracks = {full.get(), gone.get(), bare.get()};
    library.persistentId = 0xFEDCBA9876543210ull;
    library.playlists = {{L"Mix & Match", 0x0102030405060708ull, {2, -1, 1, 0, 7}}, {L"", 0, {1}}};
    std::vector<TrackCopy> copies(3);
    copies[0] = {L"C:\\Backup\\Artist & Co\\3 - Title.mp3", 10, true, 4096};
    copies[1] = {L"C:\\Backup\\X\\1 - Gone.mp3", 10, false, 0};
    copies[2] = {L"C:\\Backup\\u\\#.mp3", 10, true, 0};
    LibraryFileInfo info;
    info.folder = L"C:\\Backup";
    info.applicationVersion = L"1.1.3";
    info.now = {2026, 12, 0, 7, 18, 5, 9, 0};
    info.localToUtc = OneHourEast;

    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
              "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n" "<plist version=\"1.0\">\n<dict>\n"
              "\t<key>Major Version</key><integer>1</integer>\n" "\t<key>Minor Version</key><integer>1</integer>\n"
              "\t<key>Application Version</key><string>1.1.3</string>\n"
              "\t<key>Date</key><date>2026-12-07T18:05:09Z</date>\n"
              "\t<key>Music Folder</key><string>file://localhost/C:/Backup/</string>\n"
              "\t<key>Library Persistent ID</key><string>FEDCBA9876543210</string>\n"
              "\t<key>Tracks</key>\n\t<dict>\n" "\t\t<key>1</key>\n\t\t<dict>\n"
              "\t\t\t<key>Track ID</key><integer>1</integer>\n"
              "\t\t\t<key>Name</key><string>Title &lt;1&gt;</string>\n"
              "\t\t\t<key>Artist</key><string>Artist &amp; Co</string>\n"
              "\t\t\t<key>Album Artist</key><string>Various</string>\n"
              "\t\t\t<key>Composer</key><string>Comp</string>\n" "\t\t\t<key>Album</key><string>Album</string>\n"
              "\t\t\t<key>Genre</key><string>Rock</string>\n" "\t\t\t<key>Size</key><integer>4096</integer>\n"
              "\t\t\t<key>Total Time</key><integer>215000</integer>\n"
              "\t\t\t<key>Disc Number</key><integer>1</integer>\n" "\t\t\t<key>Disc Count</key><integer>2</integer>\n"
              "\t\t\t<key>Track Number</key><integer>3</integer>\n"
              "\t\t\t<key>Track Count</key><integer>12</integer>\n" "\t\t\t<key>Year</key><integer>1999</integer>\n"
              "\t\t\t<key>BPM</key><integer>128</integer>\n"
              "\t\t\t<key>Date Added</key><date>1995-11-23T18:33:20Z</date>\n"
              "\t\t\t<key>Comments</key><string>Note</string>\n" "\t\t\t<key>Play Count</key><integer>7</integer>\n"
              "\t\t\t<key>Play Date</key><integer>3000000000</integer>\n"
              "\t\t\t<key>Play Date UTC</key><date>1999-01-24T04:20:00Z</date>\n"
              "\t\t\t<key>Skip Count</key><integer>2</integer>\n"
              "\t\t\t<key>Skip Date</key><date>2002-03-26T14:06:40Z</date>\n"
              "\t\t\t<key>Rating</key><integer>80</integer>\n" "\t\t\t<key>Compilation</key><true/>\n"
              "\t\t\t<key>Podcast</key><true/>\n" "\t\t\t<key>Persistent ID</key><string>00112233AABBCCDD</string>\n"
              "\t\t\t<key>Track Type</key><string>File</string>\n"
              "\t\t\t<key>Location</key><string>file://localhost/C:/Backup/Artist%20%26%20Co/3%20-%20Title.mp3</string>\n"
              "\t\t</dict>\n" "\t\t<key>3</key>\n\t\t<dict>\n"
              "\t\t\t<key>Track ID</key><integer>3</integer>\n" "\t\t\t<key>Track Type</key><string>File</string>\n"
              "\t\t\t<key>Location</key><string>file://localhost/C:/Backup/u/%23.mp3</string>\n" "\t\t</dict>\n"
              "\t</dict>\n" "\t<key>Playlists</key>\n\t<array>\n"
              "\t\t<dict>\n" "\t\t\t<key>Name</key><string>Library</string>\n"
              "\t\t\t<key>Master</key><true/>\n" "\t\t\t<key>Playlist ID</key><integer>4</integer>\n"
              "\t\t\t<key>Visible</key><false/>\n" "\t\t\t<key>All Items</key><true/>\n"
              "\t\t\t<key>Playlist Items</key>\n\t\t\t<array>\n"
              "\t\t\t\t<dict><key>Track ID</key><integer>1</integer></dict>\n"
              "\t\t\t\t<dict><key>Track ID</key><integer>3</integer></dict>\n" "\t\t\t</array>\n"
              "\t\t</dict>\n" "\t\t<dict>\n"
              "\t\t\t<key>Name</key><string>Mix &amp; Match</string>\n"
              "\t\t\t<key>Playlist ID</key><integer>5</integer>\n"
              "\t\t\t<key>Playlist Persistent ID</key><string>0102030405060708</string>\n"
              "\t\t\t<key>All Items</key><true/>\n" "\t\t\t<key>Playlist Items</key>\n\t\t\t<array>\n"
              "\t\t\t\t<dict><key>Track ID</key><integer>3</integer></dict>\n"
              "\t\t\t\t<dict><key>Track ID</key><integer>1</integer></dict>\n" "\t\t\t</array>\n"
              "\t\t</dict>\n" "\t\t<dict>\n"
              "\t\t\t<key>Name</key><string></string>\n" "\t\t\t<key>Playlist ID</key><integer>6</integer>\n"
              "\t\t\t<key>All Items</key><true/>\n" "\t\t\t<key>Playlist Items</key>\n\t\t\t<array>\n"
              "\t\t\t</array>\n" "\t\t</dict>\n"
              "\t</array>\n"
              "</dict>\n</plist>\n",
              LibraryFileText(library, copies, info));
}

TEST(LibraryFileText, KindOfTrackNamesItsFolderAndMarksItsEntry)
{
    const std::tuple<uint32_t, const wchar_t*, std::string> cases[] = {{0x80, L"Music", ""},
        {0x0C, L"Audiobooks", "Podcast|"}, {0x06, L"Podcasts", "Podcast|Has Video|"}, {0x300000, L"iTunes U", ""},
        {0x60, L"TV Shows", "Has Video|TV Show|"}, {0x22, L"Music Videos", "Has Video|Music Video|"},
        {0x200002, L"Movies", "Has Video|Movie|"}, {0x104000, L"Voice Memos", ""}, {0x4001, L"Ringtones", ""}};
    TrackEntry track;   // no tags: the keys between its id and its type are those that mark it
    for (const auto& [mediaType, kind, keys] : cases) {
        track.mediaType = mediaType;   // the first kind that applies
        EXPECT_EQ(kind, ApplyRenamingRule(L"<Kind>", track));
        const std::string text = LibraryFileText({{&track}}, {{L"C:\\a.m4v", 1, true, 0}}, LibraryFileInfo());
        std::string found;
        for (size_t at = text.find("<key>Track ID"); (at = text.find("<key>", at + 1)) < text.find("<key>Track Type");)
            found += text.substr(at + 5, text.find("</key>", at) - at - 5) + "|";
        EXPECT_EQ(keys, found) << mediaType;
    }
}

}  // namespace
