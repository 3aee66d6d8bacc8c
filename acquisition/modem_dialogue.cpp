#include "acquisition/modem_dialogue.h"

#include "common/texts.h"
#include "resources/resource.h"

#include <iterator>

namespace {

const char* const kPrefixes[] = {"+C5GREG:", "+CEREG:", "+CGREG:", "+CREG:"};
const char* const kNames[] = {"C5GREG", "CEREG", "CGREG", "CREG"};
constexpr std::size_t kMaxFields = 16;
// Widest number a modem writes with its leading zeros ("007").
constexpr std::size_t kMaxNumberWidth = 8;
// Lines read but not yet taken by the dialogue; a babbling port loses the rest.
constexpr std::size_t kMaxNewLines = 64;

bool IsSpace(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsSpace(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsSpace(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i])) {
            return false;
        }
    }
    return true;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

// A field as written, with its surrounding quotes (and spaces inside them) removed.
struct Field
{
    std::string_view text;
    bool quoted = false;
};

// Splits at commas outside quotes. False when there are more fields than any answer has.
bool SplitFields(std::string_view s, std::vector<Field>& out)
{
    out.clear();
    std::size_t start = 0;
    bool inQuotes = false;
    for (std::size_t i = 0; i <= s.size(); ++i) {
        if (i < s.size() && s[i] == '"') {
            inQuotes = !inQuotes;
        }
        if (i == s.size() || (s[i] == ',' && !inQuotes)) {
            if (out.size() == kMaxFields) {
                return false;
            }
            Field f;
            f.text = Trim(s.substr(start, i - start));
            if (f.text.size() >= 2 && f.text.front() == '"' && f.text.back() == '"') {
                f.text = Trim(f.text.substr(1, f.text.size() - 2));
                f.quoted = true;
            }
            out.push_back(f);
            start = i + 1;
        }
    }
    return true;
}

// Decimal, leading zeros allowed, at most 999: <n>, <stat>, <AcT>, <mode>, <format>.
bool ReadSmallDecimal(std::string_view s, int& out)
{
    if (s.empty() || s.size() > kMaxNumberWidth) {
        return false;
    }
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
        v = v * 10 + (c - '0');
        if (v > 999) {
            return false;
        }
    }
    out = v;
    return true;
}

// Hexadecimal in either case, leading zeros allowed; false above 36 bits, the widest cell.
bool ReadHex(std::string_view s, std::uint64_t& out)
{
    if (s.empty()) {
        return false;
    }
    std::uint64_t v = 0;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (Upper(c) >= 'A' && Upper(c) <= 'F') {
            d = Upper(c) - 'A' + 10;
        } else {
            return false;
        }
        v = v * 16 + static_cast<std::uint64_t>(d);
        if (v > 0xFFFFFFFFFull) {
            return false;
        }
    }
    out = v;
    return true;
}

// A bare number that is no identity: <n>, <stat>, <AcT>, at most `max`.
bool IsNumber(const Field& f, int max, int& value)
{
    return !f.quoted && ReadSmallDecimal(f.text, value) && value <= max;
}

bool IsHex(const Field& f)
{
    std::uint64_t ignored = 0;
    return ReadHex(f.text, ignored);
}

// An area or cell as modems write them: quoted hex, or at least four bare hex digits (a small
// bare number is a status or an access technology).
bool IsIdentity(const Field& f)
{
    return IsHex(f) && (f.quoted || f.text.size() >= 4);
}

bool IsAbsent(const std::vector<Field>& fields, std::size_t i)
{
    return i >= fields.size() || fields[i].text.empty();
}

// What a modem wrote, made safe for a box: printable ASCII only, at most 64 characters.
std::wstring Printable(std::string_view s)
{
    std::wstring out;
    for (char c : s.substr(0, 64)) {
        out += (c >= 0x20 && c < 0x7F) ? static_cast<wchar_t>(c) : L'?';
    }
    return out;
}

std::wstring Number(long long value)
{
    return NumberText(value);
}

} // namespace

// ---- CModemAnswerCollector ----

