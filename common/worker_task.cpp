#include "common/worker_task.h"

#include "common/win_handle.h"

CWorkerTask::CWorkerTask(HWND window, UINT message, Work work)
    : m_window(window), m_message(message), m_work(std::move(work))
{
}

std::shared_ptr<CWorkerTask> CWorkerTask::Start(HWND window, UINT message, Work work)
{
    auto task = std::make_shared<CWorkerTask>(window, message, std::move(work));
    // The thread holds the task itself: a task given up on lives until its work returns.
    auto* held = new std::shared_ptr<CWorkerTask>(task);
    CHandle thread(CreateThread(nullptr, 0, Entry, held, 0, nullptr));
    if (!thread) {
        delete held;
        return nullptr;
    }
    return task; // nobody joins the thread: closing our handle leaves it running
}

DWORD WINAPI CWorkerTask::Entry(void* param)
{
    std::unique_ptr<std::shared_ptr<CWorkerTask>> held(static_cast<std::shared_ptr<CWorkerTask>*>(param));
    CWorkerTask& task = **held;
    task.m_work(task);
    std::lock_guard<std::mutex> lock(task.m_lock);
    if (task.m_window != nullptr) {
        PostMessageW(task.m_window, task.m_message, 0, reinterpret_cast<LPARAM>(&task));
    }
    return 0;
}

void CWorkerTask::Abandon()
{
    m_cancelled = true;
    std::lock_guard<std::mutex> lock(m_lock);
    m_window = nullptr;
}
