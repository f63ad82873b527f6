// The end of a cancelled run on a real worker thread: what waits for its last
// step (a second run, the process's end) must answer the window calls the
// worker makes meanwhile, and find the partial file gone afterwards.
#include "backup/copy_job.h"

#include <gtest/gtest.h>

#include "copy_test_util.h"
#include "support/test_support.h"

using namespace copy_test;
using testing_support::TempDir;

namespace {

constexpr UINT kInLastStep = WM_APP + 1;

// The worker stops at its second pause until the gate opens; the test thread
// cancels the run meanwhile, so the worker's next step is its last. In that
// step it makes one window call on the test thread, which only a wait that
// answers sent messages lets through.
class CopyWorkerEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CreateDirectoryW((ipod.Path() + L"\\Music").c_str(), nullptr));
        wcscpy(job.destinationFolder, (backup.Path() + L"\\").c_str());
        job.chunkBytes = kTestChunkBytes;
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = CalleeProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"SavantoCopyWorkerEndTest";
        RegisterClassW(&windowClass);
        callee = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 windowClass.hInstance, nullptr);
        ASSERT_NE(nullptr, callee);
        SetWindowLongPtrW(callee, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }

    void TearDown() override
    {
        SetEvent(gate.Get());
        WaitForCopyWorker(job);
        DestroyWindow(callee);
    }

    static LRESULT CALLBACK CalleeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* test = reinterpret_cast<CopyWorkerEndTest*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (test && message == kInLastStep) {
            test->answeredWhile = test->phase;
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    std::vector<TrackEntry*> AddTracks(std::initializer_list<size_t> sizes)
    {
        std::vector<TrackEntry*> list;
        for (size_t size : sizes) {
            const std::wstring file = L"T" + std::to_wstring(tracks.size()) + L".mp3";
            const std::wstring title = L"Song " + std::to_wstring(tracks.size());
            EXPECT_TRUE(WriteBytes(ipod.Path() + L"\\Music\\" + file, Pattern(size, BYTE(tracks.size() + 1))));
            tracks.push_back(MakeTrack(L"Artist", L"Album", 1, title.c_str(), (L":Music:" + file).c_str()));
            list.push_back(tracks.back().get());
        }
        return list;
    }

    std::wstring Destination(const TrackEntry& track) const
    {
        return backup.Path() + L"\\Artist - Album\\1 - " + track.title.get() + L".mp3";
    }

    // Starts a run on `list` and cancels it while its worker waits at the gate
    // with its first file partly written.
    void StartRunAndCancelIt(const std::vector<TrackEntry*>& list)
    {
        auto host = std::make_unique<RecordingHost>();
        host->root = ipod.Path() + L"\\";
        host->onStep = [this](int step) {
            if (step != 2)
                return;
            SetEvent(atGate.Get());
            WaitForSingleObject(gate.Get(), INFINITE);
            SendMessageW(callee, kInLastStep, 0, 0);
        };
        PrepareCopyRun(job, list, std::move(host));
        ASSERT_TRUE(StartCopyWorker(job));
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(atGate.Get(), 60000));
        CancelCopyRun(job);
    }

    // Lets the worker take its last step; its window call is answered by
    // whatever waits next on this thread.
    void OpenTheGate(const char* nextWait)
    {
        phase = nextWait;
        SetEvent(gate.Get());
    }

    TempDir ipod, backup;
    std::vector<std::unique_ptr<TrackEntry>> tracks;
    CopyJob job;
    HWND callee = nullptr;
    ScopedKernelHandle atGate{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    ScopedKernelHandle gate{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    const char* phase = "before";
    const char* answeredWhile = "never";
};

TEST_F(CopyWorkerEndTest, TheProcessEndWaitsBoundedForTheCancelledWorkersLastStep)
{
    const auto list = AddTracks({1000000});
    StartRunAndCancelIt(list);
    const std::wstring partial = Destination(*tracks[0]) + L".part";
    EXPECT_TRUE(Exists(partial)) << "what ending the process now would leave behind";
    EXPECT_FALSE(WaitForCopyWorkerBeforeExit(job, 100)) << "the worker is held at the gate";
    EXPECT_TRUE(Exists(partial));

    OpenTheGate("the process's end");
    EXPECT_TRUE(WaitForCopyWorkerBeforeExit(job, 60000));
    EXPECT_STREQ("the process's end", answeredWhile);
    EXPECT_FALSE(Exists(partial));
    EXPECT_FALSE(Exists(Destination(*tracks[0])));
    EXPECT_EQ(0u, tracks[0]->isChecked);
    EXPECT_TRUE(WaitForCopyWorkerBeforeExit(job, 0)) << "an ended worker is not waited for";
}

TEST_F(CopyWorkerEndTest, ASecondRunStartedInTheCancelledWorkersLastStepWaitsForIt)
{
    const auto first = AddTracks({1000000});
    const auto second = AddTracks({300000, 10});
    StartRunAndCancelIt(first);

    auto host = std::make_unique<RecordingHost>();
    host->root = ipod.Path() + L"\\";
    RecordingHost& secondHost = *host;
    OpenTheGate("the second run's preparation");
    PrepareCopyRun(job, second, std::move(host));
    EXPECT_STREQ("the second run's preparation", answeredWhile);
    EXPECT_FALSE(Exists(Destination(*tracks[0]) + L".part"));

    ASSERT_TRUE(StartCopyWorker(job));
    WaitForCopyWorker(job);
    EXPECT_FALSE(Exists(Destination(*tracks[0])));
    EXPECT_EQ(secondHost.log, (std::vector<std::wstring>{L"copying: " + Destination(*tracks[1]),
                                                         L"copying: " + Destination(*tracks[2])}));
    EXPECT_EQ(secondHost.dialogCloses, 1);
    for (size_t i = 1; i < tracks.size(); ++i) {
        std::vector<BYTE> copy;
        EXPECT_TRUE(ReadBytes(Destination(*tracks[i]), copy));
        EXPECT_EQ(Pattern(i == 1 ? 300000 : 10, BYTE(i + 1)), copy);
        EXPECT_EQ(0u, tracks[i]->isChecked);
    }
}

}  // namespace
