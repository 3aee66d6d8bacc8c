#include "common/ansi_text.h"

#include <windows.h>

#include <cstring>
#include <vector>

std::wstring AnsiToWide(const char* bytes, size_t count)
{
    if (bytes == nullptr) {
        return std::wstring();
    }
    const void* nul = std::memchr(bytes, 0, count);
    if (nul != nullptr) {
        count = static_cast<size_t>(static_cast<const char*>(nul) - bytes);
    }
    if (count == 0) {
        return std::wstring();
    }
    int n = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(count), nullptr, 0);
    if (n <= 0) {
        return std::wstring();
    }
    std::vector<wchar_t> wide(static_cast<size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(count), wide.data(), n);
    return std::wstring(wide.data(), wide.size());
}
