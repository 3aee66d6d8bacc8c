// Winsock 2 goes before <windows.h>, which the port's header brings.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "acquisition/network_port.h"

#include "acquisition/network_rules.h"
#include "common/deadline.h"
#include "network/gpsd_reader.h"

#include <atomic>
#include <mutex>
#include <string>

namespace {

constexpr DWORD kStopWaitMs = 1000;

// A socket owner: closed exactly once.
struct CSocketTraits
{
    using Type = SOCKET;
    static Type Invalid() noexcept { return INVALID_SOCKET; }
    static bool IsValid(Type socket) noexcept { return socket != INVALID_SOCKET; }
    static bool Close(Type socket) noexcept { return closesocket(socket) == 0; }
};
using CSocket = CUniqueHandle<CSocketTraits>;

struct CAddrInfo
{
    ADDRINFOW* list = nullptr;
    ~CAddrInfo()
    {
        if (list != nullptr) {
            FreeAddrInfoW(list);
        }
    }
};

struct CWinsock
{
    int error;
    CWinsock()
    {
        WSADATA data;
        error = WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~CWinsock()
    {
        if (error == 0) {
            WSACleanup();
        }
    }
};

timeval PollTimeval()
{
    timeval tv;
    tv.tv_sec = 0;
    tv.tv_usec = static_cast<long>(kNetworkPollMs) * 1000;
    return tv;
}

bool SetNonBlocking(SOCKET socket)
{
    u_long on = 1;
    return ioctlsocket(socket, FIONBIO, &on) == 0;
}

} // namespace

struct CNetworkPort::Shared
{
    ReceiverAddress address;
    std::atomic<bool> stop{false};
    std::atomic<bool> connected{false};
    std::atomic<bool> resolving{false}; // in the resolver, which no stop request reaches
    std::atomic<std::uint64_t> bytes{0};
    std::mutex lock; // the listener, against Close
    IReceiveEvent* listener = nullptr;
    bool reported = false;

    bool Stopping() const { return stop.load(); }

    void Deliver(const char* data, std::size_t count)
    {
        bytes += count;
        std::lock_guard<std::mutex> guard(lock);
        if (listener != nullptr) {
            listener->OnReceiveBytes(data, count);
        }
    }

    void Fail(NetworkFailure failure, int error)
    {
        const std::wstring text = NetworkFailureText(failure, address, error);
        std::lock_guard<std::mutex> guard(lock);
        if (listener != nullptr && !reported) {
            reported = true;
            listener->OnReadError(text);
        }
    }

    void FailWithError(int error) { Fail(FailureFromSocketError(error), error); }

