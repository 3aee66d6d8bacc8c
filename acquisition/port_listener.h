#pragma once

#include "acquisition/network_port.h"
#include "acquisition/serial_port.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// What a device's reader does with what its port reads: a receiver's NMEA reader, a modem's
// dialogue. Called on the port's reader thread with the listener's lock held.
class IPortReader
{
public:
    virtual ~IPortReader() = default;
    // The bytes as read (any chunking, NULs included). True when the window is to be told now.
    virtual bool Feed(const char* bytes, std::size_t count) = 0;
};

// The port of a receiver or a modem: its reader thread hands the bytes to the device's reader
// under a lock, and the window learns of what the reader says is news, of the reader's failure
// and of a write that failed, each by a message of its own. Writes go out on the port's writer
// thread. The port is opened elsewhere (on a worker) and adopted. A receiver may be on the
// network instead: its connection's thread hands the bytes over the same way, and nothing is
// ever written to it.
class CPortListener : public IReceiveEvent
{
public:
    CPortListener();
    ~CPortListener() override;
    CPortListener(const CPortListener&) = delete;
    CPortListener& operator=(const CPortListener&) = delete;

    // The window told of news (`message`), of the reader's failure (`readError`) and of a failed
    // write (`writeError`); it also owns the port's boxes. Null: nobody is told. A reader that
    // failed while nobody listened is told to the next window.
    void SetNotify(HWND window, UINT message, UINT readError, UINT writeError);
    // Takes a device CSerialPort::OpenDevice set up, named `name`, and reads it into `reader`
    // (which must stay until Close).
    bool Adopt(HANDLE device, const DCB& configured, const std::wstring& name, IPortReader* reader);
    // Reads a receiver on the network into `reader` (which must stay until Close): the
    // connection is made on the transport's thread, and how it failed or ended comes as the
    // reader's failure. False when no thread could start.
    bool OpenNetwork(const ReceiverAddress& address, IPortReader* reader);
    bool IsOpen() const { return m_port.IsOpen() != 0 || m_network.IsOpen(); }
    // The network's connection stands (udp: the socket listens), and the bytes it brought.
    bool Connected() const { return m_network.Connected(); }
    std::uint64_t BytesReceived() const { return m_network.BytesReceived(); }
    // Another reader, or none (what is read is then dropped); returns once the reader thread is
    // off the old one.
    void SetReader(IPortReader* reader);
    // Runs `f` with the reader thread held off the device's reader.
    template <class F> auto With(F f)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return f();
    }
    // Another line speed from now on; what was queued at the old one is dropped.
    bool SetSpeed(unsigned baud) { return m_port.SetBaudRate(baud); }
    // Queues `bytes` for the writer thread; false when the serial port is not open (a receiver
    // on the network is never written to).
    bool Write(const std::string& bytes) { return m_port.WriteAsync(bytes); }
    // Closes the port or the connection (bounded, see CSerialPort::Close and CNetworkPort::Close)
    // without a box; the reader is forgotten.
    void Close();
    // The reader's failures (the reader has ended) and the writes that failed, since last asked.
    std::vector<std::wstring> TakeReadErrors();
    std::vector<std::wstring> TakeWriteErrors();
    CSerialPort& Port() { return m_port; }

    void OnReceive(const wchar_t*) override {}
    bool OnReceiveBytes(const char* bytes, std::size_t count) override;
    void OnReadError(const std::wstring& text) override;
    void OnWriteError(const std::wstring& text) override;

private:
    void Tell(std::vector<std::wstring>& errors, const std::wstring& text, UINT CPortListener::*message);

    std::mutex m_lock; // the reader, the window and the errors, shared with the port's threads
    IPortReader* m_reader = nullptr;
    HWND m_window = nullptr;
    UINT m_message = 0;
    UINT m_readError = 0;
    UINT m_writeError = 0;
    std::vector<std::wstring> m_readErrors;
    std::vector<std::wstring> m_writeErrors;
    CSerialPort m_port;
    CNetworkPort m_network;
};

// The port of the program's receiver or modem (one of them at a time; the W-SIM has its own).
extern CPortListener g_devicePort;
