#include "backup/renaming_rule.h"

#include "backup/destination_path.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

#include <string>

namespace {

OwnedText Text(const wchar_t* value)
{
    if (!value)
        return nullptr;
    const size_t length = wcslen(value) + 1;
    OwnedText text(new wchar_t[length]);
    wcscpy_s(text.get(), length, value);
    return text;
}

struct Tags {
    const wchar_t* artist = L"Artist";
    const wchar_t* album = L"Album";
    const wchar_t* title = L"Title";
    int32_t trackNumber = 3;
    const wchar_t* location = L":iPod_Control:Music:F01:ABCD.mp3";
};

TrackEntry MakeTrack(const Tags& tags)
{
    TrackEntry track;
    track.artist = Text(tags.artist);
    track.album = Text(tags.album);
    track.title = Text(tags.title);
    track.trackNumber = tags.trackNumber;
    track.location = Text(tags.location);
    return track;
}

std::wstring Expand(const wchar_t* rule, const Tags& tags = Tags())
{
    return ApplyRenamingRule(rule, MakeTrack(tags));
}

std::wstring Destination(const wchar_t* folder, const std::wstring& name, const wchar_t* location)
{
    DestinationPath path;
    path.path = L"#";
    if (!FormDestinationPath(folder, name, LocationExtension(location), 1, path)) {
        EXPECT_EQ(L"", path.path) << "a refused path must leave nothing behind";
        return L"<refused>";
    }
    return path.path;
}

TEST(RenamingRule, WorkedExampleFromTagsToDestination)
{
    Tags tags;
    tags.artist = L"Night/Day";
    tags.album = L"Blue: Live";
    tags.title = L"What?";
    tags.location = L":iPod_Control:Music:F01:ABCD.m4a";
    const std::wstring name = Expand(L"<artist> - <album>\\<track> - <title>", tags);
    EXPECT_EQ(L"Night_Day - Blue_ Live\\3 - What_", name);
    EXPECT_EQ(L"D:\\Backup\\Night_Day - Blue_ Live\\3 - What_.m4a", Destination(L"D:\\Backup\\", name, tags.location));
    EXPECT_EQ(L"D:\\Backup\\Night_Day - Blue_ Live\\3 - What_.m4a", Destination(L"D:\\Backup", name, tags.location));
}

TEST(RenamingRule, KeywordsFoldOnlyAsciiCaseAndKeepTheirOrder)
{
    EXPECT_EQ(L"Artist|Artist|Artist", Expand(L"<ARTIST>|<Artist>|<artist>"));
    EXPECT_EQ(L"TitleAlbum3ArtistTitle", Expand(L"<title><album><track><artist><title>"));
    // A dotless capital I or a fullwidth letter is not a keyword letter.
    EXPECT_EQ(L"<tİtle>", Expand(L"<t\u0130tle>"));
    EXPECT_EQ(L"<\uFF54itle>", Expand(L"<\uFF54itle>"));
}

TEST(RenamingRule, TextThatIsNoKeywordIsCopiedLiterally)
{
    EXPECT_EQ(L"<artist", Expand(L"<artist"));
    EXPECT_EQ(L"<genre>", Expand(L"<genre>"));
    EXPECT_EQ(L"<Title", Expand(L"<<title>"));
    EXPECT_EQ(L"<albu", Expand(L"<albu"));
    EXPECT_EQ(L"a\\b\\c", Expand(L"a/b\\c"));
    EXPECT_EQ(L"x:y?*|>\\Title", Expand(L"x:y?*|>/<title>"));
    EXPECT_EQ(L"\tTitle", Expand(L"\t<title>"));   // the rule's own characters are never cleaned
    EXPECT_EQ(L"", Expand(L""));
    EXPECT_EQ(L"", ApplyRenamingRule(nullptr, MakeTrack(Tags())));
}

TEST(RenamingRule, InsertedTagsAreCleanedOfExactlyNineCharacters)
{
    Tags tags;
    tags.title = L"a\\b/c:d*e?f\"g<h>i|j";
    EXPECT_EQ(L"a_b_c_d_e_f_g_h_i_j", Expand(L"<title>", tags));
    tags.title = L"???";
    EXPECT_EQ(L"___", Expand(L"<title>", tags));
    tags.title = L" .x\u00e9\u65e5\x7f. ";   // spaces, dots, DEL and other letters pass through
    EXPECT_EQ(tags.title, Expand(L"<title>", tags));
    tags.title = L"\x01" L"a\tb\r\n\x1f";      // control characters are refused in names
    EXPECT_EQ(L"_a_b___", Expand(L"<title>", tags));
    tags.title = L"<artist>";           // inserted text is not expanded again
    EXPECT_EQ(L"_artist_", Expand(L"<title>", tags));
    EXPECT_EQ(L"\xD83C\xDFB5 __ a_", CleanFileName(L"\xD83C\xDFB5 \xDFB5\xD83C a\xD83C"));   // a pair stays, halves do not
    EXPECT_EQ(L"", CleanFileName(nullptr));
}

TEST(RenamingRule, AbsentTagsTakeTheirDefaultsAndEmptyOnesInsertNothing)
{
    Tags absent;
    absent.artist = absent.album = absent.title = nullptr;
    absent.trackNumber = 0;
    EXPECT_EQ(L"uknown artist - uknown album\\ - untitled",
              Expand(L"<artist> - <album>\\<track> - <title>", absent));
    Tags empty;
    empty.artist = empty.album = empty.title = L"";
    EXPECT_EQ(L" - \\3 - ", Expand(L"<artist> - <album>\\<track> - <title>", empty));
}

TEST(RenamingRule, TrackNumbersOnlyWhenPositiveWithoutPadding)
{
    Tags tags;
    const std::pair<int32_t, const wchar_t*> cases[] = {
        {12, L"[12]"}, {3, L"[3]"}, {0, L"[]"}, {-5, L"[]"}, {2147483647, L"[2147483647]"}};
    for (const auto& [number, expected] : cases) {
        tags.trackNumber = number;
        EXPECT_EQ(expected, Expand(L"[<track>]", tags)) << number;
    }
}

TEST(RenamingRule, AlbumArtistYearDiscAndComposerAfterTheFirstFour)
{
    TrackEntry track = MakeTrack(Tags());
    const wchar_t* rule = L"<albumartist>|<YEAR>|<Disc>|<composer>|<album>";
    EXPECT_EQ(L"Artist|||unknown composer|Album", ApplyRenamingRule(rule, track));
    track.albumArtist = Text(L"Various: Artists");
    track.composer = Text(L"Bach?");
    track.year = 1999;
    track.discNumber = 2;
    EXPECT_EQ(L"Various_ Artists|1999|2|Bach_|Album", ApplyRenamingRule(rule, track));
    track.albumArtist = nullptr;
    track.artist = nullptr;
    EXPECT_EQ(L"uknown artist", ApplyRenamingRule(L"<albumartist>", track));
}

TEST(RenamingRule, HelpTextListsEveryKeyword)
{
    EXPECT_STREQ(L"You may enter a renaming rule string for the path and name for your backup files.\n"
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
                 L" <kind> - inserts Music, Podcasts, Audiobooks, Movies...",
                 kRenamingRuleHelp);
}

TEST(DestinationPath, ExtensionComesFromTheLocationAndLandsOnTheWholePath)
{
    EXPECT_EQ(L"D:\\Backup\\.mp3", Destination(L"D:\\Backup\\", L"", L":F00:AB.mp3"));
    EXPECT_EQ(L"D:\\Backup\\.mp3", Destination(L"D:\\Backup", L"", L":F00:AB.mp3"));
    EXPECT_EQ(L"D:\\Backup\\a\\b.mp3.m4a", Destination(L"D:\\Backup\\", L"a\\b.mp3", L":F00:AB.C.m4a"));
    EXPECT_EQ(L"D:\\Backup\\a\\b", Destination(L"D:\\Backup\\", L"a\\b", L":F00:ABCD"));
    EXPECT_EQ(L"D:\\Backup\\a\\b", Destination(L"D:\\Backup\\", L"a\\b", nullptr));
    EXPECT_EQ(L"D:\\a.mp3", Destination(L"D:\\", L"a", L":x.mp3"));
    EXPECT_EQ(L"D:\\Backup\\x\\.mp3", Destination(L"D:\\Backup\\", L"x\\", L":x.mp3"));
    EXPECT_EQ(L"D:\\Backup\\x.mp3", Destination(L"D:\\Backup\\", L"\\x", L":x.mp3"));
}

TEST(DestinationPath, DotOnlyComponentsCannotClimbOutOfTheFolder)
{
    Tags tags;
    tags.artist = L"..";
    tags.album = L".";
    tags.title = L"..";
    const std::wstring name = Expand(L"<artist>\\<album>\\<title>", tags);
    EXPECT_EQ(L"..\\.\\..", name);
    EXPECT_EQ(L"D:\\Backup\\__\\_\\__.mp3", Destination(L"D:\\Backup\\", name, tags.location));
    EXPECT_EQ(L"D:\\Backup\\__\\___\\__", Destination(L"D:\\Backup\\", L"..\\...\\..", L":F00:ABCD"));
    // Dots inside a longer name are ordinary and stay.
    EXPECT_EQ(L"D:\\Backup\\...And Justice\\a...b\\.x.mp3",
              Destination(L"D:\\Backup\\", L"...And Justice\\a...b\\.x", L":x.mp3"));
}

TEST(DestinationPath, NamesThatLookLikeParentsOrRootsStayInsideTheFolder)
{
    EXPECT_EQ(L"D:\\Backup\\..And\\a\\..x.mp3", Destination(L"D:\\Backup\\", L"..And\\a\\..x", L":x.mp3"));
    EXPECT_EQ(L"D:\\Backup\\C:\\Music\\x.mp3", Destination(L"D:\\Backup\\", L"C:\\Music\\x", L":x.mp3"));
    EXPECT_EQ(L"D:\\Backup\\server\\share\\x.mp3",
              Destination(L"D:\\Backup\\", L"\\\\server\\share\\x", L":x.mp3"));
}

// The real file system, not only the text: every folder and the file end up
// under the destination, with nothing written beside it.
TEST(DestinationPath, FilesCreatedFromDotTagsLandInsideTheFolder)
{
    testing_support::TempDir temp;
    const std::wstring folder = temp.File(L"dest");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    Tags tags;
    tags.artist = L"..";
    tags.album = L"...And";
    tags.title = L"..";
    const std::wstring path = Destination(folder.c_str(), Expand(L"<artist>\\<album>\\<title>", tags), L":F:x");
    ASSERT_EQ(folder + L"\\__\\...And\\__", path);

    for (size_t at = path.find(L'\\', folder.size() + 1); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        ASSERT_TRUE(CreateDirectoryW(path.substr(0, at).c_str(), nullptr)) << path.substr(0, at);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);

    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(temp.File(L"*").c_str(), &entry);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    std::wstring names;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..")
            names += name + L";";
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    EXPECT_EQ(L"dest;", names);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((folder + L"\\__\\...And\\__").c_str()));
}

