// Arbitrary bytes as a lookup cache file: what loads is bounded, keyed by its own CS-ID text,
// and saves and loads again to the same entries.
#include "settings/lookup_cache.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CLookupCache cache;
    cache.Parse(data, size);
    if (cache.Size() > CLookupCache::kMaxEntries) {
        std::abort();
    }
    for (const CLookupCacheEntry& entry : cache.Entries()) {
        if (entry.m_key.empty() || entry.m_key != CLookupCache::KeyOf(entry.m_csId) ||
            CLookupCache::KeyOf(entry.m_key) != entry.m_key || !CLookupCache::IsStorable(entry.m_csId) ||
            !CLookupCache::IsStorable(entry.m_position)) {
            std::abort();
        }
    }
    const std::vector<unsigned char> bytes = cache.Serialize();
    CLookupCache again;
    again.Parse(bytes.data(), bytes.size());
    if (again.Entries() != cache.Entries()) {
        std::abort();
    }

    // The same bytes as a CS-ID text heard: its key is a fixed point, and stores only when storable.
    const std::wstring heard(data, data + size);
    const std::wstring key = CLookupCache::KeyOf(heard);
    if (CLookupCache::KeyOf(key) != key) {
        std::abort();
    }
    const bool stored = cache.Store(heard, L"P", 0);
    if (stored != (!key.empty() && CLookupCache::IsStorable(heard))) {
        std::abort();
    }
    std::wstring position;
    if (stored && (cache.Lookup(heard, 0, position) != CLookupCache::Result::Fresh || position != L"P")) {
        std::abort();
    }
    return 0;
}
