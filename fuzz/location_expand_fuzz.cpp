// Feeds arbitrary templates, coordinates texts and Location values to the expansion.
// Input: template, coordinates and Location separated by NUL bytes. Bytes below 0xF0 are
// characters of their own; a byte from 0xF0 up joins the next byte into one wide character
// (reaching surrogates and CJK text). The same bytes, read as doubles, give a WGS 84
// position: as they are (any double, infinities and NaNs too) or scaled onto the globe.
#include "network/datum.h"
#include "network/location_service.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
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

double DoubleAt(const uint8_t* data, size_t size, size_t offset)
{
    uint8_t bytes[sizeof(double)] = {};
    if (offset < size) {
        std::memcpy(bytes, data + offset, std::min(sizeof bytes, size - offset));
    }
    double value = 0;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// Bits 0-2 of the mode byte: latitude, longitude and accuracy taken as they are, else scaled
// from their raw bits into range; bit 3: the accuracy is known.
WgsPosition PositionFrom(const uint8_t* data, size_t size)
{
    const uint8_t mode = size > 24 ? data[24] : 0;
    auto pick = [&](size_t offset, int bit, double low, double high) {
        const double raw = DoubleAt(data, size, offset);
        if (mode & (1 << bit)) {
            return raw;
        }
        uint64_t bits = 0;
        std::memcpy(&bits, &raw, sizeof bits);
        return low + (high - low) * (static_cast<double>(bits >> 11) / 9007199254740992.0);
    };
    WgsPosition position;
    position.latitude = pick(0, 0, -90, 90);
    position.longitude = pick(8, 1, -180, 180);
    if (mode & 8) {
        position.accuracyM = pick(16, 2, 0, 100000);
    }
    return position;
}

std::vector<std::wstring> Fields(const std::wstring& text)
{
    std::vector<std::wstring> fields;
    for (size_t start = 2, comma; (comma = text.find(L',', start)) != std::wstring::npos; start = comma + 1) {
        fields.push_back(text.substr(start, comma - start));
    }
    return fields;
}

// Six decimals with an optional minus sign, or nothing.
bool IsDecimalForm(const std::wstring& form)
{
    if (form.empty()) {
        return true;
    }
    const size_t digits = form[0] == L'-' ? 1 : 0;
    const size_t dot = form.size() - 7;
    return form.size() >= digits + 8 && form.find_first_not_of(L"0123456789", digits) == dot && form[dot] == L'.' &&
           form.find_first_not_of(L"0123456789", dot + 1) == std::wstring::npos;
}

// The WGS 84 path takes exactly the positions on the globe; its forms agree with each other:
// the received values as they came, the dotted forms only where the Tokyo decimal ones have
// no sign and then within a thousandth of a second of them, the accuracy whole metres.
void CheckWgs84(const WgsPosition& position, const std::wstring& tmpl)
{
    const bool onGlobe = std::isfinite(position.latitude) && std::isfinite(position.longitude) &&
                         std::fabs(position.latitude) <= 90 && std::fabs(position.longitude) <= 180;
    CLocationService service;
    std::wstring url, text;
    if (service.ExpandFromWgs84(L"u", L"$nl,$el,$nml,$eml,$pc,$dlat,$dlon,$wlat,$wlon,$acc,", position, url, text) !=
        onGlobe) {
        std::abort();
    }
    if (!onGlobe) {
        if (!url.empty() || !text.empty() || !WgsPositionText(position).empty()) {
            std::abort();
        }
        return;
    }
    const std::vector<std::wstring> f = Fields(url);
    if (f.size() != 10 || !f[4].empty() || f[7] != FormatDegrees(position.latitude) ||
        f[8] != FormatDegrees(position.longitude) || f[7].empty() || f[8].empty()) {
        std::abort();
    }
    for (int i : {5, 6, 7, 8}) {
        if (!IsDecimalForm(f[i]) || f[i].empty()) {
            std::abort();
        }
    }
    for (int i : {0, 1}) {
        const std::wstring& decimal = f[5 + i];
        const unsigned max = i == 0 ? 90 : 180;
        double dotted = 0, tokyo = std::wcstod(decimal.c_str(), nullptr);
        std::wstring unused;
        if (f[i].empty() ? tokyo > 1e-6 && tokyo <= max
                         : !ReadDottedDegrees(f[i], max, dotted, unused) || std::fabs(dotted - tokyo) > 1e-6) {
            std::abort();
        }
        std::wstring slash;
        if (!f[i].empty() && (!CLocationService::ToSlashNotation(f[i], slash) || slash != f[2 + i])) {
            std::abort();
        }
    }
    if (f[9].find_first_not_of(L"0123456789") != std::wstring::npos) {
        std::abort();
    }
    if (text.empty() || (text[0] != L'N' && text[0] != L'S') || text.find_first_of(L"\r\n") != std::wstring::npos) {
        std::abort();
    }

    CLocationService fuzzed;
    if (fuzzed.ExpandFromWgs84(L"http://map.example/m", tmpl.c_str(), position, url, text)) {
        CheckSubstitution(tmpl, url);
    }
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

    CheckWgs84(PositionFrom(data, size), tmpl);

    std::wstring slash;
    if (CLocationService::ToSlashNotation(location, slash) && slash.size() != location.size()) {
        std::abort();
    }
    return 0;
}
