#include "tests/windows/wsim_control.h"

#include "tests/windows/test_support.h"

#include <windows.h>

#include <fstream>
#include <iterator>

namespace {

const char* StateFolderVariable(WsimPort port)
{
    switch (port) {
    case WsimPort::Com4:
        return "TAVRIN_WSIM_COM4_DIR";
    case WsimPort::Com5:
        return "TAVRIN_WSIM_COM5_DIR";
    case WsimPort::Com1:
        break;
    }
    return "TAVRIN_WSIM_DIR";
}

std::wstring StateFile(const wchar_t* name, WsimPort port = WsimPort::Com1)
{
    std::wstring dir = WinePathFromEnv(StateFolderVariable(port));
    if (dir.empty()) {
        return std::wstring();
    }
    return dir + L"\\" + name;
}

std::string ReadBytes(const wchar_t* name, WsimPort port = WsimPort::Com1)
{
    std::wstring path = StateFile(name, port);
    if (path.empty()) {
        return std::string();
    }
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ReadLines(const wchar_t* name, WsimPort port = WsimPort::Com1)
{
    std::vector<std::string> lines;
    std::wstring path = StateFile(name, port);
    if (path.empty()) {
        return lines;
    }
    std::ifstream in(path.c_str(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

} // namespace

bool WsimConfigure(const std::string& json)
{
    return WsimConfigure(WsimPort::Com1, json);
}

bool WsimConfigure(WsimPort port, const std::string& json)
{
    std::wstring path = StateFile(L"config.json", port);
    if (path.empty()) {
        return false;
    }
    std::wstring tmp = path + L".tmp";
    {
        std::ofstream out(tmp.c_str(), std::ios::binary | std::ios::trunc);
        out << json;
        if (!out.flush()) {
            return false;
        }
    }
    return MoveFileExW(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool WsimReset()
{
    return WsimConfigure("{}");
}

bool WsimSetDevice(WsimDevice device)
{
    const char* config = device == WsimDevice::Gone        ? R"({"offline": true})"
                         : device == WsimDevice::PlainFile ? R"({"offline": "plain-file"})"
                                                           : "{}";
    if (!WsimConfigure(config)) {
        return false;
    }
    for (int i = 0; i < 100; ++i) {
        HANDLE handle = CreateFileW(L"COM1:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        WsimDevice seen = WsimDevice::Gone;
        if (handle != INVALID_HANDLE_VALUE) {
            DCB dcb = {};
            dcb.DCBlength = sizeof(dcb);
            seen = GetCommState(handle, &dcb) ? WsimDevice::Module : WsimDevice::PlainFile;
            CloseHandle(handle);
        }
        if (seen == device) {
            return true;
        }
        Sleep(20);
    }
    return false;
}

std::vector<std::string> WsimCommands(WsimPort port)
{
    return ReadLines(L"commands.log", port);
}

std::string WsimReceivedBytes(WsimPort port)
{
    return ReadBytes(L"received.bin", port);
}

std::string WsimTcpReceived()
{
    return ReadBytes(L"tcp_received.bin");
}

void WsimClearLog(WsimPort port)
{
    for (const wchar_t* name : {L"commands.log", L"received.bin"}) {
        std::wstring path = StateFile(name, port);
        if (!path.empty()) {
            DeleteFileW(path.c_str());
        }
    }
}

std::vector<std::string> WsimAnswerStamps()
{
    return ReadLines(L"answers.log");
}

void WsimClearAnswerStamps()
{
    std::wstring path = StateFile(L"answers.log");
    if (!path.empty()) {
        DeleteFileW(path.c_str());
    }
}

std::string WsimModemState()
{
    std::vector<std::string> lines = ReadLines(L"modem_state.json");
    return lines.empty() ? std::string() : lines.front();
}
