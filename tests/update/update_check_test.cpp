#include "test_http_server.h"   // winsock2.h before windows.h
#include "update/update_check.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

namespace {

struct Box {
    std::wstring text, caption;
    UINT style;
};

std::mutex g_recordMutex;
std::vector<Box> g_boxes;
std::vector<std::wstring> g_openedPages;
int g_answer = IDNO;

int RecordBox(HWND, const wchar_t* text, const wchar_t* caption, UINT style)
{
    std::lock_guard<std::mutex> lock(g_recordMutex);
    g_boxes.push_back({text, caption, style});
    return g_answer;
}

void RecordPage(const wchar_t* url)
{
    std::lock_guard<std::mutex> lock(g_recordMutex);
    g_openedPages.push_back(url);
}

constexpr wchar_t kNewVersionText[] =
    L"A new version of Savanto is available. Do you want download the latest version?";

class UpdateCheck : public testing::Test {
protected:
    void SetUp() override
    {
        g_boxes.clear();
        g_openedPages.clear();
        g_answer = IDNO;
        update_testing::SetMessageBox(RecordBox);
        update_testing::SetOpenPage(RecordPage);
    }
    void TearDown() override
    {
        update_testing::SetServer(nullptr);
        update_testing::SetMessageBox(nullptr);
        update_testing::SetOpenPage(nullptr);
    }

    // Runs one check against `baseUrl` through the real thread and waits for it.
    static void Check(const std::wstring& baseUrl, bool silent)
    {
        update_testing::SetServer(baseUrl.c_str());
        StartUpdateCheck(silent ? 1 : 0);
        ASSERT_TRUE(WaitForIdle());
    }
    static bool WaitForIdle()
    {
        for (int i = 0; i < 3000 && g_updateCheckRunning != 0; ++i)
            Sleep(10);
        return g_updateCheckRunning == 0;
    }
    static std::vector<Box> Boxes()
    {
        std::lock_guard<std::mutex> lock(g_recordMutex);
        return g_boxes;
    }
    static void ExpectNewVersionQuestion()
    {
        const std::vector<Box> boxes = Boxes();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(kNewVersionText, boxes[0].text);
        EXPECT_EQ(L"New version available", boxes[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_YESNO), boxes[0].style);
    }
};

TEST_F(UpdateCheck, SendsTheRequestOfTheProtocol)
{
    TestHttpServer server("1.1.3");
    ASSERT_TRUE(server.IsListening());
    Check(server.BaseUrl(), false);
    ASSERT_EQ(1, server.RequestCount());
    const std::string request = server.LastRequest();
    EXPECT_EQ(0u, request.find("GET /savanto/latest.txt HTTP/1.1\r\n")) << request;
    EXPECT_NE(std::string::npos, request.find("User-Agent: SavantoUpdate v1.1.3\r\n")) << request;
    EXPECT_NE(std::string::npos, request.find("Pragma: no-cache")) << request;
}

TEST_F(UpdateCheck, CurrentVersionIsReportedOnlyWhenAsked)
{
    TestHttpServer server("1.1.3");
    Check(server.BaseUrl(), false);
    std::vector<Box> boxes = Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"You are running the latest version of Savanto", boxes[0].text);
    EXPECT_EQ(L"Version Checker", boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK), boxes[0].style);

    g_boxes.clear();
    Check(server.BaseUrl(), true);
    EXPECT_EQ(2, server.RequestCount());
    EXPECT_TRUE(Boxes().empty());
}

// There is no ordering of versions: anything but the exact text is "new",
// a trailing line break included.
TEST_F(UpdateCheck, AnyOtherReplyOffersTheNewVersionInBothModes)
{
    for (const char* reply : {"1.1.4", "1.0", "1.1.3\r\n", "1.1.3\n", "1.1.3 "}) {
        for (bool silent : {false, true}) {
            SCOPED_TRACE(std::string(reply) + (silent ? " silent" : " interactive"));
            g_boxes.clear();
            TestHttpServer server(reply);
            Check(server.BaseUrl(), silent);
            ExpectNewVersionQuestion();
            EXPECT_TRUE(g_openedPages.empty());   // answered No
        }
    }
}

TEST_F(UpdateCheck, YesOpensTheDownloadPageOfTheSameServer)
{
    g_answer = IDYES;
    TestHttpServer server("1.1.4");
    Check(server.BaseUrl(), true);
    ExpectNewVersionQuestion();
    ASSERT_EQ(1u, g_openedPages.size());
    EXPECT_EQ(server.BaseUrl() + L"/savanto/download.php", g_openedPages[0]);
}

TEST_F(UpdateCheck, ReplyIsReadOnceUpToThirtyTwoBytesAndEndsAtAZero)
{
    {
        TestHttpServer server(std::string("1.1.3\0trailing bytes", 20));
        Check(server.BaseUrl(), false);
        ASSERT_EQ(1u, Boxes().size());
        EXPECT_EQ(L"You are running the latest version of Savanto", Boxes()[0].text);
    }
    g_boxes.clear();
    {
        TestHttpServer server(std::string(40, '7'));
        Check(server.BaseUrl(), false);
        ExpectNewVersionQuestion();
    }
}

TEST_F(UpdateCheck, NoServerIsAnErrorOnlyWhenAsked)
{
    const std::wstring nobody = TestHttpServer::UnusedBaseUrl();
    Check(nobody, true);
    EXPECT_TRUE(Boxes().empty());

    Check(nobody, false);
    const std::vector<Box> boxes = Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"Error retrieving current version from internet", boxes[0].text);
    EXPECT_EQ(L"Version Checker", boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), boxes[0].style);
}

TEST_F(UpdateCheck, SecondStartWhileOneRunsDoesNothing)
{
    TestHttpServer server("1.1.3");
    server.HoldReplies();
    update_testing::SetServer(server.BaseUrl().c_str());
    StartUpdateCheck(0);
    EXPECT_EQ(1, g_updateCheckRunning.load());
    StartUpdateCheck(0);   // before the first has even sent its request
    ASSERT_TRUE(server.WaitForRequests(1));
    StartUpdateCheck(1);   // while the first waits for its reply
    server.ReleaseReplies();
    ASSERT_TRUE(WaitForIdle());
    EXPECT_EQ(1, server.RequestCount());
    EXPECT_EQ(1u, Boxes().size());

    // Once it has ended, a new check runs again.
    Check(server.BaseUrl(), false);
    EXPECT_EQ(2, server.RequestCount());
}

TEST(UpdateVerdict, ComparesTheReplyBytesWithTheProgramsVersion)
{
    EXPECT_EQ(UpdateVerdict::ReadFailed, JudgeReply(false, "1.1.3", 5));
    EXPECT_EQ(UpdateVerdict::Current, JudgeReply(true, "1.1.3", 5));
    EXPECT_EQ(UpdateVerdict::NewVersion, JudgeReply(true, "1.1.3", 4));   // "1.1."
    EXPECT_EQ(UpdateVerdict::NewVersion, JudgeReply(true, "", 0));
    const char full[32] = {'1', '.', '1', '.', '3', 'x'};
    EXPECT_EQ(UpdateVerdict::NewVersion, JudgeReply(true, full, sizeof(full)));
}

TEST(WideToAnsi, ConvertsWithTheTerminator)
{
    std::unique_ptr<char[]> text = WideToAnsi(L"1.1.3");
    ASSERT_TRUE(text);
    EXPECT_STREQ("1.1.3", text.get());
    text = WideToAnsi(L"");
    ASSERT_TRUE(text);
    EXPECT_STREQ("", text.get());
}

}  // namespace
