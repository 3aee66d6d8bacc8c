#include "network/service_url.h"

#include <cstddef>

namespace {

constexpr size_t kMaxServiceUrlChars = 255;

// prefix is in lower case; the scheme compares in any case (ASCII only, whatever the locale).
bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix)
{
    for (size_t i = 0; prefix[i] != L'\0'; ++i) {
        if (i >= text.size()) {
            return false;
        }
        const wchar_t c = text[i] >= L'A' && text[i] <= L'Z' ? static_cast<wchar_t>(text[i] - L'A' + L'a') : text[i];
        if (c != prefix[i]) {
            return false;
        }
    }
    return true;
}

// Space, the ideographic space of Japanese input, C0 and C1 controls and DEL.
bool IsSpaceOrControl(wchar_t c)
{
    const unsigned long u = static_cast<unsigned long>(c);
    return u <= 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x3000;
}

// Length of the scheme and "://" when it is one the lookup can use, else 0.
size_t SchemeLength(const std::wstring& url)
{
    if (StartsWithNoCase(url, L"http://")) {
        return 7;
    }
    if (StartsWithNoCase(url, L"https://")) {
        return 8;
    }
    return 0;
}

} // namespace

bool IsHttpUrlWithHost(const std::wstring& url)
{
    const size_t start = SchemeLength(url);
    if (start == 0) {
        return false;
    }
    // The authority runs to the path, query or fragment; the host is what stands between
    // a user name ("...@") and a port (":...").
    size_t end = url.find_first_of(L"/?#", start);
    if (end == std::wstring::npos) {
        end = url.size();
    }
    size_t hostStart = url.rfind(L'@', end);
    hostStart = hostStart != std::wstring::npos && hostStart >= start ? hostStart + 1 : start;
    if (hostStart < end && url[hostStart] == L'[') {
        const size_t close = url.find(L']', hostStart);
        return close != std::wstring::npos && close < end && close > hostStart + 1;
    }
    const size_t colon = url.find(L':', hostStart);
    const size_t hostEnd = colon != std::wstring::npos && colon < end ? colon : end;
    return hostEnd > hostStart;
}

bool IsUsableServiceUrl(const std::wstring& url)
{
    if (url.size() > kMaxServiceUrlChars) {
        return false;
    }
    for (wchar_t c : url) {
        if (IsSpaceOrControl(c)) {
            return false;
        }
    }
    return IsHttpUrlWithHost(url);
}

const std::wstring* ChooseServiceUrl(const std::optional<std::wstring>& configured, const std::wstring& builtIn)
{
    if (!configured || configured->empty()) {
        return &builtIn;
    }
    return IsUsableServiceUrl(*configured) ? &*configured : nullptr;
}

bool IsSecureUrl(const std::wstring& url)
{
    return StartsWithNoCase(url, L"https://");
}