TEST(DestinationPath, ExtensionFromTheDatabaseCannotAddSeparators)
{
    EXPECT_EQ(L"D:\\Backup\\t._x", Destination(L"D:\\Backup\\", L"t", L":F00:A.m/../x"));
    EXPECT_EQ(L"D:\\Backup\\t.m_x_y", Destination(L"D:\\Backup\\", L"t", L":F00:A.m/x/y"));
    EXPECT_EQ(L"D:\\Backup\\t.m_s", Destination(L"D:\\Backup\\", L"t", L":F00:A.m:s"));
}

std::wstring Units(size_t count, wchar_t unit) { return std::wstring(count, unit); }

// Too long: the longest component is cut (its beginning kept, never the
// number or the extension) until the path, its folder and its last component
// fit. Every component is mended for Windows. The folder is 5 units.
TEST(DestinationPath, FormingTable)
{
    const std::wstring pair = L"\xD83C\xDFB5";   // one character, two units
    const std::wstring longExtension = L"." + Units(246, L'e');
    const struct {
        const char* what;
        std::wstring folder, name, extension;
        int number;
        std::wstring expected;   // below the folder; "<refused>": no room
    } cases[] = {
        {"254 units fit", L"D:\\B\\", Units(245, L'w'), L".mp3", 1, Units(245, L'w') + L".mp3"},
        {"255 lose one", L"D:\\B\\", Units(246, L'w'), L".mp3", 1, Units(245, L'w') + L".mp3"},
        {"last component of 251", L"D:\\", Units(247, L'w'), L".mp3", 1, Units(246, L'w') + L".mp3"},
        {"folder of 247 fits", L"D:\\B\\", Units(242, L'a') + L"\\x", L".mp3", 1, Units(242, L'a') + L"\\x.mp3"},
        {"folder of 248", L"D:\\B\\", Units(243, L'a') + L"\\x", L".mp3", 1, Units(242, L'a') + L"\\x.mp3"},
        {"the longest is cut first", L"D:\\B\\", Units(100, L'a') + L"\\" + Units(200, L't'), L".mp3", 1,
         Units(100, L'a') + L"\\" + Units(144, L't') + L".mp3"},
        {"inner ones too", L"D:\\B\\", Units(200, L'a') + L"\\" + Units(200, L'b') + L"\\t", L".mp3", 1,
         Units(120, L'a') + L"\\" + Units(121, L'b') + L"\\t.mp3"},
        {"never half a pair", L"D:\\B\\", Units(245, L'a') + pair + Units(10, L'b'), L".mp3", 1,
         Units(245, L'a') + L".mp3"},
        {"no dot or space at the cut", L"D:\\B\\", Units(244, L'a') + L". " + Units(20, L'b'), L".mp3", 1,
         Units(244, L'a') + L".mp3"},
        {"the number stays", L"D:\\B\\", Units(300, L'w'), L".mp3", 2, Units(241, L'w') + L" (2).mp3"},
        {"a cut never makes a device", L"D:\\B\\", L"Console", longExtension, 1, L"Co" + longExtension},
        {"folder leaves no room", L"D:\\" + Units(249, L'f') + L"\\", L"a", L".mp3", 1, L"<refused>"},
        {"folder leaves no room for folders", L"D:\\" + Units(245, L'f'), L"a\\b", L"", 1, L"<refused>"},
        {"devices, inner and last", L"D:\\B\\", L"Con\\aux.x\\Nul", L".mp3", 1, L"Con_\\aux_.x\\Nul_.mp3"},
        {"devices in any case, numbered", L"D:\\B\\", L"cOM1\\LPT9", L"", 1, L"cOM1_\\LPT9_"},
        {"spaces before the dot", L"D:\\B\\", L"PRN \\lpt1 ", L".mp3", 1, L"PRN_\\lpt1 _.mp3"},
        {"not devices", L"D:\\B\\", L"COM0\\Console\\LPT10\\xNul", L".mp3", 1,
         L"COM0\\Console\\LPT10\\xNul.mp3"},
        {"superscript ports", L"D:\\B\\", L"COM\u00B9\\lpt\u00B2.x\\Com\u00B3", L"", 1, L"COM\u00B9_\\lpt\u00B2_.x\\Com\u00B3_"},
        {"a numbered device is none", L"D:\\B\\", L"Con", L".mp3", 2, L"Con (2).mp3"},
        {"a doubled separator is one", L"D:\\B\\", L"a. \\\\x.", L".", 1, L"a\\x"},
    };
    for (const auto& c : cases) {
        DestinationPath path;
        const bool formed = FormDestinationPath(c.folder.c_str(), c.name, c.extension, c.number, path);
        const std::wstring below = formed ? path.path.substr(path.relativeStart) : L"<refused>";
        EXPECT_EQ(c.expected, below) << c.what;
        if (!formed)
            continue;
        EXPECT_EQ(c.folder + (c.folder.back() == L'\\' ? L"" : L"\\"), path.path.substr(0, path.relativeStart));
        EXPECT_LE(path.path.size(), kMaxDestinationUnits) << c.what;
    }
}

