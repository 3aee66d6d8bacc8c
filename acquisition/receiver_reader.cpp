#include "acquisition/receiver_reader.h"

void CReceiverReader::Reset(bool gpsd)
{
    m_gpsd = gpsd;
    m_nmea.Reset();
    m_reports.Reset();
}

FixProgress CReceiverReader::Progress() const
{
    if (!m_gpsd) {
        return m_nmea.Progress();
    }
    return m_reports.Fix() ? FixProgress::Ready : FixProgress::None;
}

bool CReceiverReader::Feed(const char* bytes, std::size_t count)
{
    const FixProgress before = Progress();
    if (m_gpsd) {
        m_reports.Feed(bytes, count);
    } else {
        m_nmea.Feed(bytes, count);
    }
    return Progress() != before;
}

std::optional<NmeaFix> CReceiverReader::Fix() const
{
    if (!m_gpsd) {
        return m_nmea.Fix();
    }
    return m_reports.Fix() ? std::optional<NmeaFix>(m_reports.Fix()->fix) : std::nullopt;
}

void CReceiverReader::Heard(ReceiverHeard& heard) const
{
    heard.goodSentences = m_nmea.GoodSentences();
    heard.gpsdAnswered = m_reports.Answered();
    heard.gpsdDevices = m_reports.Devices();
}
