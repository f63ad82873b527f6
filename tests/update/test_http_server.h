#pragma once
// A one-thread HTTP server on 127.0.0.1 that answers every request with one
// fixed body, so that tests can run the real WinINet request against it.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

class TestHttpServer {
public:
    explicit TestHttpServer(std::string body);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    bool IsListening() const { return m_listener != INVALID_SOCKET; }
    std::wstring BaseUrl() const;        // "http://127.0.0.1:<port>"
    int RequestCount() const { return m_requests; }
    std::string LastRequest() const;     // request line and headers

    // While held, requests are read but not answered.
    void HoldReplies() { ResetEvent(m_release); }
    void ReleaseReplies() { SetEvent(m_release); }
    bool WaitForRequests(int count) const;

    // A URL of 127.0.0.1 on which nothing listens.
    static std::wstring UnusedBaseUrl();

private:
    void Serve();
    void Answer(SOCKET client);

    std::string m_body;
    SOCKET m_listener = INVALID_SOCKET;
    unsigned short m_port = 0;
    HANDLE m_release;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_requests{0};
    mutable std::mutex m_mutex;
    std::string m_lastRequest;
    std::thread m_thread;
};
