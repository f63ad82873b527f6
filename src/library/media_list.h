#pragma once
// The media list as an owner-data list view. It holds no rows: it asks the
// library for each cell, tick and type-ahead match (LVN_GETDISPINFO,
// LVN_ODFINDITEM), and toggles no check box itself: a click on a box, Space
// and a click on a heading change the library, which redraws it. The main
// window and the tests' host window hand it the list's notifications alike.
#include <windows.h>
#include <commctrl.h>

#include <vector>

class CMediaLibrary;

// Makes the library answer for the check boxes and keeps Space from the list,
// which would collapse the selection to the focused row; the list's parent
// gets Space as LVN_KEYDOWN alone. Called once the list exists.
void PrepareOwnerDataList(HWND list);

// Answers one notification of the media list. True when it was one of its
// own; `result` is then what the list expects back (a row for LVN_ODFINDITEM).
// The clicks, Space and heading clicks are refused while a worker may rebuild
// the library.
bool OnMediaListNotify(CMediaLibrary& library, const NMHDR& header, LRESULT& result);

// The selected rows, from the first.
std::vector<int> SelectedRows(HWND list);

// The row from `start` on (wrapping round when `find` asks) whose title
// begins with, or with LVFI_PARTIAL unset equals, `find`'s text in any case;
// -1 when none does.
int FindTitleRow(const CMediaLibrary& library, const LVFINDINFOW& find, int start);
