// A full lookup cache: its load at start-up, and the hit and save of a send.
#include "settings/file_store.h"
#include "settings/lookup_cache.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace {

constexpr int64_t kNow = 1796054400;

// Three stations heard at each of `count` places, looked up over the last days.
void FillCache(CLookupCache& cache, int count)
{
    for (int i = 0; i < count; ++i) {
        const std::wstring n = std::to_wstring(10000 + i);
        cache.Store(n + L"/5," + n + L"/6," + n + L"/7", L"N35.41.12.000E139.45.00.000", kNow - i * 60);
    }
}

void BM_LoadLookupCache(benchmark::State& state)
{
    CMemoryFileStore files;
    CLookupCache writer;
    FillCache(writer, static_cast<int>(state.range(0)));
    writer.Save(files, L"cache.ini");
    state.counters["bytes"] = static_cast<double>(files.m_files[L"cache.ini"].size());
    CLookupCache cache;
    for (auto _ : state) {
        cache.Load(files, L"cache.ini");
        if (cache.Size() != static_cast<size_t>(state.range(0))) {
            state.SkipWithError("load failed");
        }
    }
}

void BM_LookupHit(benchmark::State& state)
{
    CLookupCache cache;
    FillCache(cache, static_cast<int>(state.range(0)));
    const std::wstring heard = L"10500/7,10500/5,10500/6"; // another order than stored
    std::wstring position;
    for (auto _ : state) {
        if (cache.Lookup(heard, kNow, position) != CLookupCache::Result::Fresh) {
            state.SkipWithError("no hit");
        }
    }
}

void BM_SaveLookupCache(benchmark::State& state)
{
    CMemoryFileStore files;
    CLookupCache cache;
    FillCache(cache, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        if (!cache.Save(files, L"cache.ini")) {
            state.SkipWithError("save failed");
        }
    }
}

} // namespace

BENCHMARK(BM_LoadLookupCache)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LookupHit)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveLookupCache)->Arg(1000)->Unit(benchmark::kMillisecond);
