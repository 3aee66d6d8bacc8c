#include "settings/lookup_cache.h"
#include "settings/settings_win.h"
#include "tests/windows/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The entries as the platform's own INI functions read the file: each key of [cache] with its
// value, in file order. The key list repeats a key written twice (in any case), while reading
// its value gives the first.
std::vector<std::pair<std::wstring, std::wstring>> ReadWithPlatform(const std::wstring& path)
{
    std::vector<wchar_t> keys(1 << 16);
    const DWORD length =
        GetPrivateProfileStringW(L"cache", nullptr, L"", keys.data(), static_cast<DWORD>(keys.size()), path.c_str());
    std::vector<std::pair<std::wstring, std::wstring>> entries;
    for (const wchar_t* key = keys.data(); key < keys.data() + length && *key != L'\0'; key += wcslen(key) + 1) {
        bool seen = false;
        for (const auto& entry : entries) {
            seen = seen || _wcsicmp(entry.first.c_str(), key) == 0;
        }
        if (seen) {
            continue;
        }
        wchar_t value[2048] = {};
        GetPrivateProfileStringW(L"cache", key, L"", value, 2048, path.c_str());
        entries.emplace_back(key, value);
    }
    return entries;
}

std::vector<std::pair<std::wstring, std::wstring>> AsPairs(const CLookupCache& cache)
{
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    for (const CLookupCacheEntry& entry : cache.Entries()) {
        pairs.emplace_back(entry.m_key,
                           std::to_wstring(entry.m_lookedUp) + L";" + entry.m_position + L";" + entry.m_csId);
    }
    return pairs;
}

} // namespace

TEST(LookupCacheFile, ThePlatformReadsTheEntriesTheProgramReads)
{
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"tavrin_cache_test.ini";
    IFileStore& files = Win32SettingsHost().Files();

    // As the program writes it (stations in any order and case, every character it keeps), and
    // then by hand a key again, once in another case: the first counts.
    CLookupCache written;
    ASSERT_TRUE(written.Store(L"45/6,12/3", L"N34.41.10.250E135.30.05.500", 1796054400));
    ASSERT_TRUE(written.Store(L"ab/1", L"N+35.1E-139.2", 1796054401));
    ASSERT_TRUE(written.Save(files, path.c_str()));
    WriteUtf16(path, ReadUtf16(path) + L"12/3,45/6=1796054499;N5E6;12/3,45/6\r\nab/1=1796054499;N7E8;AB/1\r\n");
    CLookupCache read;
    read.Load(files, path.c_str());
    EXPECT_EQ(AsPairs(written), AsPairs(read));
    EXPECT_EQ(AsPairs(read), ReadWithPlatform(path));
    DeleteFileW(path.c_str());
}
