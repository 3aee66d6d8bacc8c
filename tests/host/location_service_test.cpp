#include "network/location_service.h"

#include <gtest/gtest.h>

#include <cmath>

#include <string>
#include <vector>

namespace {

const wchar_t kUrl[] = L"http://map.example/m";
const std::wstring kCoords = L"N35.41.12.000E139.45.00.000/";

struct ExpandCase
{
    const wchar_t* format;
    std::wstring coords;
    std::wstring url;
    std::wstring position;
};

TEST(SimpleCoordinates, ExpandTemplates)
{
    const std::vector<ExpandCase> cases = {
        // the initial template, and the two other preset forms
        ExpandCase{nullptr, kCoords, L"http://map.example/m?pos=N35.41.12.000E139.45.00.000",
                   L"N35.41.12.000E139.45.00.000"},
        ExpandCase{L"el=$el&nl=$nl", kCoords, L"http://map.example/m?el=139.45.00.000&nl=35.41.12.000",
                   L"N35.41.12.000E139.45.00.000"},
        ExpandCase{L"size=450,400&scl=10000&grp=all&uc=1&el=$eml&nl=$nml", kCoords,
                   L"http://map.example/m?size=450,400&scl=10000&grp=all&uc=1&el=139/45/00.000&nl=35/41/12.000",
                   L"N35.41.12.000E139.45.00.000"},
        // dollar handling
        ExpandCase{L"a=$$nl", kCoords, L"http://map.example/m?a=$nl", L"N35.41.12.000E139.45.00.000"},
        ExpandCase{L"a=$x&b=$", kCoords, L"http://map.example/m?a=x&b=", L"N35.41.12.000E139.45.00.000"},
        ExpandCase{L"$n$el", kCoords, L"http://map.example/m?n139.45.00.000", L"N35.41.12.000E139.45.00.000"},
        ExpandCase{L"no placeholder at all", kCoords, L"http://map.example/m?no placeholder at all",
                   L"N35.41.12.000E139.45.00.000"},
        // the other part of the coordinates; empty when the text ends in "/"
        ExpandCase{L"p=$pc", L"N1.2E3.4/X1", L"http://map.example/m?p=X1", L"N1.2E3.4"},
        ExpandCase{L"p=$pc", L"N1.2E3.4/", L"http://map.example/m?p=", L"N1.2E3.4"},
        // no dot: no slash form, the dotted value stays
        ExpandCase{L"$nl|$nml|$el|$eml", L"N35E139.5/", L"http://map.example/m?35||139.5|139.5", L"N35E139.5"},
        // no N/E form: the position is what precedes the "/", the URL is still built
        ExpandCase{L"[$nl][$el][$pc]", L"35/x", L"http://map.example/m?[][][x]", L"35"},
        // an "E" in front must not reach before the text
        ExpandCase{L"[$nl][$el]", L"E139.45/", L"http://map.example/m?[][139.45]", L"E139.45"},
        ExpandCase{L"[$nl][$el]", L"NE1/", L"http://map.example/m?[][1]", L"NE1"},
    };
    for (const ExpandCase& c : cases) {
        SCOPED_TRACE(c.coords.c_str());
        CLocationService service;
        std::wstring url, position;
        ASSERT_TRUE(service.ExpandFromSimpleCoordinates(kUrl, c.format, c.coords, url, position));
        EXPECT_EQ(c.url, url);
        EXPECT_EQ(c.position, position);
    }
}

TEST(SimpleCoordinatesRefused, WithoutSlashOrPositionOrUrl)
{
    CLocationService service;
    std::wstring url = L"keep", position = L"keep";
    EXPECT_FALSE(service.ExpandFromSimpleCoordinates(kUrl, nullptr, L"N1E2", url, position));
    EXPECT_FALSE(service.ExpandFromSimpleCoordinates(kUrl, nullptr, L"/rest", url, position));
    EXPECT_FALSE(service.ExpandFromSimpleCoordinates(nullptr, nullptr, kCoords, url, position));
    EXPECT_EQ(L"keep", url);
    EXPECT_EQ(L"keep", position);
    // an empty destination URL is refused by the build, after the position was taken
    EXPECT_FALSE(service.ExpandFromSimpleCoordinates(L"", nullptr, kCoords, url, position));
    EXPECT_EQ(L"35.41.12.000", service.m_strLatitude);
}

TEST(UrlBuild, QueryAlwaysGetsItsOwnQuestionMarkAndEmptyTemplateGivesBareOne)
{
    CLocationService service;
    std::wstring url, position;
    ASSERT_TRUE(service.ExpandFromSimpleCoordinates(L"http://h/p?x=1", L"", kCoords, url, position));
    EXPECT_EQ(L"http://h/p?x=1?pos=N35.41.12.000E139.45.00.000", url);
    service.m_strTemplate.clear();
    ASSERT_TRUE(service.BuildUrl(L"u", url));
    EXPECT_EQ(L"u?", url);
}

TEST(UrlBuild, TemplateStaysInForceUntilANonEmptyFormatReplacesIt)
{
    CLocationService service;
    std::wstring url, position;
    ASSERT_TRUE(service.ExpandFromSimpleCoordinates(L"u", L"el=$el&nl=$nl", kCoords, url, position));
    ASSERT_TRUE(service.ExpandFromSimpleCoordinates(L"u", L"", L"N1.2E3.4/", url, position));
    EXPECT_EQ(L"u?el=3.4&nl=1.2", url);
    ASSERT_TRUE(service.ExpandFromSimpleCoordinates(L"u", nullptr, L"N5.6E7.8/", url, position));
    EXPECT_EQ(L"u?el=7.8&nl=5.6", url);
}

TEST(UrlBuild, WhetherATemplateTakesTheAccuracyIsReadAsItIsExpanded)
{
    CLocationService service;
    const struct
    {
        const wchar_t* format;
        bool takesAccuracy;
    } rows[] = {
        {L"w=$wlat,$wlon&acc=$acc", true},
        {L"acc=$acc", true},
        {L"r=$acc$$", true},
        {L"w=$wlat,$wlon", false},
        {L"cost=$$acc", false}, // a "$" of the text, then "acc"
        {L"cost=$$$acc", true},
        {L"a=$ac", false},
        {L"a=$", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.takesAccuracy, service.TemplateUses(row.format, L"$acc")) << row.format;
    }
    // An empty format keeps the template in force: the factory one, then the last one used.
    EXPECT_FALSE(service.TemplateUses(L"", L"$acc"));
    std::wstring url, position;
    ASSERT_TRUE(service.ExpandFromSimpleCoordinates(L"u", L"acc=$acc", kCoords, url, position));
    EXPECT_TRUE(service.TemplateUses(nullptr, L"$acc"));
}

TEST(UrlBuild, SubstitutedValuesCannotSplitTheBrowserCommandLine)
{
    CLocationService service;
    std::wstring url, position;
    ASSERT_TRUE(service.ExpandFromSimpleCoordinates(L"u", L"a=$nl&b=$el&c=$pc", L"N1 \"x\"E2+3-4\t/o&p=%q\x65e5", url,
                                                    position));
    EXPECT_EQ(L"u?a=1%20%22x%22&b=2+3-4%09&c=o%26p%3D%25q%E6%97%A5", url);
}

TEST(SlashNotation, AllDotsButTheLastBecomeSlashes)
{
    struct Case
    {
        std::wstring value;
        bool ok;
        std::wstring out;
    };
    const std::vector<Case> cases = {
        {L"35.41.12.000", true, L"35/41/12.000"},
        {L"1.2", true, L"1.2"},
        {L"...", true, L"//."},
        {L"35", false, L"untouched"},
        {L"", false, L"untouched"},
        {L"35/41", false, L"untouched"},
    };
    for (const Case& c : cases) {
        std::wstring out = L"untouched";
        EXPECT_EQ(c.ok, CLocationService::ToSlashNotation(c.value, out)) << c.value.c_str();
        EXPECT_EQ(c.out, out);
    }
}

// Answers every lookup with a fixed Location and records what was asked.
struct FakeLookup
{
    bool ok = true;
    std::wstring location;
    std::vector<std::wstring> requests;
    std::vector<std::wstring> csids;

