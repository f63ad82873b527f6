#pragma once
// The library file: when the option is on, a completed copy run leaves
// "<iPod name> Library.xml" in the destination folder, an XML property list
// laid out as music players import a library from, holding every track whose
// copy is in the folder (with the ratings, plays and dates that only the iPod
// knows) and every playlist, each pointing at the copies by location.
#include "backup/library_source.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

constexpr wchar_t kLibraryFileSuffix[] = L" Library";
constexpr wchar_t kLibraryExtension[] = L".xml";
constexpr wchar_t kUnnamedIpod[] = L"iPod";

// The file's name without its extension: the iPod's name cleaned like a
// playlist file name, then " Library"; "iPod Library" for an iPod without one.
std::wstring LibraryFileStem(const std::wstring& ipodName);

// Turns a local time of the iPod into UTC; false when it cannot.
using LocalToUtcFn = bool (*)(const SYSTEMTIME& local, SYSTEMTIME* utc);
// With the PC's time zone and the daylight-saving rule of that date.
bool PcLocalToUtc(const SYSTEMTIME& local, SYSTEMTIME* utc);

// Seconds since 1904-01-01 as a calendar time; false for 0 (never).
bool MacSecondsToSystemTime(uint32_t seconds, SYSTEMTIME* time);
// "YYYY-MM-DDTHH:MM:SSZ".
std::string XmlDate(const SYSTEMTIME& utc);
// The text in UTF-8 with "&", "<" and ">" escaped and a carriage return kept
// as a reference; characters XML 1.0 cannot hold (other control characters,
// unpaired surrogates, U+FFFE, U+FFFF) are dropped.
std::string XmlText(const wchar_t* text);
// "file://localhost/" and the path with "/" for "\", every UTF-8 byte other
// than letters, digits, "-._~/" and the drive's ":" written as %XX. A UNC
// path gives "file://localhost//server/share/...".
std::string FileUrl(const std::wstring& path);

struct LibraryFileInfo {
    std::wstring folder;               // the destination folder
    std::wstring applicationVersion;
    SYSTEMTIME now = {};               // UTC: when the file was made
    LocalToUtcFn localToUtc = PcLocalToUtc;
};

// The whole file. `copies` has one entry per track of `library.tracks`; only
// tracks whose copy exists have an entry, and playlists list only those.
// A track's Track ID is its position in the library plus one.
std::string LibraryFileText(const LibrarySource& library, const std::vector<TrackCopy>& copies,
                            const LibraryFileInfo& info);
