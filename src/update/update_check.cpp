#include "update/update_check.h"

#include "db/scoped_handle.h"
#include "library/app_globals.h"

#include <shellapi.h>
#include <wininet.h>

#include <cstring>
#include <string>

#include <strsafe.h>   // after the C++ headers, whose names it poisons

std::atomic<int32_t> g_updateCheckRunning{0};

namespace {

constexpr wchar_t kUserAgent[] = L"SavantoUpdate v1.1.3";
constexpr wchar_t kBuiltInServer[] = L"https://www.quillmere.com";
constexpr wchar_t kLatestPath[] = L"/savanto/latest.txt";
constexpr wchar_t kDownloadPath[] = L"/savanto/download.php";
constexpr DWORD kReplyCapacity = 32;
constexpr DWORD kUrlCapacity = 512;

std::wstring g_serverOverride;   // empty: the built-in server
update_testing::MessageBoxFn g_messageBox = nullptr;
update_testing::OpenPageFn g_openPage = nullptr;

using InternetHandle = ScopedHandle<HINTERNET, InternetCloseHandle>;

int ShowBox(const wchar_t* text, const wchar_t* caption, UINT style)
{
    if (g_messageBox)
        return g_messageBox(g_hMainWnd, text, caption, style);
    return MessageBoxW(g_hMainWnd, text, caption, style);
}

bool MakeUrl(const wchar_t* path, wchar_t* url)
{
    const wchar_t* server = g_serverOverride.empty() ? kBuiltInServer : g_serverOverride.c_str();
    return SUCCEEDED(StringCchPrintfW(url, kUrlCapacity, L"%s%s", server, path));
}

void OpenDownloadPage()
{
    wchar_t url[kUrlCapacity];
    if (!MakeUrl(kDownloadPath, url))
        return;
    if (g_openPage)
        g_openPage(url);
    else
        ShellExecuteW(nullptr, L"open", url, nullptr, nullptr, SW_HIDE);
}

// Fills `reply` with up to 32 bytes of latest.txt in one read; false when
// the request or the read fails.
bool ReadLatestVersion(HINTERNET session, char* reply, DWORD* replyBytes)
{
    wchar_t url[kUrlCapacity];
    if (!session || !MakeUrl(kLatestPath, url))
        return false;
    InternetHandle request(InternetOpenUrlW(session, url, nullptr, 0, INTERNET_FLAG_PRAGMA_NOCACHE, 0));
    if (!request.Get())
        return false;
    return InternetReadFile(request.Get(), reply, kReplyCapacity, replyBytes) != FALSE;
}

void Report(UpdateVerdict verdict, bool silent)
{
    switch (verdict) {
    case UpdateVerdict::ReadFailed:
        if (!silent)
            ShowBox(L"Error retrieving current version from internet", L"Version Checker", MB_ICONERROR);
        break;
    case UpdateVerdict::Current:
        if (!silent)
            ShowBox(L"You are running the latest version of Savanto", L"Version Checker", MB_OK);
        break;
    case UpdateVerdict::NewVersion:
        if (ShowBox(L"A new version of Savanto is available. Do you want download the latest version?",
                    L"New version available", MB_YESNO) == IDYES)
            OpenDownloadPage();
        break;
    }
}

void RunCheck(bool silent)
{
    // WinINet documents no option for the TLS versions: it takes them from
    // Internet Options (Advanced, "Use TLS 1.2"), as the help tells the user.
    InternetHandle session(InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session.Get()) {
        // One box is enough: the request could only fail after this.
        if (!silent)
            ShowBox(L"This option requires an internet connection. Please connect to internet and try again",
                    L"Error", MB_ICONERROR);
        return;
    }
    char reply[kReplyCapacity] = {};
    DWORD replyBytes = 0;
    const bool readOk = ReadLatestVersion(session.Get(), reply, &replyBytes);
    Report(JudgeReply(readOk, reply, replyBytes), silent);
}

}  // namespace

std::unique_ptr<char[]> WideToAnsi(const wchar_t* text)
{
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return nullptr;
    std::unique_ptr<char[]> ansi(new char[bytes]);
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, ansi.get(), bytes, nullptr, nullptr) != bytes)
        return nullptr;
    return ansi;
}

UpdateVerdict JudgeReply(bool readOk, const char* reply, DWORD replyBytes)
{
    if (!readOk)
        return UpdateVerdict::ReadFailed;
    const std::unique_ptr<char[]> own = WideToAnsi(kProgramVersion);
    // The reply ends with the received data or at its first zero byte.
    const size_t replyLength = strnlen(reply, replyBytes);
    const size_t ownLength = std::strlen(own.get());
    const bool same = replyLength == ownLength && std::memcmp(reply, own.get(), ownLength) == 0;
    return same ? UpdateVerdict::Current : UpdateVerdict::NewVersion;
}

DWORD WINAPI UpdateCheckThreadProc(LPVOID silent)
{
    g_updateCheckRunning = 1;
    RunCheck(silent != nullptr);
    g_updateCheckRunning = 0;
    return 0;
}

void StartUpdateCheck(INT_PTR silent)
{
    // Claimed here rather than by the thread, so that two requests in quick
    // succession cannot both start a check.
    if (g_updateCheckRunning.exchange(1) != 0)
        return;
    HANDLE thread = CreateThread(nullptr, 0, UpdateCheckThreadProc, reinterpret_cast<LPVOID>(silent), 0, nullptr);
    if (thread)
        CloseHandle(thread);
    else
        g_updateCheckRunning = 0;
}

namespace update_testing {

void SetServer(const wchar_t* baseUrl) { g_serverOverride = baseUrl ? baseUrl : L""; }
void SetMessageBox(MessageBoxFn fn) { g_messageBox = fn; }
void SetOpenPage(OpenPageFn fn) { g_openPage = fn; }

}  // namespace update_testing