    CLocationService::RequestFunction Function()
    {
        return [this](const std::wstring& request, const std::wstring& csid, std::wstring& body, std::wstring& out) {
            requests.push_back(request);
            csids.push_back(csid);
            body = L"body";
            if (ok) {
                out = location;
            }
            return ok;
        };
    }
};

TEST(CsIdLookup, SendsRequestAndExpandsThePositionOfTheLocation)
{
    FakeLookup fake;
    fake.location = L"http://map.example/m?pos=N1.2E3.4";
    CLocationService service(L"http://svc/loc1/location", fake.Function());
    service.m_strExtra = L"stale";
    std::wstring body, url, position;
    ASSERT_TRUE(
        service.ExpandFromCsId(L"http://d/x?a=1&b=2", L"$nl,$el,$nml,$eml,[$pc]", L"12/3,45/6", body, url, position));
    ASSERT_EQ(1u, fake.requests.size());
    EXPECT_EQ(L"http://svc/loc1/location?my=http://d/x?a=1&b=2&pos=$location", fake.requests[0]);
    EXPECT_EQ(L"12/3,45/6", fake.csids[0]);
    EXPECT_EQ(L"body", body);
    EXPECT_EQ(L"N1.2E3.4", position);
    EXPECT_EQ(L"http://d/x?a=1&b=2?1.2,3.4,1.2,3.4,[]", url);
}

TEST(CsIdLookup, LocationWithoutUsablePositionIsPassedOnWithoutTemplateChange)
{
    struct Case
    {
        std::wstring location;
        std::wstring url;
        std::wstring position;
    };
    const std::vector<Case> cases = {
        {L"http://elsewhere/a", L"http://elsewhere/a", L""},
        {L"http://elsewhere/?pos=N35", L"http://elsewhere/?pos=N35", L"N35"},
        // whatever would split the browser's command line is escaped
        {L"http://x/ \"-k\"\tpos=1", L"http://x/%20%22-k%22%09pos=1", L"1"},
    };
    for (const Case& c : cases) {
        FakeLookup fake;
        fake.location = c.location;
        CLocationService service(L"s", fake.Function());
        std::wstring body, url, position;
        ASSERT_TRUE(service.ExpandFromCsId(L"u", L"changed", L"1", body, url, position));
        EXPECT_EQ(c.url, url);
        EXPECT_EQ(c.position, position);
        EXPECT_EQ(L"pos=N$nlE$el", service.m_strTemplate);
    }
}

TEST(CsIdLookup, LocationPassedOnWholeMustBeAWebAddress)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        // Location, URL passed on (null: the lookup fails)
        {L"HTTP://Elsewhere", L"HTTP://Elsewhere"},
        {L"hTTpS://h:8443/a?pos=N35", L"hTTpS://h:8443/a?pos=N35"},
        {L"javascript:alert(1)", nullptr},
        {L"\\\\host\\share\\x.exe?pos=N1", nullptr},
        {L"javascript://x/?pos=N1", nullptr},
        {L" http://x", nullptr},
        {L"httpx://x", nullptr},
        {L"https:///x", nullptr},
        {L"http://user@:80/x", nullptr},
    };
    for (const auto& c : cases) {
        FakeLookup fake;
        fake.location = c.first;
        CLocationService service(L"s", fake.Function());
        std::wstring body, url = L"keep", position;
        EXPECT_EQ(c.second != nullptr, service.ExpandFromCsId(L"u", nullptr, L"1", body, url, position)) << c.first;
        EXPECT_EQ(c.second != nullptr ? c.second : L"keep", url);
    }
}

