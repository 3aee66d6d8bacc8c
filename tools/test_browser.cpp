// A stand-in browser for the tests: appends its parameters (the command line after the
// program name, exactly as received) as one UTF-8 line to the file named by the
// environment variable TAVRIN_BROWSER_LOG, or to test_browser.log beside the program.
// For scripts/bench it also appends the time it started running (Unix-clock nanoseconds)
// to the file named by TAVRIN_BROWSER_STAMP, when that is set.
#include "tools/unix_clock.h"

#include <windows.h>

#include <string>

namespace {

const wchar_t* SkipProgramName(const wchar_t* line)
{
    if (*line == L'"') {
        ++line;
        while (*line != L'\0' && *line != L'"') {
            ++line;
        }
        if (*line == L'"') {
            ++line;
        }
    } else {
        while (*line != L'\0' && *line != L' ' && *line != L'\t') {
            ++line;
        }
    }
    while (*line == L' ' || *line == L'\t') {
        ++line;
    }
    return line;
}

std::wstring LogPath()
{
    wchar_t buffer[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"TAVRIN_BROWSER_LOG", buffer, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        return buffer;
    }
    n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    std::wstring path(buffer, n);
    size_t slash = path.find_last_of(L'\\');
    return path.substr(0, slash + 1) + L"test_browser.log";
}

bool AppendLine(const wchar_t* path, const std::string& line)
{
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return true;
}

void StampStart()
{
    const long long started = UnixNowNs();
    wchar_t path[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"TAVRIN_BROWSER_STAMP", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return;
    }
    AppendLine(path, std::to_string(started) + "\n");
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    StampStart();
    std::wstring params = SkipProgramName(GetCommandLineW());
    params += L"\n";
    int n =
        WideCharToMultiByte(CP_UTF8, 0, params.c_str(), static_cast<int>(params.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, params.c_str(), static_cast<int>(params.size()), &utf8[0], n, nullptr, nullptr);
    return AppendLine(LogPath().c_str(), utf8) ? 0 : 1;
}
