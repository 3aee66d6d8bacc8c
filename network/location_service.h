#pragma once

#include <functional>
#include <string>

// Turns a CS-ID (through the carrier's HTTP lookup) or simple coordinates (locally) into
// a position text and expands the destination entry's query template into the final URL.
// Portable: the HTTP request is a function handed in by the Win32 layer.
class CLocationService
{
public:
    // request URL, CS-ID text, out body, out Location value -> true if a Location was obtained
    using RequestFunction = std::function<bool(const std::wstring& request, const std::wstring& csid,
                                               std::wstring& body, std::wstring& location)>;

    explicit CLocationService(std::wstring serviceUrl = std::wstring());

    std::wstring m_strLatitude;       // $nl
    std::wstring m_strLongitude;      // $el
    std::wstring m_strLatitudeSlash;  // $nml
    std::wstring m_strLongitudeSlash; // $eml
    std::wstring m_strExtra;          // $pc
    std::wstring m_strServiceUrl;
    std::wstring m_strTemplate;

    // url and format may be null.
    bool ExpandFromSimpleCoordinates(const wchar_t* url, const wchar_t* format, const std::wstring& coords,
                                     std::wstring& outUrl, std::wstring& outPosition);
    bool ExpandFromCsId(const wchar_t* url, const wchar_t* format, const std::wstring& csid, std::wstring& outBody,
                        std::wstring& outUrl, std::wstring& outPosition);
    bool BuildUrl(const wchar_t* url, std::wstring& out) const;
    static bool ToSlashNotation(const std::wstring& value, std::wstring& out);

    void SetRequestFunction(RequestFunction request) { m_request = std::move(request); }

private:
    RequestFunction m_request;
};

// The program's one location service (defined by the Win32 layer, wired to WinINet).
extern CLocationService g_locationService;
