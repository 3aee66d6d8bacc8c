#pragma once

#include "acquisition/receiver_address.h"
#include "acquisition/serial_port.h"
#include "common/win_handle.h"

#include <windows.h>

#include <cstdint>
#include <memory>

// A receiver on the network, beside the serial port under the same listener: a thread of its
// own looks the host up, connects (tcp, gpsd) or listens (udp), sends gpsd its watch command,
// and then reads, every read bounded in bytes (kNetworkReadBytes) and in time (kNetworkPollMs,
// then it looks whether it is to stop). Nothing is ever sent to a tcp:// or udp:// peer; gpsd
// gets kGpsdWatchCommand and nothing else. What comes goes to the listener as bytes (a
// datagram as whole lines); how the connection ended, once, as a text naming the address.
class CNetworkPort
{
public:
    CNetworkPort() = default;
    ~CNetworkPort();
    CNetworkPort(const CNetworkPort&) = delete;
    CNetworkPort& operator=(const CNetworkPort&) = delete;

    // Starts the connection for `address` (Tcp, Udp or Gpsd). The listener's OnReceiveBytes
    // gets what is read and OnReadError the failure (NetworkFailureText), both on the
    // connection's thread; they must not call Close. False when the port is open already, the
    // address is a serial one, or no thread could start.
    bool Open(const ReceiverAddress& address, IReceiveEvent* listener);
    bool IsOpen() const { return m_shared != nullptr; }
    // The connection stands (udp: the socket listens): the wait's clock starts then.
    bool Connected() const;
    // Bytes read so far (stream bytes, or datagram bytes).
    std::uint64_t BytesReceived() const;
    // Ends the connection, also while it is being made: once this returns nothing reaches the
    // listener, and the socket is closed (the thread notices within kNetworkPollMs and is
    // waited for up to a second). A thread in a name look-up is not waited for: it ends by
    // itself when the look-up returns.
    void Close();

private:
    struct Shared;
    static DWORD WINAPI ThreadProc(LPVOID param);

    std::shared_ptr<Shared> m_shared;
    CHandle m_thread;
};
