#include "network/location_request.h"

#include "common/ansi_text.h"
#include "common/deadline.h"
#include "common/message_box.h"
#include "common/text_format.h"
#include "common/unique_handle.h"
#include "network/location_service.h"
#include "network/service_url.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

const wchar_t kHandsetAgent[] = L"Mozilla/3.0(DDIPOCKET;JRC/AH-J3001V,AH-J3002V/1.0/0100/c50)CNF/2.0";

CLocationService g_locationService(TAVRIN_LOOKUP_URL, [](const std::wstring& request, const std::wstring& csid,
                                                         std::wstring& body, std::wstring& location) {
    return CLocationService::RequestLocation(request, std::wstring(), true, csid, body, location);
});

namespace {

constexpr DWORD kTimeoutMs = 10000;
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_AUTO_REDIRECT; // 0x80200000
constexpr size_t kComponentChars = 256;
constexpr DWORD kLocationBytes = 1024;
constexpr DWORD kReadBytes = 1024;

struct CInternetHandleTraits
{
    using Type = HINTERNET;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type handle) noexcept { return handle != nullptr; }
    static bool Close(Type handle) noexcept { return InternetCloseHandle(handle) != FALSE; }
};
using CInternetHandle = CUniqueHandle<CInternetHandleTraits>;

std::wstring FailureText(const wchar_t* call)
{
    return Format(L"%ls Failed. (0x%08x)", call, static_cast<unsigned>(GetLastError()));
}

// Reads the body within its share of bytes and time. A read returns only with its buffer
// full or the body ended, so each asks for no more than has arrived; the wait for more
// ends with the time that is left.
void ReadBody(HINTERNET request, std::wstring& outBody)
{
    outBody.clear();
    const std::uint32_t start = GetTickCount();
    std::size_t total = 0;
    char buffer[kReadBytes + 1];
    for (;;) {
        const std::uint32_t now = GetTickCount();
        const std::size_t allowed = CLocationService::BodyBytesAllowed(total, start, now);
        if (allowed == 0) {
            break;
        }
        DWORD timeout = RemainingWait(start, now, CLocationService::kBodyWaitMs);
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

// The request itself; error stays empty when the request succeeded. The handles close
// in reverse order of opening when this returns.
bool RunRequest(const std::wstring& request, const std::wstring& proxy, bool bypassLocal, const std::wstring& csid,
                std::wstring& outBody, std::wstring& outLocation, std::wstring& error)
{
    CInternetHandle internet;
    if (proxy.empty()) {
        internet.Reset(InternetOpenW(L"tavrin", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    } else {
        internet.Reset(
            InternetOpenW(L"tavrin", INTERNET_OPEN_TYPE_PROXY, proxy.c_str(), bypassLocal ? L"<local>" : nullptr, 0));
    }
    if (!internet) {
        error = FailureText(L"InternetOpen()");
        return false;
    }
    const DWORD options[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                             INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT,
                             INTERNET_OPTION_DATA_RECEIVE_TIMEOUT};
    for (DWORD option : options) {
        DWORD value = kTimeoutMs;
        InternetSetOptionW(internet.Get(), option, &value, sizeof(value));
    }

    std::wstring scheme, host, userName, password, path, extraInfo;
    unsigned port = INTERNET_DEFAULT_HTTP_PORT;
    if (!CLocationService::ParseUrl(request, scheme, host, userName, password, path, extraInfo, port)) {
        error = FailureText(L"ParseUrl()");
        return false;
    }

    CInternetHandle connection;
    connection.Reset(InternetConnectW(internet.Get(), host.c_str(), static_cast<INTERNET_PORT>(port), nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) {
        error = FailureText(L"InternetConnect()");
        return false;
    }

    std::wstring object = path + extraInfo;
    if (!CLocationService::IsHeaderValueSafe(object)) {
        // Decoded escapes (%0D%0A) would end the request line and start headers of their own.
        error = L"RequestLocation() Failed. (request path holds CR or LF)";
        return false;
    }
    // An https service is asked over TLS; the platform checks its certificate, and one that
    // fails the checks fails the send.
    const DWORD flags = kRequestFlags | (IsSecureUrl(request) ? INTERNET_FLAG_SECURE : 0);
    CInternetHandle httpRequest;
    httpRequest.Reset(
        HttpOpenRequestW(connection.Get(), L"GET", object.c_str(), L"HTTP/1.1", nullptr, nullptr, flags, 0));
    if (!httpRequest) {
        error = FailureText(L"HttpOpenRequest()");
        return false;
    }

    // Options set on the internet handle reach the request on Windows but not everywhere
    // (Wine keeps only the connect time-out), so the request is told again.
    const DWORD requestOptions[] = {INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT};
    for (DWORD option : requestOptions) {
        DWORD value = kTimeoutMs;
        InternetSetOptionW(httpRequest.Get(), option, &value, sizeof(value));
    }

    std::wstring headers = Format(L"User-Agent: %ls\r\nX-CS-INFO: %ls\r\n", kHandsetAgent, csid.c_str());
    if (!HttpSendRequestW(httpRequest.Get(), headers.c_str(), static_cast<DWORD>(headers.size()), nullptr, 0)) {
        error = FailureText(L"HttpSendRequest()");
        return false;
    }

    bool ok = false;
    wchar_t location[kLocationBytes / sizeof(wchar_t)] = {};
    DWORD size = kLocationBytes;
    if (HttpQueryInfoW(httpRequest.Get(), HTTP_QUERY_LOCATION, location, &size, nullptr)) {
        outLocation = location;
        ok = true;
    } else {
        error = FailureText(L"HttpQueryInfo()");
    }

    ReadBody(httpRequest.Get(), outBody);
    return ok;
}

} // namespace

bool CLocationService::RequestLocation(const std::wstring& request, const std::wstring& proxy, bool bypassLocal,
                                       const std::wstring& csid, std::wstring& outBody, std::wstring& outLocation)
{
    std::wstring error;
    bool ok = false;
    if (!IsHeaderValueSafe(csid)) {
        // A line break would end the header and let the text add headers of its own.
        error = L"RequestLocation() Failed. (X-CS-INFO holds CR or LF)";
    } else {
        ok = RunRequest(request, proxy, bypassLocal, csid, outBody, outLocation, error);
    }
    if (!ok) {
        ShowMessageBox(nullptr, error, L"Error", MB_OK | MB_ICONERROR);
    }
    return ok;
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
