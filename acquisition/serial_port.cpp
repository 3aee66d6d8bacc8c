#include "acquisition/serial_port.h"

#include "acquisition/serial_reader.h"
#include "acquisition/serial_rules.h"
#include "common/ansi_text.h"
#include "common/deadline.h"
#include "common/message_box.h"
#include "common/texts.h"
#include "resources/resource.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace {

constexpr DWORD kPollMs = 10;
// Handheld-only extended function: infrared mode off. Desktop drivers reject it.
constexpr DWORD kClrIr = 11;

// Writes on a device opened for overlapped I/O and waits for the write to end, which the
// device's write time-out bounds, as a write on the caller's thread always was.
BOOL WriteAndWait(HANDLE device, const void* bytes, DWORD count, DWORD* done)
{
    *done = 0;
    CHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event) {
        return FALSE;
    }
    OVERLAPPED overlapped = {};
    overlapped.hEvent = event.Get();
    if (WriteFile(device, bytes, count, done, &overlapped)) {
        return TRUE;
    }
    if (GetLastError() != ERROR_IO_PENDING) {
        return FALSE;
    }
    return GetOverlappedResult(device, &overlapped, done, TRUE);
}

// An opening that failed with the platform's `code`, told to the caller who asked for it.
HANDLE Failed(DWORD code, DWORD* failure)
{
    if (failure != nullptr) {
        *failure = code;
    }
    return INVALID_HANDLE_VALUE;
}

// Waits for a thread of the port to end by itself, and ends it when it does not in time.
void StopThread(CHandle& thread, DWORD waitMs)
{
    if (!thread) {
        return;
    }
    DWORD wait = WaitForSingleObject(thread.Get(), waitMs);
    if (wait == WAIT_FAILED) {
        TerminateThread(thread.Get(), 10);
    } else if (wait == WAIT_TIMEOUT) {
        TerminateThread(thread.Get(), 20);
    }
    DWORD exitCode = 0;
    GetExitCodeThread(thread.Get(), &exitCode);
    thread.Close();
}

} // namespace

BOOL(WINAPI* CSerialPort::s_closeDevice)(HANDLE device) = CloseHandle;

std::wstring WriteFailureText(const std::wstring& port, const std::wstring& detail)
{
    return detail.empty() ? Text(IDS_SERIAL_WRITE_FAILED, {port}) : Text(IDS_SERIAL_WRITE_FAILED_WHY, {port, detail});
}

DCB LineSettings8N1(unsigned baud)
{
    DCB settings = {};
    settings.DCBlength = sizeof(DCB);
    settings.BaudRate = baud;
    settings.ByteSize = 8;
    settings.Parity = NOPARITY;
    settings.StopBits = ONESTOPBIT;
    return settings;
}

CSerialPort::CSerialPort()
    : m_dwReadThreadId(0), m_dwPreReadPause(0), m_pListener(nullptr), m_dwOpenAttempts(30), m_dwAttemptInterval(100),
      m_dwOpen(0), m_hDevice(INVALID_HANDLE_VALUE), m_dcb()
{
    m_dcb.DCBlength = sizeof(DCB);
    m_dcb.BaudRate = CBR_9600;
    m_dcb.ByteSize = 8;
    m_dcb.Parity = NOPARITY;
    m_dcb.StopBits = ONESTOPBIT;
}

CSerialPort::~CSerialPort()
{
    // Tell a reader and a writer that may still run to end before the handle goes away.
    CHandle device(m_hDevice.exchange(INVALID_HANDLE_VALUE));
    StopReadThread();
    StopWriteThread();
}

void CSerialPort::ShowError(const std::wstring& text) const
{
    ShowErrorBox(m_hBoxOwner, text);
}

bool CSerialPort::Open(DCB settings, const wchar_t* deviceName)
{
    if (m_dwOpen != 0) {
        return false;
    }
    DCB configured = {};
    std::wstring error;
    const std::wstring name = deviceName != nullptr ? deviceName : L"";
    HANDLE device =
        OpenDevice(settings, name, m_dwOpenAttempts, m_dwAttemptInterval, nullptr, configured, error, FlowControl::Cts);
    if (device == INVALID_HANDLE_VALUE) {
        ShowError(error);
        return false;
    }
    return Adopt(device, configured, name);
}

