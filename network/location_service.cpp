#include "network/location_service.h"

#include "acquisition/replace_all.h"
#include "network/datum.h"
#include "network/service_url.h"

#include "common/deadline.h"
#include "common/text_format.h"

#include <cmath>
#include <cstdint>

namespace {

// Further than any two points of the globe are apart: an accuracy above it tells nothing.
const double kMaxAccuracyM = 40000000.0;

bool OnTheGlobe(const WgsPosition& position)
{
    return std::isfinite(position.latitude) && std::isfinite(position.longitude) &&
           std::fabs(position.latitude) <= 90.0 && std::fabs(position.longitude) <= 180.0;
}

// Six decimals with the hemisphere's letter in front instead of a sign; a value that rounds
// to zero counts as north or east.
std::wstring WithHemisphere(double degrees, wchar_t positive, wchar_t negative)
{
    std::wstring text = FormatDegrees(degrees);
    if (!text.empty() && text[0] == L'-') {
        text[0] = negative;
        return text;
    }
    return positive + text;
}

const wchar_t kInitialTemplate[] = L"pos=N$nlE$el";

bool IsPositionChar(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'.' || c == L'/' ||
           c == L'+' || c == L'-';
}

void AppendPercent(std::wstring& out, unsigned byte)
{
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    out += L'%';
    out += kHex[(byte >> 4) & 0xF];
    out += kHex[byte & 0xF];
}

void AppendUtf8Percent(std::wstring& out, uint32_t cp)
{
    if (cp < 0x80) {
        AppendPercent(out, cp);
    } else if (cp < 0x800) {
        AppendPercent(out, 0xC0 | (cp >> 6));
        AppendPercent(out, 0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        AppendPercent(out, 0xE0 | (cp >> 12));
        AppendPercent(out, 0x80 | ((cp >> 6) & 0x3F));
        AppendPercent(out, 0x80 | (cp & 0x3F));
    } else {
        AppendPercent(out, 0xF0 | (cp >> 18));
        AppendPercent(out, 0x80 | ((cp >> 12) & 0x3F));
        AppendPercent(out, 0x80 | ((cp >> 6) & 0x3F));
        AppendPercent(out, 0x80 | (cp & 0x3F));
    }
}

// The code point at text[i] (joining a UTF-16 surrogate pair); advances i past it.
// Lone surrogates and values beyond Unicode become U+FFFD.
uint32_t NextCodePoint(const std::wstring& text, size_t& i)
{
    uint32_t c = static_cast<uint32_t>(text[i++]);
    if (c >= 0xD800 && c <= 0xDBFF && i < text.size()) {
        uint32_t low = static_cast<uint32_t>(text[i]);
        if (low >= 0xDC00 && low <= 0xDFFF) {
            ++i;
            return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
        return 0xFFFD;
    }
    return c;
}

} // namespace

std::wstring AccuracyText(const std::optional<double>& accuracyM)
{
    if (!accuracyM || !std::isfinite(*accuracyM) || *accuracyM < 0 || *accuracyM > kMaxAccuracyM) {
        return std::wstring();
    }
    return std::to_wstring(std::llround(*accuracyM));
}

std::wstring WgsPositionText(const WgsPosition& position)
{
    if (!OnTheGlobe(position)) {
        return std::wstring();
    }
    std::wstring text =
        WithHemisphere(position.latitude, L'N', L'S') + L' ' + WithHemisphere(position.longitude, L'E', L'W');
    const std::wstring accuracy = AccuracyText(position.accuracyM);
    if (!accuracy.empty()) {
        text += L" \u00B1" + accuracy + L" m";
    }
    if (!position.time.empty()) {
        text += L' ' + position.time;
    }
    return text;
}

CLocationService::CLocationService(std::wstring serviceUrl) : CLocationService(std::move(serviceUrl), RequestFunction())
{
}

CLocationService::CLocationService(std::wstring serviceUrl, RequestFunction request)
    : m_strServiceUrl(serviceUrl), m_strTemplate(kInitialTemplate), m_request(std::move(request)),
      m_strBuiltInUrl(std::move(serviceUrl))
{
}

const std::wstring* CLocationService::UseService(const std::optional<std::wstring>& configured)
{
    const std::wstring* chosen = ChooseServiceUrl(configured, m_strBuiltInUrl);
    if (chosen == nullptr) {
        return nullptr;
    }
    m_strServiceUrl = *chosen;
    return &m_strServiceUrl;
}

void CLocationService::ClearPosition()
{
    m_strLatitude.clear();
    m_strLongitude.clear();
    m_strLatitudeSlash.clear();
    m_strLongitudeSlash.clear();
    m_strExtra.clear();
    m_strDecimalLatitude.clear();
    m_strDecimalLongitude.clear();
    m_strWgsLatitude.clear();
    m_strWgsLongitude.clear();
    m_strAccuracy.clear();
}

// position is "N" + latitude + "E" + longitude; the character before the "E" part is
// skipped whatever it is. An "E" in front leaves the latitude empty.
void CLocationService::SplitPosition(const std::wstring& position)
{
    size_t j = position.find(L'E');
    if (j == std::wstring::npos) {
        return;
    }
    m_strLatitude = j > 1 ? position.substr(1, j - 1) : std::wstring();
    m_strLongitude = position.substr(j + 1);
    ToSlashNotation(m_strLatitude, m_strLatitudeSlash);
    ToSlashNotation(m_strLongitude, m_strLongitudeSlash);
    DecimalPosition decimal = ToDecimalPosition(m_strLatitude, m_strLongitude);
    m_strDecimalLatitude = std::move(decimal.latitude);
    m_strDecimalLongitude = std::move(decimal.longitude);
    m_strWgsLatitude = std::move(decimal.wgsLatitude);
    m_strWgsLongitude = std::move(decimal.wgsLongitude);
}

void CLocationService::TakeFormat(const wchar_t* format)
{
    if (format != nullptr && *format != L'\0') {
        m_strTemplate = format;
    }
}

bool CLocationService::ExpandFromSimpleCoordinates(const wchar_t* url, const wchar_t* format,
                                                   const std::wstring& coords, std::wstring& outUrl,
                                                   std::wstring& outPosition)
{
    if (url == nullptr) {
        return false;
    }
    size_t i = coords.find(L'/');
    if (i == std::wstring::npos || i == 0) {
        return false;
    }
    ClearPosition();
    outPosition = coords.substr(0, i);
    SplitPosition(outPosition);
    if (i + 1 < coords.size()) {
        m_strExtra = coords.substr(i + 1);
    }
    TakeFormat(format);
    return BuildUrl(url, outUrl);
}

std::wstring CLocationService::LookupRequestUrl(const std::wstring& url) const
{
    return Format(L"%ls?my=%ls&pos=$location", m_strServiceUrl.c_str(), url.c_str());
}

bool CLocationService::ExpandFromCsId(const wchar_t* url, const wchar_t* format, const std::wstring& csid,
                                      std::wstring& outBody, std::wstring& outUrl, std::wstring& outPosition)
{
    if (url == nullptr) {
        return false;
    }
    ClearPosition();
    if (!m_request) {
        return false;
    }
    std::wstring location;
    if (!m_request(LookupRequestUrl(url), csid, outBody, location)) {
        return false;
    }
    return ExpandFromLocation(url, format, location, outUrl, outPosition);
}

bool CLocationService::ExpandFromLocation(const wchar_t* url, const wchar_t* format, const std::wstring& location,
                                          std::wstring& outUrl, std::wstring& outPosition)
{
    if (url == nullptr) {
        return false;
    }
    ClearPosition();
    size_t k = location.find(L"pos=");
    std::wstring position = k == std::wstring::npos ? std::wstring() : location.substr(k + 4);
    if (!IsPosition(position)) {
        // Passed on whole: over plain HTTP anyone on the path may have written it, so only
        // a web address goes to the browser, never a script, a file or a switch of its own.
        if (!IsHttpUrlWithHost(location)) {
            return false;
        }
        outUrl = EscapeForCommandLine(location);
        if (k != std::wstring::npos) {
            outPosition = position;
        }
        return true;
    }
    return ExpandFromPosition(url, format, position, outUrl, outPosition);
}

bool CLocationService::ExpandFromPosition(const wchar_t* url, const wchar_t* format, const std::wstring& position,
                                          std::wstring& outUrl, std::wstring& outPosition)
{
    if (url == nullptr || !IsPosition(position)) {
        return false;
    }
    ClearPosition();
    outPosition = position;
    SplitPosition(outPosition);
    TakeFormat(format);
    return BuildUrl(url, outUrl);
}

bool CLocationService::ExpandFromWgs84(const wchar_t* url, const wchar_t* format, const WgsPosition& position,
                                       std::wstring& outUrl, std::wstring& outPosition)
{
    if (url == nullptr || !OnTheGlobe(position)) {
        return false;
    }
    ClearPosition();
    m_strWgsLatitude = FormatDegrees(position.latitude);
    m_strWgsLongitude = FormatDegrees(position.longitude);
    // Templates written for the carrier's positions stay right: they get the Tokyo datum.
    double latitude = 0, longitude = 0;
    Wgs84ToTokyo(position.latitude, position.longitude, latitude, longitude);
    m_strDecimalLatitude = FormatDegrees(latitude);
    m_strDecimalLongitude = FormatDegrees(longitude);
    m_strLatitude = FormatDottedDegrees(latitude);
    m_strLongitude = FormatDottedDegrees(longitude);
    ToSlashNotation(m_strLatitude, m_strLatitudeSlash);
    ToSlashNotation(m_strLongitude, m_strLongitudeSlash);
    m_strAccuracy = AccuracyText(position.accuracyM);
    outPosition = WgsPositionText(position);
    TakeFormat(format);
    return BuildUrl(url, outUrl);
}

bool CLocationService::BuildUrl(const wchar_t* url, std::wstring& out) const
{
    if (url == nullptr || *url == L'\0') {
        return false;
    }
    out = url;
    out += L'?';
    const std::wstring& tmpl = m_strTemplate;
    if (tmpl.find(L'$') == std::wstring::npos) {
        out += tmpl;
        return true;
    }
    struct Placeholder
    {
        const wchar_t* name;
        const std::wstring* value;
    };
    // No name is the start of another, so each is found whatever the order.
    const Placeholder placeholders[] = {
        {L"$nl", &m_strLatitude},           {L"$el", &m_strLongitude},     {L"$nml", &m_strLatitudeSlash},
        {L"$eml", &m_strLongitudeSlash},    {L"$pc", &m_strExtra},         {L"$dlat", &m_strDecimalLatitude},
        {L"$dlon", &m_strDecimalLongitude}, {L"$wlat", &m_strWgsLatitude}, {L"$wlon", &m_strWgsLongitude},
        {L"$acc", &m_strAccuracy},
    };
    size_t i = 0;
    while (i < tmpl.size()) {
        wchar_t c = tmpl[i];
        if (c != L'$') {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 == tmpl.size()) {
            break; // a trailing "$" is dropped
        }
        if (tmpl[i + 1] == L'$') {
            out += L'$';
            i += 2;
            continue;
        }
        bool matched = false;
        for (const Placeholder& p : placeholders) {
            std::wstring name(p.name);
            if (tmpl.compare(i, name.size(), name) == 0) {
                out += EncodeValue(*p.value);
                i += name.size();
                matched = true;
                break;
            }
        }
        if (!matched) {
            ++i; // the "$" alone is dropped; what follows is ordinary text
        }
    }
    return true;
}

bool CLocationService::TemplateUses(const wchar_t* format, const wchar_t* placeholder) const
{
    const std::wstring tmpl = format != nullptr && *format != L'\0' ? std::wstring(format) : m_strTemplate;
    const std::wstring name(placeholder);
    // No placeholder's name is the start of another, so only this one needs trying.
    for (size_t i = 0; i + 1 < tmpl.size(); ++i) {
        if (tmpl[i] != L'$') {
            continue;
        }
        if (tmpl[i + 1] == L'$') {
            ++i;
        } else if (tmpl.compare(i, name.size(), name) == 0) {
            return true;
        }
    }
    return false;
}

bool CLocationService::ToSlashNotation(const std::wstring& value, std::wstring& out)
{
    // Only dots become slashes: a value without a dot has no slash form, even if it
    // already holds a "/".
    if (value.find(L'.') == std::wstring::npos) {
        return false;
    }
    std::wstring s = ReplaceAll(value, L".", L"/");
    s[s.rfind(L'/')] = L'.';
    out = s;
    return true;
}

std::wstring CLocationService::EncodeValue(const std::wstring& value)
{
    std::wstring out;
    out.reserve(value.size());
    size_t i = 0;
    while (i < value.size()) {
        if (IsPositionChar(value[i])) {
            out += value[i++];
        } else {
            AppendUtf8Percent(out, NextCodePoint(value, i));
        }
    }
    return out;
}

std::wstring CLocationService::EscapeForCommandLine(const std::wstring& url)
{
    std::wstring out;
    out.reserve(url.size());
    for (wchar_t c : url) {
        uint32_t u = static_cast<uint32_t>(c);
        if (u <= 0x20 || u == 0x7F || c == L'"') {
            AppendPercent(out, u);
        } else {
            out += c;
        }
    }
    return out;
}

bool CLocationService::IsHeaderValueSafe(const std::wstring& text)
{
    return text.find_first_of(L"\r\n") == std::wstring::npos;
}

std::size_t CLocationService::BodyBytesAllowed(std::size_t bytesSoFar, std::uint32_t start, std::uint32_t now)
{
    if (bytesSoFar >= kBodyLimitBytes || !StillWaiting(start, now, kBodyWaitMs)) {
        return 0;
    }
    return kBodyLimitBytes - bytesSoFar;
}