TEST(CsIdLookup, BodyGetsItsShareOfBytesAndTime)
{
    const std::size_t limit = CLocationService::kBodyLimitBytes;
    const std::uint32_t wait = CLocationService::kBodyWaitMs;
    EXPECT_EQ(limit, CLocationService::BodyBytesAllowed(0, 500, 500));
    EXPECT_EQ(1u, CLocationService::BodyBytesAllowed(limit - 1, 500, 500 + wait - 1));
    EXPECT_EQ(0u, CLocationService::BodyBytesAllowed(limit, 500, 500));
    EXPECT_EQ(0u, CLocationService::BodyBytesAllowed(0, 500, 500 + wait));
    EXPECT_EQ(limit - 10, CLocationService::BodyBytesAllowed(10, 0xFFFFF000u, 0x100u)); // the tick counter wrapped
}

TEST(CsIdLookup, FailedOrImpossibleLookupReturnsFalseWithPositionCleared)
{
    FakeLookup fake;
    fake.ok = false;
    CLocationService service(L"s", fake.Function());
    service.m_strLatitude = L"old";
    std::wstring body, url = L"keep", position;
    EXPECT_FALSE(service.ExpandFromCsId(L"u", nullptr, L"1", body, url, position));
    EXPECT_EQ(L"keep", url);
    EXPECT_TRUE(service.m_strLatitude.empty());
    EXPECT_FALSE(service.ExpandFromCsId(nullptr, nullptr, L"1", body, url, position));
    EXPECT_EQ(1u, fake.requests.size());

    CLocationService unwired(L"s");
    EXPECT_FALSE(unwired.ExpandFromCsId(L"u", nullptr, L"1", body, url, position));
}

