#include "ui/port_opening.h"

#include "acquisition/serial_port.h"

bool CPortOpening::Start(HWND dialog, UINT message, const DCB& settings, const std::wstring& name, DWORD attempts,
                         DWORD interval, const char* command)
{
    GiveUp();
    auto shared = std::make_shared<Shared>();
    m_task = CWorkerTask::Start(dialog, message, [=](const CWorkerTask& task) {
        DCB configured{};
        std::wstring error;
        HANDLE device = CSerialPort::OpenDevice(
            settings, name, attempts, interval, [&task] { return task.Cancelled(); }, configured, error);
        if (device != INVALID_HANDLE_VALUE && command != nullptr &&
            !CSerialPort::WriteFirstCommand(device, command, error)) {
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
