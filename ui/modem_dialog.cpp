#include "ui/modem_dialog.h"

#include "acquisition/port_listener.h"
#include "acquisition/port_search.h"
#include "resources/resource.h"
#include "ui/device_wait.h"

#include <memory>

namespace {

constexpr UINT_PTR kAnswerTimer = 1;
constexpr UINT_PTR kDeadlineTimer = 2;
// The formats put back after the wait has ended take at most this long.
constexpr DWORD kPutBackMs = 5000;

// The dialogue and what the port feeds it, shared with the release, which may outlive the dialog.
struct ModemLine : IPortReader
{
    ModemLine(const std::wstring& port, std::optional<unsigned> baud) : dialogue(port, baud) {}
    // On the reader thread, under the port's lock.
    bool Feed(const char* bytes, std::size_t count) override { return dialogue.Feed(std::string_view(bytes, count)); }
    CModemDialogue dialogue;
};

template <class F> auto With(ModemLine& line, F f)
{
    return g_devicePort.With([&] { return f(line.dialogue); });
}

// What the dialogue decided, taken under the port's lock.
ModemOutcome DecidedOutcome(ModemLine& line)
{
    ModemOutcome outcome;
    g_devicePort.With([&] { outcome = line.dialogue.Outcome(); });
    return outcome;
}

// The rest of the dialogue, the formats put back, on the release's worker: each command
// written, its answer awaited within its wait, while the port's reader feeds the dialogue.
void PutBack(ModemLine& line, ModemAction action)
{
    const DWORD start = GetTickCount();
    while (!With(line, [](CModemDialogue& d) { return d.Ended(); }) && GetTickCount() - start < kPutBackMs) {
        if (action.command.empty() && action.waitMs == 0) {
            break; // nothing awaited
        }
        if (action.speed != 0) {
            g_devicePort.SetSpeed(action.speed);
        }
        if (!action.command.empty() && !g_devicePort.Write(action.command)) {
            break;
        }
        const DWORD asked = GetTickCount();
        bool ready = false;
        while (!(ready = With(line, [](CModemDialogue& d) { return d.AnswerReady(); })) &&
               GetTickCount() - asked < action.waitMs) {
            Sleep(10);
        }
        action = With(line, [ready](CModemDialogue& d) { return ready ? d.OnAnswer() : d.OnWaitEnded(); });
    }
}

// A modem's part of the wait: its port's bytes go to the dialogue, which says what to write and
// how long to wait; once it has decided, its release puts the formats back and closes the port.
class CModemWait : public IWaitingDevice
{
public:
    CModemWait(const std::wstring& port, std::optional<unsigned> baud)
        : m_port(port), m_line(std::make_shared<ModemLine>(port, baud))
    {
    }

    void Begin(CDeviceWait& wait) override
    {
        wait.SetTimer(kDeadlineTimer, kModemDeadlineMs);
        BeginOnDevicePort(wait, m_line->dialogue.FirstSpeed(), m_port, L"取得中…", ModemProgressText(m_port),
                          ModemSilentText(m_port));
    }

    void Opened(CDeviceWait& wait, HANDLE device, const DCB& configured, const std::wstring& error) override
    {
        if (!AdoptDevicePort(wait, device, configured, error, m_port, m_line.get(), ModemSilentText(m_port))) {
            return;
        }
        Perform(wait, With(*m_line, [](CModemDialogue& d) { return d.Start(); }));
    }

    void Heard(CDeviceWait& wait) override
    {
        // A stale notice (its answer already taken when its wait ended) changes nothing.
        Perform(wait, With(*m_line, [](CModemDialogue& d) { return d.OnAnswer(); }));
    }

    void TimerFired(CDeviceWait& wait, UINT_PTR id) override
    {
        if (id == kAnswerTimer) {
            wait.KillTimer(kAnswerTimer);
            Perform(wait, With(*m_line, [](CModemDialogue& d) { return d.OnWaitEnded(); }));
        } else if (id == kDeadlineTimer) {
            const std::wstring box = ModemTimeoutText(kModemDeadlineMs / 1000);
            Perform(wait, With(*m_line, [&box](CModemDialogue& d) { return d.Stop(box); }));
        }
    }

    // The reader has ended, or a write failed: nothing more can be asked or put back.
    void ReadFailed(CDeviceWait& wait) override
    {
        m_portFailed = true;
        wait.EndWait(kWaitFailed, WaitBox{FirstText(g_devicePort.TakeReadErrors(), ModemSilentText(m_port))});
    }

    void WriteFailed(CDeviceWait& wait) override
    {
        g_devicePort.TakeWriteErrors();
        m_portFailed = true;
        wait.EndWait(kWaitFailed, WaitBox{WriteFailureText(m_port, std::wstring())});
    }

    void Cancelled(CDeviceWait& wait) override
    {
        if (!g_devicePort.IsOpen()) {
            wait.EndSilently(kWaitFailed); // still opening: nothing was asked
            return;
        }
        Perform(wait, With(*m_line, [](CModemDialogue& d) { return d.Stop(); }));
    }

    std::function<void()> Release(INT_PTR, bool) override
    {
        g_devicePort.SetNotify(nullptr, 0, 0, 0);
        if (!g_devicePort.IsOpen()) {
            g_devicePort.SetReader(nullptr);
            return nullptr; // a device still opening is closed by its worker
        }
        std::shared_ptr<ModemLine> line = m_line;
        const ModemAction next = m_next;
        const bool putBack = !m_portFailed;
        return [line, next, putBack] {
            if (putBack) {
                // Taken down before the dialogue decided (the program is ending): it stops here.
                const bool decided = With(*line, [](CModemDialogue& d) { return d.Ended() || d.PuttingBack(); });
                PutBack(*line, decided ? next : With(*line, [](CModemDialogue& d) { return d.Stop(); }));
            }
            g_devicePort.Close();
        };
    }

    const CellTower& Cell() const { return m_cell; }

private:
    void Perform(CDeviceWait& wait, const ModemAction& action)
    {
        const bool decided = With(*m_line, [](CModemDialogue& d) { return d.Ended() || d.PuttingBack(); });
        if (decided) {
            // The formats are put back by the release, beginning with this action.
            m_next = action;
            const ModemOutcome outcome = DecidedOutcome(*m_line);
            if (outcome.step == ModemStep::Cell) {
                m_cell = outcome.cell;
                wait.EndSilently(kWaitDone);
            } else if (outcome.silent) {
                wait.EndWait(kWaitFailed, SearchOfferBox(ModemSearchOfferText(m_port)));
            } else {
                wait.EndWait(kWaitFailed, WaitBox{outcome.message});
            }
            return;
        }
        if (action.speed != 0) {
            g_devicePort.SetSpeed(action.speed);
        }
        if (!action.command.empty()) {
            g_devicePort.Write(action.command);
        }
        if (action.waitMs != 0) {
            wait.SetTimer(kAnswerTimer, action.waitMs);
        }
    }

    std::wstring m_port;
    std::shared_ptr<ModemLine> m_line;
    ModemAction m_next;
    bool m_portFailed = false;
    CellTower m_cell;
};

} // namespace

INT_PTR ShowModemDialog(HINSTANCE instance, HWND parent, const std::wstring& port, std::optional<unsigned> baud,
                        CellTower& cell)
{
    CModemWait modem(port, baud);
    const INT_PTR result = RunDeviceWait(instance, parent, modem);
    if (result != kWaitDone) {
        return result == kWaitSearchPorts ? kWaitSearchPorts : kWaitFailed;
    }
    cell = modem.Cell();
    return kWaitDone;
}
