#include "settings/ini_file.h"

#include <algorithm>
#include <cstddef>
#include <functional>

namespace {

// A file's text, up to its first NUL (`cut` when there was more after it).
struct DecodedText
{
    std::wstring text;
    bool cut = false;
};

// One wchar_t per UTF-16 code unit (wchar_t is 32 bits on Linux, 16 on Windows).
void DecodeUtf16(const unsigned char* data, size_t size, bool bigEndian, DecodedText& out)
{
    out.text.reserve(size / 2 + 1);
    for (size_t i = 0; i < size; i += 2) {
        unsigned first = data[i];
        unsigned second = i + 1 < size ? data[i + 1] : 0;
        const unsigned unit = bigEndian ? (first << 8) | second : first | (second << 8);
        if (unit == 0) {
            out.cut = i + 2 < size;
            return;
        }
        out.text.push_back(static_cast<wchar_t>(unit));
    }
}

// Control characters that no text file of an editor holds; tab, line ends, form feed and
// vertical tab are text.
bool IsBinaryControl(unsigned long c)
{
    return c < 0x20 && c != L'\t' && c != L'\n' && c != L'\r' && c != L'\f' && c != L'\v';
}

bool HoldsBinaryControls(const std::wstring& text)
{
    return std::any_of(text.begin(), text.end(),
                       [](wchar_t c) { return IsBinaryControl(static_cast<unsigned long>(c)); });
}

// Strict UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF) into UTF-16 code units,
// as the UTF-16 files give them. False at the first byte that is not UTF-8.
bool DecodeUtf8(const unsigned char* data, size_t size, DecodedText& out)
{
    std::wstring& text = out.text;
    text.reserve(size + 1);
    size_t i = 0;
    while (i < size) {
        if (data[i] == 0) {
            out.cut = i + 1 < size;
            return true;
        }
        const unsigned lead = data[i];
        unsigned long code;
        size_t follow;
        unsigned long least;
        if (lead < 0x80) {
            text.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            code = lead & 0x1F, follow = 1, least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            code = lead & 0x0F, follow = 2, least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            code = lead & 0x07, follow = 3, least = 0x10000;
        } else {
            return false;
        }
        if (size - i <= follow) {
            return false;
        }
        for (size_t k = 1; k <= follow; ++k) {
            if ((data[i + k] & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (data[i + k] & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            text.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
            text.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
        } else {
            text.push_back(static_cast<wchar_t>(code));
        }
        i += follow + 1;
    }
    return true;
}

// The file's text in the encoding its first bytes tell: a byte order mark (UTF-16LE, UTF-16BE,
// UTF-8), else UTF-16LE when the first character is ASCII followed by a zero byte (the
// program's own files without their mark), else UTF-8. NotText for control bytes outside
// UTF-16, UnknownEncoding for bytes that are not UTF-8 (an ANSI code page, for one).
FileFailure DecodeText(const unsigned char* data, size_t size, DecodedText& out)
{
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        DecodeUtf16(data + 2, size - 2, false, out);
        return FileFailure::None;
    }
    if (size >= 2 && data[0] == 0xFE && data[1] == 0xFF) {
        DecodeUtf16(data + 2, size - 2, true, out);
        return FileFailure::None;
    }
    if (size >= 2 && data[0] != 0 && data[0] < 0x80 && data[1] == 0) {
        DecodeUtf16(data, size, false, out);
        return FileFailure::None;
    }
    size_t start = 0;
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        start = 3;
    }
    if (DecodeUtf8(data + start, size - start, out)) {
        return FileFailure::None;
    }
    out.text.clear();
    const bool binary = std::any_of(data + start, data + size, [](unsigned char c) { return IsBinaryControl(c); });
    return binary ? FileFailure::NotText : FileFailure::UnknownEncoding;
}

bool IsBlank(const std::wstring& text, size_t from, size_t to)
{
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(from), text.begin() + static_cast<std::ptrdiff_t>(to),
                       [](wchar_t c) { return c == L' ' || c == L'\t'; });
}

// One line of the text from `pos`: its content ends before LF or CR LF, or at the text's end.
struct Line
{
    size_t begin, end, next;
};

Line LineAt(const std::wstring& text, size_t pos)
{
    const size_t lf = text.find(L'\n', pos);
    Line line{pos, lf == std::wstring::npos ? text.size() : lf, lf == std::wstring::npos ? text.size() : lf + 1};
    if (line.end > line.begin && text[line.end - 1] == L'\r' && lf != std::wstring::npos) {
        --line.end;
    }
    return line;
}

void PutUnit(std::vector<unsigned char>& out, unsigned unit)
{
    out.push_back(static_cast<unsigned char>(unit & 0xFF));
    out.push_back(static_cast<unsigned char>((unit >> 8) & 0xFF));
}

void EncodeUtf16Le(std::vector<unsigned char>& out, const std::wstring& text)
{
    for (wchar_t c : text) {
        unsigned long code = static_cast<unsigned long>(c);
        if (code > 0xFFFF && code <= 0x10FFFF) {
            code -= 0x10000;
            PutUnit(out, 0xD800 + static_cast<unsigned>(code >> 10));
            PutUnit(out, 0xDC00 + static_cast<unsigned>(code & 0x3FF));
        } else {
            PutUnit(out, static_cast<unsigned>(code & 0xFFFF));
        }
    }
}

const wchar_t kCrLf[] = L"\r\n";

} // namespace

void CIniPairs::Clear() noexcept
{
    m_list.clear();
    m_slots.clear();
}

