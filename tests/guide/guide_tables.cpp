#include "guide_tables.h"

#include <cstdint>

namespace {

std::size_t HeadingLevel(std::string_view line)
{
    std::size_t level = 0;
    while (level < line.size() && line[level] == '#') {
        ++level;
    }
    return level > 0 && level < line.size() && line[level] == ' ' ? level : 0;
}

std::wstring Trimmed(const std::wstring& text)
{
    const std::size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) {
        return std::wstring();
    }
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

// The cells of a table row "| a | b |", as the reader sees them.
std::vector<std::wstring> Cells(std::string_view line)
{
    std::vector<std::string> raw;
    std::string cell;
    bool open = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '|') {
            cell += '|';
            ++i;
        } else if (line[i] == '|') {
            if (open) {
                raw.push_back(cell);
            }
            cell.clear();
            open = true;
        } else if (line[i] != '`') {
            cell += line[i];
        }
    }
    std::vector<std::wstring> cells;
    for (const std::string& part : raw) {
        std::wstring text = Trimmed(WideFromUtf8(part));
        for (std::size_t at; (at = text.find(L"<br>")) != std::wstring::npos;) {
            text.replace(at, 4, L"\n");
        }
        cells.push_back(text);
    }
    return cells;
}

bool IsRule(const std::vector<std::wstring>& cells)
{
    for (const std::wstring& cell : cells) {
        if (cell.empty() || cell.find_first_not_of(L"-:") != std::wstring::npos) {
            return false;
        }
    }
    return !cells.empty();
}

} // namespace

std::vector<GuideTable> GuideTables(std::string_view guide, std::string_view heading)
{
    std::vector<GuideTable> tables;
    const std::size_t level = HeadingLevel(heading);
    bool inside = false;
    bool inTable = false;
    int number = 0;
    for (std::size_t start = 0; start < guide.size();) {
        std::size_t end = guide.find('\n', start);
        if (end == std::string_view::npos) {
            end = guide.size();
        }
        std::string_view line = guide.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::size_t lineLevel = HeadingLevel(line);
        if (lineLevel > 0 && lineLevel <= level) {
            inside = line == heading;
            inTable = false;
            continue;
        }
        if (!inside) {
            continue;
        }
        if (line.empty() || line.front() != '|') {
            inTable = false;
            continue;
        }
        std::vector<std::wstring> cells = Cells(line);
        if (!inTable) {
            tables.push_back(GuideTable{number, cells, {}, {}});
            inTable = true;
        } else if (!IsRule(cells)) {
            tables.back().rows.push_back(cells);
            tables.back().rowLines.push_back(number);
        }
    }
    return tables;
}

std::wstring WideFromUtf8(std::string_view text)
{
    std::wstring out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        std::uint32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
        bool whole = i + extra < text.size();
        for (int k = 1; whole && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            whole = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (!whole) {
            code = lead;
            i += 1;
        } else {
            i += 1 + extra;
        }
        if (code >= 0x10000 && sizeof(wchar_t) == 2) {
            code -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (code >> 10));
            out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<wchar_t>(code);
        }
    }
    return out;
}

std::string Utf8FromWide(std::wstring_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t code = static_cast<std::uint32_t>(text[i]);
        if (sizeof(wchar_t) == 2 && code >= 0xD800 && code < 0xDC00 && i + 1 < text.size()) {
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<std::uint32_t>(text[++i]) - 0xDC00);
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}
