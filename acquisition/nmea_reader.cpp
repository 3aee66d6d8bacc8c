#include "acquisition/nmea_reader.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

int HexValue(char c)
{
    if (IsDigit(c)) {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool AllDigits(std::string_view s)
{
    for (char c : s) {
        if (!IsDigit(c)) {
            return false;
        }
    }
    return true;
}

int TwoDigits(std::string_view s, std::size_t at)
{
    return (s[at] - '0') * 10 + (s[at + 1] - '0');
}

// The fields of a sentence whose checksum held: [0] its address, then the data fields. A
// field the sentence does not have reads as empty, as an empty field does.
class CFields
{
public:
    explicit CFields(std::string_view sentence)
    {
        std::string_view body = sentence.substr(1, sentence.size() - 4);
        for (;;) {
            const std::size_t comma = body.find(',');
            m_fields[m_count++] = body.substr(0, comma);
            if (comma == std::string_view::npos) {
                break;
            }
            body.remove_prefix(comma + 1);
        }
    }
    std::string_view operator[](std::size_t i) const { return i < m_count ? m_fields[i] : std::string_view(); }

private:
    // A sentence within kMaxSentence has fewer commas than characters.
    std::string_view m_fields[kMaxSentence];
    std::size_t m_count = 0;
};

// A non-negative decimal number, "12", "1.5", "1." or ".5"; no sign, no exponent.
std::optional<double> ReadNumber(std::string_view s)
{
    double value = 0, scale = 1;
    bool digits = false, point = false;
    for (char c : s) {
        if (c == '.' && !point) {
            point = true;
        } else if (IsDigit(c)) {
            digits = true;
            if (point) {
                scale /= 10;
                value += (c - '0') * scale;
            } else {
                value = value * 10 + (c - '0');
            }
        } else {
            return std::nullopt;
        }
    }
    if (!digits || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// hhmmss with any fraction of a second.
std::optional<NmeaTime> ReadTime(std::string_view s)
{
    if (s.size() < 6 || !AllDigits(s.substr(0, 6)) || (s.size() > 6 && s[6] != '.') ||
        !AllDigits(s.substr(std::min<std::size_t>(s.size(), 7)))) {
        return std::nullopt;
    }
    NmeaTime t;
    t.hour = TwoDigits(s, 0);
    t.minute = TwoDigits(s, 2);
    t.second = TwoDigits(s, 4);
    int scale = 100;
    for (std::size_t i = 7; i < s.size() && scale > 0; ++i, scale /= 10) {
        t.millisecond += (s[i] - '0') * scale;
    }
    if (t.hour > 23 || t.minute > 59 || t.second > 60) {
        return std::nullopt;
    }
    return t;
}

int DaysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return 31;
    }
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// ddmmyy.
std::optional<NmeaDate> ReadDate(std::string_view s)
{
    if (s.size() != 6 || !AllDigits(s)) {
        return std::nullopt;
    }
    NmeaDate d;
    d.day = TwoDigits(s, 0);
    d.month = TwoDigits(s, 2);
    d.year = 2000 + TwoDigits(s, 4);
    if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > DaysInMonth(d.year, d.month)) {
        return std::nullopt;
    }
    return d;
}

// Degrees and minutes, "ddmm.mmmm" or "dddmm.mmmm" at any precision, with its hemisphere
// letter; signed degrees, or nothing when a field is empty, garbled or out of range.
std::optional<double> ReadAngle(std::string_view value, std::string_view hemisphere, int maxDegrees, char positive,
                                char negative)
{
    if (hemisphere.size() != 1 || (hemisphere[0] != positive && hemisphere[0] != negative)) {
        return std::nullopt;
    }
    const std::size_t point = std::min(value.find('.'), value.size());
    const std::string_view whole = value.substr(0, point);
    const std::string_view fraction = value.substr(std::min(point + 1, value.size()));
    if (whole.size() < 3 || whole.size() > 5 || !AllDigits(whole) || !AllDigits(fraction)) {
        return std::nullopt;
    }
    int degrees = 0;
    for (std::size_t i = 0; i + 2 < whole.size(); ++i) {
        degrees = degrees * 10 + (whole[i] - '0');
    }
    const int wholeMinutes = TwoDigits(whole, whole.size() - 2);
    // Eighteen digits are beyond any receiver's precision and still fit the integer.
    std::uint64_t digits = 0;
    double scale = 1;
    for (std::size_t i = 0; i < fraction.size() && i < 18; ++i) {
        digits = digits * 10 + static_cast<unsigned>(fraction[i] - '0');
        scale *= 10;
    }
    const double minutes = wholeMinutes + static_cast<double>(digits) / scale;
    if (wholeMinutes >= 60 || degrees > maxDegrees || (degrees == maxDegrees && minutes > 0)) {
        return std::nullopt;
    }
    const double angle = degrees + minutes / 60.0;
    return hemisphere[0] == negative ? -angle : angle;
}

// The kinds of sentence an epoch's end is judged by.
constexpr unsigned kKindGga = 1;
constexpr unsigned kKindRmc = 2;
constexpr unsigned kKindGns = 4;
constexpr unsigned kKindGst = 8;

// A simulator's position is the furthest from a measured one, then one typed in, then one
// carried on by dead reckoning.
int LeastMeasuredRank(FixKind kind)
{
    switch (kind) {
    case FixKind::Simulated:
        return 3;
    case FixKind::Manual:
        return 2;
    case FixKind::DeadReckoning:
        return 1;
    case FixKind::Measured:
        break;
    }
    return 0;
}

std::optional<double> ReadPositive(std::string_view s)
{
    std::optional<double> v = ReadNumber(s);
    return v && *v > 0 ? v : std::nullopt;
}

} // namespace

bool NmeaChecksumHolds(std::string_view sentence)
{
    if (sentence.size() < 5 || sentence.size() > kMaxSentence || (sentence[0] != '$' && sentence[0] != '!')) {
        return false;
    }
    const std::size_t star = sentence.size() - 3;
    const int high = HexValue(sentence[star + 1]), low = HexValue(sentence[star + 2]);
    if (sentence[star] != '*' || high < 0 || low < 0) {
        return false;
    }
    unsigned sum = 0;
    bool inAddress = true;
    for (std::size_t i = 1; i < star; ++i) {
        const char c = sentence[i];
        if (c < 0x20 || c > 0x7E || c == '$' || c == '!' || c == '*') {
            return false;
        }
        if (c == ',') {
            if (i == 1) {
                return false;
            }
            inAddress = false;
        } else if (inAddress && !IsDigit(c) && !(c >= 'A' && c <= 'Z')) {
            return false;
        }
        sum ^= static_cast<unsigned char>(c);
    }
    return sum == static_cast<unsigned>(high * 16 + low);
}

void CNmeaReader::Feed(const char* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const char c = bytes[i];
        if (c == '$' || c == '!') {
            if (m_line.capacity() < kMaxSentence) {
                m_line.reserve(kMaxSentence);
            }
            m_line.assign(1, c);
            m_inSentence = true;
        } else if (c == '\r' || c == '\n') {
            if (m_inSentence) {
                EndLine();
            }
        } else if (!m_inSentence) {
            continue;
        } else if (c < 0x20 || c > 0x7E || m_line.size() >= kMaxSentence) {
            // Binary data or a line too long to be one sentence: skip to the next start.
            m_line.clear();
            m_inSentence = false;
        } else {
            m_line += c;
        }
    }
}

