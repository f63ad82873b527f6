#pragma once
// The database code is Windows code that also builds natively on Linux, where
// it runs under the address and undefined-behaviour sanitizers and is fuzzed.
// There the few Win32 calls it makes are served by POSIX (db/posix/win32.h).
//
// TextUnit is the character of the UTF-16 text that records hold: wchar_t on
// Windows, where the rest of the program uses it as is, and char16_t natively,
// where wchar_t has 32 bits.
#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>
using TextUnit = wchar_t;
#else
#include "db/posix/win32.h"
using TextUnit = char16_t;
#endif
