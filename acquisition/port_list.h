#pragma once

#include <string>
#include <vector>

// The serial ports of this machine as the settings screen offers them. The system names its
// ports in several lists (the serial device map, the device manager's ports class, the DOS
// device names), each with what it knows; this merges them into one row per port.

// A port as one list names it.
struct FoundPort
{
    std::wstring name;        // "COM3", as the list spells it (a trailing ":" is dropped)
    std::wstring description; // the device's name where the list gives one, else empty
};

// One row of the port field's drop-down.
struct PortChoice
{
    std::wstring name;    // "COM3"
    std::wstring setting; // what PORT holds to open it
    std::wstring label;   // what the row shows: "COM3: u-blox GNSS receiver"
};

// One row per port of any list, whatever its case or colon there; the description of the first
// list that gives one, without the port's name that Windows appends to it (" (COM3)"). COM
// ports come first by number (COM2 before COM10), other names after them in order.
std::vector<PortChoice> MergePorts(const std::vector<FoundPort>& found);

// Whether a DOS device name is a serial port's: "COM" and its number, in any case.
bool IsComPortName(const std::wstring& name);

// What PORT holds to open port `name`: "COM1:" to "COM9:" as the handset names them, other
// names as the device path "\\.\COM10" (the desktop opens ports from COM10 on only so).
std::wstring PortSettingFor(const std::wstring& name);

// The PORT value the port field's text stands for: a row's label stands for its setting, and
// any other text is the port as typed (one that is not plugged in now).
std::wstring PortFromField(const std::wstring& text, const std::vector<PortChoice>& choices);

// The row of the port a PORT value opens (its name in any case, with or without the colon or
// the device path); -1 when no row is that port.
int PortChoiceOf(const std::wstring& setting, const std::vector<PortChoice>& choices);
