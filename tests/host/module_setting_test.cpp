#include "acquisition/module_setting.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

namespace {

const std::optional<std::wstring> kAbsent;

TEST(ModuleSetting, KindFromTheKeyAndBackToItsText)
{
    const std::pair<std::optional<std::wstring>, ModuleKind> cases[] = {
        {kAbsent, ModuleKind::WSim},
        {L"W-SIM", ModuleKind::WSim},
        {L"NMEA", ModuleKind::Nmea},
        {L"nmea", ModuleKind::Nmea},
        {L" Nmea\t", ModuleKind::Nmea},
        {L"3GPP", ModuleKind::Modem},
        // anything else behaves as a file without the key
        {L"", ModuleKind::WSim},
        {L"NMEA0183", ModuleKind::WSim},
        {L"\xFF2E\xFF2D\xFF25\xFF21", ModuleKind::WSim}, // full-width letters
    };
    for (const auto& [value, kind] : cases) {
        EXPECT_EQ(kind, ModuleFromSetting(value)) << value.value_or(L"(none)").c_str();
    }
    for (ModuleKind kind : {ModuleKind::WSim, ModuleKind::Nmea, ModuleKind::Modem}) {
        EXPECT_EQ(kind, ModuleFromSetting(std::wstring(ModuleSettingText(kind))));
    }
}

TEST(ModuleSetting, LineSpeedOnlyWhenASerialLineTakesIt)
{
    const std::pair<std::optional<std::wstring>, std::optional<unsigned>> cases[] = {
        {kAbsent, std::nullopt},
        {L" 115200 ", 115200u},
        {L"0009600", 9600u},
        {L"300", 300u},
        {L"921600", 921600u},
        {L"299", std::nullopt},
        {L"921601", std::nullopt},
        {L"", std::nullopt},
        {L"-9600", std::nullopt},
        {L"9600 bps", std::nullopt},
        {L"\xFF19\xFF16\xFF10\xFF10", std::nullopt}, // full-width digits
        {L"4294967296009600", std::nullopt},         // would wrap to a speed in 32 bits
    };
    for (const auto& [value, baud] : cases) {
        EXPECT_EQ(baud, BaudFromSetting(value)) << value.value_or(L"(none)").c_str();
    }
}

TEST(ModuleSetting, FixWaitDefaultsToAMinuteAndStaysWithinAnHour)
{
    const std::pair<std::optional<std::wstring>, unsigned> cases[] = {
        {kAbsent, 60u},         {L"", 60u},       {L"120", 120u},
        {L" 5 ", 5u},           {L"1", 1u},       {L"0", 1u}, // a wait that could never see a fix
        {L"3600", 3600u},       {L"3601", 3600u}, {L"99999999999999999999999999", 3600u},
        {L"4294967297", 3600u}, // not 1 after a 32-bit wrap
        {L"-5", 60u},           {L"1.5", 60u},    {L"60s", 60u},
    };
    for (const auto& [value, seconds] : cases) {
        EXPECT_EQ(seconds, FixWaitSeconds(value)) << value.value_or(L"(none)").c_str();
    }
}

} // namespace
