#include "settings/memory_settings_host.h"
#include "ui/settings_form.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Text = std::optional<std::wstring>;

const std::vector<PortChoice> kPorts =
    MergePorts({{L"COM1", L""}, {L"COM3", L"u-blox GNSS receiver (COM3)"}, {L"COM10", L"Quectel USB AT Port (COM10)"}});

// The keys of this machine as the record holds them.
auto MachineKeys(const CSettings& s)
{
    return std::make_tuple(s.m_module, s.m_port, s.m_baud, s.m_fixWait, s.m_serviceUrl, s.m_geolocateUrl,
                           s.m_lookupCache);
}

TEST(SettingsForm, UnchangedOkNamesNoKeyAndEachChangedFieldNamesItsOwn)
{
    CMemorySettingsHost host;
    CSettings record(&host);
    const SettingsForm shown = FormFromRecord(record, kPorts);
    EXPECT_EQ(std::make_tuple(shown.module, shown.port, shown.speed, shown.fixWait, shown.connectWait),
              std::make_tuple(ModuleKind::WSim, std::wstring(L"COM1:"), std::wstring(L"自動"), std::wstring(L"60"),
                              std::wstring(L"3000")));
    FormRefusal refusal;
    EXPECT_TRUE(CheckForm(shown, kPorts, refusal));

    // The list came meanwhile and shows the row of COM1:; nothing else changed.
    SettingsForm form = shown;
    form.port = kPorts[0].label;
    ApplyForm(shown, form, kPorts, record);
    EXPECT_EQ(MachineKeys(record), MachineKeys(CSettings(&host)));

    form.module = ModuleKind::Modem;
    form.port = L"COM10: Quectel USB AT Port"; // a row stands for its setting
    form.speed = L"115200";
    form.fixWait = L" 120";
    form.connectWait = L"0";
    form.lookupCache = true;
    form.serviceUrl = L"https://lookup.example.jp/loc1/location";
    form.geolocateUrl = L"https://api.beacondb.net/v1/geolocate";
    ASSERT_TRUE(CheckForm(form, kPorts, refusal));
    ApplyForm(shown, form, kPorts, record);
    EXPECT_EQ(MachineKeys(record),
              std::make_tuple(Text(L"3GPP"), Text(L"\\\\.\\COM10"), Text(L"115200"), Text(L"120"),
                              Text(L"https://lookup.example.jp/loc1/location"),
                              Text(L"https://api.beacondb.net/v1/geolocate"), std::optional<bool>(true)));
    EXPECT_EQ(record.m_nConnectWait, 0);
}

TEST(SettingsForm, ValuesFromAFileShowAsWrittenAndABadOneIsRefusedUntilChanged)
{
    CMemorySettingsHost host;
    CSettings record(&host);
    record.m_module = L" nmea ";
    record.m_port = L"COM3:";
    record.m_baud = L"9600";
    record.m_fixWait = L"abc"; // the reader takes 60 for it
    const SettingsForm shown = FormFromRecord(record, kPorts);
    EXPECT_EQ(std::make_tuple(shown.module, shown.port, shown.speed, shown.fixWait),
              std::make_tuple(ModuleKind::Nmea, std::wstring(L"COM3: u-blox GNSS receiver"), std::wstring(L"9600"),
                              std::wstring(L"abc")));
    FormRefusal refusal;
    ASSERT_FALSE(CheckForm(shown, kPorts, refusal));
    EXPECT_EQ(refusal.field, FormField::FixWait);
    EXPECT_EQ(refusal.reason, L"測位の待ち時間は、1～3600 の秒数を数字で入力してください。");

    SettingsForm form = shown;
    form.fixWait = L"90";
    form.speed = L"自動"; // the speed is found again
    ASSERT_TRUE(CheckForm(form, kPorts, refusal));
    ApplyForm(shown, form, kPorts, record);
    EXPECT_EQ(MachineKeys(record), std::make_tuple(Text(L" nmea "), Text(L"COM3:"), Text(L""), Text(L"90"), Text(),
                                                   Text(), std::optional<bool>()));
}

// Each field's value goes to its own key's rule, and the first bad one in the screen's order is named.
TEST(SettingsForm, TheFirstBadFieldIsNamed)
{
    CMemorySettingsHost host;
    const SettingsForm shown = FormFromRecord(CSettings(&host), kPorts);
    const struct
    {
        SettingsForm form;
        FormField field;
    } rows[] = {
        {[&] {
             auto f = shown;
             f.port = L"COM3:\r\nMODULE=3GPP";
             f.speed = L"fast";
             return f;
         }(),
         FormField::Port},
        {[&] {
             auto f = shown;
             f.speed = L"1000000";
             f.fixWait = L"0";
             return f;
         }(),
         FormField::Speed},
        {[&] {
             auto f = shown;
             f.fixWait = L"0";
             f.connectWait = L"";
             return f;
         }(),
         FormField::FixWait},
        {[&] {
             auto f = shown;
             f.connectWait = L"1000000000";
             return f;
         }(),
         FormField::ConnectWait},
        {[&] {
             auto f = shown;
             f.serviceUrl = L"lookup.example.jp/loc1";
             f.geolocateUrl = L"x";
             return f;
         }(),
         FormField::ServiceUrl},
        {[&] {
             auto f = shown;
             f.geolocateUrl = L"https://api.beacondb.net/v1/geo locate";
             return f;
         }(),
         FormField::GeolocateUrl},
    };
    for (const auto& row : rows) {
        FormRefusal refusal;
        ASSERT_FALSE(CheckForm(row.form, kPorts, refusal));
        EXPECT_EQ(refusal.field, row.field);
        EXPECT_FALSE(refusal.reason.empty());
    }
}

// A row the port search chose goes into the fields, and from them into the keys the acquisitions
// read: a listed port as its setting, the speed it answered at, or none where the program sets it.
TEST(SettingsForm, ARowOfThePortSearchSetsModulePortAndSpeed)
{
    const struct
    {
        SearchChoice choice;
        std::tuple<Text, Text, Text> keys; // MODULE, PORT, BAUD
    } rows[] = {
        {{ModuleKind::Nmea, L"COM3:", 38400}, {Text(L"NMEA"), Text(L"COM3:"), Text(L"38400")}},
        {{ModuleKind::Modem, L"\\\\.\\COM10", 115200}, {Text(L"3GPP"), Text(L"\\\\.\\COM10"), Text(L"115200")}},
        {{ModuleKind::Modem, L"COM7:", 9600}, {Text(L"3GPP"), Text(L"COM7:"), Text(L"9600")}}, // not listed
        {{ModuleKind::WSim, L"COM1:", 0}, {Text(L"W-SIM"), Text(L"COM1:"), Text(L"")}},
    };
    for (const auto& row : rows) {
        CMemorySettingsHost host;
        CSettings record(&host);
        // What the row replaces.
        record.m_module = L"NMEA";
        record.m_port = L"COM9:";
        record.m_baud = L"4800";
        const SettingsForm shown = FormFromRecord(record, kPorts);
        SettingsForm form = shown;
        TakeSearchChoice(row.choice, kPorts, form);
        FormRefusal refusal;
        ASSERT_TRUE(CheckForm(form, kPorts, refusal));
        ApplyForm(shown, form, kPorts, record);
        EXPECT_EQ(std::make_tuple(record.m_module, record.m_port, record.m_baud), row.keys);
    }
}

} // namespace
