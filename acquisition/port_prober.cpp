#include "acquisition/port_prober.h"

#include "acquisition/serial_port.h"
#include "common/deadline.h"
#include "common/win_handle.h"

#include <algorithm>

namespace {

constexpr DWORD kReadChunk = 512;

bool Stopped(HANDLE stop)
{
    return WaitForSingleObject(stop, 0) == WAIT_OBJECT_0;
}

// The search's one read loop: what arrives within `ms`, handed to `probe` as soon as it
// arrives; false when the port failed. Waits on `stop` between two looks at the port.
bool ReadWithin(HANDLE device, HANDLE stop, DWORD ms, CPortProbe& probe)
{
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD errors = 0;
        COMSTAT status = {};
        if (!ClearCommError(device, &errors, &status)) {
            return false;
        }
        if (status.cbInQue > 0) {
            char buffer[kReadChunk];
            DWORD read = 0;
            if (!ReadFile(device, buffer, std::min<DWORD>(status.cbInQue, kReadChunk), &read, nullptr)) {
                return false;
            }
            probe.Feed(buffer, read);
            return true;
        }
        const DWORD left = RemainingWait(start, GetTickCount(), ms);
        if (left == 0 || WaitForSingleObject(stop, std::min(left, kProbePollMs)) == WAIT_OBJECT_0) {
            return true;
        }
    }
}

bool WriteCommand(HANDLE device, const std::string& command)
{
    DWORD written = 0;
    return WriteFile(device, command.data(), static_cast<DWORD>(command.size()), &written, nullptr) &&
           written == command.size();
}

} // namespace

PortFinding ProbePort(const std::wstring& port, HANDLE stop)
{
    PortFinding finding;
    finding.port = port;
    if (Stopped(stop)) {
        finding.kind = PortKind::Stopped;
        return finding;
    }
    // One attempt: a port that another program holds says so at once. No flow control, so that
    // a device wired with three wires answers too.
    DCB line = {};
    std::wstring error;
    DWORD failure = 0;
    CHandle device(CSerialPort::OpenDevice(LineSettings8N1(kSearchListenSpeeds[0]), port, 1, 0, nullptr, line, error,
                                           FlowControl::None, &failure));
    if (!device) {
        finding.kind = KindOfOpenFailure(failure);
        return finding;
    }

    CPortProbe probe;
    const DWORD opened = GetTickCount();
    for (;;) {
        if (Stopped(stop)) {
            finding.kind = PortKind::Stopped;
            return finding;
        }
        const ProbeStep step = probe.Next(GetTickCount() - opened);
        switch (step.what) {
        case ProbeStep::Do::SetSpeed:
            line.BaudRate = step.baud;
            if (!SetCommState(device.Get(), &line)) {
                probe.SpeedRefused();
            }
            PurgeComm(device.Get(), PURGE_RXABORT | PURGE_RXCLEAR);
            break;
        case ProbeStep::Do::Send:
            if (!WriteCommand(device.Get(), step.command)) {
                probe.LineFailed();
            }
            break;
        case ProbeStep::Do::Read:
            if (!ReadWithin(device.Get(), stop, step.readMs, probe)) {
                probe.LineFailed();
            }
            break;
        case ProbeStep::Do::Close: {
            const std::wstring name = finding.port;
            finding = probe.Finding();
            finding.port = name;
            return finding;
        }
        }
    }
}