struct WgsCase
{
    const wchar_t* name;
    WgsPosition position;
    std::wstring url;
    std::wstring text;
};

const wchar_t kEvery[] = L"$nl|$el|$nml|$eml|$pc|$dlat|$dlon|$wlat|$wlon|$acc";

TEST(Wgs84Position, EveryPlaceholderOnEitherDatumAndTheLogLine)
{
    // Tokyo-datum values from cs2cs -I with the shift of the carrier's positions.
    const std::vector<WgsCase> cases = {
        {L"Tokyo",
         {35.689904, 139.746767, 4.5, L"2026/12/07 21:03:04 JST"},
         L"u?35.41.11.998|139.44.59.999|35/41/11.998|139/44/59.999||35.686666|139.750000|35.689904|139.746767|5",
         L"N35.689904 E139.746767 \u00B15 m 2026/12/07 21:03:04 JST"},
        {L"south",
         {-33.86882, 151.20929, 12.49, L""},
         L"u?|151.12.48.001||151/12/48.001||-33.875232|151.213334|-33.868820|151.209290|12",
         L"S33.868820 E151.209290 \u00B112 m"},
        {L"west",
         {40.689247, -74.044502, std::nullopt, L"21:03:04 JST"},
         L"u?40.40.51.271||40/40/51.271|||40.680909|-74.044486|40.689247|-74.044502|",
         L"N40.689247 W74.044502 21:03:04 JST"},
        {L"both",
         {-22.906847, -43.172896, 0.4, L""},
         L"u?|||||-22.910482|-43.175526|-22.906847|-43.172896|0",
         L"S22.906847 W43.172896 \u00B10 m"},
        {L"on the equator and Greenwich",
         {0, 0, std::nullopt, L""},
         L"u?|||||-0.006154|-0.004557|0.000000|0.000000|",
         L"N0.000000 E0.000000"},
        // a hair south and west rounds to zero, which counts as north and east; half a
        // millionth does not
        {L"rounds to zero",
         {-0.0000004, -0.0000005, std::nullopt, L""},
         L"u?|||||-0.006154|-0.004558|0.000000|-0.000001|",
         L"N0.000000 W0.000001"},
        // an accuracy that tells nothing is left out
        {L"accuracy not finite",
         {35.689904, 139.746767, std::nan(""), L""},
         L"u?35.41.11.998|139.44.59.999|35/41/11.998|139/44/59.999||35.686666|139.750000|35.689904|139.746767|",
         L"N35.689904 E139.746767"},
        {L"accuracy negative",
         {35.689904, 139.746767, -3.0, L""},
         L"u?35.41.11.998|139.44.59.999|35/41/11.998|139/44/59.999||35.686666|139.750000|35.689904|139.746767|",
         L"N35.689904 E139.746767"},
        {L"accuracy beyond the globe",
         {35.689904, 139.746767, 1e300, L""},
         L"u?35.41.11.998|139.44.59.999|35/41/11.998|139/44/59.999||35.686666|139.750000|35.689904|139.746767|",
         L"N35.689904 E139.746767"},
    };
    for (const WgsCase& c : cases) {
        SCOPED_TRACE(c.name);
        CLocationService service;
        std::wstring url, position;
        ASSERT_TRUE(service.ExpandFromWgs84(L"u", kEvery, c.position, url, position));
        EXPECT_EQ(c.url, url);
        EXPECT_EQ(c.text, position);
        EXPECT_EQ(c.text, WgsPositionText(c.position));
    }
}

