#pragma once

#include <string>
#include <vector>

// Control of the W-SIM simulator that the harness runs on COM1: (tools/wsim_sim.py),
// through its state folder %TAVRIN_WSIM_DIR%. The simulator reads config.json again for
// every command; the format is in docs/serial.md.

// The simulator of COM1: (and COM3:), and those the harness runs on COM4: and COM5: for the
// port search, each with a state folder of its own (%TAVRIN_WSIM_COM4_DIR%, ...).
enum class WsimPort
{
    Com1,
    Com4,
    Com5,
};

// Replaces config.json with `json` (written whole, then moved into place, so the
// simulator never reads half a file). Returns false when the folder is unknown or the
// file cannot be written.
bool WsimConfigure(const std::string& json);
bool WsimConfigure(WsimPort port, const std::string& json);

// The defaults again.
bool WsimReset();

// What COM1: leads to.
enum class WsimDevice
{
    Module,    // the simulated module
    Gone,      // nothing that can be opened
    PlainFile, // a file that opens but takes no serial settings
};

// Switches COM1: ({"offline": ...}, otherwise the defaults) and waits until it behaves so.
bool WsimSetDevice(WsimDevice device);

// The commands the simulator received since the log was last cleared, without CR LF.
std::vector<std::string> WsimCommands(WsimPort port = WsimPort::Com1);

// The bytes the simulator received since the log was last cleared, exactly as sent.
std::string WsimReceivedBytes(WsimPort port = WsimPort::Com1);

// What clients sent to the simulator's receiver over TCP since the harness started, exactly as
// sent.
std::string WsimTcpReceived();

// Forgets the logged commands and bytes.
void WsimClearLog(WsimPort port = WsimPort::Com1);

// The answer time stamps the simulator wrote with "stamp": true, one line per answer:
// "<command> <first byte ns> <last byte ns> <bytes>" on the Unix clock.
std::vector<std::string> WsimAnswerStamps();
void WsimClearAnswerStamps();

// The formats the simulated modem is set to now (modem_state.json, docs/serial.md), as written:
// {"C5GREG": 0, "CEREG": 2, "CGREG": 0, "CREG": 0, "COPS": 2, "echo": true}. Empty before the
// modem's first command.
std::string WsimModemState();
