#include "test_http_server.h"

#include <ws2tcpip.h>

namespace {

struct WinsockUser {
    WinsockUser()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockUser() { WSACleanup(); }
};

void EnsureWinsock()
{
    static WinsockUser user;
}

// Binds a new socket to 127.0.0.1 on a port the system picks.
SOCKET BindLoopback(unsigned short* port)
{
    EnsureWinsock();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return s;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    *port = ntohs(address.sin_port);
    return s;
}

std::wstring LoopbackUrl(unsigned short port)
{
    return L"http://127.0.0.1:" + std::to_wstring(port);
}

}  // namespace

TestHttpServer::TestHttpServer(std::string body)
    : m_body(std::move(body)), m_release(CreateEventW(nullptr, TRUE, TRUE, nullptr))
{
    m_listener = BindLoopback(&m_port);
    if (m_listener != INVALID_SOCKET && listen(m_listener, 8) != 0) {
        closesocket(m_listener);
        m_listener = INVALID_SOCKET;
    }
    if (m_listener != INVALID_SOCKET)
        m_thread = std::thread([this] { Serve(); });
}

TestHttpServer::~TestHttpServer()
{
    m_stop = true;
    SetEvent(m_release);
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener != INVALID_SOCKET)
        closesocket(m_listener);
    CloseHandle(m_release);
}

std::wstring TestHttpServer::BaseUrl() const { return LoopbackUrl(m_port); }

std::string TestHttpServer::LastRequest() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastRequest;
}

bool TestHttpServer::WaitForRequests(int count) const
{
    for (int i = 0; i < 2000 && m_requests < count; ++i)
        Sleep(10);
    return m_requests >= count;
}

std::wstring TestHttpServer::UnusedBaseUrl()
{
    unsigned short port = 0;
    SOCKET s = BindLoopback(&port);
    if (s != INVALID_SOCKET)
        closesocket(s);   // never listened on, and now free
    return LoopbackUrl(port);
}

void TestHttpServer::Serve()
{
    while (!m_stop) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(m_listener, &readable);
        timeval wait = {0, 20000};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0)
            continue;
        SOCKET client = accept(m_listener, nullptr, nullptr);
        if (client == INVALID_SOCKET)
            continue;
        Answer(client);
        closesocket(client);
    }
}

void TestHttpServer::Answer(SOCKET client)
{
    std::string request;
    char chunk[1024];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
        const int got = recv(client, chunk, sizeof(chunk), 0);
        if (got <= 0)
            return;
        request.append(chunk, got);
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastRequest = request;
    }
    ++m_requests;
    WaitForSingleObject(m_release, 20000);
    const std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nCache-Control: no-store\r\n"
                              "Content-Length: " + std::to_string(m_body.size()) +
                              "\r\nConnection: close\r\n\r\n" + m_body;
    send(client, reply.data(), static_cast<int>(reply.size()), 0);
    shutdown(client, SD_SEND);
}
