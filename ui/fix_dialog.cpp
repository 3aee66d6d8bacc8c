#include "ui/fix_dialog.h"

#include "acquisition/fix_wait.h"
#include "acquisition/network_rules.h"
#include "acquisition/port_listener.h"
#include "acquisition/port_search.h"
#include "acquisition/receiver_reader.h"
#include "resources/resource.h"
#include "ui/device_wait.h"

namespace {

constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMs = 250;

// The receiver's reader behind g_devicePort: it outlives the wait, since after a fix the port
// stays open and the rest of the fix's epoch is still read.
class CReceiverLine : public IPortReader
{
public:
    // On the reader thread, under the port's lock: told when the fix comes and when its epoch ends.
    bool Feed(const char* bytes, std::size_t count) override { return m_reader.Feed(bytes, count); }
    CReceiverReader& Reader() { return m_reader; }

private:
    CReceiverReader m_reader;
};
CReceiverLine g_receiverLine;

// A receiver's part of the wait, on a serial port or on the network: the wait decides on each
// tick and each time the fix moves on.
class CReceiverWait : public IWaitingDevice
{
public:
    CReceiverWait(const ReceiverAddress& address, std::optional<unsigned> baud, unsigned fixWaitSeconds,
                  bool accuracyWanted)
        : m_address(address), m_where(ReceiverAddressText(address)), m_fixWaitSeconds(fixWaitSeconds),
          m_wait(baud, fixWaitSeconds, accuracyWanted), m_networkWait(address.transport, fixWaitSeconds, accuracyWanted)
    {
    }

    void Begin(CDeviceWait& wait) override
    {
        const bool gpsd = m_address.transport == ReceiverTransport::Gpsd;
        g_devicePort.With([gpsd] { g_receiverLine.Reader().Reset(gpsd); });
        if (OnNetwork()) {
            BeginOnNetwork(wait, m_address, &g_receiverLine, L"測位中…", FixWaitProgressText(m_where));
        } else {
            BeginOnDevicePort(wait, m_wait.Speed(), m_where, L"測位中…", FixWaitProgressText(m_where),
                              NoReceiverText(m_where));
        }
    }

    void Opened(CDeviceWait& wait, HANDLE device, const DCB& configured, const std::wstring& error) override
    {
        if (OnNetwork() && !error.empty()) {
            wait.EndWait(kWaitFailed, WaitBox{error});
            return;
        }
        if (!OnNetwork() &&
            !AdoptDevicePort(wait, device, configured, error, m_where, &g_receiverLine, NoReceiverText(m_where))) {
            return;
        }
        m_opened = GetTickCount();
        m_started = true;
        wait.SetTimer(kTickTimer, kTickMs);
    }

    void Heard(CDeviceWait& wait) override { Judge(wait, false); }
    void TimerFired(CDeviceWait& wait, UINT_PTR) override { Judge(wait, false); }

    // The reader has ended (the port failed, the peer closed): a fix in hand goes on as its
    // epoch stands; without one, the reader's own words end the wait.
    void ReadFailed(CDeviceWait& wait) override
    {
        Judge(wait, true);
        wait.EndWait(kWaitFailed, WaitBox{FirstText(g_devicePort.TakeReadErrors(), NoReceiverText(m_where))});
    }

    void WriteFailed(CDeviceWait&) override {} // nothing is written to a receiver

    void Cancelled(CDeviceWait& wait) override { wait.EndSilently(kWaitFailed); }

    std::function<void()> Release(INT_PTR result, bool gone) override
    {
        g_devicePort.SetNotify(nullptr, 0, 0, 0);
        // Open until CloseFixPort: the browser waits for nothing, and the epoch goes on. gpsd's
        // fix is whole: gpsd is let go at once.
        if (result == kWaitDone && !gone && m_address.transport != ReceiverTransport::Gpsd) {
            return nullptr;
        }
        return [] { g_devicePort.Close(); };
    }