void CModemAnswerCollector::Begin(std::string_view command, bool again)
{
    while (!command.empty() && (command.back() == '\r' || command.back() == '\n')) {
        command.remove_suffix(1);
    }
    if (!again) {
        ++m_question;
    }
    m_sent.push_back(Sent{std::string(command), m_question, false});
    while (m_sent.size() > kMaxOwed) {
        m_sent.pop_front();
    }
    m_bOpen = true;
    m_bComplete = false;
    m_answer = ModemAnswer();
    // Already taken as new lines when they came: only the answer's own list gets them.
    for (std::string& line : m_after) {
        if (m_answer.lines.size() < ModemAnswer::kMaxLines) {
            m_answer.lines.emplace_back(Trim(line));
        }
    }
    m_after.clear();
}

bool CModemAnswerCollector::Feed(std::string_view bytes)
{
    for (char c : bytes) {
        if (c == '\r' || c == '\n') {
            EndLine();
        } else if (m_line.size() < ModemAnswer::kMaxLineBytes) {
            m_line += c;
        } else {
            m_bLineOverlong = true;
        }
    }
    return Complete();
}

std::vector<std::string> CModemAnswerCollector::TakeNewLines()
{
    std::vector<std::string> lines;
    lines.swap(m_new);
    return lines;
}

void CModemAnswerCollector::EndLine()
{
    if (m_bLineOverlong) {
        m_answer.truncated = true;
    }
    std::string line;
    line.swap(m_line);
    m_bLineOverlong = false;
    if (!Trim(line).empty()) {
        TakeLine(line);
    }
}

namespace {

struct FinalForm
{
    const char* text;
    bool prefix;
    ModemFinal final;
};
const FinalForm kFinals[] = {
    {"OK", false, ModemFinal::Ok},
    {"ERROR", false, ModemFinal::Error},
    {"+CME ERROR", true, ModemFinal::CmeError},
    {"+CMS ERROR", true, ModemFinal::CmsError},
    {"NO CARRIER", false, ModemFinal::NoCarrier},
    {"NO DIALTONE", false, ModemFinal::NoCarrier},
    {"BUSY", false, ModemFinal::NoCarrier},
    {"NO ANSWER", false, ModemFinal::NoCarrier},
};

} // namespace

void CModemAnswerCollector::TakeLine(const std::string& raw)
{
    std::string_view line = Trim(raw);
    if (TakeEcho(line)) {
        return;
    }
    for (const FinalForm& f : kFinals) {
        if (f.prefix ? StartsWithNoCase(line, f.text) : EqualsNoCase(line, f.text)) {
            TakeFinal(line, f.final);
            return;
        }
    }
    if (m_new.size() < kMaxNewLines) {
        m_new.emplace_back(line);
    }
    if (!m_bOpen) {
        // Lines between two answers belong to neither: the next answer holds them too.
        if (m_after.size() < ModemAnswer::kMaxLines) {
            m_after.push_back(raw);
        }
        return;
    }
    if (m_answer.lines.size() < ModemAnswer::kMaxLines) {
        m_answer.lines.emplace_back(line);
    } else {
        m_answer.truncated = true;
    }
}

bool CModemAnswerCollector::TakeEcho(std::string_view line)
{
    for (std::size_t i = 0; i < m_sent.size(); ++i) {
        if (!m_sent[i].echoed && !m_sent[i].text.empty() && EqualsNoCase(line, m_sent[i].text)) {
            // The modem is at this command: the ones before it are done, or it never took them.
            m_sent.erase(m_sent.begin(), m_sent.begin() + static_cast<std::ptrdiff_t>(i));
            m_sent.front().echoed = true;
            m_bEchoes = true;
            return true;
        }
    }
    // A command echoed again (a modem that echoes twice) tells nothing more.
    for (const Sent& sent : m_sent) {
        if (!sent.text.empty() && EqualsNoCase(line, sent.text)) {
            return true;
        }
    }
    return false;
}

void CModemAnswerCollector::TakeFinal(std::string_view line, ModemFinal final)
{
    if (m_sent.empty()) {
        return; // owed by nothing sent: a modem's stray result
    }
    const Sent owner = m_sent.front();
    m_sent.pop_front();
    if (!m_bOpen) {
        return; // an answer given up on, or sent twice, ends now: nothing awaits it
    }
    const unsigned current = m_sent.empty() ? owner.question : m_sent.back().question;
    if (owner.question != current) {
        return; // a late answer of an earlier command: never this one's
    }
    m_answer.final = final;
    m_answer.finalLine.assign(line);
    m_bOpen = false;
    m_bComplete = true;
}

// ---- registration lines ----

