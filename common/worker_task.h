#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

// Slow work beside the window: it runs on a worker thread and posts one message to a window
// when it is done. Only a window message reaches the user-interface thread through every
// modal loop (a menu, a window being moved, a message box): those loops dispatch what is
// addressed to a window and drop thread messages. The window never waits for the work. It may
// give the task up at any time (the user left, the deadline passed, the window closed): from
// then on the task posts nothing, and its thread ends by itself or with the process. What the
// work produces lives in state its function shares with the window (held by shared_ptr on
// both sides).
class CWorkerTask
{
public:
    using Work = std::function<void(const CWorkerTask& task)>;

    // Starts `work` at once. When it returns, `message` is posted to `window` with the task's
    // address as its second parameter (see Is). Null when no thread could be started.
    static std::shared_ptr<CWorkerTask> Start(HWND window, UINT message, Work work);

    // The window gives up on the task: no message from now on; Cancelled() turns true so the
    // work can stop at its next step.
    void Abandon();
    bool Cancelled() const { return m_cancelled.load(); }

    // Whether the second parameter of a message names this task.
    bool Is(LPARAM lParam) const { return lParam == reinterpret_cast<LPARAM>(this); }

    CWorkerTask(const CWorkerTask&) = delete;
    CWorkerTask& operator=(const CWorkerTask&) = delete;
    CWorkerTask(HWND window, UINT message, Work work);

private:
    static void CALLBACK Entry(PTP_CALLBACK_INSTANCE instance, void* param);

    std::mutex m_lock; // orders the post against Abandon
    HWND m_window;
    UINT m_message;
    Work m_work;
    std::atomic<bool> m_cancelled{false};
};
