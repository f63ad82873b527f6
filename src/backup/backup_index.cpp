#include "backup/backup_index.h"

#include "backup/playlist_file.h"
#include "backup/transfer_log_place.h"
#include "db/file_handle.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace {

constexpr char kHeaderPrefix[] = "savanto-index ";
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// The next line from `pos`, without its LF or CR LF; false at the end.
bool NextLine(const std::string& bytes, size_t& pos, std::string& line)
{
    if (pos >= bytes.size())
        return false;
    size_t end = bytes.find('\n', pos);
    if (end == std::string::npos)
        end = bytes.size();
    line.assign(bytes, pos, end - pos);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    pos = end + 1;
    return true;
}

bool ParseDecimal(const std::string& text, uint64_t& value)
{
    if (text.empty() || text.size() > 20)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

bool ParseHexId(const std::string& text, uint64_t& value)
{
    if (text.size() != 16)
        return false;
    value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return false;
        value = value << 4 | static_cast<uint64_t>(digit);
    }
    return value != 0;
}

bool FromUtf8(const std::string& utf8, std::wstring& text)
{
    text.clear();
    if (utf8.empty() || utf8.size() > INT_MAX / 2)
        return false;
    const int bytes = static_cast<int>(utf8.size());
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), bytes, nullptr, 0);
    if (units <= 0)
        return false;
    text.resize(static_cast<size_t>(units));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), bytes, &text[0], units) == units;
}

// A path the index may hand to the file system below the folder: relative,
// every component a plain name, nothing that names a drive or a stream.
bool IsPathBelowFolder(const std::wstring& path)
{
    if (path.empty() || path.front() == L'\\' || path.back() == L'\\')
        return false;
    for (wchar_t c : path) {
        if (c < 0x20 || wcschr(L"/:*?\"<>|", c))
            return false;
    }
    size_t begin = 0;
    for (;;) {
        const size_t end = std::min(path.find(L'\\', begin), path.size());
        const std::wstring component = path.substr(begin, end - begin);
        if (component.empty() || component == L"." || component == L"..")
            return false;
        if (end == path.size())
            return true;
        begin = end + 1;
    }
}

bool ParseLine(const std::string& line, IndexLine& entry)
{
    const size_t firstTab = line.find('\t');
    const size_t secondTab = firstTab == std::string::npos ? std::string::npos : line.find('\t', firstTab + 1);
    if (secondTab == std::string::npos || line.find('\t', secondTab + 1) != std::string::npos)
        return false;
    return ParseHexId(line.substr(0, firstTab), entry.persistentId) &&
           FromUtf8(line.substr(firstTab + 1, secondTab - firstTab - 1), entry.path) &&
           IsPathBelowFolder(entry.path) && ParseDecimal(line.substr(secondTab + 1), entry.bytes);
}

// The version of a header line; 0 when it is none.
uint64_t HeaderVersion(const std::string& header)
{
    const size_t prefix = sizeof(kHeaderPrefix) - 1;
    uint64_t version = 0;
    if (header.compare(0, prefix, kHeaderPrefix) != 0 || !ParseDecimal(header.substr(prefix), version))
        return 0;
    return version;
}

std::string HexId(uint64_t id)
{
    char hex[17];
    snprintf(hex, sizeof(hex), "%08lX%08lX", static_cast<unsigned long>(id >> 32),
             static_cast<unsigned long>(id & 0xFFFFFFFFu));
    return hex;
}

bool PathBefore(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_LESS_THAN;
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes, DWORD& error)
{
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file.IsOpen() || !GetFileSizeEx(file.Get(), &size)) {
        error = GetLastError();
        return false;
    }
    if (size.QuadPart > kMaxIndexBytes) {
        error = ERROR_FILE_TOO_LARGE;
        return false;
    }
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size())) {
        error = GetLastError();
        return false;
    }
    return true;
}

}  // namespace

IndexState ParseIndex(const std::string& bytes, std::vector<IndexLine>& lines)
{
    lines.clear();
    size_t pos = bytes.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0;
    std::string line;
    if (!NextLine(bytes, pos, line))
        return IndexState::kDamaged;
    const uint64_t version = HeaderVersion(line);
    if (version > static_cast<uint64_t>(kIndexVersion))
        return IndexState::kNewer;
    if (version != static_cast<uint64_t>(kIndexVersion))
        return IndexState::kDamaged;
    while (NextLine(bytes, pos, line)) {
        IndexLine entry;
        if (!ParseLine(line, entry)) {
            lines.clear();
            return IndexState::kDamaged;
        }
        lines.push_back(std::move(entry));
    }
    return IndexState::kRead;
}

std::string IndexText(std::vector<IndexLine> lines)
{
    std::sort(lines.begin(), lines.end(), [](const IndexLine& a, const IndexLine& b) { return PathBefore(a.path, b.path); });
    std::string text = std::string(kHeaderPrefix) + std::to_string(kIndexVersion) + "\r\n";
    for (const IndexLine& line : lines)
        text += HexId(line.persistentId) + "\t" + ToUtf8(line.path) + "\t" + std::to_string(line.bytes) + "\r\n";
    return text;
}

bool IndexPathsEqual(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

std::wstring IndexPathIn(const std::wstring& folder) { return JoinPath(folder, kIndexFileName); }

BackupIndex ReadBackupIndex(const std::wstring& folder)
{
    BackupIndex index;
    std::string bytes;
    if (!ReadWholeFile(IndexPathIn(folder), bytes, index.error)) {
        const bool absent = index.error == ERROR_FILE_NOT_FOUND || index.error == ERROR_PATH_NOT_FOUND;
        index.state = absent ? IndexState::kAbsent : IndexState::kUnreadable;
        if (index.error == ERROR_FILE_TOO_LARGE)
            index.state = IndexState::kDamaged;
        return index;
    }
    index.error = 0;
    index.state = ParseIndex(bytes, index.lines);
    return index;
}

std::wstring IndexProblemLine(const std::wstring& indexPath, const BackupIndex& index)
{
    switch (index.state) {
    case IndexState::kDamaged:
        return L"index ignored: " + indexPath + L" (damaged; it is written anew at the end of the run)";
    case IndexState::kUnreadable:
        return L"index ignored: " + indexPath + L" (cannot be read, error " + std::to_wstring(index.error) +
               L"; it is written anew at the end of the run)";
    case IndexState::kNewer:
        return L"index left as it is: " + indexPath + L" (written by a newer version of Savanto)";
    default:
        return std::wstring();
    }
}

FileOnDisk LookAtFile(const std::wstring& path)
{
    FileOnDisk file;
    if (path.empty())
        return file;
    // No "insert a disk" box for a destination that went away.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    WIN32_FILE_ATTRIBUTE_DATA data;
    file.exists = GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
                  !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    SetErrorMode(previous);
    file.bytes = file.exists ? (static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow) : 0;
    return file;
}
