#pragma once

#include "acquisition/at_answer.h"
#include "acquisition/serial_port.h"

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

// The AT dialogue with the W-SIM module: sends the commands, collects each answer until
// it ends in "OK\r\n", tells a window when it is complete, and parses it.
class CCsId : public IReceiveEvent
{
public:
    CCsId();
    ~CCsId() override;
    CCsId(const CCsId&) = delete;
    CCsId& operator=(const CCsId&) = delete;

    // The window told of complete answers (`message`) and of the reader's errors
    // (`errorMessage`, see TakeReadErrors); it also owns the port's boxes.
    void SetNotify(HWND window, UINT message, UINT errorMessage = 0);
    // The window that owns the port's boxes while no notify window is set.
    void SetBoxOwner(HWND owner) { m_port.SetBoxOwner(owner); }
    // The device the next open uses ("COM1:" until set). A port left open on another device
    // (a failed acquisition keeps it) is closed, so that a changed PORT takes effect.
    void SetDeviceName(const std::wstring& name);
    // Closes the port this object opened; `report` false shows no box (the program is ending).
    void ClosePort(bool report = true);
    // The device the next open uses, and what a port opened elsewhere (CSerialPort::OpenDevice
    // on a worker) needs to be set up as this object's own.
    const std::wstring& DeviceName() const { return m_strDevice; }
    static DCB LineSettings();
    // The command text of SendAtK20 and SendAtLbc1, for a first command written elsewhere.
    static const char* FirstCommand(bool simpleCoordinates);
    // Takes a port opened elsewhere whose first command has been written: its answer is the
    // next one collected.
    bool AdoptPort(HANDLE device, const DCB& configured);
    bool SendCommand(const char* command);
    bool SendAtK20();
    bool SendAtLbc1();
    bool SendAtLbcQuery();
    void OnReceive(const wchar_t* text) override;
    // Kept for the notify window, which is told with its error message: the reader thread
    // never shows a box itself.
    void OnReadError(const std::wstring& text) override;
    int TakeResponse(std::wstring& out);
    std::vector<std::wstring> TakeReadErrors();

    // Whether this object opened the port and has not closed it since.
    bool IsPortOpened() const { return m_bOpenedPort != 0; }

    static bool ParseCsId(const std::wstring& text, std::wstring& out);
    static bool ParseSimpleCoordinates(const std::wstring& text, std::wstring& out);

    CSerialPort& Port() { return m_port; }

private:
    DWORD m_bOpenedPort;
    HWND m_hNotifyWindow;
    UINT m_uNotifyMessage;
    UINT m_uErrorMessage;
    std::mutex m_bufferMutex; // also guards the notify window, its messages and the errors
    std::wstring m_strBuffer;
    std::vector<std::wstring> m_readErrors;
    CSerialPort m_port;
    std::wstring m_strDevice;
};

// The one W-SIM dialogue of the program.
extern CCsId g_csId;
