#include "acquisition/modem_port.h"

CModemPort g_modem;

CModemPort::CModemPort()
{
    m_port.SetListener(this);
}

CModemPort::~CModemPort()
{
    m_port.SetListener(nullptr);
}

void CModemPort::SetNotify(HWND window, UINT message, UINT errorMessage)
{
    m_port.SetBoxOwner(window);
    std::lock_guard<std::mutex> lock(m_lock);
    m_window = window;
    m_message = message;
    m_errorMessage = errorMessage;
}

bool CModemPort::Adopt(HANDLE device, const DCB& configured, CModemDialogue* dialogue)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_dialogue = dialogue;
        m_errors.clear();
    }
    return m_port.Adopt(device, configured);
}

bool CModemPort::Write(const std::string& command)
{
    const DWORD count = static_cast<DWORD>(command.size());
    DWORD written = 0;
    return m_port.write_scc(reinterpret_cast<const BYTE*>(command.data()), &count, &written);
}

void CModemPort::Close()
{
    if (m_port.IsOpen()) {
        m_port.Close(false); // a modem's port that will not close is no news to the user
    }
    std::lock_guard<std::mutex> lock(m_lock);
    m_dialogue = nullptr;
}

std::vector<std::wstring> CModemPort::TakeReadErrors()
{
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<std::wstring> errors;
    errors.swap(m_errors);
    return errors;
}

bool CModemPort::OnReceiveBytes(const char* bytes, std::size_t count)
{
    HWND window = nullptr;
    UINT message = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_dialogue != nullptr && m_dialogue->Feed(std::string_view(bytes, count))) {
            window = m_window;
            message = m_message;
        }
    }
    // Posted, never sent: the reader must not wait for the user interface.
    if (window != nullptr) {
        PostMessageW(window, message, 0, 0);
    }
    return true;
}

void CModemPort::OnReadError(const std::wstring& text)
{
    HWND window = nullptr;
    UINT message = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_errors.push_back(text);
        window = m_window;
        message = m_errorMessage;
    }
    if (window != nullptr && message != 0) {
        PostMessageW(window, message, 0, 0);
    }
}
