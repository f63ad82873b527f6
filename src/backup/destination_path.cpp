#include "backup/destination_path.h"

#include "backup/backup_index.h"
#include "backup/renaming_rule.h"

#include <shlwapi.h>

#include <algorithm>
#include <numeric>
#include <unordered_set>

namespace {

// The components below the folder; the last names the file, and its final
// `tail` units (number and extension) are never cut.
struct NameParts {
    std::vector<std::wstring> components;
    size_t tail = 0;
};

wchar_t FoldAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool EqualsAsciiUpper(const std::wstring& text, const wchar_t* upper)
{
    size_t i = 0;
    for (; i < text.size() && upper[i]; ++i) {
        if (FoldAsciiLetter(text[i]) != upper[i])
            return false;
    }
    return i == text.size() && !upper[i];
}

// Where the "_" of a device name goes: after the part before the first dot.
size_t DeviceNameEnd(const std::wstring& component)
{
    const size_t dot = component.find(L'.');
    return dot == std::wstring::npos ? component.size() : dot;
}

// Windows also reserves the ports numbered with the superscript digits that
// its code pages map to 1, 2 and 3.
bool IsPortDigit(wchar_t c)
{
    return (c >= L'1' && c <= L'9') || c == L'\u00B9' || c == L'\u00B2' || c == L'\u00B3';
}

std::wstring TrimmedTrailingSpaces(const std::wstring& text)
{
    const size_t last = text.find_last_not_of(L' ');
    return last == std::wstring::npos ? std::wstring() : text.substr(0, last + 1);
}

// A component made only of dots would read as "here" or "the parent".
std::wstring WithoutDotsOnly(const std::wstring& stem)
{
    if (!stem.empty() && stem.find_first_not_of(L'.') == std::wstring::npos)
        return std::wstring(stem.size(), L'_');
    return stem;
}

std::wstring NumberSuffix(int number) { return number > 1 ? L" (" + std::to_wstring(number) + L")" : L""; }

// Splits at "\"; empty components (a leading or doubled separator) mean
// nothing to the file system and are dropped, except that the file's own
// name may be empty and then is made of its extension alone.
NameParts SplitName(const std::wstring& name, const std::wstring& tail)
{
    NameParts parts;
    size_t begin = 0;
    for (size_t end; (end = name.find(L'\\', begin)) != std::wstring::npos; begin = end + 1) {
        if (end > begin)
            parts.components.push_back(WithoutDeviceName(FileSystemComponent(name.substr(begin, end - begin))));
    }
    const std::wstring file = FileSystemComponent(WithoutDotsOnly(name.substr(begin)) + tail);
    parts.components.push_back(WithoutDeviceName(file));
    parts.tail = std::min(tail.size(), parts.components.back().size());
    return parts;
}

size_t CuttableUnits(const NameParts& parts, size_t index)
{
    const size_t length = parts.components[index].size();
    return index + 1 == parts.components.size() ? length - parts.tail : length;
}

void TrimForCut(std::wstring& stem)
{
    if (!stem.empty() && IS_HIGH_SURROGATE(stem.back()))
        stem.pop_back();   // never half of a pair
    stem = FileSystemComponent(stem.empty() ? std::wstring(L"_") : stem);
}

// Cuts `by` units (or a few more, to end cleanly) off the stem of one
// component; it never becomes longer than it was.
void CutComponent(NameParts& parts, size_t index, size_t by)
{
    std::wstring& component = parts.components[index];
    const size_t tailUnits = index + 1 == parts.components.size() ? parts.tail : 0;
    const std::wstring tail = component.substr(component.size() - tailUnits);
    std::wstring stem = component.substr(0, component.size() - tailUnits);
    stem.resize(stem.size() - by);
    TrimForCut(stem);
    // Appending "_" to a device name would undo the cut: cut one more instead.
    while (IsDeviceName(stem + tail) && stem.size() > 1) {
        stem.pop_back();
        TrimForCut(stem);
    }
    component = stem + tail;
}

// How much to cut from the longest of the components from `first` to `last`
// (inclusive): down to the next longest, so that long components shrink in
// turn; among equals, a share of what is still too long. SIZE_MAX as the
// index when none can lose a unit.
struct Cut {
    size_t index = SIZE_MAX;
    size_t units = 0;
};

Cut PlanCut(const NameParts& parts, size_t first, size_t last, size_t excess)
{
    Cut cut;
    size_t next = 1, equals = 0;
    for (size_t i = first; i <= last; ++i) {
        const size_t units = CuttableUnits(parts, i);
        if (units <= 1)
            continue;
        if (cut.index == SIZE_MAX || units > CuttableUnits(parts, cut.index)) {
            if (cut.index != SIZE_MAX)
                next = CuttableUnits(parts, cut.index);
            cut.index = i;
            equals = 1;
        } else if (units == CuttableUnits(parts, cut.index)) {
            ++equals;
        } else {
            next = std::max(next, units);
        }
    }
    if (cut.index == SIZE_MAX)
        return cut;
    const size_t longest = CuttableUnits(parts, cut.index);
    const size_t share = equals > 1 ? (excess + equals - 1) / equals : std::min(excess, longest - next);
    cut.units = std::max<size_t>(1, std::min(share, longest - 1));
    return cut;
}

struct Lengths {
    size_t total, folderPath, last;
};

Lengths Measure(size_t folderPart, const NameParts& parts)
{
    const std::vector<std::wstring>& c = parts.components;
    const size_t inner = std::accumulate(c.begin(), c.end() - 1, size_t{0},
                                         [](size_t sum, const std::wstring& part) { return sum + part.size() + 1; });
    // The file's folder without its trailing separator: the chosen folder
    // itself when the name has no folders of its own.
    const size_t folderPath = folderPart + inner > 0 ? folderPart + inner - 1 : 0;
    return {folderPart + inner + c.back().size(), folderPath, c.back().size()};
}

// One cut towards the three limits; false when nothing could be cut.
bool CutOnce(size_t folderPart, NameParts& parts)
{
    const Lengths lengths = Measure(folderPart, parts);
    const size_t lastIndex = parts.components.size() - 1;
    Cut cut;
    if (lengths.last > kMaxLastComponentUnits) {
        if (CuttableUnits(parts, lastIndex) > 1)
            cut = {lastIndex, std::min(lengths.last - kMaxLastComponentUnits, CuttableUnits(parts, lastIndex) - 1)};
    } else if (lengths.folderPath > kMaxFolderPathUnits) {
        if (lastIndex > 0)
            cut = PlanCut(parts, 0, lastIndex - 1, lengths.folderPath - kMaxFolderPathUnits);
    } else {
        cut = PlanCut(parts, 0, lastIndex, lengths.total - kMaxDestinationUnits);
    }
    if (cut.index == SIZE_MAX)
        return false;
    CutComponent(parts, cut.index, cut.units);
    return true;
}

bool Fits(size_t folderPart, const NameParts& parts)
{
    const Lengths lengths = Measure(folderPart, parts);
    return lengths.total <= kMaxDestinationUnits && lengths.folderPath <= kMaxFolderPathUnits &&
           lengths.last <= kMaxLastComponentUnits;
}

}  // namespace

