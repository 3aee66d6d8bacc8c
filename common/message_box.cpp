#include "common/message_box.h"

#include "platform/screen_box.h"

#include <mutex>

namespace {

std::mutex g_hookMutex;
MessageBoxHook g_hook;

} // namespace

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style)
{
    MessageBoxHook hook;
    {
        std::lock_guard<std::mutex> lock(g_hookMutex);
        hook = g_hook;
    }
    if (hook) {
        return hook(owner, text, caption, style);
    }
    return ShowScreenMessageBox(owner, text.c_str(), caption.c_str(), style);
}

void SetMessageBoxHook(MessageBoxHook hook)
{
    std::lock_guard<std::mutex> lock(g_hookMutex);
    g_hook = std::move(hook);
}
