// Whole-process timings of tavrin.exe, run by scripts/bench, which pairs them with their
// baselines. Times are Unix-clock nanoseconds or milliseconds, one "name values" line each.
//   program_timing settings FILE URLS [BROWSER [CACHE]]
//       writes a settings file of the factory presets; URLS > 0 replaces the URL list by
//       that many entries, BROWSER the browser list by that one program; CACHE > 0 turns the
//       lookup cache on and writes cache.ini beside the file with that many entries (none of
//       them the stations the job's module answers, so every send still looks up and adds one)
//   program_timing start ROUNDS BARE_EXE ELEMENTS_EXE TAVRIN_EXE...
//       from CreateProcess until the window is up and its message loop answers, then the
//       working set after half a second of idling; the programs take turns in every round,
//       after one round for warming up: "start FOLDER MS MB" per program and round. The first
//       two are the bare windows (minimal_window, elements_window).
//   program_timing job ROUNDS TAVRIN_EXE BROWSER_EXE STAMP_FILE
//       a bare start of the browser ("browser START_NS STAMP_NS"), then "取得～送信" pressed
//       twice in a freshly started tavrin ("job first|again PRESS_NS STAMP_NS"); the browser
//       writes the time it starts running into STAMP_FILE (TAVRIN_BROWSER_STAMP). A lookup cache
//       beside tavrin starts every round as "settings" wrote it (the first press misses)
//   program_timing chooser ROUNDS TAVRIN_EXE
//       "開く" pressed twice in a freshly started tavrin, until the chooser shows:
//       "chooser first|again MS"
#include "bench/url_entries.h"
#include "resources/resource.h"
#include "settings/lookup_cache.h"
#include "settings/settings.h"
#include "settings/settings_win.h"
#include "tools/unix_clock.h"

#include <windows.h>

#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// Between two presses: a receiver's job reads the rest of its fix's epoch (up to a second)
// after the browser has started, and a press before that ends is not taken.
constexpr DWORD kSettleMs = 1500;
constexpr double kTimeoutMs = 30000;

double Milliseconds(long long fromNs, long long toNs)
{
    return static_cast<double>(toNs - fromNs) / 1e6;
}

std::wstring FolderOf(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L'\\'));
}

// A started program whose window answers; ends it on destruction.
class CProgram
{
public:
    CProgram(const std::wstring& exe, const wchar_t* windowClass, WPARAM quitCommand)
        : m_quitCommand(quitCommand), m_started(UnixNowNs())
    {
        std::wstring command = L"\"" + exe + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        if (!CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, FolderOf(exe).c_str(), &si,
                            &m_process)) {
            return;
        }
        while (Milliseconds(m_started, UnixNowNs()) < kTimeoutMs) {
            HWND window = FindWindowW(windowClass, nullptr);
            DWORD_PTR result;
            if (window != nullptr && IsWindowVisible(window) &&
                SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result)) {
                m_window = window;
                m_upMs = Milliseconds(m_started, UnixNowNs());
                return;
            }
            Sleep(1);
        }
    }
    ~CProgram()
    {
        if (m_process.hProcess == nullptr) {
            return;
        }
        if (m_window != nullptr) {
            PostMessageW(m_window, WM_COMMAND, m_quitCommand, 0);
        }
        if (WaitForSingleObject(m_process.hProcess, 20000) != WAIT_OBJECT_0) {
            TerminateProcess(m_process.hProcess, 1);
        }
        CloseHandle(m_process.hThread);
        CloseHandle(m_process.hProcess);
    }
    CProgram(const CProgram&) = delete;
    CProgram& operator=(const CProgram&) = delete;

    HWND Window() const { return m_window; }
    double UpMs() const { return m_upMs; }
    double WorkingSetMb() const
    {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof(counters);
        return K32GetProcessMemoryInfo(m_process.hProcess, &counters, sizeof(counters))
                   ? static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0)
                   : -1;
    }

private:
    WPARAM m_quitCommand;
    long long m_started;
    PROCESS_INFORMATION m_process{};
    HWND m_window = nullptr;
    double m_upMs = -1;
};

