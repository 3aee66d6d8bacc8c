#include "acquisition/modem_dialogue.h"

#include "common/text_format.h"

namespace {

const char* const kPrefixes[] = {"+C5GREG:", "+CEREG:", "+CGREG:", "+CREG:"};
const char* const kNames[] = {"C5GREG", "CEREG", "CGREG", "CREG"};
constexpr std::size_t kMaxFields = 16;

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

// Decimal, at most three digits: status, <n>, AcT.
bool ReadSmallDecimal(std::string_view s, int& out)
{
    if (s.empty() || s.size() > 3) {
        return false;
    }
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
        v = v * 10 + (c - '0');
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

// What a modem wrote, made safe for a box: printable ASCII only, at most 64 characters.
std::wstring Printable(std::string_view s)
{
    std::wstring out;
    for (char c : s.substr(0, 64)) {
        out += (c >= 0x20 && c < 0x7F) ? static_cast<wchar_t>(c) : L'?';
    }
    return out;
}

// An answer without its final result (the wait for it ended) counts as refused.
bool IsErrorFinal(ModemFinal f)
{
    return f != ModemFinal::Ok;
}

} // namespace

// ---- CModemAnswerCollector ----

void CModemAnswerCollector::Begin(std::string_view command)
{
    while (!command.empty() && (command.back() == '\r' || command.back() == '\n')) {
        command.remove_suffix(1);
    }
    m_command.assign(command);
    m_bEchoSeen = false;
    m_answer = ModemAnswer();
    std::vector<std::string> held;
    held.swap(m_after);
    for (const std::string& line : held) {
        TakeLine(line);
    }
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

void CModemAnswerCollector::EndLine()
{
    if (m_bLineOverlong) {
        m_answer.truncated = true;
    }
    std::string line;
    line.swap(m_line);
    m_bLineOverlong = false;
    if (Trim(line).empty()) {
        return;
    }
    if (Complete()) {
        // Only a few lines wait for the next command; a babbling port loses the rest.
        if (m_after.size() < ModemAnswer::kMaxLines) {
            m_after.push_back(std::move(line));
        }
        return;
    }
    TakeLine(line);
}

void CModemAnswerCollector::TakeLine(const std::string& raw)
{
    if (Complete()) {
        if (m_after.size() < ModemAnswer::kMaxLines) {
            m_after.push_back(raw);
        }
        return;
    }
    std::string_view line = Trim(raw);
    if (!m_bEchoSeen && !m_command.empty() && EqualsNoCase(line, m_command)) {
        m_bEchoSeen = true;
        return;
    }
    struct
    {
        const char* text;
        bool prefix;
        ModemFinal final;
    } static const kFinals[] = {
        {"OK", false, ModemFinal::Ok},
        {"ERROR", false, ModemFinal::Error},
        {"+CME ERROR", true, ModemFinal::CmeError},
        {"+CMS ERROR", true, ModemFinal::CmsError},
        {"NO CARRIER", false, ModemFinal::NoCarrier},
        {"NO DIALTONE", false, ModemFinal::NoCarrier},
        {"BUSY", false, ModemFinal::NoCarrier},
        {"NO ANSWER", false, ModemFinal::NoCarrier},
    };
    for (const auto& f : kFinals) {
        if (f.prefix ? StartsWithNoCase(line, f.text) : EqualsNoCase(line, f.text)) {
            m_answer.final = f.final;
            m_answer.finalLine.assign(line);
            return;
        }
    }
    if (m_answer.lines.size() < ModemAnswer::kMaxLines) {
        m_answer.lines.emplace_back(line);
    } else {
        m_answer.truncated = true;
    }
}

// ---- registration lines ----

bool ParseRegistrationLine(std::string_view line, const RegistrationKind* readKind, Registration& out)
{
    line = Trim(line);
    int kind = -1;
    for (int k = 0; k < 4; ++k) {
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
    // A read answer starts with <n> (0-5) and a bare <stat>; an unsolicited line with <stat>
    // and then the area, which modems quote or write as four or more hex digits.
    int n = -1;
    int stat = -1;
    bool read = readKind != nullptr && *readKind == r.kind && fields.size() >= 2 && !fields[1].quoted &&
                !fields[0].quoted && ReadSmallDecimal(fields[0].text, n) && n <= 5 && fields[1].text.size() <= 2 &&
                ReadSmallDecimal(fields[1].text, stat);
    std::size_t first = read ? 1 : 0;
    r.unsolicited = !read;
    if (fields[first].quoted || !ReadSmallDecimal(fields[first].text, r.stat)) {
        return false;
    }
    if (fields.size() > first + 1 && !fields[first + 1].text.empty()) {
        std::uint64_t v = 0;
        if (ReadHex(fields[first + 1].text, v) && v <= 0xFFFFFF) {
            r.hasArea = true;
            r.area = static_cast<std::uint32_t>(v);
        }
    }
    if (fields.size() > first + 2 && !fields[first + 2].text.empty()) {
        r.hasCell = ReadHex(fields[first + 2].text, r.cell);
    }
    if (fields.size() > first + 3 && !fields[first + 3].text.empty() && !fields[first + 3].quoted) {
        if (!ReadSmallDecimal(fields[first + 3].text, r.act)) {
            r.act = -1;
        }
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

bool ParseNumericOperator(std::string_view line, CellTower& out)
{
    line = Trim(line);
    if (!StartsWithNoCase(line, "+COPS:")) {
        return false;
    }
    std::vector<Field> fields;
    if (!SplitFields(line.substr(6), fields) || fields.size() < 3) {
        return false;
    }
    int format = -1;
    if (!ReadSmallDecimal(fields[1].text, format) || format != 2) {
        return false;
    }
    std::string_view op = fields[2].text;
    if (op.size() != 5 && op.size() != 6) {
        return false;
    }
    unsigned mcc = 0;
    unsigned mnc = 0;
    for (std::size_t i = 0; i < op.size(); ++i) {
        if (op[i] < '0' || op[i] > '9') {
            return false;
        }
        unsigned& part = i < 3 ? mcc : mnc;
        part = part * 10 + static_cast<unsigned>(op[i] - '0');
    }
    out.mcc = mcc;
    out.mnc = mnc;
    out.mncDigits = static_cast<unsigned>(op.size() - 3);
    return true;
}

// ---- CModemDialogue ----

CModemDialogue::CModemDialogue()
{
    SetCommand();
}

void CModemDialogue::SetCommand()
{
    const std::string name = kNames[m_kind];
    switch (m_state) {
    case State::Set:
        m_command = "AT+" + name + "=2\r";
        break;
    case State::Read:
        m_command = "AT+" + name + "?\r";
        break;
    case State::SetOperatorFormat:
        m_command = "AT+COPS=3,2\r";
        break;
    case State::ReadOperator:
        m_command = "AT+COPS?\r";
        break;
    case State::Done:
        m_command.clear();
        break;
    }
}

void CModemDialogue::NoteUnsolicited(const ModemAnswer& answer, const RegistrationKind* readKind)
{
    for (const std::string& line : answer.lines) {
        Registration r;
        if (!ParseRegistrationLine(line, readKind, r)) {
            continue;
        }
        KindState& k = m_kinds[static_cast<int>(r.kind)];
        if (!r.unsolicited && !k.hasRead) {
            k.hasRead = true;
            k.read = r;
        } else {
            // Newest wins; a second read-shaped line is no read answer.
            r.unsolicited = true;
            k.hasUnsolicited = true;
            k.unsolicited = r;
        }
    }
}

void CModemDialogue::NextKind()
{
    if (m_kind < 3) {
        ++m_kind;
        m_state = State::Set;
    } else {
        m_state = State::SetOperatorFormat;
    }
}

ModemOutcome CModemDialogue::End(ModemOutcome outcome)
{
    m_state = State::Done;
    SetCommand();
    return outcome;
}

ModemOutcome CModemDialogue::OnAnswer(const ModemAnswer& answer)
{
    switch (m_state) {
    case State::Set:
    case State::Read: {
        const RegistrationKind kind = static_cast<RegistrationKind>(m_kind);
        const bool reading = m_state == State::Read;
        NoteUnsolicited(answer, reading && !IsErrorFinal(answer.final) ? &kind : nullptr);
        if (IsErrorFinal(answer.final)) {
            m_kinds[m_kind].refused = true;
            if (m_firstError.empty() && answer.final == ModemFinal::CmeError) {
                m_firstError = ModemErrorText(answer);
            }
            NextKind();
        } else if (!reading) {
            m_state = State::Read;
        } else {
            NextKind();
            // The kinds go from the newest radio down: once one gives a cell, later ones cannot
            // come first, and every further question costs the user a round trip.
            if (m_state == State::Set && DecideCell().step == ModemStep::Continue) {
                m_state = State::SetOperatorFormat;
            }
        }
        if (m_state == State::SetOperatorFormat) {
            ModemOutcome decided = DecideCell();
            if (decided.step != ModemStep::Continue) {
                return End(decided);
            }
        }
        SetCommand();
        return ModemOutcome{};
    }
    case State::SetOperatorFormat:
        NoteUnsolicited(answer, nullptr);
        // A modem that refuses the format may still answer in digits.
        m_state = State::ReadOperator;
        SetCommand();
        return ModemOutcome{};
    case State::ReadOperator: {
        ModemOutcome outcome;
        outcome.step = ModemStep::Failed;
        if (IsErrorFinal(answer.final)) {
            outcome.message = ModemErrorText(answer);
            return End(outcome);
        }
        for (const std::string& line : answer.lines) {
            if (ParseNumericOperator(line, m_cell)) {
                outcome.step = ModemStep::Cell;
                outcome.cell = m_cell;
                return End(outcome);
            }
        }
        outcome.message = L"モデムから通信事業者の番号（MCC・MNC）を取得できませんでした。";
        return End(outcome);
    }
    case State::Done:
        break;
    }
    ModemOutcome outcome;
    outcome.step = ModemStep::Failed;
    outcome.message = L"モデムとのやり取りは終わっています。";
    return outcome;
}

ModemOutcome CModemDialogue::DecideCell()
{
    int firstStatus = -1;
    bool registered = false;
    for (KindState& k : m_kinds) {
        if (k.refused || (!k.hasRead && !k.hasUnsolicited)) {
            continue;
        }
        const Registration& r = k.hasRead ? k.read : k.unsolicited;
        if (firstStatus < 0) {
            firstStatus = r.stat;
        }
        if (IsRegisteredStatus(r.stat)) {
            registered = true;
            if (CellFromRegistration(r, m_cell)) {
                return ModemOutcome{};
            }
        }
    }
    ModemOutcome outcome;
    if (registered) {
        outcome.step = ModemStep::Failed;
        outcome.message = L"モデムはネットワークに登録されていますが、基地局の番号を取得できませんでした。";
    } else if (firstStatus >= 0) {
        outcome.step = ModemStep::NotRegistered;
        outcome.status = firstStatus;
        outcome.message = ModemNotRegisteredText(firstStatus);
    } else {
        outcome.step = ModemStep::Failed;
        outcome.message = !m_firstError.empty() ? m_firstError
                                                : L"モデムから登録状態を取得できませんでした。\n"
                                                  L"指定したポートがモデムの AT コマンド用のポートか確かめてください。";
    }
    return outcome;
}

// ---- texts ----

std::wstring ModemNotRegisteredText(int status)
{
    std::wstring state;
    switch (status) {
    case 0:
        state = L"未登録";
        break;
    case 2:
        state = L"検索中";
        break;
    case 3:
        state = L"登録拒否";
        break;
    case 4:
        state = L"不明";
        break;
    case 8:
        state = L"緊急通報のみ";
        break;
    default:
        state = Format(L"状態 %d", status);
        break;
    }
    return Format(L"モデムがネットワークに登録されていません（%ls）。\n"
                  L"電波の届く場所で、SIM カードとモデムの状態を確かめてから、もう一度お試しください。",
                  state.c_str());
}

std::wstring ModemErrorText(const ModemAnswer& answer)
{
    if (answer.final == ModemFinal::None) {
        return L"モデムから応答がありませんでした。";
    }
    if (answer.final != ModemFinal::CmeError) {
        return Format(L"モデムがコマンドを受け付けませんでした（%ls）。", Printable(answer.finalLine).c_str());
    }
    // The errors a user can act on, by their numbers.
    std::string_view code = Trim(std::string_view(answer.finalLine).substr(10));
    if (!code.empty() && code.front() == ':') {
        code = Trim(code.substr(1));
    }
    int number = -1;
    const wchar_t* hint = L"";
    if (ReadSmallDecimal(code, number)) {
        switch (number) {
        case 10:
            hint = L"\nSIM カードが入っていません。";
            break;
        case 11:
            hint = L"\nSIM カードの PIN の入力が必要です。";
            break;
        case 12:
            hint = L"\nSIM カードの PUK の入力が必要です。";
            break;
        case 13:
            hint = L"\nSIM カードに異常があります。";
            break;
        case 30:
            hint = L"\nネットワークのサービスがありません。";
            break;
        default:
            break;
        }
    }
    return Format(L"モデムがエラーを返しました（+CME ERROR: %ls）。%ls", Printable(code).c_str(), hint);
}