bool ParseRegistrationLine(std::string_view line, Registration& out)
{
    line = Trim(line);
    int kind = -1;
    for (int k = 0; k < kRegistrationKinds; ++k) {
        if (StartsWithNoCase(line, kPrefixes[k])) {
            kind = k;
            break;
        }
    }
    if (kind < 0) {
        return false;
    }
    std::vector<Field> fields;
    if (!SplitFields(line.substr(std::string_view(kPrefixes[kind]).size()), fields)) {
        return false;
    }
    Registration r;
    r.kind = static_cast<RegistrationKind>(kind);
    int n = -1;
    int stat = -1;
    // A read answer: <n>,<stat>[,<area>,<cell>,...]. An unsolicited line: <stat>[,<area>,<cell>,<AcT>,...].
    const bool readFits = fields.size() >= 2 && IsNumber(fields[0], 5, n) && IsNumber(fields[1], 99, stat) &&
                          (IsAbsent(fields, 2) || fields[2].quoted || IsHex(fields[2]));
    const bool unsolicitedFits = IsAbsent(fields, 1) || IsIdentity(fields[1]);
    bool read = readFits;
    if (readFits && unsolicitedFits) {
        // "0001" is a status with its zeros or a bare area: the field after the area tells, the
        // read answer's cell or the unsolicited line's access technology.
        if (!IsAbsent(fields, 3)) {
            read = IsIdentity(fields[3]);
        } else {
            read = IsAbsent(fields, 2); // an area needs its cell
        }
    }
    const std::size_t first = read ? 1 : 0;
    if (!read) {
        if (fields[0].quoted || !ReadSmallDecimal(fields[0].text, stat)) {
            return false;
        }
    }
    r.unsolicited = !read;
    r.mode = read ? n : -1;
    r.stat = stat;
    std::size_t at = first + 1;
    if (!IsAbsent(fields, at)) {
        std::uint64_t v = 0;
        if (ReadHex(fields[at].text, v) && v <= 0xFFFFFF) {
            r.hasArea = true;
            r.area = static_cast<std::uint32_t>(v);
        }
    }
    ++at;
    // One or two hex digits before a cell: a routing area, one byte.
    if (!IsAbsent(fields, at) && fields[at].text.size() <= 2 && IsHex(fields[at]) && !IsAbsent(fields, at + 1) &&
        IsIdentity(fields[at + 1])) {
        ++at;
    }
    if (!IsAbsent(fields, at)) {
        r.hasCell = ReadHex(fields[at].text, r.cell);
    }
    ++at;
    if (!IsAbsent(fields, at) && !IsNumber(fields[at], 99, r.act)) {
        r.act = -1;
    }
    out = r;
    return true;
}

bool IsRegisteredStatus(int stat)
{
    switch (stat) {
    case 1:
    case 5:
    case 6:
    case 7:
    case 9:
    case 10:
        return true;
    default:
        return false;
    }
}

namespace {

// The radio of a registration; null when its access technology names none.
const char* RadioOf(const Registration& r)
{
    switch (r.kind) {
    case RegistrationKind::Nr5gs:
        // E-UTRA connected to the 5G core is an LTE cell.
        return r.act == 10 ? "lte" : "nr";
    case RegistrationKind::Eps:
        return (r.act == 11 || r.act == 12) ? "nr" : "lte";
    default:
        break;
    }
    switch (r.act) {
    case -1:
        // A GSM cell identity has 16 bits, a UTRAN one 28.
        return r.cell <= 0xFFFF ? "gsm" : "wcdma";
    case 0:
    case 1:
    case 3:
    case 8:
        return "gsm";
    case 2:
    case 4:
    case 5:
    case 6:
        return "wcdma";
    case 7:
    case 9:
    case 10:
    case 13: // E-UTRA-NR dual connectivity: the registered cell is the LTE anchor
        return "lte";
    case 11:
    case 12:
        return "nr";
    default:
        return nullptr;
    }
}

// How much a status tells the user, most first.
int StatusRank(int stat)
{
    switch (stat) {
    case 3:
        return 0; // denied
    case 8:
        return 1; // emergency services only
    case 2:
        return 2; // searching
    case 4:
        return 3; // unknown
    case 0:
        return 5; // not searching: also what a kind the modem does not use says
    default:
        return 4;
    }
}

} // namespace

