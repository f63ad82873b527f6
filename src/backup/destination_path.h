#pragma once
// Where a copy lands: the renaming rule's expansion joined to the destination
// folder, mended into a name Windows accepts, shortened to fit, and numbered
// when another track of the library already has that name. The copy, the
// playlist files and everything else that names a copy use these functions,
// so they cannot disagree.
#include "db/records.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

// A path of at most 254 units leaves room for the ".part" of the temporary
// name within MAX_PATH; CreateDirectoryW takes folders of at most 247 units;
// the last component keeps room for ".part" within a component's 255.
constexpr size_t kMaxDestinationUnits = 254;
constexpr size_t kMaxFolderPathUnits = 247;
constexpr size_t kMaxLastComponentUnits = 250;

// True when the part of `component` before its first dot, trailing spaces
// ignored, names a device (CON, PRN, AUX, NUL, COM1-9, LPT1-9, and COM and LPT
// with a superscript 1, 2 or 3) in any case.
bool IsDeviceName(const std::wstring& component);
// `component` with "_" after such a part ("Con.mp3" -> "Con_.mp3"); other
// components unchanged.
std::wstring WithoutDeviceName(const std::wstring& component);

// The extension of a track's location on the iPod (PathFindExtensionW),
// cleaned as a tag value is.
std::wstring LocationExtension(const wchar_t* location);

// One path below a folder: `path` is the whole of it, `path` from
// `relativeStart` on the part below the folder. An empty path: no room.
struct DestinationPath {
    std::wstring path;
    size_t relativeStart = 0;
};

// The file `name` (components separated by "\") with `extension` on its last
// component and, for a `number` above 1, " (number)" before the extension,
// below `folder`. Every component is mended (trailing dots and spaces,
// components of dots only, device names); then, while the path is too long,
// the longest component is cut, keeping its beginning and never the number
// or the extension. False, with an empty path, when the folder leaves no room.
bool FormDestinationPath(const wchar_t* folder, const std::wstring& name, const std::wstring& extension, int number,
                         DestinationPath& destination);

// Where one item goes: the rule's expansion (what the progress dialog shows)
// and the path written.
struct ItemDestination {
    std::wstring expandedName;
    DestinationPath written;
};

// The rule expanded for `track` and joined to `folder` with the extension of
// the track's location, numbered as above.
bool FormItemDestination(const wchar_t* folder, const wchar_t* rule, const TrackEntry& track,
                         ItemDestination& destination, int number = 1);

// The destinations of every track of a library. Tracks whose paths are equal
// as Windows compares them are ordered oldest first; the first keeps the
// name and the others get " (2)", " (3)"..., never the name another track
// would have had on its own. The names depend on the whole library, never on
// which tracks are ticked, so a later run finds each copy where it was.
class DestinationNames {
public:
    DestinationNames(const wchar_t* folder, const wchar_t* rule, const std::vector<const TrackEntry*>& library);

    // False, with an empty path, for a track without room or not in the library.
    bool Find(const TrackEntry* track, ItemDestination& destination) const;
    const std::wstring& Folder() const { return m_folder; }
    const std::wstring& Rule() const { return m_rule; }

private:
    std::wstring m_folder;
    std::wstring m_rule;
    std::unordered_map<const TrackEntry*, ItemDestination> m_destinations;
};

// The order in which tracks with one name claim it: true when `a` (at
// position `aPosition` of the library) comes before `b`: added to the iPod
// earlier, then the lower persistent id, then the earlier position.
bool ClaimsNameFirst(const TrackEntry& a, size_t aPosition, const TrackEntry& b, size_t bPosition);
