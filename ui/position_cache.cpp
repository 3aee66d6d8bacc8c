#include "ui/position_cache.h"

#include "common/worker_task.h"
#include "platform/device_sim.h"
#include "settings/lookup_cache.h"
#include "settings/settings.h"
#include "settings/settings_win.h"
#include "ui/app_state.h"
#include "ui/command_logic.h"
#include "ui/progress_dialog.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <vector>

namespace {

constexpr UINT WM_CACHE_READ = WM_APP + 1;
constexpr UINT WM_CACHE_WRITTEN = WM_APP + 2;
constexpr UINT_PTR kWriteTimer = 1;
// After a failed write the next try comes this much later (and at exit).
constexpr UINT kRetryMs = 5000;

CLookupCache g_cache;
bool g_bLoaded = false;
bool g_bChanged = false;
std::function<void(const std::wstring&)> g_report;

// What the worker read, for the window to take.
struct CacheRead
{
    CLookupCache cache;
};
std::shared_ptr<CWorkerTask> g_readTask;
std::shared_ptr<CacheRead> g_read;
// Positions kept while the read was still on its way; they join what it read.
struct Kept
{
    std::wstring key, position;
    int64_t time;
};
std::vector<Kept> g_keptWhileReading;

// One write at a time; a clear since it began makes it remove the file again.
struct CacheWrite
{
    std::wstring path;
    std::vector<unsigned char> bytes;
    unsigned clears = 0;
    bool ok = false;
    FileFailure failure = FileFailure::None;
    unsigned code = 0;
};
std::atomic<unsigned> g_clears{0};
std::shared_ptr<CWorkerTask> g_writeTask;
std::shared_ptr<CacheWrite> g_write;
bool g_bFailing = false; // the last write failed; told once until one succeeds

HWND g_sink = nullptr;

std::wstring CachePath()
{
    return g_settings.PathBesideProgram(L"cache.ini");
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

void StartWrite();

// The one read of the cache's file, on a worker only: the storage card may take its time.
void ReadCacheFile(CLookupCache& cache, const std::wstring& path)
{
    devicesim::DelayStorageRead();
    cache.Load(*NewWin32FileStore(), path.c_str());
}

void TakeRead()
{
    g_readTask.reset();
    if (!g_bLoaded && g_read) {
        g_cache = std::move(g_read->cache);
        g_bLoaded = true;
        for (const Kept& kept : g_keptWhileReading) {
            g_bChanged = g_cache.Store(kept.key, kept.position, kept.time) || g_bChanged;
        }
    }
    g_read.reset();
    const bool merged = !g_keptWhileReading.empty();
    g_keptWhileReading.clear();
    if (merged && g_bChanged) {
        StartWrite(); // what a send kept meanwhile goes to the file now, not only at exit
    }
}

void TakeWrite()
{
    std::shared_ptr<CacheWrite> write = std::move(g_write);
    g_writeTask.reset();
    if (!write) {
        return;
    }
    if (write->ok) {
        g_bFailing = false;
    } else {
        // Kept for the next try: what it would have written is still in memory.
        g_bChanged = true;
        if (!g_bFailing && g_report) {
            g_report(CacheWriteFailureText(write->failure, write->code));
        }
        g_bFailing = true;
        SetTimer(g_sink, kWriteTimer, kRetryMs, nullptr);
        return;
    }
    if (g_bChanged) {
        StartWrite(); // changed again while this one was on its way
    }
}

LRESULT CALLBACK SinkProc(HWND sink, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CACHE_READ:
        if (g_readTask && g_readTask->Is(lParam)) {
            TakeRead();
        }
        return 0;
    case WM_CACHE_WRITTEN:
        if (g_writeTask && g_writeTask->Is(lParam)) {
            TakeWrite();
        }
        return 0;
    case WM_TIMER:
        KillTimer(sink, wParam);
        StartWrite();
        return 0;
    default:
        return DefWindowProcW(sink, message, wParam, lParam);
    }
}

HWND Sink()
{
    if (g_sink == nullptr) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = SinkProc;
        wc.hInstance = g_hInstance;
        wc.lpszClassName = L"TavrinCache";
        RegisterClassW(&wc);
        g_sink = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, g_hInstance, nullptr);
    }
    return g_sink;
}