bool CellFromRegistration(const Registration& r, CellTower& out)
{
    if (!r.hasArea || !r.hasCell) {
        return false;
    }
    const char* radio = RadioOf(r);
    if (radio == nullptr) {
        return false;
    }
    const std::string radioText = radio;
    // 5GS tracking areas have 24 bits, also for an LTE cell on the 5G core.
    const std::uint32_t areaMax = (radioText == "nr" || r.kind == RegistrationKind::Nr5gs) ? 0xFFFFFF : 0xFFFF;
    std::uint64_t cellMax = 0xFFFFFFF;
    if (radioText == "gsm") {
        cellMax = 0xFFFF;
    } else if (radioText == "nr") {
        cellMax = 0xFFFFFFFFFull;
    }
    // Area codes 0 and xFFFE are reserved, all ones means none; all-ones cells mean none.
    if (r.area == 0 || r.area > areaMax || r.area >= areaMax - 1) {
        return false;
    }
    if (r.cell == 0 || r.cell >= cellMax) {
        return false;
    }
    out.radio = radioText;
    out.area = r.area;
    out.cell = r.cell;
    return true;
}

int MostTellingStatus(const std::vector<int>& statuses)
{
    int best = -1;
    for (int stat : statuses) {
        if (best < 0 || StatusRank(stat) < StatusRank(best)) {
            best = stat;
        }
    }
    return best;
}

bool ParseOperatorLine(std::string_view line, OperatorLine& out)
{
    line = Trim(line);
    if (!StartsWithNoCase(line, "+COPS:")) {
        return false;
    }
    std::vector<Field> fields;
    OperatorLine op;
    if (!SplitFields(line.substr(6), fields) || !IsNumber(fields[0], 99, op.mode)) {
        return false;
    }
    if (!IsAbsent(fields, 1) && !IsNumber(fields[1], 99, op.format)) {
        return false;
    }
    if (fields.size() > 2) {
        op.oper.assign(fields[2].text);
    }
    out = op;
    return true;
}

bool ParseNumericOperator(std::string_view line, CellTower& out)
{
    OperatorLine op;
    if (!ParseOperatorLine(line, op) || op.format != 2) {
        return false;
    }
    if (op.oper.size() != 5 && op.oper.size() != 6) {
        return false;
    }
    unsigned mcc = 0;
    unsigned mnc = 0;
    for (std::size_t i = 0; i < op.oper.size(); ++i) {
        if (op.oper[i] < '0' || op.oper[i] > '9') {
            return false;
        }
        unsigned& part = i < 3 ? mcc : mnc;
        part = part * 10 + static_cast<unsigned>(op.oper[i] - '0');
    }
    out.mcc = mcc;
    out.mnc = mnc;
    out.mncDigits = static_cast<unsigned>(op.oper.size() - 3);
    return true;
}

// ---- CModemDialogue ----

CModemDialogue::CModemDialogue(const std::wstring& port, std::optional<unsigned> baud)
    : m_port(port), m_speeds(baud ? std::vector<unsigned>{*baud}
                                  : std::vector<unsigned>(std::begin(kModemSpeeds), std::end(kModemSpeeds))),
      m_phase(baud ? Phase::Kind : Phase::Probe)
{
}

ModemAction CModemDialogue::Start()
{
    return Ask();
}

ModemAction CModemDialogue::Send(const std::string& command, std::uint32_t waitMs, bool again, unsigned speed)
{
    m_command = command;
    m_waitMs = waitMs;
    m_bWaitedOnce = m_bWaitedOnce && again;
    m_collector.Begin(command, again);
    ModemAction action;
    action.speed = speed;
    action.command = command;
    action.waitMs = waitMs;
    return action;
}

ModemAction CModemDialogue::Ask()
{
    // What came before the question is read first: a line of a kind not asked yet is stale.
    NoteLines();
    switch (m_phase) {
    case Phase::Probe:
        return Send("AT\r", kModemProbeWaitMs, false);
    case Phase::Kind: {
        const std::string name = kNames[m_kind];
        if (m_step == Step::PreRead) {
            m_kinds[m_kind].asked = true;
        }
        // From the moment it goes out: the modem may take it even if its answer never comes.
        m_kinds[m_kind].changed = m_kinds[m_kind].changed || m_step == Step::Set;
        return Send(m_step == Step::Set ? "AT+" + name + "=2\r" : "AT+" + name + "?\r", kModemAnswerWaitMs, false);
    }
    case Phase::Operator:
        m_operatorLines.clear();
        m_bCopsChanged = m_bCopsChanged || m_step == Step::Set;
        return Send(m_step == Step::Set ? "AT+COPS=3,2\r" : "AT+COPS?\r", kModemAnswerWaitMs, false);
    case Phase::Restore:
    case Phase::Done:
        break;
    }
    return End();
}

