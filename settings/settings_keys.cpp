#include "settings/settings_keys.h"

#include "acquisition/module_setting.h"
#include "common/texts.h"
#include "network/service_url.h"
#include "resources/resource.h"

#include <cstdint>

namespace {

// The main window's wait field holds nine digits.
constexpr long long kMaxConnectWait = 999999999;
constexpr long long kMaxInt = INT32_MAX;

// The rules themselves stay with the code that uses each key (module_setting.h for the
// module's keys, service_url.h for the services); the list names them.
const std::vector<SettingKey> kKeys = {
    {IDS_KEY_URLINDEX, L"URLINDEX", SettingKind::ListIndex, false, L"0", -1, kMaxInt, BadValue::LeadingDigits, 0},
    {IDS_KEY_URL, L"URL", SettingKind::ListEntries, false, nullptr, 0, 0, BadValue::LeadingDigits, IDS_KEY_URLINDEX},
    {IDS_KEY_BROWSERINDEX, L"BROWSERINDEX", SettingKind::ListIndex, false, L"0", -1, kMaxInt, BadValue::LeadingDigits,
     0},
    {IDS_KEY_BROWSER, L"BROWSER", SettingKind::ListEntries, false, nullptr, 0, 0, BadValue::LeadingDigits,
     IDS_KEY_BROWSERINDEX},
    {IDS_KEY_LOCATEEASY, L"LOCATEEASY", SettingKind::Flag, false, L"FALSE", 0, 0, BadValue::Off, 0},
    {IDS_KEY_STARTUPALL, L"STARTUPALL", SettingKind::Flag, false, L"FALSE", 0, 0, BadValue::Off, 0},
    {IDS_KEY_AUTOCONNECT, L"AUTOCONNECT", SettingKind::Flag, false, L"FALSE", 0, 0, BadValue::Off, 0},
    {IDS_KEY_AUTOBROWSER, L"AUTOBROWSER", SettingKind::Flag, false, L"TRUE", 0, 0, BadValue::Off, 0},
    {IDS_KEY_CONNECTWAIT, L"CONNECTWAIT", SettingKind::Number, false, L"3000", 0, kMaxConnectWait,
     BadValue::LeadingDigits, 0},
    {IDS_KEY_BROWSERWAIT, L"BROWSERWAIT", SettingKind::Number, false, L"3000", 0, kMaxInt, BadValue::LeadingDigits, 0},
    {IDS_KEY_SERVICEURL, L"SERVICEURL", SettingKind::Url, true, L"", 0, 0, BadValue::RefusedAtSend, 0},
    {IDS_KEY_PORT, L"PORT", SettingKind::Device, true, L"", 0, 0, BadValue::OpenedAsWritten, 0},
    {IDS_KEY_LOOKUPCACHE, L"LOOKUPCACHE", SettingKind::Flag, true, L"FALSE", 0, 0, BadValue::Off, 0},
    {IDS_KEY_MODULE, L"MODULE", SettingKind::Module, true, L"W-SIM", 0, 0, BadValue::WSim, 0},
    {IDS_KEY_BAUD, L"BAUD", SettingKind::Speed, true, L"", kMinBaud, kMaxBaud, BadValue::SpeedSearched, 0},
    {IDS_KEY_FIXWAIT, L"FIXWAIT", SettingKind::Number, true, L"60", kMinFixWaitSeconds, kMaxFixWaitSeconds,
     BadValue::NearestInRange, 0},
    {IDS_KEY_GEOLOCATEURL, L"GEOLOCATEURL", SettingKind::Url, true, L"", 0, 0, BadValue::RefusedAtSend, 0},
};

// Decimal digits only, as the program writes a number, within min..max.
bool IsPlainNumber(const std::wstring& value, long long min, long long max)
{
    if (value.empty() || value.size() > 18) {
        return false;
    }
    long long number = 0;
    for (wchar_t c : value) {
        if (c < L'0' || c > L'9') {
            return false;
        }
        number = number * 10 + (c - L'0');
    }
    return number >= min && number <= max;
}

bool IsGood(const SettingKey& key, const std::wstring& value)
{
    switch (key.kind) {
    case SettingKind::ListIndex:
        return value == L"-1" || IsPlainNumber(value, 0, key.max);
    case SettingKind::ListEntries:
        return true;
    case SettingKind::Flag:
        return value == L"TRUE" || value == L"FALSE";
    case SettingKind::Number:
        // FIXWAIT is read with spaces around it allowed; the waits as the window shows them.
        return key.nameId == IDS_KEY_FIXWAIT ? IsFixWaitInRange(value) : IsPlainNumber(value, key.min, key.max);
    case SettingKind::Speed:
        return value.find_first_not_of(L" \t") == std::wstring::npos || BaudFromSetting(value).has_value();
    case SettingKind::Module:
        return ModuleNamedBy(value).has_value();
    case SettingKind::Url:
        return value.empty() || IsUsableServiceUrl(value);
    case SettingKind::Device:
        // A file holds one line per key.
        return value.find_first_of(L"\r\n") == std::wstring::npos;
    }
    return false;
}

// Why the settings screen refuses a value, for each key it has a field for.
const struct
{
    unsigned nameId;
    unsigned reasonId;
} kReasons[] = {
    {IDS_KEY_CONNECTWAIT, IDS_SETTING_BAD_CONNECTWAIT},
    {IDS_KEY_SERVICEURL, IDS_SETTING_BAD_SERVICEURL},
    {IDS_KEY_PORT, IDS_SETTING_BAD_PORT},
    {IDS_KEY_BAUD, IDS_SETTING_BAD_BAUD},
    {IDS_KEY_FIXWAIT, IDS_SETTING_BAD_FIXWAIT},
    {IDS_KEY_GEOLOCATEURL, IDS_SETTING_BAD_GEOLOCATEURL},
};

// The reason, with the range the key takes; empty for a key without a field.
std::wstring ReasonOf(const SettingKey& key)
{
    for (const auto& row : kReasons) {
        if (row.nameId == key.nameId) {
            return Text(row.reasonId, {NumberText(key.min), NumberText(key.max)});
        }
    }
    return std::wstring();
}

} // namespace

const std::vector<SettingKey>& SettingKeys()
{
    return kKeys;
}

const SettingKey* FindSettingKey(unsigned nameId)
{
    for (const SettingKey& key : kKeys) {
        if (key.nameId == nameId) {
            return &key;
        }
    }
    return nullptr;
}

bool IsGoodSettingValue(const SettingKey& key, const std::wstring& value, std::wstring* reason)
{
    if (IsGood(key, value)) {
        return true;
    }
    if (reason != nullptr) {
        *reason = ReasonOf(key);
    }
    return false;
}
