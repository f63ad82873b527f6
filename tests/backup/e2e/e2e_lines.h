#pragma once
// What a copy run leaves behind is read back line by line: every line of the
// transfer log and of a playlist file ends in CR LF.
#include "ipodgen/db_builder.h"

#include <windows.h>

#include <string>
#include <vector>

// The lines without their CR LF; a rest without one comes last, marked "<unterminated> ".
inline std::vector<std::wstring> SplitCrLfLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start != text.size())
        lines.push_back(L"<unterminated> " + text.substr(start));
    return lines;
}

// The lines of a UTF-16LE file such as transfer_log.txt; none when it cannot be read.
inline std::vector<std::wstring> ReadUtf16Lines(const std::wstring& path)
{
    std::vector<BYTE> bytes;
    if (!ipodgen::ReadBytes(path, &bytes))
        return {};
    return SplitCrLfLines(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2));
}
