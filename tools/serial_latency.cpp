// Measures how long an answer from the W-SIM simulator takes from its last byte on the line
// to the notification message reaching the user-interface thread. Prints one line per answer:
// "<command> <Unix time ns at which the notification arrived> <answer characters> <reader>",
// the reader being "wait" (woken by the line, as the program reads) or "poll" (the earlier
// reader, which looked at the port every 10 ms).
//   serial_latency [COUNT [wait|poll|both]]   (200 answers, both: the two readers take turns,
//                                              two answers each, the port opened anew for each turn)
// scripts/bench sets the simulator up, runs this and pairs the lines with the
// simulator's own time stamps.
#include "acquisition/cs_id.h"
#include "acquisition/serial_reader.h"
#include "resources/resource.h"
#include "tools/unix_clock.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

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
    const std::wstring readers = argc > 2 ? argv[2] : L"both";
    if (readers != L"wait" && readers != L"poll" && readers != L"both") {
        std::fprintf(stderr, "usage: serial_latency [COUNT [wait|poll|both]]\n");
        return 2;
    }
    CCsId csId;
    // Posted to this thread's queue through a message-only window.
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    csId.SetNotify(window, WM_TAVRIN_ANSWER);
    int failures = 0;
    bool polling = readers == L"poll";
    CSerialReader::UsePolling(polling);
    for (int i = 0; i < count; ++i) {
        if (readers == L"both" && i % 2 == 0) {
            // The reader is chosen when the port opens: a turn of its own opens it anew.
            polling = (i / 2) % 2 == 1;
            csId.ClosePort(false);
            CSerialReader::UsePolling(polling);
        }
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
        std::printf("%s %lld %u %s\n", k20 ? "AT@K20" : "AT@LBC?", arrived, static_cast<unsigned>(answer.size()),
                    polling ? "poll" : "wait");
        std::fflush(stdout);
    }
    csId.ClosePort();
    DestroyWindow(window);
    if (failures != 0) {
        std::fprintf(stderr, "%d answers never arrived\n", failures);
    }
    return failures == 0 ? 0 : 1;
}
