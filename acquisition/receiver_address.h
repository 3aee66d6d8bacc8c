#pragma once

#include "acquisition/module_setting.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Where a GNSS receiver is (the settings file's PORT with MODULE=NMEA): a serial device, as
// for every module, or a receiver on the network:
//   tcp://HOST:PORT    connect and read NMEA sentences (a phone app, a multiplexer);
//   udp://:PORT        listen for NMEA datagrams on this machine's IPv4 addresses (10110);
//   gpsd://HOST:PORT   connect to gpsd, ask it to watch its devices, read its JSON reports
//                      (2947).
// HOST is a host name (letters, digits and hyphens), an IPv4 address (four decimal numbers)
// or an IPv6 address in brackets. The scheme may be in any case; spaces and tabs around the
// value are ignored. A value without "://" is a serial device, used as it is written.

enum class ReceiverTransport
{
    Serial,
    Tcp,
    Udp,
    Gpsd,
};

// The ports when the value names none.
constexpr std::uint16_t kUdpNmeaPort = 10110; // what boat networks and multiplexers use
constexpr std::uint16_t kGpsdPort = 2947;     // gpsd's own

struct ReceiverAddress
{
    ReceiverTransport transport = ReceiverTransport::Serial;
    std::wstring device;    // Serial: the device to open ("COM1:" without PORT)
    std::wstring host;      // Tcp and Gpsd: a name or an address, IPv6 without brackets
    std::uint16_t port = 0; // Tcp, Udp and Gpsd
};

// Why a value names no place a receiver can be.
enum class AddressProblem
{
    None,
    UnknownScheme,     // "xyz://...": none of the three forms
    NoHost,            // tcp:// or gpsd:// without a host
    BadHost,           // not a host name, an IPv4 address or a bracketed IPv6 address
    Ipv6NeedsBrackets, // an IPv6 address written without its brackets
    HostOnUdp,         // udp:// listens here: it takes no host
    NoPort,            // tcp:// needs its port
    BadPort,           // not a number from 1 to 65535
};

struct ReceiverAddressParse
{
    std::optional<ReceiverAddress> address; // none when the value is refused
    AddressProblem problem = AddressProblem::None;
    std::wstring reason; // the refusal in the user's words, naming the value; empty when accepted
};

// Reads PORT as the settings file has it (none when the file lacks the key: "COM1:").
ReceiverAddressParse ParseReceiverAddress(const std::optional<std::wstring>& port);

// How messages name the place: the serial device as written, or the network form with the
// port spelt out, e.g. "tcp://192.168.1.20:11123", "udp://:10110", "gpsd://[::1]:2947".
std::wstring ReceiverAddressText(const ReceiverAddress& address);

// Whether `text` is an IPv4 address in dotted decimal (four numbers 0-255, no leading zeros).
bool IsIpv4Literal(const std::wstring& text);
// Whether `text` is an IPv6 address as RFC 4291 writes it (no zone, no brackets).
bool IsIpv6Literal(const std::wstring& text);

// Whether `module` can be reached at PORT `port`: a receiver at any place ParseReceiverAddress
// accepts, the W-SIM and a modem only on a serial device (a value without "://"). When not,
// `reason` (when given) receives why, naming the value.
bool IsPortOfModule(ModuleKind module, const std::wstring& port, std::wstring* reason = nullptr);

// The network forms the port field offers after the serial ports: tcp:// to be completed with
// a host and its port, udp:// on its usual port, and gpsd on this machine.
std::vector<std::wstring> NetworkPortExamples();
