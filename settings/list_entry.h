#pragma once

#include <string>
#include <vector>

// One row of the URL or browser list: column names and values of equal length.
// Code reads values by position; the names only label the columns.
class CListEntry
{
public:
    void Add(const std::wstring& name, const std::wstring& value)
    {
        m_names.push_back(name);
        m_values.push_back(value);
    }

    // The value at `position`, or an empty text when the entry is shorter.
    std::wstring Value(size_t position) const
    {
        return position < m_values.size() ? m_values[position] : std::wstring();
    }

    bool operator==(const CListEntry& other) const { return m_names == other.m_names && m_values == other.m_values; }

    std::vector<std::wstring> m_names;
    std::vector<std::wstring> m_values;
};
