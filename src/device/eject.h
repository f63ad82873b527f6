#pragma once
// Safe removal of an iPod: lock, dismount and eject its volume, tell the user,
// then look again for the iPods that remain.
#include <windows.h>

// The system calls the eject makes, in one place so that tests can play the
// device: Wine refuses the dismount and eject requests, so the path that
// follows a successful eject could not run otherwise. The product's code is
// the same either way; only these lowest calls differ.
struct EjectPlatform {
    UINT(WINAPI* getDriveType)(LPCWSTR root);
    HANDLE(WINAPI* createFile)(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD flags, HANDLE templateFile);
    BOOL(WINAPI* deviceIoControl)(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                                  LPDWORD returned, LPOVERLAPPED overlapped);
    BOOL(WINAPI* closeHandle)(HANDLE handle);
    void(WINAPI* sleep)(DWORD milliseconds);
    int(WINAPI* messageBox)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
};
// The real functions unless a test put its own in place.
EjectPlatform& EjectCalls();

constexpr int kLockAttempts = 20;
constexpr DWORD kLockRetryDelayMs = 500;

// Runs beside the user-interface thread; `root` is the iPod's root path.
// g_ejecting must be set by the starter; the thread clears it as it ends.
DWORD WINAPI EjectThreadProc(LPVOID root);
BOOL EjectDrive(wchar_t letter);
// INVALID_HANDLE_VALUE after telling the user why.
HANDLE OpenVolume(wchar_t letter);
BOOL LockVolumeWithRetry(HANDLE volume);