// The location comes from the iPod's database; a "/" or ":" in what follows
// its last dot would otherwise reach CreateFileW as a separator or a stream.
std::wstring LocationExtension(const wchar_t* location)
{
    return location ? CleanFileName(PathFindExtensionW(location)) : std::wstring();
}

std::wstring FoldedPath(const std::wstring& path)
{
    std::wstring folded = path;
    if (!folded.empty())
        LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, path.c_str(), static_cast<int>(path.size()), &folded[0],
                     static_cast<int>(folded.size()));
    return folded;
}

bool IsDeviceName(const std::wstring& component)
{
    const std::wstring part = TrimmedTrailingSpaces(component.substr(0, DeviceNameEnd(component)));
    static const wchar_t* const kNames[] = {L"CON", L"PRN", L"AUX", L"NUL"};
    for (const wchar_t* name : kNames) {
        if (EqualsAsciiUpper(part, name))
            return true;
    }
    const std::wstring prefix = part.substr(0, 3);
    return part.size() == 4 && (EqualsAsciiUpper(prefix, L"COM") || EqualsAsciiUpper(prefix, L"LPT")) &&
           IsPortDigit(part[3]);
}

std::wstring WithoutDeviceName(const std::wstring& component)
{
    if (!IsDeviceName(component))
        return component;
    std::wstring mended = component;
    return mended.insert(DeviceNameEnd(component), 1, L'_');
}

