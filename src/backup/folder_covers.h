#pragma once
// Album covers saved with the backup: the iPod keeps the covers a user added
// in iTunes as thumbnails in its ArtworkDB, their only copy once the computer
// is gone. A completed run writes each folder's cover as folder.jpg, where
// players and Windows Explorer look for it, and never replaces one.
#include "db/cover_frames.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// JPEG quality of a saved cover (Wine's encoder ignores it and writes 75).
constexpr float kCoverJpegQuality = 0.9f;

// One track of the run whose copy is in the folder: copied by the run or
// skipped because it was there.
struct CoverCandidate {
    std::wstring folder;            // the folder of its copy, without a trailing "\"
    std::optional<uint32_t> image;  // the cover it carries, by image id
};

struct FolderCover {
    std::wstring folder;
    uint32_t image = 0;
};

// Each folder's cover: the image most of its tracks carry, a tie going to
// the image of the first such track. Folders are compared without regard to
// case and listed in the order their first track comes; a folder whose
// tracks carry no cover is left out.
std::vector<FolderCover> ChooseFolderCovers(const std::vector<CoverCandidate>& candidates);

// The picture as a JPEG file's bytes, through the Windows Imaging Component;
// the calling thread must have initialised COM. False, with the reason, when
// it cannot be encoded.
bool EncodeJpeg(const artwork::Picture& picture, float quality, std::string& bytes, std::wstring& failure);

// What a run hands over to save its covers, read while the tracks could still
// be read: the iPod's root and, in library order, the persistent id and
// artwork link of each track whose copy is in its folder.
struct CoverTrack {
    std::wstring folder;
    uint64_t persistentId = 0;
    uint32_t artworkLink = 0;
};
struct CoverRun {
    std::wstring ipodRoot;
    std::vector<CoverTrack> tracks;
};

// Writes folder.jpg in every folder of `run` whose tracks carry a cover and
// that has none yet, each image decoded and encoded once. `log` takes one
// line per cover written ("cover: <path>") or not written, with its reason;
// when it returns false (the run was cancelled) nothing more is done. Runs
// on the calling thread, which it initialises for COM for the time it takes.
void SaveFolderCovers(const CoverRun& run, const std::function<bool(const std::wstring& line)>& log);
