#include "acquisition/port_list.h"

#include "common/text_format.h"

#include <algorithm>

namespace {

std::wstring Upper(const std::wstring& text)
{
    std::wstring out = text;
    for (wchar_t& c : out) {
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
    }
    return out;
}

// The port's own name: no device path in front, no colon behind, upper case.
std::wstring PortKey(const std::wstring& text)
{
    std::wstring name = TrimBlanks(text);
    if (name.compare(0, 4, L"\\\\.\\") == 0) {
        name.erase(0, 4);
    }
    if (!name.empty() && name.back() == L':') {
        name.pop_back();
    }
    return Upper(name);
}

// The number of "COMn", or 0 for any other name.
unsigned long ComNumber(const std::wstring& key)
{
    if (key.size() < 4 || key.size() > 12 || key.compare(0, 3, L"COM") != 0) {
        return 0;
    }
    unsigned long number = 0;
    for (size_t i = 3; i < key.size(); ++i) {
        if (key[i] < L'0' || key[i] > L'9') {
            return 0;
        }
        number = number * 10 + static_cast<unsigned long>(key[i] - L'0');
    }
    return number;
}

// "u-blox GNSS receiver (COM3)" without the " (COM3)" that names the port once more.
std::wstring Description(const std::wstring& text, const std::wstring& key)
{
    std::wstring description = TrimBlanks(text);
    const std::wstring suffix = L"(" + key + L")";
    if (description.size() >= suffix.size() &&
        Upper(description.substr(description.size() - suffix.size())) == suffix) {
        description = TrimBlanks(description.substr(0, description.size() - suffix.size()));
    }
    return description;
}

} // namespace

bool IsComPortName(const std::wstring& name)
{
    return ComNumber(Upper(name)) != 0;
}

std::wstring PortSettingFor(const std::wstring& name)
{
    const std::wstring key = PortKey(name);
    const unsigned long number = ComNumber(key);
    if (number >= 1 && number <= 9 && key.size() == 4) {
        return key + L":";
    }
    return L"\\\\.\\" + key;
}

std::vector<PortChoice> MergePorts(const std::vector<FoundPort>& found)
{
    struct Row
    {
        std::wstring key;
        std::wstring description;
    };
    std::vector<Row> rows;
    for (const FoundPort& port : found) {
        const std::wstring key = PortKey(port.name);
        if (key.empty()) {
            continue;
        }
        auto same = std::find_if(rows.begin(), rows.end(), [&key](const Row& row) { return row.key == key; });
        if (same == rows.end()) {
            rows.push_back(Row{key, std::wstring()});
            same = rows.end() - 1;
        }
        if (same->description.empty()) {
            same->description = Description(port.description, key);
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        const unsigned long left = ComNumber(a.key);
        const unsigned long right = ComNumber(b.key);
        if ((left != 0) != (right != 0)) {
            return left != 0; // COM ports first
        }
        return left != right ? left < right : a.key < b.key;
    });
    std::vector<PortChoice> choices;
    for (const Row& row : rows) {
        PortChoice choice{row.key, PortSettingFor(row.key), row.key + L":"};
        if (!row.description.empty()) {
            choice.label += L" " + row.description;
        }
        choices.push_back(choice);
    }
    return choices;
}

std::wstring PortFromField(const std::wstring& text, const std::vector<PortChoice>& choices)
{
    for (const PortChoice& choice : choices) {
        if (text == choice.label) {
            return choice.setting;
        }
    }
    return text;
}

int PortChoiceOf(const std::wstring& setting, const std::vector<PortChoice>& choices)
{
    const std::wstring key = PortKey(setting);
    for (size_t i = 0; i < choices.size(); ++i) {
        if (choices[i].name == key) {
            return static_cast<int>(i);
        }
    }
    return -1;
}
