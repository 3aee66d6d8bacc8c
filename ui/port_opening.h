#pragma once

#include "acquisition/serial_port.h"
#include "common/worker_task.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>

// A serial device opened on a worker (the device may take seconds to answer), so that a dialog
// answers, and "中断" works, meanwhile. The dialog takes the device when the worker is done, or,
// once given up on, the worker closes it itself.
class CPortOpening
{
public:
    // Starts the worker: once the releases still under way are done (StartPortRelease), it opens
    // `name` with `settings` and `flow` (CSerialPort::OpenDevice, `attempts` tries `interval` ms
    // apart) and writes `command` first when it is not null; then `message` goes to `dialog`.
    // False when no worker could be started.
    bool Start(HWND dialog, UINT message, const DCB& settings, const std::wstring& name, DWORD attempts, DWORD interval,
               const char* command, FlowControl flow);
    // The same for a port that opens by a call of its own (a receiver on the network, whose
    // connection goes on on a thread of its own): once the releases under way are done, `open`
    // runs on the worker unless the dialog gave up, and says why it failed (empty: it did not).
    // Take then gives INVALID_HANDLE_VALUE with that text.
    bool Start(HWND dialog, UINT message, std::function<std::wstring()> open);
    // Whether a message names this opening's worker.
    bool Is(LPARAM lParam) const { return m_task && m_task->Is(lParam); }
    bool Running() const { return m_task != nullptr; }
    // The worker's device, now the caller's: INVALID_HANDLE_VALUE (with `error` saying why) when
    // it could not be opened or written to.
    HANDLE Take(DCB& configured, std::wstring& error);
    // The dialog leaves: the worker is given up on, and a device it opened is closed.
    void GiveUp();

private:
    struct Shared
    {
        std::mutex lock;
        bool givenUp = false;
        HANDLE device = INVALID_HANDLE_VALUE;
        DCB configured{};
        std::wstring error;
    };
    std::shared_ptr<Shared> m_shared;
    std::shared_ptr<CWorkerTask> m_task;
};

// A device's release (its formats put back, its port closed) on a worker, so that no driver call
// waits on the window's thread. `message` goes to `window` when it is done (none with a null
// window: the window has gone). The next opening waits for it, and so does the program's exit.
std::shared_ptr<CWorkerTask> StartPortRelease(HWND window, UINT message, std::function<void()> release);
// Waits at most `ms` for the releases under way; true when none is left.
bool FinishPortReleases(DWORD ms);
