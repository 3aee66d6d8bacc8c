#pragma once

#include "acquisition/at_answer.h"
#include "acquisition/serial_port.h"

#include <windows.h>

#include <mutex>
#include <string>

// The AT dialogue with the W-SIM module: sends the commands, collects each answer until
// it ends in "OK\r\n", tells a window when it is complete, and parses it.
class CCsId : public IReceiveEvent
{
public:
    CCsId();
    ~CCsId() override;
    CCsId(const CCsId&) = delete;
    CCsId& operator=(const CCsId&) = delete;

    void SetNotify(HWND window, UINT message);
    // The device the next open uses ("COM1:" until set). A port left open on another device
    // (a failed acquisition keeps it) is closed, so that a changed PORT takes effect.
    void SetDeviceName(const std::wstring& name);
    void ClosePort();
    bool SendCommand(const char* command);
    bool SendAtK20();
    bool SendAtLbc1();
    bool SendAtLbcQuery();
    void OnReceive(const wchar_t* text) override;
    int TakeResponse(std::wstring& out);

    // Whether this object opened the port and has not closed it since.
    bool IsPortOpened() const { return m_bOpenedPort != 0; }

    static bool ParseCsId(const std::wstring& text, std::wstring& out);
    static bool ParseSimpleCoordinates(const std::wstring& text, std::wstring& out);

    CSerialPort& Port() { return m_port; }

private:
    DWORD m_bOpenedPort;
    HWND m_hNotifyWindow;
    UINT m_uNotifyMessage;
    std::mutex m_bufferMutex;
    std::wstring m_strBuffer;
    CSerialPort m_port;
    std::wstring m_strDevice;
};

// The one W-SIM dialogue of the program.
extern CCsId g_csId;
