#include "common/text_format.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

namespace {

constexpr size_t kMaxChars = 1023;

std::wstring FormatV(const wchar_t* format, va_list args)
{
    if (format == nullptr) {
        return std::wstring();
    }
    // Grow until the whole output fits, then cut: vswprintf reports truncation
    // differently on each C library, so never rely on a truncated buffer.
    for (size_t size = 1024; size <= (1u << 22); size *= 4) {
        std::vector<wchar_t> buffer(size);
        va_list copy;
        va_copy(copy, args);
        int n = std::vswprintf(buffer.data(), size, format, copy);
        va_end(copy);
        if (n >= 0 && static_cast<size_t>(n) < size) {
            std::wstring out(buffer.data(), static_cast<size_t>(n));
            if (out.size() > kMaxChars) {
                out.resize(kMaxChars);
            }
            return out;
        }
    }
    return std::wstring();
}

} // namespace

void FormatString(std::wstring& target, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring out = FormatV(format, args);
    va_end(args);
    if (!out.empty()) {
        target = out;
    }
}

std::wstring Format(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring out = FormatV(format, args);
    va_end(args);
    return out;
}

std::wstring TrimBlanks(const std::wstring& text)
{
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) {
        return std::wstring();
    }
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}
