#include "acquisition/port_search.h"

#include "common/texts.h"
#include "resources/resource.h"

#include <iterator>
#include <string_view>

namespace {

// What is asked once "AT" was answered, in order; every one of them only reads.
const char* const kQuestions[] = {"AT+CGMI", "AT+CGMM", "AT+C5GREG?", "AT+CEREG?", "AT+CGREG?", "AT+CREG?", "AT@K20"};
constexpr std::size_t kMakerQuestion = 0;
constexpr std::size_t kModelQuestion = 1;
constexpr std::size_t kFirstRegistration = 2;
constexpr std::size_t kWsimQuestion = 6;
constexpr std::size_t kQuestionCount = std::size(kQuestions);

// The platform's codes of a port another program holds.
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kSharingViolation = 32;
constexpr std::uint32_t kLockViolation = 33;
constexpr std::uint32_t kBusy = 170;

char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix)
{
    if (s.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (Upper(s[i]) != Upper(prefix[i])) {
            return false;
        }
    }
    return true;
}

std::string_view TrimSpacesAndQuotes(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '"')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '"')) {
        s.remove_suffix(1);
    }
    return s;
}

std::wstring Widen(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

} // namespace

// ---- CPortProbe ----

unsigned CPortProbe::Speed() const
{
    if (m_phase == Phase::Listen) {
        return kSearchListenSpeeds[m_speed];
    }
    return kSearchAtSpeeds[m_speed];
}

ProbeStep CPortProbe::SetSpeed(std::uint32_t nowMs)
{
    m_speedSet = true;
    m_speedRefused = false;
    m_awaiting = false;
    m_since = nowMs;
    m_heardHere = 0;
    m_nmea.Reset();
    // Half an answer at the old speed, or one still owed, must not count at the new one.
    m_answer = CModemAnswerCollector();
    ProbeStep step;
    step.what = ProbeStep::Do::SetSpeed;
    step.baud = Speed();
    return step;
}

ProbeStep CPortProbe::Send(const char* command, std::uint32_t nowMs)
{
    m_awaiting = true;
    m_since = nowMs;
    m_answer.Begin(command);
    ProbeStep step;
    step.what = ProbeStep::Do::Send;
    step.command = std::string(command) + "\r";
    return step;
}

ProbeStep CPortProbe::Settle(PortKind kind)
{
    m_phase = Phase::Done;
    m_awaiting = false;
    m_finding.kind = kind;
    if (kind == PortKind::Silent) {
        m_finding.baud = 0;
    }
    return ProbeStep{};
}

ProbeStep CPortProbe::SettleWithWhatWasHeard()
{
    if (m_phase == Phase::Identify) {
        return Settle(m_registered ? PortKind::Modem : m_wsim ? PortKind::WSim : PortKind::Unknown);
    }
    return Settle(m_heard > 0 ? PortKind::Unknown : PortKind::Silent);
}

ProbeStep CPortProbe::Next(std::uint32_t nowMs)
{
    if (m_phase == Phase::Done) {
        return ProbeStep{};
    }
    // Until a device answered "AT", NMEA is listened for at whatever speed the line is at.
    if (m_phase != Phase::Identify && m_speedSet && m_nmea.GoodSentences() > 0) {
        m_finding.baud = Speed();
        return Settle(PortKind::Receiver);
    }
    if (nowMs >= kSearchPortBoundMs) {
        return SettleWithWhatWasHeard();
    }
    switch (m_phase) {
    case Phase::Listen:
        return NextListen(nowMs);
    case Phase::AskAt:
        return NextAskAt(nowMs);
    case Phase::Identify:
        return NextIdentify(nowMs);
    case Phase::Done:
        break;
    }
    return ProbeStep{};
}

ProbeStep CPortProbe::NextListen(std::uint32_t nowMs)
{
    if (!m_speedSet) {
        return SetSpeed(nowMs);
    }
    const std::uint32_t listened = nowMs - m_since;
    if (!m_speedRefused && listened < kSearchListenMs) {
        ProbeStep step;
        step.what = ProbeStep::Do::Read;
        step.readMs = kSearchListenMs - listened;
        return step;
    }
    // Silence at a speed the line took ends the listening; a speed it refused tells nothing.
    if ((m_heardHere > 0 || m_speedRefused) && m_speed + 1 < std::size(kSearchListenSpeeds)) {
        ++m_speed;
        return SetSpeed(nowMs);
    }
    m_phase = Phase::AskAt;
    m_speed = 0;
    m_speedSet = false;
    return NextAskAt(nowMs);
}

