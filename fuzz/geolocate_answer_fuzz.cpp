// Feeds arbitrary bytes to the geolocation answer reader, under a status the first byte
// chooses; the rest is the body. The same bytes also make a cell whose request must read back.
#include "network/geolocate.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    static const int kStatuses[] = {200, 404, 403, 429, 500, 400, 301, 0};
    const int status = kStatuses[data[0] % (sizeof kStatuses / sizeof kStatuses[0])];
    std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);
    GeolocateOutcome o = ReadGeolocateAnswer(status, body);
    if (o.httpStatus != status) {
        std::abort();
    }
    switch (o.result) {
    case GeolocateResult::Position:
        if (status != 200 || !std::isfinite(o.latitude) || !std::isfinite(o.longitude) || !std::isfinite(o.accuracy) ||
            std::fabs(o.latitude) > 90 || std::fabs(o.longitude) > 180 || o.accuracy < 0 || !o.text.empty()) {
            std::abort();
        }
        break;
    case GeolocateResult::NotFound:
    case GeolocateResult::Failed:
        if (o.text.empty()) {
            std::abort();
        }
        break;
    }
    // The request for a cell made of the same bytes reads back to that cell.
    if (size >= 17) {
        CellTower cell;
        static const char* const kRadios[] = {"gsm", "wcdma", "lte", "nr"};
        cell.radio = kRadios[data[1] % 4];
        std::memcpy(&cell.mcc, data + 1, 2);
        std::memcpy(&cell.mnc, data + 3, 2);
        std::memcpy(&cell.area, data + 5, 4);
        std::memcpy(&cell.cell, data + 9, 8);
        const nlohmann::json request = nlohmann::json::parse(BuildGeolocateRequest(cell), nullptr, false);
        const nlohmann::json& tower = request["cellTowers"][0];
        // The area goes only within its radio's width, whole.
        const bool areaFits = cell.area <= (cell.radio == "nr" ? 0xFFFFFFu : 0xFFFFu);
        if (request["considerIp"] != false || request["radioType"] != cell.radio || tower["radioType"] != cell.radio ||
            tower["mobileCountryCode"] != cell.mcc || tower["mobileNetworkCode"] != cell.mnc ||
            tower.contains("locationAreaCode") != areaFits || (areaFits && tower["locationAreaCode"] != cell.area) ||
            tower[cell.radio == "nr" ? "newRadioCellId" : "cellId"] != cell.cell) {
            std::abort();
        }
    }
    return 0;
}
