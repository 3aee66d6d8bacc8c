#include "acquisition/port_list_win.h"

#include <windows.h>

#include <setupapi.h>

#include <string>

namespace {

// The device manager's class of serial and parallel ports.
const GUID kPortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

// Closes a registry key on every way out.
class CRegistryKey
{
public:
    CRegistryKey() = default;
    explicit CRegistryKey(HKEY key) : m_key(key) {}
    ~CRegistryKey()
    {
        if (m_key != nullptr && m_key != INVALID_HANDLE_VALUE) {
            RegCloseKey(m_key);
        }
    }
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;
    HKEY* Receive() { return &m_key; }
    HKEY Get() const { return m_key; }
    bool IsValid() const { return m_key != nullptr && m_key != INVALID_HANDLE_VALUE; }

private:
    HKEY m_key = nullptr;
};

// A REG_SZ value of at most 255 characters, or empty.
std::wstring StringValue(HKEY key, const wchar_t* name)
{
    wchar_t buffer[256] = {};
    DWORD type = 0;
    DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::wstring();
    }
    return std::wstring(buffer, bytes / sizeof(wchar_t)).c_str(); // up to its terminator
}

// Every port of the serial device map: value names are drivers' devices, the data port names.
void AddDeviceMap(std::vector<FoundPort>& ports)
{
    CRegistryKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, key.Receive()) !=
        ERROR_SUCCESS) {
        return;
    }
    for (DWORD i = 0; i < 1000; ++i) {
        wchar_t name[256];
        wchar_t data[256] = {};
        DWORD nameChars = 256;
        DWORD bytes = sizeof(data) - sizeof(wchar_t);
        DWORD type = 0;
        const LONG result =
            RegEnumValueW(key.Get(), i, name, &nameChars, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
        if (result == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (result == ERROR_SUCCESS && type == REG_SZ) {
            ports.push_back(FoundPort{std::wstring(data, bytes / sizeof(wchar_t)).c_str(), std::wstring()});
        }
    }
}

// A function of `library` as its own type. GetProcAddress's type is not the function's; going
// through void (*)(), which every function pointer converts to and back, says the cast is meant.
template <typename Function> Function* ProcOf(HMODULE library, const char* name)
{
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

// The device manager's ports with their friendly names. SetupAPI is loaded here, from the
// system folder only; without it (a handset has none) this adds nothing.
void AddDeviceManagerPorts(std::vector<FoundPort>& ports)
{
    HMODULE library = LoadLibraryExW(L"setupapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library == nullptr) {
        return;
    }
    const auto getClassDevs = ProcOf<decltype(SetupDiGetClassDevsW)>(library, "SetupDiGetClassDevsW");
    const auto enumDeviceInfo = ProcOf<decltype(SetupDiEnumDeviceInfo)>(library, "SetupDiEnumDeviceInfo");
    const auto getProperty =
        ProcOf<decltype(SetupDiGetDeviceRegistryPropertyW)>(library, "SetupDiGetDeviceRegistryPropertyW");
    const auto openDevRegKey = ProcOf<decltype(SetupDiOpenDevRegKey)>(library, "SetupDiOpenDevRegKey");
    const auto destroyList = ProcOf<decltype(SetupDiDestroyDeviceInfoList)>(library, "SetupDiDestroyDeviceInfoList");
    if (getClassDevs != nullptr && enumDeviceInfo != nullptr && getProperty != nullptr && openDevRegKey != nullptr &&
        destroyList != nullptr) {
        HDEVINFO devices = getClassDevs(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
        if (devices != INVALID_HANDLE_VALUE) {
            SP_DEVINFO_DATA device{};
            device.cbSize = sizeof(device);
            for (DWORD i = 0; i < 1000 && enumDeviceInfo(devices, i, &device); ++i) {
                CRegistryKey key(openDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ));
                const std::wstring name = key.IsValid() ? StringValue(key.Get(), L"PortName") : std::wstring();
                if (name.empty()) {
                    continue; // a printer port, or a device without its port
                }
                wchar_t friendly[256] = {};
                DWORD type = 0;
                if (!getProperty(devices, &device, SPDRP_FRIENDLYNAME, &type, reinterpret_cast<BYTE*>(friendly),
                                 sizeof(friendly) - sizeof(wchar_t), nullptr) ||
                    type != REG_SZ) {
                    friendly[0] = L'\0';
                }
                ports.push_back(FoundPort{name, friendly});
            }
            destroyList(devices);
        }
    }
    FreeLibrary(library);
}

// The DOS device names that are serial ports ("COM3"), whatever list put them there.
void AddDosDevices(std::vector<FoundPort>& ports)
{
    std::wstring names(16384, L'\0');
    DWORD length = 0;
    while ((length = QueryDosDeviceW(nullptr, &names[0], static_cast<DWORD>(names.size()))) == 0) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || names.size() >= 1024 * 1024) {
            return;
        }
        names.assign(names.size() * 4, L'\0');
    }
    names.resize(length);
    for (size_t start = 0; start < names.size();) {
        const size_t end = names.find(L'\0', start);
        const std::wstring name = names.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (IsComPortName(name)) {
            ports.push_back(FoundPort{name, std::wstring()});
        }
        if (end == std::wstring::npos) {
            break;
        }
        start = end + 1;
    }
}

} // namespace

std::vector<FoundPort> FindSerialPorts()
{
    std::vector<FoundPort> ports;
    AddDeviceMap(ports);
    AddDeviceManagerPorts(ports);
    AddDosDevices(ports);
    return ports;
}