void CNmeaReader::Reset()
{
    m_line.clear();
    m_inSentence = false;
    m_goodSentences = 0;
    m_fix.reset();
    m_gst.reset();
    m_hdop.reset();
    m_rmcTime.reset();
    m_epochTime.reset();
    m_epochKinds = 0;
    m_epochWhole = false;
    m_wholeEpochKinds.reset();
}

FixProgress CNmeaReader::Progress() const
{
    if (!m_fix) {
        return FixProgress::None;
    }
    return m_fix->epochDone ? FixProgress::Ready : FixProgress::EpochOpen;
}

void CNmeaReader::EndLine()
{
    if (NmeaChecksumHolds(m_line)) {
        if (m_goodSentences < UINT_MAX) {
            ++m_goodSentences;
        }
        if (m_line[0] == '$') {
            Read(m_line);
        }
    }
    m_line.clear();
    m_inSentence = false;
}

void CNmeaReader::NoteTime(const NmeaTime& time)
{
    if (m_epochTime && *m_epochTime == time) {
        return;
    }
    // The next epoch's first sentence: the one before is over.
    if (m_epochWhole) {
        m_wholeEpochKinds = m_epochKinds;
    }
    m_epochWhole = m_epochTime.has_value();
    m_epochTime = time;
    m_epochKinds = 0;
    if (m_fix) {
        m_fix->epochDone = true;
    }
}

