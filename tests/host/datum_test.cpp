#include "network/datum.h"
#include "network/location_service.h"
#include "settings/memory_settings_host.h"
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

TEST(DottedDegrees, OnlyTheFourGroupFormWithinItsLimitsRoundedExactly)
{
    const std::vector<std::tuple<std::wstring, unsigned, std::wstring>> cases = {
        {L"035.41.12.0", 90, L"35.686667"},
        {L"180.00.00.000", 180, L"180.000000"},
        // half a millionth of a degree is 0.0018 s: a tie rounds up, just below it down
        {L"0.00.00.0018", 90, L"0.000001"},
        {L"0.00.00.00179999999", 90, L"0.000000"},
        {L"90.00.00.0000001", 90, L""},
        {L"99999999999999999999999.00.00.000", 180, L""},
        {L"35.99.12.000", 90, L""},
        {L"35.41.60.000", 90, L""},
    };
    for (const auto& [text, max, expected] : cases) {
        double degrees = 0;
        std::wstring decimal;
        EXPECT_EQ(!expected.empty(), ReadDottedDegrees(text, max, degrees, decimal)) << text.c_str();
        EXPECT_EQ(expected, decimal) << text.c_str();
    }
    double degrees = 0;
    std::wstring decimal;
    for (const wchar_t* form :
         {L"35.41.12", L"35.41.12.", L"35.41.12.0.0", L".41.12.0", L"-35.41.12.0", L"35.41.1a.0"}) {
        EXPECT_FALSE(ReadDottedDegrees(form, 90, degrees, decimal)) << form;
    }
}

TEST(TokyoToWgs84, AgreesWithCs2csOverTheCheckedInGrid)
{
    std::ifstream table(TAVRIN_TEST_DATA_DIR "/tokyo_to_wgs84.txt");
    std::string line;
    int points = 0;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        double lat, lon, refLat, refLon, wgsLat, wgsLon;
        if (line[0] != '#' && fields >> lat >> lon >> refLat >> refLon) {
            TokyoToWgs84(lat, lon, wgsLat, wgsLon);
            EXPECT_NEAR(refLat, wgsLat, 1e-6) << line;
            EXPECT_NEAR(refLon, wgsLon, 1e-6) << line;
            ++points;
        }
    }
    EXPECT_EQ(14 * 17, points);
}

TEST(Wgs84ToTokyo, AgreesWithTheInverseOfCs2csInAndFarFromJapan)
{
    std::ifstream table(TAVRIN_TEST_DATA_DIR "/wgs84_to_tokyo.txt");
    std::string line;
    int points = 0;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        double wgsLat, wgsLon, refLat, refLon, lat, lon;
        if (line[0] != '#' && fields >> wgsLat >> wgsLon >> refLat >> refLon) {
            Wgs84ToTokyo(wgsLat, wgsLon, lat, lon);
            EXPECT_NEAR(refLat, lat, 1e-6) << line;
            // -180 and 180 are one meridian
            EXPECT_NEAR(0.0, std::remainder(refLon - lon, 360.0), 1e-6) << line;
            ++points;
        }
    }
    EXPECT_EQ(14 * 17 + 14, points);
}

TEST(DottedDegrees, WrittenWithTheCarryAndOnlyForValuesTheFormHolds)
{
    const std::vector<std::pair<double, std::wstring>> cases = {
        {35.686667, L"35.41.12.001"},
        {139.75, L"139.45.00.000"},
        {0.0, L"0.00.00.000"},
        {180.0, L"180.00.00.000"},
        {35.0 + 59.0 / 60 + 59.9996 / 3600, L"36.00.00.000"}, // carried through minutes into degrees
        {1.0 + 59.9994 / 3600, L"1.00.59.999"},
        {-0.000001, L""},
        {180.0001, L""},
        {std::nan(""), L""},
        {HUGE_VAL, L""},
    };
    for (const auto& [degrees, expected] : cases) {
        EXPECT_EQ(expected, FormatDottedDegrees(degrees)) << degrees;
    }
    // The carrier's sample position there and back again, then read back as the carrier's form.
    double wgsLat = 0, wgsLon = 0, lat = 0, lon = 0, back = 0;
    std::wstring decimal;
    TokyoToWgs84(35 + 41 / 60.0 + 12 / 3600.0, 139.75, wgsLat, wgsLon);
    Wgs84ToTokyo(wgsLat, wgsLon, lat, lon);
    EXPECT_EQ(L"139.45.00.000", FormatDottedDegrees(lon));
    ASSERT_TRUE(ReadDottedDegrees(FormatDottedDegrees(lat), 90, back, decimal));
    EXPECT_EQ(L"35.686667", decimal);
    EXPECT_EQ(L"35.41.12.000", FormatDottedDegrees(lat));
}

