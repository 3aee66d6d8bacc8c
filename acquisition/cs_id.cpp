#include "acquisition/cs_id.h"

#include "acquisition/acquire_logic.h"

#include <cstring>

CCsId g_csId;

CCsId::CCsId()
    : m_bOpenedPort(0), m_hNotifyWindow(nullptr), m_uNotifyMessage(0), m_uErrorMessage(0),
      m_strDevice(ModuleDeviceName(std::nullopt))
{
    m_port.SetListener(this);
}

CCsId::~CCsId()
{
    ClosePort();
}

void CCsId::SetNotify(HWND window, UINT message, UINT errorMessage)
{
    m_port.SetBoxOwner(window);
    std::lock_guard<std::mutex> lock(m_bufferMutex);
    m_hNotifyWindow = window;
    m_uNotifyMessage = message;
    m_uErrorMessage = errorMessage;
    // Errors of a reader that failed while no window listened are told now.
    if (window != nullptr && errorMessage != 0 && !m_readErrors.empty()) {
        PostMessageW(window, errorMessage, 0, 0);
    }
}

void CCsId::SetDeviceName(const std::wstring& name)
{
    if (name != m_strDevice) {
        ClosePort();
        m_strDevice = name;
    }
}

void CCsId::ClosePort(bool report)
{
    if (m_bOpenedPort != 0) {
        m_bOpenedPort = 0;
        m_port.Close(report);
    }
}

DCB CCsId::LineSettings()
{
    return LineSettings8N1(CBR_9600);
}

const char* CCsId::FirstCommand(bool simpleCoordinates)
{
    return simpleCoordinates ? "AT@LBC1\r\n" : "AT@K20\r\n";
}

bool CCsId::AdoptPort(HANDLE device, const DCB& configured)
{
    {
        std::lock_guard<std::mutex> lock(m_bufferMutex);
        m_strBuffer.clear();
    }
    m_port.SetPreReadPause(0);
    if (!m_port.Adopt(device, configured)) {
        return false;
    }
    m_bOpenedPort = 1;
    return true;
}

bool CCsId::SendCommand(const char* command)
{
    {
        std::lock_guard<std::mutex> lock(m_bufferMutex);
        m_strBuffer.clear();
    }
    if (!m_port.IsOpen()) {
        if (!m_port.Open(LineSettings(), m_strDevice.c_str())) {
            return false;
        }
        m_bOpenedPort = 1;
    }
    DWORD count = command != nullptr ? static_cast<DWORD>(std::strlen(command)) : 0;
    DWORD written = 0;
    if (m_port.write_scc(reinterpret_cast<const BYTE*>(command), &count, &written)) {
        return true;
    }
    ClosePort();
    return false;
}

bool CCsId::SendAtK20()
{
    m_port.SetPreReadPause(0);
    return SendCommand(FirstCommand(false));
}

bool CCsId::SendAtLbc1()
{
    m_port.SetPreReadPause(0);
    return SendCommand(FirstCommand(true));
}

bool CCsId::SendAtLbcQuery()
{
    m_port.SetPreReadPause(0);
    return SendCommand("AT@LBC?\r\n");
}

void CCsId::OnReceive(const wchar_t* text)
{
    HWND window = nullptr;
    UINT message = 0;
    bool complete = false;
    {
        // The reader thread may deliver while the dialog takes an answer.
        std::lock_guard<std::mutex> lock(m_bufferMutex);
        const size_t before = m_strBuffer.size();
        if (text != nullptr) {
            m_strBuffer += text;
        }
        complete = ChunkCompletesAnswer(m_strBuffer, m_strBuffer.size() - before);
        window = m_hNotifyWindow;
        message = m_uNotifyMessage;
    }
    // Posted, never sent: the reader must not wait for the user interface.
    if (complete && window != nullptr) {
        PostMessageW(window, message, 0, 0);
    }
}

void CCsId::OnReadError(const std::wstring& text)
{
    HWND window = nullptr;
    UINT message = 0;
    {
        std::lock_guard<std::mutex> lock(m_bufferMutex);
        m_readErrors.push_back(text);
        window = m_hNotifyWindow;
        message = m_uErrorMessage;
    }
    if (window != nullptr && message != 0) {
        PostMessageW(window, message, 0, 0);
    }
}

std::vector<std::wstring> CCsId::TakeReadErrors()
{
    std::lock_guard<std::mutex> lock(m_bufferMutex);
    std::vector<std::wstring> errors;
    errors.swap(m_readErrors);
    return errors;
}

int CCsId::TakeResponse(std::wstring& out)
{
    {
        std::lock_guard<std::mutex> lock(m_bufferMutex);
        out = m_strBuffer;
        m_strBuffer.clear();
    }
    return ClassifyAnswer(out);
}

bool CCsId::ParseCsId(const std::wstring& text, std::wstring& out)
{
    return ParseCsIdAnswer(text, out);
}

bool CCsId::ParseSimpleCoordinates(const std::wstring& text, std::wstring& out)
{
    return ParseSimpleCoordinatesAnswer(text, out);
}