HANDLE CSerialPort::OpenDevice(DCB settings, const std::wstring& name, DWORD attempts, DWORD interval,
                               const std::function<bool()>& stop, DCB& configured, std::wstring& error,
                               FlowControl flow, DWORD* failure)
{
    // A device that cannot be set up is closed again at once: it is opened without
    // sharing, so keeping it would make every later attempt fail.
    CHandle device;
    DWORD openFailure = 0;
    for (DWORD attempt = 0; attempt < attempts && !(stop && stop()); ++attempt) {
        // Overlapped, so that the reader waits for the line beside the writer (CSerialReader).
        device.Reset(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OVERLAPPED, nullptr));
        if (device) {
            break;
        }
        openFailure = GetLastError();
        Sleep(interval);
    }
    if (!device) {
        error = Text(IDS_SERIAL_OPEN_FAILED, {name});
        return Failed(openFailure, failure);
    }

    COMMTIMEOUTS timeouts = {};
    timeouts.ReadIntervalTimeout = kReadGapMs;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = kWriteTimeoutPerByteMs;
    timeouts.WriteTotalTimeoutConstant = kWriteTimeoutConstantMs;
    if (!SetCommTimeouts(device.Get(), &timeouts)) {
        const DWORD code = GetLastError();
        error = Text(IDS_SERIAL_NOT_SERIAL);
        return Failed(code, failure);
    }

    configured = DCB{};
    configured.DCBlength = sizeof(DCB);
    if (!GetCommState(device.Get(), &configured)) {
        const DWORD code = GetLastError();
        error = Text(IDS_SERIAL_GET_STATE_FAILED);
        return Failed(code, failure);
    }
    configured.fOutxCtsFlow = flow == FlowControl::Cts;
    configured.fOutxDsrFlow = FALSE;
    configured.fDtrControl = DTR_CONTROL_ENABLE;
    configured.fRtsControl = RTS_CONTROL_ENABLE;
    configured.fOutX = FALSE;
    configured.fInX = FALSE;
    configured.BaudRate = settings.BaudRate;
    configured.ByteSize = settings.ByteSize;
    configured.Parity = settings.Parity;
    configured.StopBits = settings.StopBits;
    if (!SetCommState(device.Get(), &configured)) {
        const DWORD code = GetLastError();
        error = Text(IDS_SERIAL_SET_STATE_FAILED);
        return Failed(code, failure);
    }

    EscapeCommFunction(device.Get(), kClrIr);
    PurgeComm(device.Get(), PURGE_RXABORT | PURGE_RXCLEAR);
    return device.Detach();
}

bool CSerialPort::WriteFirstCommand(HANDLE device, const char* command, std::wstring& error)
{
    const DWORD count = static_cast<DWORD>(std::strlen(command));
    DWORD done = 0;
    const BOOL ok = WriteAndWait(device, command, count, &done);
    if (!IsWholeWrite(ok != FALSE, count, done)) {
        error = Text(IDS_SERIAL_WRITE_NOT_DONE);
        return false;
    }
    return true;
}

bool CSerialPort::Adopt(HANDLE device, const DCB& configured, const std::wstring& name)
{
    if (m_dwOpen != 0) {
        CloseHandle(device);
        return false;
    }
    m_dcb = configured;
    m_strName = name;
    m_hDevice = device;
    if (!StartReadThread()) {
        return false;
    }
    if (!StartWriteThread()) {
        CHandle closing(m_hDevice.exchange(INVALID_HANDLE_VALUE));
        StopReadThread();
        return false;
    }
    m_dwOpen = 1;
    return true;
}

bool CSerialPort::StartReadThread()
{
    m_hReadStop.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    DWORD id = 0;
    CHandle thread(m_hReadStop ? CreateThread(nullptr, 0, ReadThreadProc, this, 0, &id) : nullptr);
    if (!thread) {
        CHandle(m_hDevice.exchange(INVALID_HANDLE_VALUE)).Close();
        m_dwOpen = 0;
        return false;
    }
    m_dwReadThreadId = id;
    m_hReadThread = std::move(thread);
    return true;
}

