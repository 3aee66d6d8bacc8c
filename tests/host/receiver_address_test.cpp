#include "acquisition/receiver_address.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

struct Accepted
{
    std::optional<std::wstring> value;
    ReceiverTransport transport;
    const wchar_t* hostOrDevice;
    unsigned port;
    const wchar_t* text; // how messages name it
};

TEST(ReceiverAddress, SerialPortsStayAsWrittenAndNetworkFormsAreRead)
{
    const Accepted cases[] = {
        // Values of files before the network forms: used exactly as before.
        {std::nullopt, ReceiverTransport::Serial, L"COM1:", 0, L"COM1:"},
        {L"", ReceiverTransport::Serial, L"COM1:", 0, L"COM1:"},
        {L"COM3:", ReceiverTransport::Serial, L"COM3:", 0, L"COM3:"},
        {L"\\\\.\\COM10", ReceiverTransport::Serial, L"\\\\.\\COM10", 0, L"\\\\.\\COM10"},
        {L" COM3: ", ReceiverTransport::Serial, L" COM3: ", 0, L" COM3: "},
        {L"tcp:host", ReceiverTransport::Serial, L"tcp:host", 0, L"tcp:host"},
        // A phone app, a multiplexer.
        {L"tcp://192.168.1.20:11123", ReceiverTransport::Tcp, L"192.168.1.20", 11123, L"tcp://192.168.1.20:11123"},
        {L" TCP://Phone.local:10110\t", ReceiverTransport::Tcp, L"Phone.local", 10110, L"tcp://Phone.local:10110"},
        {L"tcp://gps-mux.example.net.:65535", ReceiverTransport::Tcp, L"gps-mux.example.net.", 65535,
         L"tcp://gps-mux.example.net.:65535"},
        {L"tcp://[fe80::1ff:fe23:4567:890a]:2000", ReceiverTransport::Tcp, L"fe80::1ff:fe23:4567:890a", 2000,
         L"tcp://[fe80::1ff:fe23:4567:890a]:2000"},
        // Boat networks broadcast on 10110.
        {L"udp://", ReceiverTransport::Udp, L"", 10110, L"udp://:10110"},
        {L"udp://:", ReceiverTransport::Udp, L"", 10110, L"udp://:10110"},
        {L"udp://:2000", ReceiverTransport::Udp, L"", 2000, L"udp://:2000"},
        // gpsd on its own port unless told.
        {L"gpsd://localhost", ReceiverTransport::Gpsd, L"localhost", 2947, L"gpsd://localhost:2947"},
        {L"gpsd://127.0.0.1:29470", ReceiverTransport::Gpsd, L"127.0.0.1", 29470, L"gpsd://127.0.0.1:29470"},
        {L"Gpsd://[::1]", ReceiverTransport::Gpsd, L"::1", 2947, L"gpsd://[::1]:2947"},
        {L"gpsd://[::ffff:192.0.2.1]:1", ReceiverTransport::Gpsd, L"::ffff:192.0.2.1", 1,
         L"gpsd://[::ffff:192.0.2.1]:1"},
    };
    for (const Accepted& c : cases) {
        const ReceiverAddressParse parse = ParseReceiverAddress(c.value);
        const std::wstring shown = c.value.value_or(L"(none)");
        ASSERT_TRUE(parse.address.has_value()) << shown;
        EXPECT_EQ(AddressProblem::None, parse.problem) << shown;
        EXPECT_TRUE(parse.reason.empty()) << shown;
        EXPECT_EQ(c.transport, parse.address->transport) << shown;
        EXPECT_EQ(c.hostOrDevice,
                  c.transport == ReceiverTransport::Serial ? parse.address->device : parse.address->host)
            << shown;
        EXPECT_EQ(c.port, parse.address->port) << shown;
        EXPECT_EQ(c.text, ReceiverAddressText(*parse.address)) << shown;
        if (c.transport != ReceiverTransport::Serial) {
            // What messages show reads back to the same place.
            const ReceiverAddressParse again = ParseReceiverAddress(ReceiverAddressText(*parse.address));
            ASSERT_TRUE(again.address.has_value()) << shown;
            EXPECT_EQ(parse.address->host, again.address->host) << shown;
            EXPECT_EQ(parse.address->port, again.address->port) << shown;
        }
    }
}

