#include "network/location_request.h"

#include "common/ansi_text.h"
#include "common/deadline.h"
#include "common/text_format.h"
#include "common/texts.h"
#include "network/location_service.h"
#include "network/lookup_url.h"
#include "network/service_url.h"
#include "resources/resource.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

const wchar_t kHandsetAgent[] = L"Mozilla/3.0(DDIPOCKET;JRC/AH-J3001V,AH-J3002V/1.0/0100/c50)CNF/2.0";

// The program asks through the job of the main window's commands, which runs the request on a
// worker; the service needs no request function of its own.
CLocationService g_locationService(kLookupUrl);

namespace {

// From the server, not a cache; no redirect followed (0x80200000). Nor is the answer written to
// WinINet's cache: nothing reads it back, and writing it (a position, to the browser's cache
// files) cost 6-7 ms of every lookup under Wine. The request on the wire is the same.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_CACHE_WRITE;
constexpr size_t kComponentChars = 256;
constexpr DWORD kLocationBytes = 1024;
constexpr DWORD kReadBytes = 1024;

// The failure of a WinINet call, with the platform's code.
std::wstring FailureText(unsigned textId)
{
    return Text(textId, {HexText(GetLastError())});
}

// Reads the body within its share of bytes and time, and within the lookup's deadline. A read
// returns only with its buffer full or the body ended, so each asks for no more than has
// arrived; the wait for more ends with the time that is left.
void ReadBody(HINTERNET request, DWORD lookupStart, std::wstring& outBody)
{
    outBody.clear();
    const std::uint32_t start = GetTickCount();
    std::size_t total = 0;
    char buffer[kReadBytes + 1];
    for (;;) {
        const std::uint32_t now = GetTickCount();
        const std::size_t allowed = CLocationService::BodyBytesAllowed(total, start, now);
        const DWORD left = RemainingWait(lookupStart, now, CLocationService::kLookupDeadlineMs);
        if (allowed == 0 || left == 0) {
            break;
        }
        DWORD timeout = std::min<DWORD>(RemainingWait(start, now, CLocationService::kBodyWaitMs), left);
        InternetSetOptionW(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
        InternetSetOptionW(request, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0) || available == 0) {
            break;
        }
        std::memset(buffer, 0, sizeof(buffer));
        DWORD read = 0;
        const DWORD ask = static_cast<DWORD>(std::min<std::size_t>({kReadBytes, available, allowed}));
        if (!InternetReadFile(request, buffer, ask, &read) || read == 0) {
            break;
        }
        outBody += AnsiToWide(buffer, read);
        total += read;
    }
}

// The request itself; error stays empty when the request succeeded. Between its calls it
// stops once the window has given up on it.
bool RunRequest(const std::wstring& request, const std::wstring& proxy, bool bypassLocal, const std::wstring& csid,
                std::wstring& outBody, std::wstring& outLocation, std::wstring& error, const CLookupCall& call)
{
    const DWORD start = GetTickCount();
    CInternetHandle internet(proxy.empty() ? InternetOpenW(L"tavrin", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0)
                                           : InternetOpenW(L"tavrin", INTERNET_OPEN_TYPE_PROXY, proxy.c_str(),
                                                           bypassLocal ? L"<local>" : nullptr, 0));
    if (internet.Get() == nullptr) {
        error = FailureText(IDS_HTTP_INTERNET_OPEN);
        return false;
    }
    const DWORD options[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                             INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT,
                             INTERNET_OPTION_DATA_RECEIVE_TIMEOUT};
    LimitTo(internet.Get(), start, options, std::size(options));

    std::wstring scheme, host, userName, password, path, extraInfo;
    unsigned port = INTERNET_DEFAULT_HTTP_PORT;
    if (!CLocationService::ParseUrl(request, scheme, host, userName, password, path, extraInfo, port)) {
        error = FailureText(IDS_HTTP_PARSE_URL);
        return false;
    }
    if (call.Cancelled()) {
        return false; // given up: nobody waits for an answer or reads an error
    }

    CInternetHandle connection(InternetConnectW(internet.Get(), host.c_str(), static_cast<INTERNET_PORT>(port), nullptr,
                                                nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (connection.Get() == nullptr) {
        error = FailureText(IDS_HTTP_CONNECT);
        return false;
    }

    std::wstring object = path + extraInfo;
    if (!CLocationService::IsHeaderValueSafe(object)) {
        // Decoded escapes (%0D%0A) would end the request line and start headers of their own.
        error = Text(IDS_HTTP_PATH_CR_LF);
        return false;
    }
    // An https service is asked over TLS; the platform checks its certificate, and one that
    // fails the checks fails the send.
    const DWORD flags = kRequestFlags | (IsSecureUrl(request) ? INTERNET_FLAG_SECURE : 0);
    CInternetHandle httpRequest(
        HttpOpenRequestW(connection.Get(), L"GET", object.c_str(), L"HTTP/1.1", nullptr, nullptr, flags, 0));
    if (httpRequest.Get() == nullptr) {
        error = FailureText(IDS_HTTP_OPEN_REQUEST);
        return false;
    }

    // Options set on the internet handle reach the request on Windows but not everywhere
    // (Wine keeps only the connect time-out), so the request is told again, with what is left.
    LimitTo(httpRequest.Get(), start, options, std::size(options));

    std::wstring headers = Format(L"User-Agent: %ls\r\nX-CS-INFO: %ls\r\n", kHandsetAgent, csid.c_str());
    if (call.Cancelled()) {
        return false; // given up: nobody waits for an answer or reads an error
    }
    if (!HttpSendRequestW(httpRequest.Get(), headers.c_str(), static_cast<DWORD>(headers.size()), nullptr, 0)) {
        error = FailureText(IDS_HTTP_SEND_REQUEST);
        return false;
    }

    wchar_t location[kLocationBytes / sizeof(wchar_t)] = {};
    DWORD size = kLocationBytes;
    if (HttpQueryInfoW(httpRequest.Get(), HTTP_QUERY_LOCATION, location, &size, nullptr)) {
        // The position is in hand: the body plays no part, and nobody waits for it.
        outLocation = location;
        return true;
    }
    error = FailureText(IDS_HTTP_QUERY_INFO);
    if (!call.Cancelled()) {
        ReadBody(httpRequest.Get(), start, outBody);
    }
    return false;
}

} // namespace

CInternetHandle::~CInternetHandle()
{
    if (m_handle != nullptr) {
        InternetCloseHandle(m_handle);
    }
}

void LimitTo(HINTERNET handle, DWORD start, const DWORD* options, size_t count, DWORD callLimitMs, DWORD beyondMs)
{
    DWORD left = std::min<DWORD>(callLimitMs,
                                 RemainingWait(start, GetTickCount(), CLocationService::kLookupDeadlineMs) + beyondMs);
    left = left != 0 ? left : 1; // 0 would mean "no time-out"
    for (size_t i = 0; i < count; ++i) {
        InternetSetOptionW(handle, options[i], &left, sizeof(left));
    }
}

bool CLocationService::RequestLocation(const std::wstring& request, const std::wstring& proxy, bool bypassLocal,
                                       const std::wstring& csid, std::wstring& outBody, std::wstring& outLocation,
                                       std::wstring& outError, CLookupCall* call)
{
    outError.clear();
    outBody.clear();
    if (!IsHeaderValueSafe(csid)) {
        // A line break would end the header and let the text add headers of its own.
        outError = Text(IDS_HTTP_CSID_CR_LF);
        return false;
    }
    CLookupCall own;
    return RunRequest(request, proxy, bypassLocal, csid, outBody, outLocation, outError, call != nullptr ? *call : own);
}

bool CLocationService::ParseUrl(const std::wstring& url, std::wstring& scheme, std::wstring& host,
                                std::wstring& userName, std::wstring& password, std::wstring& path,
                                std::wstring& extraInfo, unsigned& port)
{
    wchar_t schemeBuf[kComponentChars] = {};
    wchar_t hostBuf[kComponentChars] = {};
    wchar_t userBuf[kComponentChars] = {};
    wchar_t passwordBuf[kComponentChars] = {};
    wchar_t pathBuf[kComponentChars] = {};
    wchar_t extraBuf[kComponentChars] = {};
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszScheme = schemeBuf;
    parts.dwSchemeLength = kComponentChars;
    parts.lpszHostName = hostBuf;
    parts.dwHostNameLength = kComponentChars;
    parts.lpszUserName = userBuf;
    parts.dwUserNameLength = kComponentChars;
    parts.lpszPassword = passwordBuf;
    parts.dwPasswordLength = kComponentChars;
    parts.lpszUrlPath = pathBuf;
    parts.dwUrlPathLength = kComponentChars;
    parts.lpszExtraInfo = extraBuf;
    parts.dwExtraInfoLength = kComponentChars;
    if (!InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), ICU_DECODE, &parts)) {
        return false;
    }
    scheme = schemeBuf;
    host = hostBuf;
    userName = userBuf;
    password = passwordBuf;
    path = pathBuf;
    extraInfo = extraBuf;
    port = parts.nPort;
    return true;
}
