#pragma once

#include "acquisition/modem_dialogue.h"
#include "acquisition/serial_port.h"

#include <windows.h>

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

// A cellular modem's AT port: commands go out one at a time, and the reader thread collects
// each answer; a complete one is told to a window. The port is opened elsewhere (on a worker)
// and adopted.
class CModemPort : public IReceiveEvent
{
public:
    CModemPort();
    ~CModemPort() override;
    CModemPort(const CModemPort&) = delete;
    CModemPort& operator=(const CModemPort&) = delete;

    // The line settings at `baud` (8 data bits, no parity, one stop bit); a USB modem's AT
    // The window told of a complete answer (`message`) and of the reader's errors.
    void SetNotify(HWND window, UINT message, UINT errorMessage);
    bool Adopt(HANDLE device, const DCB& configured);
    // Begins the answer to `command` (ending in "\r") and writes it; false when the write
    // failed, the port having said why in its box.
    bool Send(const std::string& command);
    // The answer so far: complete, or what came before its wait ended.
    ModemAnswer Answer();
    // Bytes read since the port was adopted: none at all means nothing answers on the port.
    std::size_t BytesHeard();
    void Close();
    std::vector<std::wstring> TakeReadErrors();

    void OnReceive(const wchar_t*) override {}
    bool OnReceiveBytes(const char* bytes, std::size_t count) override;
    void OnReadError(const std::wstring& text) override;

private:
    std::mutex m_lock; // the collector, the window and the errors, shared with the reader thread
    CModemAnswerCollector m_collector;
    HWND m_window = nullptr;
    UINT m_message = 0;
    UINT m_errorMessage = 0;
    bool m_told = false; // this answer's completion was told
    std::size_t m_heard = 0;
    std::vector<std::wstring> m_errors;
    CSerialPort m_port;
};

// The program's one modem.
extern CModemPort g_modem;