TEST(ReceiverAddress, RefusedWithTheirReason)
{
    const std::pair<const wchar_t*, AddressProblem> cases[] = {
        {L"http://192.168.1.20:80", AddressProblem::UnknownScheme},
        {L"://host:1", AddressProblem::UnknownScheme},
        {L"tcp://:10110", AddressProblem::NoHost},
        {L"gpsd://", AddressProblem::NoHost},
        {L"gpsd://:2947", AddressProblem::NoHost},
        {L"tcp://host", AddressProblem::NoPort},
        {L"tcp://host:", AddressProblem::NoPort},
        {L"tcp://host:0", AddressProblem::BadPort},
        {L"tcp://host:65536", AddressProblem::BadPort},
        {L"tcp://host:099999", AddressProblem::BadPort},
        {L"tcp://host:-1", AddressProblem::BadPort},
        {L"tcp://host:10110/", AddressProblem::BadPort},
        {L"tcp://host:\xFF11\xFF10", AddressProblem::BadPort}, // full-width digits
        {L"gpsd://[::1]x", AddressProblem::BadPort},
        {L"udp://192.168.1.255:10110", AddressProblem::HostOnUdp},
        {L"udp://[::]:10110", AddressProblem::HostOnUdp},
        {L"tcp://::1:2947", AddressProblem::Ipv6NeedsBrackets},
        {L"tcp://fe80::1:2000", AddressProblem::Ipv6NeedsBrackets},
        {L"tcp://user@host:1", AddressProblem::BadHost},
        {L"tcp://host name:1", AddressProblem::BadHost},
        {L"tcp://-host:1", AddressProblem::BadHost},
        {L"tcp://host-.example:1", AddressProblem::BadHost},
        {L"tcp://a..b:1", AddressProblem::BadHost},
        {L"tcp://\x65E5\x672C.jp:1", AddressProblem::BadHost}, // a name outside ASCII
        {L"tcp://256.1.1.1:1", AddressProblem::BadHost},
        {L"tcp://127.1:1", AddressProblem::BadHost},      // a resolver would make 127.0.0.1 of it
        {L"tcp://010.0.0.1:1", AddressProblem::BadHost},  // octal to some resolvers
        {L"tcp://0x7f.0.0.1:1", AddressProblem::BadHost}, // a last label of digits
        {L"gpsd://[::1:2947", AddressProblem::BadHost},
        {L"gpsd://[fe80::1%25eth0]", AddressProblem::BadHost}, // no zones
        {L"gpsd://[1:2:3:4:5:6:7:8:9]", AddressProblem::BadHost},
        {L"gpsd://[1::2::3]", AddressProblem::BadHost},
        {L"gpsd://[192.0.2.1]", AddressProblem::BadHost},
        {L"gpsd://[12345::]", AddressProblem::BadHost},
    };
    for (const auto& [value, problem] : cases) {
        const ReceiverAddressParse parse = ParseReceiverAddress(std::wstring(value));
        EXPECT_FALSE(parse.address.has_value()) << value;
        EXPECT_EQ(problem, parse.problem) << value;
        // The reason names what was written, for the settings screen to show beside it.
        EXPECT_NE(std::wstring::npos, parse.reason.find(std::wstring(value))) << value;
    }
    EXPECT_NE(ParseReceiverAddress(std::wstring(L"tcp://host")).reason,
              ParseReceiverAddress(std::wstring(L"tcp://host:0")).reason);
}

TEST(ReceiverAddress, Ipv6Forms)
{
    for (const wchar_t* good : {L"::", L"::1", L"1::", L"1:2:3:4:5:6:7::", L"::2:3:4:5:6:7:8", L"1:2:3:4:5:6:7:8",
                                L"2001:db8::ff00:42:8329", L"::ffff:203.0.113.7", L"64:ff9b::192.0.2.33"}) {
        EXPECT_TRUE(IsIpv6Literal(good)) << good;
    }
    for (const wchar_t* bad : {L"", L":", L":::", L"1:2:3:4:5:6:7:8::", L"1:2:3:4:5:6:7", L":1::", L"1:", L"1::2:",
                               L"g::1", L"::ffff:1.2.3", L"1:2:3:4:5:6:7:1.2.3.4", L"::1.2.3.4:5"}) {
        EXPECT_FALSE(IsIpv6Literal(bad)) << bad;
    }
}

} // namespace
