#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class CLookupCall;

// A position on WGS 84 as a receiver or a geolocation service gave it.
struct WgsPosition
{
    double latitude = 0;             // degrees, negative south
    double longitude = 0;            // degrees, negative west
    std::optional<double> accuracyM; // horizontal accuracy, metres
    std::wstring time;               // the fix's time as the log shows it (JapanTime), may be empty
};

// The log line of a WGS 84 position: "N35.689904 E139.746767 ±5 m 2026/12/07 21:03:04 JST",
// "S33.868820 W151.209290" without accuracy and time. Empty for a position that is not on the
// globe (not finite, latitude beyond 90 or longitude beyond 180 degrees).
std::wstring WgsPositionText(const WgsPosition& position);

// The accuracy in whole metres, rounded to nearest; empty when unknown, negative, not finite
// or beyond any distance on the globe.
std::wstring AccuracyText(const std::optional<double>& accuracyM);

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
    CLocationService(std::wstring serviceUrl, RequestFunction request);

    std::wstring m_strLatitude;       // $nl
    std::wstring m_strLongitude;      // $el
    std::wstring m_strLatitudeSlash;  // $nml
    std::wstring m_strLongitudeSlash; // $eml
    std::wstring m_strExtra;          // $pc
    // Set with the position: from the dotted forms on the carrier's paths, from the received
    // values on the WGS 84 path, so those go into the URL as they came.
    std::wstring m_strDecimalLatitude;  // $dlat
    std::wstring m_strDecimalLongitude; // $dlon
    std::wstring m_strWgsLatitude;      // $wlat
    std::wstring m_strWgsLongitude;     // $wlon
    std::wstring m_strAccuracy;         // $acc
    std::wstring m_strServiceUrl;
    std::wstring m_strTemplate;

    // Puts the service the settings choose in force (their own, or the one this service was
    // made with when they name none); the lookup, the network check and the connection all
    // follow it. Null, with nothing changed, when the settings name a service that cannot be
    // asked.
    const std::wstring* UseService(const std::optional<std::wstring>& configured);

    // url and format may be null.
    bool ExpandFromSimpleCoordinates(const wchar_t* url, const wchar_t* format, const std::wstring& coords,
                                     std::wstring& outUrl, std::wstring& outPosition);
    // A Location without a usable position becomes the URL itself only when it is an
    // absolute http or https URL; anything else (a script, a file, a switch) fails the lookup.
    bool ExpandFromCsId(const wchar_t* url, const wchar_t* format, const std::wstring& csid, std::wstring& outBody,
                        std::wstring& outUrl, std::wstring& outPosition);
    // ExpandFromCsId's second half: the lookup's Location value made into the URL and position.
    bool ExpandFromLocation(const wchar_t* url, const wchar_t* format, const std::wstring& location,
                            std::wstring& outUrl, std::wstring& outPosition);
    // The same for a position kept from an earlier lookup: "N" + latitude + "E" + longitude
    // (IsPosition); false for anything else.
    bool ExpandFromPosition(const wchar_t* url, const wchar_t* format, const std::wstring& position,
                            std::wstring& outUrl, std::wstring& outPosition);
    // A position on WGS 84: $wlat $wlon as given, every other placeholder on the Tokyo datum
    // as the carrier gave it ($nl $el $nml $eml empty south or west, where they have no
    // sign), $pc empty, $acc the accuracy. outPosition gets WgsPositionText. False, with
    // nothing changed, for a null url or a position that is not on the globe.
    bool ExpandFromWgs84(const wchar_t* url, const wchar_t* format, const WgsPosition& position, std::wstring& outUrl,
                         std::wstring& outPosition);
    static bool IsPosition(const std::wstring& text) { return text.find(L'E') != std::wstring::npos; }
    bool BuildUrl(const wchar_t* url, std::wstring& out) const;
    // Whether the template a send with `format` expands (format, or the one in force when it is
    // null or empty) holds `placeholder` (one of BuildUrl's, e.g. L"$acc") as BuildUrl reads it:
    // "$$" is a "$" of the text.
    bool TemplateUses(const wchar_t* format, const wchar_t* placeholder) const;
    static bool ToSlashNotation(const std::wstring& value, std::wstring& out);

    // The request URL of a lookup for the destination url.
    std::wstring LookupRequestUrl(const std::wstring& url) const;

    // A substituted value as it goes into the URL: every character outside what a position
    // holds (ASCII letters and digits, ".", "/", "+", "-") percent-encoded as UTF-8, so an
    // answer cannot add arguments to the browser's command line.
    static std::wstring EncodeValue(const std::wstring& value);
    // A URL passed on whole: only the characters that would split or quote a command-line
    // argument (controls, space, DEL, double quote) percent-encoded.
    static std::wstring EscapeForCommandLine(const std::wstring& url);
    // Whether text may go into the request's head, as a header value or in the request
    // line (no CR or LF).
    static bool IsHeaderValueSafe(const std::wstring& text);

    // The body plays no part in the result, so it gets a share of bytes and of time after
    // the headers: a trickling or endless body cannot hold the window.
    static constexpr std::size_t kBodyLimitBytes = 64 * 1024;
    static constexpr std::uint32_t kBodyWaitMs = 10000;
    // Body bytes that may still be read, given those read so far and the ticks (ms) at which
    // the body began and now; 0 once the bytes or the time are used up.
    static std::size_t BodyBytesAllowed(std::size_t bytesSoFar, std::uint32_t start, std::uint32_t now);

    // A lookup has this long from its start to its answer or its failure, whatever the peer
    // does (name look-up, connect, TLS, header lines one by one, body): each step is given
    // what is left, and the caller gives up on a lookup still running when it is over.
    static constexpr std::uint32_t kLookupDeadlineMs = 30000;

    void SetRequestFunction(RequestFunction request) { m_request = std::move(request); }

    // The HTTP side, over WinINet; defined by the Win32 layer only (location_request.cpp).
    //
    // One GET of request (no redirect followed, no cache) with the handset User-Agent and
    // csid in X-CS-INFO, within kLookupDeadlineMs. An empty proxy means direct access;
    // otherwise the named proxy is used, bypassed for local addresses when bypassLocal is set.
    // outLocation receives the answer's Location value; the lookup ends there, and the body is
    // not waited for. Only an answer without a Location has its body read into outBody (within
    // BodyBytesAllowed). A request whose path or csid holds CR or LF is never sent. Returns
    // whether a Location was obtained; otherwise outError names the failing call and its error
    // code, for the caller's "Error" box. Shows nothing itself, so it may run on any thread;
    // with `call`, another thread can give it up (it stops before its next call).
    static bool RequestLocation(const std::wstring& request, const std::wstring& proxy, bool bypassLocal,
                                const std::wstring& csid, std::wstring& outBody, std::wstring& outLocation,
                                std::wstring& outError, CLookupCall* call = nullptr);
    // Splits url with InternetCrackUrl (escape sequences decoded); each component may hold
    // at most 255 characters. On failure the outs are untouched and GetLastError() tells why.
    static bool ParseUrl(const std::wstring& url, std::wstring& scheme, std::wstring& host, std::wstring& userName,
                         std::wstring& password, std::wstring& path, std::wstring& extraInfo, unsigned& port);

private:
    void ClearPosition();
    void SplitPosition(const std::wstring& position);
    void TakeFormat(const wchar_t* format);

    RequestFunction m_request;
    std::wstring m_strBuiltInUrl;
};

// The program's one location service (defined by the Win32 layer).
extern CLocationService g_locationService;
