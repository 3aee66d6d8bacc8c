#include "acquisition/fix_wait.h"

#include "common/text_format.h"

#include <iterator>

CFixWait::CFixWait(std::optional<unsigned> baud, unsigned fixWaitSeconds, bool accuracyWanted)
    : m_speeds(baud ? std::vector<unsigned>{*baud}
                    : std::vector<unsigned>(std::begin(kNmeaSpeeds), std::end(kNmeaSpeeds))),
      m_fixWaitMs(fixWaitSeconds * 1000u), m_accuracyWanted(accuracyWanted)
{
}

FixWaitStep CFixWait::Step(std::uint32_t elapsedMs, unsigned goodSentences, const std::optional<NmeaFix>& fix)
{
    if (!fix) {
        return OnTick(elapsedMs, goodSentences);
    }
    if (!m_fixSince) {
        m_fixSince = elapsedMs;
    }
    return FixGoesOn(*fix, m_accuracyWanted, elapsedMs - *m_fixSince) ? FixWaitStep::HandOver : FixWaitStep::Listen;
}

bool FixGoesOn(const NmeaFix& fix, bool accuracyWanted, std::uint32_t sinceFixMs)
{
    return !accuracyWanted || fix.epochDone || sinceFixMs >= kEpochWaitMs;
}

FixWaitStep CFixWait::OnTick(std::uint32_t elapsedMs, unsigned goodSentences)
{
    if (m_fixSince) {
        return FixWaitStep::Listen; // the fix is in; only its epoch is awaited
    }
    if (m_found) {
        return elapsedMs >= m_fixWaitMs ? FixWaitStep::NoFix : FixWaitStep::Listen;
    }
    const std::uint32_t listened = elapsedMs - m_speedSince;
    // One set speed is listened to longer than each speed of a search.
    if (m_speeds.size() == 1 && goodSentences == 0 && listened < kSetSpeedListenMs) {
        return FixWaitStep::Listen;
    }
    switch (NextSpeedStep(m_index, m_speeds.size(), listened, goodSentences)) {
    case SpeedStep::Found:
        m_found = true;
        return FixWaitStep::SpeedFound;
    case SpeedStep::TryNext:
        ++m_index;
        m_speedSince = elapsedMs;
        return FixWaitStep::SwitchSpeed;
    case SpeedStep::GiveUp:
        return FixWaitStep::NoReceiver;
    case SpeedStep::Listen:
        break;
    }
    // The search itself is bounded; the fix wait counts once a receiver was heard.
    return FixWaitStep::Listen;
}

std::wstring FixWaitProgressText(const std::wstring& port)
{
    return Format(L"GNSS受信機（%ls）の測位を待っています。", port.c_str());
}

std::wstring NoReceiverText(const std::wstring& port)
{
    return Format(L"%ls の GNSS受信機から応答がありません。受信機の接続と電源、設定ファイルの PORT と BAUD "
                  L"を確認してください。",
                  port.c_str());
}

std::wstring NoFixText(unsigned seconds)
{
    return Format(L"GNSS受信機が %u 秒以内に測位できませんでした。空の見える場所でもう一度お試しください。", seconds);
}

std::wstring SpeedFoundText(const std::wstring& port, unsigned speed)
{
    return Format(L"GNSS受信機（%ls）: %u bps", port.c_str(), speed);
}