// Equal paths (Windows ignores case) are numbered in library order, and a
// number never takes the name another track has of its own.
TEST(DestinationPath, CollidingTracksAreNumbered)
{
    const wchar_t* titles[][2] = {
        {L"X", L"Song"}, {L"x", L"SONG"}, {L"X", L"Song (2)"}, {L"X", L"Song"}, {L"Y", L"Con"}, {L"Y", L"con"}};
    std::vector<TrackEntry> tracks;
    for (const auto& t : titles) {
        Tags tags;
        tags.artist = t[0];
        tags.title = t[1];
        tracks.push_back(MakeTrack(tags));
    }
    std::vector<const TrackEntry*> library;
    for (const TrackEntry& track : tracks)
        library.push_back(&track);
    const auto named = [&](size_t count) {   // the first `count` tracks' paths, below D:\B\ (unless elsewhere)
        const DestinationNames names(L"D:\\B", L"<artist>\\<title>", library);
        ItemDestination found;
        EXPECT_FALSE(names.Find(nullptr, found));
        std::vector<std::wstring> paths;
        for (size_t i = 0; i < count; ++i) {
            const std::wstring path = names.Find(&tracks[i], found) ? found.written.path : L"<none>";
            paths.push_back(path.rfind(L"D:\\B\\", 0) == 0 ? path.substr(5) : path);
        }
        return paths;
    };
    EXPECT_EQ((std::vector<std::wstring>{L"X\\Song.mp3", L"x\\SONG (3).mp3", L"X\\Song (2).mp3", L"X\\Song (4).mp3",
                                         L"Y\\Con_.mp3", L"Y\\con (2).mp3"}),
              named(6));

    // The track added to the iPod first keeps the name wherever the library lists it.
    for (TrackEntry& track : tracks)
        track.dateAdded = &track == &tracks[3] ? 1 : 2;
    tracks[0].persistentId = 5;   // after the others added at the same time
    EXPECT_EQ((std::vector<std::wstring>{L"X\\Song (4).mp3", L"x\\SONG (3).mp3", L"X\\Song (2).mp3", L"X\\Song.mp3"}),
              named(4));
}

