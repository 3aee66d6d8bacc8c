#pragma once

#include <string>

// Positions as the module and the lookup service write them (dotted degrees, minutes,
// seconds and fraction on the Tokyo datum) turned into what today's map services take:
// decimal degrees, as received or on WGS 84.

// Reads "digits.digits.digits.digits" as degrees, minutes, seconds and the seconds'
// fraction. False for any other form, for minutes or seconds of 60 or more and for a value
// above maxDegrees. On success `degrees` holds the value and `decimal` its six-decimal form,
// rounded exactly (half up) from the digits, not from the floating-point value.
bool ReadDottedDegrees(const std::wstring& text, unsigned maxDegrees, double& degrees, std::wstring& decimal);

// Six decimals, rounded to nearest, "." as separator, a sign only below zero. Empty for a
// value that is not finite or beyond 360 degrees either way.
std::wstring FormatDegrees(double degrees);

// The geocentric three-parameter shift from the Tokyo datum (Bessel 1841) to WGS 84,
// dX -146.414 m, dY +507.337 m, dZ +680.507 m, at ellipsoidal height 0. Degrees in and out.
void TokyoToWgs84(double latitude, double longitude, double& wgsLatitude, double& wgsLongitude);

// The inverse of that shift: a WGS 84 position at height 0 on the Tokyo datum. Degrees in and out.
void Wgs84ToTokyo(double wgsLatitude, double wgsLongitude, double& latitude, double& longitude);

// Degrees in the dotted form, "35.41.12.000": minutes and seconds of two digits, three
// decimals of seconds, rounded to nearest with the carry into minutes and degrees. The form
// has no sign: empty for a negative value, a non-finite one, or one above 180.
std::wstring FormatDottedDegrees(double degrees);

// The decimal forms of a dotted latitude and longitude: each as received, and the position
// on WGS 84. A value that cannot be read leaves its own form empty, and both WGS 84 forms,
// since the shift needs both.
struct DecimalPosition
{
    std::wstring latitude;     // $dlat
    std::wstring longitude;    // $dlon
    std::wstring wgsLatitude;  // $wlat
    std::wstring wgsLongitude; // $wlon
};
DecimalPosition ToDecimalPosition(const std::wstring& latitude, const std::wstring& longitude);
