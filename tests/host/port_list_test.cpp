#include "acquisition/port_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The lists as a desktop names its ports: the serial device map, the device manager's ports
// class with the friendly names drivers give, the DOS device names.
TEST(PortList, OneRowPerPortInNumberOrderNamedByItsDevice)
{
    const std::vector<FoundPort> found = {
        // HKLM\HARDWARE\DEVICEMAP\SERIALCOMM
        {L"COM1", L""},
        {L"COM10", L""},
        {L"COM4", L""},
        {L"CNCA0", L""}, // a virtual null-modem pair's end
        // the ports class, SPDRP_FRIENDLYNAME
        {L"COM1", L"Communications Port (COM1)"},
        {L"COM4", L"u-blox GNSS receiver (COM4)"},
        {L"COM10", L"Prolific USB-to-Serial Comm Port (COM10)"},
        {L"COM5", L"Standard Serial over Bluetooth link"},
        {L"COM6", L"Quectel USB AT Port (com6)"},
        {L"COM7", L"   "},
        // QueryDosDevice
        {L"COM1", L""},
        {L"com2", L""},
        {L"COM4", L""},
        {L"COM4:", L"a second name is not taken"},
    };
    const std::vector<std::vector<std::wstring>> expected = {
        {L"COM1", L"COM1:", L"COM1: Communications Port"},
        {L"COM2", L"COM2:", L"COM2:"},
        {L"COM4", L"COM4:", L"COM4: u-blox GNSS receiver"},
        {L"COM5", L"COM5:", L"COM5: Standard Serial over Bluetooth link"},
        {L"COM6", L"COM6:", L"COM6: Quectel USB AT Port"},
        {L"COM7", L"COM7:", L"COM7:"},
        {L"COM10", L"\\\\.\\COM10", L"COM10: Prolific USB-to-Serial Comm Port"},
        {L"CNCA0", L"\\\\.\\CNCA0", L"CNCA0:"},
    };
    std::vector<std::vector<std::wstring>> rows;
    for (const PortChoice& choice : MergePorts(found)) {
        rows.push_back({choice.name, choice.setting, choice.label});
    }
    EXPECT_EQ(rows, expected);
    EXPECT_TRUE(MergePorts({}).empty());
    EXPECT_TRUE(MergePorts({{L"", L"no name"}, {L" : ", L""}}).empty());
}

TEST(PortList, TheFieldsTextAndThePortItOpens)
{
    const std::vector<PortChoice> ports = MergePorts({{L"COM3", L"u-blox GNSS receiver (COM3)"}, {L"COM11", L""}});
    const struct
    {
        std::wstring text; // as the field holds it
        std::wstring port; // what PORT keeps
        int row;           // the row of that port
    } rows[] = {
        {L"COM3: u-blox GNSS receiver", L"COM3:", 0},
        {L"COM11:", L"\\\\.\\COM11", 1}, // a label typed as it stands
        {L"\\\\.\\COM11", L"\\\\.\\COM11", 1},
        {L"com3", L"com3", 0},    // typed: kept as typed, but the same port
        {L"COM8:", L"COM8:", -1}, // not plugged in now
        {L"tcp://192.168.1.5:10110", L"tcp://192.168.1.5:10110", -1},
        {L"", L"", -1},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(PortFromField(row.text, ports), row.port) << row.text.c_str();
        EXPECT_EQ(PortChoiceOf(row.port, ports), row.row) << row.text.c_str();
    }
    const std::pair<std::wstring, bool> names[] = {
        {L"COM1", true}, {L"com256", true}, {L"COM", false},  {L"COM0", false},
        {L"C:", false},  {L"COM1:", false}, {L"LPT1", false},
    };
    for (const auto& [name, port] : names) {
        EXPECT_EQ(IsComPortName(name), port) << name.c_str();
    }
}

} // namespace
