#include <winsock2.h>

#include "tests/windows/test_support.h"

#include "common/message_box.h"
#include "ui/dialog_template.h"

#include <tlhelp32.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

unsigned short HarnessPort(const char* variable)
{
    const char* value = std::getenv(variable);
    return value != nullptr ? static_cast<unsigned short>(std::atoi(value)) : 0;
}

std::wstring LaneProgramName()
{
    const char* lane = std::getenv("TAVRIN_LANE");
    return (lane != nullptr && std::strcmp(lane, "2") == 0) ? L"tavrin-lane2.exe" : L"tavrin.exe";
}

unsigned short FreeLoopbackPort(int type)
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        return 0;
    }
    unsigned short port = 0;
    SOCKET s = socket(AF_INET, type, 0);
    if (s != INVALID_SOCKET) {
        sockaddr_in here = {};
        here.sin_family = AF_INET;
        here.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof here;
        if (bind(s, reinterpret_cast<sockaddr*>(&here), sizeof here) == 0 &&
            getsockname(s, reinterpret_cast<sockaddr*>(&here), &size) == 0) {
            port = ntohs(here.sin_port);
        }
        closesocket(s);
    }
    WSACleanup();
    return port;
}

std::wstring WinePathFromEnv(const char* variable)
{
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') {
        return std::wstring();
    }
    std::wstring path = L"Z:";
    for (const char* p = value; *p != '\0'; ++p) {
        path += (*p == '/') ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*p));
    }
    return path;
}

std::string Utf8(const std::wstring& text)
{
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return bytes;
}

std::wstring FromUtf8(const std::string& bytes)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return text;
}

std::wstring TextOf(HWND window)
{
    std::wstring text(static_cast<size_t>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

void DestroyMainWindow(HWND window)
{
    if (IsWindow(window)) {
        DestroyWindow(window);
    }
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    UnregisterClassW(L"TAVRIN", GetModuleHandleW(nullptr));
    g_controlList.clear();
}

std::wstring ExeFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\'));
}

std::wstring ReadUtf16(const std::wstring& path)
{
    std::wstring text;
    if (FILE* f = _wfopen(path.c_str(), L"rb")) {
        unsigned char unit[2];
        while (fread(unit, 1, 2, f) == 2) {
            text += static_cast<wchar_t>(unit[0] | (unit[1] << 8));
        }
        fclose(f);
    }
    return text;
}

void WriteUtf16(const std::wstring& path, const std::wstring& text)
{
    if (FILE* f = _wfopen(path.c_str(), L"wb")) {
        fwrite(text.data(), sizeof(wchar_t), text.size(), f);
        fclose(f);
    }
}

DWORD ThreadCount()
{
    DWORD count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        count += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
    }
    CloseHandle(snapshot);
    return count;
}

DWORD HandleCount()
{
    DWORD n = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &n) && n != 0) {
        return n;
    }
    for (uintptr_t value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        n += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    }
    return n;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) {
            return true;
        }
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

MessageBoxRecorder::MessageBoxRecorder(int answer) : m_answer(answer)
{
    SetMessageBoxHook([this](HWND owner, const std::wstring& text, const std::wstring& caption, UINT style) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_boxes.push_back(Box{owner, text, caption, style});
        return m_answer;
    });
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    SetMessageBoxHook(nullptr);
}

void MessageBoxRecorder::SetAnswer(int answer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answer = answer;
}

std::vector<MessageBoxRecorder::Box> MessageBoxRecorder::Boxes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_boxes;
}

size_t MessageBoxRecorder::Count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_boxes.size();
}

void MessageBoxRecorder::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_boxes.clear();
}
