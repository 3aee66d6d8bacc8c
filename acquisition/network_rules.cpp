#include "acquisition/network_rules.h"

#include "acquisition/fix_wait.h"
#include "common/texts.h"
#include "resources/resource.h"

#include <algorithm>

CNetworkFixWait::CNetworkFixWait(ReceiverTransport transport, unsigned fixWaitSeconds, bool accuracyWanted)
    : m_transport(transport), m_fixWaitMs(fixWaitSeconds * 1000u), m_accuracyWanted(accuracyWanted)
{
}

NetworkWaitStep CNetworkFixWait::Step(std::uint32_t sinceOpenMs, const ReceiverHeard& heard,
                                      const std::optional<NmeaFix>& fix)
{
    if (!fix) {
        return OnTick(sinceOpenMs, heard);
    }
    if (!m_fixSince) {
        m_fixSince = sinceOpenMs;
    }
    return FixGoesOn(*fix, m_accuracyWanted, sinceOpenMs - *m_fixSince) ? NetworkWaitStep::HandOver
                                                                        : NetworkWaitStep::Listen;
}

NetworkWaitStep CNetworkFixWait::OnTick(std::uint32_t sinceOpenMs, const ReceiverHeard& heard)
{
    if (!m_connectedAt) {
        if (!heard.connected) {
            const bool over = sinceOpenMs >= kNetworkReachMs || sinceOpenMs >= m_fixWaitMs;
            return over ? NetworkWaitStep::NoConnection : NetworkWaitStep::Listen;
        }
        m_connectedAt = sinceOpenMs;
    }
    const std::uint32_t elapsedMs = sinceOpenMs - *m_connectedAt;
    if (heard.bytes != m_bytes) {
        m_bytes = heard.bytes;
        m_bytesAt = elapsedMs;
    }
    const bool over = elapsedMs >= m_fixWaitMs;
    const bool quiet = elapsedMs - m_bytesAt >= kNetworkListenMs;
    const bool gpsd = m_transport == ReceiverTransport::Gpsd;
    if (heard.bytes == 0 && (quiet || over)) {
        return m_transport == ReceiverTransport::Udp ? NetworkWaitStep::NoDatagram : NetworkWaitStep::Silent;
    }
    const bool speaks = gpsd ? heard.gpsdAnswered : heard.goodSentences > 0;
    if (!speaks && (elapsedMs >= kNetworkListenMs || over)) {
        return gpsd ? NetworkWaitStep::NotGpsd : NetworkWaitStep::NotNmea;
    }
    // gpsd itself stays quiet while its receiver says nothing: that is a wait for a fix.
    if (quiet && !gpsd) {
        return NetworkWaitStep::Silent;
    }
    if (gpsd && heard.gpsdDevices == std::optional<std::size_t>(0)) {
        if (!m_noDeviceSince) {
            m_noDeviceSince = elapsedMs;
        }
        if (over || elapsedMs - *m_noDeviceSince >= kGpsdNoDeviceMs) {
            return NetworkWaitStep::NoDevice;
        }
    } else {
        m_noDeviceSince.reset();
    }
    return over ? NetworkWaitStep::NoFix : NetworkWaitStep::Listen;
}

std::wstring NetworkWaitText(NetworkWaitStep step, const ReceiverAddress& address, unsigned fixWaitSeconds)
{
    const std::wstring where = ReceiverAddressText(address);
    switch (step) {
    case NetworkWaitStep::NoConnection:
        return Text(IDS_NET_CONNECT_TIMEOUT, {where, NumberText(std::min(kNetworkReachMs / 1000, fixWaitSeconds))});
    case NetworkWaitStep::Silent:
        // A fix wait shorter than the listen ends a silence sooner.
        return Text(IDS_NET_SILENT, {where, NumberText(std::min(kNetworkListenMs / 1000, fixWaitSeconds))});
    case NetworkWaitStep::NoDatagram:
        return Text(IDS_NET_NO_DATAGRAM, {where});
    case NetworkWaitStep::NotNmea:
        return Text(IDS_NET_NOT_NMEA, {where});
    case NetworkWaitStep::NotGpsd:
        return Text(IDS_GPSD_NOT_GPSD, {where});
    case NetworkWaitStep::NoDevice:
        return Text(IDS_GPSD_NO_DEVICE, {where});
    case NetworkWaitStep::NoFix:
        return Text(address.transport == ReceiverTransport::Gpsd ? IDS_GPSD_NO_FIX : IDS_NET_NO_FIX,
                    {where, NumberText(fixWaitSeconds)});
    case NetworkWaitStep::Listen:
    case NetworkWaitStep::HandOver:
        break;
    }
    return std::wstring();
}

NetworkFailure FailureFromSocketError(int error)
{
    // The numbers of winsock2.h and ws2tcpip.h, which this file must not include.
    switch (error) {
    case 11001: // WSAHOST_NOT_FOUND, EAI_NONAME
    case 11002: // WSATRY_AGAIN, EAI_AGAIN: no name server answered
    case 11003: // WSANO_RECOVERY, EAI_FAIL
    case 11004: // WSANO_DATA, EAI_NODATA: a name without an address
        return NetworkFailure::NameNotResolved;
    case 10061: // WSAECONNREFUSED
        return NetworkFailure::Refused;
    case 10050: // WSAENETDOWN
    case 10051: // WSAENETUNREACH
    case 10064: // WSAEHOSTDOWN
    case 10065: // WSAEHOSTUNREACH
    case 10049: // WSAEADDRNOTAVAIL: an address no route leads to, such as 0.0.0.0
        return NetworkFailure::Unreachable;
    case 10060: // WSAETIMEDOUT
        return NetworkFailure::TimedOut;
    case 10052: // WSAENETRESET
    case 10053: // WSAECONNABORTED
    case 10054: // WSAECONNRESET
        return NetworkFailure::Closed;
    case 10048: // WSAEADDRINUSE
        return NetworkFailure::PortInUse;
    default:
        return NetworkFailure::Other;
    }
}

std::wstring NetworkFailureText(NetworkFailure failure, const ReceiverAddress& address, int error)
{
    const std::wstring where = ReceiverAddressText(address);
    switch (failure) {
    case NetworkFailure::NameNotResolved:
        return Text(IDS_NET_NAME_NOT_RESOLVED, {where, address.host});
    case NetworkFailure::Refused:
        return Text(IDS_NET_REFUSED, {where});
    case NetworkFailure::Unreachable:
        return Text(IDS_NET_UNREACHABLE, {where});
    case NetworkFailure::TimedOut:
        return Text(IDS_NET_CONNECT_TIMEOUT, {where, NumberText(kNetworkConnectMs / 1000)});
    case NetworkFailure::Closed:
        return Text(IDS_NET_CLOSED, {where});
    case NetworkFailure::PortInUse:
        return Text(IDS_NET_PORT_IN_USE, {where});
    case NetworkFailure::Other:
        break;
    }
    return Text(IDS_NET_FAILED, {where, NumberText(error)});
}

bool DatagramNeedsLineEnd(const char* bytes, std::size_t count)
{
    return count > 0 && bytes[count - 1] != '\n' && bytes[count - 1] != '\r';
}
