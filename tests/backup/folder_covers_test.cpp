// Covers saved at the end of a run: which image each folder gets, and whole
// runs over a sample iPod with covers whose folder.jpg files are read back.
#include "backup/folder_covers.h"

#include "backup/destination_path.h"
#include "copy_test_util.h"
#include "ipodgen/sample_ipod.h"
#include "library/media_library.h"
#include "support/picture_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

using namespace copy_test;

namespace {

TEST(FolderCovers, EachFolderTakesTheCoverMostOfItsTracksCarry)
{
    const std::optional<uint32_t> none;
    std::wstring chosen;
    for (const FolderCover& cover :
         ChooseFolderCovers({{L"C:\\Tie", 7}, {L"C:\\Most", 1}, {L"C:\\tie", 8}, {L"C:\\Most", 2}, {L"C:\\Most", 2},
                             {L"C:\\None", none}, {L"C:\\Tie", 8}, {L"C:\\Tie", 7}, {L"C:\\Both", none}, {L"C:\\Both", 3}}))
        chosen += cover.folder + L"=" + std::to_wstring(cover.image) + L" ";
    EXPECT_EQ(L"C:\\Tie=7 C:\\Most=2 C:\\Both=3 ", chosen);
}

// Runs every track of a sample iPod of three albums (tracks 0-9, 10-19 and
// 20-23; the second album has no cover), its database read as the program
// reads it.
class FolderCoversRun : public CopyRunFixture {
protected:
    void SetUp() override
    {
        CopyRunFixture::SetUp();
        options.trackCount = 24;
        options.covers = ipodgen::SampleCovers::kShared;
        ASSERT_TRUE(ipodgen::CreateSampleIpod(ipod.Path(), options, &samples));
        loaded = ReadDatabase((ipod.Path() + L"\\iPod_Control\\iTunes\\iTunesDB").c_str());
        ASSERT_EQ(samples.size(), loaded.tracks.size());
    }

    void RunAll(bool saveCovers)
    {
        ownedHost = std::make_unique<RecordingHost>(*host);
        host = ownedHost.get();
        host->log.clear();
        std::vector<TrackEntry*> list;
        for (auto& track : loaded.tracks)
            list.push_back(track.get());
        PrepareCopyRun(job, list, std::move(ownedHost));
        job.library.tracks.assign(list.begin(), list.end());
        job.library.saveCovers = saveCovers;
        RunCopyJob(job, *host);
    }

    // folder.jpg in the folder of sample track i's copy.
    std::wstring PictureOf(size_t i) const
    {
        ItemDestination destination;
        FormItemDestination(job.destinationFolder, host->rule.c_str(), *loaded.tracks[i], destination);
        const std::wstring& path = destination.written.path;
        return path.substr(0, path.rfind(L'\\')) + L"\\folder.jpg";
    }

    std::vector<std::wstring> CoverLines() const
    {
        std::vector<std::wstring> lines;
        std::copy_if(host->log.begin(), host->log.end(), std::back_inserter(lines),
                     [](const std::wstring& line) { return line.compare(0, 5, L"cover") == 0; });
        return lines;
    }

    ipodgen::SampleIpodOptions options;
    std::vector<ipodgen::SampleTrack> samples;
    LoadedDatabase loaded;
};

// The first album's cover, close to its pixels after JPEG; none for the
// album without one; a user's own folder.jpg stays as it was.
TEST_F(FolderCoversRun, EveryAlbumWithACoverGetsItsFolderJpgAndNoneIsReplaced)
{
    CreateDirectoryPath(PictureOf(23).substr(0, PictureOf(23).rfind(L'\\') + 1).c_str());
    const std::vector<BYTE> users = Pattern(700, 3);
    ASSERT_TRUE(WriteBytes(PictureOf(23), users));
    RunAll(true);
    artwork::Picture saved;
    ASSERT_TRUE(ReadPictureFile(PictureOf(0), saved));
    EXPECT_LE(MeanChannelDifference(saved, *ipodgen::SampleCoverOf(options, samples[0])), 10.0);
    EXPECT_FALSE(ipodgen::SampleCoverOf(options, samples[10]) || Exists(PictureOf(10)));
    std::vector<BYTE> kept;
    EXPECT_TRUE(ReadBytes(PictureOf(23), kept) && kept == users);
    EXPECT_EQ(std::vector<std::wstring>{L"cover: " + PictureOf(0)}, CoverLines());
}

TEST_F(FolderCoversRun, SwitchedOffNothingIsWrittenAndADamagedDatabaseIsSaid)
{
    RunAll(false);
    EXPECT_TRUE(CoverLines().empty());
    EXPECT_FALSE(Exists(PictureOf(0)));
    const std::wstring database = ipod.Path() + L"\\iPod_Control\\Artwork\\ArtworkDB";
    ASSERT_TRUE(WriteBytes(database, Pattern(40, 1)));
    RunAll(true);
    EXPECT_EQ(std::vector<std::wstring>{L"cover failed: " + database + L" (ArtworkDB damaged)"}, CoverLines());
    EXPECT_EQ(0, std::count(job.outcomes.begin(), job.outcomes.end(), CopyOutcome::Failed));
}

}  // namespace