void CSerialPort::StopReadThread()
{
    if (!m_hReadThread) {
        return;
    }
    // The reader waits on this beside the line, polling or not: it ends at once.
    SetEvent(m_hReadStop.Get());
    StopThread(m_hReadThread, kStopWaitMs);
    m_hReadStop.Close();
}

bool CSerialPort::StartWriteThread()
{
    {
        std::lock_guard<std::mutex> lock(m_writeLock);
        m_writes.clear();
        m_bWriterStop = false;
    }
    m_hWriteWake.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!m_hWriteWake) {
        return false;
    }
    m_hWriteThread.Reset(CreateThread(nullptr, 0, WriteThreadProc, this, 0, nullptr));
    return static_cast<bool>(m_hWriteThread);
}

void CSerialPort::StopWriteThread()
{
    if (!m_hWriteThread) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_writeLock);
        m_bWriterStop = true;
        m_writes.clear();
    }
    SetEvent(m_hWriteWake.Get());
    // A write in progress ends with its time-out; a driver that holds it longer is not waited for.
    StopThread(m_hWriteThread, kStopWaitMs);
    m_hWriteWake.Close();
}

bool CSerialPort::WriteAsync(std::string bytes)
{
    if (m_dwOpen != 1 || bytes.empty()) {
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_writeLock);
        m_writes.push_back(std::move(bytes));
    }
    SetEvent(m_hWriteWake.Get());
    return true;
}

DWORD WINAPI CSerialPort::WriteThreadProc(LPVOID param)
{
    CSerialPort* port = static_cast<CSerialPort*>(param);
    for (;;) {
        std::string bytes;
        {
            std::lock_guard<std::mutex> lock(port->m_writeLock);
            if (port->m_bWriterStop) {
                return 0;
            }
            if (!port->m_writes.empty()) {
                bytes = std::move(port->m_writes.front());
                port->m_writes.pop_front();
            }
        }
        if (bytes.empty()) {
            WaitForSingleObject(port->m_hWriteWake.Get(), INFINITE);
            continue;
        }
        const HANDLE device = port->m_hDevice.load();
        if (device == INVALID_HANDLE_VALUE) {
            return 0;
        }
        std::wstring error;
        DWORD written = 0;
        if (!WriteAll(device, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), &written,
                      error)) {
            if (IReceiveEvent* listener = port->m_pListener.load()) {
                listener->OnWriteError(error);
            }
        }
    }
}

DWORD WINAPI CSerialPort::ReadThreadProc(LPVOID param)
{
    CSerialPort* port = static_cast<CSerialPort*>(param);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);

    const HANDLE device = port->m_hDevice.load();
    if (device == INVALID_HANDLE_VALUE) {
        return 0;
    }
    CSerialReader reader(device);
    for (;;) {
        switch (reader.Read(port->m_hReadStop.Get(), INFINITE)) {
        case CSerialReader::Result::Stopped:
            return 0;
        case CSerialReader::Result::Failed:
            if (reader.FailedCall() == CSerialReader::Call::ClearCommError) {
                port->ReportReadError(
                    Text(IDS_SERIAL_READ_STATE_FAILED, {HexText(reader.CommErrors()), HexText(reader.LastError())}));
            } else {
                port->ReportReadError(Text(IDS_SERIAL_READ_FAILED));
            }
            return 0;
        case CSerialReader::Result::Quiet:
            continue;
        case CSerialReader::Result::Bytes:
            break;
        }
        if (DWORD pause = port->m_dwPreReadPause.load()) {
            Sleep(pause);
        }
        IReceiveEvent* listener = port->m_pListener.load();
        if (listener != nullptr && !listener->OnReceiveBytes(reader.Bytes(), reader.Count())) {
            std::wstring text = AnsiToWide(reader.Bytes(), reader.Count());
            listener->OnReceive(text.c_str());
        }
    }
}

bool CSerialPort::write_scc(const BYTE* bytes, const DWORD* count, DWORD* written)
{
    if (count == nullptr || *count == 0 || bytes == nullptr) {
        return false;
    }
    std::wstring error;
    if (!WriteAll(m_hDevice.load(), bytes, *count, written, error)) {
        ShowError(WriteFailureText(m_strName, error));
        return false;
    }
    return true;
}

