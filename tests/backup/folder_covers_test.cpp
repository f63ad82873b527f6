// Covers saved at the end of a run: which image each folder gets, and whole
// runs over a sample iPod with covers whose folder.jpg files are read back.
#include "backup/folder_covers.h"

#include "backup/destination_path.h"
#include "copy_test_util.h"
#include "ipodgen/sample_ipod.h"
#include "library/media_library.h"
#include "support/picture_file.h"

#include <gtest/gtest.h>

#include <map>

using namespace copy_test;

namespace {

TEST(FolderCovers, EachFolderTakesTheCoverMostOfItsTracksCarry)
{
    const std::optional<uint32_t> none;
    const std::vector<CoverCandidate> candidates = {
        {L"C:\\B\\Tie", 7}, {L"C:\\B\\Most", 1}, {L"C:\\B\\tie", 8}, {L"C:\\B\\Most", 2},
        {L"C:\\B\\Most", 2}, {L"C:\\B\\None", none}, {L"C:\\B\\Tie", 8}, {L"C:\\B\\Tie", 7},
        {L"C:\\B\\Partly", none}, {L"C:\\B\\Partly", 3},
    };
    const std::vector<FolderCover> covers = ChooseFolderCovers(candidates);
    std::vector<std::pair<std::wstring, uint32_t>> chosen;
    for (const FolderCover& cover : covers)
        chosen.push_back({cover.folder, cover.image});
    EXPECT_EQ((std::vector<std::pair<std::wstring, uint32_t>>{
                  {L"C:\\B\\Tie", 7}, {L"C:\\B\\Most", 2}, {L"C:\\B\\Partly", 3}}),
              chosen);
}

class FolderCoversRun : public CopyRunFixture {
protected:
    // A sample iPod of three albums, the second without covers, in the
    // fixture's iPod folder, its database read as the program reads it.
    void LoadSample(ipodgen::SampleCovers style)
    {
        options.trackCount = 24;
        options.covers = style;
        ASSERT_TRUE(ipodgen::CreateSampleIpod(ipod.Path(), options, &samples));
        loaded = ReadDatabase((ipod.Path() + L"\\iPod_Control\\iTunes\\iTunesDB").c_str());
        ASSERT_EQ(samples.size(), loaded.tracks.size());
    }

    void RunAll(bool saveCovers = true)
    {
        std::vector<TrackEntry*> list;
        for (auto& track : loaded.tracks)
            list.push_back(track.get());
        PrepareCopyRun(job, list, std::move(ownedHost));
        job.library.tracks.assign(list.begin(), list.end());
        job.library.saveCovers = saveCovers;
        RunCopyJob(job, *host);
    }

    // The folder of each sample track's copy.
    std::wstring FolderOf(size_t i) const
    {
        ItemDestination destination;
        FormItemDestination(job.destinationFolder, host->rule.c_str(), *loaded.tracks[i], destination);
        const std::wstring& path = destination.written.path;
        return path.substr(0, path.rfind(L'\\'));
    }

    std::vector<std::wstring> CoverLines() const
    {
        std::vector<std::wstring> lines;
        for (const std::wstring& line : host->log)
            if (line.compare(0, 5, L"cover") == 0)
                lines.push_back(line);
        return lines;
    }

    ipodgen::SampleIpodOptions options;
    std::vector<ipodgen::SampleTrack> samples;
    LoadedDatabase loaded;
};

// Either style: an album's cover as folder.jpg, close to its pixels after
// JPEG; none for the album without one, and a user's own folder.jpg stays.
TEST_F(FolderCoversRun, EveryAlbumWithACoverGetsItsFolderJpgAndNoneIsReplaced)
{
    for (const auto style : {ipodgen::SampleCovers::kShared, ipodgen::SampleCovers::kPerTrack}) {
        LoadSample(style);
        const std::wstring usersFolder = FolderOf(samples.size() - 1);
        CreateDirectoryPath((usersFolder + L"\\").c_str());
        const std::vector<BYTE> usersPicture = Pattern(700, 3);
        ASSERT_TRUE(WriteBytes(usersFolder + L"\\folder.jpg", usersPicture));
        RunAll();

        std::map<std::wstring, std::optional<artwork::Picture>> expected;   // by folder
        for (size_t i = 0; i < samples.size(); ++i)
            expected.emplace(FolderOf(i), ipodgen::SampleCoverOf(options, samples[i]));
        std::vector<std::wstring> written;
        for (const auto& [folder, cover] : expected) {
            const std::wstring path = folder + L"\\folder.jpg";
            artwork::Picture saved;
            if (folder == usersFolder) {
                std::vector<BYTE> kept;
                EXPECT_TRUE(ReadBytes(path, kept) && kept == usersPicture) << "a folder.jpg was replaced";
            } else if (!cover) {
                EXPECT_FALSE(Exists(path)) << "a cover for an album without one";
            } else {
                written.push_back(L"cover: " + path);
                ASSERT_TRUE(ReadPictureFile(path, saved)) << path;
                EXPECT_LE(MeanChannelDifference(saved, *cover), 10.0) << path;
            }
        }
        std::sort(written.begin(), written.end());
        std::vector<std::wstring> logged = CoverLines();
        std::sort(logged.begin(), logged.end());
        EXPECT_EQ(written, logged);
        EXPECT_EQ(1u, written.size()) << "three albums: one without a cover, one with the user's picture";

        // Switched off, or cancelled: no cover at all.
        ASSERT_TRUE(testing_support::RemoveTree(backup.Path()) && CreateDirectoryW(backup.Path().c_str(), nullptr));
        ownedHost = std::make_unique<RecordingHost>(*host);
        host = ownedHost.get();
        host->log.clear();
        RunAll(false);
        EXPECT_TRUE(CoverLines().empty());
        for (const auto& folder : expected)
            EXPECT_FALSE(Exists(folder.first + L"\\folder.jpg"));
        ASSERT_TRUE(testing_support::RemoveTree(backup.Path()) && CreateDirectoryW(backup.Path().c_str(), nullptr));
        ownedHost = std::make_unique<RecordingHost>(*host);
        host = ownedHost.get();
        host->log.clear();
    }
}

TEST_F(FolderCoversRun, ADamagedArtworkDatabaseIsSaidAndTheRunGoesOn)
{
    LoadSample(ipodgen::SampleCovers::kShared);
    const std::wstring database = ipod.Path() + L"\\iPod_Control\\Artwork\\ArtworkDB";
    ASSERT_TRUE(WriteBytes(database, Pattern(40, 1)));
    RunAll();
    EXPECT_EQ(std::vector<std::wstring>{L"cover failed: " + database + L" (ArtworkDB damaged)"}, CoverLines());
    EXPECT_TRUE(std::all_of(job.outcomes.begin(), job.outcomes.end(),
                            [](CopyOutcome outcome) { return outcome == CopyOutcome::Copied; }));
}

}  // namespace