ModemAction CModemDialogue::End()
{
    m_phase = Phase::Done;
    m_command.clear();
    return ModemAction{};
}

bool CModemDialogue::Feed(std::string_view bytes)
{
    m_heard += bytes.size();
    m_collector.Feed(bytes);
    return AnswerReady();
}

void CModemDialogue::NoteLines()
{
    for (const std::string& line : m_collector.TakeNewLines()) {
        Registration r;
        if (ParseRegistrationLine(line, r)) {
            KindState& k = m_kinds[static_cast<int>(r.kind)];
            // A line of a kind not asked yet is stale: it decides nothing.
            if (!k.asked) {
                continue;
            }
            if (r.unsolicited) {
                k.hasUnsolicited = true;
                k.unsolicited = r;
            } else {
                k.hasRead = true;
                k.read = r;
            }
            continue;
        }
        OperatorLine op;
        if (m_phase == Phase::Operator && ParseOperatorLine(line, op) && m_operatorLines.size() < kMaxOperatorLines) {
            m_operatorLines.push_back(line);
        }
    }
}

ModemAction CModemDialogue::OnAnswer()
{
    if (!AnswerReady()) {
        return ModemAction{}; // nothing new: the wait goes on
    }
    const ModemAnswer answer = m_collector.Answer();
    m_command.clear();
    NoteLines();
    switch (m_phase) {
    case Phase::Probe:
        // Any final result: the modem understood this speed.
        m_phase = Phase::Kind;
        m_step = Step::PreRead;
        m_kind = 0;
        return Ask();
    case Phase::Kind:
        return OnKindAnswer(answer, true);
    case Phase::Operator:
        return OnOperatorAnswer(answer, true);
    case Phase::Restore:
        return NextRestore();
    case Phase::Done:
        break;
    }
    return End();
}

ModemAction CModemDialogue::OnWaitEnded()
{
    if (AnswerReady()) {
        return OnAnswer();
    }
    if (m_phase == Phase::Done || m_command.empty()) {
        return ModemAction{}; // nothing was awaited
    }
    if (m_phase != Phase::Probe && !m_bWaitingInFlight && !m_bWaitedOnce) {
        // A late answer still counts. With echo, the command goes out again and the echoes keep
        // the answers apart; without, the wait goes on: a busy modem may drop a second sending,
        // and an answer owed that never comes would put every later one out of step.
        m_bWaitedOnce = true;
        if (m_collector.Echoes()) {
            return Send(m_command, m_waitMs, true);
        }
        ModemAction wait;
        wait.waitMs = m_waitMs;
        return wait;
    }
    const ModemAnswer partial = m_collector.Answer();
    m_command.clear();
    NoteLines();
    switch (m_phase) {
    case Phase::Probe:
        if (m_speedIndex + 1 < m_speeds.size()) {
            // What the modem says now comes at the new speed: nothing owed at the old one counts.
            ++m_speedIndex;
            m_collector = CModemAnswerCollector();
            return Send("AT\r", kModemProbeWaitMs, false, Speed());
        }
        return Finish(Silent());
    case Phase::Kind:
    case Phase::Operator:
        if (m_heard == 0) {
            // Not a byte since the port opened: no modem will answer the next command either.
            return Finish(Silent());
        }
        return m_phase == Phase::Kind ? OnKindAnswer(partial, false) : OnOperatorAnswer(partial, false);
    case Phase::Restore:
        if (m_bWaitingInFlight) {
            return NextRestore(); // the answer in flight when stopped: the putting back goes on
        }
        // A modem that no longer answers would leave every further one waiting too.
        m_restore.clear();
        return NextRestore();
    case Phase::Done:
        break;
    }
    return End();
}

ModemAction CModemDialogue::Stop(const std::wstring& message)
{
    if (m_phase == Phase::Restore || m_phase == Phase::Done) {
        return ModemAction{}; // already ending
    }
    ModemOutcome outcome;
    outcome.step = message.empty() ? ModemStep::Stopped : ModemStep::Failed;
    outcome.message = message;
    if (m_command.empty()) {
        return Finish(outcome);
    }
    // The answer in flight comes first: a modem busy with a command may drop the next one.
    m_outcome = outcome;
    PlanRestore();
    m_phase = Phase::Restore;
    if (m_restore.empty()) {
        return End();
    }
    m_bWaitingInFlight = true;
    ModemAction wait;
    wait.waitMs = kModemRestoreWaitMs;
    return wait;
}