size_t CIniPairs::SlotOf(const std::wstring& key) const
{
    const size_t mask = m_slots.size() - 1;
    size_t slot = std::hash<std::wstring>()(key) & mask;
    while (m_slots[slot] != 0 && m_list[m_slots[slot] - 1].first != key) {
        slot = (slot + 1) & mask;
    }
    return slot;
}

void CIniPairs::Append(std::wstring key, std::wstring value)
{
    // All that can fail comes first, so that a failure leaves the pairs as they were.
    if (m_list.size() == m_list.capacity()) {
        m_list.reserve(m_list.empty() ? 16 : 2 * m_list.size());
    }
    if (2 * (m_list.size() + 1) > m_slots.size()) {
        std::vector<size_t> old(std::max<size_t>(32, 2 * m_slots.size()), 0);
        old.swap(m_slots);
        for (size_t entry : old) {
            if (entry != 0) {
                m_slots[SlotOf(m_list[entry - 1].first)] = entry;
            }
        }
    }
    const size_t slot = SlotOf(key);
    m_list.emplace_back(std::move(key), std::move(value));
    if (m_slots[slot] == 0) {
        m_slots[slot] = m_list.size(); // a repeated key keeps its first pair
    }
}

const CIniPairs::Pair* CIniPairs::Find(const std::wstring& key) const
{
    if (m_slots.empty()) {
        return nullptr;
    }
    const size_t entry = m_slots[SlotOf(key)];
    return entry != 0 ? &m_list[entry - 1] : nullptr;
}

void CIniFile::Clear()
{
    m_pairs.Clear();
}

bool CIniFile::SetValue(const wchar_t* key, const wchar_t* value)
{
    if (key == nullptr || *key == L'\0' || value == nullptr) {
        return false;
    }
    m_pairs.Append(key, value);
    return true;
}

bool CIniFile::GetValue(const wchar_t* key, std::wstring& out) const
{
    return key != nullptr && GetValue(std::wstring(key), out);
}

bool CIniFile::GetValue(const std::wstring& key, std::wstring& out) const
{
    if (key.empty()) {
        return false;
    }
    const CIniPairs::Pair* pair = m_pairs.Find(key);
    if (pair == nullptr) {
        return false;
    }
    out = pair->second;
    return true;
}

bool CIniFile::Read(const wchar_t* section, const wchar_t* path)
{
    m_readFailure = FileFailure::NotFound;
    if (section == nullptr || path == nullptr) {
        return false;
    }
    m_pairs.Clear();
    std::vector<unsigned char> bytes;
    if (m_files == nullptr || !m_files->ReadAll(path, bytes) || bytes.empty()) {
        m_readFailure = m_files != nullptr ? m_files->LastFailure() : FileFailure::NotFound;
        return false;
    }
    m_readFailure = Parse(section, bytes.data(), bytes.size());
    return m_readFailure == FileFailure::None;
}

bool CIniFile::Write(const wchar_t* section, const wchar_t* path)
{
    if (path == nullptr || m_files == nullptr) {
        return false;
    }
    return m_files->ReplaceAll(path, Serialize(section));
}

FileFailure CIniFile::Parse(const wchar_t* section, const unsigned char* data, size_t size)
{
    m_pairs.Clear();
    if (section == nullptr || data == nullptr) {
        return FileFailure::NoSection;
    }
    DecodedText decoded;
    const FileFailure failure = DecodeText(data, size, decoded);
    if (failure != FileFailure::None) {
        return failure;
    }
    const std::wstring& text = decoded.text;
    size_t pos = (!text.empty() && text[0] == 0xFEFF) ? 1 : 0;

    // The section line is the first that holds more than spaces and tabs; they may stand
    // around it too.
    Line line = LineAt(text, pos);
    while (line.next < text.size() && IsBlank(text, line.begin, line.end)) {
        line = LineAt(text, line.next);
    }
    std::wstring header = L"[";
    header += section;
    header += L"]";
    size_t first = line.begin;
    size_t last = line.end;
    while (first < last && (text[first] == L' ' || text[first] == L'\t')) {
        ++first;
    }
    while (last > first && (text[last - 1] == L' ' || text[last - 1] == L'\t')) {
        --last;
    }
    if (text.compare(first, last - first, header) != 0) {
        return decoded.cut || HoldsBinaryControls(text) ? FileFailure::NotText : FileFailure::NoSection;
    }
    // Lines end in CR LF or LF; a last line without either is read too.
    for (pos = line.next; pos < text.size();) {
        line = LineAt(text, pos);
        // Only this line is searched, so lines without "=" keep the parse linear.
        auto lineEnd = text.begin() + static_cast<std::ptrdiff_t>(line.end);
        auto equals = std::find(text.begin() + static_cast<std::ptrdiff_t>(line.begin), lineEnd, L'=');
        if (equals != lineEnd) {
            size_t at = static_cast<size_t>(equals - text.begin());
            m_pairs.Append(text.substr(line.begin, at - line.begin), text.substr(at + 1, line.end - at - 1));
        }
        pos = line.next;
    }
    return FileFailure::None;
}

std::vector<unsigned char> CIniFile::Serialize(const wchar_t* section) const
{
    std::vector<unsigned char> out;
    if (section != nullptr && *section != L'\0') {
        out.push_back(0xFF);
        out.push_back(0xFE);
        EncodeUtf16Le(out, std::wstring(L"[") + section + L"]" + kCrLf);
    }
    for (const auto& pair : m_pairs.List()) {
        EncodeUtf16Le(out, pair.first);
        EncodeUtf16Le(out, L"=");
        EncodeUtf16Le(out, pair.second);
        EncodeUtf16Le(out, kCrLf);
    }
    return out;
}
