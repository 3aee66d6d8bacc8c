#include <winsock2.h>

#include "tests/windows/lookup_control.h"

#include "tests/windows/test_support.h"

#include <windows.h>

#include <cstdlib>
#include <sstream>

namespace {

void WriteWholeFile(const std::wstring& path, const std::string& data)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadWholeFile(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::string();
    }
    std::string data;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        data.append(buffer, read);
    }
    CloseHandle(file);
    return data;
}

// The harness starts the stand-in beside the first test; on a busy machine it may not
// listen yet.
void WaitUntilListening(unsigned port)
{
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
        return;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<u_short>(port));
        bool up = connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
        closesocket(s);
        if (up) {
            break;
        }
        Sleep(100);
    }
    WSACleanup();
}

} // namespace

LookupControl::LookupControl() : m_strDir(WinePathFromEnv("TAVRIN_LOOKUP_DIR"))
{
    WaitUntilListening(Port());
    Configure("{}");
    WriteWholeFile(m_strDir + L"\\requests.log", std::string());
}

LookupControl::~LookupControl()
{
    Configure("{}");
}

void LookupControl::Configure(const std::string& config)
{
    WriteWholeFile(m_strDir + L"\\config.json", config);
}

std::vector<std::vector<std::string>> LookupControl::Requests() const
{
    std::vector<std::vector<std::string>> requests;
    std::istringstream log(ReadWholeFile(m_strDir + L"\\requests.log"));
    std::vector<std::string> block;
    std::string line;
    while (std::getline(log, line)) {
        if (line.empty()) {
            if (!block.empty()) {
                requests.push_back(block);
            }
            block.clear();
        } else {
            block.push_back(line);
        }
    }
    return requests;
}

unsigned LookupControl::Port()
{
    const char* port = std::getenv("TAVRIN_LOOKUP_PORT");
    return port != nullptr ? static_cast<unsigned>(std::atoi(port)) : 18080u;
}

std::wstring LookupControl::ServiceUrl()
{
    return L"http://127.0.0.1:" + std::to_wstring(Port()) + L"/loc1/location";
}

unsigned LookupControl::HttpsPort() const
{
    // Written by the stand-in once it listens.
    std::string port;
    for (int attempt = 0; attempt < 100 && port.empty(); ++attempt) {
        port = ReadWholeFile(m_strDir + L"\\https_port");
        if (port.empty()) {
            Sleep(100);
        }
    }
    return static_cast<unsigned>(std::atoi(port.c_str()));
}

std::wstring LookupControl::HttpsServiceUrl() const
{
    const unsigned port = HttpsPort();
    return port != 0 ? L"https://localhost:" + std::to_wstring(port) + L"/loc1/location" : std::wstring();
}