ProbeStep CPortProbe::NextAskAt(std::uint32_t nowMs)
{
    if (m_speed >= std::size(kSearchAtSpeeds)) {
        return SettleWithWhatWasHeard();
    }
    if (!m_speedSet) {
        m_atRetries = 0;
        return SetSpeed(nowMs);
    }
    if (m_speedRefused) {
        ++m_speed;
        m_speedSet = false;
        return NextAskAt(nowMs);
    }
    if (!m_awaiting) {
        return Send("AT", nowMs);
    }
    if (m_answer.Complete()) {
        if (m_answer.Answer().final == ModemFinal::Ok) {
            m_finding.baud = Speed();
            m_phase = Phase::Identify;
            m_awaiting = false;
            m_question = 0;
            return NextIdentify(nowMs);
        }
        // Garbage from another speed may have led the line: the question once more.
        if (m_atRetries == 0) {
            ++m_atRetries;
            return Send("AT", nowMs);
        }
        // It speaks at this speed, but will not take "AT": nothing more goes to it.
        m_finding.baud = Speed();
        return Settle(PortKind::Unknown);
    }
    const std::uint32_t waited = nowMs - m_since;
    if (waited >= kSearchAtWaitMs) {
        ++m_speed;
        m_speedSet = false;
        return NextAskAt(nowMs);
    }
    ProbeStep step;
    step.what = ProbeStep::Do::Read;
    step.readMs = kSearchAtWaitMs - waited;
    return step;
}

ProbeStep CPortProbe::NextIdentify(std::uint32_t nowMs)
{
    for (;;) {
        if (!m_awaiting) {
            if (m_question >= kQuestionCount) {
                return SettleWithWhatWasHeard();
            }
            return Send(kQuestions[m_question], nowMs);
        }
        if (m_answer.Complete()) {
            TakeIdentifyAnswer(m_answer.Answer());
            m_awaiting = false;
            ++m_question;
            if (m_registered) {
                return Settle(PortKind::Modem);
            }
            // The W-SIM's command goes only to a device that showed itself no modem.
            if (m_question == kWsimQuestion + 1) {
                return SettleWithWhatWasHeard();
            }
            continue;
        }
        const std::uint32_t waited = nowMs - m_since;
        if (waited >= kSearchCommandWaitMs) {
            return SettleWithWhatWasHeard();
        }
        ProbeStep step;
        step.what = ProbeStep::Do::Read;
        step.readMs = kSearchCommandWaitMs - waited;
        return step;
    }
}

void CPortProbe::TakeIdentifyAnswer(const ModemAnswer& answer)
{
    if (m_question == kMakerQuestion) {
        m_finding.maker = DeviceNameFromAnswer(answer, "+CGMI");
    } else if (m_question == kModelQuestion) {
        m_finding.model = DeviceNameFromAnswer(answer, "+CGMM");
    } else if (m_question < kWsimQuestion) {
        // Any line of the kind asked, in an answer that ended in OK: only a 3GPP modem has one.
        const auto kind = static_cast<RegistrationKind>(m_question - kFirstRegistration);
        for (const std::string& line : answer.lines) {
            Registration registration;
            if (answer.final == ModemFinal::Ok && ParseRegistrationLine(line, registration) &&
                registration.kind == kind) {
                m_registered = true;
            }
        }
    } else {
        m_wsim = answer.final == ModemFinal::Ok;
    }
}

void CPortProbe::Feed(const char* bytes, std::size_t count)
{
    if (m_phase == Phase::Done || count == 0) {
        return;
    }
    m_heard += count;
    m_heardHere += count;
    if (m_phase != Phase::Identify) {
        m_nmea.Feed(bytes, count);
    }
    if (m_awaiting) {
        m_answer.Feed(std::string_view(bytes, count));
    }
}

void CPortProbe::SpeedRefused()
{
    if (m_phase != Phase::Done && m_speedSet) {
        m_speedRefused = true;
    }
}

