#include "tests/windows/dialog_driver.h"

#include <cwchar>

namespace {

struct Search
{
    const wchar_t* caption;
    HWND found;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM param)
{
    auto search = reinterpret_cast<Search*>(param);
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    if (IsWindowVisible(window) && std::wcscmp(text, search->caption) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND FindThreadWindow(DWORD threadId, const wchar_t* caption)
{
    Search search{caption, nullptr};
    EnumThreadWindows(threadId, MatchCaption, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void PressButton(HWND dialog, int id)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

DialogScript::DialogScript(const wchar_t* caption, std::function<void(HWND)> script)
{
    DWORD owner = GetCurrentThreadId();
    m_thread = std::thread([this, owner, caption, script] {
        DWORD start = GetTickCount();
        HWND dialog = nullptr;
        while ((dialog = FindThreadWindow(owner, caption)) == nullptr && GetTickCount() - start < 20000) {
            Sleep(10);
        }
        m_bFound = dialog != nullptr;
        if (dialog != nullptr) {
            script(dialog);
        }
    });
}

DialogScript::~DialogScript()
{
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool DialogScript::Found()
{
    if (m_thread.joinable()) {
        m_thread.join();
    }
    return m_bFound;
}
