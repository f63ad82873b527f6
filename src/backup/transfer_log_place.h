#pragma once
// Where the transfer log is written. The current directory comes first, as a
// log beside the program is where users have always found it; but a program
// installed under Program Files starts there from its shortcut, a folder a
// standard user cannot write, so the log then goes to the user's own local
// application data, "Savanto\transfer_log.txt".
#include <functional>
#include <string>

class CLog;

constexpr wchar_t kLogAppDataFolder[] = L"Savanto";

// What choosing the place needs from the system; tests put their own in place.
struct LogPlaceSystem {
    std::wstring currentDirectory;   // empty when unknown
    std::wstring localAppData;       // empty when unknown
    // Creates the folder when missing; true when it exists afterwards.
    std::function<bool(const std::wstring& folder)> makeFolder;
    // Creates the log file there; true when it could.
    std::function<bool(const std::wstring& file)> create;
};

// `folder` and `name` with one backslash between them.
std::wstring JoinPath(const std::wstring& folder, const wchar_t* name);

// Creates the log in the first place that takes it and returns its path;
// empty when none does (the copy then runs without a log).
std::wstring PlaceTransferLog(const LogPlaceSystem& system);

// Opens `log` in the first place that takes it; its WrittenPath() then names
// the file, or is empty when no log could be written.
bool OpenTransferLog(CLog& log);
