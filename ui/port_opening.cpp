#include "ui/port_opening.h"

#include "acquisition/serial_port.h"
#include "common/win_handle.h"

#include <condition_variable>

namespace {

// A release takes at most the formats put back and the port's bounded close.
constexpr DWORD kReleaseWaitMs = 8000;

// The releases under way, run one after another in the order they were started (a modem's
// formats are put back before a later close of the same port): the event is set while there
// are none.
struct Releases
{
    std::mutex lock;
    std::condition_variable turn;
    unsigned long long next = 0;    // the ticket of the next release started
    unsigned long long serving = 0; // the ticket whose turn it is
    unsigned count = 0;
    CHandle none{CreateEventW(nullptr, TRUE, TRUE, nullptr)};
};
Releases& PortReleases()
{
    static Releases releases;
    return releases;
}

// Runs one release in its turn.
void RunRelease(Releases& releases, unsigned long long ticket, const std::function<void()>& release)
{
    {
        std::unique_lock<std::mutex> lock(releases.lock);
        releases.turn.wait(lock, [&] { return releases.serving == ticket; });
    }
    release();
    std::lock_guard<std::mutex> lock(releases.lock);
    ++releases.serving;
    if (--releases.count == 0) {
        SetEvent(releases.none.Get());
    }
    releases.turn.notify_all();
}

} // namespace

std::shared_ptr<CWorkerTask> StartPortRelease(HWND window, UINT message, std::function<void()> release)
{
    Releases& releases = PortReleases();
    unsigned long long ticket = 0;
    {
        std::lock_guard<std::mutex> lock(releases.lock);
        ticket = releases.next++;
        ++releases.count;
        ResetEvent(releases.none.Get());
    }
    std::shared_ptr<CWorkerTask> task = CWorkerTask::Start(
        window, message, [&releases, ticket, release](const CWorkerTask&) { RunRelease(releases, ticket, release); });
    if (!task) {
        RunRelease(releases, ticket, release); // no worker: here, bounded as each release is
    }
    return task;
}

bool FinishPortReleases(DWORD ms)
{
    return WaitForSingleObject(PortReleases().none.Get(), ms) == WAIT_OBJECT_0;
}

bool CPortOpening::Start(HWND dialog, UINT message, const DCB& settings, const std::wstring& name, DWORD attempts,
                         DWORD interval, const char* command, FlowControl flow)
{
    GiveUp();
    auto shared = std::make_shared<Shared>();
    m_task = CWorkerTask::Start(dialog, message, [=](const CWorkerTask& task) {
        // The device may still be in the hands of the last wait's release.
        FinishPortReleases(kReleaseWaitMs);
        DCB configured{};
        std::wstring error;
        HANDLE device = CSerialPort::OpenDevice(
            settings, name, attempts, interval, [&task] { return task.Cancelled(); }, configured, error, flow);
        if (device != INVALID_HANDLE_VALUE && command != nullptr &&
            !CSerialPort::WriteFirstCommand(device, command, error)) {
            error = WriteFailureText(name, error);
            CloseHandle(device);
            device = INVALID_HANDLE_VALUE;
        }
        std::lock_guard<std::mutex> lock(shared->lock);
        if (shared->givenUp) {
            if (device != INVALID_HANDLE_VALUE) {
                CloseHandle(device);
            }
            return;
        }
        shared->device = device;
        shared->configured = configured;
        shared->error = error;
    });
    if (!m_task) {
        return false;
    }
    m_shared = shared;
    return true;
}

bool CPortOpening::Start(HWND dialog, UINT message, std::function<std::wstring()> open)
{
    GiveUp();
    auto shared = std::make_shared<Shared>();
    m_task = CWorkerTask::Start(dialog, message, [shared, open](const CWorkerTask&) {
        // The port may still be in the hands of the last wait's release, which would close it.
        FinishPortReleases(kReleaseWaitMs);
        // Held while it opens: a dialog that gives up meanwhile releases what was opened.
        std::lock_guard<std::mutex> lock(shared->lock);
        if (!shared->givenUp) {
            shared->error = open();
        }
    });
    if (!m_task) {
        return false;
    }
    m_shared = shared;
    return true;
}

HANDLE CPortOpening::Take(DCB& configured, std::wstring& error)
{
    std::shared_ptr<Shared> shared = std::move(m_shared);
    m_task.reset();
    if (!shared) {
        return INVALID_HANDLE_VALUE;
    }
    std::lock_guard<std::mutex> lock(shared->lock);
    HANDLE device = shared->device;
    configured = shared->configured;
    error = shared->error;
    shared->device = INVALID_HANDLE_VALUE;
    return device;
}

void CPortOpening::GiveUp()
{
    if (m_task) {
        m_task->Abandon();
        m_task.reset();
    }
    if (m_shared) {
        std::lock_guard<std::mutex> lock(m_shared->lock);
        m_shared->givenUp = true;
        if (m_shared->device != INVALID_HANDLE_VALUE) {
            CloseHandle(m_shared->device);
            m_shared->device = INVALID_HANDLE_VALUE;
        }
    }
    m_shared.reset();
}
