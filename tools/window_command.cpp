// Drives a running window from scripts, in the same Wine desktop:
//   window_command CLASS wait [MS]     waits until a visible window of CLASS exists (exit 0) or MS pass (1)
//   window_command CLASS ID            posts WM_COMMAND ID to it (exit 1 when there is none)
//   window_command CLASS client        prints the size of its client area
//   window_command CLASS tap N/M       clicks the middle of the N-th of M equal parts of it (from 0),
//                                      as a finger on a soft key of the bar
//   window_command CLASS post MSG      posts message MSG (decimal) with no parameters
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        return 2;
    }
    const wchar_t* windowClass = argv[1];
    if (std::wcscmp(argv[2], L"wait") == 0) {
        DWORD limit = argc > 3 ? static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) : 20000;
        DWORD start = GetTickCount();
        while (GetTickCount() - start < limit) {
            HWND window = FindWindowW(windowClass, nullptr);
            if (window != nullptr && IsWindowVisible(window)) {
                return 0;
            }
            Sleep(100);
        }
        return 1;
    }
    HWND window = FindWindowW(windowClass, nullptr);
    if (window == nullptr) {
        return 1;
    }
    if (std::wcscmp(argv[2], L"client") == 0) {
        RECT client;
        GetClientRect(window, &client);
        std::printf("%ldx%ld\n", client.right, client.bottom);
        return 0;
    }
    if (std::wcscmp(argv[2], L"tap") == 0 && argc > 3) {
        wchar_t* slash = nullptr;
        const long part = std::wcstol(argv[3], &slash, 10);
        const long parts = *slash == L'/' ? std::wcstol(slash + 1, nullptr, 10) : 1;
        RECT client;
        GetClientRect(window, &client);
        const LPARAM at = MAKELPARAM(client.right * (2 * part + 1) / (2 * (parts > 0 ? parts : 1)), client.bottom / 2);
        PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
        return PostMessageW(window, WM_LBUTTONUP, 0, at) ? 0 : 1;
    }
    if (std::wcscmp(argv[2], L"post") == 0 && argc > 3) {
        return PostMessageW(window, static_cast<UINT>(std::wcstoul(argv[3], nullptr, 10)), 0, 0) ? 0 : 1;
    }
    return PostMessageW(window, WM_COMMAND, static_cast<WPARAM>(std::wcstoul(argv[2], nullptr, 10)), 0) ? 0 : 1;
}
