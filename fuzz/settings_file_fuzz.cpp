// Arbitrary bytes as a settings file: the reader and the record mapping must not fault,
// and whatever loads must save and load again to the same record.
#include "settings/memory_settings_host.h"
#include "settings/settings.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool SameRecord(const CSettings& a, const CSettings& b)
{
    return a.m_urlList == b.m_urlList && a.m_browserList == b.m_browserList && a.m_nUrlIndex == b.m_nUrlIndex &&
           a.m_nBrowserIndex == b.m_nBrowserIndex && a.m_bLocateEasy == b.m_bLocateEasy &&
           a.m_bStartupAll == b.m_bStartupAll && a.m_bAutoConnect == b.m_bAutoConnect &&
           a.m_bAutoBrowser == b.m_bAutoBrowser && a.m_nConnectWait == b.m_nConnectWait &&
           a.m_nBrowserWait == b.m_nBrowserWait && a.m_lookupCache == b.m_lookupCache;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Built once: the presets cost as much as a load. A load either replaces every field
    // compared below or fails with nothing changed, so no input sees the one before it.
    static CMemorySettingsHost host;
    static CSettings first(&host);
    static CSettings second(&host);
    host.m_files.m_files.clear();
    host.m_files.m_files[L"in.ini"].assign(data, data + size);
    if (!first.Load(L"in.ini")) {
        return 0;
    }
    for (const auto& entry : first.m_urlList) {
        if (entry.m_values.size() != first.m_urlColumns.size()) {
            std::abort();
        }
    }
    if (!first.Save(L"out.ini")) {
        std::abort();
    }
    if (!second.Load(L"out.ini") || !SameRecord(first, second)) {
        std::abort();
    }
    return 0;
}
