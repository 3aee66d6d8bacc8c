#include "ui/position_cache.h"

#include "settings/lookup_cache.h"
#include "settings/settings.h"
#include "settings/settings_win.h"

#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace {

CLookupCache g_cache;
bool g_bLoaded = false;
bool g_bChanged = false;

// The file is read on a worker while the module answers; the send takes what it read.
std::mutex g_readLock;
std::condition_variable g_readDone;
bool g_bReading = false;               // a read was started; guarded by g_readLock
std::unique_ptr<CLookupCache> g_pRead; // what it read, once done

// Writing the file (with its flush to the disk) is left to a worker, so the window goes on; a
// write asked for later is never undone by an earlier one that finishes after it.
struct CacheWrite
{
    unsigned generation = 0;
    std::wstring path;
    std::vector<unsigned char> bytes;
};

std::mutex g_writeLock;
std::condition_variable g_writeDone;
unsigned g_newestWrite = 0; // generation of the newest write asked for; guarded by g_writeLock
unsigned g_writtenUpTo = 0; // generations done, written or passed over

void CALLBACK WriteCache(PTP_CALLBACK_INSTANCE, void* param)
{
    std::unique_ptr<CacheWrite> write(static_cast<CacheWrite*>(param));
    std::unique_lock<std::mutex> lock(g_writeLock);
    if (write->generation == g_newestWrite) {
        NewWin32FileStore()->ReplaceAll(write->path.c_str(), write->bytes);
    }
    g_writtenUpTo = std::max(g_writtenUpTo, write->generation);
    g_writeDone.notify_all();
}

std::wstring CachePath()
{
    return g_settings.PathBesideProgram(L"cache.ini");
}

void CALLBACK ReadCache(PTP_CALLBACK_INSTANCE, void* param)
{
    std::unique_ptr<std::wstring> path(static_cast<std::wstring*>(param));
    auto read = std::make_unique<CLookupCache>();
    read->Load(*NewWin32FileStore(), path->c_str());
    std::lock_guard<std::mutex> lock(g_readLock);
    g_pRead = std::move(read);
    g_readDone.notify_all();
}

CLookupCache& Cache()
{
    if (g_bLoaded) {
        return g_cache;
    }
    g_bLoaded = true;
    std::unique_lock<std::mutex> lock(g_readLock);
    if (g_bReading) {
        // A few milliseconds at most: the file is bounded, and the read began with the acquisition.
        g_readDone.wait(lock, [] { return g_pRead != nullptr; });
        g_cache = std::move(*g_pRead);
        g_pRead.reset();
    } else {
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
    const std::wstring path = CachePath();
    std::lock_guard<std::mutex> lock(g_readLock);
    if (g_bLoaded || g_bReading || path.empty()) {
        return;
    }
    auto param = std::make_unique<std::wstring>(path);
    if (TrySubmitThreadpoolCallback(ReadCache, param.get(), nullptr)) {
        param.release();
        g_bReading = true;
    }
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
    const std::wstring path = CachePath();
    if (!g_bChanged || path.empty()) {
        return;
    }
    g_bChanged = false;
    auto write = std::make_unique<CacheWrite>();
    write->path = path;
    write->bytes = g_cache.Serialize();
    {
        std::lock_guard<std::mutex> lock(g_writeLock);
        write->generation = ++g_newestWrite;
    }
    // A cache that cannot be written stays in use in memory; the lookup it saves is the user's gain.
    if (TrySubmitThreadpoolCallback(WriteCache, write.get(), nullptr)) {
        write.release();
    } else {
        WriteCache(nullptr, write.release()); // no worker: written here
    }
}

bool FinishPositionCacheWrites(DWORD waitMs)
{
    SavePositionCache();
    std::unique_lock<std::mutex> lock(g_writeLock);
    return g_writeDone.wait_for(lock, std::chrono::milliseconds(waitMs), [] { return g_writtenUpTo >= g_newestWrite; });
}

bool ClearPositionCache(std::wstring& path, FileFailure& failure, unsigned& code)
{
    // The file goes as a whole: the user's location history leaves no trace, and no write
    // still on its way may bring it back.
    g_cache.Clear();
    g_bLoaded = true;
    g_bChanged = false;
    std::lock_guard<std::mutex> lock(g_writeLock);
    g_writtenUpTo = ++g_newestWrite;
    path = CachePath();
    if (path.empty() || DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    code = GetLastError();
    failure = FileFailureFromError(code);
    return false;
}
