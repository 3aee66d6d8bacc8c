#include "network/datum.h"

#include <cmath>
#include <cstdint>

namespace {

const double kPi = 3.14159265358979323846;
const double kRadians = kPi / 180.0;

// Above every limit a group is checked against, and small enough that long runs of digits
// cannot overflow.
const uint64_t kDigitsCap = 1000000;

struct Ellipsoid
{
    double a;           // semi-major axis, m
    double inverseFlat; // 1/f
    double E2() const { return (2.0 - 1.0 / inverseFlat) / inverseFlat; }
};

const Ellipsoid kBessel1841 = {6377397.155, 299.1528128};
const Ellipsoid kWgs84 = {6378137.0, 298.257223563};
const double kShift[3] = {-146.414, 507.337, 680.507};

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// One group of digits at text[i], at least one; the value saturates at kDigitsCap.
bool ReadGroup(const std::wstring& text, size_t& i, uint64_t& value)
{
    const size_t start = i;
    value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 + static_cast<uint64_t>(text[i] - L'0');
        if (value > kDigitsCap) {
            value = kDigitsCap;
        }
    }
    return i > start;
}

std::wstring FormatMicroDegrees(long long micro)
{
    std::wstring sign;
    if (micro < 0) {
        sign = L"-";
        micro = -micro;
    }
    std::wstring fraction = std::to_wstring(micro % 1000000);
    return sign + std::to_wstring(micro / 1000000) + L"." + std::wstring(6 - fraction.size(), L'0') + fraction;
}

double Prime(const Ellipsoid& e, double sinLatitude)
{
    return e.a / std::sqrt(1.0 - e.E2() * sinLatitude * sinLatitude);
}

} // namespace

bool ReadDottedDegrees(const std::wstring& text, unsigned maxDegrees, double& degrees, std::wstring& decimal)
{
    uint64_t group[3];
    size_t i = 0;
    for (uint64_t& value : group) {
        if (!ReadGroup(text, i, value) || i == text.size() || text[i] != L'.') {
            return false;
        }
        ++i;
    }
    const uint64_t deg = group[0], min = group[1], sec = group[2];
    if (min >= 60 || sec >= 60 || deg > maxDegrees || i == text.size()) {
        return false;
    }
    // The fraction in ten-thousandths of a second: 1e-6 degree is 0.0036 s, so those four
    // digits decide the rounding, and any further ones only tell a value above the limit.
    uint64_t tenThousandths = 0;
    bool beyond = false;
    double fraction = 0.0, scale = 0.1;
    size_t k = 0;
    for (; i < text.size(); ++i, ++k) {
        if (!IsDigit(text[i])) {
            return false;
        }
        const unsigned digit = static_cast<unsigned>(text[i] - L'0');
        if (k < 4) {
            tenThousandths = tenThousandths * 10 + digit;
        } else if (digit != 0) {
            beyond = true;
        }
        fraction += digit * scale;
        scale /= 10.0;
    }
    for (; k < 4; ++k) {
        tenThousandths *= 10;
    }
    const uint64_t units = ((deg * 60 + min) * 60 + sec) * 10000 + tenThousandths;
    const uint64_t limit = static_cast<uint64_t>(maxDegrees) * 3600 * 10000;
    if (units > limit || (units == limit && beyond)) {
        return false;
    }
    degrees =
        static_cast<double>(deg) + static_cast<double>(min) / 60.0 + (static_cast<double>(sec) + fraction) / 3600.0;
    decimal = FormatMicroDegrees(static_cast<long long>((units + 18) / 36));
    return true;
}

std::wstring FormatDegrees(double degrees)
{
    // llround has no answer for these.
    if (!std::isfinite(degrees) || std::fabs(degrees) > 360.0) {
        return std::wstring();
    }
    return FormatMicroDegrees(std::llround(degrees * 1e6));
}

namespace {

// Geodetic on `from` at height 0 to geocentric, moved by `sign` times the shift, back to
// geodetic on `to`.
void Shift(const Ellipsoid& from, const Ellipsoid& to, double sign, double latitude, double longitude,
           double& outLatitude, double& outLongitude)
{
    const double phi = latitude * kRadians, lambda = longitude * kRadians;
    const double n = Prime(from, std::sin(phi));
    const double x = n * std::cos(phi) * std::cos(lambda) + sign * kShift[0];
    const double y = n * std::cos(phi) * std::sin(lambda) + sign * kShift[1];
    const double z = n * (1.0 - from.E2()) * std::sin(phi) + sign * kShift[2];

    // Back to latitude: the fixed point converges by a factor of about e^2 per step, also at
    // the poles, so a few steps reach full precision.
    const double p = std::hypot(x, y);
    const double e2 = to.E2();
    double lat = std::atan2(z, p * (1.0 - e2));
    for (int step = 0; step < 8; ++step) {
        lat = std::atan2(z + e2 * Prime(to, std::sin(lat)) * std::sin(lat), p);
    }
    outLatitude = lat / kRadians;
    outLongitude = std::atan2(y, x) / kRadians;
}

} // namespace

void TokyoToWgs84(double latitude, double longitude, double& wgsLatitude, double& wgsLongitude)
{
    Shift(kBessel1841, kWgs84, 1.0, latitude, longitude, wgsLatitude, wgsLongitude);
}

void Wgs84ToTokyo(double wgsLatitude, double wgsLongitude, double& latitude, double& longitude)
{
    Shift(kWgs84, kBessel1841, -1.0, wgsLatitude, wgsLongitude, latitude, longitude);
}

std::wstring FormatDottedDegrees(double degrees)
{
    if (!std::isfinite(degrees) || degrees < 0 || degrees > 180) {
        return std::wstring();
    }
    // Rounded once, in thousandths of a second, so that 59.9996 s carries into the minute.
    const long long total = std::llround(degrees * 3600000.0);
    auto two = [](long long v) { return (v < 10 ? L"0" : L"") + std::to_wstring(v); };
    std::wstring thousandths = std::to_wstring(total % 1000);
    return std::to_wstring(total / 3600000) + L"." + two(total / 60000 % 60) + L"." + two(total / 1000 % 60) + L"." +
           std::wstring(3 - thousandths.size(), L'0') + thousandths;
}

DecimalPosition ToDecimalPosition(const std::wstring& latitude, const std::wstring& longitude)
{
    DecimalPosition out;
    double lat = 0.0, lon = 0.0;
    const bool latOk = ReadDottedDegrees(latitude, 90, lat, out.latitude);
    const bool lonOk = ReadDottedDegrees(longitude, 180, lon, out.longitude);
    if (latOk && lonOk) {
        double wgsLat = 0.0, wgsLon = 0.0;
        TokyoToWgs84(lat, lon, wgsLat, wgsLon);
        out.wgsLatitude = FormatDegrees(wgsLat);
        out.wgsLongitude = FormatDegrees(wgsLon);
    }
    return out;
}