    // Connects to one address within what is left of the connection's time: 0 when it
    // stands, else the socket error (WSAETIMEDOUT once the time is up).
    int Connect(SOCKET socket, const ADDRINFOW& to, DWORD start)
    {
        if (!SetNonBlocking(socket)) {
            return WSAGetLastError();
        }
        if (connect(socket, to.ai_addr, static_cast<int>(to.ai_addrlen)) == 0) {
            return 0;
        }
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK) {
            return error;
        }
        while (!Stopping() && StillWaiting(start, GetTickCount(), kNetworkConnectMs)) {
            fd_set writable, failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(socket, &writable);
            FD_SET(socket, &failed);
            timeval tv = PollTimeval();
            const int ready = select(0, nullptr, &writable, &failed, &tv);
            if (ready == SOCKET_ERROR) {
                return WSAGetLastError();
            }
            if (ready > 0) {
                int status = 0;
                int size = sizeof status;
                if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&status), &size) != 0) {
                    return WSAGetLastError();
                }
                if (status != 0) {
                    return status;
                }
                return FD_ISSET(socket, &writable) ? 0 : WSAECONNREFUSED;
            }
        }
        return WSAETIMEDOUT;
    }

    // The host's addresses in turn, all within kNetworkConnectMs.
    CSocket ConnectToHost()
    {
        ADDRINFOW hints = {};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        hints.ai_flags = AI_NUMERICSERV;
        CAddrInfo found;
        const std::wstring port = std::to_wstring(address.port);
        resolving = true;
        const int looked = GetAddrInfoW(address.host.c_str(), port.c_str(), &hints, &found.list);
        resolving = false;
        if (Stopping()) {
            return CSocket();
        }
        if (looked != 0 || found.list == nullptr) {
            Fail(NetworkFailure::NameNotResolved, looked);
            return CSocket();
        }
        const DWORD start = GetTickCount();
        int error = WSAETIMEDOUT;
        for (const ADDRINFOW* to = found.list; to != nullptr && !Stopping(); to = to->ai_next) {
            CSocket socket(::socket(to->ai_family, to->ai_socktype, to->ai_protocol));
            if (!socket) {
                error = WSAGetLastError();
                continue;
            }
            error = Connect(socket.Get(), *to, start);
            if (error == 0) {
                return socket;
            }
            if (error == WSAETIMEDOUT) {
                break; // the time is up for every address
            }
        }
        if (!Stopping()) {
            FailWithError(error);
        }
        return CSocket();
    }

    CSocket Listen()
    {
        CSocket socket(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
        if (!socket || !SetNonBlocking(socket.Get())) {
            FailWithError(WSAGetLastError());
            return CSocket();
        }
        sockaddr_in here = {};
        here.sin_family = AF_INET;
        here.sin_addr.s_addr = htonl(INADDR_ANY);
        here.sin_port = htons(address.port);
        // No SO_REUSEADDR: on Windows it would let this socket take the port from another.
        if (bind(socket.Get(), reinterpret_cast<const sockaddr*>(&here), sizeof here) != 0) {
            FailWithError(WSAGetLastError());
            return CSocket();
        }
        return socket;
    }

    // gpsd's one command, all of it, within kNetworkConnectMs.
    bool SendWatch(SOCKET socket)
    {
        const char* rest = kGpsdWatchCommand;
        int left = static_cast<int>(sizeof kGpsdWatchCommand - 1);
        const DWORD start = GetTickCount();
        while (left > 0) {
            if (Stopping()) {
                return false;
            }
            if (!StillWaiting(start, GetTickCount(), kNetworkConnectMs)) {
                Fail(NetworkFailure::TimedOut, WSAETIMEDOUT);
                return false;
            }
            const int sent = send(socket, rest, left, 0);
            if (sent > 0) {
                rest += sent;
                left -= sent;
                continue;
            }
            const int error = WSAGetLastError();
            if (sent == 0 || error != WSAEWOULDBLOCK) {
                FailWithError(sent == 0 ? WSAECONNRESET : error);
                return false;
            }
            fd_set writable;
            FD_ZERO(&writable);
            FD_SET(socket, &writable);
            timeval tv = PollTimeval();
            select(0, nullptr, &writable, nullptr, &tv);
        }
        return true;
    }

    void Read(SOCKET socket, bool datagrams)
    {
        char buffer[kNetworkReadBytes + 2];
        while (!Stopping()) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(socket, &readable);
            timeval tv = PollTimeval();
            const int ready = select(0, &readable, nullptr, nullptr, &tv);
            if (ready == SOCKET_ERROR) {
                FailWithError(WSAGetLastError());
                return;
            }
            if (ready == 0) {
                continue;
            }
            const int got = recv(socket, buffer, static_cast<int>(kNetworkReadBytes), 0);
            if (got > 0) {
                std::size_t count = static_cast<std::size_t>(got);
                if (datagrams && DatagramNeedsLineEnd(buffer, count)) {
                    buffer[count++] = '\r';
                    buffer[count++] = '\n';
                }
                Deliver(buffer, count);
                continue;
            }
            const int error = got == 0 ? 0 : WSAGetLastError();
            if (datagrams && (got == 0 || error == WSAEMSGSIZE || error == WSAECONNRESET)) {
                // An empty or oversized datagram, or an ICMP answer to someone's datagram: the
                // next one may be good.
                continue;
            }
            if (error == WSAEWOULDBLOCK) {
                continue;
            }
            Fail(got == 0 ? NetworkFailure::Closed : FailureFromSocketError(error), error);
            return;
        }
    }

    void Run()
    {
        CWinsock winsock;
        if (winsock.error != 0) {
            FailWithError(winsock.error);
            return;
        }
        const bool datagrams = address.transport == ReceiverTransport::Udp;
        CSocket socket = datagrams ? Listen() : ConnectToHost();
        if (!socket || Stopping()) {
            return;
        }
        connected = true;
        if (address.transport == ReceiverTransport::Gpsd && !SendWatch(socket.Get())) {
            return;
        }
        Read(socket.Get(), datagrams);
    }
};

CNetworkPort::~CNetworkPort()
{
    Close();
}

bool CNetworkPort::Open(const ReceiverAddress& address, IReceiveEvent* listener)
{
    if (m_shared || address.transport == ReceiverTransport::Serial) {
        return false;
    }
    auto shared = std::make_shared<Shared>();
    shared->address = address;
    shared->listener = listener;
    // The thread holds the state too: given up on, it ends with it by itself.
    auto* held = new std::shared_ptr<Shared>(shared);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, ThreadProc, held, 0, &id);
    if (thread == nullptr) {
        delete held;
        return false;
    }
    m_thread.Reset(thread);
    m_shared = shared;
    return true;
}

DWORD WINAPI CNetworkPort::ThreadProc(LPVOID param)
{
    std::unique_ptr<std::shared_ptr<Shared>> held(static_cast<std::shared_ptr<Shared>*>(param));
    (*held)->Run();
    return 0;
}

bool CNetworkPort::Connected() const
{
    return m_shared && m_shared->connected.load();
}

std::uint64_t CNetworkPort::BytesReceived() const
{
    return m_shared ? m_shared->bytes.load() : 0;
}

void CNetworkPort::Close()
{
    if (!m_shared) {
        return;
    }
    m_shared->stop = true;
    {
        std::lock_guard<std::mutex> guard(m_shared->lock);
        m_shared->listener = nullptr;
    }
    // Never terminated: a thread held in the resolver may hold its locks. One that is there
    // is not waited for either: it ends by itself once the resolver returns.
    if (!m_shared->resolving.load()) {
        WaitForSingleObject(m_thread.Get(), kStopWaitMs);
    }
    m_thread.Close();
    m_shared.reset();
}
