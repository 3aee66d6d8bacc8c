#pragma once

#include "settings/file_store.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

// One looked-up position. `m_key` is KeyOf(m_csId); `m_lookedUp` is seconds since 1970 UTC.
struct CLookupCacheEntry
{
    std::wstring m_key;
    std::wstring m_csId;
    std::wstring m_position;
    int64_t m_lookedUp = 0;

    bool operator==(const CLookupCacheEntry& other) const
    {
        return m_key == other.m_key && m_csId == other.m_csId && m_position == other.m_position &&
               m_lookedUp == other.m_lookedUp;
    }
};

// Positions of CS-ID texts looked up before, the least recently used dropped first. The caller
// hands in the time; nothing here reads a clock.
//
// File: UTF-16LE with byte order mark, "[cache]", then one line per entry, oldest used first:
//   key=time;position;CS-ID text        e.g. 12/3,45/6=1796054400;N34.41.10.250E135.30.05.500;45/6,12/3
// The platform's INI functions must read it back alike, so only storable texts are kept: 1 to
// kMaxTextChars characters, each printable ASCII other than space and = ; [ ] " ' (those carry
// INI syntax or would be trimmed or unquoted).
class CLookupCache
{
public:
    static constexpr size_t kMaxEntries = 1000;
    static constexpr size_t kMaxTextChars = 512;
    static constexpr int64_t kMaxAgeSeconds = 30 * 86400;
    static constexpr int64_t kMaxAheadSeconds = 86400; // a clock set back must not keep an entry forever
    static constexpr size_t kMaxFileBytes = 4 << 20;

    // The index points into the list, so a copy would point into another cache's list.
    CLookupCache() = default;
    CLookupCache(const CLookupCache&) = delete;
    CLookupCache& operator=(const CLookupCache&) = delete;
    CLookupCache(CLookupCache&&) = default;
    CLookupCache& operator=(CLookupCache&&) = default;

    enum class Result
    {
        Miss,
        Fresh,
        Stale,
    };

    // The set of base stations of a CS-ID text: its ","-separated stations without empty
    // fields, letters in upper case (INI keys compare without case), distinct, sorted and joined
    // with ",". Empty when the text holds no station.
    static std::wstring KeyOf(const std::wstring& csId);
    static bool IsStorable(const std::wstring& text);

    // Miss, or the entry of the same stations: its position in `position` (otherwise untouched),
    // Stale when looked up more than 30 days before `now` or more than a day after it. Only a
    // fresh hit counts as a use.
    Result Lookup(const std::wstring& csId, int64_t now, std::wstring& position);
    // Adds or replaces the entry of the stations as the most recently used, dropping the least
    // recently used beyond kMaxEntries. False, with nothing changed, for a text without station,
    // an empty position or a text that is not storable.
    bool Store(const std::wstring& csId, const std::wstring& position, int64_t now);
    void Clear();
    size_t Size() const { return m_entries.size(); }
    // Oldest used first.
    const std::list<CLookupCacheEntry>& Entries() const { return m_entries; }

    // Replaces the entries with those of the file content. Damaged lines are skipped, and so is
    // a key seen before (the INI functions take the first); beyond kMaxEntries good lines the
    // last ones stay. Content that is not this form, or larger than kMaxFileBytes, gives none.
    void Parse(const unsigned char* data, size_t size);
    std::vector<unsigned char> Serialize() const;

    // A missing, unreadable or damaged file gives an empty cache, with no error.
    void Load(IFileStore& files, const wchar_t* path);
    // False when the file could not be replaced; the old file then stays whole.
    bool Save(IFileStore& files, const wchar_t* path) const;

private:
    void Append(CLookupCacheEntry entry);

    std::list<CLookupCacheEntry> m_entries;
    std::unordered_map<std::wstring, std::list<CLookupCacheEntry>::iterator> m_index;
};
