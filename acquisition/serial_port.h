#pragma once

#include "common/win_handle.h"

#include <windows.h>

#include <atomic>

// Receives the text the serial reader thread reads. Called on the reader thread; the
// pointer is valid only during the call.
class IReceiveEvent
{
public:
    virtual ~IReceiveEvent() = default;
    virtual void OnReceive(const wchar_t* text) = 0;
};

// The serial device the W-SIM module is reached through, with its polling reader thread.
class CSerialPort
{
public:
    CSerialPort();
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Only the baud rate, byte size, parity and stop bits of `settings` are used.
    bool Open(DCB settings, const wchar_t* deviceName);
    DWORD IsOpen() const { return m_dwOpen.load(); }
    bool write_scc(const BYTE* bytes, const DWORD* count, DWORD* written);
    bool Close();

    void SetListener(IReceiveEvent* listener) { m_pListener = listener; }
    void SetPreReadPause(DWORD ms) { m_dwPreReadPause = ms; }

private:
    bool StartReadThread();
    void StopReadThread();
    static DWORD WINAPI ReadThreadProc(LPVOID param);

    DWORD m_dwReadThreadId;
    CHandle m_hReadThread;
    // Shared with the reader thread.
    std::atomic<DWORD> m_dwPreReadPause;
    std::atomic<IReceiveEvent*> m_pListener;
    DWORD m_dwOpenAttempts;
    DWORD m_dwAttemptInterval;
    std::atomic<DWORD> m_dwOpen;
    std::atomic<HANDLE> m_hDevice;
    DCB m_dcb;

    friend class SerialPortTestAccess;
};
