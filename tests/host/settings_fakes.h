#pragma once

#include "settings/settings.h"

#include <map>
#include <string>
#include <tuple>
#include <vector>

// Controls as the main window's behave: unsorted combo boxes, check boxes, edits that hand
// out at most the characters asked for.
class CFakeControls : public ISettingsControls
{
public:
    std::map<int, std::vector<std::wstring>> m_items;
    std::map<int, int> m_selection, m_checks, m_carets;
    std::map<int, std::wstring> m_texts;

    void ResetCombo(int id) override { m_items[id].clear(), m_selection[id] = -1; }
    void AddComboString(int id, const std::wstring& text) override { m_items[id].push_back(text); }
    void SetComboSelection(int id, int index) override
    {
        m_selection[id] = index >= 0 && static_cast<size_t>(index) < m_items[id].size() ? index : -1;
    }
    int GetComboSelection(int id) override { return m_selection[id]; }
    void SetCheck(int id, int state) override { m_checks[id] = state; }
    int GetCheck(int id) override { return m_checks[id]; }
    void SetText(int id, const std::wstring& text) override { m_texts[id] = text; }
    std::wstring GetText(int id, size_t maxChars) override { return m_texts[id].substr(0, maxChars); }
    void SetCaret(int id, int position) override { m_carets[id] = position; }
};

inline std::vector<unsigned char> Utf16File(const std::wstring& text)
{
    std::vector<unsigned char> out = {0xFF, 0xFE};
    for (wchar_t c : text) {
        out.push_back(static_cast<unsigned char>(c & 0xFF));
        out.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
    }
    return out;
}

// Everything the record stores or mirrors, for comparing whole records.
inline auto Fields(const CSettings& s)
{
    return std::make_tuple(s.m_urlList, s.m_browserList, s.m_nUrlIndex, s.m_nBrowserIndex, s.m_bLocateEasy,
                           s.m_bStartupAll, s.m_bAutoConnect, s.m_bAutoBrowser, s.m_nConnectWait, s.m_nBrowserWait,
                           s.m_strLog, std::wstring(s.m_szIniPath), s.m_lookupCache);
}
