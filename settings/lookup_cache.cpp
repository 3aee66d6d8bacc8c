#include "settings/lookup_cache.h"

#include "settings/ini_file.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

namespace {

const wchar_t kSection[] = L"cache";

// Entries this large still fit the parse cap when the cache is full: key, time, position,
// CS-ID text, separators and CR LF, two bytes a character.
static_assert(2 + 2 * (sizeof(kSection) / sizeof(wchar_t) + 3) +
                      CLookupCache::kMaxEntries * 2 * (3 * CLookupCache::kMaxTextChars + 20 + 5) <=
                  CLookupCache::kMaxFileBytes,
              "a full cache must load again");

wchar_t Upper(wchar_t c)
{
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool IsSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

// A key as the INI functions compare it: trimmed, without case.
std::wstring FoldedKey(const std::wstring& key)
{
    size_t begin = 0;
    size_t end = key.size();
    while (begin < end && IsSpace(key[begin])) {
        ++begin;
    }
    while (end > begin && IsSpace(key[end - 1])) {
        --end;
    }
    std::wstring folded = key.substr(begin, end - begin);
    std::transform(folded.begin(), folded.end(), folded.begin(), Upper);
    return folded;
}

// Decimal with an optional "-"; false when anything else is in it or it leaves 64 bits.
bool ParseTime(const std::wstring& text, int64_t& out)
{
    const bool negative = !text.empty() && text[0] == L'-';
    size_t i = negative ? 1 : 0;
    if (i == text.size()) {
        return false;
    }
    int64_t value = 0; // counted downwards, so that INT64_MIN fits
    for (; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9') {
            return false;
        }
        const int digit = text[i] - L'0';
        if (value < (INT64_MIN + digit) / 10) {
            return false;
        }
        value = value * 10 - digit;
    }
    if (!negative && value == INT64_MIN) {
        return false;
    }
    out = negative ? value : -value;
    return true;
}

// A line's value "time;position;CS-ID text" under `key`.
bool DecodeLine(const std::wstring& key, const std::wstring& value, CLookupCacheEntry& entry)
{
    const size_t first = value.find(L';');
    const size_t second = first == std::wstring::npos ? first : value.find(L';', first + 1);
    if (second == std::wstring::npos || !ParseTime(value.substr(0, first), entry.m_lookedUp)) {
        return false;
    }
    entry.m_position = value.substr(first + 1, second - first - 1);
    entry.m_csId = value.substr(second + 1);
    // A third ";" leaves the CS-ID text unstorable.
    if (!CLookupCache::IsStorable(entry.m_position) || !CLookupCache::IsStorable(entry.m_csId)) {
        return false;
    }
    entry.m_key = CLookupCache::KeyOf(entry.m_csId);
    return !entry.m_key.empty() && entry.m_key == key;
}

// Unsigned, so that no pair of times overflows.
bool IsFresh(int64_t lookedUp, int64_t now)
{
    if (lookedUp <= now) {
        return static_cast<uint64_t>(now) - static_cast<uint64_t>(lookedUp) <=
               static_cast<uint64_t>(CLookupCache::kMaxAgeSeconds);
    }
    return static_cast<uint64_t>(lookedUp) - static_cast<uint64_t>(now) <=
           static_cast<uint64_t>(CLookupCache::kMaxAheadSeconds);
}

} // namespace

std::wstring CLookupCache::KeyOf(const std::wstring& csId)
{
    std::vector<std::wstring> stations;
    size_t start = 0;
    for (;;) {
        const size_t at = csId.find(L',', start);
        const size_t end = at == std::wstring::npos ? csId.size() : at;
        if (end > start) {
            stations.push_back(csId.substr(start, end - start));
            std::transform(stations.back().begin(), stations.back().end(), stations.back().begin(), Upper);
        }
        if (at == std::wstring::npos) {
            break;
        }
        start = at + 1;
    }
    std::sort(stations.begin(), stations.end());
    stations.erase(std::unique(stations.begin(), stations.end()), stations.end());
    std::wstring key;
    for (const std::wstring& station : stations) {
        if (!key.empty()) {
            key += L',';
        }
        key += station;
    }
    return key;
}

