#include "common/worker_task.h"

CWorkerTask::CWorkerTask(HWND window, UINT message, Work work)
    : m_window(window), m_message(message), m_work(std::move(work))
{
}

std::shared_ptr<CWorkerTask> CWorkerTask::Start(HWND window, UINT message, Work work)
{
    auto task = std::make_shared<CWorkerTask>(window, message, std::move(work));
    // The work holds the task itself: a task given up on lives until its work returns. It runs
    // on a thread of the process's pool, which stays warm between tasks: a thread made for
    // every task costs milliseconds under Wine (and a library's per-thread set-up each time).
    auto* held = new std::shared_ptr<CWorkerTask>(task);
    if (!TrySubmitThreadpoolCallback(Entry, held, nullptr)) {
        delete held;
        return nullptr;
    }
    return task;
}

void CALLBACK CWorkerTask::Entry(PTP_CALLBACK_INSTANCE, void* param)
{
    std::unique_ptr<std::shared_ptr<CWorkerTask>> held(static_cast<std::shared_ptr<CWorkerTask>*>(param));
    CWorkerTask& task = **held;
    task.m_work(task);
    std::lock_guard<std::mutex> lock(task.m_lock);
    if (task.m_window != nullptr) {
        PostMessageW(task.m_window, task.m_message, 0, reinterpret_cast<LPARAM>(&task));
    }
}

void CWorkerTask::Abandon()
{
    m_cancelled = true;
    std::lock_guard<std::mutex> lock(m_lock);
    m_window = nullptr;
}
