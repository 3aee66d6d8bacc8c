#include "ui/position_cache.h"

#include "settings/lookup_cache.h"
#include "settings/settings.h"
#include "settings/settings_win.h"

#include <windows.h>

namespace {

CLookupCache g_cache;
bool g_bLoaded = false;
bool g_bChanged = false;

std::wstring CachePath()
{
    return g_settings.PathBesideProgram(L"cache.ini");
}

CLookupCache& Cache()
{
    if (!g_bLoaded) {
        g_bLoaded = true;
        const std::wstring path = CachePath();
        if (!path.empty()) {
            g_cache.Load(Win32SettingsHost().Files(), path.c_str());
        }
    }
    return g_cache;
}

// Seconds since 1970 UTC.
int64_t Now()
{
    FILETIME time;
    GetSystemTimeAsFileTime(&time);
    const uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    constexpr uint64_t kTicksPerSecond = 10000000;
    constexpr uint64_t kSecondsFrom1601To1970 = 11644473600;
    return static_cast<int64_t>(ticks / kTicksPerSecond) - static_cast<int64_t>(kSecondsFrom1601To1970);
}

} // namespace

void LoadPositionCache()
{
    Cache();
}

bool CachedPosition(const std::wstring& csid, std::wstring& position)
{
    std::wstring kept;
    if (Cache().Lookup(csid, Now(), kept) != CLookupCache::Result::Fresh) {
        return false; // a stale entry is looked up again, and kept should that fail
    }
    position = kept;
    g_bChanged = true; // the entry is now the most recently used
    return true;
}

void RememberPosition(const std::wstring& csid, const std::wstring& position)
{
    g_bChanged = Cache().Store(csid, position, Now()) || g_bChanged;
}

void SavePositionCache()
{
    // A cache that cannot be written stays in use in memory; the lookup it saves is the user's gain.
    const std::wstring path = CachePath();
    if (g_bChanged && !path.empty()) {
        g_cache.Save(Win32SettingsHost().Files(), path.c_str());
    }
    g_bChanged = false;
}

bool ClearPositionCache(std::wstring& path, FileFailure& failure, unsigned& code)
{
    // The file goes as a whole: the user's location history leaves no trace.
    g_cache.Clear();
    g_bLoaded = true;
    g_bChanged = false;
    path = CachePath();
    if (path.empty() || DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    code = GetLastError();
    failure = FileFailureFromError(code);
    return false;
}
