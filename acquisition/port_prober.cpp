#include "acquisition/port_prober.h"

#include "acquisition/serial_port.h"
#include "acquisition/serial_reader.h"
#include "common/win_handle.h"

namespace {

bool Stopped(HANDLE stop)
{
    return WaitForSingleObject(stop, 0) == WAIT_OBJECT_0;
}

// The search's one read: what arrives within `ms`, handed to `probe` as soon as it arrives;
// false when the port failed. The line or `stop` wakes it, whichever comes first.
bool ReadWithin(CSerialReader& reader, HANDLE stop, DWORD ms, CPortProbe& probe)
{
    switch (reader.Read(stop, ms)) {
    case CSerialReader::Result::Bytes:
        probe.Feed(reader.Bytes(), reader.Count());
        return true;
    case CSerialReader::Result::Failed:
        return false;
    case CSerialReader::Result::Quiet:
    case CSerialReader::Result::Stopped: // the caller's loop sees the stop
        break;
    }
    return true;
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
    CSerialReader reader(device.Get());
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
        case ProbeStep::Do::Send: {
            std::wstring writeError;
            if (!CSerialPort::WriteFirstCommand(device.Get(), step.command.c_str(), writeError)) {
                probe.LineFailed();
            }
            break;
        }
        case ProbeStep::Do::Read:
            if (!ReadWithin(reader, stop, step.readMs, probe)) {
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
