#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What a cellular modem's AT port answers when asked for its serving cell, and the order in
// which it is asked. Bytes in, decisions out: the Win32 layer writes each command, feeds what
// the port reads to a CModemAnswerCollector and hands each complete answer to CModemDialogue.

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

// One command's answer: its information lines (echo and blank lines left out), and how it
// ended. At most kMaxLines lines of at most kMaxLineBytes bytes are kept; what goes beyond is
// dropped and `truncated` says so.
struct ModemAnswer
{
    static constexpr std::size_t kMaxLines = 32;
    static constexpr std::size_t kMaxLineBytes = 256;

    std::vector<std::string> lines;
    ModemFinal final = ModemFinal::None;
    std::string finalLine; // the final result line as received, e.g. "+CME ERROR: 30"
    bool truncated = false;
};

// Collects one answer from bytes arriving in any chunking. Lines end in CR LF, a bare CR or a
// bare LF; the echo of the command, when the modem echoes, is the first line equal to it.
// Lines that arrive after the final result are kept for the next answer (unsolicited lines
// between two commands belong to neither, and the dialogue reads them as such).
class CModemAnswerCollector
{
public:
    // A command (with or without its "\r") went out: a new answer begins.
    void Begin(std::string_view command);
    // Takes received bytes; true once the answer has its final result. Bytes after the final
    // result are held for the next Begin.
    bool Feed(std::string_view bytes);
    bool Complete() const { return m_answer.final != ModemFinal::None; }
    const ModemAnswer& Answer() const { return m_answer; }

private:
    void EndLine();
    void TakeLine(const std::string& line);

    std::string m_command;
    bool m_bEchoSeen = false;
    ModemAnswer m_answer;
    std::string m_line;
    bool m_bLineOverlong = false;
    std::vector<std::string> m_after; // complete lines received after the final result
};

// The registration kinds, in the order they are asked.
enum class RegistrationKind
{
    Nr5gs, // +C5GREG
    Eps,   // +CEREG
    Gprs,  // +CGREG
    Cs,    // +CREG
};

// One registration line: a read answer ("+CEREG: <n>,<stat>,...") or an unsolicited line
// ("+CEREG: <stat>,..."), with its fields read.
struct Registration
{
    RegistrationKind kind = RegistrationKind::Cs;
    bool unsolicited = false;
    int stat = -1;
    bool hasArea = false;
    std::uint32_t area = 0;
    bool hasCell = false;
    std::uint64_t cell = 0;
    int act = -1; // -1 without AcT
};

// Reads a registration line of any kind. `readKind` is the kind whose read command is in
// flight, or null: only a line of that kind can be its read answer, and it is one when it has
// the read answer's <n>,<stat> start. False for anything that is no registration line.
bool ParseRegistrationLine(std::string_view line, const RegistrationKind* readKind, Registration& out);

// Whether a status is a registration with a serving cell: 1 and 5 (home, roaming), 6 and 7
// ("SMS only"), 9 and 10 ("CSFB not preferred"). Not 8 (emergency services only).
bool IsRegisteredStatus(int stat);

// The cell a registration names, radio and identities checked; MCC and MNC left zero. False
// when the registration has no area or cell, a reserved or all-ones identity (LAC/TAC 0,
// FFFE, FFFF; a 5GS or NR TAC 0, FFFFFE, FFFFFF; cell 0 or all ones of its width), an identity
// wider than its radio allows, or an access technology that names no radio.
bool CellFromRegistration(const Registration& registration, CellTower& out);

// Reads "+COPS: <mode>,2,"<MCC><MNC>"[,<AcT>]": 5 digits are a two-digit MNC, 6 a three-digit
// one. False for any other format or operator.
bool ParseNumericOperator(std::string_view line, CellTower& out);

enum class ModemStep
{
    Continue,      // send NextCommand()
    Cell,          // `cell` is the serving cell
    NotRegistered, // `status` is the first answering kind's status
    Failed,        // `message` says why
};

struct ModemOutcome
{
    ModemStep step = ModemStep::Continue;
    CellTower cell;
    int status = -1;
    std::wstring message; // the box for NotRegistered and Failed
};

// The dialogue: for each kind "AT+CxREG=2" then "AT+CxREG?" (a kind refused with an error
// result is skipped), then, when a kind gave a cell, "AT+COPS=3,2" and "AT+COPS?". The first kind, in the order above,
// registered with a usable cell gives the cell, and no later kind is asked; with none registered, the status of the
// first kind that answered one gives the not-registered box. A kind's read answer counts over its unsolicited lines; an
// unsolicited line counts for a kind whose read answer had none.
class CModemDialogue
{
public:
    CModemDialogue();
    // The command to write, ending in "\r"; empty once the dialogue has ended.
    const std::string& NextCommand() const { return m_command; }
    // The complete answer to NextCommand(); one whose wait ended without a final result counts
    // as refused.
    ModemOutcome OnAnswer(const ModemAnswer& answer);

private:
    enum class State
    {
        Set,
        Read,
        SetOperatorFormat,
        ReadOperator,
        Done,
    };
    struct KindState
    {
        bool refused = false;
        bool hasRead = false;
        Registration read;
        bool hasUnsolicited = false;
        Registration unsolicited;
    };

    void NoteUnsolicited(const ModemAnswer& answer, const RegistrationKind* readKind);
    void NextKind();
    void SetCommand();
    ModemOutcome DecideCell();
    ModemOutcome End(ModemOutcome outcome);

    State m_state = State::Set;
    int m_kind = 0;
    KindState m_kinds[4];
    std::wstring m_firstError; // the first +CME ERROR a kind was refused with
    CellTower m_cell;
    std::string m_command;
};

// The boxes' texts.
std::wstring ModemNotRegisteredText(int status);
std::wstring ModemErrorText(const ModemAnswer& answer); // a command refused with an error result
