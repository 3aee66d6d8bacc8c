#include "network/geolocate.h"

#include "common/text_format.h"
#include "common/texts.h"
#include "network/bounded_json.h"
#include "resources/resource.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::json;

// A finite number member of an object.
bool NumberAt(const Json& object, const char* name, double& out)
{
    auto it = object.find(name);
    if (it == object.end() || !it->is_number()) {
        return false;
    }
    double value = it->get<double>();
    if (!std::isfinite(value)) {
        return false;
    }
    out = value;
    return true;
}

// A string member, cut to a length a box can show.
std::string StringAt(const Json& object, const char* name)
{
    if (!object.is_object()) {
        return std::string();
    }
    auto it = object.find(name);
    if (it == object.end() || !it->is_string()) {
        return std::string();
    }
    return it->get<std::string>();
}

// UTF-8 (valid: the parser checked it) as wide text for a box, without control characters,
// at most 100 characters.
std::wstring WideForBox(const std::string& text)
{
    std::wstring out;
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size() && count < 100;) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        unsigned len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        if (i + len > text.size()) {
            break;
        }
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        for (unsigned k = 1; k < len; ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        i += len;
        ++count;
        if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) {
            out += L' ';
        } else if (sizeof(wchar_t) == 2 && cp > 0xFFFF) {
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<wchar_t>(cp);
        }
    }
    return out;
}

std::wstring FailureText(const GeolocateOutcome& o)
{
    const wchar_t* what = L"位置検索サービスから正しい応答がありませんでした。";
    // The service's reason tells more than its status: a refused key comes as 400, a used-up
    // quota as 403.
    const bool limit = o.reason.find("LimitExceeded") != std::string::npos;
    if (o.reason == "keyInvalid" || ((o.httpStatus == 401 || o.httpStatus == 403) && !limit)) {
        what = L"位置検索サービスが API キーを受け付けませんでした。\nGEOLOCATEURL のキーを確かめてください。";
    } else if (o.httpStatus == 429 || limit) {
        what = L"位置検索サービスへの問い合わせが多すぎます。\nしばらく待ってから、もう一度お試しください。";
    } else if (o.httpStatus == 400) {
        what = L"位置検索サービスが問い合わせを受け付けませんでした。";
    } else if (o.httpStatus >= 500 && o.httpStatus <= 599) {
        what = L"位置検索サービスに障害が起きています。\nしばらく待ってから、もう一度お試しください。";
    }
    std::wstring detail = WideForBox(o.reason);
    if (!o.message.empty()) {
        detail += (detail.empty() ? L"" : L": ") + WideForBox(o.message);
    }
    if (detail.empty()) {
        return Format(L"%ls\nHTTP %d", what, o.httpStatus);
    }
    return Format(L"%ls\nHTTP %d (%ls)", what, o.httpStatus, detail.c_str());
}

} // namespace

std::string BuildGeolocateRequest(const CellTower& cell)
{
    const bool nr = cell.radio == "nr";
    nlohmann::ordered_json tower;
    tower["radioType"] = cell.radio;
    tower["mobileCountryCode"] = cell.mcc;
    tower["mobileNetworkCode"] = cell.mnc;
    if (cell.area <= (nr ? 0xFFFFFFu : 0xFFFFu)) {
        tower["locationAreaCode"] = cell.area;
    }
    // The API takes a 36-bit NR cell identity under a key of its own and refuses "cellId" for nr.
    tower[nr ? "newRadioCellId" : "cellId"] = cell.cell;
    nlohmann::ordered_json request;
    request["radioType"] = cell.radio;
    request["considerIp"] = false;
    request["cellTowers"] = nlohmann::ordered_json::array({tower});
    // A radio text from elsewhere than the dialogue could hold invalid UTF-8: replace, never throw.
    return request.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

GeolocateOutcome ReadGeolocateAnswer(int httpStatus, std::string_view body)
{
    GeolocateOutcome o;
    o.httpStatus = httpStatus;
    const Json answer = ParseBoundedJson(body, kGeolocateAnswerLimit, kGeolocateDepthLimit);
    try {
        if (answer.is_object()) {
            auto error = answer.find("error");
            if (error != answer.end() && error->is_object()) {
                o.message = StringAt(*error, "message");
                auto errors = error->find("errors");
                if (errors != error->end() && errors->is_array() && !errors->empty()) {
                    o.reason = StringAt(errors->front(), "reason");
                    if (o.message.empty()) {
                        o.message = StringAt(errors->front(), "message");
                    }
                }
            }
        }
        if (httpStatus == 200 && answer.is_object()) {
            auto location = answer.find("location");
            double lat = 0, lng = 0, accuracy = 0;
            if (location != answer.end() && location->is_object() && NumberAt(*location, "lat", lat) &&
                NumberAt(*location, "lng", lng) && NumberAt(answer, "accuracy", accuracy) && lat >= -90 && lat <= 90 &&
                lng >= -180 && lng <= 180 && accuracy >= 0) {
                o.result = GeolocateResult::Position;
                o.latitude = lat;
                o.longitude = lng;
                o.accuracy = accuracy;
                // The way the service guessed ("lacf": the cell's area, "ipf": the caller's
                // address); a plain true says only that it guessed.
                auto fallback = answer.find("fallback");
                if (fallback != answer.end() && fallback->is_string() && !fallback->get<std::string>().empty()) {
                    o.fallback = fallback->get<std::string>();
                } else if (fallback != answer.end() && fallback->is_boolean() && fallback->get<bool>()) {
                    o.fallback = "true";
                }
                return o;
            }
        }
    } catch (...) {
        // A value of an unexpected type: the answer is refused below.
    }
    if (httpStatus == 404 || (httpStatus != 200 && o.reason == "notFound")) {
        o.result = GeolocateResult::NotFound;
        o.text = L"位置検索サービスにこの基地局の位置が登録されていません。\n"
                 L"別の場所で、もう一度お試しください。";
        return o;
    }
    o.result = GeolocateResult::Failed;
    o.text = FailureText(o);
    return o;
}

std::wstring GeolocateFallbackText(const std::string& fallback)
{
    if (fallback.empty()) {
        return std::wstring();
    }
    return Text(fallback == "lacf" ? IDS_GEO_FALLBACK_AREA : IDS_GEO_FALLBACK_OTHER);
}
