// Loading and saving a settings file with many list entries: both grow linearly.
#include "bench/url_entries.h"
#include "settings/memory_settings_host.h"
#include "settings/settings.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

void BM_LoadSettingsFile(benchmark::State& state)
{
    CMemorySettingsHost host;
    CSettings writer(&host);
    FillUrlEntries(writer, static_cast<int>(state.range(0)));
    writer.Save(L"big.ini");
    state.counters["bytes"] = static_cast<double>(host.m_files.m_files[L"big.ini"].size());
    for (auto _ : state) {
        // A record as start-up has it; making and freeing it is not the load.
        state.PauseTiming();
        auto reader = std::make_unique<CSettings>(&host);
        state.ResumeTiming();
        if (!reader->Load(L"big.ini") || reader->m_urlList.size() != static_cast<size_t>(state.range(0))) {
            state.SkipWithError("load failed");
        }
        state.PauseTiming();
        reader.reset();
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}

void BM_SaveSettingsFile(benchmark::State& state)
{
    CMemorySettingsHost host;
    CSettings writer(&host);
    FillUrlEntries(writer, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        if (!writer.Save(L"big.ini")) {
            state.SkipWithError("save failed");
        }
    }
    state.SetComplexityN(state.range(0));
}

} // namespace

BENCHMARK(BM_LoadSettingsFile)
    ->Arg(1250)
    ->Arg(2500)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_SaveSettingsFile)
    ->Arg(1250)
    ->Arg(2500)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
