// ctest-lock: com1
// The network transport against the simulator's receiver (over TCP and UDP) and against the
// real gpsd that the harness runs (fed by gpsfake).
#include <winsock2.h>

#include "acquisition/network_port.h"

#include "acquisition/network_rules.h"
#include "network/gpsd_reader.h"
#include "tests/windows/test_support.h"
#include "tests/windows/wsim_control.h"

#include <gtest/gtest.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace {

// Reads what comes as the program will: NMEA, or gpsd's reports.
class Listener : public IReceiveEvent
{
public:
    explicit Listener(bool gpsd) : m_gpsd(gpsd) {}
    void OnReceive(const wchar_t*) override {}
    bool OnReceiveBytes(const char* bytes, std::size_t count) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        (m_gpsd ? static_cast<void>(m_gpsdReader.Feed(bytes, count)) : m_nmea.Feed(bytes, count));
        m_calls++;
        return true;
    }
    void OnReadError(const std::wstring& text) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_errors.push_back(text);
    }

    std::optional<NmeaFix> Fix()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_gpsd) {
            return m_gpsdReader.Fix() ? std::optional<NmeaFix>(m_gpsdReader.Fix()->fix) : std::nullopt;
        }
        return m_nmea.Fix();
    }
    std::optional<std::size_t> Devices()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_gpsdReader.Devices();
    }
    bool Answered()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_gpsdReader.Answered();
    }
    unsigned Reports()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_gpsdReader.Reports();
    }
    std::vector<std::wstring> Errors()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_errors;
    }
    unsigned Calls()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_calls;
    }

private:
    std::mutex m_lock;
    bool m_gpsd;
    CNmeaReader m_nmea;
    CGpsdReader m_gpsdReader;
    std::vector<std::wstring> m_errors;
    unsigned m_calls = 0;
};

ReceiverAddress Address(const std::wstring& text)
{
    const ReceiverAddressParse parse = ParseReceiverAddress(text);
    EXPECT_TRUE(parse.address) << Utf8(text);
    return parse.address.value_or(ReceiverAddress());
}

bool Within(DWORD ms, const std::function<bool()>& done)
{
    return PumpUntil(done, ms);
}

class NetworkPortTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    void SetUp() override
    {
        ASSERT_NE(0, HarnessPort("TAVRIN_NMEA_TCP_PORT")) << "the harness's environment";
        ASSERT_NE(0, HarnessPort("TAVRIN_GPSD_PORT"));
    }
    void TearDown() override { WsimReset(); }
};

TEST_F(NetworkPortTest, FixOverEachPath)
{
    const std::wstring tcp = L"tcp://localhost:" + std::to_wstring(HarnessPort("TAVRIN_NMEA_TCP_PORT"));
    const unsigned short udpPort = FreeLoopbackPort(SOCK_DGRAM);
    const std::wstring udp = L"udp://:" + std::to_wstring(udpPort);
    const std::wstring gpsd = L"gpsd://127.0.0.1:" + std::to_wstring(HarnessPort("TAVRIN_GPSD_PORT"));
    const std::string before = WsimTcpReceived();
    struct Case
    {
        std::wstring where;
        std::string config;
        bool gpsd;
        double latitude, longitude;
    } cases[] = {
        // "localhost" may give ::1 first, where nothing listens: the next address is tried.
        {tcp, R"({"interval_ms": 200, "no_fix_epochs": 2, "binary_noise": true})", false, 35.681236, 139.767125},
        {udp, R"({"interval_ms": 200, "udp_port": )" + std::to_string(udpPort) + R"(, "cut_lines": true})", false,
         35.681236, 139.767125},
        {gpsd, "{}", true, 43.068661, 141.350755},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WsimConfigure(c.config)) << Utf8(c.where);
        Listener listener(c.gpsd);
        CNetworkPort port;
        ASSERT_TRUE(port.Open(Address(c.where), &listener)) << Utf8(c.where);
        EXPECT_TRUE(Within(15000, [&] { return listener.Fix().has_value(); })) << Utf8(c.where);
        EXPECT_TRUE(port.Connected()) << Utf8(c.where);
        EXPECT_GT(port.BytesReceived(), 0u) << Utf8(c.where);
        port.Close();
        EXPECT_TRUE(listener.Errors().empty()) << Utf8(c.where);
        const std::optional<NmeaFix> fix = listener.Fix();
        ASSERT_TRUE(fix) << Utf8(c.where);
        EXPECT_NEAR(c.latitude, fix->latitude, 1e-6) << Utf8(c.where);
        EXPECT_NEAR(c.longitude, fix->longitude, 1e-6) << Utf8(c.where);
        if (c.gpsd) {
            EXPECT_TRUE(listener.Answered());
            EXPECT_TRUE(fix->accuracyM && *fix->accuracyM > 0);
        }
    }
    // Nothing ever goes to a tcp:// peer.
    EXPECT_EQ(before, WsimTcpReceived());
}

