#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a cellular modem's AT port answers when asked for its serving cell, and the order in
// which it is asked. Bytes in, decisions out: the Win32 layer writes what CModemDialogue says,
// feeds it what the port reads and tells it when a wait has passed. Every line is read by its
// shape, whatever command is in flight, so an answer that comes late or out of order is still
// read for what it is.

// The serving cell as the geolocation lookup takes it.
struct CellTower
{
    std::string radio; // "gsm", "wcdma", "lte", "nr"
    unsigned mcc = 0;
    unsigned mnc = 0;
    unsigned mncDigits = 2; // 2 or 3, for the log ("440-10" / "310-410")
    std::uint32_t area = 0; // LAC or TAC
    std::uint64_t cell = 0; // CI, ECI (28 bits) or NCI (36 bits)
};

// How a command's answer ended.
enum class ModemFinal
{
    None,      // not yet
    Ok,        // "OK"
    Error,     // "ERROR"
    CmeError,  // "+CME ERROR: <n>" (numeric or verbose)
    CmsError,  // "+CMS ERROR: <n>"
    NoCarrier, // "NO CARRIER" and the other call results a modem may end with
};

// One command's answer: the information lines received since the command went out (echoes and
// blank lines left out; lines of an earlier command's late answer included, since they are read
// by their shape), and how it ended. At most kMaxLines lines of at most kMaxLineBytes bytes are
// kept; what goes beyond is dropped and `truncated` says so.
struct ModemAnswer
{
    static constexpr std::size_t kMaxLines = 32;
    static constexpr std::size_t kMaxLineBytes = 256;

    std::vector<std::string> lines;
    ModemFinal final = ModemFinal::None;
    std::string finalLine; // the final result line as received, e.g. "+CME ERROR: 30"
    bool truncated = false;
};

// Collects answers from bytes arriving in any chunking. Lines end in CR LF, a bare CR or a bare
// LF. A modem answers its commands in the order they came, each with one final result, so a
// final result belongs to the oldest command still owed one: a command whose wait passed stays
// owed, and its late final result is never taken for a later command's. An echo tells which
// command the modem is at: the commands before it are done, or were lost. A final result owed
// by an earlier sending of the same command answers the current one (the question was the same).
// Lines after the current answer's final result are kept for the next command.
class CModemAnswerCollector
{
public:
    // A command (with or without its "\r") goes out: a new answer begins; the one before, if it
    // had not ended, stays owed. `again`: the same question sent once more, whose first sending's
    // late answer answers it too.
    void Begin(std::string_view command, bool again = false);
    // Takes received bytes; true once the current answer has its final result.
    bool Feed(std::string_view bytes);
    bool Complete() const { return m_bComplete; }
    const ModemAnswer& Answer() const { return m_answer; }
    // Every information line received since the last call, in order, whatever answer it came in
    // or between (at most a few dozen kept).
    std::vector<std::string> TakeNewLines();
    // Whether the modem echoes: an echo was seen.
    bool Echoes() const { return m_bEchoes; }

private:
    struct Sent
    {
        std::string text;
        unsigned question = 0; // the same for a command sent again
        bool echoed = false;
    };
    static constexpr std::size_t kMaxOwed = 8;

    void EndLine();
    void TakeLine(const std::string& line);
    bool TakeEcho(std::string_view line);
    void TakeFinal(std::string_view line, ModemFinal final);

    std::deque<Sent> m_sent; // commands owed a final result, oldest first; the current one last
    bool m_bOpen = false;    // an answer is being collected
    bool m_bComplete = false;
    bool m_bEchoes = false;
    unsigned m_question = 0;
    ModemAnswer m_answer;
    std::vector<std::string> m_new; // lines not yet taken
    std::string m_line;
    bool m_bLineOverlong = false;
    std::vector<std::string> m_after; // complete lines received after the final result
};

// The registration kinds, in the order they are asked and in the order their cells count.
enum class RegistrationKind
{
    Nr5gs, // +C5GREG
    Eps,   // +CEREG
    Gprs,  // +CGREG
    Cs,    // +CREG
};
constexpr int kRegistrationKinds = 4;

// One registration line, read by its shape: a read answer ("+CEREG: <n>,<stat>,...") or an
// unsolicited line ("+CEREG: <stat>,...").
struct Registration
{
    RegistrationKind kind = RegistrationKind::Cs;
    bool unsolicited = false;
    int mode = -1; // the read answer's <n>; -1 for an unsolicited line
    int stat = -1;
    bool hasArea = false;
    std::uint32_t area = 0;
    bool hasCell = false;
    std::uint64_t cell = 0;
    int act = -1; // -1 without AcT
};

