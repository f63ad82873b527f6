#pragma once
// The version check: asks the publisher's web server for the newest release
// number and offers the download page when it differs from this program's.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

extern std::atomic<int32_t> g_updateCheckRunning;   // 1 while a check runs

// This program's version: the check compares it and the About box shows it.
constexpr wchar_t kProgramVersion[] = L"1.1.3";

// Mode: non-zero for silent (speaks only of a new version), zero for
// interactive (also reports an up-to-date program and every failure).
// Does nothing while a check runs.
void StartUpdateCheck(INT_PTR silent);
DWORD WINAPI UpdateCheckThreadProc(LPVOID silent);

// A new zero-terminated copy of `text` in the system's ANSI code page.
std::unique_ptr<char[]> WideToAnsi(const wchar_t* text);

// What the check compares and how it decides; no window or network in sight.
enum class UpdateVerdict { ReadFailed, Current, NewVersion };
UpdateVerdict JudgeReply(bool readOk, const char* reply, DWORD replyBytes);

// Seams for tests only; the program itself never calls these, so a user's
// check always asks the built-in server and shows real message boxes.
namespace update_testing {
using MessageBoxFn = int (*)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);
using OpenPageFn = void (*)(const wchar_t* url);
void SetServer(const wchar_t* baseUrl);   // "http://127.0.0.1:8080"; null: the built-in one
void SetMessageBox(MessageBoxFn fn);      // null: MessageBoxW
void SetOpenPage(OpenPageFn fn);          // null: the shell
}  // namespace update_testing
