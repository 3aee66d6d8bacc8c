#pragma once

#include "acquisition/nmea_reader.h"
#include "acquisition/serial_port.h"

#include <windows.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

// A GNSS receiver on a serial port: its reader thread feeds the bytes to an NMEA reader, and
// the first fix is told to a window. The port is opened elsewhere (on a worker) and adopted.
class CGnssReceiver : public IReceiveEvent
{
public:
    CGnssReceiver();
    ~CGnssReceiver() override;
    CGnssReceiver(const CGnssReceiver&) = delete;
    CGnssReceiver& operator=(const CGnssReceiver&) = delete;

    // The window told of the fix (`message`) and of the reader's errors (`errorMessage`).
    void SetNotify(HWND window, UINT message, UINT errorMessage);
    // Takes a device CSerialPort::OpenDevice set up; what it hears from now on is read.
    bool Adopt(HANDLE device, const DCB& configured);
    // Listens at another speed from now on; what was heard before is forgotten.
    bool SetSpeed(unsigned baud);
    void Close();
    bool IsOpen() const { return m_port.IsOpen() != 0; }

    unsigned GoodSentences();
    std::optional<NmeaFix> Fix();
    std::vector<std::wstring> TakeReadErrors();

    void OnReceive(const wchar_t*) override {}
    bool OnReceiveBytes(const char* bytes, std::size_t count) override;
    void OnReadError(const std::wstring& text) override;

private:
    std::mutex m_lock; // the reader, the window and the errors, shared with the reader thread
    CNmeaReader m_reader;
    HWND m_window = nullptr;
    UINT m_message = 0;
    UINT m_errorMessage = 0;
    bool m_told = false; // the fix was told
    std::vector<std::wstring> m_errors;
    CSerialPort m_port;
};

// The program's one receiver.
extern CGnssReceiver g_receiver;
