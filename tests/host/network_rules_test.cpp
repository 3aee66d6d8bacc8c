#include "acquisition/network_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Tick
{
    std::uint32_t at;
    ReceiverHeard heard;
};

ReceiverHeard Connected()
{
    ReceiverHeard h;
    h.connected = true;
    return h;
}

ReceiverHeard Nmea(std::uint64_t bytes, unsigned good)
{
    ReceiverHeard h = Connected();
    h.bytes = bytes;
    h.goodSentences = good;
    return h;
}

ReceiverHeard Gpsd(std::uint64_t bytes, bool answered, std::optional<std::size_t> devices)
{
    ReceiverHeard h = Connected();
    h.bytes = bytes;
    h.gpsdAnswered = answered;
    h.gpsdDevices = devices;
    return h;
}

// Each wait ticks through its story; the first step other than Listen ends it, at the time given.
TEST(NetworkFixWait, EachWayOfFailingEndsTheWaitInItsOwnWords)
{
    struct Case
    {
        const char* name;
        ReceiverTransport transport;
        unsigned fixWait;
        std::vector<Tick> ticks;
        NetworkWaitStep step;
        std::uint32_t endsAt;
    } cases[] = {
        {"tcp peer that never speaks",
         ReceiverTransport::Tcp,
         60,
         {{0, Connected()}, {9999, Connected()}, {10000, Connected()}},
         NetworkWaitStep::Silent,
         10000},
        {"tcp peer that goes silent",
         ReceiverTransport::Tcp,
         60,
         {{0, Nmea(500, 6)}, {4000, Nmea(2500, 30)}, {13999, Nmea(2500, 30)}, {14000, Nmea(2500, 30)}},
         NetworkWaitStep::Silent,
         14000},
        {"tcp peer speaking something else",
         ReceiverTransport::Tcp,
         60,
         {{1000, Nmea(800, 0)}, {9000, Nmea(8000, 0)}, {10000, Nmea(9000, 0)}},
         NetworkWaitStep::NotNmea,
         10000},
        {"tcp receiver without a fix",
         ReceiverTransport::Tcp,
         30,
         {{1000, Nmea(500, 6)}, {15000, Nmea(7000, 90)}, {29999, Nmea(14000, 180)}, {30000, Nmea(14500, 186)}},
         NetworkWaitStep::NoFix,
         30000},
        {"fix wait shorter than the listen",
         ReceiverTransport::Tcp,
         2,
         {{1000, Nmea(300, 0)}, {2000, Nmea(600, 0)}},
         NetworkWaitStep::NotNmea,
         2000},
        {"no datagram at all",
         ReceiverTransport::Udp,
         60,
         {{5000, Connected()}, {10000, Connected()}},
         NetworkWaitStep::NoDatagram,
         10000},
        {"datagrams that stop",
         ReceiverTransport::Udp,
         60,
         {{1000, Nmea(400, 5)}, {11000, Nmea(400, 5)}},
         NetworkWaitStep::Silent,
         11000},
        {"gpsd without a device",
         ReceiverTransport::Gpsd,
         60,
         {{100, Gpsd(300, true, 0)}, {3099, Gpsd(300, true, 0)}, {3100, Gpsd(300, true, 0)}},
         NetworkWaitStep::NoDevice,
         3100},
        {"gpsd's device gone quiet is a wait for a fix",
         ReceiverTransport::Gpsd,
         20,
         {{100, Gpsd(500, true, 1)}, {15000, Gpsd(500, true, 1)}, {20000, Gpsd(500, true, 1)}},
         NetworkWaitStep::NoFix,
         20000},
        {"a device comes to gpsd in time",
         ReceiverTransport::Gpsd,
         8,
         {{100, Gpsd(300, true, 0)},
          {2000, Gpsd(400, true, 1)},
          {6000, Gpsd(900, true, 1)},
          {8000, Gpsd(1300, true, 1)}},
         NetworkWaitStep::NoFix,
         8000},
        {"something that is not gpsd",
         ReceiverTransport::Gpsd,
         60,
         {{100, Gpsd(40, false, std::nullopt)},
          {9900, Gpsd(400, false, std::nullopt)},
          {10000, Gpsd(440, false, std::nullopt)}},
         NetworkWaitStep::NotGpsd,
         10000},
        // The fix wait counts from the connection; the way to it has a bound of its own.
        {"connection after a slow look-up",
         ReceiverTransport::Tcp,
         20,
         {{0, {}}, {8000, {}}, {9000, Nmea(300, 3)}, {28999, Nmea(9000, 90)}, {29000, Nmea(9300, 93)}},
         NetworkWaitStep::NoFix,
         29000},
        {"no connection at all",
         ReceiverTransport::Gpsd,
         60,
         {{0, {}}, {19999, {}}, {20000, {}}},
         NetworkWaitStep::NoConnection,
         20000},
        {"no connection within a short fix wait",
         ReceiverTransport::Tcp,
         5,
         {{4999, {}}, {5000, {}}},
         NetworkWaitStep::NoConnection,
         5000},
    };
    for (const Case& c : cases) {
        CNetworkFixWait wait(c.transport, c.fixWait);
        // A story whose first tick is connected begins with the connection at 0.
        if (c.ticks.front().heard.connected) {
            ASSERT_EQ(NetworkWaitStep::Listen, wait.OnTick(0, Connected())) << c.name;
        }
        NetworkWaitStep step = NetworkWaitStep::Listen;
        std::uint32_t at = 0;
        for (const Tick& tick : c.ticks) {
            step = wait.OnTick(tick.at, tick.heard);
            at = tick.at;
            if (step != NetworkWaitStep::Listen) {
                break;
            }
        }
        EXPECT_EQ(c.step, step) << c.name;
        EXPECT_EQ(c.endsAt, at) << c.name;
    }
}

