#pragma once

#include "acquisition/modem_dialogue.h"
#include "acquisition/module_setting.h"
#include "settings/settings.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Decisions of the main window's commands that need no window system.

// The log never holds more than this many characters.
constexpr std::size_t kLogLimit = CSettings::kMaxLogChars;

// Appends `text` to `log`; when the two together are longer than kLogLimit, the oldest
// characters go so that exactly the newest kLogLimit remain.
void AppendToLog(std::wstring& log, const std::wstring& text);

// Milliseconds that get-and-send waits between acquisition and send. Only automatic
// connection waits; a negative wait (only a hand-edited settings file can hold one) is no
// wait rather than an unsigned count of almost 50 days.
std::uint32_t ConnectWaitMilliseconds(bool autoConnect, long wait);

// What a control's WM_COMMAND asks for (by the low 16 bits of its first parameter).
enum class ControlCommand
{
    Ignore,          // the check boxes: read when a command needs them
    GetLocation,     // 1008
    Send,            // 1009
    Connect,         // 1013
    GetAndSend,      // 1016
    EditUrlList,     // 1023
    EditBrowserList, // 1031
    Default,         // every other control: default window processing
};

ControlCommand ControlCommandFromId(unsigned id);

// The box that refuses a SERVICEURL that cannot be asked: it names the key and its value (a
// long value cut, so the box stays on the screen).
std::wstring UnusableServiceText(const std::wstring& value);

// The box of a settings file that could not be read ("開く", or default.ini at start-up) or
// saved ("保存"): the file and the reason.
std::wstring SettingsFileFailureText(bool saving, const std::wstring& path, FileFailure failure, unsigned code);

// The box of a browser that could not be started: its file and the reason.
std::wstring BrowserFailureText(const std::wstring& file, FileFailure failure, unsigned code);

// The box of a lookup cache that could not be cleared: the file and the reason.
std::wstring CacheClearFailureText(const std::wstring& path, FileFailure failure, unsigned code);

// The log's line when the menu switches what is on the port.
std::wstring ModuleChosenText(ModuleKind module, const std::wstring& port);

// The log's line for a lookup cache that could not be written (said once until a write succeeds).
std::wstring CacheWriteFailureText(FileFailure failure, unsigned code);

// The box of a network check that its limit cut (the Connection Manager did not answer).
std::wstring NetworkCheckTimeoutText(unsigned limitMs);

// The failure of a lookup that its deadline cut: the platform's own time-out, as the send call
// that was waiting reports it.
std::wstring LookupTimeoutText();

// The log's line of a modem's serving cell: "LTE 440-10 TAC 6699 CI 27075331" (the area and
// the cell in decimal, as operators' cell lists give them).
std::wstring CellLogText(const CellTower& cell);

// The box that refuses a modem's send without a usable GEOLOCATEURL: it names the key, and the
// value when there is one (cut as UnusableServiceText cuts it).
std::wstring MissingGeolocateText(const std::optional<std::wstring>& value);

// The libraries (SystemLibrary flags) a send uses: the lookup's for a CS-ID, the shell's
// to start the browser.
unsigned LibrariesForSend(bool simpleCoordinates, bool startBrowser);
