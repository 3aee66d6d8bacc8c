#pragma once

#include "common/win_handle.h"

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

// Receives the text the serial reader thread reads. Called on the reader thread; the
// pointer is valid only during the call.
class IReceiveEvent
{
public:
    virtual ~IReceiveEvent() = default;
    virtual void OnReceive(const wchar_t* text) = 0;
    // The bytes as read, before any conversion (a NUL among them included). True when the
    // listener took them as bytes: no text is made of them then.
    virtual bool OnReceiveBytes(const char* /*bytes*/, std::size_t /*count*/) { return false; }
    // The reader failed and ends. Called on the reader thread, which must not show the text
    // itself: a box there would hold a thread that Close may have to end.
    virtual void OnReadError(const std::wstring& text) = 0;
};

// Line settings of `baud`, 8 data bits, no parity, one stop bit: what every module here speaks.
DCB LineSettings8N1(unsigned baud);

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
    // Closes an open port; `report` false closes it without a box (the program is ending).
    bool Close(bool report = true);
    // Sets another line speed on the open port; what is queued at the old one is dropped.
    bool SetBaudRate(DWORD baud);

    // Open's slow half, safe on any thread and touching no port: tries the device up to
    // `attempts` times `interval` ms apart (giving up early once `stop` says so) and sets it
    // up. The configured device, or INVALID_HANDLE_VALUE with `error` saying why.
    static HANDLE OpenDevice(DCB settings, const std::wstring& name, DWORD attempts, DWORD interval,
                             const std::function<bool()>& stop, DCB& configured, std::wstring& error);
    // Writes a command on a device OpenDevice has just set up, before any reader runs (its
    // output queue is empty, and the answer waits in the input queue); safe on any thread.
    // False, with `error` set as write_scc words it, when not all bytes went out.
    static bool WriteFirstCommand(HANDLE device, const char* command, std::wstring& error);
    // Open's other half: takes a device OpenDevice set up and starts the reader.
    bool Adopt(HANDLE device, const DCB& configured);
    DWORD OpenAttempts() const { return m_dwOpenAttempts; }
    DWORD AttemptInterval() const { return m_dwAttemptInterval; }

    void SetListener(IReceiveEvent* listener) { m_pListener = listener; }
    void SetPreReadPause(DWORD ms) { m_dwPreReadPause = ms; }
    // The window that owns the boxes this port shows on the caller's thread.
    void SetBoxOwner(HWND owner) { m_hBoxOwner = owner; }

private:
    void ShowError(const std::wstring& text) const;
    void ReportReadError(const std::wstring& text);
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
    HWND m_hBoxOwner = nullptr;

    friend class SerialPortTestAccess;
};