ModemOutcome CModemDialogue::Failure(const std::wstring& message)
{
    ModemOutcome outcome;
    outcome.step = ModemStep::Failed;
    outcome.message = message;
    return outcome;
}

ModemOutcome CModemDialogue::Silent() const
{
    ModemOutcome outcome = Failure(ModemSilentText(m_port));
    outcome.silent = true;
    return outcome;
}

ModemAction CModemDialogue::OnKindAnswer(const ModemAnswer& answer, bool answered)
{
    KindState& k = m_kinds[m_kind];
    const bool refused = answered && answer.final != ModemFinal::Ok;
    switch (m_step) {
    case Step::PreRead:
        if (refused) {
            k.refused = true;
            if (m_firstError.empty() && answer.final == ModemFinal::CmeError) {
                m_firstError = ModemErrorText(answer);
            }
            return NextKind();
        }
        if (!answered) {
            return NextKind(); // passed over, as a kind the modem lacks
        }
        if (k.hasRead) {
            if (k.read.mode >= 2) {
                return NextKind(); // the location is shown already: nothing to set or put back
            }
            k.before = k.read.mode;
        } else if (k.hasUnsolicited && k.unsolicited.hasArea) {
            return NextKind(); // a read answered in the unsolicited form, with the location
        } else if (!k.hasUnsolicited) {
            return NextKind(); // no status at all
        }
        m_step = Step::Set;
        return Ask();
    case Step::Set:
        if (refused) {
            k.changed = false;
            return NextKind(); // no location from this kind; its status still counts
        }
        m_step = Step::Read;
        return Ask();
    case Step::Read:
        break;
    }
    return NextKind();
}

ModemAction CModemDialogue::NextKind()
{
    const bool allAsked = m_kind + 1 == kRegistrationKinds;
    // The kinds go from the newest radio down: once one gives a cell, later ones cannot come
    // first, and every further question costs the user a round trip.
    for (const KindState& k : m_kinds) {
        const Registration* r = Newest(k);
        if (r != nullptr && IsRegisteredStatus(r->stat) && CellFromRegistration(*r, m_cell)) {
            m_phase = Phase::Operator;
            m_step = Step::PreRead;
            return Ask();
        }
    }
    if (!allAsked) {
        ++m_kind;
        m_step = Step::PreRead;
        return Ask();
    }
    std::vector<int> statuses;
    bool registered = false;
    for (const KindState& k : m_kinds) {
        if (const Registration* r = Newest(k)) {
            statuses.push_back(r->stat);
            registered = registered || IsRegisteredStatus(r->stat);
        }
    }
    if (registered) {
        return Finish(Failure(Text(IDS_MODEM_NO_CELL)));
    }
    if (!statuses.empty()) {
        ModemOutcome outcome;
        outcome.step = ModemStep::NotRegistered;
        outcome.status = MostTellingStatus(statuses);
        outcome.message = ModemNotRegisteredText(outcome.status);
        return Finish(outcome);
    }
    return Finish(Failure(!m_firstError.empty() ? m_firstError : Text(IDS_MODEM_NO_REGISTRATION)));
}

const Registration* CModemDialogue::Newest(const KindState& k) const
{
    if (!k.asked || k.refused) {
        return nullptr;
    }
    // A kind's read answer counts over its unsolicited lines.
    if (k.hasRead) {
        return &k.read;
    }
    return k.hasUnsolicited ? &k.unsolicited : nullptr;
}

