#include "ui/fix_dialog.h"

#include "acquisition/fix_wait.h"
#include "acquisition/port_listener.h"
#include "resources/resource.h"
#include "ui/device_wait.h"

namespace {

constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMs = 250;

// A receiver's part of the wait: its port's bytes go to the NMEA reader, and the fix wait
// decides on each tick.
class CReceiverWait : public IWaitingDevice, public IPortReader
{
public:
    CReceiverWait(const std::wstring& port, std::optional<unsigned> baud, unsigned fixWaitSeconds)
        : m_port(port), m_wait(baud, fixWaitSeconds)
    {
    }

    void Begin(CDeviceWait& wait) override
    {
        BeginOnDevicePort(wait, m_wait.Speed(), m_port, L"測位中…", FixWaitProgressText(m_port),
                          NoReceiverText(m_port));
    }

    void Opened(CDeviceWait& wait, HANDLE device, const DCB& configured, const std::wstring& error) override
    {
        if (!AdoptDevicePort(wait, device, configured, error, m_port, this, NoReceiverText(m_port))) {
            return;
        }
        m_opened = GetTickCount();
        wait.SetTimer(kTickTimer, kTickMs);
    }

    void Heard(CDeviceWait& wait) override { TakeFix(wait); }

    void TimerFired(CDeviceWait& wait, UINT_PTR) override
    {
        if (TakeFix(wait)) {
            return; // a fix is taken before the wait is judged
        }
        switch (
            m_wait.OnTick(GetTickCount() - m_opened, g_devicePort.With([this] { return m_reader.GoodSentences(); }))) {
        case FixWaitStep::SwitchSpeed:
            g_devicePort.SetSpeed(m_wait.Speed());
            g_devicePort.With([this] { m_reader.Reset(); });
            break;
        case FixWaitStep::NoReceiver:
            wait.EndWait(kWaitFailed, WaitBox{NoReceiverText(m_port)});
            break;
        case FixWaitStep::NoFix:
            wait.EndWait(kWaitFailed, WaitBox{NoFixText(m_wait.FixWaitMs() / 1000)});
            break;
        case FixWaitStep::SpeedFound:
        case FixWaitStep::Listen:
            break;
        }
    }

    // The reader has ended: no fix can come any more.
    void ReadFailed(CDeviceWait& wait) override
    {
        wait.EndWait(kWaitFailed, WaitBox{FirstText(g_devicePort.TakeReadErrors(), NoReceiverText(m_port))});
    }

    void WriteFailed(CDeviceWait&) override {} // nothing is written to a receiver

    void Cancelled(CDeviceWait& wait) override { wait.EndSilently(kWaitFailed); }

    std::function<void()> Release(INT_PTR result, bool gone) override
    {
        g_devicePort.SetNotify(nullptr, 0, 0, 0);
        g_devicePort.SetReader(nullptr); // this wait's reader goes with it
        if (result == kWaitDone && !gone) {
            return nullptr; // the caller closes it once the fix has gone on: the browser waits
        }
        return [] { g_devicePort.Close(); };
    }

    // On the reader thread, under the port's lock.
    bool Feed(const char* bytes, std::size_t count) override
    {
        m_reader.Feed(bytes, count);
        if (m_reader.Fix() && !m_told) {
            m_told = true;
            return true;
        }
        return false;
    }

    const NmeaFix& Fix() const { return m_fix; }
    unsigned SpeedFound() const { return m_speedFound; }

private:
    bool TakeFix(CDeviceWait& wait)
    {
        const std::optional<NmeaFix> fix = g_devicePort.With([this] { return m_reader.Fix(); });
        if (!fix) {
            return false;
        }
        m_fix = *fix;
        // A fix may come before the tick that would have told the speed found.
        m_speedFound = m_wait.SearchedSpeed() ? m_wait.Speed() : 0;
        wait.EndSilently(kWaitDone);
        return true;
    }

    std::wstring m_port;
    CFixWait m_wait;
    CNmeaReader m_reader; // fed on the reader thread, under the port's lock
    bool m_told = false;
    DWORD m_opened = 0; // tick the port opened at
    NmeaFix m_fix;
    unsigned m_speedFound = 0;
};

} // namespace

void CloseFixPort()
{
    // Beside the window: the browser it started is loading now.
    StartPortRelease(nullptr, 0, [] { g_devicePort.Close(); });
}

INT_PTR ShowFixDialog(HINSTANCE instance, HWND parent, const std::wstring& port, std::optional<unsigned> baud,
                      unsigned fixWaitSeconds, NmeaFix& fix, unsigned& speedFound)
{
    CReceiverWait receiver(port, baud, fixWaitSeconds);
    if (RunDeviceWait(instance, parent, receiver) != kWaitDone) {
        return kWaitFailed;
    }
    fix = receiver.Fix();
    speedFound = receiver.SpeedFound();
    return kWaitDone;
}
