#pragma once

#include <string>
#include <vector>

// The keys of the settings file: the one list that the file's reader and writer, the settings
// screen and the guide go by. Each key has its factory value, what it takes, and what the
// program does with a value outside that; beside the list, the settings screen's reason for
// refusing such a value of each key it has a field for.

enum class SettingKind
{
    ListIndex,   // URLINDEX, BROWSERINDEX: the selected entry of the list that follows
    ListEntries, // URL, BROWSER: a prefix; the entries are URL0, URL1, ... fields joined by ";"
    Flag,        // TRUE or FALSE
    Number,      // decimal digits within min..max
    Speed,       // BAUD: empty (the speed is found) or a line speed within min..max
    Module,      // MODULE: W-SIM, NMEA or 3GPP
    Url,         // SERVICEURL, GEOLOCATEURL: empty or an http(s) URL the lookup can ask
    Device,      // PORT: the device the module is opened on
};

// What a value outside the key's range does when a file holds it (the settings screen refuses
// such a value instead).
enum class BadValue
{
    LeadingDigits,   // the number its leading digits make, none 0; a negative wait is no wait
    Off,             // anything but TRUE is off
    WSim,            // the W-SIM is on the port
    SpeedSearched,   // a receiver's and a modem's speed is searched
    NearestInRange,  // not a number: the factory value; beyond the range: its nearer end
    RefusedAtSend,   // the send says so in a box and sends nothing anywhere
    OpenedAsWritten, // the device of that name is opened; one that cannot be says so
};

struct SettingKey
{
    unsigned nameId;     // IDS_KEY_...: the key's name in the string table
    const wchar_t* name; // the same name, for the guide and the tests
    SettingKind kind;
    bool machine;         // a key of this machine (see CSettings::IsMachineKey)
    const wchar_t* value; // the factory value as the file writes it; null for the lists' entries
    long long min, max;   // Number and Speed
    BadValue bad;
    unsigned indexId; // ListEntries: the nameId of the list's index key
};

// Every key, in the order the file holds them.
const std::vector<SettingKey>& SettingKeys();

// The key of `nameId`; null for an id that names no key.
const SettingKey* FindSettingKey(unsigned nameId);

// Whether the program takes `value` of `key` as written, so that the settings screen may keep
// it. When not, `reason` (when given) receives what the screen says, or stays empty for a key
// without a field.
bool IsGoodSettingValue(const SettingKey& key, const std::wstring& value, std::wstring* reason = nullptr);