// A fix goes on as a serial receiver's does: at once, or, when its accuracy is wanted, once its
// epoch is done or a second after it came; no failure ends a wait that holds a fix.
TEST(NetworkFixWait, AFixGoesOnByTheSerialReceiversRule)
{
    NmeaFix open;
    NmeaFix done;
    done.epochDone = true;
    struct Case
    {
        const char* name;
        ReceiverTransport transport;
        bool accuracyWanted;
        std::vector<std::pair<Tick, std::optional<NmeaFix>>> ticks;
        std::uint32_t handsOverAt;
    } cases[] = {
        {"tcp, no accuracy wanted", ReceiverTransport::Tcp, false, {{{1200, Nmea(900, 4)}, open}}, 1200},
        {"udp, the epoch's error comes",
         ReceiverTransport::Udp,
         true,
         {{{1000, Nmea(300, 2)}, open}, {{1400, Nmea(700, 6)}, done}},
         1400},
        // The peer stops after the fix: no Silent, no NoFix, the fix goes on a second later.
        {"tcp, the peer stops after the fix",
         ReceiverTransport::Tcp,
         true,
         {{{3000, Nmea(300, 2)}, open}, {{3999, Nmea(300, 2)}, open}, {{4000, Nmea(300, 2)}, open}},
         4000},
        {"gpsd's fix is whole", ReceiverTransport::Gpsd, true, {{{800, Gpsd(900, true, 1)}, done}}, 800},
    };
    for (const Case& c : cases) {
        CNetworkFixWait wait(c.transport, 2, c.accuracyWanted);
        ASSERT_EQ(NetworkWaitStep::Listen, wait.Step(0, Connected(), std::nullopt)) << c.name;
        NetworkWaitStep step = NetworkWaitStep::Listen;
        std::uint32_t at = 0;
        for (const auto& [tick, fix] : c.ticks) {
            step = wait.Step(tick.at, tick.heard, fix);
            at = tick.at;
            if (step != NetworkWaitStep::Listen) {
                break;
            }
        }
        EXPECT_EQ(NetworkWaitStep::HandOver, step) << c.name;
        EXPECT_EQ(c.handsOverAt, at) << c.name;
    }
}