void CPortProbe::LineFailed()
{
    if (m_phase != Phase::Done) {
        SettleWithWhatWasHeard();
    }
}

// ---- what the search shows ----

PortKind KindOfOpenFailure(std::uint32_t error)
{
    switch (error) {
    case kAccessDenied:
    case kSharingViolation:
    case kLockViolation:
    case kBusy:
        return PortKind::InUse;
    default:
        return PortKind::Unusable;
    }
}

std::string DeviceNameFromAnswer(const ModemAnswer& answer, const char* command)
{
    if (answer.final != ModemFinal::Ok) {
        return std::string();
    }
    const std::string prefix = std::string(command) + ":";
    for (const std::string& raw : answer.lines) {
        std::string_view line = TrimSpacesAndQuotes(raw);
        if (StartsWithNoCase(line, prefix)) {
            line = TrimSpacesAndQuotes(line.substr(prefix.size()));
        }
        // Another command's line ("+CEREG: 1") came between: an unsolicited one.
        if (line.empty() || line.front() == '+') {
            continue;
        }
        std::string name;
        for (char c : line) {
            if (name.size() == kMaxDeviceNameChars) {
                break;
            }
            name += (c >= 0x20 && c < 0x7F) ? c : '?';
        }
        return name;
    }
    return std::string();
}

std::optional<SearchChoice> ChoiceOf(const PortFinding& finding)
{
    SearchChoice choice;
    choice.port = finding.port;
    choice.baud = finding.baud;
    switch (finding.kind) {
    case PortKind::Receiver:
        choice.module = ModuleKind::Nmea;
        return choice;
    case PortKind::WSim:
        // The W-SIM's line speed is the program's own: 速度 stays 自動.
        choice.module = ModuleKind::WSim;
        choice.baud = 0;
        return choice;
    case PortKind::Modem:
        choice.module = ModuleKind::Modem;
        return choice;
    default:
        return std::nullopt;
    }
}

std::wstring PortKindText(PortKind kind)
{
    switch (kind) {
    case PortKind::Searching:
        return Text(IDS_SEARCH_KIND_SEARCHING);
    case PortKind::Receiver:
        return Text(IDS_SEARCH_KIND_RECEIVER);
    case PortKind::WSim:
        return Text(IDS_SEARCH_KIND_WSIM);
    case PortKind::Modem:
        return Text(IDS_SEARCH_KIND_MODEM);
    case PortKind::Unknown:
        return Text(IDS_SEARCH_KIND_UNKNOWN);
    case PortKind::Silent:
        return Text(IDS_SEARCH_KIND_SILENT);
    case PortKind::InUse:
        return Text(IDS_SEARCH_KIND_IN_USE);
    case PortKind::Unusable:
        return Text(IDS_SEARCH_KIND_UNUSABLE);
    case PortKind::Stopped:
        break;
    }
    return Text(IDS_SEARCH_KIND_STOPPED);
}

std::wstring FindingSpeedText(const PortFinding& finding)
{
    if (finding.baud == 0) {
        return std::wstring();
    }
    return Text(IDS_SEARCH_SPEED, {NumberText(finding.baud)});
}

std::wstring FindingDeviceText(const PortFinding& finding)
{
    if (finding.maker.empty() || finding.model.empty()) {
        return Widen(finding.maker + finding.model);
    }
    return Widen(finding.maker + " " + finding.model);
}

std::wstring SearchStatusText(std::size_t portCount, std::size_t searching, bool stopped)
{
    if (portCount == 0) {
        return Text(IDS_SEARCH_NO_PORTS);
    }
    if (stopped) {
        return Text(IDS_SEARCH_STOPPED);
    }
    if (searching > 0) {
        return Text(IDS_SEARCH_RUNNING,
                    {NumberText(static_cast<long long>(searching)), NumberText(static_cast<long long>(portCount))});
    }
    return Text(IDS_SEARCH_DONE);
}

std::wstring ReceiverSearchOfferText(const std::wstring& port)
{
    return Text(IDS_SEARCH_OFFER_RECEIVER, {port});
}

std::wstring ModemSearchOfferText(const std::wstring& port)
{
    return Text(IDS_SEARCH_OFFER_MODEM, {port});
}