// Reads a registration line of any kind. Numbers may carry leading zeros. A read answer starts
// with two small numbers (<n> up to 5, <stat> up to 11); an unsolicited line has the area second
// (quoted, or four or more hex digits), and where both would fit the field after the area
// decides (the read answer's cell, or the unsolicited line's access technology). A field of one
// or two hex digits between the area and a cell (a routing area, which some makers put there)
// is passed over. False for anything that is no registration line.
bool ParseRegistrationLine(std::string_view line, Registration& out);

// Whether a status is a registration with a serving cell: 1 and 5 (home, roaming), 6 and 7
// ("SMS only"), 9 and 10 ("CSFB not preferred"). Not 8 (emergency services only).
bool IsRegisteredStatus(int stat);

// The cell a registration names, radio and identities checked; MCC and MNC left zero. False
// when the registration has no area or cell, a reserved or all-ones identity (LAC/TAC 0,
// FFFE, FFFF; a 5GS or NR TAC 0, FFFFFE, FFFFFF; cell 0 or all ones of its width), an identity
// wider than its radio allows, or an access technology that names no radio.
bool CellFromRegistration(const Registration& registration, CellTower& out);

// One "+COPS: <mode>[,<format>,<oper>[,<AcT>]]" line: `format` -1 when the line has none.
struct OperatorLine
{
    int mode = -1;
    int format = -1;
    std::string oper;
};
bool ParseOperatorLine(std::string_view line, OperatorLine& out);

// Reads "+COPS: <mode>,2,"<MCC><MNC>"[,<AcT>]": 5 digits are a two-digit MNC, 6 a three-digit
// one. False for any other format or operator.
bool ParseNumericOperator(std::string_view line, CellTower& out);

// Of several statuses of the kinds asked, the one that tells the user most: denied, then
// emergency services only, searching, unknown, any other number, and last "not registered,
// not searching" (a kind the modem does not use at the moment says that).
int MostTellingStatus(const std::vector<int>& statuses);

enum class ModemStep
{
    Continue,      // the dialogue goes on
    Cell,          // `cell` is the serving cell
    NotRegistered, // `status` is the most telling status of the kinds asked
    Failed,        // `message` says why
    Stopped,       // "中断", or the window's own box (`message`, maybe empty) ended it
};

struct ModemOutcome
{
    ModemStep step = ModemStep::Continue;
    CellTower cell;
    int status = -1;
    std::wstring message; // the box for NotRegistered and Failed
    bool silent = false;  // Failed: nothing answered on the port at all
};

// What the window does next, unless the dialogue has ended (CModemDialogue::Ended): set the line
// to `speed` when it is not 0, write `command` when it is not empty, and (re)start the wait of
// `waitMs` when it is not 0. An action with none of them changes nothing.
struct ModemAction
{
    unsigned speed = 0;
    std::string command; // ends in "\r"
    std::uint32_t waitMs = 0;
};

// How long a command's answer may take. When it passes, a modem that echoes gets the command once
// more, one that does not is waited for once more (a busy modem may drop a second sending, and an
// answer owed that never comes would put every later one out of step).
constexpr std::uint32_t kModemAnswerWaitMs = 5000;
// How long "AT" may take at each speed of the search.
constexpr std::uint32_t kModemProbeWaitMs = 1000;
// How long a format being put back may take (sent again or waited for once, as any command); one
// that gets no answer at all ends the putting back.
constexpr std::uint32_t kModemRestoreWaitMs = 1000;
// The line speeds tried in turn when none is set: modules on a UART mostly start at 115200, and
// a USB modem's AT port takes any speed.
constexpr unsigned kModemSpeeds[] = {115200, 9600, 57600, 38400, 19200};

// The dialogue. Without a set speed, "AT" is tried at each of kModemSpeeds until one is
// answered. Then, for each kind in turn (5GS, EPS, GPRS, CS): "AT+CxREG?" reads the format the
// modem has (<n>); unless it already shows the location (<n> 2 or more), "AT+CxREG=2" and
// "AT+CxREG?" again (a kind refused with an error result is passed over). The cell is decided
// from every registration of the kinds asked so far, in the order above, whatever order the
// answers came in; a line of a kind not asked yet decides nothing. Once a kind gives a usable
// cell, "AT+COPS?" reads the operator, and when it is not in digits "AT+COPS=3,2" and
// "AT+COPS?" again. At the end, whatever ended it ("中断" and failures too), the formats the
// program changed are put back ("AT+COPS=3,<format>", "AT+CxREG=<n>"), within
// kModemRestoreWaitMs each.
class CModemDialogue
{
public:
    // `port` names the port in the boxes; `baud` is BAUD's speed (none: the search).
    CModemDialogue(const std::wstring& port, std::optional<unsigned> baud);

