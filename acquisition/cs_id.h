#pragma once

#include "acquisition/at_answer.h"
#include "acquisition/port_listener.h"
#include "acquisition/serial_port.h"

#include <windows.h>

#include <string>
#include <vector>

// The AT dialogue with the W-SIM module: sends the commands, collects each answer until
// it ends in "OK\r\n", tells a window when it is complete, and parses it. Its port is read
// through a listener of its own (the receiver's and the modem's is g_devicePort).
class CCsId : public IPortReader
{
public:
    CCsId();
    ~CCsId() override;
    CCsId(const CCsId&) = delete;
    CCsId& operator=(const CCsId&) = delete;

    // The window told of complete answers (`message`), of the reader's errors (`errorMessage`,
    // see TakeReadErrors) and of writes that failed (`writeErrorMessage`, see TakeWriteErrors);
    // it also owns the port's boxes.
    void SetNotify(HWND window, UINT message, UINT errorMessage = 0, UINT writeErrorMessage = 0);
    // The window that owns the port's boxes while no notify window is set.
    void SetBoxOwner(HWND owner) { Port().SetBoxOwner(owner); }
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
    // Writes `command` on the open port's writer thread, beside the caller: its answer is the next
    // one collected, and a failed write is told with the write-error message. False when the port
    // is not open.
    bool QueueCommand(const char* command);
    int TakeResponse(std::wstring& out);
    std::vector<std::wstring> TakeReadErrors() { return m_listener.TakeReadErrors(); }
    std::vector<std::wstring> TakeWriteErrors() { return m_listener.TakeWriteErrors(); }

    // Whether this object opened the port and has not closed it since.
    bool IsPortOpened() const { return m_bOpenedPort != 0; }

    static bool ParseCsId(const std::wstring& text, std::wstring& out);
    static bool ParseSimpleCoordinates(const std::wstring& text, std::wstring& out);

    CSerialPort& Port() { return m_listener.Port(); }

    // The bytes of one read, on the reader thread under the listener's lock: their text (up to
    // a NUL) is added to the answer; true once it ends in "OK\r\n".
    bool Feed(const char* bytes, std::size_t count) override;

private:
    void ClearAnswer();

    DWORD m_bOpenedPort;
    std::wstring m_strBuffer; // under the listener's lock
    CPortListener m_listener;
    std::wstring m_strDevice;
};

// The one W-SIM dialogue of the program.
extern CCsId g_csId;
