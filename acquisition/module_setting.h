#pragma once

#include <optional>
#include <string>

// What the settings file's MODULE, BAUD and FIXWAIT keys mean. Each takes the key as read
// (none when the file lacks it) and gives what the acquisition uses; a value that makes no
// sense falls back to what a file without the key gets, so no setting can stop the program.

// The kind of module on the port.
enum class ModuleKind
{
    WSim,  // the W-SIM and the carrier's lookup
    Nmea,  // a GNSS receiver speaking NMEA 0183
    Modem, // a cellular modem speaking 3GPP AT commands
};

// "W-SIM", "NMEA" or "3GPP" in any case, spaces and tabs around it ignored; none, or any other
// value, is the W-SIM, as files before the key behave.
ModuleKind ModuleFromSetting(const std::optional<std::wstring>& value);

// The kind a value names as ModuleFromSetting reads it; none for a value it takes for the W-SIM
// only because it names nothing.
std::optional<ModuleKind> ModuleNamedBy(const std::wstring& value);

// The value the menu writes for a kind: "W-SIM", "NMEA", "3GPP".
const wchar_t* ModuleSettingText(ModuleKind kind);

// Line speeds a serial line takes.
constexpr unsigned kMinBaud = 300;
constexpr unsigned kMaxBaud = 921600;

// The line speed: decimal digits (spaces and tabs around them ignored) within kMinBaud and
// kMaxBaud; none for anything else, and then the speeds are searched.
std::optional<unsigned> BaudFromSetting(const std::optional<std::wstring>& value);

// How long to wait for a receiver's fix, seconds.
constexpr unsigned kDefaultFixWaitSeconds = 60;
constexpr unsigned kMinFixWaitSeconds = 1;
constexpr unsigned kMaxFixWaitSeconds = 3600;

// Decimal digits (spaces and tabs around them ignored) brought within kMinFixWaitSeconds and
// kMaxFixWaitSeconds; kDefaultFixWaitSeconds without the key or for anything that is not a
// number.
unsigned FixWaitSeconds(const std::optional<std::wstring>& value);

// Whether FixWaitSeconds takes the value as written: a number within the range.
bool IsFixWaitInRange(const std::wstring& value);
