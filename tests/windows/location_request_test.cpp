// ctest-lock: lookup
#include <winsock2.h>

#include "network/location_request.h"
#include "network/location_service.h"
#include "tests/windows/lookup_control.h"
#include "tests/windows/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::wstring RequestFor(const std::wstring& destination, const std::wstring& service = LookupControl::ServiceUrl())
{
    return service + L"?my=" + destination + L"&pos=$location";
}

// A loopback port that nothing listens on.
unsigned ClosedPort()
{
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    int size = sizeof(addr);
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &size);
    closesocket(s);
    WSACleanup();
    return ntohs(addr.sin_port);
}

struct Outcome
{
    bool ok;
    std::wstring body;
    std::wstring location;
    std::wstring error;
    size_t boxes;
};

Outcome Lookup(const std::wstring& request, const std::wstring& csid, const std::wstring& proxy = std::wstring())
{
    MessageBoxRecorder recorder;
    Outcome o;
    o.location = L"untouched";
    o.ok = CLocationService::RequestLocation(request, proxy, true, csid, o.body, o.location, o.error);
    o.boxes = recorder.Count(); // the caller shows the failure, on its own thread
    return o;
}

// WinINet's cache (the browser's): whether it holds an entry for `url`, or (`forget`) that
// entry removed, as a run before may have left it.
bool InUrlCache(const std::wstring& url, bool forget = false)
{
    using GetEntry = BOOL(WINAPI*)(LPCWSTR, LPINTERNET_CACHE_ENTRY_INFOW, LPDWORD);
    using DeleteEntry = BOOL(WINAPI*)(LPCWSTR);
    HMODULE wininet = LoadLibraryW(L"wininet.dll");
    auto get = reinterpret_cast<GetEntry>(reinterpret_cast<void*>(GetProcAddress(wininet, "GetUrlCacheEntryInfoW")));
    auto remove =
        reinterpret_cast<DeleteEntry>(reinterpret_cast<void*>(GetProcAddress(wininet, "DeleteUrlCacheEntryW")));
    if (forget && remove != nullptr) {
        remove(url.c_str());
    }
    DWORD size = 0;
    const bool found =
        get != nullptr && (get(url.c_str(), nullptr, &size) || GetLastError() == ERROR_INSUFFICIENT_BUFFER);
    FreeLibrary(wininet);
    return found;
}

TEST(LocationRequest, SendsTheHandsetRequestAndTakesTheRedirectWithoutFollowingIt)
{
    LookupControl stub;
    // the redirect points back at the stand-in, which would log a second request if followed
    std::wstring dest = L"http://127.0.0.1:" + std::to_wstring(LookupControl::Port()) + L"/followed";
    ASSERT_FALSE(InUrlCache(RequestFor(dest), true));
    Outcome o = Lookup(RequestFor(dest), L"1234/5");
    ASSERT_TRUE(o.ok);
    EXPECT_TRUE(o.error.empty());
    EXPECT_EQ(dest + L"?pos=N35.41.12.000E139.45.00.000", o.location);
    EXPECT_TRUE(o.body.empty());                // the lookup ends with the Location: its body is not waited for
    EXPECT_FALSE(InUrlCache(RequestFor(dest))); // a position is kept nowhere but where the user keeps it

    auto requests = stub.Requests();
    ASSERT_EQ(1u, requests.size());
    const auto& r = requests[0];
    EXPECT_EQ("GET /loc1/location?my=" + Utf8(dest) + "&pos=$location HTTP/1.1", r[0]);
    int agents = 0;
    for (const std::string& header : r) {
        if (header.rfind("User-Agent:", 0) == 0) {
            ++agents;
            EXPECT_EQ("User-Agent: Mozilla/3.0(DDIPOCKET;JRC/AH-J3001V,AH-J3002V/1.0/0100/c50)CNF/2.0", header);
        }
    }
    EXPECT_EQ(1, agents);
    EXPECT_NE(r.end(), std::find(r.begin(), r.end(), std::string("X-CS-INFO: 1234/5")));
}