// The cache once its file has been read; null until then. The read runs on a worker, never
// here: the window does not wait on the storage card.
CLookupCache* Cache()
{
    if (g_bLoaded) {
        return &g_cache;
    }
    LoadPositionCache();
    return g_bLoaded ? &g_cache : nullptr;
}

void StartWrite()
{
    const std::wstring path = CachePath();
    if (!g_bChanged || g_writeTask || path.empty() || Sink() == nullptr) {
        return;
    }
    KillTimer(g_sink, kWriteTimer);
    auto write = std::make_shared<CacheWrite>();
    write->path = path;
    write->bytes = g_cache.Serialize();
    write->clears = g_clears.load();
    auto task = CWorkerTask::Start(g_sink, WM_CACHE_WRITTEN, [write](const CWorkerTask&) {
        devicesim::DelayStorageWrite();
        auto files = NewWin32FileStore();
        write->ok = files->ReplaceAll(write->path.c_str(), write->bytes);
        write->failure = files->LastFailure();
        write->code = files->LastFailureCode();
        if (g_clears.load() != write->clears) {
            // The user cleared the cache meanwhile: what this wrote is gone again.
            DeleteFileW(write->path.c_str());
        }
    });
    if (task) {
        g_bChanged = false;
        g_write = write;
        g_writeTask = task;
    }
    // Without a worker the cache stays in use in memory, and the next try comes at exit.
}

} // namespace

void LoadPositionCache()
{
    const std::wstring path = CachePath();
    if (g_bLoaded || g_readTask) {
        return;
    }
    if (path.empty()) {
        g_bLoaded = true; // nowhere to read from: the cache starts empty
        return;
    }
    if (Sink() == nullptr) {
        return;
    }
    auto read = std::make_shared<CacheRead>();
    g_readTask = CWorkerTask::Start(g_sink, WM_CACHE_READ,
                                    [read, path](const CWorkerTask&) { ReadCacheFile(read->cache, path); });
    if (g_readTask) {
        g_read = read;
    }
}

bool PositionCacheReading()
{
    return !g_bLoaded && g_readTask != nullptr;
}

bool CachedPosition(const std::wstring& key, std::wstring& position)
{
    CLookupCache* cache = Cache();
    std::wstring kept;
    if (cache == nullptr || cache->Lookup(key, Now(), kept) != CLookupCache::Result::Fresh) {
        return false; // a stale entry is looked up again, and kept should that fail
    }
    position = kept;
    g_bChanged = true; // the entry is now the most recently used
    return true;
}

void RememberPosition(const std::wstring& key, const std::wstring& position)
{
    CLookupCache* cache = Cache();
    if (cache == nullptr) {
        g_keptWhileReading.push_back(Kept{key, position, Now()});
        return;
    }
    g_bChanged = cache->Store(key, position, Now()) || g_bChanged;
}

void SavePositionCache(UINT delayMs)
{
    if (!g_bChanged || Sink() == nullptr) {
        return;
    }
    if (delayMs == 0) {
        StartWrite();
    } else {
        SetTimer(g_sink, kWriteTimer, delayMs, nullptr);
    }
}

bool FinishPositionCacheWrites(DWORD waitMs)
{
    StartWrite();
    ProgressRequest wait;
    wait.limitMs = waitMs;
    wait.showAfterMs = INFINITE;
    wait.until = [] { return !g_writeTask; };
    return RunProgress(g_hInstance, nullptr, wait) == ProgressEnd::Done;
}

std::wstring ClearPositionCache()
{
    // The file goes as a whole: the user's location history leaves no trace, and no write
    // still on its way may bring it back.
    g_cache.Clear();
    g_bLoaded = true;
    g_bChanged = false;
    g_keptWhileReading.clear();
    ++g_clears;
    if (g_sink != nullptr) {
        KillTimer(g_sink, kWriteTimer);
    }
    return CachePath();
}

bool DeleteCacheFile(const std::wstring& path, FileFailure& failure, unsigned& code)
{
    if (path.empty() || DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    code = GetLastError();
    failure = FileFailureFromError(code);
    return false;
}

void SetPositionCacheReport(std::function<void(const std::wstring& text)> report)
{
    g_report = std::move(report);
}