bool CLookupCache::IsStorable(const std::wstring& text)
{
    if (text.empty() || text.size() > kMaxTextChars) {
        return false;
    }
    for (wchar_t c : text) {
        if (c <= L' ' || c > L'~' || c == L'=' || c == L';' || c == L'[' || c == L']' || c == L'"' || c == L'\'') {
            return false;
        }
    }
    return true;
}

CLookupCache::Result CLookupCache::Lookup(const std::wstring& csId, int64_t now, std::wstring& position)
{
    const auto found = m_index.find(KeyOf(csId));
    if (found == m_index.end()) {
        return Result::Miss;
    }
    const auto entry = found->second;
    position = entry->m_position;
    if (!IsFresh(entry->m_lookedUp, now)) {
        return Result::Stale;
    }
    m_entries.splice(m_entries.end(), m_entries, entry);
    return Result::Fresh;
}

bool CLookupCache::Store(const std::wstring& csId, const std::wstring& position, int64_t now)
{
    CLookupCacheEntry entry;
    entry.m_key = KeyOf(csId);
    if (entry.m_key.empty() || !IsStorable(csId) || !IsStorable(position)) {
        return false;
    }
    entry.m_csId = csId;
    entry.m_position = position;
    entry.m_lookedUp = now;
    const auto found = m_index.find(entry.m_key);
    if (found != m_index.end()) {
        m_entries.erase(found->second);
        m_index.erase(found);
    } else if (m_entries.size() >= kMaxEntries) {
        m_index.erase(m_entries.front().m_key);
        m_entries.pop_front();
    }
    Append(std::move(entry));
    return true;
}

void CLookupCache::Append(CLookupCacheEntry entry)
{
    m_entries.push_back(std::move(entry));
    try {
        m_index.emplace(m_entries.back().m_key, std::prev(m_entries.end()));
    } catch (...) {
        m_entries.pop_back();
        throw;
    }
}

void CLookupCache::Clear()
{
    m_index.clear();
    m_entries.clear();
}

void CLookupCache::Parse(const unsigned char* data, size_t size)
{
    Clear();
    if (data == nullptr || size > kMaxFileBytes) {
        return;
    }
    CIniFile ini;
    ini.Parse(kSection, data, size);
    std::unordered_set<std::wstring> seen;
    std::vector<CLookupCacheEntry> good;
    for (const auto& pair : ini.Pairs()) {
        // The INI functions read the first line of a key, damaged or not.
        if (!seen.insert(FoldedKey(pair.first)).second) {
            continue;
        }
        CLookupCacheEntry entry;
        if (DecodeLine(pair.first, pair.second, entry)) {
            good.push_back(std::move(entry));
        }
    }
    // The file is in use order: the last lines are the most recently used.
    const size_t first = good.size() > kMaxEntries ? good.size() - kMaxEntries : 0;
    for (size_t i = first; i < good.size(); ++i) {
        Append(std::move(good[i]));
    }
}

std::vector<unsigned char> CLookupCache::Serialize() const
{
    CIniFile ini;
    for (const CLookupCacheEntry& entry : m_entries) {
        const std::wstring value =
            std::to_wstring(static_cast<long long>(entry.m_lookedUp)) + L";" + entry.m_position + L";" + entry.m_csId;
        ini.SetValue(entry.m_key.c_str(), value.c_str());
    }
    return ini.Serialize(kSection);
}

void CLookupCache::Load(IFileStore& files, const wchar_t* path)
{
    Clear();
    std::vector<unsigned char> bytes;
    if (path != nullptr && files.ReadAll(path, bytes)) {
        Parse(bytes.data(), bytes.size());
    }
}

bool CLookupCache::Save(IFileStore& files, const wchar_t* path) const
{
    return path != nullptr && files.ReplaceAll(path, Serialize());
}