TEST(LocationRequest, ServiceExpandsTheLookedUpPosition)
{
    LookupControl stub;
    EXPECT_EQ(std::wstring(TAVRIN_LOOKUP_URL), g_locationService.m_strServiceUrl);
    CLocationService service(LookupControl::ServiceUrl(), [](const std::wstring& request, const std::wstring& csid,
                                                             std::wstring& body, std::wstring& location) {
        std::wstring error;
        return CLocationService::RequestLocation(request, std::wstring(), true, csid, body, location, error);
    });
    std::wstring body, url, position;
    MessageBoxRecorder recorder;
    ASSERT_TRUE(
        service.ExpandFromCsId(L"http://map.example/m?z=1", L"el=$eml&nl=$nml", L"12/3,45/6", body, url, position));
    EXPECT_EQ(L"N34.41.10.250E135.30.05.500", position);
    EXPECT_EQ(L"http://map.example/m?z=1?el=135/30/05.500&nl=34/41/10.250", url);
    EXPECT_EQ(0u, recorder.Count());
    auto requests = stub.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("GET /loc1/location?my=http://map.example/m?z=1&pos=$location HTTP/1.1", requests[0][0]);

    // an answer that tries to add arguments to the browser's command line
    stub.Configure(R"({"mode": "fixed_location", "location": "http://x/?pos=N1 \"-k\"E2 --x"})");
    ASSERT_TRUE(service.ExpandFromCsId(L"u", L"nl=$nl&el=$el", L"1234/5", body, url, position));
    EXPECT_EQ(L"u?nl=1%20%22-k%22&el=2%20--x", url);
    stub.Configure(R"({"mode": "fixed_location", "location": "http://x/ \"-k\""})");
    ASSERT_TRUE(service.ExpandFromCsId(L"u", nullptr, L"1234/5", body, url, position));
    EXPECT_EQ(L"http://x/%20%22-k%22", url);
}

TEST(LocationRequest, EachFailureNamesItsCallAndShowsNothing)
{
    struct Case
    {
        const char* config;
        std::wstring request;
        std::wstring csid;
        std::wstring box; // text; "A|(0x" means a text that starts with A and ends in a code
        size_t requestsLogged;
    };
    const std::wstring dest = L"http://map.example/m";
    const std::vector<Case> cases = {
        {"{}", RequestFor(dest, L"http://127.0.0.1:" + std::to_wstring(ClosedPort()) + L"/loc1/location"), L"1234/5",
         L"HttpSendRequest() Failed. (0x00002efd)", 0},
        // Windows fails the send; Wine takes the silent close for an answer without headers
        {R"({"mode": "close"})", RequestFor(dest), L"1234/5", L"Http|(0x", 1},
        {R"({"mode": "no_location"})", RequestFor(dest), L"1234/5", L"HttpQueryInfo() Failed. (0x00002f76)", 1},
        {"{}", RequestFor(dest), L"unknown", L"HttpQueryInfo() Failed. (0x00002f76)", 1},
        {R"({"mode": "long_location", "location_length": 600})", RequestFor(dest), L"1234/5",
         L"HttpQueryInfo() Failed. (0x0000007a)", 1},
        {R"({"mode": "long_location", "location_length": 512})", RequestFor(dest), L"1234/5",
         L"HttpQueryInfo() Failed. (0x0000007a)", 1},
        {"{}", RequestFor(L"http://map.example/" + std::wstring(238 - 19, L'a')), L"1234/5",
         L"ParseUrl() Failed. (0x0000007a)", 0},
        {"{}", RequestFor(dest), L"1234/5\r\nX-Injected: 1", L"RequestLocation() Failed. (X-CS-INFO holds CR or LF)",
         0},
        {"{}", RequestFor(dest + L"%0D%0AX-Injected:%201"), L"1234/5",
         L"RequestLocation() Failed. (request path holds CR or LF)", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.config);
        SCOPED_TRACE(Utf8(c.request + L" / " + c.box));
        LookupControl stub;
        stub.Configure(c.config);
        Outcome o = Lookup(c.request, c.csid);
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(L"untouched", o.location);
        EXPECT_EQ(0u, o.boxes);
        size_t bar = c.box.find(L'|');
        if (bar != std::wstring::npos) {
            const std::wstring& text = o.error;
            EXPECT_EQ(0u, text.rfind(c.box.substr(0, bar), 0)) << Utf8(text);
            EXPECT_EQ(L" Failed. (0x", text.substr(text.find(L"()") + 2, 12)) << Utf8(text);
            EXPECT_EQ(L')', text.back());
        } else {
            EXPECT_EQ(c.box, o.error);
        }
        EXPECT_EQ(c.requestsLogged, stub.Requests().size());
    }
}

TEST(LocationRequest, LimitsThatStillWork)
{
    LookupControl stub;
    // the longest destination whose request still parses, and the longest Location
    std::wstring dest = L"http://map.example/" + std::wstring(237 - 19, L'a');
    ASSERT_EQ(237u, dest.size());
    Outcome o = Lookup(RequestFor(dest), L"1234/5");
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(dest + L"?pos=N35.41.12.000E139.45.00.000", o.location);

    stub.Configure(R"({"mode": "long_location", "location_length": 511})");
    o = Lookup(RequestFor(L"http://map.example/m"), L"1234/5");
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(511u, o.location.size());

    // a large body, or one that trickles for ten minutes, is not read at all
    for (const char* config : {R"({"mode": "large_body", "body_bytes": 300001})", R"({"mode": "trickle"})"}) {
        stub.Configure(config);
        o = Lookup(RequestFor(L"http://map.example/m"), L"1234/5");
        EXPECT_TRUE(o.ok) << config;
        EXPECT_TRUE(o.body.empty()) << config;
    }
}

TEST(LocationRequest, StalledServiceTimesOut)
{
    LookupControl stub;
    stub.Configure(R"({"mode": "stall", "stall_seconds": 40})");
    Outcome o = Lookup(RequestFor(L"http://map.example/m"), L"1234/5");
    EXPECT_FALSE(o.ok);
    // Windows names the time-out (ERROR_INTERNET_TIMEOUT); Wine reports the connection aborted
    const std::wstring& text = o.error;
    EXPECT_TRUE(text == L"HttpSendRequest() Failed. (0x00002ee2)" || text == L"HttpSendRequest() Failed. (0x00002efe)")
        << Utf8(text);
}

TEST(LocationRequest, ThroughAProxy)
{
    LookupControl stub;
    std::wstring proxy = L"127.0.0.1:" + std::to_wstring(LookupControl::Port());
    Outcome o = Lookup(RequestFor(L"http://map.example/m", L"http://lookup.invalid/loc1/location"), L"1/2,3/4", proxy);
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(L"http://map.example/m?pos=N43.03.52.100E141.21.15.800", o.location);
    auto requests = stub.Requests();
    ASSERT_EQ(1u, requests.size());
    // a proxy is asked with the absolute form (Wine adds the default port)
    const std::string& line = requests[0][0];
    EXPECT_EQ(0u, line.rfind("GET http://lookup.invalid", 0)) << line;
    EXPECT_NE(std::string::npos, line.find("/loc1/location?my=http://map.example/m&pos=$location HTTP/1.1")) << line;
}

TEST(ParseUrl, SplitsAndDecodesComponents)
{
    std::wstring scheme, host, user, password, path, extra = L"untouched";
    unsigned port = 0;
    ASSERT_TRUE(CLocationService::ParseUrl(L"http://u:pw@host.example:8080/p/q?x=%41b", scheme, host, user, password,
                                           path, extra, port));
    EXPECT_EQ(L"http", scheme);
    EXPECT_EQ(L"host.example", host);
    EXPECT_EQ(L"u", user);
    EXPECT_EQ(L"pw", password);
    EXPECT_EQ(L"/p/q", path);
    EXPECT_EQ(L"?x=Ab", extra);
    EXPECT_EQ(8080u, port);

    std::wstring before = host;
    EXPECT_FALSE(CLocationService::ParseUrl(L"http://" + std::wstring(256, L'h') + L"/", scheme, host, user, password,
                                            path, extra, port));
    EXPECT_EQ(before, host);
}

} // namespace
