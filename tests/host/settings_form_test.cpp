#include "acquisition/receiver_address.h"
#include "settings/memory_settings_host.h"
#include "ui/settings_form.h"

#include <gtest/gtest.h>

#include <cwchar>

#include <optional>
#include <string>
#include <tuple>
#include <utility>
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
    using Field = std::wstring SettingsForm::*;
    const struct
    {
        std::vector<std::pair<Field, const wchar_t*>> values; // the bad values typed in
        FormField field;
    } rows[] = {
        {{{&SettingsForm::port, L"COM3:\r\nMODULE=3GPP"}, {&SettingsForm::speed, L"fast"}}, FormField::Port},
        {{{&SettingsForm::speed, L"1000000"}, {&SettingsForm::fixWait, L"0"}}, FormField::Speed},
        {{{&SettingsForm::fixWait, L"0"}, {&SettingsForm::connectWait, L""}}, FormField::FixWait},
        {{{&SettingsForm::connectWait, L"1000000000"}}, FormField::ConnectWait},
        {{{&SettingsForm::serviceUrl, L"lookup.example.jp/loc1"}, {&SettingsForm::geolocateUrl, L"x"}},
         FormField::ServiceUrl},
        {{{&SettingsForm::geolocateUrl, L"https://api.beacondb.net/v1/geo locate"}}, FormField::GeolocateUrl},
    };
    for (const auto& row : rows) {
        SettingsForm form = shown;
        for (const auto& [field, value] : row.values) {
            form.*field = value;
        }
        FormRefusal refusal;
        ASSERT_FALSE(CheckForm(form, kPorts, refusal));
        EXPECT_EQ(refusal.field, row.field);
        EXPECT_FALSE(refusal.reason.empty());
    }
}

// The port is checked for the module beside it: a receiver may be on the network (each form's
// refusal in its own words, naming the value); the W-SIM and a modem only on a serial port.
TEST(SettingsForm, ThePortIsCheckedForItsModule)
{
    CMemorySettingsHost host;
    CSettings record(&host);
    const SettingsForm shown = FormFromRecord(record, kPorts);
    const struct
    {
        ModuleKind module;
        const wchar_t* port;
        const wchar_t* reason; // null: taken; otherwise the refusal holds it
    } rows[] = {
        {ModuleKind::Nmea, L"tcp://192.168.43.1:11123", nullptr},
        {ModuleKind::Nmea, L"udp://:10110", nullptr},
        {ModuleKind::Nmea, L"gpsd://localhost", nullptr},
        // The rows as offered: tcp:// is to be completed.
        {ModuleKind::Nmea, L"tcp://", L"「tcp://」にホスト名がありません。"},
        {ModuleKind::Nmea, L"tcp://192.168.43.1",
         L"「tcp://192.168.43.1」にポート番号がありません（例: tcp://192.168.1.20:11123）。"},
        {ModuleKind::Nmea, L"http://192.168.43.1:8080", L"「http://192.168.43.1:8080」は使えません。"},
        {ModuleKind::WSim, L"gpsd://localhost",
         L"「gpsd://localhost」: ネットワーク上の場所（tcp://、udp://、gpsd://）は GNSS受信機だけが使えます。W-SIM "
         L"とモデムにはシリアルポートを選んでください。"},
        {ModuleKind::Modem, L" tcp://10.0.0.1:5000", L"「tcp://10.0.0.1:5000」: "},
        {ModuleKind::Modem, L"COM10: Quectel USB AT Port", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.port, row.port + std::wcslen(row.port)));
        SettingsForm form = shown;
        form.module = row.module;
        form.port = row.port;
        FormRefusal refusal;
        ASSERT_EQ(row.reason == nullptr, CheckForm(form, kPorts, refusal));
        if (row.reason != nullptr) {
            EXPECT_EQ(FormField::Port, refusal.field);
            EXPECT_EQ(0u, refusal.reason.find(row.reason)) << refusal.reason.size();
        }
    }
    // A receiver's place goes into PORT as typed.
    SettingsForm form = shown;
    form.module = ModuleKind::Nmea;
    form.port = L"gpsd://[::1]:2947";
    ApplyForm(shown, form, kPorts, record);
    EXPECT_EQ(Text(L"gpsd://[::1]:2947"), record.m_port);
}

// The field offers the serial ports first, in their order, then the receiver's network forms.
TEST(SettingsForm, ThePortFieldOffersTheNetworkAfterTheSerialPorts)
{
    const std::vector<std::wstring> rows = PortFieldRows(kPorts);
    ASSERT_EQ(kPorts.size() + 3, rows.size());
    for (std::size_t i = 0; i < kPorts.size(); ++i) {
        EXPECT_EQ(kPorts[i].label, rows[i]);
    }
    EXPECT_EQ(L"tcp://", rows[kPorts.size()]);
    // The complete ones are taken as they are.
    for (std::size_t i = kPorts.size() + 1; i < rows.size(); ++i) {
        EXPECT_TRUE(ParseReceiverAddress(rows[i]).address) << rows[i].size();
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
