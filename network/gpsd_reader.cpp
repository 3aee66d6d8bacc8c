#include "network/gpsd_reader.h"

#include "network/bounded_json.h"

#include <climits>
#include <cmath>

namespace {

using Json = nlohmann::json;

void Count(unsigned& counter)
{
    if (counter < UINT_MAX) {
        ++counter;
    }
}

std::optional<double> FiniteAt(const Json& object, const char* name)
{
    auto it = object.find(name);
    if (it == object.end() || !it->is_number()) {
        return std::nullopt;
    }
    const double value = it->get<double>();
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

std::optional<long long> IntegerAt(const Json& object, const char* name)
{
    auto it = object.find(name);
    if (it == object.end() || !it->is_number_integer()) {
        return std::nullopt;
    }
    // A huge unsigned value reads as no status rather than wrapping into one.
    if (it->is_number_unsigned() && it->get<unsigned long long>() > static_cast<unsigned long long>(LLONG_MAX)) {
        return std::nullopt;
    }
    return it->get<long long>();
}

std::optional<double> ErrorAt(const Json& object, const char* name)
{
    const std::optional<double> value = FiniteAt(object, name);
    return value && *value >= 0 ? value : std::nullopt;
}

FixKind KindOfStatus(long long status)
{
    switch (status) {
    case 5:
        return FixKind::DeadReckoning;
    case 7:
        return FixKind::Manual;
    case 8:
        return FixKind::Simulated;
    default:
        return FixKind::Measured;
    }
}

bool Digits(std::string_view text, std::size_t at, std::size_t count, int& value)
{
    if (at + count > text.size()) {
        return false;
    }
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

int DaysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

} // namespace

bool ReadGpsdTime(std::string_view text, NmeaDate& date, NmeaTime& time)
{
    NmeaDate d;
    NmeaTime t;
    if (!Digits(text, 0, 4, d.year) || text.size() < 20 || text[4] != '-' || !Digits(text, 5, 2, d.month) ||
        text[7] != '-' || !Digits(text, 8, 2, d.day) || text[10] != 'T' || !Digits(text, 11, 2, t.hour) ||
        text[13] != ':' || !Digits(text, 14, 2, t.minute) || text[16] != ':' || !Digits(text, 17, 2, t.second) ||
        text.back() != 'Z') {
        return false;
    }
    std::string_view fraction = text.substr(19, text.size() - 20);
    if (!fraction.empty()) {
        if (fraction[0] != '.' || fraction.size() < 2 || fraction.size() > 10) {
            return false;
        }
        int scale = 100;
        for (std::size_t i = 1; i < fraction.size(); ++i, scale /= 10) {
            if (fraction[i] < '0' || fraction[i] > '9') {
                return false;
            }
            t.millisecond += (fraction[i] - '0') * scale;
        }
    }
    if (d.year < 1980 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > DaysInMonth(d.year, d.month) ||
        t.hour > 23 || t.minute > 59 || t.second > 60) {
        return false;
    }
    date = d;
    time = t;
    return true;
}

void CGpsdReader::Feed(const char* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const char c = bytes[i];
        if (c == '\n') {
            if (m_overlong) {
                m_overlong = false;
            } else {
                EndLine();
            }
            m_line.clear();
        } else if (m_overlong) {
            continue;
        } else if (m_line.size() >= kGpsdLineLimit) {
            // Kept no further: the line is refused once, at the limit, and skipped to its end.
            m_line.clear();
            m_line.shrink_to_fit();
            m_overlong = true;
            Count(m_refused);
        } else {
            m_line += c;
        }
    }
}

void CGpsdReader::Reset()
{
    *this = CGpsdReader();
}

void CGpsdReader::EndLine()
{
    std::string_view line(m_line);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    if (line.empty()) {
        return;
    }
    if (Read(line)) {
        Count(m_reports);
    } else {
        Count(m_refused);
    }
}

bool CGpsdReader::Read(std::string_view line)
{
    const Json report = ParseBoundedJson(line, kGpsdLineLimit, kGpsdDepthLimit);
    if (!report.is_object()) {
        return false;
    }
    auto classIt = report.find("class");
    if (classIt == report.end() || !classIt->is_string()) {
        return false;
    }
    const std::string& kind = classIt->get_ref<const std::string&>();
    if (kind == "VERSION") {
        m_answered = true;
    } else if (kind == "DEVICES") {
        auto devices = report.find("devices");
        if (devices == report.end() || !devices->is_array()) {
            return false;
        }
        m_devices = devices->size();
    } else if (kind == "DEVICE") {
        // A device gpsd opened later; one it let go of has no "activated".
        auto activated = report.find("activated");
        const bool active = activated != report.end() &&
                            ((activated->is_string() && !activated->get_ref<const std::string&>().empty()) ||
                             (activated->is_number() && activated->get<double>() > 0));
        if (active && m_devices.value_or(0) == 0) {
            m_devices = 1;
        }
    } else if (kind == "TPV" && !m_fix) {
        const std::optional<long long> mode = IntegerAt(report, "mode");
        const std::optional<double> lat = FiniteAt(report, "lat"), lon = FiniteAt(report, "lon");
        if (!mode || (*mode != kGpsdMode2D && *mode != kGpsdMode3D) || !lat || !lon || std::fabs(*lat) > 90 ||
            std::fabs(*lon) > 180) {
            return true; // a report, but no fix yet
        }
        GpsdFix fix;
        fix.mode = static_cast<int>(*mode);
        fix.fix.latitude = *lat;
        fix.fix.longitude = *lon;
        fix.fix.sentence = "TPV";
        const std::optional<double> eph = ErrorAt(report, "eph");
        const std::optional<double> epx = ErrorAt(report, "epx"), epy = ErrorAt(report, "epy");
        if (eph) {
            fix.fix.accuracyM = eph;
        } else if (epx && epy && std::isfinite(std::hypot(*epx, *epy))) {
            fix.fix.accuracyM = std::hypot(*epx, *epy);
        }
        if (fix.fix.accuracyM) {
            fix.fix.accuracyFrom = NmeaFix::Accuracy::Reported;
        }
        auto time = report.find("time");
        NmeaDate date;
        NmeaTime timeOfDay;
        if (time != report.end() && time->is_string() &&
            ReadGpsdTime(time->get_ref<const std::string&>(), date, timeOfDay)) {
            fix.fix.date = date;
            fix.fix.time = timeOfDay;
        }
        if (const std::optional<long long> status = IntegerAt(report, "status")) {
            fix.status = *status > INT_MAX || *status < INT_MIN ? -1 : static_cast<int>(*status);
            fix.kind = KindOfStatus(*status);
        }
        // A TPV is a whole epoch: its accuracy and kind come with it, and nothing follows.
        fix.fix.kind = fix.kind;
        fix.fix.epochDone = true;
        m_fix = std::move(fix);
    }
    return true;
}
