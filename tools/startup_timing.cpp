// Whole-process start-up time: from CreateProcess until the program's window is up and its
// message loop answers (for tavrin: controls built, default.ini loaded and shown). Rounds
// alternate tavrin.exe and minimal_window.exe; prints the medians in milliseconds.
//   startup_timing TAVRIN_EXE MINIMAL_EXE [ROUNDS]
#include <windows.h>

#include "settings/settings.h"
#include "settings/settings_win.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

double Now()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Milliseconds until the window of `windowClass` answers, or -1.
double TimeStart(const std::wstring& exe, const wchar_t* windowClass, WPARAM quitCommand)
{
    std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
    std::wstring command = L"\"" + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    double start = Now();
    if (!CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi)) {
        return -1;
    }
    double elapsed = -1;
    while (Now() - start < 30000) {
        HWND window = FindWindowW(windowClass, nullptr);
        DWORD_PTR result;
        if (window != nullptr && IsWindowVisible(window) &&
            SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result)) {
            elapsed = Now() - start;
            PostMessageW(window, WM_COMMAND, quitCommand, 0);
            break;
        }
        Sleep(1);
    }
    if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 1);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return elapsed;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_timing TAVRIN_EXE MINIMAL_EXE [ROUNDS]\n");
        return 2;
    }
    int rounds = argc > 3 ? std::max(1, _wtoi(argv[3])) : 10;
    // tavrin loads a default.ini of the presets from its folder, as a user's would be.
    std::wstring exe = argv[1];
    std::wstring ini = exe.substr(0, exe.find_last_of(L'\\')) + L"\\default.ini";
    if (GetFileAttributesW(ini.c_str()) == INVALID_FILE_ATTRIBUTES) {
        CSettings settings(&Win32SettingsHost());
        settings.m_hInstance = GetModuleHandleW(nullptr);
        if (!settings.Save(ini.c_str())) {
            std::fprintf(stderr, "cannot write %ls\n", ini.c_str());
            return 1;
        }
    }
    std::vector<double> tavrin, minimal;
    for (int i = 0; i < rounds; ++i) {
        double a = TimeStart(argv[1], L"TAVRIN", 40000);
        double b = TimeStart(argv[2], L"MinimalWindow", 1);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "round %d: a program did not come up\n", i);
            return 1;
        }
        tavrin.push_back(a);
        minimal.push_back(b);
    }
    double t = Median(tavrin), m = Median(minimal);
    std::printf("rounds %d\ntavrin.exe median %.0f ms\nminimal window median %.0f ms\nratio %.2f\n", rounds, t, m,
                t / m);
    return 0;
}
