#pragma once

#include <string>
#include <string_view>
#include <vector>

// The tables of the user's guide (docs/guide/index.md), read as its reader sees them: the
// native guide check compares them with the program's string table and list of settings keys,
// and the layout check shows the message tables' rows in boxes. Portable: no <windows.h>.

struct GuideTable
{
    int line = 0; // of the header row, counted from 1
    std::vector<std::wstring> header;
    std::vector<std::vector<std::wstring>> rows;
    std::vector<int> rowLines;
};

// The tables between the heading line `heading` (e.g. "## メッセージ一覧") and the next heading
// of its level or above. A cell's text drops the code marks (`) and the spaces around it; "<br>"
// is a line break and "\|" a bar.
std::vector<GuideTable> GuideTables(std::string_view guide, std::string_view heading);

// UTF-8 as wide text (UTF-16 code units where wchar_t has 16 bits); a byte that starts no
// character stands for itself.
std::wstring WideFromUtf8(std::string_view text);

// Wide text as UTF-8, for messages.
std::string Utf8FromWide(std::wstring_view text);
