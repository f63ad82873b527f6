#include "backup/renaming_rule.h"

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
    wchar_t path[kPathCapacity];
    wmemset(path, L'#', kPathCapacity);
    if (!FormDestinationPath(folder, name, location, path)) {
        EXPECT_STREQ(L"", path) << "a refused path must leave nothing behind";
        return L"<refused>";
    }
    return path;
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
    tags.title = L" .x\t\u00e9\u65e5. ";   // spaces, dots, controls and other letters pass through
    EXPECT_EQ(tags.title, Expand(L"<title>", tags));
    tags.title = L"<artist>";           // inserted text is not expanded again
    EXPECT_EQ(L"_artist_", Expand(L"<title>", tags));
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

TEST(RenamingRule, HelpTextHasItsSevenLines)
{
    EXPECT_STREQ(L"You may enter a renaming rule string for the path and name for your backup files.\n"
                 L"You can use \\ or / to delimit a path, and the following keywords:\n"
                 L"\n"
                 L" <title> - insets the song title\n"
                 L" <artist> - inserts the artist name\n"
                 L" <album> - inserts the album name\n"
                 L" <track> - inserts the track number",
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

TEST(DestinationPath, LongNamesAreRefusedNeverCut)
{
    Tags tags;
    const std::wstring longTitle(300, L'w');
    tags.title = longTitle.c_str();
    const std::wstring name = Expand(L"<artist>\\<title>", tags);
    EXPECT_EQ(L"Artist\\" + longTitle, name);
    EXPECT_EQ(L"<refused>", Destination(L"D:\\Backup\\", name, tags.location));

    // The whole path, extension included, may use 259 units and no more.
    const std::wstring folder = L"D:\\B\\";                        // 5 units
    const std::wstring fits(259 - 5 - 4, L'n');                     // + ".mp3"
    EXPECT_EQ(folder + fits + L".mp3", Destination(folder.c_str(), fits, L":x.mp3"));
    EXPECT_EQ(L"<refused>", Destination(folder.c_str(), fits + L"n", L":x.mp3"));
    EXPECT_EQ(L"<refused>", Destination(std::wstring(260, L'f').c_str(), L"a", L":x.mp3"));
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
        {L"D:\\B\\", L"a. \\\\<album>", L"A", L"x", L":F:x.",   // a doubled separator stays one
         L"D:\\B\\a. \\\\x.", L"D:\\B\\a\\\\x", 5},
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
        EXPECT_STREQ(c.shown, destination.shown);
        EXPECT_STREQ(c.onDisk, destination.onDisk);
        EXPECT_EQ(c.relativeStart, destination.relativeStart) << c.shown;
    }

    Tags tags;
    const std::wstring longTitle(300, L'w');
    tags.title = longTitle.c_str();
    ItemDestination refused;
    EXPECT_FALSE(FormItemDestination(L"D:\\B\\", L"<title>", MakeTrack(tags), refused));
    EXPECT_STREQ(L"", refused.shown);
    EXPECT_STREQ(L"", refused.onDisk);
    EXPECT_EQ(longTitle, refused.expandedName);
}

}  // namespace
