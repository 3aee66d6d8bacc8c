#include "acquisition/replace_all.h"

std::wstring ReplaceAll(const std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    if (from.empty()) {
        // An empty pattern would match at every position without ever moving on.
        return text;
    }
    // Built by appending, so a `to` longer or shorter than `from` never shifts the tail.
    std::wstring out;
    out.reserve(text.size());
    size_t start = 0;
    for (size_t pos = text.find(from); pos != std::wstring::npos; pos = text.find(from, start)) {
        out.append(text, start, pos - start);
        out += to;
        start = pos + from.size();
    }
    out.append(text, start, std::wstring::npos);
    return out;
}
