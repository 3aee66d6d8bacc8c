// Feeds arbitrary bytes to the geolocation answer reader, under a status the first byte
// chooses; the rest is the body.
#include "network/geolocate.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
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
    return 0;
}
