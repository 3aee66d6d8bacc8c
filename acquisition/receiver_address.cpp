#include "acquisition/receiver_address.h"

#include "acquisition/acquire_logic.h"
#include "common/texts.h"
#include "resources/resource.h"

#include <cstddef>

namespace {

bool IsAsciiDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

bool IsAsciiHex(wchar_t c)
{
    return IsAsciiDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

bool IsAsciiLetter(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

std::wstring Trimmed(const std::wstring& text)
{
    const std::size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) {
        return std::wstring();
    }
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
    }
    return text;
}

// A name the resolver is asked for: labels of letters, digits and inner hyphens, 1 to 63
// characters each, 253 in all, an optional closing dot. A last label of digits only is no
// name: the resolver would read "10.1" or "300.1.1.1" as an address of its own making.
bool IsHostName(const std::wstring& text)
{
    std::wstring name = text;
    if (!name.empty() && name.back() == L'.') {
        name.pop_back();
    }
    if (name.empty() || name.size() > 253) {
        return false;
    }
    std::size_t start = 0;
    bool lastAllDigits = true;
    while (start <= name.size()) {
        std::size_t end = name.find(L'.', start);
        if (end == std::wstring::npos) {
            end = name.size();
        }
        const std::size_t length = end - start;
        if (length == 0 || length > 63 || name[start] == L'-' || name[end - 1] == L'-') {
            return false;
        }
        lastAllDigits = true;
        for (std::size_t i = start; i < end; ++i) {
            const wchar_t c = name[i];
            if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != L'-') {
                return false;
            }
            lastAllDigits = lastAllDigits && IsAsciiDigit(c);
        }
        start = end + 1;
    }
    return !lastAllDigits;
}

std::optional<std::uint16_t> ReadPort(const std::wstring& text)
{
    if (text.empty() || text.size() > 5) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (wchar_t c : text) {
        if (!IsAsciiDigit(c)) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - L'0');
    }
    if (value == 0 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

const wchar_t* SchemeText(ReceiverTransport transport)
{
    switch (transport) {
    case ReceiverTransport::Tcp:
        return L"tcp";
    case ReceiverTransport::Udp:
        return L"udp";
    case ReceiverTransport::Gpsd:
        return L"gpsd";
    case ReceiverTransport::Serial:
        break;
    }
    return L"";
}

unsigned ReasonOf(AddressProblem problem)
{
    switch (problem) {
    case AddressProblem::UnknownScheme:
        return IDS_ADDRESS_UNKNOWN_SCHEME;
    case AddressProblem::NoHost:
        return IDS_ADDRESS_NO_HOST;
    case AddressProblem::BadHost:
        return IDS_ADDRESS_BAD_HOST;
    case AddressProblem::Ipv6NeedsBrackets:
        return IDS_ADDRESS_IPV6_BRACKETS;
    case AddressProblem::HostOnUdp:
        return IDS_ADDRESS_HOST_ON_UDP;
    case AddressProblem::NoPort:
        return IDS_ADDRESS_NO_PORT;
    case AddressProblem::BadPort:
    case AddressProblem::None:
        break;
    }
    return IDS_ADDRESS_BAD_PORT;
}

ReceiverAddressParse Refused(AddressProblem problem, const std::wstring& value)
{
    ReceiverAddressParse parse;
    parse.problem = problem;
    parse.reason = Text(ReasonOf(problem), {value});
    return parse;
}

} // namespace

bool IsIpv4Literal(const std::wstring& text)
{
    int parts = 0;
    std::size_t i = 0;
    while (true) {
        const std::size_t start = i;
        unsigned value = 0;
        while (i < text.size() && IsAsciiDigit(text[i]) && i - start < 3) {
            value = value * 10 + static_cast<unsigned>(text[i] - L'0');
            ++i;
        }
        const std::size_t digits = i - start;
        // "010" is octal to some resolvers: leading zeros are refused.
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == L'0')) {
            return false;
        }
        if (++parts == 4) {
            return i == text.size();
        }
        if (i >= text.size() || text[i] != L'.') {
            return false;
        }
        ++i;
    }
}

bool IsIpv6Literal(const std::wstring& text)
{
    if (text.empty() || text.size() > 45) {
        return false;
    }
    int groups = 0;
    bool compressed = false;
    std::size_t i = 0;
    if (text.compare(0, 2, L"::") == 0) {
        compressed = true;
        i = 2;
        if (i == text.size()) {
            return true; // "::"
        }
    } else if (text[0] == L':') {
        return false;
    }
    while (i < text.size()) {
        std::size_t end = i;
        while (end < text.size() && IsAsciiHex(text[end])) {
            ++end;
        }
        if (end < text.size() && text[end] == L'.') {
            // A dotted IPv4 tail takes the place of the last two groups.
            if (!IsIpv4Literal(text.substr(i)) || groups > 6) {
                return false;
            }
            groups += 2;
            i = text.size();
            break;
        }
        if (end == i || end - i > 4) {
            return false;
        }
        ++groups;
        i = end;
        if (i == text.size()) {
            break;
        }
        if (text[i] != L':' || i + 1 == text.size()) {
            return false; // another character, or a single closing colon
        }
        ++i;
        if (text[i] == L':') {
            if (compressed) {
                return false; // "::" once only
            }
            compressed = true;
            ++i;
        }
    }
    return compressed ? groups <= 7 : groups == 8;
}

