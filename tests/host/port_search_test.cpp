#include "acquisition/port_search.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// An epoch of a u-blox receiver before its fix (NMEA 4.10, GN talker), of a SiRF one (GP,
// NMEA 2.2) and of a GPS+GLONASS one with a differential fix, as tools/nmea's logs hold them.
const char kUbloxEpoch[] = "$GNRMC,030407.00,V,,,,,,,010424,,,N,V*1A\r\n$GNVTG,,,,,,,,,N*2E\r\n"
                           "$GNGGA,030407.00,,,,,0,00,99.99,,,,,,*78\r\n"
                           "$GNGSA,A,1,,,,,,,,,,,,,99.99,99.99,99.99,1*33\r\n";
const char kSirfEpoch[] = "$GPGGA,030405.000,3441.6220,N,13530.1380,E,0,00,50.0,12.0,M,37.1,M,,0000*56\r\n"
                          "$GPGSA,A,1,,,,,,,,,,,,,50.0,50.0,50.0*05\r\n"
                          "$GPRMC,030405.000,V,3441.6220,N,13530.1380,E,0.00,0.00,010424,,*1F\r\n";
const char kDgpsEpoch[] = "$GNRMC,201500.00,A,3746.49400,N,12225.16400,W,0.040,,010424,,,D*72\r\n"
                          "$GNGGA,201500.00,3746.49400,N,12225.16400,W,2,12,0.70,16.0,M,-32.1,M,,0000*41\r\n";

// A device on the far end of the line. A receiver writes `epoch` once a second; a device that
// takes commands answers each line with its entry in `answers` (the echo first, as a modem with
// echo on does), or with its echo and "ERROR"; a command it has no entry for and `refuses`
// false is not answered at all. Both only at `speed` (0: any speed, a USB device's port); at
// another speed what it writes arrives as garbage without '$', CR or LF and it hears nothing.
struct Device
{
    const char* name = "";
    unsigned speed = 0;
    std::string epoch;
    std::map<std::string, std::string> answers;
    std::map<std::string, std::string> firstAnswers; // the first time a command is heard
    bool refuses = true;
    bool babbles = false;       // writes binary frames every 100 ms whatever its speed
    const char* echoEnd = "\r"; // what follows the echoed command line ("\r\r\n" for the W-SIM)
};

Device MakeDevice(const char* name, unsigned speed, const char* epoch = "")
{
    Device device;
    device.name = name;
    device.speed = speed;
    device.epoch = epoch;
    return device;
}

struct ProbeRun
{
    PortFinding finding;
    std::vector<std::string> sent; // commands without their CR
    std::uint32_t endMs = 0;
};

std::string Garbage(const std::string& bytes)
{
    std::string out;
    for (char c : bytes) {
        out += static_cast<char>((static_cast<unsigned char>(c) ^ 0x5A) | 0x80);
    }
    return out;
}

// Runs a probe against `device` on a clock of its own, feeding what the device writes in chunks
// of `chunk` bytes.
ProbeRun Probe(const Device& device, std::size_t chunk)
{
    ProbeRun run;
    CPortProbe probe;
    std::uint32_t now = 0;
    unsigned lineSpeed = 0;
    std::string pending;           // written by the device, not read yet
    std::uint32_t nextEpoch = 300; // the receiver's first epoch comes a little after the opening
    std::uint32_t nextBabble = 50;
    std::map<std::string, int> heard;
    const auto write = [&](const std::string& bytes) {
        const bool heard = device.speed == 0 || device.speed == lineSpeed;
        pending += heard ? bytes : Garbage(bytes);
    };
    for (int steps = 0; steps < 100000; ++steps) {
        const ProbeStep step = probe.Next(now);
        if (step.what == ProbeStep::Do::Close) {
            run.finding = probe.Finding();
            run.endMs = now;
            return run;
        }
        if (step.what == ProbeStep::Do::SetSpeed) {
            lineSpeed = step.baud;
            pending.clear();
            continue;
        }
        if (step.what == ProbeStep::Do::Send) {
            EXPECT_EQ('\r', step.command.back());
            const std::string command = step.command.substr(0, step.command.size() - 1);
            run.sent.push_back(command);
            if (device.speed != 0 && device.speed != lineSpeed) {
                continue; // garbage to the device
            }
            auto first = device.firstAnswers.find(command);
            auto it = device.answers.find(command);
            if (heard[command]++ == 0 && first != device.firstAnswers.end()) {
                write(command + device.echoEnd + first->second);
            } else if (it != device.answers.end()) {
                write(command + device.echoEnd + it->second);
            } else if (device.refuses) {
                write(command + device.echoEnd + "\r\nERROR\r\n");
            }
            continue;
        }
        // Read: what is there comes at once; else time passes up to the device's next write.
        if (pending.empty()) {
            std::uint32_t until = now + step.readMs;
            if (!device.epoch.empty() && nextEpoch < until) {
                until = nextEpoch;
            }
            if (device.babbles && nextBabble < until) {
                until = nextBabble;
            }
            now = until;
            if (!device.epoch.empty() && now >= nextEpoch) {
                write(device.epoch);
                nextEpoch += 1000;
            }
            if (device.babbles && now >= nextBabble) {
                write(std::string("\xB5\x62\x01\x07\x5C\x00\x10\x27", 8));
                nextBabble += 100;
            }
            continue;
        }
        const std::string piece = pending.substr(0, chunk);
        pending.erase(0, piece.size());
        now += 2;
        probe.Feed(piece.data(), piece.size());
    }
    ADD_FAILURE() << device.name << ": the probe never finished";
    return run;
}