void CNmeaReader::FillFromEpoch()
{
    NmeaFix& fix = *m_fix;
    if (!fix.time) {
        fix.epochDone = true;
        return;
    }
    const NmeaTime& time = *fix.time;
    if (m_gst && m_gst->time == time) {
        fix.accuracyM = m_gst->value;
        fix.accuracyFrom = NmeaFix::Accuracy::Gst;
        fix.epochDone = true; // nothing tells the error better
    } else if (fix.accuracyFrom == NmeaFix::Accuracy::None && m_hdop && m_hdop->time == time) {
        fix.accuracyM = m_hdop->value * kHdopErrorM;
        fix.accuracyFrom = NmeaFix::Accuracy::Hdop;
    }
    if (!fix.date && m_rmcTime && *m_rmcTime == time) {
        fix.date = m_rmcDate;
    }
    if (m_wholeEpochKinds && (m_epochKinds & *m_wholeEpochKinds) == *m_wholeEpochKinds) {
        fix.epochDone = true;
    }
}

void CNmeaReader::Read(std::string_view sentence)
{
    const CFields f(sentence);
    const std::string_view address = f[0];
    // Talker and formatter; a leading P is a maker's own sentence, never a talker.
    if (address.size() != 5 || address[0] == 'P') {
        return;
    }
    const std::string_view type = address.substr(2);

    std::optional<NmeaTime> time;
    std::string_view latitude, north, longitude, east;
    std::optional<double> hdop;
    std::optional<NmeaDate> date;
    bool isFix = false;
    char mode = 0; // the mode indicator, or what GGA's quality stands for
    unsigned kind = 0;
    if (type == "GGA") {
        kind = kKindGga;
        time = ReadTime(f[1]);
        latitude = f[2], north = f[3], longitude = f[4], east = f[5];
        isFix = !f[6].empty() && AllDigits(f[6]) && f[6].find_first_not_of('0') != std::string_view::npos;
        mode = f[6] == "8" ? 'S' : f[6] == "7" ? 'M' : f[6] == "6" ? 'E' : 0;
        hdop = ReadPositive(f[8]);
    } else if (type == "RMC") {
        kind = kKindRmc;
        time = ReadTime(f[1]);
        latitude = f[3], north = f[4], longitude = f[5], east = f[6];
        date = ReadDate(f[9]);
        if (time && date) {
            m_rmcTime = time;
            m_rmcDate = *date;
        }
        // Field 13, the navigational status of newer versions, is not read: receivers that
        // give no integrity status send V there with every valid fix.
        isFix = f[2] == "A" && (f[12].empty() || f[12][0] != 'N');
        mode = f[12].empty() ? 0 : f[12][0];
    } else if (type == "GLL") {
        latitude = f[1], north = f[2], longitude = f[3], east = f[4];
        time = ReadTime(f[5]);
        isFix = f[6] == "A" && (f[7].empty() || f[7][0] != 'N');
        mode = f[7].empty() ? 0 : f[7][0];
    } else if (type == "GNS") {
        kind = kKindGns;
        time = ReadTime(f[1]);
        latitude = f[2], north = f[3], longitude = f[4], east = f[5];
        isFix = f[6].find_first_not_of('N') != std::string_view::npos;
        // One mode per system: the fix is what its least measured system says.
        for (char least : {'S', 'M', 'E'}) {
            if (mode == 0 && f[6].find(least) != std::string_view::npos) {
                mode = least;
            }
        }
        hdop = ReadPositive(f[8]);
    } else if (type == "GST") {
        kind = kKindGst;
        time = ReadTime(f[1]);
        const std::optional<double> sigmaLat = ReadNumber(f[6]), sigmaLon = ReadNumber(f[7]);
        if (time && sigmaLat && sigmaLon) {
            const double error = std::hypot(*sigmaLat, *sigmaLon);
            if (error > 0 && std::isfinite(error)) {
                m_gst = Timed{*time, error};
            }
        }
    } else {
        return;
    }
    if (time) {
        NoteTime(*time);
        m_epochKinds |= kind;
    }
    if (m_fix && !m_fix->epochDone && address == m_fix->sentence) {
        m_fix->epochDone = true; // the fix's own sentence again: a new epoch of the same time
    }
    if (isFix && hdop && time) {
        m_hdop = Timed{*time, *hdop};
    }
    bool taken = false;
    if (!m_fix && isFix) {
        const std::optional<double> lat = ReadAngle(latitude, north, 90, 'N', 'S');
        const std::optional<double> lon = ReadAngle(longitude, east, 180, 'E', 'W');
        if (lat && lon) {
            NmeaFix fix;
            fix.latitude = *lat;
            fix.longitude = *lon;
            fix.time = time;
            fix.sentence = std::string(address);
            if (hdop) {
                // Its own HDOP, also without a time to match the epoch's GST by.
                fix.accuracyM = *hdop * kHdopErrorM;
                fix.accuracyFrom = NmeaFix::Accuracy::Hdop;
            }
            if (date) {
                fix.date = date;
            }
            m_fix = std::move(fix);
            taken = true;
        }
    }
    if (!m_fix || m_fix->epochDone) {
        return;
    }
    if (isFix && (taken || (time && m_fix->time && *time == *m_fix->time))) {
        // Any sentence of the epoch may say it; the least measured word stands.
        const FixKind kind = mode == 'S'   ? FixKind::Simulated
                             : mode == 'M' ? FixKind::Manual
                             : mode == 'E' ? FixKind::DeadReckoning
                                           : FixKind::Measured;
        if (LeastMeasuredRank(kind) > LeastMeasuredRank(m_fix->kind)) {
            m_fix->kind = kind;
        }
    }
    FillFromEpoch();
}

std::wstring JapanTime(const NmeaTime& time, const std::optional<NmeaDate>& date)
{
    auto two = [](int v) {
        std::wstring s = std::to_wstring(v);
        return s.size() < 2 ? L"0" + s : s;
    };
    int hour = time.hour + 9;
    std::wstring text;
    if (date) {
        int year = date->year, month = date->month, day = date->day;
        if (hour >= 24) {
            hour -= 24;
            if (++day > DaysInMonth(year, month)) {
                day = 1;
                if (++month > 12) {
                    month = 1;
                    ++year;
                }
            }
        }
        text = std::to_wstring(year) + L"/" + two(month) + L"/" + two(day) + L" ";
    }
    return text + two(hour % 24) + L":" + two(time.minute) + L":" + two(time.second) + L" JST";
}

SpeedStep NextSpeedStep(std::size_t index, std::size_t speedCount, std::uint32_t elapsedMs, unsigned goodSentences)
{
    if (goodSentences > 0) {
        return SpeedStep::Found;
    }
    if (elapsedMs < kNmeaListenMs) {
        return SpeedStep::Listen;
    }
    return index + 1 < speedCount ? SpeedStep::TryNext : SpeedStep::GiveUp;
}
