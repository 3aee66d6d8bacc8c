#pragma once

#include "acquisition/fix_kind.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What a GNSS receiver writes on a serial line, read as NMEA 0183 sentences: the first
// position fix it reports, and whether anything that speaks NMEA is there at all. Bytes in,
// never wide text; whatever else shares the line (a maker's binary protocol, noise at the
// wrong speed) is skipped.

// Longest sentence kept, from '$' to the checksum's last digit. Above the 79 the standard
// allows between '$' and CR LF, since receivers giving 7 or 8 decimals of minutes, and the
// extra fields of newer versions, go past it; anything longer is dropped unread.
constexpr std::size_t kMaxSentence = 128;

// The receiver error assumed when only HDOP tells the accuracy: accuracy = HDOP x 5 m.
constexpr double kHdopErrorM = 5.0;

// UTC time of day as a sentence gives it; milliseconds from the fraction, further digits cut.
struct NmeaTime
{
    int hour = 0;
    int minute = 0;
    int second = 0; // 60 in a leap second
    int millisecond = 0;
    bool operator==(const NmeaTime& o) const
    {
        return hour == o.hour && minute == o.minute && second == o.second && millisecond == o.millisecond;
    }
    bool operator!=(const NmeaTime& o) const { return !(*this == o); }
};

// UTC date of an RMC sentence; its two-digit year is taken as 20yy.
struct NmeaDate
{
    int year = 0;
    int month = 0;
    int day = 0;
};

// One position fix as a receiver reported it (WGS 84).
struct NmeaFix
{
    double latitude = 0;             // degrees, negative south of the equator
    double longitude = 0;            // degrees, negative west of Greenwich
    std::optional<double> accuracyM; // horizontal accuracy, metres
    enum class Accuracy
    {
        None,
        Gst,
        Hdop,
        Reported // the receiver's own estimate of its error (gpsd's eph)
    } accuracyFrom = Accuracy::None;
    std::optional<NmeaTime> time; // UTC time of day of the fix
    std::optional<NmeaDate> date; // UTC date when an RMC of the same fix gave it
    std::string sentence;         // address of the sentence it came from, e.g. "GNGGA"
    // How the receiver came by it: one left in its simulator mode, given a position by hand or
    // carrying on by dead reckoning still reports a fix (GGA quality 8, 7 or 6; mode S, M or E).
    FixKind kind = FixKind::Measured;
    // The fix's epoch is over, or has told all it will: accuracy, date and kind are final.
    bool epochDone = false;
};

// How far the first fix has come, for a listener that tells its window when this changes.
enum class FixProgress
{
    None,      // no fix yet
    EpochOpen, // a fix, whose epoch may still bring its accuracy
    Ready,     // a fix, its epoch done
};

// Reads sentences from a byte stream fed in any chunks. A sentence starts at '$' or '!' (a
// start inside a line abandons what came before it) and ends at CR or LF; one that holds a
// control or non-ASCII byte, grows past kMaxSentence, or whose checksum is missing or wrong
// is dropped. The reader keeps at most kMaxSentence bytes of a line, whatever it is fed.
//
// The fix is taken from the first GGA, RMC, GLL or GNS (any talker) that says it is one, at
// once: GGA quality above 0; RMC and GLL status A and mode, when given, not N; GNS mode
// neither empty nor all N. Its position and time stay; what the rest of its epoch (the
// sentences of the same UTC time) tells is added until the epoch is done: the accuracy from a
// GST, else from HDOP (of the sentence itself, or of a GGA or GNS) times kHdopErrorM; the date
// from an RMC; simulator, manual input or dead reckoning from any fix sentence. Receivers
// differ in order: u-blox, MTK and Quectel send RMC first and GGA and GST after it, SiRF GGA
// before RMC.
//
// The epoch is done when a sentence of another time comes (the next epoch's first), when the
// fix's own sentence comes again, when a GST of its time gave the error (nothing tells it
// better), or when every kind that a whole epoch heard before held (GGA, GNS, RMC, GST) has
// come for this one. Before a whole epoch was heard (from one change of time to the next) that
// last test cannot be made: the epoch runs to its end. A fix without a time is done at once.
class CNmeaReader
{
public:
    // Feeds bytes as read from the port (any chunking; binary data, NULs, anything).
    void Feed(const char* bytes, std::size_t count);
    // Sentences heard whose checksum held (any type, any talker): the line speed is right and
    // something that speaks NMEA is on the port. Saturates rather than wraps.
    unsigned GoodSentences() const { return m_goodSentences; }
    // The first fix read since the reader was made or Reset, as its epoch has told it so far.
    const std::optional<NmeaFix>& Fix() const { return m_fix; }
    FixProgress Progress() const;
    // Forgets everything, e.g. when the line speed changes.
    void Reset();
    // Bytes of an unfinished sentence kept, never above kMaxSentence.
    std::size_t Held() const { return m_line.size(); }

private:
    void EndLine();
    void Read(std::string_view sentence);
    void NoteTime(const NmeaTime& time);
    void FillFromEpoch();

    std::string m_line; // the sentence being received, from its '$'
    bool m_inSentence = false;
    unsigned m_goodSentences = 0;
    std::optional<NmeaFix> m_fix;

    // Of the epoch heard last: what a later fix sentence of the same time may take.
    struct Timed
    {
        NmeaTime time;
        double value;
    };
    std::optional<Timed> m_gst;  // GST's horizontal error, metres
    std::optional<Timed> m_hdop; // GGA's or GNS's HDOP
    std::optional<NmeaTime> m_rmcTime;
    NmeaDate m_rmcDate;

    // The epoch under way: its time and the kinds (kKind* bits) of sentence read for it; the
    // kinds of the last whole epoch.
    std::optional<NmeaTime> m_epochTime;
    unsigned m_epochKinds = 0;
    bool m_epochWhole = false; // the epoch under way began with a change of time
    std::optional<unsigned> m_wholeEpochKinds;
};

// One sentence (text from '$' or '!' up to, not including, CR LF): whether it is well-formed
// (printable ASCII, an address of capitals and digits, at most kMaxSentence characters, ending
// in "*hh" in either case) with a checksum that holds.
bool NmeaChecksumHolds(std::string_view sentence);

// The UTC time of a fix in Japan time (UTC+9), "2026/12/07 21:03:04 JST", the date rolled
// over at month and year ends; "21:03:04 JST" without a date.
std::wstring JapanTime(const NmeaTime& time, const std::optional<NmeaDate>& date);

// The line speeds tried in turn when none is set.
constexpr unsigned kNmeaSpeeds[] = {4800, 9600, 38400, 115200};
// How long to listen at one speed: receivers speak at least once a second.
constexpr std::uint32_t kNmeaListenMs = 2000;

enum class SpeedStep
{
    Listen,  // nothing heard yet: keep listening at this speed
    Found,   // a good sentence was heard: this is the speed
    TryNext, // silence for kNmeaListenMs: reopen at speeds[index + 1] with a Reset reader
    GiveUp,  // silence at every speed: no receiver answers on this port
};
// The speed search's step at speed `index` of `speedCount` (1 when the speed is set), having
// listened `elapsedMs` there and heard `goodSentences` (GoodSentences() of a reader Reset when
// the speed was set).
SpeedStep NextSpeedStep(std::size_t index, std::size_t speedCount, std::uint32_t elapsedMs, unsigned goodSentences);
