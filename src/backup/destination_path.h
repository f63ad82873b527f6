#pragma once
// Where a copy lands: the renaming rule's expansion joined to the destination
// folder, mended into a name Windows accepts, shortened to fit, and numbered
// when another track of the library already has that name. The copy, the
// playlist files and everything else that names a copy use these functions,
// so they cannot disagree.
#include "db/records.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
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

// The key under which Windows finds a path: case is ignored.
std::wstring FoldedPath(const std::wstring& path);

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

// The cover a run may leave in every folder of its copies; no copy takes its name.
constexpr wchar_t kFolderPictureName[] = L"folder.jpg";

// A copy the folder's index gives to a track, whose file was there when the
// run began.
struct IndexedCopy {
    uint64_t persistentId = 0;
    std::wstring path;             // the whole path, the folder included
    bool sizeAsRecorded = false;   // the file still has the size the index recorded
};

// One track's destination, in the order of the library the names were made for.
struct NamedCopy {
    uint64_t persistentId = 0;
    ItemDestination destination;   // its path is empty when the track has no room
};

// Every name a run writes in the destination folder, claimed in one place
// so that none is handed out twice: the copies of every track of the
// library, then the files written beside them (playlist and library files).
// The names of the program's own files (the index in the folder,
// "folder.jpg" in every folder) are reserved: nothing else takes them. Paths compare as
// Windows compares them: case is ignored.
//
// A track keeps the path an index line gives it when that file is still
// there with its recorded size and the rule, numbered as that path is, still
// forms it. The other tracks are ordered oldest first; among those whose
// paths are equal the first keeps the name and the others get " (2)",
// " (3)"..., never a name another track would have had on its own, and never
// a path the index gives to another track whose file is there. The names
// depend on the whole library and the index, never on which tracks are
// ticked, so a later run finds each copy where it was.
class DestinationNames {
public:
    DestinationNames(const wchar_t* folder, const wchar_t* rule, const std::vector<const TrackEntry*>& library,
                     const std::vector<IndexedCopy>& indexed = {});

    // False, with an empty path, for a track without room or not in the library.
    bool Find(const TrackEntry* track, ItemDestination& destination) const;
    // The name of a file written beside the copies: `stem` and `extension`
    // below the folder, mended and shortened as a copy's name is, then
    // numbered past every name already claimed. False when no name fits.
    bool ClaimFile(const std::wstring& stem, const wchar_t* extension, DestinationPath& path);
    // Every track's destination in library order; reading them touches no track.
    const std::vector<NamedCopy>& Copies() const { return m_copies; }
    const std::wstring& Folder() const { return m_folder; }
    const std::wstring& Rule() const { return m_rule; }

private:
    void KeepIndexedNames(const std::vector<const TrackEntry*>& library, const std::vector<size_t>& order,
                          const std::vector<IndexedCopy>& indexed, std::vector<bool>& kept);
    void ClaimOwnNames(const std::vector<const TrackEntry*>& library, const std::vector<size_t>& order,
                       const std::vector<bool>& kept);
    // True when `key` (a folded path) may not be given to the track `persistentId`.
    bool Unavailable(const std::wstring& key, uint64_t persistentId) const;
    void Take(size_t position, const ItemDestination& destination, const std::wstring& key);

    std::wstring m_folder;
    std::wstring m_rule;
    std::vector<NamedCopy> m_copies;
    std::unordered_map<const TrackEntry*, size_t> m_positions;
    std::unordered_set<std::wstring> m_taken;                  // folded paths
    std::unordered_map<std::wstring, uint64_t> m_indexOwners;  // folded path -> the track the index gives it to
    std::wstring m_indexKey;     // the index's own path, folded
    std::wstring m_pictureKey;   // kFolderPictureName, folded
};

// The order in which tracks with one name claim it: true when `a` (at
// position `aPosition` of the library) comes before `b`: added to the iPod
// earlier, then the lower persistent id, then the earlier position.
bool ClaimsNameFirst(const TrackEntry& a, size_t aPosition, const TrackEntry& b, size_t bPosition);