TEST(DestinationPath, FolderWithoutRootKeepsNamesRelative)
{
    EXPECT_EQ(L"Backup\\a.mp3", Destination(L"Backup", L"a", L":x.mp3"));
    EXPECT_EQ(L"a.mp3", Destination(L"", L"a", L":x.mp3"));
    EXPECT_EQ(L"<refused>", Destination(nullptr, L"a", L":x.mp3"));
}

// What the file system is handed, component by component. Trailing dots and
// spaces go (Windows keeps only some of them, and differently for inner and
// last components); nothing else changes.
TEST(FileSystemName, ComponentsLoseTrailingDotsAndSpacesOnly)
{
    const struct {
        const wchar_t* component;
        const wchar_t* onDisk;
    } cases[] = {
        {L"Dots...", L"Dots"},
        {L"Trailing. ", L"Trailing"},
        {L"a. . ", L"a"},
        {L" ", L"_"},          // nothing left
        {L". .", L"_"},
        {L"", L"_"},
        {L".", L"_"},          // only dots: one underscore per dot, as before
        {L"...", L"___"},
        {L"...And", L"...And"},
        {L" lead. in", L" lead. in"},
        {L"x.mp3", L"x.mp3"},
        {L"Song .mp3", L"Song .mp3"},
        {L"tab\t", L"tab\t"},                // only dots and spaces count
        {L"wide\x3000", L"wide\x3000"},      // an ideographic space is no space here
        {L"\xD83C\xDFB5.", L"\xD83C\xDFB5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.onDisk, FileSystemComponent(c.component)) << "component: " << c.component;
}

TEST(FileSystemName, ItemDestinationShowsTheNameAndHandsOnTheTrimmedPath)
{
    const struct {
        const wchar_t* folder;
        const wchar_t* rule;
        const wchar_t* artist;
        const wchar_t* album;
        const wchar_t* location;
        const wchar_t* shown;
        const wchar_t* onDisk;
        size_t relativeStart;
    } cases[] = {
        {L"D:\\B\\", L"<artist>\\<album>\\<title>", L"Dots...", L"Trailing. ", L":F:x.mp3",
         L"D:\\B\\Dots...\\Trailing. \\Title.mp3", L"D:\\B\\Dots\\Trailing\\Title.mp3", 5},
        {L"D:\\B", L"<artist>\\<album>", L" ", L"End.", L":F:ABCD",   // no extension: the last one trims too
         L"D:\\B\\ \\End.", L"D:\\B\\_\\End", 5},
        {L"D:\\B\\", L"<artist>\\<album>", L"...", L". .", L":F:x.m4a",
         L"D:\\B\\___\\. ..m4a", L"D:\\B\\___\\. ..m4a", 5},
        {L"D:\\B\\", L"a. \\\\<album>", L"A", L"x", L":F:x.",   // a doubled separator is one
         L"D:\\B\\a. \\\\x.", L"D:\\B\\a\\x", 5},
        {L"D:\\My.\\", L"<album>", L"A", L"x", L":F:x.mp3",           // the chosen folder is the user's
         L"D:\\My.\\x.mp3", L"D:\\My.\\x.mp3", 7},
        {L"", L"<artist> /<album>", L"A", L"B", L":F:x.mp3", L"A \\B.mp3", L"A\\B.mp3", 0},
    };
    for (const auto& c : cases) {
        Tags tags;
        tags.artist = c.artist;
        tags.album = c.album;
        tags.location = c.location;
        ItemDestination destination;
        ASSERT_TRUE(FormItemDestination(c.folder, c.rule, MakeTrack(tags), destination)) << c.shown;
        EXPECT_EQ(ApplyRenamingRule(c.rule, MakeTrack(tags)), destination.expandedName);
        EXPECT_EQ(c.onDisk, destination.written.path);   // also what the log shows
        EXPECT_EQ(c.relativeStart, destination.written.relativeStart) << c.shown;
    }
}

}  // namespace
