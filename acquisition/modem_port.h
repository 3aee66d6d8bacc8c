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

    // The window told of a complete answer (`message`) and of the reader's errors.
    void SetNotify(HWND window, UINT message, UINT errorMessage);
    // The dialogue fed with what the port reads; it is used under this port's lock only (With).
    bool Adopt(HANDLE device, const DCB& configured, CModemDialogue* dialogue);
    // Runs `f` with the reader held off the dialogue.
    template <class F> auto With(F f)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return f();
    }
    // Writes `command`; false when the write failed, the port having said why in its box.
    bool Write(const std::string& command);
    bool SetSpeed(unsigned baud) { return m_port.SetBaudRate(baud); }
    bool IsOpen() const { return m_port.IsOpen() != 0; }
    void Close();
    std::vector<std::wstring> TakeReadErrors();

    void OnReceive(const wchar_t*) override {}
    bool OnReceiveBytes(const char* bytes, std::size_t count) override;
    void OnReadError(const std::wstring& text) override;

private:
    std::mutex m_lock; // the dialogue, the window and the errors, shared with the reader thread
    CModemDialogue* m_dialogue = nullptr;
    HWND m_window = nullptr;
    UINT m_message = 0;
    UINT m_errorMessage = 0;
    std::vector<std::wstring> m_errors;
    CSerialPort m_port;
};

// The program's one modem.
extern CModemPort g_modem;
