#pragma once

#include "acquisition/nmea_reader.h"
#include "acquisition/receiver_address.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The wait for a fix from a receiver on the network, free of the sockets: how long a
// connection may take, when a peer counts as silent, and which words each way of failing
// gets. Every text names the address (ReceiverAddressText).

// A connection to a host (each of its addresses in turn) stands within this, or the wait ends.
constexpr std::uint32_t kNetworkConnectMs = 10000;
// The whole way to a connection, the name look-up included (the resolver takes no time-out):
// a wait that has no connection by then ends.
constexpr std::uint32_t kNetworkReachMs = 20000;
// A peer that sends nothing for this long is silent; one that sends, but nothing of the
// receiver's language, is not a receiver. Receivers speak at least once a second.
constexpr std::uint32_t kNetworkListenMs = 10000;
// gpsd answering with no device gets this long for one to come before the wait ends.
constexpr std::uint32_t kGpsdNoDeviceMs = 3000;
// Bytes asked for in one read; a datagram above this is not NMEA and is dropped.
constexpr std::size_t kNetworkReadBytes = 4096;
// How long one wait for the socket lasts before the reader looks whether it is to stop.
constexpr std::uint32_t kNetworkPollMs = 50;

// What the reader under the transport has heard so far.
struct ReceiverHeard
{
    bool connected = false;                 // the connection stands (udp: the socket listens)
    std::uint64_t bytes = 0;                // received: stream bytes, or datagram bytes
    unsigned goodSentences = 0;             // NMEA sentences whose checksum held (tcp, udp)
    bool gpsdAnswered = false;              // gpsd's greeting came (gpsd)
    std::optional<std::size_t> gpsdDevices; // gpsd's devices, once it said (gpsd)
};

enum class NetworkWaitStep
{
    Listen,       // keep waiting
    NoConnection, // no connection within kNetworkReachMs (or the fix wait, when shorter)
    Silent,       // nothing came for kNetworkListenMs (tcp, gpsd: nothing at all, or no longer)
    NoDatagram,   // udp: no datagram at all
    NotNmea,      // bytes came, but never a good NMEA sentence (tcp, udp)
    NotGpsd,      // bytes came, but gpsd never greeted (gpsd)
    NoDevice,     // gpsd has no receiver
    NoFix,        // a receiver speaks, but no fix came within the fix wait
    HandOver,     // the fix goes on: the wait is over
};

class CNetworkFixWait
{
public:
    // `accuracyWanted`: the fix waits for its epoch's accuracy, as a serial receiver's does.
    CNetworkFixWait(ReceiverTransport transport, unsigned fixWaitSeconds, bool accuracyWanted = false);

    // One step with the reader's fix, as CFixWait::Step: with a fix, HandOver once FixGoesOn
    // holds (Listen meanwhile: a peer that stops now only ends the epoch's wait); without one,
    // as OnTick.
    NetworkWaitStep Step(std::uint32_t sinceOpenMs, const ReceiverHeard& heard, const std::optional<NmeaFix>& fix);
    // One tick: `sinceOpenMs` since the transport was opened, with what was heard. The fix
    // wait and the listening count from the connection. A fix is taken before the tick; after
    // a step other than Listen the wait is over.
    NetworkWaitStep OnTick(std::uint32_t sinceOpenMs, const ReceiverHeard& heard);
    std::uint32_t FixWaitMs() const { return m_fixWaitMs; }

private:
    ReceiverTransport m_transport;
    std::uint32_t m_fixWaitMs;
    bool m_accuracyWanted;
    std::optional<std::uint32_t> m_fixSince; // when a step first saw the fix
    std::optional<std::uint32_t> m_connectedAt;
    std::uint64_t m_bytes = 0;
    std::uint32_t m_bytesAt = 0; // when the byte count last grew
    std::optional<std::uint32_t> m_noDeviceSince;
};

// The box of a step other than Listen. `fixWaitSeconds` is FIXWAIT, for NoFix.
std::wstring NetworkWaitText(NetworkWaitStep step, const ReceiverAddress& address, unsigned fixWaitSeconds);

// How a connection, a name look-up, a listen or a read failed.
enum class NetworkFailure
{
    NameNotResolved, // the host name gives no address
    Refused,         // the host answered that nothing listens on the port
    Unreachable,     // no route to the host or its network, or the network is down
    TimedOut,        // no answer within kNetworkConnectMs
    Closed,          // the peer closed or reset the connection
    PortInUse,       // udp: another program listens on the port
    Other,           // any other error: its number is shown
};

// The kind of a Winsock or getaddrinfo error number (WSAECONNREFUSED and its kin).
NetworkFailure FailureFromSocketError(int error);

// The box of a failure: names the address, the host for a name that does not resolve, and
// the error number for Other.
std::wstring NetworkFailureText(NetworkFailure failure, const ReceiverAddress& address, int error);

// A datagram is read as the lines it holds; one whose last line lacks its CR LF gets it, so
// the next datagram's first sentence is not taken for the rest of it.
bool DatagramNeedsLineEnd(const char* bytes, std::size_t count);
