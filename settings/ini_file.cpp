#include "settings/ini_file.h"

#include <algorithm>
#include <cstddef>
#include <functional>

namespace {

// One wchar_t per UTF-16 code unit (wchar_t is 32 bits on Linux, 16 on Windows).
std::wstring DecodeUtf16Le(const unsigned char* data, size_t size)
{
    std::wstring text;
    text.reserve(size / 2 + 1);
    for (size_t i = 0; i < size; i += 2) {
        unsigned unit = data[i];
        if (i + 1 < size) {
            unit |= static_cast<unsigned>(data[i + 1]) << 8;
        }
        if (unit == 0) {
            break; // the text ends at the first NUL
        }
        text.push_back(static_cast<wchar_t>(unit));
    }
    return text;
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
    if (section == nullptr || path == nullptr) {
        return false;
    }
    m_pairs.Clear();
    std::vector<unsigned char> bytes;
    if (m_files == nullptr || !m_files->ReadAll(path, bytes) || bytes.empty()) {
        return false;
    }
    Parse(section, bytes.data(), bytes.size());
    return true;
}

bool CIniFile::Write(const wchar_t* section, const wchar_t* path)
{
    if (path == nullptr || m_files == nullptr) {
        return false;
    }
    return m_files->ReplaceAll(path, Serialize(section));
}

void CIniFile::Parse(const wchar_t* section, const unsigned char* data, size_t size)
{
    m_pairs.Clear();
    if (section == nullptr || data == nullptr) {
        return;
    }
    std::wstring text = DecodeUtf16Le(data, size);
    size_t pos = (!text.empty() && text[0] == 0xFEFF) ? 1 : 0;

    size_t end = text.find(kCrLf, pos);
    if (end == std::wstring::npos) {
        return;
    }
    std::wstring header = L"[";
    header += section;
    header += L"]";
    if (text.compare(pos, end - pos, header) != 0) {
        return;
    }
    pos = end + 2;
    // A last line without CR LF is not read.
    while ((end = text.find(kCrLf, pos)) != std::wstring::npos) {
        // Only this line is searched, so lines without "=" keep the parse linear.
        auto lineEnd = text.begin() + static_cast<std::ptrdiff_t>(end);
        auto equals = std::find(text.begin() + static_cast<std::ptrdiff_t>(pos), lineEnd, L'=');
        if (equals != lineEnd) {
            size_t at = static_cast<size_t>(equals - text.begin());
            m_pairs.Append(text.substr(pos, at - pos), text.substr(at + 1, end - at - 1));
        }
        pos = end + 2;
    }
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
