#include "network/geolocate.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Geolocate, RequestNamesTheCellAndItsRadio)
{
    // The cells as the modem's registration gives them; the area only within its radio's width.
    const struct
    {
        const char* what;
        CellTower cell;
        const char* json;
    } rows[] = {
        {"LTE, 16-bit TAC",
         {"lte", 440, 10, 2, 4660, 27075331},
         R"({"radioType":"lte","considerIp":false,"cellTowers":[{"radioType":"lte","mobileCountryCode":440,)"
         R"("mobileNetworkCode":10,"locationAreaCode":4660,"cellId":27075331}]})"},
        {"LTE on the 5G core, 24-bit TAC: no area",
         {"lte", 440, 20, 2, 0x01A2B3, 0x01A2B3C4},
         R"({"radioType":"lte","considerIp":false,"cellTowers":[{"radioType":"lte","mobileCountryCode":440,)"
         R"("mobileNetworkCode":20,"cellId":27440068}]})"},
        {"NR, 24-bit TAC and 36-bit NCI",
         {"nr", 440, 20, 2, 0x01A2B3, 0xFFFFFFFFEull},
         R"({"radioType":"nr","considerIp":false,"cellTowers":[{"radioType":"nr","mobileCountryCode":440,)"
         R"("mobileNetworkCode":20,"locationAreaCode":107187,"newRadioCellId":68719476734}]})"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.json, BuildGeolocateRequest(row.cell)) << row.what;
    }
    CellTower cell;
    cell.radio = "\xff";
    EXPECT_NE(std::string::npos, BuildGeolocateRequest(cell).find("\"radioType\":\"\xef\xbf\xbd\""));
}

TEST(Geolocate, AGuessFromTheAreaIsSaidToBeCoarse)
{
    const struct
    {
        const char* body;
        const char* fallback;
        const wchar_t* log;
    } rows[] = {
        // The open services' answer for a cell they do not know in an area they do.
        {R"({"location": {"lat": 35.68, "lng": 139.76}, "accuracy": 10000, "fallback": "lacf"})", "lacf",
         L"N35.680000 E139.760000 ±10000 m（基地局の位置ではなく、エリアから推定した大まかな位置）"},
        {R"({"location": {"lat": 35.68, "lng": 139.76}, "accuracy": 25000, "fallback": "ipf"})", "ipf",
         L"N35.680000 E139.760000 ±25000 m（基地局の位置ではなく、推定した大まかな位置）"},
        {R"({"location": {"lat": 35.68, "lng": 139.76}, "accuracy": 120, "fallback": false})", "",
         L"N35.680000 E139.760000 ±120 m"},
        {R"({"location": {"lat": 35.68, "lng": 139.76}, "accuracy": 120})", "", L"N35.680000 E139.760000 ±120 m"},
    };
    for (const auto& row : rows) {
        const GeolocateOutcome o = ReadGeolocateAnswer(200, row.body);
        ASSERT_EQ(GeolocateResult::Position, o.result) << row.body;
        EXPECT_EQ(row.fallback, o.fallback) << row.body;
        const std::wstring position = L"N35.680000 E139.760000 ±" + std::to_wstring(std::lround(o.accuracy)) + L" m";
        EXPECT_EQ(row.log, position + GeolocateFallbackText(o.fallback)) << row.body;
    }
}