bool FormDestinationPath(const wchar_t* folder, const std::wstring& name, const std::wstring& extension, int number,
                         DestinationPath& destination)
{
    destination = DestinationPath();
    if (!folder)
        return false;
    std::wstring base = folder;
    if (!base.empty() && base.back() != L'\\')
        base += L'\\';
    NameParts parts = SplitName(name, NumberSuffix(number) + extension);
    while (!Fits(base.size(), parts)) {
        if (!CutOnce(base.size(), parts))
            return false;
    }
    destination.relativeStart = base.size();
    destination.path = base;
    for (size_t i = 0; i < parts.components.size(); ++i)
        destination.path += (i ? L"\\" : L"") + parts.components[i];
    return true;
}

bool FormItemDestination(const wchar_t* folder, const wchar_t* rule, const TrackEntry& track,
                         ItemDestination& destination, int number)
{
    destination.expandedName = ApplyRenamingRule(rule, track);
    return FormDestinationPath(folder, destination.expandedName, LocationExtension(track.location.get()), number,
                               destination.written);
}

bool ClaimsNameFirst(const TrackEntry& a, size_t aPosition, const TrackEntry& b, size_t bPosition)
{
    // Oldest first: a sync that adds a track or reorders the library never
    // hands an older track's name to another.
    if (a.dateAdded != b.dateAdded)
        return a.dateAdded < b.dateAdded;
    if (a.persistentId != b.persistentId)
        return a.persistentId < b.persistentId;
    return aPosition < bPosition;
}

namespace {

// Every number that a " (n)" in the last component of `path` may stand for:
// the path formed with one of them is compared with the path itself.
std::vector<int> NumbersIn(const std::wstring& path)
{
    std::vector<int> numbers = {1};
    const size_t lastSlash = path.rfind(L'\\');
    const size_t start = lastSlash == std::wstring::npos ? 0 : lastSlash + 1;
    for (size_t open = path.find(L" (", start); open != std::wstring::npos; open = path.find(L" (", open + 1)) {
        int number = 0;
        size_t i = open + 2;
        for (; i < path.size() && path[i] >= L'0' && path[i] <= L'9' && number < 100000000; ++i)
            number = number * 10 + (path[i] - L'0');
        if (i > open + 2 && i < path.size() && path[i] == L')' && number > 1)
            numbers.push_back(number);
    }
    return numbers;
}

std::vector<size_t> ClaimOrder(const std::vector<const TrackEntry*>& library)
{
    std::vector<size_t> order(library.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&library](size_t a, size_t b) {
        return ClaimsNameFirst(*library[a], a, *library[b], b);
    });
    return order;
}

bool EndsWithComponent(const std::wstring& key, const std::wstring& foldedName)
{
    return key.size() >= foldedName.size() && key.compare(key.size() - foldedName.size(), foldedName.size(), foldedName) == 0 &&
           (key.size() == foldedName.size() || key[key.size() - foldedName.size() - 1] == L'\\');
}

}  // namespace

DestinationNames::DestinationNames(const wchar_t* folder, const wchar_t* rule,
                                   const std::vector<const TrackEntry*>& library,
                                   const std::vector<IndexedCopy>& indexed)
    : m_folder(folder ? folder : L""), m_rule(rule ? rule : L""), m_copies(library.size()),
      m_indexKey(FoldedPath(IndexPathIn(m_folder))), m_pictureKey(FoldedPath(kFolderPictureName))
{
    for (size_t i = 0; i < library.size(); ++i) {
        m_positions.emplace(library[i], i);
        m_copies[i].persistentId = library[i]->persistentId;
    }
    for (const IndexedCopy& copy : indexed)
        m_indexOwners.emplace(FoldedPath(copy.path), copy.persistentId);
    const std::vector<size_t> order = ClaimOrder(library);
    std::vector<bool> kept(library.size(), false);
    KeepIndexedNames(library, order, indexed, kept);
    ClaimOwnNames(library, order, kept);
}