const char* kOk = "\r\nOK\r\n";

std::string Info(const std::string& line)
{
    return "\r\n" + line + "\r\n\r\nOK\r\n";
}

struct Expected
{
    PortKind kind;
    unsigned baud;
    const char* maker;
    const char* model;
    std::vector<std::string> sent;             // every command, in order
    std::uint32_t endsBy = kSearchPortBoundMs; // on the probe's clock
};

std::vector<std::string> AtAt(std::size_t speeds)
{
    return std::vector<std::string>(speeds, "AT");
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<std::string> kModemQuestions = {"AT+CGMI", "AT+CGMM", "AT+C5GREG?", "AT+CEREG?"};
const std::vector<std::string> kAllQuestions = {"AT+CGMI",   "AT+CGMM",  "AT+C5GREG?", "AT+CEREG?",
                                                "AT+CGREG?", "AT+CREG?", "AT@K20"};

struct Case
{
    Device device;
    Expected expected;
};

std::vector<Case> Cases()
{
    std::vector<Case> cases;
    // Receivers: heard, never written to.
    cases.push_back({MakeDevice("SiRF receiver at 4800", 4800, kSirfEpoch), {PortKind::Receiver, 4800, "", "", {}}});
    cases.push_back(
        {MakeDevice("receiver set to 230400", 230400, kUbloxEpoch), {PortKind::Receiver, 230400, "", "", {}}});
    cases.push_back({MakeDevice("USB receiver (any speed)", 0, kDgpsEpoch), {PortKind::Receiver, 4800, "", "", {}}});
    {
        // A receiver with u-blox binary frames between its sentences.
        Device d = MakeDevice("receiver with binary frames at 9600", 9600, kUbloxEpoch);
        d.babbles = true;
        cases.push_back({d, {PortKind::Receiver, 9600, "", "", {}}});
    }

    // 3GPP modems: identified by maker, model and a registration read; nothing is set.
    {
        Device d = MakeDevice("SIMCom SIM7600 on a UART at 115200", 115200);
        d.answers = {{"AT", kOk},
                     {"AT+CGMI", Info("SIMCOM INCORPORATED")},
                     {"AT+CGMM", Info("SIMCOM_SIM7600JC-H")},
                     {"AT+C5GREG?", "\r\n+CME ERROR: 58\r\n"},
                     {"AT+CEREG?", Info("+CEREG: 0,1")}};
        cases.push_back(
            {d, {PortKind::Modem, 115200, "SIMCOM INCORPORATED", "SIMCOM_SIM7600JC-H", Join({"AT"}, kModemQuestions)}});
    }
    {
        Device d = MakeDevice("Quectel RM500Q, 5G standalone", 0);
        d.answers = {{"AT", kOk},
                     {"AT+CGMI", Info("Quectel")},
                     {"AT+CGMM", Info("RM500Q-GL")},
                     {"AT+C5GREG?", Info(R"(+C5GREG: 2,1,"00A1B2","0000ABC123",11,0,"")")}};
        cases.push_back(
            {d, {PortKind::Modem, 115200, "Quectel", "RM500Q-GL", {"AT", "AT+CGMI", "AT+CGMM", "AT+C5GREG?"}}});
    }
    {
        // A 2G module: only the CS and GPRS registrations, and a registration report in between.
        Device d = MakeDevice("u-blox SARA-G350 at 9600, a URC inside an answer", 9600);
        d.answers = {{"AT", kOk},
                     {"AT+CGMI", "\r\n+CREG: 1\r\n\r\nu-blox\r\n\r\nOK\r\n"},
                     {"AT+CGMM", Info("SARA-G350")},
                     {"AT+CGREG?", Info("+CGREG: 0,1")}};
        cases.push_back({d,
                         {PortKind::Modem, 9600, "u-blox", "SARA-G350",
                          Join({"AT", "AT"}, {"AT+CGMI", "AT+CGMM", "AT+C5GREG?", "AT+CEREG?", "AT+CGREG?"})}});
    }
    {
        // Some firmware puts the command's name in front, and quotes; a modem not registered is
        // still a modem.
        Device d = MakeDevice("modem naming itself as +CGMI: \"...\", not registered, echo off", 0);
        d.echoEnd = "";
        d.answers = {{"AT", kOk},
                     {"AT+CGMI", Info("+CGMI: \"Fibocom\"")},
                     {"AT+CGMM", Info("+CGMM: \"L850-GL\"")},
                     {"AT+CEREG?", Info("+CEREG: 0,2")}};
        cases.push_back({d, {PortKind::Modem, 115200, "Fibocom", "L850-GL", Join({"AT"}, kModemQuestions)}});
    }

    // The W-SIM: its own echo form, ERROR for 3GPP commands, OK and base stations for AT@K20.
    {
        Device d = MakeDevice("W-SIM at 9600", 9600);
        d.echoEnd = "\r\r\n";
        d.answers = {{"AT", kOk}, {"AT@K20", "\r\n1234,5\r\n\r\nOK\r\n"}};
        cases.push_back({d, {PortKind::WSim, 9600, "", "", Join({"AT", "AT"}, kAllQuestions)}});
    }

    // Devices that answer AT and nothing more.
    {
        Device d = MakeDevice("a dial-up modem (no 3GPP commands)", 0);
        d.answers = {{"AT", kOk}};
        cases.push_back({d, {PortKind::Unknown, 115200, "", "", Join({"AT"}, kAllQuestions)}});
    }
    {
        Device d = MakeDevice("a module that names itself, then stops answering", 0);
        d.refuses = false;
        d.answers = {{"AT", kOk}, {"AT+CGMI", Info("ACME")}, {"AT+CGMM", Info("X1")}};
        cases.push_back({d, {PortKind::Unknown, 115200, "ACME", "X1", {"AT", "AT+CGMI", "AT+CGMM", "AT+C5GREG?"}}});
    }
    {
        // Garbage of the speeds tried before led the line: ERROR, then OK to the same question.
        Device d = MakeDevice("a modem at 4800 that refuses the first AT it hears", 4800);
        d.firstAnswers = {{"AT", "\r\nERROR\r\n"}};
        d.answers = {{"AT", kOk}};
        cases.push_back({d, {PortKind::Unknown, 4800, "", "", Join(AtAt(4), kAllQuestions)}});
    }
    {
        Device d = MakeDevice("a device at 9600 that answers AT only with ERROR", 9600);
        d.answers = {{"AT", "\r\nERROR\r\n"}};
        cases.push_back({d, {PortKind::Unknown, 9600, "", "", AtAt(3)}});
    }

    // Nothing, or nothing readable.
    {
        // Silence at the first speed ends the listening.
        Device d = MakeDevice("silent port", 0);
        d.refuses = false;
        cases.push_back({d,
                         {PortKind::Silent, 0, "", "", AtAt(std::size(kSearchAtSpeeds)),
                          kSearchListenMs + std::size(kSearchAtSpeeds) * kSearchAtWaitMs}});
    }
    {
        Device d = MakeDevice("binary frames at every speed, no AT", 0);
        d.refuses = false;
        d.babbles = true;
        cases.push_back({d, {PortKind::Unknown, 0, "", "", AtAt(std::size(kSearchAtSpeeds))}});
    }
    return cases;
}

} // namespace

