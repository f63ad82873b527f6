// make_sample_ipod FOLDER [--tracks N] [--name TEXT | --no-device-info]
//                         [--label TEXT] [--no-media] [--media-bytes N] [--compressed] [--awkward]
//                         [--drop N] [--albums N] [--covers video|classic]
// Fills FOLDER as a simulated iPod volume. --label writes Wine's volume label
// file, so the folder mapped as a drive letter reports that label.
// --compressed writes the database as newer iPods do: iTunesCDB, compressed,
// beside a zero-byte iTunesDB. --awkward gives the last six tracks names
// that are hard to write on Windows (ipodgen::AwkwardTracks). --drop N leaves
// the N-th track (from 1) out, as an iPod from which it was deleted. --albums
// spreads the tracks over N albums (default: ten tracks to an album). --covers
// writes each album's cover as that iPod keeps it: an image per track (video),
// or one per album named by the tracks' links (classic); album 1, and every
// fourth after it, has none.
#include "ipodgen/sample_ipod.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

int Usage()
{
    fwprintf(stderr, L"usage: make_sample_ipod FOLDER [--tracks N] [--name TEXT | --no-device-info]\n"
                     L"                        [--label TEXT] [--no-media] [--media-bytes N] [--compressed]\n"
                     L"                        [--awkward] [--drop N] [--albums N] [--covers video|classic]\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return Usage();
    const std::wstring folder = argv[1];
    ipodgen::SampleIpodOptions options;
    std::wstring label;
    for (int i = 2; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--tracks" && hasValue)
            options.trackCount = _wtoi(argv[++i]);
        else if (arg == L"--name" && hasValue)
            options.deviceName = std::wstring(argv[++i]);
        else if (arg == L"--no-device-info")
            options.deviceName.reset();
        else if (arg == L"--label" && hasValue)
            label = argv[++i];
        else if (arg == L"--no-media")
            options.mediaFiles = false;
        else if (arg == L"--compressed")
            options.compressedDatabase = true;
        else if (arg == L"--awkward")
            options.awkwardNames = true;
        else if (arg == L"--drop" && hasValue)
            options.droppedTrack = _wtoi(argv[++i]);
        else if (arg == L"--albums" && hasValue)
            options.albumCount = _wtoi(argv[++i]);
        else if (arg == L"--covers" && hasValue && (argv[i + 1] == std::wstring(L"video") ||
                                                    argv[i + 1] == std::wstring(L"classic")))
            options.covers = argv[++i] == std::wstring(L"video") ? ipodgen::SampleCovers::kPerTrack
                                                                 : ipodgen::SampleCovers::kShared;
        else if (arg == L"--media-bytes" && hasValue)
            options.mediaBytes = static_cast<uint32_t>(_wtoi(argv[++i]));
        else
            return Usage();
    }
    if (!ipodgen::CreateSampleIpod(folder, options)) {
        fwprintf(stderr, L"make_sample_ipod: cannot write %ls\n", folder.c_str());
        return 1;
    }
    if (!label.empty()) {
        std::string utf8(label.size() * 3 + 1, '\0');
        const int n = WideCharToMultiByte(CP_UTF8, 0, label.c_str(), static_cast<int>(label.size()),
                                          utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
        utf8.resize(n > 0 ? n : 0);
        ipodgen::WriteBytes(folder + L"\\.windows-label", ipodgen::Bytes(utf8.begin(), utf8.end()));
    }
    wprintf(L"sample iPod with %d tracks in %ls\n", options.trackCount - (options.droppedTrack > 0 ? 1 : 0),
            folder.c_str());
    return 0;
}
