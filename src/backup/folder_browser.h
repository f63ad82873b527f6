#pragma once
// The shell's folder chooser, for the copy destination and the Preferences
// dialog's default folder.
#include "settings/settings.h"

#include <windows.h>

// True when the user confirmed a folder of the file system: `folder` then
// holds its path ending in "\". False when the user cancelled or chose
// something without a file-system path (a virtual folder); `folder` is then
// unchanged.
bool BrowseForFolder(HWND owner, wchar_t (&folder)[kPathCapacity]);

// Makes a chosen path into the folder form: "D:\Music" becomes "D:\Music\",
// "D:\" stays. False when the path is empty or the backslash does not fit.
bool FinishFolderPath(wchar_t (&path)[kPathCapacity]);
