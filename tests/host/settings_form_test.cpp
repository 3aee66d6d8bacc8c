#include "settings/memory_settings_host.h"
#include "tests/host/settings_fakes.h"
#include "ui/settings_form.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

const std::vector<PortChoice> kPorts =
    MergePorts({{L"COM1", L""}, {L"COM3", L"u-blox GNSS receiver (COM3)"}, {L"COM10", L"Quectel USB AT Port (COM10)"}});

// The keys of this machine as the record holds them.
auto MachineKeys(const CSettings& s)
{
    return std::make_tuple(s.m_module, s.m_port, s.m_baud, s.m_fixWait, s.m_serviceUrl, s.m_geolocateUrl,
                           s.m_lookupCache);
}

class SettingsFormTest : public ::testing::Test
{
protected:
    SettingsFormTest() : record(&host) {}
    CMemorySettingsHost host;
    CSettings record;
};

TEST_F(SettingsFormTest, FactoryRecordShowsWhatTheProgramUsesAndOkUnchangedNamesNoKey)
{
    const SettingsForm shown = FormFromRecord(record, kPorts);
    EXPECT_EQ(shown.module, ModuleKind::WSim);
    EXPECT_EQ(shown.port, L"COM1:");
    EXPECT_EQ(shown.speed, L"自動");
    EXPECT_EQ(shown.fixWait, L"60");
    EXPECT_EQ(shown.connectWait, L"3000");
    EXPECT_FALSE(shown.lookupCache);
    EXPECT_EQ(shown.serviceUrl + shown.geolocateUrl, L"");
    FormRefusal refusal;
    EXPECT_TRUE(CheckForm(shown, kPorts, refusal));

    ASSERT_TRUE(record.Save(L"factory.ini"));
    SettingsForm ok = shown;
    ok.port = kPorts[0].label; // the list came and showed the row of COM1:
    ApplyForm(shown, ok, kPorts, record);
    ASSERT_TRUE(record.Save(L"after.ini"));
    EXPECT_EQ(host.m_files.m_files[L"after.ini"], host.m_files.m_files[L"factory.ini"]);
}

// Each field changed names its key, as "保存" then writes it; changed back, it names none.
TEST_F(SettingsFormTest, EachChangedFieldSetsItsKey)
{
    const SettingsForm shown = FormFromRecord(record, kPorts);
    using Change = std::function<void(SettingsForm&)>;
    const struct
    {
        const char* name;
        Change change;
        std::function<bool(const CSettings&)> holds;
    } rows[] = {
        {"module", [](SettingsForm& f) { f.module = ModuleKind::Nmea; },
         [](const CSettings& s) { return s.m_module == std::optional<std::wstring>(L"NMEA"); }},
        {"modem", [](SettingsForm& f) { f.module = ModuleKind::Modem; },
         [](const CSettings& s) { return s.m_module == std::optional<std::wstring>(L"3GPP"); }},
        {"port row", [](SettingsForm& f) { f.port = L"COM10: Quectel USB AT Port"; },
         [](const CSettings& s) { return s.m_port == std::optional<std::wstring>(L"\\\\.\\COM10"); }},
        {"port typed", [](SettingsForm& f) { f.port = L"COM8:"; },
         [](const CSettings& s) { return s.m_port == std::optional<std::wstring>(L"COM8:"); }},
        {"speed", [](SettingsForm& f) { f.speed = L"38400"; },
         [](const CSettings& s) { return s.m_baud == std::optional<std::wstring>(L"38400"); }},
        {"fix wait", [](SettingsForm& f) { f.fixWait = L" 120"; },
         [](const CSettings& s) { return s.m_fixWait == std::optional<std::wstring>(L"120"); }},
        {"cache", [](SettingsForm& f) { f.lookupCache = true; },
         [](const CSettings& s) { return s.m_lookupCache == std::optional<bool>(true); }},
        {"service", [](SettingsForm& f) { f.serviceUrl = L"https://lookup.example.jp/loc1/location"; },
         [](const CSettings& s) {
             return s.m_serviceUrl == std::optional<std::wstring>(L"https://lookup.example.jp/loc1/location");
         }},
        {"geolocation", [](SettingsForm& f) { f.geolocateUrl = L"https://api.beacondb.net/v1/geolocate"; },
         [](const CSettings& s) {
             return s.m_geolocateUrl == std::optional<std::wstring>(L"https://api.beacondb.net/v1/geolocate");
         }},
        {"connect wait", [](SettingsForm& f) { f.connectWait = L"0"; },
         [](const CSettings& s) { return s.m_nConnectWait == 0; }},
    };
    for (const auto& row : rows) {
        CSettings s(&host);
        SettingsForm form = shown;
        row.change(form);
        FormRefusal refusal;
        ASSERT_TRUE(CheckForm(form, kPorts, refusal)) << row.name;
        ApplyForm(shown, form, kPorts, s);
        EXPECT_TRUE(row.holds(s)) << row.name;
        // Only that key: the others stay unnamed.
        int named = 0;
        std::apply([&named](const auto&... key) { ((named += key.has_value() ? 1 : 0), ...); }, MachineKeys(s));
        EXPECT_EQ(named, row.name == std::string("connect wait") ? 0 : 1) << row.name;
    }
}

