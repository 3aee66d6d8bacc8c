#include "acquisition/replace_all.h"

std::wstring ReplaceAll(const std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    std::wstring out = text;
    if (from.empty()) {
        // An empty pattern would match at every position without ever moving on.
        return out;
    }
    size_t pos = out.find(from);
    while (pos != std::wstring::npos) {
        out.replace(pos, from.size(), to);
        pos = out.find(from, pos + to.size());
    }
    return out;
}
