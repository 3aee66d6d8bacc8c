// Feeds arbitrary templates, coordinates texts and Location values to the expansion.
// Input: template, coordinates and Location separated by NUL bytes. Bytes below 0xF0 are
// characters of their own; a byte from 0xF0 up joins the next byte into one wide character
// (reaching surrogates and CJK text).
#include "network/location_service.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> Split(const uint8_t* data, size_t size)
{
    std::vector<std::wstring> parts(1);
    for (size_t i = 0; i < size; ++i) {
        uint8_t b = data[i];
        if (b == 0 && parts.size() < 3) {
            parts.emplace_back();
        } else if (b >= 0xF0 && i + 1 < size) {
            parts.back() += static_cast<wchar_t>(((b & 0x0F) << 12) | (data[i + 1] << 4) | (b & 0x0F));
            ++i;
        } else {
            parts.back() += static_cast<wchar_t>(b);
        }
    }
    parts.resize(3);
    return parts;
}

bool SplitsCommandLine(wchar_t c)
{
    return static_cast<uint32_t>(c) <= 0x20 || c == L'"' || c == 0x7F;
}

// Whatever the values hold, they must not bring a space, quote or control character into
// a URL whose destination and template hold none.
void CheckSubstitution(const std::wstring& tmpl, const std::wstring& url)
{
    for (wchar_t c : tmpl) {
        if (SplitsCommandLine(c)) {
            return;
        }
    }
    for (wchar_t c : url) {
        if (SplitsCommandLine(c)) {
            std::abort();
        }
    }
}

// Each decimal form is nothing or digits, a dot and six decimals; the WGS 84 pair comes
// both or neither.
void CheckDecimalForms(const std::wstring& coords)
{
    CLocationService service;
    std::wstring url, position;
    if (!service.ExpandFromSimpleCoordinates(L"u", L"$dlat,$dlon,$wlat,$wlon,", coords, url, position)) {
        return;
    }
    std::vector<std::wstring> forms;
    for (size_t start = 2, comma; (comma = url.find(L',', start)) != std::wstring::npos; start = comma + 1) {
        const std::wstring form = url.substr(start, comma - start);
        const size_t dot = form.size() - 7;
        if (!form.empty() && (form.size() < 8 || form.find_first_not_of(L"0123456789") != dot || form[dot] != L'.' ||
                              form.find_first_not_of(L"0123456789", dot + 1) != std::wstring::npos)) {
            std::abort();
        }
        forms.push_back(form);
    }
    if (forms.size() != 4 || forms[2].empty() != forms[3].empty()) {
        std::abort();
    }
}

bool StartsWithWebScheme(const std::wstring& url)
{
    std::wstring scheme;
    for (size_t i = 0; i < url.size() && i < 8; ++i) {
        wchar_t c = url[i];
        scheme += (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    }
    return scheme.compare(0, 7, L"http://") == 0 || scheme == L"https://";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::wstring> parts = Split(data, size);
    const std::wstring& tmpl = parts[0];
    const std::wstring& coords = parts[1];
    const std::wstring& location = parts[2];
    const wchar_t dest[] = L"http://map.example/m";

    CLocationService local;
    std::wstring url, position;
    if (local.ExpandFromSimpleCoordinates(dest, tmpl.c_str(), coords, url, position)) {
        if (url.compare(0, 21, L"http://map.example/m?") != 0) {
            std::abort();
        }
        CheckSubstitution(tmpl, url);
    }
    CheckDecimalForms(coords);

    CLocationService remote(L"http://svc/loc1/location",
                            [&](const std::wstring&, const std::wstring&, std::wstring& body, std::wstring& out) {
                                body.clear();
                                out = location;
                                return true;
                            });
    std::wstring body;
    url.clear();
    position.clear();
    if (remote.ExpandFromCsId(dest, tmpl.c_str(), L"1234/5", body, url, position)) {
        // the expansion of the destination, or a Location passed on as a web address
        if (url.compare(0, 21, L"http://map.example/m?") != 0 && !StartsWithWebScheme(url)) {
            std::abort();
        }
        CheckSubstitution(tmpl, url);
    } else if (!url.empty()) {
        std::abort(); // a refused Location must not reach the caller
    }
    if (!remote.m_strExtra.empty()) {
        std::abort();
    }

    std::wstring slash;
    if (CLocationService::ToSlashNotation(location, slash) && slash.size() != location.size()) {
        std::abort();
    }
    return 0;
}