// A silence that a fix wait shorter than the listen ended says how long it lasted.
TEST(NetworkFixWait, ASilenceIsToldAsLongAsItWasWaitedFor)
{
    const ReceiverAddress tcp{ReceiverTransport::Tcp, L"", L"127.0.0.1", 11123};
    CNetworkFixWait wait(ReceiverTransport::Tcp, 4);
    ASSERT_EQ(NetworkWaitStep::Listen, wait.OnTick(0, Connected()));
    ASSERT_EQ(NetworkWaitStep::Silent, wait.OnTick(4000, Connected()));
    EXPECT_NE(std::wstring::npos, NetworkWaitText(NetworkWaitStep::Silent, tcp, 4).find(L" 4 "));
    EXPECT_NE(std::wstring::npos, NetworkWaitText(NetworkWaitStep::Silent, tcp, 60).find(L" 10 "));
}

TEST(NetworkFixWait, TextsNameTheAddress)
{
    ReceiverAddress tcp{ReceiverTransport::Tcp, L"", L"phone.local", 11123};
    ReceiverAddress udp{ReceiverTransport::Udp, L"", L"", 10110};
    ReceiverAddress gpsd{ReceiverTransport::Gpsd, L"", L"::1", 2947};
    std::vector<std::wstring> texts;
    for (NetworkWaitStep step :
         {NetworkWaitStep::Silent, NetworkWaitStep::NotNmea, NetworkWaitStep::NoFix, NetworkWaitStep::NoConnection}) {
        texts.push_back(NetworkWaitText(step, tcp, 45));
        EXPECT_NE(std::wstring::npos, texts.back().find(L"tcp://phone.local:11123")) << texts.back();
    }
    texts.push_back(NetworkWaitText(NetworkWaitStep::NoDatagram, udp, 45));
    EXPECT_NE(std::wstring::npos, texts.back().find(L"udp://:10110"));
    for (NetworkWaitStep step : {NetworkWaitStep::NotGpsd, NetworkWaitStep::NoDevice, NetworkWaitStep::NoFix}) {
        texts.push_back(NetworkWaitText(step, gpsd, 45));
        EXPECT_NE(std::wstring::npos, texts.back().find(L"gpsd://[::1]:2947")) << texts.back();
    }
    EXPECT_NE(std::wstring::npos, texts[2].find(L"45"));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        for (std::size_t j = i + 1; j < texts.size(); ++j) {
            EXPECT_NE(texts[i], texts[j]);
        }
    }
}

TEST(NetworkFailure, ErrorsOfTheSocketsInTheUsersWords)
{
    const ReceiverAddress address{ReceiverTransport::Gpsd, L"", L"gps.example.jp", 2947};
    const std::pair<int, NetworkFailure> cases[] = {
        {11001, NetworkFailure::NameNotResolved}, // WSAHOST_NOT_FOUND
        {11004, NetworkFailure::NameNotResolved}, // WSANO_DATA
        {10061, NetworkFailure::Refused},
        {10065, NetworkFailure::Unreachable},
        {10051, NetworkFailure::Unreachable},
        {10060, NetworkFailure::TimedOut},
        {10054, NetworkFailure::Closed},
        {10048, NetworkFailure::PortInUse},
        {10013, NetworkFailure::Other}, // WSAEACCES
        {0, NetworkFailure::Other},
    };
    std::vector<std::wstring> texts;
    for (const auto& [error, failure] : cases) {
        EXPECT_EQ(failure, FailureFromSocketError(error)) << error;
        const std::wstring text = NetworkFailureText(failure, address, error);
        EXPECT_NE(std::wstring::npos, text.find(L"gpsd://gps.example.jp:2947")) << error;
        texts.push_back(text);
    }
    EXPECT_NE(std::wstring::npos, texts[0].find(L"「gps.example.jp」"));
    EXPECT_NE(std::wstring::npos, texts[8].find(L"10013"));
    EXPECT_NE(texts[2], texts[3]);
}

TEST(NetworkFailure, DatagramsAreReadAsWholeLines)
{
    const std::pair<std::string, bool> cases[] = {
        {"$GPGGA,1*00\r\n", false}, {"$GPGGA,1*00\n", false}, {"$GPGGA,1*00", true}, {"", false}, {"\r", false},
    };
    for (const auto& [datagram, needs] : cases) {
        EXPECT_EQ(needs, DatagramNeedsLineEnd(datagram.data(), datagram.size())) << datagram;
    }
}

} // namespace
