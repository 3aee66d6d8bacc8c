#include "common/texts.h"

#include <windows.h>

std::wstring Text(unsigned id)
{
    // With no buffer, LoadString gives the entry in place: no length limit, no copy.
    const wchar_t* entry = nullptr;
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&entry), 0);
    return length > 0 && entry != nullptr ? std::wstring(entry, static_cast<std::size_t>(length)) : std::wstring();
}
