#include "device/eject.h"

#include "device/ipod_list.h"
#include "library/app_globals.h"
#include "library/media_library.h"
#include "library/views.h"
#include "resource.h"

#include <winioctl.h>

namespace {

const wchar_t kEjectErrorText[] =
    L"Cannot eject the iPod. Make sure iTunes or other application is not accessing the iPod and try again.";
const wchar_t kVolumeCheckCaption[] = L"Cannot eject";

// The root and the raw volume device of a drive letter.
struct VolumeNames {
    explicit VolumeNames(wchar_t letter)
        : root{letter, L':', L'\\', L'\0'}, device{L'\\', L'\\', L'.', L'\\', letter, L':', L'\0'}
    {
    }
    wchar_t root[4];
    wchar_t device[7];
};

// 0 for a drive the eject does not handle.
DWORD VolumeAccessFor(UINT driveType)
{
    switch (driveType) {
    case DRIVE_REMOVABLE:
        return GENERIC_READ | GENERIC_WRITE;
    case DRIVE_CDROM:
        return GENERIC_READ;
    default:
        return 0;
    }
}

// The volume checks run on the eject thread, which owns no window: their
// boxes go to that thread's active window rather than to the main window.
void ShowVolumeCheckFailure(const wchar_t* text)
{
    EjectCalls().messageBox(GetActiveWindow(), text, kVolumeCheckCaption, MB_OK);
}

BOOL SendVolumeRequest(HANDLE volume, DWORD code, void* input = nullptr, DWORD inputSize = 0)
{
    DWORD returned = 0;
    return EjectCalls().deviceIoControl(volume, code, input, inputSize, nullptr, 0, &returned, nullptr);
}

BOOL AllowMediaRemoval(HANDLE volume)
{
    PREVENT_MEDIA_REMOVAL removal = {};
    removal.PreventMediaRemoval = FALSE;
    return SendVolumeRequest(volume, IOCTL_STORAGE_MEDIA_REMOVAL, &removal, sizeof(removal));
}

void ReportEjectFailure()
{
    EjectCalls().messageBox(g_hMainWnd, kEjectErrorText, L"iPod Eject Error", MB_ICONERROR);
    EnableEjectItem(TRUE);
    EnableIpodControls(TRUE);
}

// The scan and load workers leave the counts right after their load; the
// reload here does too, or the status bar would keep the emptied library's.
void LoadRemainingIpod(wchar_t letter)
{
    LoadIpodDatabase(StaticDriveRoot(letter));
    UpdateStatusCounts();
    EnableEjectItem(TRUE);
    EnableMainControl(IDC_IPOD_SELECTOR, TRUE);
    EnableMainControl(IDC_SCAN, TRUE);
}

void MoveOnAfterEject()
{
    EmptyLibrary();
    EnableMainControl(IDC_SCAN, FALSE);
    EjectCalls().messageBox(g_hMainWnd, L"iPod has been ejected safely", L"iPod Ejected", MB_OK);
    wchar_t first = L'\0';
    if (g_ipodList.Scan(&first) > 0)
        LoadRemainingIpod(first);
    else
        EnableMainControl(IDC_SCAN, TRUE);   // the selector stays empty and the item greyed
}

}  // namespace

EjectPlatform& EjectCalls()
{
    static EjectPlatform calls = {GetDriveTypeW, CreateFileW, DeviceIoControl, CloseHandle, Sleep, MessageBoxW};
    return calls;
}

HANDLE OpenVolume(wchar_t letter)
{
    const VolumeNames names(letter);
    const DWORD access = VolumeAccessFor(EjectCalls().getDriveType(names.root));
    if (access == 0) {
        ShowVolumeCheckFailure(L"Cannot eject. Drive type is incorrect.\n");
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE volume = EjectCalls().createFile(names.device, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                  OPEN_EXISTING, 0, nullptr);
    if (volume == INVALID_HANDLE_VALUE)
        ShowVolumeCheckFailure(L"CreateFile error.\n");
    return volume;
}

BOOL LockVolumeWithRetry(HANDLE volume)
{
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        if (SendVolumeRequest(volume, FSCTL_LOCK_VOLUME))
            return TRUE;
        EjectCalls().sleep(kLockRetryDelayMs);   // also after the last refusal
    }
    return FALSE;
}

BOOL EjectDrive(wchar_t letter)
{
    const HANDLE volume = OpenVolume(letter);
    if (volume == INVALID_HANDLE_VALUE)
        return FALSE;
    const bool ejected = LockVolumeWithRetry(volume) && SendVolumeRequest(volume, FSCTL_DISMOUNT_VOLUME) &&
                         AllowMediaRemoval(volume) && SendVolumeRequest(volume, IOCTL_STORAGE_EJECT_MEDIA);
    // Closing also releases the lock, so it runs whatever failed.
    const bool closed = EjectCalls().closeHandle(volume) != FALSE;
    return ejected && closed ? TRUE : FALSE;
}

DWORD WINAPI EjectThreadProc(LPVOID parameter)
{
    const auto* root = static_cast<const wchar_t*>(parameter);
    EnableIpodControls(FALSE);
    EnableEjectItem(FALSE);
    const wchar_t letter = root ? root[0] : L'\0';
    // A scan or load that began after the command owns the drive and the
    // library: the eject gives way without touching either.
    const bool ejected = g_busy == 0 && letter != L'\0' && EjectDrive(letter);
    if (ejected)
        MoveOnAfterEject();
    else
        ReportEjectFailure();
    g_ejecting = 0;
    return 0;
}
