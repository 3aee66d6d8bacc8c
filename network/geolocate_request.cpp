#include "network/geolocate_request.h"

#include "common/deadline.h"
#include "common/texts.h"
#include "network/geolocate.h"
#include "network/location_service.h"
#include "network/service_url.h"
#include "resources/resource.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_CACHE_WRITE;
constexpr DWORD kReadBytes = 4096;
// The answer is one wait (the service works out the position before its headers): it may take
// the whole deadline. The window gives up at the deadline itself; the worker's calls end a
// little later, so a late answer is always told as the deadline's.
constexpr DWORD kBeyondDeadlineMs = 2000;

// The failure of a WinINet call, with the platform's code.
std::wstring FailureText(unsigned textId)
{
    return Text(textId, {HexText(GetLastError())});
}

// Reads the answer's body up to one byte beyond the reader's limit, within the deadline.
void ReadAnswer(HINTERNET request, DWORD start, std::string& body, const CLookupCall& call)
{
    body.clear();
    char buffer[kReadBytes];
    while (body.size() <= kGeolocateAnswerLimit && !call.Cancelled()) {
        DWORD left = RemainingWait(start, GetTickCount(), CLocationService::kLookupDeadlineMs);
        if (left == 0) {
            break;
        }
        left += kBeyondDeadlineMs;
        InternetSetOptionW(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &left, sizeof(left));
        InternetSetOptionW(request, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &left, sizeof(left));
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0) || available == 0) {
            break;
        }
        const std::size_t room = kGeolocateAnswerLimit + 1 - body.size();
        const DWORD ask = static_cast<DWORD>(std::min<std::size_t>({kReadBytes, available, room}));
        DWORD read = 0;
        if (!InternetReadFile(request, buffer, ask, &read) || read == 0) {
            break;
        }
        body.append(buffer, read);
    }
}

} // namespace

bool PostGeolocateRequest(const std::wstring& url, const std::string& json, int& status, std::string& body,
                          std::wstring& error, CLookupCall* call)
{
    CLookupCall own;
    const CLookupCall& given = call != nullptr ? *call : own;
    status = 0;
    body.clear();
    error.clear();
    const DWORD start = GetTickCount();
    CInternetHandle internet(InternetOpenW(L"tavrin", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (internet.Get() == nullptr) {
        error = FailureText(IDS_HTTP_INTERNET_OPEN);
        return false;
    }
    const DWORD options[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                             INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT,
                             INTERNET_OPTION_DATA_RECEIVE_TIMEOUT};
    LimitTo(internet.Get(), start, options, std::size(options), CLocationService::kLookupDeadlineMs, kBeyondDeadlineMs);

    std::wstring scheme, host, userName, password, path, extraInfo;
    unsigned port = INTERNET_DEFAULT_HTTP_PORT;
    if (!CLocationService::ParseUrl(url, scheme, host, userName, password, path, extraInfo, port)) {
        error = FailureText(IDS_HTTP_PARSE_URL);
        return false;
    }
    const std::wstring object = path + extraInfo;
    if (!CLocationService::IsHeaderValueSafe(object)) {
        // Decoded escapes (%0D%0A) would end the request line and start headers of their own.
        error = Text(IDS_HTTP_PATH_CR_LF);
        return false;
    }
    if (given.Cancelled()) {
        return false; // given up: nobody waits for an answer or reads an error
    }
    CInternetHandle connection(InternetConnectW(internet.Get(), host.c_str(), static_cast<INTERNET_PORT>(port), nullptr,
                                                nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (connection.Get() == nullptr) {
        error = FailureText(IDS_HTTP_CONNECT);
        return false;
    }
    // The cell goes to a service the user named; over https the platform checks its
    // certificate, and one that fails the checks fails the send.
    const DWORD flags = kRequestFlags | (IsSecureUrl(url) ? INTERNET_FLAG_SECURE : 0);
    CInternetHandle request(
        HttpOpenRequestW(connection.Get(), L"POST", object.c_str(), L"HTTP/1.1", nullptr, nullptr, flags, 0));
    if (request.Get() == nullptr) {
        error = FailureText(IDS_HTTP_OPEN_REQUEST);
        return false;
    }
    // Wine keeps only the connect time-out of the internet handle: the request is told again.
    LimitTo(request.Get(), start, options, std::size(options), CLocationService::kLookupDeadlineMs, kBeyondDeadlineMs);
    const wchar_t headers[] = L"Content-Type: application/json\r\n";
    if (given.Cancelled()) {
        return false;
    }
    if (!HttpSendRequestW(request.Get(), headers, static_cast<DWORD>(std::size(headers) - 1),
                          const_cast<char*>(json.data()), static_cast<DWORD>(json.size()))) {
        error = FailureText(IDS_HTTP_SEND_REQUEST);
        return false;
    }
    DWORD code = 0;
    DWORD size = sizeof(code);
    if (!HttpQueryInfoW(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size, nullptr)) {
        error = FailureText(IDS_HTTP_QUERY_INFO);
        return false;
    }
    status = static_cast<int>(code);
    ReadAnswer(request.Get(), start, body, given);
    return true;
}
