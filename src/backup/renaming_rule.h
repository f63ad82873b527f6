#pragma once
// Turns the user's renaming rule and one track's tags into the relative name
// of its copy, and that name into the full destination path.
#include <windows.h>

#include <string>

#include "db/records.h"
#include "settings/settings.h"

// The Preferences dialog shows this under the caption "Renaming Rule help".
extern const wchar_t kRenamingRuleHelp[];

// What the rule writes for an absent tag. The misspelling is deliberate:
// existing backups are named with it, and the copy job skips files whose
// names it finds already there.
constexpr wchar_t kUnknownAlbum[] = L"uknown album";
constexpr wchar_t kUnknownArtist[] = L"uknown artist";
constexpr wchar_t kUntitled[] = L"untitled";

// Replaces the nine characters a file name cannot hold with "_"; never
// changes the length. A null value gives an empty text.
std::wstring CleanFileName(const wchar_t* value);

// The expanded rule; may be longer than a path buffer, which
// FormDestinationPath refuses. A null rule expands to nothing.
std::wstring ApplyRenamingRule(const wchar_t* rule, const TrackEntry& track);

// folder + "\\" + expanded name + the extension of the track's location on
// the iPod (PathFindExtensionW). The path always stays inside the folder:
// components made only of dots become underscores. Fails, leaving an empty
// destination, when the path would not fit the buffer (259 units and a
// terminator); the caller then logs and skips the item.
bool FormDestinationPath(const wchar_t* folder, const std::wstring& expandedName, const wchar_t* location,
                         wchar_t (&destination)[kPathCapacity]);

// One component of a name as the file system is handed it. Windows drops
// trailing dots and spaces from the last component of a path but only one
// dot from an inner one, so a folder made as "Dots..." (stored "Dots") is
// later looked for as "Dots..": without them, both agree. Nothing left gives
// "_"; a component made only of dots becomes as many underscores.
std::wstring FileSystemComponent(const std::wstring& component);

// Where one item goes. `shown` is the destination path as the log names it;
// `onDisk` is the same path with every component below the folder passed
// through FileSystemComponent, the one every file-system call must use.
struct ItemDestination {
    std::wstring expandedName;
    wchar_t shown[kPathCapacity] = {};
    wchar_t onDisk[kPathCapacity] = {};
    size_t relativeStart = 0;   // onDisk + relativeStart: the part below the folder
};

// The rule expanded for `track` and its destination under `folder`. The copy
// and everything that names a copied file use this one function, so they
// cannot disagree. False, with empty paths, when the path does not fit.
bool FormItemDestination(const wchar_t* folder, const wchar_t* rule, const TrackEntry& track,
                         ItemDestination& destination);
