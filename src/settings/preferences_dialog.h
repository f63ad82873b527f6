#pragma once
// The Preferences dialog (149): a General page (101) and a Copy page (111)
// shown one at a time in a tab control. OK stores the pages into g_settings,
// switches the main window's tooltips at once and saves to the registry.
#include "settings/settings.h"

#include <windows.h>

// What the dialog needs from the rest of the program, handed in by whoever
// opens it: the settings sit below the main window, the folder chooser and
// the renaming rule, and tests put their own in place.
struct PreferencesHost {
    HWND tooltip;   // the main window's tooltip control; may be null
    bool (*browseForFolder)(HWND owner, wchar_t (&folder)[kPathCapacity]);
    int(WINAPI* messageBox)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
    const wchar_t* ruleHelp;   // what the Help button shows
};

// lParam of WM_INITDIALOG: a PreferencesHost that outlives the dialog.
// Pages are created from the dialog's own module.
INT_PTR CALLBACK PreferencesDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the dialog modally; its result is always 1.
INT_PTR ShowPreferencesDialog(HINSTANCE instance, HWND owner, const PreferencesHost& host);

// Gives a page the tab control's textured background where the visual
// styles library offers it; FALSE when it does not, and the page stays plain.
BOOL EnableTabTexture(HWND page);
