#include "acquisition/port_listener.h"

CPortListener g_devicePort;

CPortListener::CPortListener()
{
    m_port.SetListener(this);
}

CPortListener::~CPortListener()
{
    m_port.SetListener(nullptr);
}

void CPortListener::SetNotify(HWND window, UINT message, UINT readError, UINT writeError)
{
    m_port.SetBoxOwner(window);
    std::lock_guard<std::mutex> lock(m_lock);
    m_window = window;
    m_message = message;
    m_readError = readError;
    m_writeError = writeError;
    if (window != nullptr && readError != 0 && !m_readErrors.empty()) {
        PostMessageW(window, readError, 0, 0);
    }
}

bool CPortListener::Adopt(HANDLE device, const DCB& configured, const std::wstring& name, IPortReader* reader)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_reader = reader;
        m_readErrors.clear();
        m_writeErrors.clear();
    }
    return m_port.Adopt(device, configured, name);
}

bool CPortListener::OpenNetwork(const ReceiverAddress& address, IPortReader* reader)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_reader = reader;
        m_readErrors.clear();
        m_writeErrors.clear();
    }
    return m_network.Open(address, this);
}

void CPortListener::SetReader(IPortReader* reader)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_reader = reader;
}

void CPortListener::Close()
{
    if (m_port.IsOpen()) {
        m_port.Close(false); // a device's port that will not close is no news to the user
    }
    m_network.Close();
    std::lock_guard<std::mutex> lock(m_lock);
    m_reader = nullptr;
}

std::vector<std::wstring> CPortListener::TakeReadErrors()
{
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<std::wstring> errors;
    errors.swap(m_readErrors);
    return errors;
}

std::vector<std::wstring> CPortListener::TakeWriteErrors()
{
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<std::wstring> errors;
    errors.swap(m_writeErrors);
    return errors;
}

bool CPortListener::OnReceiveBytes(const char* bytes, std::size_t count)
{
    HWND window = nullptr;
    UINT message = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_reader != nullptr && m_reader->Feed(bytes, count)) {
            window = m_window;
            message = m_message;
        }
    }
    // Posted, never sent: the reader must not wait for the user interface.
    if (window != nullptr) {
        PostMessageW(window, message, 0, 0);
    }
    return true; // bytes, never text: a receiver's binary frames hold NULs
}

void CPortListener::Tell(std::vector<std::wstring>& errors, const std::wstring& text, UINT CPortListener::*message)
{
    HWND window = nullptr;
    UINT posted = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        errors.push_back(text);
        window = m_window;
        posted = this->*message;
    }
    if (window != nullptr && posted != 0) {
        PostMessageW(window, posted, 0, 0);
    }
}

void CPortListener::OnReadError(const std::wstring& text)
{
    Tell(m_readErrors, text, &CPortListener::m_readError);
}

void CPortListener::OnWriteError(const std::wstring& text)
{
    Tell(m_writeErrors, text, &CPortListener::m_writeError);
}
