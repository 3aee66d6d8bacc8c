#include "common/texts.h"

std::wstring FillText(std::wstring_view pattern, std::initializer_list<std::wstring_view> values)
{
    std::wstring out;
    out.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const wchar_t c = pattern[i];
        if (c != L'%' || i + 1 == pattern.size()) {
            out += c;
            continue;
        }
        const wchar_t next = pattern[i + 1];
        if (next == L'%') {
            out += L'%';
            ++i;
        } else if (next >= L'1' && next <= L'9' && static_cast<std::size_t>(next - L'1') < values.size()) {
            out += values.begin()[next - L'1'];
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

std::wstring Text(unsigned id, std::initializer_list<std::wstring_view> values)
{
    return FillText(Text(id), values);
}

std::wstring NumberText(long long value)
{
    return std::to_wstring(value);
}

std::wstring HexText(unsigned long value)
{
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text(8, L'0');
    for (int i = 7; i >= 0; --i, value >>= 4) {
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    }
    return text;
}