// What devices of each kind send, byte by byte, in small chunks and in whole answers: the port is
// told as what it is, at its speed, with what it says of itself, within the port's bound; a
// receiver is never written to, only "AT" goes out before an OK (the commands sent are the
// table's, in order), and no command sets anything.
TEST(PortProbe, TellsEachDeviceByWhatItSends)
{
    for (const Case& c : Cases()) {
        for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{4096}}) {
            SCOPED_TRACE(std::string(c.device.name) + ", chunks of " + std::to_string(chunk));
            const ProbeRun run = Probe(c.device, chunk);
            EXPECT_EQ(c.expected.kind, run.finding.kind);
            EXPECT_EQ(c.expected.baud, run.finding.baud);
            EXPECT_EQ(c.expected.maker, run.finding.maker);
            EXPECT_EQ(c.expected.model, run.finding.model);
            EXPECT_EQ(c.expected.sent, run.sent);
            EXPECT_LE(run.endMs, c.expected.endsBy);
            for (const std::string& command : run.sent) {
                EXPECT_EQ(std::string::npos, command.find('=')) << command;
            }
            const std::optional<SearchChoice> choice = ChoiceOf(run.finding);
            EXPECT_EQ(c.expected.kind == PortKind::Receiver || c.expected.kind == PortKind::Modem ||
                          c.expected.kind == PortKind::WSim,
                      choice.has_value());
        }
    }
}