TEST_F(SettingsFormTest, ValuesFromAFileShowAsWrittenAndAreKeptUntilChanged)
{
    record.m_module = L" nmea ";
    record.m_port = L"COM3:";
    record.m_baud = L"9600";
    record.m_fixWait = L"abc"; // the reader takes 60 for it
    record.m_serviceUrl = L"";
    const SettingsForm shown = FormFromRecord(record, kPorts);
    EXPECT_EQ(shown.module, ModuleKind::Nmea);
    EXPECT_EQ(shown.port, L"COM3: u-blox GNSS receiver");
    EXPECT_EQ(shown.speed, L"9600");
    EXPECT_EQ(shown.fixWait, L"abc");

    // The bad value is said even when the user did not touch it, and nothing is kept.
    const CSettings before = record;
    FormRefusal refusal;
    ASSERT_FALSE(CheckForm(shown, kPorts, refusal));
    EXPECT_EQ(refusal.field, FormField::FixWait);
    EXPECT_EQ(refusal.reason, L"測位の待ち時間は、1～3600 の秒数を数字で入力してください。");
    EXPECT_EQ(MachineKeys(record), MachineKeys(before));

    SettingsForm form = shown;
    form.fixWait = L"90";
    form.speed = L"自動"; // the speed is found again
    ASSERT_TRUE(CheckForm(form, kPorts, refusal));
    ApplyForm(shown, form, kPorts, record);
    EXPECT_EQ(MachineKeys(record),
              std::make_tuple(std::optional<std::wstring>(L" nmea "), std::optional<std::wstring>(L"COM3:"),
                              std::optional<std::wstring>(L""), std::optional<std::wstring>(L"90"),
                              std::optional<std::wstring>(L""), std::optional<std::wstring>(), std::optional<bool>()));
}

// The first bad field in the screen's order is named, with the settings file's reason.
TEST_F(SettingsFormTest, BadValuesAreRefusedWithTheirReason)
{
    const SettingsForm shown = FormFromRecord(record, kPorts);
    const struct
    {
        std::function<void(SettingsForm&)> change;
        FormField field;
        std::wstring reason;
    } rows[] = {
        {[](SettingsForm& f) { f.speed = L"fast"; }, FormField::Speed,
         L"速度は「自動」か、300～921600 の数字で入力してください。"},
        {[](SettingsForm& f) { f.speed = L"1000000"; }, FormField::Speed,
         L"速度は「自動」か、300～921600 の数字で入力してください。"},
        {[](SettingsForm& f) { f.fixWait = L"0"; }, FormField::FixWait,
         L"測位の待ち時間は、1～3600 の秒数を数字で入力してください。"},
        {[](SettingsForm& f) { f.connectWait = L""; }, FormField::ConnectWait,
         L"接続時の待ち時間は、0～999999999 のミリ秒を数字で入力してください。"},
        {[](SettingsForm& f) { f.serviceUrl = L"lookup.example.jp/loc1/location"; }, FormField::ServiceUrl, L""},
        {[](SettingsForm& f) { f.geolocateUrl = L"https://api.beacondb.net/v1/geo locate"; }, FormField::GeolocateUrl,
         L""},
        {[](SettingsForm& f) { f.port = L"COM3:\r\nMODULE=3GPP"; }, FormField::Port,
         L"ポートの名前に改行は使えません。"},
        {[](SettingsForm& f) {
             f.fixWait = L"0";
             f.speed = L"x";
         },
         FormField::Speed, L""}, // the first in the screen's order
    };
    for (const auto& row : rows) {
        SettingsForm form = shown;
        row.change(form);
        FormRefusal refusal;
        ASSERT_FALSE(CheckForm(form, kPorts, refusal));
        EXPECT_EQ(refusal.field, row.field);
        if (!row.reason.empty()) {
            EXPECT_EQ(refusal.reason, row.reason);
        }
        EXPECT_FALSE(refusal.reason.empty());
    }
}

} // namespace