TEST_F(NetworkPortTest, GpsdWithoutDeviceOrFix)
{
    struct Case
    {
        const char* env;
        std::size_t devices;
    } cases[] = {{"TAVRIN_GPSD_EMPTY_PORT", 0}, {"TAVRIN_GPSD_NOFIX_PORT", 1}};
    for (const Case& c : cases) {
        Listener listener(true);
        CNetworkPort port;
        ASSERT_TRUE(port.Open(Address(L"gpsd://[::1]:" + std::to_wstring(HarnessPort(c.env))), &listener)) << c.env;
        EXPECT_TRUE(Within(10000, [&] { return listener.Devices().has_value(); })) << c.env;
        EXPECT_EQ(c.devices, listener.Devices().value_or(99)) << c.env;
        if (c.devices > 0) {
            // Reports keep coming, none with a fix.
            const unsigned reports = listener.Reports();
            EXPECT_TRUE(Within(10000, [&] { return listener.Reports() > reports + 2; })) << c.env;
        }
        EXPECT_TRUE(listener.Answered()) << c.env;
        EXPECT_FALSE(listener.Fix()) << c.env;
        EXPECT_TRUE(listener.Errors().empty()) << c.env;
    }
}

TEST_F(NetworkPortTest, FailuresInTheirOwnWords)
{
    const unsigned short closed = FreeLoopbackPort(SOCK_STREAM);
    const unsigned short busy = FreeLoopbackPort(SOCK_DGRAM);
    SOCKET holder = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in here = {};
    here.sin_family = AF_INET;
    here.sin_addr.s_addr = htonl(INADDR_ANY);
    here.sin_port = htons(busy);
    ASSERT_EQ(0, bind(holder, reinterpret_cast<sockaddr*>(&here), sizeof here));
    const std::wstring sim = L"tcp://127.0.0.1:" + std::to_wstring(HarnessPort("TAVRIN_NMEA_TCP_PORT"));
    struct Case
    {
        std::wstring where;
        std::string config;
        NetworkFailure failure;
    } cases[] = {
        {L"tcp://127.0.0.1:" + std::to_wstring(closed), "{}", NetworkFailure::Refused},
        {L"gpsd://127.0.0.1:" + std::to_wstring(closed), "{}", NetworkFailure::Refused},
        {L"tcp://no-such-receiver.invalid:10110", "{}", NetworkFailure::NameNotResolved},
        {sim, R"({"tcp_close_after": 0})", NetworkFailure::Closed},
        {sim, R"({"interval_ms": 100, "tcp_close_after": 1500})", NetworkFailure::Closed},
        {L"udp://:" + std::to_wstring(busy), "{}", NetworkFailure::PortInUse},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WsimConfigure(c.config));
        Listener listener(false);
        CNetworkPort port;
        const ReceiverAddress address = Address(c.where);
        ASSERT_TRUE(port.Open(address, &listener)) << Utf8(c.where);
        EXPECT_TRUE(Within(30000, [&] { return !listener.Errors().empty(); })) << Utf8(c.where);
        port.Close();
        const std::vector<std::wstring> errors = listener.Errors();
        ASSERT_EQ(1u, errors.size()) << Utf8(c.where);
        EXPECT_EQ(NetworkFailureText(c.failure, address, 0), errors[0]) << Utf8(c.where) << " " << Utf8(errors[0]);
    }
    closesocket(holder);
}

TEST_F(NetworkPortTest, NothingReachesTheListenerAfterClose)
{
    ASSERT_TRUE(WsimConfigure(R"({"interval_ms": 20})"));
    Listener listener(false);
    CNetworkPort port;
    ASSERT_TRUE(
        port.Open(Address(L"tcp://127.0.0.1:" + std::to_wstring(HarnessPort("TAVRIN_NMEA_TCP_PORT"))), &listener));
    ASSERT_TRUE(Within(5000, [&] { return listener.Calls() > 3; }));
    const DWORD threads = ThreadCount();
    port.Close();
    const unsigned calls = listener.Calls();
    PumpFor(300);
    EXPECT_EQ(calls, listener.Calls());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_LT(ThreadCount(), threads);
    // A serial port is not this transport's.
    EXPECT_FALSE(port.Open(Address(L"COM1:"), &listener));
}

} // namespace