ReceiverAddressParse ParseReceiverAddress(const std::optional<std::wstring>& port)
{
    ReceiverAddressParse parse;
    const std::wstring value = port ? Trimmed(*port) : std::wstring();
    const std::size_t separator = value.find(L"://");
    if (separator == std::wstring::npos) {
        // Every value that was a serial device before stays one, exactly as written.
        ReceiverAddress address;
        address.device = ModuleDeviceName(port);
        parse.address = address;
        return parse;
    }
    ReceiverAddress address;
    const std::wstring scheme = Lower(value.substr(0, separator));
    if (scheme == L"tcp") {
        address.transport = ReceiverTransport::Tcp;
    } else if (scheme == L"udp") {
        address.transport = ReceiverTransport::Udp;
    } else if (scheme == L"gpsd") {
        address.transport = ReceiverTransport::Gpsd;
    } else {
        return Refused(AddressProblem::UnknownScheme, value);
    }
    const std::wstring rest = value.substr(separator + 3);
    std::wstring host, portText;
    bool bracketed = false;
    if (!rest.empty() && rest[0] == L'[') {
        const std::size_t close = rest.find(L']');
        if (close == std::wstring::npos) {
            return Refused(AddressProblem::BadHost, value);
        }
        host = rest.substr(1, close - 1);
        bracketed = true;
        if (close + 1 < rest.size()) {
            if (rest[close + 1] != L':') {
                return Refused(AddressProblem::BadPort, value);
            }
            portText = rest.substr(close + 2);
        }
    } else {
        const std::size_t colon = rest.find(L':');
        if (colon != std::wstring::npos && rest.find(L':', colon + 1) != std::wstring::npos) {
            return Refused(AddressProblem::Ipv6NeedsBrackets, value);
        }
        host = rest.substr(0, colon);
        if (colon != std::wstring::npos) {
            portText = rest.substr(colon + 1);
        }
    }
    if (address.transport == ReceiverTransport::Udp) {
        if (!host.empty() || bracketed) {
            return Refused(AddressProblem::HostOnUdp, value);
        }
    } else if (host.empty()) {
        return Refused(AddressProblem::NoHost, value);
    } else if (bracketed ? !IsIpv6Literal(host) : !IsIpv4Literal(host) && !IsHostName(host)) {
        return Refused(AddressProblem::BadHost, value);
    }
    // "udp://:" and "gpsd://host:" name no port, as "udp://" and "gpsd://host" do.
    if (portText.empty()) {
        if (address.transport == ReceiverTransport::Tcp) {
            return Refused(AddressProblem::NoPort, value);
        }
        address.port = address.transport == ReceiverTransport::Udp ? kUdpNmeaPort : kGpsdPort;
    } else {
        const std::optional<std::uint16_t> number = ReadPort(portText);
        if (!number) {
            return Refused(AddressProblem::BadPort, value);
        }
        address.port = *number;
    }
    address.host = host;
    parse.address = address;
    return parse;
}

std::wstring ReceiverAddressText(const ReceiverAddress& address)
{
    if (address.transport == ReceiverTransport::Serial) {
        return address.device;
    }
    std::wstring text = std::wstring(SchemeText(address.transport)) + L"://";
    text += address.host.find(L':') != std::wstring::npos ? L"[" + address.host + L"]" : address.host;
    return text + L":" + std::to_wstring(address.port);
}

bool IsPortOfModule(ModuleKind module, const std::wstring& port, std::wstring* reason)
{
    if (module == ModuleKind::Nmea) {
        const ReceiverAddressParse parse = ParseReceiverAddress(port);
        if (reason != nullptr) {
            *reason = parse.reason;
        }
        return parse.address.has_value();
    }
    if (port.find(L"://") == std::wstring::npos) {
        return true;
    }
    if (reason != nullptr) {
        *reason = Text(IDS_ADDRESS_SERIAL_ONLY, {Trimmed(port)});
    }
    return false;
}

std::vector<std::wstring> NetworkPortExamples()
{
    return {L"tcp://", L"udp://:" + std::to_wstring(kUdpNmeaPort), L"gpsd://localhost"};
}
