#include "acquisition/acquire_logic.h"
#include "acquisition/module_setting.h"
#include "common/texts.h"
#include "network/service_url.h"
#include "resources/resource.h"
#include "settings/ini_file.h"
#include "settings/memory_settings_host.h"
#include "settings/settings.h"
#include "settings/settings_keys.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

// The keys of a saved file in its order, a list's entries by their prefix, with the first value.
std::vector<std::pair<std::wstring, std::wstring>> SavedKeys(const std::vector<unsigned char>& file)
{
    CIniFile ini;
    ini.Parse(L"tavrin", file.data(), file.size());
    std::vector<std::pair<std::wstring, std::wstring>> keys;
    for (auto [key, value] : ini.Pairs()) {
        if (key != L"URLINDEX") {
            key.erase(key.find_last_not_of(L"0123456789") + 1);
        }
        if (keys.empty() || keys.back().first != key) {
            keys.emplace_back(key, value);
        }
    }
    return keys;
}

TEST(SettingKeys, AreTheFilesKeysInItsOrderWithTheirFactoryValues)
{
    CMemorySettingsHost host;
    CSettings settings(&host);
    // Every key of this machine held, so that every key is written.
    settings.m_serviceUrl = settings.m_port = settings.m_module = settings.m_baud = settings.m_fixWait =
        settings.m_geolocateUrl = L"";
    settings.m_lookupCache = false;
    ASSERT_TRUE(settings.Save(L"all.ini"));
    const auto saved = SavedKeys(host.m_files.m_files[L"all.ini"]);
    ASSERT_EQ(saved.size(), SettingKeys().size());
    for (size_t i = 0; i < saved.size(); ++i) {
        const SettingKey& key = SettingKeys()[i];
        EXPECT_EQ(saved[i].first, key.name);
        EXPECT_EQ(Text(key.nameId), key.name); // the program's string table
        EXPECT_EQ(CMemorySettingsHost::BuiltInText(key.nameId), key.name);
        EXPECT_EQ(FindSettingKey(key.nameId), &key);
        if (key.kind == SettingKind::ListEntries) {
            EXPECT_EQ(SettingKeys()[i - 1].nameId, key.indexId) << key.name; // its index comes first
        } else if (!key.machine) {
            EXPECT_EQ(saved[i].second, key.value) << key.name; // the factory record writes the factory value
        }
        EXPECT_EQ(CSettings::IsMachineKey(key.nameId), key.machine);
    }
    EXPECT_EQ(FindSettingKey(IDS_KEY_FORMAT), nullptr); // a name the file never holds

    // A key of this machine that no file named behaves as its factory value written out.
    const auto factory = [](unsigned id) { return std::optional<std::wstring>(FindSettingKey(id)->value); };
    const std::optional<std::wstring> none;
    EXPECT_EQ(ModuleFromSetting(none), ModuleFromSetting(factory(IDS_KEY_MODULE)));
    EXPECT_EQ(BaudFromSetting(none), BaudFromSetting(factory(IDS_KEY_BAUD)));
    EXPECT_EQ(FixWaitSeconds(none), FixWaitSeconds(factory(IDS_KEY_FIXWAIT)));
    EXPECT_EQ(ModuleDeviceName(none), ModuleDeviceName(factory(IDS_KEY_PORT)));
    const std::wstring builtIn = L"http://lookup.example.test/loc1/location";
    EXPECT_EQ(ChooseServiceUrl(none, builtIn), ChooseServiceUrl(factory(IDS_KEY_SERVICEURL), builtIn));
}