    // The speed to open the port at.
    unsigned FirstSpeed() const { return m_speeds.front(); }
    // The first command.
    ModemAction Start();
    // Bytes read from the port, in any chunking. True when the awaited answer is complete:
    // OnAnswer takes it.
    bool Feed(std::string_view bytes);
    bool AnswerReady() const { return !m_command.empty() && m_collector.Complete(); }
    // The awaited answer is complete (nothing changes when it is not).
    ModemAction OnAnswer();
    // The wait of the last action passed.
    ModemAction OnWaitEnded();
    // "中断" (no message) or a failure the window found (its box): once the answer in flight has
    // come (or its kModemRestoreWaitMs passed), the formats are put back, then the dialogue ends
    // as Stopped, or Failed with `message`. Nothing changes once it is putting back or has ended.
    ModemAction Stop(const std::wstring& message = std::wstring());

    bool Ended() const { return m_phase == Phase::Done; }
    // Whether the formats are being put back: the outcome is decided.
    bool PuttingBack() const { return m_phase == Phase::Restore; }
    const ModemOutcome& Outcome() const { return m_outcome; }
    // The speed the line is at.
    unsigned Speed() const { return m_speeds[m_speedIndex]; }

private:
    enum class Phase
    {
        Probe,    // "AT" at each speed
        Kind,     // a registration kind's questions
        Operator, // the operator's
        Restore,  // the formats put back
        Done,
    };
    enum class Step
    {
        PreRead, // "AT+CxREG?" / "AT+COPS?": the format the modem has
        Set,     // "AT+CxREG=2" / "AT+COPS=3,2"
        Read,    // "AT+CxREG?" / "AT+COPS?" again
    };
    struct KindState
    {
        bool asked = false;   // its first question went out: its lines count from then on
        bool refused = false; // an error result to its read
        bool hasRead = false;
        Registration read; // the newest read answer
        bool hasUnsolicited = false;
        Registration unsolicited; // the newest unsolicited line
        bool changed = false;     // "=2" went out: <n> goes back to `before`
        int before = 0;
    };

    static constexpr std::size_t kMaxOperatorLines = 8;

    ModemAction Send(const std::string& command, std::uint32_t waitMs, bool again, unsigned speed = 0);
    ModemAction Ask();
    ModemAction End();
    void NoteLines();
    ModemAction OnKindAnswer(const ModemAnswer& answer, bool answered);
    ModemAction OnOperatorAnswer(const ModemAnswer& answer, bool answered);
    ModemAction NextKind();
    static ModemOutcome Failure(const std::wstring& message);
    // Nothing answered on the port.
    ModemOutcome Silent() const;
    void PlanRestore();
    ModemAction Finish(const ModemOutcome& outcome);
    ModemAction NextRestore();
    const Registration* Newest(const KindState& k) const;

    std::wstring m_port;
    std::vector<unsigned> m_speeds;
    std::size_t m_speedIndex = 0;
    CModemAnswerCollector m_collector;
    std::size_t m_heard = 0;

    Phase m_phase = Phase::Probe;
    Step m_step = Step::PreRead;
    int m_kind = 0;
    std::string m_command; // in flight, ending in "\r"; empty when nothing is awaited
    std::uint32_t m_waitMs = 0;
    bool m_bWaitedOnce = false;      // the command's first wait passed
    bool m_bWaitingInFlight = false; // stopped: the answer in flight comes before the putting back
    KindState m_kinds[kRegistrationKinds];
    std::wstring m_firstError; // the first +CME ERROR a kind was refused with
    CellTower m_cell;
    std::vector<std::string> m_operatorLines; // "+COPS:" lines since the operator's question
    bool m_bCopsChanged = false;
    int m_copsBefore = 0;
    std::vector<std::string> m_restore; // the formats still to put back, in order
    ModemOutcome m_outcome;
};

// The texts of the modem's wait: the progress text, the box of a port on which nothing answers,
// the box of a dialogue that its deadline cut, the not-registered box and the error results.
std::wstring ModemProgressText(const std::wstring& port);
std::wstring ModemSilentText(const std::wstring& port);
std::wstring ModemTimeoutText(unsigned seconds);
std::wstring ModemNotRegisteredText(int status);
std::wstring ModemErrorText(const ModemAnswer& answer); // a command refused with an error result
