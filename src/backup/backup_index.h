#pragma once
// The backup index: ".savanto-index" in the destination folder, which
// remembers which copy belongs to which track across runs, so that a name
// never moves from one track to another when the library changes.
//
// UTF-8 text, lines ending in CR LF: "savanto-index 1", then one line per
// copy: the track's persistent id (16 upper-case hex digits), a tab, the
// copy's path below the folder (with "\"), a tab, its size in bytes. Lines
// are sorted by path; paths compare without regard to case.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

constexpr wchar_t kIndexFileName[] = L".savanto-index";
constexpr int kIndexVersion = 1;
// Far more than the lines of the largest library need, for a 32-bit process.
constexpr int64_t kMaxIndexBytes = 128LL << 20;

struct IndexLine {
    uint64_t persistentId = 0;   // never 0: a track without one gets no line
    std::wstring path;           // below the folder
    uint64_t bytes = 0;
};

enum class IndexState {
    kAbsent,       // no index: a first run, or a folder of an earlier version
    kRead,
    kDamaged,      // not an index of this format: ignored, written anew
    kUnreadable,   // there, but it could not be read: ignored, written anew
    kNewer,        // a version above this program's: ignored and left as it is
};

struct BackupIndex {
    IndexState state = IndexState::kAbsent;
    DWORD error = 0;               // the system's, for kUnreadable
    std::vector<IndexLine> lines;  // only for kRead
};

// The lines of an index's bytes (a byte-order mark and LF line ends are
// taken too). kDamaged for anything that is not a sound index: a path that
// is empty, absolute, or climbs out of the folder counts as damage.
IndexState ParseIndex(const std::string& bytes, std::vector<IndexLine>& lines);
// The file's bytes: sorted by path, without regard to case.
std::string IndexText(std::vector<IndexLine> lines);
bool IndexPathsEqual(const std::wstring& a, const std::wstring& b);

// `folder` with the index's name; `folder` may end in "\" or not.
std::wstring IndexPathIn(const std::wstring& folder);
BackupIndex ReadBackupIndex(const std::wstring& folder);

// The log line for an index that a run could not use; empty for one it uses
// or a folder without one.
std::wstring IndexProblemLine(const std::wstring& indexPath, const BackupIndex& index);
// Whether a run writes the index at its end: not over a newer one.
inline bool IndexWritable(const BackupIndex& index) { return index.state != IndexState::kNewer; }

// A file as it is now: false for none or a folder.
struct FileOnDisk {
    bool exists = false;
    uint64_t bytes = 0;
};
FileOnDisk LookAtFile(const std::wstring& path);