// The stamps of the file, one per complete line.
std::vector<long long> ReadStamps(const std::wstring& file)
{
    std::vector<long long> stamps;
    FILE* in = _wfopen(file.c_str(), L"rb");
    if (in == nullptr) {
        return stamps;
    }
    std::string line;
    for (int c; (c = std::fgetc(in)) != EOF;) {
        if (c == '\n') {
            stamps.push_back(std::atoll(line.c_str()));
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    std::fclose(in);
    return stamps;
}

// The first stamp after the `known` ones, or 0 when none comes.
long long WaitForStamp(const std::wstring& file, size_t known)
{
    long long start = UnixNowNs();
    while (Milliseconds(start, UnixNowNs()) < kTimeoutMs) {
        std::vector<long long> stamps = ReadStamps(file);
        if (stamps.size() > known) {
            return stamps[known];
        }
        Sleep(1);
    }
    return 0;
}

bool WriteCache(const std::wstring& file, int entries)
{
    CLookupCache cache;
    const int64_t now = static_cast<int64_t>(UnixNowNs() / 1000000000);
    for (int i = 0; i < entries; ++i) {
        cache.Store(std::to_wstring(100000 + i) + L"/9", L"N35.41.12.000E139.45.00.000", now);
    }
    const std::wstring path = FolderOf(file) + L"\\cache.ini";
    return cache.Save(Win32SettingsHost().Files(), path.c_str()) &&
           CopyFileW(path.c_str(), (path + L".start").c_str(), FALSE);
}

int WriteSettings(const std::wstring& file, int urls, const wchar_t* browser, int cacheEntries)
{
    CSettings settings(&Win32SettingsHost());
    if (cacheEntries > 0) {
        settings.m_lookupCache = true;
        if (!WriteCache(file, cacheEntries)) {
            std::fprintf(stderr, "cannot write the cache beside %ls\n", file.c_str());
            return 1;
        }
    }
    settings.m_hInstance = GetModuleHandleW(nullptr);
    if (urls > 0) {
        FillUrlEntries(settings, urls);
    }
    if (browser != nullptr) {
        CListEntry entry;
        entry.Add(settings.m_browserColumns[0], L"bench");
        entry.Add(settings.m_browserColumns[1], browser);
        settings.m_browserList = {entry};
    }
    if (!settings.Save(file.c_str())) {
        std::fprintf(stderr, "cannot write %ls\n", file.c_str());
        return 1;
    }
    return 0;
}

int TimeStarts(int rounds, int count, wchar_t** programs)
{
    // Round -1 only warms the caches: the very first start pays for them whichever it is.
    for (int round = -1; round < rounds; ++round) {
        for (int i = 0; i < count; ++i) {
            const bool bare = i < 2;
            CProgram program(programs[i], bare ? L"MinimalWindow" : L"TAVRIN", bare ? 1 : IDM_EXIT);
            if (program.Window() == nullptr) {
                std::fprintf(stderr, "%ls did not come up\n", programs[i]);
                return 1;
            }
            Sleep(kSettleMs);
            if (round < 0) {
                continue;
            }
            std::wstring folder = FolderOf(programs[i]);
            std::printf("start %ls %.1f %.1f\n", folder.substr(folder.find_last_of(L'\\') + 1).c_str(), program.UpMs(),
                        program.WorkingSetMb());
            std::fflush(stdout);
        }
    }
    return 0;
}

// A freshly started tavrin, measured twice ("first", "again"), half a second apart; false
// when it does not come up or a measurement fails (the reason is on stderr).
template <typename Measure> bool TwiceInFreshTavrin(const std::wstring& tavrin, Measure measure)
{
    CProgram program(tavrin, L"TAVRIN", IDM_EXIT);
    if (program.Window() == nullptr) {
        std::fprintf(stderr, "tavrin did not come up\n");
        return false;
    }
    for (const char* which : {"first", "again"}) {
        Sleep(kSettleMs);
        if (!measure(program.Window(), which)) {
            return false;
        }
    }
    std::fflush(stdout);
    return true;
}

int TimeJobs(int rounds, const std::wstring& tavrin, const std::wstring& browser, const std::wstring& stamps)
{
    // Inherited by tavrin and, through it, by the browser it starts.
    SetEnvironmentVariableW(L"TAVRIN_BROWSER_STAMP", stamps.c_str());
    SetEnvironmentVariableW(L"TAVRIN_BROWSER_LOG", (FolderOf(tavrin) + L"\\browser.log").c_str());
    for (int round = 0; round < rounds; ++round) {
        const size_t known = ReadStamps(stamps).size();
        std::wstring command = L"\"" + browser + L"\" http://bench.example/";
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        long long started = UnixNowNs();
        if (!CreateProcessW(browser.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            std::fprintf(stderr, "cannot start %ls\n", browser.c_str());
            return 1;
        }
        WaitForSingleObject(pi.hProcess, 20000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        std::printf("browser %lld %lld\n", started, WaitForStamp(stamps, known));
        {
            const size_t shellKnown = ReadStamps(stamps).size();
            SHELLEXECUTEINFOW info = {};
            info.cbSize = sizeof(info);
            info.fMask = SEE_MASK_FLAG_NO_UI;
            info.lpVerb = L"open";
            info.lpFile = browser.c_str();
            info.lpParameters = L"http://bench.example/";
            info.nShow = SW_SHOWNORMAL;
            const long long shellStarted = UnixNowNs();
            if (ShellExecuteExW(&info)) {
                std::printf("shell %lld %lld\n", shellStarted, WaitForStamp(stamps, shellKnown));
            }
        }
        const std::wstring cache = FolderOf(tavrin) + L"\\cache.ini";
        CopyFileW((cache + L".start").c_str(), cache.c_str(), FALSE);

        const bool measured = TwiceInFreshTavrin(tavrin, [&](HWND window, const char* which) {
            const size_t before = ReadStamps(stamps).size();
            const long long pressed = UnixNowNs();
            PostMessageW(window, WM_COMMAND, IDC_GET_AND_SEND, 0);
            const long long stamp = WaitForStamp(stamps, before);
            if (stamp == 0) {
                std::fprintf(stderr, "no browser was started\n");
                return false;
            }
            std::printf("job %s %lld %lld\n", which, pressed, stamp);
            return true;
        });
        if (!measured) {
            return 1;
        }
    }
    return 0;
}

int TimeChoosers(int rounds, const std::wstring& tavrin)
{
    for (int round = 0; round < rounds; ++round) {
        const bool measured = TwiceInFreshTavrin(tavrin, [](HWND window, const char* which) {
            const long long pressed = UnixNowNs();
            PostMessageW(window, WM_COMMAND, IDM_OPEN, 0);
            HWND chooser = nullptr;
            while (chooser == nullptr && Milliseconds(pressed, UnixNowNs()) < kTimeoutMs) {
                HWND found = FindWindowW(L"#32770", L"設定ファイルの選択");
                if (found != nullptr && IsWindowVisible(found)) {
                    chooser = found;
                } else {
                    Sleep(1);
                }
            }
            if (chooser == nullptr) {
                std::fprintf(stderr, "no chooser showed\n");
                return false;
            }
            std::printf("chooser %s %.1f\n", which, Milliseconds(pressed, UnixNowNs()));
            PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
            while (IsWindow(chooser)) {
                Sleep(10);
            }
            return true;
        });
        if (!measured) {
            return 1;
        }
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"settings" && argc > 3) {
        return WriteSettings(argv[2], _wtoi(argv[3]), argc > 4 ? argv[4] : nullptr, argc > 5 ? _wtoi(argv[5]) : 0);
    }
    const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 1;
    if (mode == L"start" && argc > 5) {
        return TimeStarts(rounds, argc - 3, argv + 3);
    }
    if (mode == L"job" && argc > 5) {
        return TimeJobs(rounds, argv[3], argv[4], argv[5]);
    }
    if (mode == L"chooser" && argc > 3) {
        return TimeChoosers(rounds, argv[3]);
    }
    std::fprintf(stderr, "usage: program_timing settings|start|job|chooser ... (see the source)\n");
    return 2;
}
