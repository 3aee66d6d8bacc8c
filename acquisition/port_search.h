#pragma once

#include "acquisition/modem_dialogue.h"
#include "acquisition/module_setting.h"
#include "acquisition/nmea_reader.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The port search's decisions, free of the comm API: what to do next on one port, and what the
// port holds in the end. The Win32 layer opens the port, carries out each step (a line speed, a
// command, a read) and feeds back what it read, with the time since the port opened.
//
// On each port, in turn:
// 1. Listen for NMEA sentences whose checksum holds, kSearchListenMs at each of
//    kSearchListenSpeeds. Nothing is sent. A speed at which not one byte arrives ends the
//    listening: a device that talks is heard as bytes at any speed, garbled or not.
// 2. Silent to NMEA: ask "AT" at each of kSearchAtSpeeds, kSearchAtWaitMs each (an ERROR, as
//    after garbage at another speed, is asked once more). Only "AT" goes out before an OK.
// 3. Answered: ask what it is, each within kSearchCommandWaitMs; all of these only read:
//    "AT+CGMI", "AT+CGMM" (maker, model), the registration reads "AT+C5GREG?", "AT+CEREG?",
//    "AT+CGREG?", "AT+CREG?" (a 3GPP modem answers one with its registration line; the first
//    that does ends the questions), and only when none did, "AT@K20" (the W-SIM answers it with
//    OK and its base stations; a modem refuses it). Nothing is set, so nothing needs putting
//    back. A command left without a final result ends the questions.
// Every port ends within kSearchPortBoundMs of its opening, with what was heard by then.

// The speeds a receiver is listened for at, in this order.
constexpr unsigned kSearchListenSpeeds[] = {4800, 9600, 19200, 38400, 57600, 115200, 230400};
// The speeds "AT" is asked at: modules on a UART usually start at 115200, the W-SIM speaks 9600.
constexpr unsigned kSearchAtSpeeds[] = {115200, 9600, 4800, 19200, 38400, 57600, 230400};
// Receivers speak at least once a second.
constexpr std::uint32_t kSearchListenMs = 2000;
// A device answers "AT" within tens of milliseconds at any of these speeds.
constexpr std::uint32_t kSearchAtWaitMs = 500;
constexpr std::uint32_t kSearchCommandWaitMs = 3000;
constexpr std::uint32_t kSearchPortBoundMs = 20000;

// What a port holds.
enum class PortKind
{
    Searching, // not known yet
    Receiver,  // NMEA sentences with good checksums
    WSim,      // the W-SIM: answered "AT@K20"
    Modem,     // a 3GPP modem: answered a registration read
    Unknown,   // answered "AT", or sent bytes, but nothing told what it is ("不明")
    Silent,    // nothing at all came, and nothing answered "AT"
    InUse,     // another program holds the port
    Unusable,  // no device behind the name, or one that takes no serial settings
    Stopped,   // the search was stopped before the port was told
};

struct PortFinding
{
    std::wstring port;
    PortKind kind = PortKind::Searching;
    unsigned baud = 0; // the speed it spoke at; 0 when none
    std::string maker; // as the device names itself ("AT+CGMI"), printable ASCII; may be empty
    std::string model; // "AT+CGMM"
};

// One thing to do on the port.
struct ProbeStep
{
    enum class Do
    {
        SetSpeed, // set the line to `baud` and drop what is queued
        Send,     // write `command`
        Read,     // read for at most `readMs` (returning sooner once bytes come), then ask again
        Close,    // close the port: Finding() is the result
    };
    Do what = Do::Close;
    unsigned baud = 0;
    std::string command; // ends in "\r"
    std::uint32_t readMs = 0;
};

// The search on one port, from its opening to its finding.
class CPortProbe
{
public:
    // The next step, `nowMs` after the port opened.
    ProbeStep Next(std::uint32_t nowMs);
    // Bytes read from the port, in any chunking.
    void Feed(const char* bytes, std::size_t count);
    // The line would not take the speed of the last SetSpeed: that speed is passed over.
    void SpeedRefused();
    // The port stopped working (a write, a read or its status failed): it ends with what was heard.
    void LineFailed();
    // The finding so far (kind Searching until Next said Close); its port is left empty.
    const PortFinding& Finding() const { return m_finding; }

private:
    enum class Phase
    {
        Listen,
        AskAt,
        Identify,
        Done,
    };

    ProbeStep SetSpeed(std::uint32_t nowMs);
    ProbeStep Send(const char* command, std::uint32_t nowMs);
    ProbeStep Settle(PortKind kind);
    ProbeStep SettleWithWhatWasHeard();
    ProbeStep NextListen(std::uint32_t nowMs);
    ProbeStep NextAskAt(std::uint32_t nowMs);
    ProbeStep NextIdentify(std::uint32_t nowMs);
    void TakeIdentifyAnswer(const ModemAnswer& answer);
    unsigned Speed() const;

    Phase m_phase = Phase::Listen;
    std::size_t m_speed = 0;     // index into the phase's speeds
    bool m_speedSet = false;     // the line is at the current speed
    bool m_speedRefused = false; // the line would not take it
    bool m_awaiting = false;     // a command is out
    std::uint32_t m_since = 0;   // when the current listening or command began
    std::size_t m_heardHere = 0; // bytes since the current speed was set
    std::size_t m_heard = 0;     // bytes since the port opened
    unsigned m_atRetries = 0;    // "AT" asked again at this speed
    std::size_t m_question = 0;  // index into the identifying commands
    bool m_registered = false;   // a registration line answered
    bool m_wsim = false;         // "AT@K20" answered OK
    CNmeaReader m_nmea;
    CModemAnswerCollector m_answer;
    PortFinding m_finding;
};

// What a failed opening of a port means, by the platform's error code: another program holds it
// (access denied, a sharing or lock violation, a busy device), or it cannot be used.
PortKind KindOfOpenFailure(std::uint32_t error);

// What a device's answer to "AT+CGMI" or "AT+CGMM" names: its first information line without
// the command's name in front ("+CGMI: "), spaces and quotes around it, as printable ASCII of at
// most kMaxDeviceNameChars characters. Empty when the answer was no OK.
constexpr std::size_t kMaxDeviceNameChars = 40;
std::string DeviceNameFromAnswer(const ModemAnswer& answer, const char* command);

// The settings a row of the search's list stands for: the module, the port and its speed (0 for
// the W-SIM, whose speed the program sets itself). None for a row that is no device the program
// can use.
struct SearchChoice
{
    ModuleKind module = ModuleKind::WSim;
    std::wstring port;
    unsigned baud = 0;
};
std::optional<SearchChoice> ChoiceOf(const PortFinding& finding);

// The texts of a row: what answered, its speed ("38400 bps", empty when none), the maker and
// model as the device says them.
std::wstring PortKindText(PortKind kind);
std::wstring FindingSpeedText(const PortFinding& finding);
std::wstring FindingDeviceText(const PortFinding& finding);

// The box of a device wait on whose port nothing answered, asking whether to search the ports.
std::wstring ReceiverSearchOfferText(const std::wstring& port);
std::wstring ModemSearchOfferText(const std::wstring& port);

// The search's line above the list: how many ports are still being tried, or that it ended.
std::wstring SearchStatusText(std::size_t portCount, std::size_t searching, bool stopped);
