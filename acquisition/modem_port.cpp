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

bool CModemPort::Adopt(HANDLE device, const DCB& configured)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_collector = CModemAnswerCollector();
        m_told = false;
        m_heard = 0;
        m_errors.clear();
    }
    return m_port.Adopt(device, configured);
}

bool CModemPort::Send(const std::string& command)
{
    {
        // Begun before the write: an answer can come back before the write returns.
        std::lock_guard<std::mutex> lock(m_lock);
        m_collector.Begin(command);
        m_told = false;
    }
    const DWORD count = static_cast<DWORD>(command.size());
    DWORD written = 0;
    if (!m_port.write_scc(reinterpret_cast<const BYTE*>(command.data()), &count, &written)) {
        return false;
    }
    // Lines held from before the command may already complete it (an answer split by the
    // wait): told as if they had just come.
    HWND window = nullptr;
    UINT message = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_collector.Complete() && !m_told) {
            m_told = true;
            window = m_window;
            message = m_message;
        }
    }
    if (window != nullptr) {
        PostMessageW(window, message, 0, 0);
    }
    return true;
}

ModemAnswer CModemPort::Answer()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_collector.Answer();
}

std::size_t CModemPort::BytesHeard()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_heard;
}

void CModemPort::Close()
{
    if (m_port.IsOpen()) {
        m_port.Close(false); // a modem's port that will not close is no news to the user
    }
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
        m_heard += count;
        m_collector.Feed(std::string_view(bytes, count));
        if (m_collector.Complete() && !m_told) {
            m_told = true;
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