TEST(Geolocate, ReadsAnswers)
{
    // A valid position with deep nesting beside it.
    const std::string deep = R"({"location": {"lat": 35, "lng": 139}, "accuracy": 1, "x": )" + std::string(10000, '[') +
                             std::string(10000, ']') + "}";
    const std::string huge = R"({"location": {"lat": 35.68, "lng": 139.76}, "accuracy": 120.0, "pad": ")" +
                             std::string(kGeolocateAnswerLimit, ' ') + "\"}";
    struct Case
    {
        const char* name;
        int status;
        std::string body;
        GeolocateResult result;
        const char* reason;    // expected reason; for a position, ignored
        const wchar_t* inText; // a part of the box's text
    } cases[] = {
        {"position", 200, R"({"location": {"lat": 35.68, "lng": 139.76}, "accuracy": 120.0})",
         GeolocateResult::Position, "", L""},
        {"integers, south and west", 200, R"({"accuracy":5,"location":{"lng":-180,"lat":-90}})",
         GeolocateResult::Position, "", L""},
        {"not found", 404,
         R"({"error": {"errors": [{"domain": "geolocation", "reason": "notFound", "message": "Not Found"}],)"
         R"( "code": 404, "message": "Not Found"}})",
         GeolocateResult::NotFound, "notFound", L"この基地局"},
        {"404 without a body", 404, "", GeolocateResult::NotFound, "", L"この基地局"},
        {"key refused", 403,
         R"({"error": {"errors": [{"domain": "usageLimits", "reason": "keyInvalid", "message": "Missing or invalid )"
         R"(API key."}], "code": 400, "message": "Missing or invalid API key."}})",
         GeolocateResult::Failed, "keyInvalid", L"HTTP 403 (keyInvalid: Missing or invalid API key.)"},
        {"key refused as 400", 400, R"({"error": {"errors": [{"reason": "keyInvalid"}], "code": 400}})",
         GeolocateResult::Failed, "keyInvalid", L"API キー"},
        {"quota used up as 403", 403, R"({"error": {"errors": [{"reason": "dailyLimitExceeded"}], "code": 403}})",
         GeolocateResult::Failed, "dailyLimitExceeded", L"多すぎます"},
        {"too many", 429,
         R"({"error": {"errors": [{"domain": "usageLimits", "reason": "dailyLimitExceeded", "message": "x"}]}})",
         GeolocateResult::Failed, "dailyLimitExceeded", L"多すぎます"},
        {"server error, HTML", 500, "<html>Internal Server Error</html>", GeolocateResult::Failed, "", L"HTTP 500"},
        {"parse error", 400,
         R"({"error": {"errors": [{"domain": "global", "reason": "parseError", "message": "Parse Error"}],)"
         R"( "code": 400, "message": "Parse Error"}})",
         GeolocateResult::Failed, "parseError", L"HTTP 400 (parseError: Parse Error)"},
        {"error with 200", 200, R"({"error": {"errors": [{"reason": "notFound"}]}})", GeolocateResult::Failed,
         "notFound", L"HTTP 200"},
        {"Japanese message", 503, "{\"error\": {\"message\": \"\xe5\x81\x9c\xe6\xad\xa2\xe4\xb8\xad\\n\"}}",
         GeolocateResult::Failed, "", L"HTTP 503 (停止中 )"},
        {"garbage", 200, "garbage", GeolocateResult::Failed, "", L"正しい応答"},
        {"empty", 200, "", GeolocateResult::Failed, "", L"HTTP 200"},
        {"truncated", 200, R"({"location": {"lat": 35.68, "lng": 139.)", GeolocateResult::Failed, "", L""},
        {"huge", 200, huge, GeolocateResult::Failed, "", L""},
        {"1e999", 200, R"({"location": {"lat": 1e999, "lng": 139.76}, "accuracy": 1})", GeolocateResult::Failed, "",
         L""},
        {"latitude out of range", 200, R"({"location": {"lat": 90.5, "lng": 139.76}, "accuracy": 1})",
         GeolocateResult::Failed, "", L""},
        {"longitude out of range", 200, R"({"location": {"lat": 35, "lng": -180.01}, "accuracy": 1})",
         GeolocateResult::Failed, "", L""},
        {"negative accuracy", 200, R"({"location": {"lat": 35, "lng": 139}, "accuracy": -1})", GeolocateResult::Failed,
         "", L""},
        {"no accuracy", 200, R"({"location": {"lat": 35, "lng": 139}})", GeolocateResult::Failed, "", L""},
        {"strings for numbers", 200, R"({"location": {"lat": "35", "lng": 139}, "accuracy": 1})",
         GeolocateResult::Failed, "", L""},
        {"boolean", 200, R"({"location": {"lat": true, "lng": 139}, "accuracy": 1})", GeolocateResult::Failed, "", L""},
        {"NaN", 200, R"({"location": {"lat": NaN, "lng": 139}, "accuracy": 1})", GeolocateResult::Failed, "", L""},
        {"location an array", 200, R"({"location": [35, 139], "accuracy": 1})", GeolocateResult::Failed, "", L""},
        {"errors of wrong types", 500, R"({"error": {"errors": "x", "message": 5}})", GeolocateResult::Failed, "",
         L"HTTP 500"},
        {"deep nesting", 200, deep, GeolocateResult::Failed, "", L""},
        {"invalid UTF-8", 200, "{\"location\": {\"lat\": 35, \"lng\": 139}, \"accuracy\": 1, \"x\": \"\xff\"}",
         GeolocateResult::Failed, "", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GeolocateOutcome o = ReadGeolocateAnswer(c.status, c.body);
        ASSERT_EQ(c.result, o.result);
        EXPECT_EQ(c.status, o.httpStatus);
        if (c.result == GeolocateResult::Position) {
            EXPECT_TRUE(o.text.empty());
        } else {
            EXPECT_EQ(c.reason, o.reason);
            EXPECT_NE(std::wstring::npos, o.text.find(c.inText)) << o.text.size();
        }
    }
    GeolocateOutcome o = ReadGeolocateAnswer(200, cases[0].body);
    EXPECT_DOUBLE_EQ(35.68, o.latitude);
    EXPECT_DOUBLE_EQ(139.76, o.longitude);
    EXPECT_DOUBLE_EQ(120.0, o.accuracy);
    // Exactly at the bound is still read.
    std::string atLimit = cases[0].body;
    atLimit.insert(1, kGeolocateAnswerLimit - atLimit.size(), ' ');
    EXPECT_EQ(GeolocateResult::Position, ReadGeolocateAnswer(200, atLimit).result);
}