void DestinationNames::KeepIndexedNames(const std::vector<const TrackEntry*>& library,
                                        const std::vector<size_t>& order, const std::vector<IndexedCopy>& indexed,
                                        std::vector<bool>& kept)
{
    std::unordered_multimap<uint64_t, const IndexedCopy*> linesOf;
    for (const IndexedCopy& copy : indexed) {
        if (copy.sizeAsRecorded && copy.persistentId != 0)
            linesOf.emplace(copy.persistentId, &copy);
    }
    for (size_t position : order) {
        const TrackEntry& track = *library[position];
        const auto lines = linesOf.equal_range(track.persistentId);
        for (auto line = lines.first; line != lines.second && !kept[position]; ++line) {
            const std::wstring key = FoldedPath(line->second->path);
            if (m_taken.count(key))
                continue;
            for (int number : NumbersIn(line->second->path)) {
                ItemDestination destination;
                if (FormItemDestination(m_folder.c_str(), m_rule.c_str(), track, destination, number) &&
                    FoldedPath(destination.written.path) == key) {
                    Take(position, destination, key);
                    kept[position] = true;
                    break;
                }
            }
        }
    }
}

void DestinationNames::ClaimOwnNames(const std::vector<const TrackEntry*>& library, const std::vector<size_t>& order,
                                     const std::vector<bool>& kept)
{
    // Every track's own name is kept for the first track that has it, so a
    // numbered name never takes the name another track has on its own.
    std::unordered_map<std::wstring, size_t> owners;   // folded path -> position in the library
    std::vector<ItemDestination> own(library.size());
    for (size_t position : order) {
        if (kept[position] || !FormItemDestination(m_folder.c_str(), m_rule.c_str(), *library[position], own[position]))
            continue;
        const std::wstring key = FoldedPath(own[position].written.path);
        if (!Unavailable(key, library[position]->persistentId))
            owners.emplace(key, position);
    }
    std::unordered_map<std::wstring, int> nextNumber;   // per own name: the number to try next
    for (size_t position : order) {
        if (kept[position])
            continue;
        ItemDestination& destination = own[position];
        const std::wstring key = FoldedPath(destination.written.path);
        const auto owner = owners.find(key);
        if (destination.written.path.empty() || (owner != owners.end() && owner->second == position)) {
            Take(position, destination, key);
            continue;
        }
        const uint64_t id = library[position]->persistentId;
        int& number = nextNumber.emplace(key, 2).first->second;
        for (;; ++number) {
            if (!FormItemDestination(m_folder.c_str(), m_rule.c_str(), *library[position], destination, number))
                break;
            const std::wstring candidate = FoldedPath(destination.written.path);
            if (!owners.count(candidate) && !Unavailable(candidate, id)) {
                Take(position, destination, candidate);
                break;
            }
        }
        ++number;
    }
}

bool DestinationNames::Unavailable(const std::wstring& key, uint64_t persistentId) const
{
    if (m_taken.count(key) || key == m_indexKey || EndsWithComponent(key, m_pictureKey))
        return true;
    const auto owner = m_indexOwners.find(key);
    return owner != m_indexOwners.end() && (persistentId == 0 || owner->second != persistentId);
}

void DestinationNames::Take(size_t position, const ItemDestination& destination, const std::wstring& key)
{
    if (!destination.written.path.empty())
        m_taken.insert(key);
    m_copies[position].destination = destination;
}

bool DestinationNames::Find(const TrackEntry* track, ItemDestination& destination) const
{
    const auto found = m_positions.find(track);
    if (found == m_positions.end()) {
        destination = ItemDestination();
        return false;
    }
    destination = m_copies[found->second].destination;
    return !destination.written.path.empty();
}

bool DestinationNames::ClaimFile(const std::wstring& stem, const wchar_t* extension, DestinationPath& path)
{
    for (int number = 1;; ++number) {
        if (!FormDestinationPath(m_folder.c_str(), stem, extension ? extension : L"", number, path))
            return false;
        const std::wstring key = FoldedPath(path.path);
        if (!Unavailable(key, 0)) {
            m_taken.insert(key);
            return true;
        }
    }
}