TEST(DecimalPlaceholders, MatchedWholeBesideTheOldOnesAndEmptyWhenUnreadable)
{
    CLocationService service;
    std::wstring url, position;
    ASSERT_TRUE(
        service.ExpandFromSimpleCoordinates(L"u", L"$dlat$nl$dlo$$wlat$d", L"N1.2.3.4E5.6.7.8/", url, position));
    EXPECT_EQ(L"u?1.034278"
              L"1.2.3.4"
              L"dlo$wlatd",
              url);
    ASSERT_TRUE(service.ExpandFromSimpleCoordinates(L"u", L"$dlat,$dlon,$wlat,$wlon", L"N1.2.3.4E5.6/", url, position));
    EXPECT_EQ(L"u?1.034278,,,", url);
}

TEST(Wgs84ToTokyo, ThereAndBackOverJapanAndThroughTheCarriersForm)
{
    // The three-parameter shift at height 0 is its own inverse only to within its height
    // change; over Japan that stays far below what six decimals show.
    for (double lat = 20; lat <= 46; lat += 0.5) {
        for (double lon = 122; lon <= 154; lon += 0.5) {
            double tokyoLat = 0, tokyoLon = 0, backLat = 0, backLon = 0;
            Wgs84ToTokyo(lat, lon, tokyoLat, tokyoLon);
            TokyoToWgs84(tokyoLat, tokyoLon, backLat, backLon);
            ASSERT_NEAR(lat, backLat, 2e-7) << lat << " " << lon;
            ASSERT_NEAR(lon, backLon, 2e-7) << lat << " " << lon;
        }
    }
    // A template written for the carrier's positions, given a receiver's position, brings the
    // same place back on WGS 84 through the dotted form (a thousandth of a second is 2.8e-7).
    const std::pair<double, double> places[] = {{35.689904, 139.746767}, {26.212401, 127.679138}, {45.522, 141.936}};
    for (const auto& [lat, lon] : places) {
        CLocationService receiver, carrier;
        std::wstring carrierPosition, url, text;
        ASSERT_TRUE(receiver.ExpandFromWgs84(L"u", L"N$nlE$el", {lat, lon, std::nullopt, L""}, carrierPosition, text));
        ASSERT_TRUE(carrier.ExpandFromPosition(L"u", L"$wlat $wlon", carrierPosition.substr(2), url, text));
        double wgsLat = 0, wgsLon = 0;
        ASSERT_EQ(2, swscanf(url.c_str(), L"u?%lf %lf", &wgsLat, &wgsLon)) << url;
        EXPECT_NEAR(lat, wgsLat, 1.5e-6) << url;
        EXPECT_NEAR(lon, wgsLon, 1.5e-6) << url;
    }
}

std::vector<unsigned char> ReadBytes(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(TodayMapsFile, ThreeMapsOnWgs84ThenTheFactorySet)
{
    CMemorySettingsHost host;
    host.m_files.m_files[L"maps.ini"] = ReadBytes(TAVRIN_SOURCE_DIR "/settings/today_maps.ini");
    CSettings maps(&host);
    ASSERT_TRUE(maps.Load(L"maps.ini"));
    const wchar_t* expected[] = {
        L"https://www.openstreetmap.org/?mlat=35.689904&mlon=139.746767#map=16/35.689904/139.746767",
        L"https://maps.gsi.go.jp/?#16/35.689904/139.746767/",
        L"https://www.google.com/maps/search/?api=1&query=35.689904,139.746767",
    };
    for (size_t i = 0; i < 3; ++i) {
        const std::vector<std::wstring>& entry = maps.m_urlList.at(i).m_values;
        CLocationService service;
        std::wstring url, position;
        ASSERT_TRUE(service.ExpandFromSimpleCoordinates(entry[1].c_str(), entry[2].c_str(),
                                                        L"N35.41.12.000E139.45.00.000/", url, position));
        EXPECT_EQ(expected[i], url);
    }
    maps.m_urlList.erase(maps.m_urlList.begin(), maps.m_urlList.begin() + 3);
    ASSERT_TRUE(maps.Save(L"rest.ini"));
    EXPECT_EQ(ReadBytes(TAVRIN_TEST_DATA_DIR "/factory_settings.ini"), host.m_files.m_files[L"rest.ini"]);
}

} // namespace
