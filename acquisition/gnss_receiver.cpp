#include "acquisition/gnss_receiver.h"

CGnssReceiver g_receiver;

CGnssReceiver::CGnssReceiver()
{
    m_port.SetListener(this);
}

CGnssReceiver::~CGnssReceiver()
{
    m_port.SetListener(nullptr);
}

void CGnssReceiver::SetNotify(HWND window, UINT message, UINT errorMessage)
{
    m_port.SetBoxOwner(window);
    std::lock_guard<std::mutex> lock(m_lock);
    m_window = window;
    m_message = message;
    m_errorMessage = errorMessage;
}

bool CGnssReceiver::Adopt(HANDLE device, const DCB& configured)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_reader.Reset();
        m_told = false;
        m_errors.clear();
    }
    return m_port.Adopt(device, configured);
}

bool CGnssReceiver::SetSpeed(unsigned baud)
{
    const bool set = m_port.SetBaudRate(baud);
    std::lock_guard<std::mutex> lock(m_lock);
    m_reader.Reset();
    return set;
}

void CGnssReceiver::Close()
{
    if (m_port.IsOpen()) {
        m_port.Close(false); // a receiver's port that will not close is no news to the user
    }
}

unsigned CGnssReceiver::GoodSentences()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_reader.GoodSentences();
}

std::optional<NmeaFix> CGnssReceiver::Fix()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_reader.Fix();
}

std::vector<std::wstring> CGnssReceiver::TakeReadErrors()
{
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<std::wstring> errors;
    errors.swap(m_errors);
    return errors;
}

bool CGnssReceiver::OnReceiveBytes(const char* bytes, std::size_t count)
{
    HWND window = nullptr;
    UINT message = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_reader.Feed(bytes, count);
        if (m_reader.Fix() && !m_told) {
            m_told = true;
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

void CGnssReceiver::OnReadError(const std::wstring& text)
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