// What the screen lets through is what the reader takes as written; a value refused there is
// one the reader would have replaced (the factory value, the range's end, a search, a box).
TEST(SettingKeys, TheScreensCheckIsTheReadersRule)
{
    const struct
    {
        unsigned key;
        std::wstring value;
        bool good;
    } rows[] = {
        {IDS_KEY_CONNECTWAIT, L"3000", true},
        {IDS_KEY_CONNECTWAIT, L"999999999", true},
        {IDS_KEY_CONNECTWAIT, L"1000000000", false}, // the window's field holds nine digits
        {IDS_KEY_CONNECTWAIT, L"-1", false},         // no wait at all
        {IDS_KEY_CONNECTWAIT, L"1500ms", false},     // read as 1500
        {IDS_KEY_CONNECTWAIT, L"", false},           // read as 0
        {IDS_KEY_FIXWAIT, L" 120 ", true},
        {IDS_KEY_FIXWAIT, L"3600", true},
        {IDS_KEY_FIXWAIT, L"0", false},    // held to 1
        {IDS_KEY_FIXWAIT, L"3601", false}, // held to 3600
        {IDS_KEY_FIXWAIT, L"1.5", false},  // the factory 60
        {IDS_KEY_BAUD, L"", true},         // the speed is found
        {IDS_KEY_BAUD, L"921600", true},
        {IDS_KEY_BAUD, L"299", false},
        {IDS_KEY_BAUD, L"9600bps", false},
        {IDS_KEY_BAUD, L"\xFF19\xFF16\xFF10\xFF10", false}, // full-width digits
        {IDS_KEY_SERVICEURL, L"", true},                    // the built-in service
        {IDS_KEY_SERVICEURL, L"https://lookup.example.jp/loc1/location", true},
        {IDS_KEY_SERVICEURL, L"ftp://lookup.example.jp/", false},
        {IDS_KEY_SERVICEURL, L"https://lookup.example.jp/loc1\x3000location", false},
        {IDS_KEY_SERVICEURL, L"https://h/" + std::wstring(246, L'x'), false}, // 256 characters
        {IDS_KEY_GEOLOCATEURL, L"", true},                                    // the send says so
        {IDS_KEY_GEOLOCATEURL, L"https://api.beacondb.net/v1/geolocate", true},
        {IDS_KEY_GEOLOCATEURL, L"api.beacondb.net/v1/geolocate", false},
        {IDS_KEY_PORT, L"", true}, // COM1:
        {IDS_KEY_PORT, L"COM3:", true},
        {IDS_KEY_PORT, L"tcp://192.168.1.5:2947", true},
        {IDS_KEY_PORT, L"COM3:\r\nMODULE=NMEA", false}, // would write a line of its own
        {IDS_KEY_MODULE, L"nmea", true},
        {IDS_KEY_MODULE, L"GPS", false}, // the W-SIM
        {IDS_KEY_LOOKUPCACHE, L"TRUE", true},
        {IDS_KEY_LOOKUPCACHE, L"true", false}, // off
    };
    for (const auto& row : rows) {
        const SettingKey& key = *FindSettingKey(row.key);
        std::wstring reason;
        EXPECT_EQ(IsGoodSettingValue(key, row.value, &reason), row.good) << key.name << "=" << row.value.c_str();
        // The screen has a field, and so a reason, for every key but these two.
        const bool field = key.kind != SettingKind::Module && key.kind != SettingKind::Flag;
        EXPECT_EQ(reason.empty(), row.good || !field) << key.name;
        const std::optional<std::wstring> value = row.value;
        switch (key.nameId) {
        case IDS_KEY_CONNECTWAIT:
            // A negative wait is no wait at all.
            EXPECT_EQ(row.good, std::to_wstring(CSettings::ToNumber(row.value)) == row.value &&
                                    CSettings::ToNumber(row.value) >= 0 && row.value.size() <= CSettings::kMaxWaitChars)
                << row.value.c_str();
            break;
        case IDS_KEY_FIXWAIT:
            if (row.good) {
                EXPECT_EQ(FixWaitSeconds(value), std::stoul(row.value));
            }
            break;
        case IDS_KEY_BAUD:
            EXPECT_EQ(row.good && !row.value.empty(), BaudFromSetting(value).has_value());
            break;
        case IDS_KEY_SERVICEURL:
            EXPECT_EQ(row.good, ChooseServiceUrl(value, L"http://built.in/") != nullptr);
            break;
        case IDS_KEY_MODULE:
            EXPECT_EQ(row.good, ModuleNamedBy(row.value).has_value());
            break;
        default:
            break;
        }
    }
    // The reason gives the range the key takes.
    std::wstring reason;
    EXPECT_FALSE(IsGoodSettingValue(*FindSettingKey(IDS_KEY_BAUD), L"fast", &reason));
    EXPECT_NE(reason.find(L"300～921600"), std::wstring::npos) << reason.c_str();
    EXPECT_FALSE(IsGoodSettingValue(*FindSettingKey(IDS_KEY_FIXWAIT), L"0", &reason));
    EXPECT_NE(reason.find(L"1～3600"), std::wstring::npos) << reason.c_str();
}

} // namespace
