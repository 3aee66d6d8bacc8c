#include "common/message_box.h"

#include "common/texts.h"
#include "platform/screen_box.h"
#include "resources/resource.h"

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

int ShowErrorBox(HWND owner, const std::wstring& text)
{
    return ShowMessageBox(owner, text, Text(IDS_CAPTION_ERROR), MB_OK | MB_ICONERROR);
}

int ShowWarningBox(HWND owner, const std::wstring& text, UINT icon)
{
    return ShowMessageBox(owner, text, Text(IDS_CAPTION_WARNING), MB_OK | icon);
}

int ShowQuestionBox(HWND owner, const std::wstring& text)
{
    return ShowMessageBox(owner, text, Text(IDS_CAPTION_CONFIRM), MB_YESNO);
}
