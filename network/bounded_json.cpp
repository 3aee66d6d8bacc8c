#include "network/bounded_json.h"

#include <cmath>

namespace {

using Json = nlohmann::json;

class CDepthCheck : public nlohmann::json_sax<Json>
{
public:
    explicit CDepthCheck(int limit) : m_limit(limit) {}
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t value, const string_t&) override { return std::isfinite(value); }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return false; }
    bool start_object(std::size_t) override { return ++m_depth <= m_limit; }
    bool key(string_t&) override { return true; }
    bool end_object() override
    {
        --m_depth;
        return true;
    }
    bool start_array(std::size_t) override { return ++m_depth <= m_limit; }
    bool end_array() override
    {
        --m_depth;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    int m_limit;
    int m_depth = 0;
};

} // namespace

nlohmann::json ParseBoundedJson(std::string_view text, std::size_t sizeLimit, int depthLimit)
{
    if (text.size() > sizeLimit) {
        return Json(Json::value_t::discarded);
    }
    try {
        CDepthCheck check(depthLimit);
        if (!Json::sax_parse(text.begin(), text.end(), &check, nlohmann::detail::input_format_t::json, true, true)) {
            return Json(Json::value_t::discarded);
        }
        return Json::parse(text.begin(), text.end(), nullptr, false, true);
    } catch (...) {
        return Json(Json::value_t::discarded);
    }
}
