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

}  // namespace
