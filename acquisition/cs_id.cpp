#include "acquisition/cs_id.h"

#include "acquisition/acquire_logic.h"
#include "common/ansi_text.h"

#include <cstring>

CCsId g_csId;

CCsId::CCsId() : m_bOpenedPort(0), m_strDevice(ModuleDeviceName(std::nullopt))
{
    m_listener.SetReader(this);
}

CCsId::~CCsId()
{
    ClosePort();
    m_listener.SetReader(nullptr);
}

void CCsId::SetNotify(HWND window, UINT message, UINT errorMessage, UINT writeErrorMessage)
{
    m_listener.SetNotify(window, message, errorMessage, writeErrorMessage);
}

void CCsId::ClearAnswer()
{
    m_listener.With([this] { m_strBuffer.clear(); });
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
        Port().Close(report);
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
    ClearAnswer();
    Port().SetPreReadPause(0);
    if (!m_listener.Adopt(device, configured, m_strDevice, this)) {
        return false;
    }
    m_bOpenedPort = 1;
    return true;
}

bool CCsId::SendCommand(const char* command)
{
    ClearAnswer();
    if (!Port().IsOpen()) {
        if (!Port().Open(LineSettings(), m_strDevice.c_str())) {
            return false;
        }
        m_bOpenedPort = 1;
    }
    DWORD count = command != nullptr ? static_cast<DWORD>(std::strlen(command)) : 0;
    DWORD written = 0;
    if (Port().write_scc(reinterpret_cast<const BYTE*>(command), &count, &written)) {
        return true;
    }
    ClosePort();
    return false;
}

bool CCsId::QueueCommand(const char* command)
{
    ClearAnswer();
    Port().SetPreReadPause(0);
    return command != nullptr && m_listener.Write(command);
}

bool CCsId::SendAtK20()
{
    Port().SetPreReadPause(0);
    return SendCommand(FirstCommand(false));
}

bool CCsId::SendAtLbc1()
{
    Port().SetPreReadPause(0);
    return SendCommand(FirstCommand(true));
}

bool CCsId::SendAtLbcQuery()
{
    Port().SetPreReadPause(0);
    return SendCommand("AT@LBC?\r\n");
}

bool CCsId::Feed(const char* bytes, std::size_t count)
{
    const std::size_t before = m_strBuffer.size();
    m_strBuffer += AnsiToWide(bytes, count);
    return ChunkCompletesAnswer(m_strBuffer, m_strBuffer.size() - before);
}

int CCsId::TakeResponse(std::wstring& out)
{
    m_listener.With([&] {
        out = m_strBuffer;
        m_strBuffer.clear();
    });
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
