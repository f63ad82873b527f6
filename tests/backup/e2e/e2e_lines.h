#pragma once
// What a copy run leaves behind is read back line by line: every line of the
// transfer log and of a playlist file ends in CR LF.
#include "backup/destination_path.h"
#include "ipodgen/db_builder.h"
#include "ipodgen/sample_ipod.h"

#include <windows.h>

#include <string>
#include <vector>

// The lines without their CR LF; a rest without one comes last, marked "<unterminated> ".
inline std::vector<std::wstring> SplitCrLfLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start != text.size())
        lines.push_back(L"<unterminated> " + text.substr(start));
    return lines;
}

// The lines of a UTF-16LE file such as transfer_log.txt; none when it cannot be read.
inline std::vector<std::wstring> ReadUtf16Lines(const std::wstring& path)
{
    std::vector<BYTE> bytes;
    if (!ipodgen::ReadBytes(path, &bytes))
        return {};
    return SplitCrLfLines(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2));
}

// Where Savanto puts the copy of each sample track under `rule`: the full
// path, empty when the track has none.
inline std::vector<std::wstring> SampleCopyPaths(const std::vector<ipodgen::SampleTrack>& tracks,
                                                 const std::wstring& folder, const wchar_t* rule)
{
    const auto owned = [](const std::wstring& text) {
        OwnedText copy(new wchar_t[text.size() + 1]);
        wmemcpy(copy.get(), text.c_str(), text.size() + 1);
        return copy;
    };
    std::vector<TrackEntry> entries(tracks.size());
    std::vector<const TrackEntry*> library;
    for (size_t i = 0; i < tracks.size(); ++i) {
        entries[i].title = owned(tracks[i].title);
        entries[i].artist = owned(tracks[i].artist);
        entries[i].album = owned(tracks[i].album);
        entries[i].trackNumber = tracks[i].trackNumber;
        entries[i].location = owned(tracks[i].location);
        library.push_back(&entries[i]);
    }
    const DestinationNames names(folder.c_str(), rule, library);
    std::vector<std::wstring> paths;
    for (const TrackEntry& entry : entries) {
        ItemDestination destination;
        names.Find(&entry, destination);
        paths.push_back(destination.written.path);
    }
    return paths;
}
