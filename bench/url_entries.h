#pragma once

#include "settings/settings.h"

#include <string>

// The long URL list the measurements load: `count` entries in place of the presets.
inline void FillUrlEntries(CSettings& settings, int count)
{
    settings.m_urlList.clear();
    settings.m_urlList.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        CListEntry entry;
        entry.Add(settings.m_urlColumns[0], L"地図 " + std::to_wstring(i));
        entry.Add(settings.m_urlColumns[1], L"http://map.example.jp/p/" + std::to_wstring(i));
        entry.Add(settings.m_urlColumns[2], L"el=$el&nl=$nl");
        settings.m_urlList.push_back(entry);
    }
}