ModemAction CModemDialogue::OnOperatorAnswer(const ModemAnswer& answer, bool answered)
{
    if (m_step == Step::Set) {
        // Without an answer it may have taken the format; refused, it has not.
        m_bCopsChanged = !answered || answer.final == ModemFinal::Ok;
    } else if (!answered || answer.final != ModemFinal::Ok) {
        return Finish(Failure(ModemErrorText(answer)));
    }
    CellTower cell = m_cell;
    int format = -1;
    for (const std::string& line : m_operatorLines) {
        if (ParseNumericOperator(line, cell)) {
            ModemOutcome outcome;
            outcome.step = ModemStep::Cell;
            outcome.cell = cell;
            return Finish(outcome);
        }
        OperatorLine op;
        // The formats there are: a long name, a short one, digits. Anything else is not put back.
        if (ParseOperatorLine(line, op) && op.format >= 0 && op.format <= 2) {
            format = op.format;
        }
    }
    switch (m_step) {
    case Step::PreRead:
        // Without a format (no operator shown) the factory one, long alphanumeric, is put back.
        m_copsBefore = format >= 0 ? format : 0;
        m_step = Step::Set;
        return Ask();
    case Step::Set:
        // A modem that refuses the format may still answer in digits.
        m_step = Step::Read;
        return Ask();
    case Step::Read:
        break;
    }
    return Finish(Failure(Text(IDS_MODEM_NO_OPERATOR)));
}

void CModemDialogue::PlanRestore()
{
    m_restore.clear();
    if (m_bCopsChanged) {
        m_restore.push_back("AT+COPS=3," + std::to_string(m_copsBefore) + "\r");
    }
    for (int i = kRegistrationKinds - 1; i >= 0; --i) {
        if (m_kinds[i].changed) {
            m_restore.push_back(std::string("AT+") + kNames[i] + "=" + std::to_string(m_kinds[i].before) + "\r");
        }
    }
}

ModemAction CModemDialogue::Finish(const ModemOutcome& outcome)
{
    m_outcome = outcome;
    PlanRestore();
    m_phase = Phase::Restore;
    return NextRestore();
}

ModemAction CModemDialogue::NextRestore()
{
    m_bWaitingInFlight = false;
    if (m_restore.empty()) {
        return End();
    }
    const std::string command = m_restore.front();
    m_restore.erase(m_restore.begin());
    return Send(command, kModemRestoreWaitMs, false);
}

// ---- texts ----

std::wstring ModemProgressText(const std::wstring& port)
{
    return Text(IDS_MODEM_PROGRESS, {port});
}

std::wstring ModemSilentText(const std::wstring& port)
{
    return Text(IDS_MODEM_SILENT, {port});
}

std::wstring ModemTimeoutText(unsigned seconds)
{
    return Text(IDS_MODEM_TIMEOUT, {Number(seconds)});
}

std::wstring ModemNotRegisteredText(int status)
{
    std::wstring state;
    switch (status) {
    case 0:
        state = Text(IDS_MODEM_STATUS_NOT_SEARCHING);
        break;
    case 2:
        state = Text(IDS_MODEM_STATUS_SEARCHING);
        break;
    case 3:
        state = Text(IDS_MODEM_STATUS_DENIED);
        break;
    case 4:
        state = Text(IDS_MODEM_STATUS_UNKNOWN);
        break;
    case 8:
        state = Text(IDS_MODEM_STATUS_EMERGENCY);
        break;
    default:
        state = Text(IDS_MODEM_STATUS_NUMBER, {Number(status)});
        break;
    }
    return Text(IDS_MODEM_NOT_REGISTERED, {state});
}

std::wstring ModemErrorText(const ModemAnswer& answer)
{
    if (answer.final == ModemFinal::None) {
        return Text(IDS_MODEM_NO_ANSWER);
    }
    if (answer.final != ModemFinal::CmeError) {
        return Text(IDS_MODEM_REFUSED, {Printable(answer.finalLine)});
    }
    // The errors a user can act on, by their numbers.
    std::string_view code = Trim(std::string_view(answer.finalLine).substr(10));
    if (!code.empty() && code.front() == ':') {
        code = Trim(code.substr(1));
    }
    int number = -1;
    unsigned reason = 0;
    if (ReadSmallDecimal(code, number)) {
        switch (number) {
        case 10:
            reason = IDS_MODEM_CME_NO_SIM;
            break;
        case 11:
            reason = IDS_MODEM_CME_SIM_PIN;
            break;
        case 12:
            reason = IDS_MODEM_CME_SIM_PUK;
            break;
        case 13:
            reason = IDS_MODEM_CME_SIM_FAILURE;
            break;
        case 30:
            reason = IDS_MODEM_CME_NO_SERVICE;
            break;
        default:
            break;
        }
    }
    if (reason == 0) {
        return Text(IDS_MODEM_CME_ERROR, {Printable(code)});
    }
    return Text(IDS_MODEM_CME_ERROR_REASON, {Printable(code), Text(reason)});
}
