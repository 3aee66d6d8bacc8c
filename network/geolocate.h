#pragma once

#include "acquisition/modem_dialogue.h"

#include <cstddef>
#include <string>
#include <string_view>

// The geolocation API that open cell databases share: a JSON POST naming the serving cell,
// answered with a WGS 84 position and its accuracy, or with an error object
// {"error": {"errors": [{"domain", "reason", "message"}], "code", "message"}}.

// The largest answer read; a longer one is refused without being parsed.
constexpr std::size_t kGeolocateAnswerLimit = 64 * 1024;
// The deepest nesting read; the answers have three levels.
constexpr int kGeolocateDepthLimit = 16;

// {"radioType", "considerIp": false, "cellTowers": [{"radioType", "mobileCountryCode",
// "mobileNetworkCode", "locationAreaCode", "cellId"}]}, compact. The radio goes in both places:
// some services read only the request's own. An nr cell's identity goes in "newRadioCellId"
// instead of "cellId". An area code is sent only within the width its radio defines (16 bits,
// 24 for nr): an LTE cell on the 5G core has a 24-bit tracking area that services keyed on 16
// bits refuse, so its cell goes without one (MCC, MNC and the 28-bit ECI still name it).
std::string BuildGeolocateRequest(const CellTower& cell);

enum class GeolocateResult
{
    Position, // latitude, longitude and accuracy hold the answer
    NotFound, // the service does not know the cell (404 or reason "notFound")
    Failed,   // any other answer; httpStatus, reason and message say what came
};

struct GeolocateOutcome
{
    GeolocateResult result = GeolocateResult::Failed;
    double latitude = 0;  // degrees, WGS 84
    double longitude = 0; // degrees, WGS 84
    double accuracy = 0;  // metres
    int httpStatus = 0;
    std::string reason;   // the service's reason, e.g. "keyInvalid"; empty without one
    std::string message;  // the service's message; empty without one
    std::string fallback; // with a position: "lacf" when it was guessed from the cell's area (not
                          // the cell's own), or another way the service said; empty for the cell's
    std::wstring text;    // the box for NotFound and Failed
};

// Reads an answer. A position needs status 200, an object with "location" {"lat", "lng"}
// within range and a non-negative "accuracy", all finite numbers. Bodies above
// kGeolocateAnswerLimit, nesting deeper than kGeolocateDepthLimit, invalid JSON or UTF-8 and
// wrong types fail. Never throws.
GeolocateOutcome ReadGeolocateAnswer(int httpStatus, std::string_view body);

// What the log adds behind an answered position that came from a fallback (GeolocateOutcome's):
// that it is a coarse one, not the cell's; empty for the cell's own.
std::wstring GeolocateFallbackText(const std::string& fallback);
