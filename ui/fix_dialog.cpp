#include "ui/fix_dialog.h"

#include "acquisition/fix_wait.h"
#include "acquisition/port_listener.h"
#include "acquisition/port_search.h"
#include "resources/resource.h"
#include "ui/device_wait.h"

namespace {

constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMs = 250;

// The receiver's NMEA reader behind g_devicePort: it outlives the wait, since after a fix the
// port stays open and the rest of the fix's epoch is still read.
class CReceiverLine : public IPortReader
{
public:
    // On the reader thread, under the port's lock: told when the fix comes and when its epoch ends.
    bool Feed(const char* bytes, std::size_t count) override
    {
        const FixProgress before = m_reader.Progress();
        m_reader.Feed(bytes, count);
        return m_reader.Progress() != before;
    }
    void Reset() { m_reader.Reset(); }
    unsigned GoodSentences() const { return m_reader.GoodSentences(); }
    std::optional<NmeaFix> Fix() const { return m_reader.Fix(); }

private:
    CNmeaReader m_reader;
};
CReceiverLine g_receiverLine;

// A receiver's part of the wait: the fix wait decides on each tick and each time the fix moves on.
class CReceiverWait : public IWaitingDevice
{
public:
    CReceiverWait(const std::wstring& port, std::optional<unsigned> baud, unsigned fixWaitSeconds, bool accuracyWanted)
        : m_port(port), m_wait(baud, fixWaitSeconds, accuracyWanted)
    {
    }

    void Begin(CDeviceWait& wait) override
    {
        g_devicePort.With([] { g_receiverLine.Reset(); });
        BeginOnDevicePort(wait, m_wait.Speed(), m_port, L"測位中…", FixWaitProgressText(m_port),
                          NoReceiverText(m_port));
    }

    void Opened(CDeviceWait& wait, HANDLE device, const DCB& configured, const std::wstring& error) override
    {
        if (!AdoptDevicePort(wait, device, configured, error, m_port, &g_receiverLine, NoReceiverText(m_port))) {
            return;
        }
        m_opened = GetTickCount();
        wait.SetTimer(kTickTimer, kTickMs);
    }

    void Heard(CDeviceWait& wait) override { Judge(wait); }
    void TimerFired(CDeviceWait& wait, UINT_PTR) override { Judge(wait); }

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
        if (result == kWaitDone && !gone) {
            // Open until CloseFixPort: the browser waits for nothing, and the epoch goes on.
            return nullptr;
        }
        return [] { g_devicePort.Close(); };
    }

    const NmeaFix& Fix() const { return m_fix; }
    unsigned SpeedFound() const { return m_speedFound; }

private:
    // A fix is judged before the wait: it goes on at once, or once its epoch is done.
    void Judge(CDeviceWait& wait)
    {
        unsigned good = 0;
        const std::optional<NmeaFix> fix = g_devicePort.With([&good] {
            good = g_receiverLine.GoodSentences();
            return g_receiverLine.Fix();
        });
        switch (m_wait.Step(GetTickCount() - m_opened, good, fix)) {
        case FixWaitStep::HandOver:
            m_fix = *fix;
            // A fix may come before the tick that would have told the speed found.
            m_speedFound = m_wait.SearchedSpeed() ? m_wait.Speed() : 0;
            wait.EndSilently(kWaitDone);
            break;
        case FixWaitStep::SwitchSpeed:
            g_devicePort.SetSpeed(m_wait.Speed());
            g_devicePort.With([] { g_receiverLine.Reset(); });
            break;
        case FixWaitStep::NoReceiver:
            wait.EndWait(kWaitFailed, SearchOfferBox(ReceiverSearchOfferText(m_port)));
            break;
        case FixWaitStep::NoFix:
            wait.EndWait(kWaitFailed, WaitBox{NoFixText(m_wait.FixWaitMs() / 1000)});
            break;
        case FixWaitStep::SpeedFound:
        case FixWaitStep::Listen:
            break;
        }
    }

    std::wstring m_port;
    CFixWait m_wait;
    DWORD m_opened = 0; // tick the port opened at
    NmeaFix m_fix;
    unsigned m_speedFound = 0;
};

} // namespace

std::optional<NmeaFix> ReceiverFix()
{
    return g_devicePort.With([] { return g_receiverLine.Fix(); });
}

void CloseFixPort()
{
    // Beside the window: the browser it started is loading now.
    StartPortRelease(nullptr, 0, [] { g_devicePort.Close(); });
}

INT_PTR ShowFixDialog(HINSTANCE instance, HWND parent, const std::wstring& port, std::optional<unsigned> baud,
                      unsigned fixWaitSeconds, NmeaFix& fix, unsigned& speedFound, bool accuracyWanted)
{
    CReceiverWait receiver(port, baud, fixWaitSeconds, accuracyWanted);
    const INT_PTR result = RunDeviceWait(instance, parent, receiver);
    if (result != kWaitDone) {
        return result == kWaitSearchPorts ? kWaitSearchPorts : kWaitFailed;
    }
    fix = receiver.Fix();
    speedFound = receiver.SpeedFound();
    return kWaitDone;
}
