#pragma once

#include "common/win_handle.h"

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
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
    // A write queued by WriteAsync failed (`text` says how). Called on the writer thread.
    virtual void OnWriteError(const std::wstring& /*text*/) {}
};

// Line settings of `baud`, 8 data bits, no parity, one stop bit: what every module here speaks.
DCB LineSettings8N1(unsigned baud);

// The box of a write that failed on `port`, with the platform's own words as its second line
// when `detail` is not empty.
std::wstring WriteFailureText(const std::wstring& port, const std::wstring& detail);

// Whether the port waits for the device's CTS before it sends. A device wired with three wires
// never asserts CTS, so only the W-SIM, whose CTS is wired in the handset, is asked for it.
// Either way DTR and RTS are raised while the port is open (a modem takes commands only with
// DTR up, and a device that watches RTS may send), DSR is not watched, and DTR drops at Close.
enum class FlowControl
{
    Cts,
    None,
};

// A serial device (the W-SIM's, a receiver's, a modem's), with its reader thread, which the line
// wakes (CSerialReader), and its writer thread.
class CSerialPort
{
public:
    CSerialPort();
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Only the baud rate, byte size, parity and stop bits of `settings` are used; the port waits
    // for CTS (FlowControl::Cts).
    bool Open(DCB settings, const wchar_t* deviceName);
    DWORD IsOpen() const { return m_dwOpen.load(); }
    // Writes on the caller's thread, waiting for the output queue first (at most the write
    // time-out); a failure is shown in a box.
    bool write_scc(const BYTE* bytes, const DWORD* count, DWORD* written);
    // Queues `bytes` for the port's writer thread, which writes them in order beside the caller
    // as write_scc does; a failure is told to the listener (OnWriteError), never in a box.
    // False when the port is not open.
    bool WriteAsync(std::string bytes);
    // Closes an open port; `report` false closes it without a box (the program is ending). The
    // reader and the writer get kStopWaitMs each, dropping DTR and closing the device
    // kCloseWaitMs: a driver stuck in its close keeps a thread of its own, not the caller.
    bool Close(bool report = true);
    static constexpr DWORD kStopWaitMs = 1000;
    static constexpr DWORD kCloseWaitMs = 500;
    // Sets another line speed on the open port; what is queued at the old one is dropped.
    bool SetBaudRate(DWORD baud);

    // Open's slow half, safe on any thread and touching no port: tries the device up to
    // `attempts` times `interval` ms apart (giving up early once `stop` says so) and sets it
    // up. The configured device, or INVALID_HANDLE_VALUE with `error` saying why and `failure`,
    // when given, the platform's code of the call that failed (0 when stopped before a try).
    // The device is opened for overlapped I/O: it is read with CSerialReader and written with
    // WriteFirstCommand (or by the writer thread once adopted), never with a plain ReadFile.
    static HANDLE OpenDevice(DCB settings, const std::wstring& name, DWORD attempts, DWORD interval,
                             const std::function<bool()>& stop, DCB& configured, std::wstring& error,
                             FlowControl flow = FlowControl::Cts, DWORD* failure = nullptr);
    // Writes a command on a device OpenDevice has set up and no writer thread writes to (before
    // any reader runs, its output queue is empty and the answer waits in the input queue); safe
    // on any thread. False, with `error` set as write_scc words it, when not all bytes went out.
    static bool WriteFirstCommand(HANDLE device, const char* command, std::wstring& error);
    // Open's other half: takes a device OpenDevice set up (named `name` in the boxes) and starts
    // the reader and the writer.
    bool Adopt(HANDLE device, const DCB& configured, const std::wstring& name);
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
    bool StartWriteThread();
    void StopWriteThread();
    static DWORD WINAPI WriteThreadProc(LPVOID param);
    // The drain wait and the write of write_scc, on any thread: false with `error` set.
    static bool WriteAll(HANDLE device, const BYTE* bytes, DWORD count, DWORD* written, std::wstring& error);
    static bool CloseDevice(HANDLE device, bool dropDtr, DWORD waitMs);
    // What closes a device (CloseHandle; a test puts a stuck driver in its place).
    static BOOL(WINAPI* s_closeDevice)(HANDLE device);

    DWORD m_dwReadThreadId;
    CHandle m_hReadThread;
    CHandle m_hReadStop; // set when the reader is to end
    // Shared with the reader thread.
    std::atomic<DWORD> m_dwPreReadPause;
    std::atomic<IReceiveEvent*> m_pListener;
    DWORD m_dwOpenAttempts;
    DWORD m_dwAttemptInterval;
    std::atomic<DWORD> m_dwOpen;
    std::atomic<HANDLE> m_hDevice;
    DCB m_dcb;
    HWND m_hBoxOwner = nullptr;
    std::wstring m_strName;
    // The writer thread's queue.
    CHandle m_hWriteThread;
    CHandle m_hWriteWake;
    std::mutex m_writeLock;
    std::deque<std::string> m_writes;
    bool m_bWriterStop = false;

    friend class SerialPortTestAccess;
};