    const NmeaFix& Fix() const { return m_fix; }
    unsigned SpeedFound() const { return m_speedFound; }

private:
    bool OnNetwork() const { return m_address.transport != ReceiverTransport::Serial; }

    // A fix is judged before the wait: it goes on at once, or once its epoch is done.
    // `readerEnded`: nothing more of the fix's epoch can come.
    void Judge(CDeviceWait& wait, bool readerEnded)
    {
        if (!m_started) {
            return; // a connection may fail before its opening is told
        }
        ReceiverHeard heard;
        std::optional<NmeaFix> fix = g_devicePort.With([&heard] {
            g_receiverLine.Reader().Heard(heard);
            return g_receiverLine.Reader().Fix();
        });
        if (fix && readerEnded) {
            fix->epochDone = true;
        }
        const std::uint32_t elapsed = GetTickCount() - m_opened;
        if (OnNetwork()) {
            heard.connected = g_devicePort.Connected();
            heard.bytes = g_devicePort.BytesReceived();
            const NetworkWaitStep step = m_networkWait.Step(elapsed, heard, fix);
            if (step == NetworkWaitStep::HandOver) {
                m_fix = *fix;
                wait.EndSilently(kWaitDone);
            } else if (step != NetworkWaitStep::Listen) {
                wait.EndWait(kWaitFailed, WaitBox{NetworkWaitText(step, m_address, m_fixWaitSeconds)});
            }
            return;
        }
        switch (m_wait.Step(elapsed, heard.goodSentences, fix)) {
        case FixWaitStep::HandOver:
            m_fix = *fix;
            // A fix may come before the tick that would have told the speed found.
            m_speedFound = m_wait.SearchedSpeed() ? m_wait.Speed() : 0;
            wait.EndSilently(kWaitDone);
            break;
        case FixWaitStep::SwitchSpeed:
            if (!readerEnded) {
                g_devicePort.SetSpeed(m_wait.Speed());
                g_devicePort.With([] { g_receiverLine.Reader().Reset(); });
            }
            break;
        case FixWaitStep::NoReceiver:
            wait.EndWait(kWaitFailed, SearchOfferBox(ReceiverSearchOfferText(m_where)));
            break;
        case FixWaitStep::NoFix:
            wait.EndWait(kWaitFailed, WaitBox{NoFixText(m_wait.FixWaitMs() / 1000)});
            break;
        case FixWaitStep::SpeedFound:
        case FixWaitStep::Listen:
            break;
        }
    }

    ReceiverAddress m_address;
    std::wstring m_where; // how the texts name it
    unsigned m_fixWaitSeconds;
    CFixWait m_wait;               // a serial port's
    CNetworkFixWait m_networkWait; // a receiver's on the network
    bool m_started = false;
    DWORD m_opened = 0; // tick the port opened at (the connection was started at)
    NmeaFix m_fix;
    unsigned m_speedFound = 0;
};

} // namespace

std::optional<NmeaFix> ReceiverFix()
{
    return g_devicePort.With([] { return g_receiverLine.Reader().Fix(); });
}

void CloseFixPort()
{
    // Beside the window: the browser it started is loading now.
    StartPortRelease(nullptr, 0, [] { g_devicePort.Close(); });
}

INT_PTR ShowFixDialog(HINSTANCE instance, HWND parent, const ReceiverAddress& address, std::optional<unsigned> baud,
                      unsigned fixWaitSeconds, NmeaFix& fix, unsigned& speedFound, bool accuracyWanted)
{
    CReceiverWait receiver(address, baud, fixWaitSeconds, accuracyWanted);
    const INT_PTR result = RunDeviceWait(instance, parent, receiver);
    if (result != kWaitDone) {
        return result == kWaitSearchPorts ? kWaitSearchPorts : kWaitFailed;
    }
    fix = receiver.Fix();
    speedFound = receiver.SpeedFound();
    return kWaitDone;
}