TEST(Wgs84Position, OffTheGlobeIsRefusedWithNothingChanged)
{
    const WgsPosition refused[] = {
        {std::nan(""), 139.0, 5.0, L""}, {35.0, HUGE_VAL, 5.0, L""}, {90.000001, 0, 5.0, L""},
        {-90.5, 0, std::nullopt, L""},   {0, 180.000001, 5.0, L""},  {0, -1e300, 5.0, L""},
    };
    CLocationService service;
    std::wstring url, position;
    ASSERT_TRUE(service.ExpandFromWgs84(L"u", L"$wlat,$acc", {1.5, 2.5, 7.0, L""}, url, position));
    for (const WgsPosition& p : refused) {
        std::wstring keepUrl = L"keep", keepPosition = L"keep";
        EXPECT_FALSE(service.ExpandFromWgs84(L"u", kEvery, p, keepUrl, keepPosition))
            << p.latitude << " " << p.longitude;
        EXPECT_EQ(L"keep", keepUrl);
        EXPECT_EQ(L"keep", keepPosition);
        EXPECT_EQ(L"", WgsPositionText(p));
    }
    EXPECT_FALSE(service.ExpandFromWgs84(nullptr, kEvery, {1, 2, 3.0, L""}, url, position));
    // the template and the position of the last expansion stay
    ASSERT_TRUE(service.BuildUrl(L"u", url));
    EXPECT_EQ(L"u?1.500000,7", url);
    // the poles and the date line are on the globe
    EXPECT_TRUE(service.ExpandFromWgs84(L"u", nullptr, {-90, 180, std::nullopt, L""}, url, position));
    EXPECT_EQ(L"S90.000000 E180.000000", position);
}

TEST(Wgs84Position, AccuracyAndWgsFormsDoNotOutliveTheirPosition)
{
    CLocationService service;
    std::wstring url, position;
    ASSERT_TRUE(service.ExpandFromWgs84(L"u", L"[$acc][$wlat][$pc]", {-1, -2, 30.0, L""}, url, position));
    EXPECT_EQ(L"u?[30][-1.000000][]", url);
    ASSERT_TRUE(service.ExpandFromSimpleCoordinates(L"u", nullptr, L"N1.2E3.4/x", url, position));
    EXPECT_EQ(L"u?[][][x]", url);
    ASSERT_TRUE(service.ExpandFromWgs84(L"u", nullptr, {-1, -2, 30.0, L""}, url, position));
    ASSERT_TRUE(service.ExpandFromPosition(L"u", nullptr, L"N35.41.12.000E139.45.00.000", url, position));
    EXPECT_EQ(L"u?[][35.689904][]", url);
}

} // namespace