bool CSerialPort::WriteAll(HANDLE device, const BYTE* bytes, DWORD count, DWORD* written, std::wstring& error)
{
    // A module that holds CTS low keeps the queue full: the wait ends with the write time-out.
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD errors = 0;
        COMSTAT status = {};
        if (!ClearCommError(device, &errors, &status)) {
            DWORD lastError = GetLastError();
            error = Text(IDS_SERIAL_WRITE_STATE_FAILED, {HexText(errors), HexText(lastError)});
            return false;
        }
        const DWORD now = GetTickCount();
        DrainStep step = NextDrainStep(status.cbOutQue, count, start, now);
        if (step == DrainStep::Write) {
            break;
        }
        if (step == DrainStep::Fail) {
            error = Text(IDS_SERIAL_WRITE_NOT_DONE);
            return false;
        }
        Sleep(std::min<DWORD>(kPollMs, RemainingWait(start, now, WriteTimeoutMs(count))));
    }
    DWORD done = 0;
    BOOL ok = WriteAndWait(device, bytes, count, &done);
    if (written != nullptr) {
        *written = done;
    }
    if (!IsWholeWrite(ok != FALSE, count, done)) {
        error = Text(IDS_SERIAL_WRITE_NOT_DONE);
        return false;
    }
    return true;
}

void CSerialPort::ReportReadError(const std::wstring& text)
{
    if (IReceiveEvent* listener = m_pListener.load()) {
        listener->OnReadError(text);
    }
}

bool CSerialPort::SetBaudRate(DWORD baud)
{
    HANDLE device = m_hDevice.load();
    if (m_dwOpen != 1 || device == INVALID_HANDLE_VALUE) {
        return false;
    }
    m_dcb.BaudRate = baud;
    const bool set = SetCommState(device, &m_dcb) != FALSE;
    PurgeComm(device, PURGE_RXABORT | PURGE_RXCLEAR);
    return set;
}

bool CSerialPort::Close(bool report)
{
    if (m_dwOpen != 1) {
        return false;
    }
    m_dwOpen = 0;
    HANDLE device = m_hDevice.exchange(INVALID_HANDLE_VALUE);
    StopReadThread();
    StopWriteThread();
    if (!CloseDevice(device, true, kCloseWaitMs)) {
        if (report) {
            ShowError(Text(IDS_SERIAL_CLOSE_FAILED));
        }
        return false;
    }
    return true;
}

namespace {

// A device being closed, shared by the caller and the thread that closes it, which may outlive
// the caller's wait.
struct Closing
{
    HANDLE device = INVALID_HANDLE_VALUE;
    bool dropDtr = false;
    BOOL(WINAPI* close)(HANDLE) = nullptr;
    std::atomic<bool> closed{false};
};

DWORD WINAPI CloseThreadProc(LPVOID param)
{
    std::unique_ptr<std::shared_ptr<Closing>> owned(static_cast<std::shared_ptr<Closing>*>(param));
    Closing& c = **owned;
    if (c.dropDtr) {
        EscapeCommFunction(c.device, CLRDTR);
    }
    c.closed = c.close(c.device) != FALSE;
    return 0;
}

} // namespace

bool CSerialPort::CloseDevice(HANDLE device, bool dropDtr, DWORD waitMs)
{
    auto closing = std::make_shared<Closing>();
    closing->device = device;
    closing->dropDtr = dropDtr;
    closing->close = s_closeDevice;
    auto* shared = new std::shared_ptr<Closing>(closing);
    CHandle thread(CreateThread(nullptr, 0, CloseThreadProc, shared, 0, nullptr));
    if (!thread) {
        delete shared;
        if (dropDtr) {
            EscapeCommFunction(device, CLRDTR);
        }
        return s_closeDevice(device) != FALSE;
    }
    // A driver stuck in its close keeps that thread until the process ends.
    return WaitForSingleObject(thread.Get(), waitMs) == WAIT_OBJECT_0 && closing->closed;
}
