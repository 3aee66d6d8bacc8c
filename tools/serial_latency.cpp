// Measures how long an answer from the W-SIM simulator takes from its last byte on the line
// to the notification message reaching the user-interface thread. Prints one line per answer:
// "<command> <Unix time ns at which the notification arrived> <answer characters>".
// scripts/bench sets the simulator up, runs this and pairs the lines with the
// simulator's own time stamps.
#include "acquisition/cs_id.h"
#include "resources/resource.h"
#include "tools/unix_clock.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

// Waits for the notification; returns its arrival time, or 0 after `timeoutMs`.
long long WaitForAnswer(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_TAVRIN_ANSWER) {
                return UnixNowNs();
            }
            DispatchMessageW(&msg);
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) {
            return 0;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    int count = argc > 1 ? _wtoi(argv[1]) : 200;
    CCsId csId;
    // Posted to this thread's queue through a message-only window.
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    csId.SetNotify(window, WM_TAVRIN_ANSWER);
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        bool k20 = (i % 2) == 0;
        if (!(k20 ? csId.SendAtK20() : csId.SendAtLbcQuery())) {
            std::fprintf(stderr, "send failed\n");
            return 1;
        }
        long long arrived = WaitForAnswer(5000);
        std::wstring answer;
        csId.TakeResponse(answer);
        if (arrived == 0) {
            ++failures;
            continue;
        }
        std::printf("%s %lld %u\n", k20 ? "AT@K20" : "AT@LBC?", arrived, static_cast<unsigned>(answer.size()));
        std::fflush(stdout);
    }
    csId.ClosePort();
    DestroyWindow(window);
    if (failures != 0) {
        std::fprintf(stderr, "%d answers never arrived\n", failures);
    }
    return failures == 0 ? 0 : 1;
}
