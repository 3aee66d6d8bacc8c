#pragma once

#include "acquisition/fix_kind.h"
#include "acquisition/nmea_reader.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// What gpsd tells a client that watches its devices: one JSON object a line, each with its
// "class": VERSION as the connection opens, DEVICES and WATCH in answer to the watch
// command, then a TPV (time, position, velocity) report every epoch, with SKY and others
// between them.

// The one command the program sends to gpsd: watch every device, reports in JSON.
constexpr char kGpsdWatchCommand[] = "?WATCH={\"enable\":true,\"json\":true}\n";

// The longest line read. gpsd keeps its reports within 10,240 bytes; a longer line is
// dropped unread.
constexpr std::size_t kGpsdLineLimit = 16 * 1024;
// The deepest nesting read; gpsd's reports have three levels.
constexpr int kGpsdDepthLimit = 16;

// TPV modes with a position.
constexpr int kGpsdMode2D = 2;
constexpr int kGpsdMode3D = 3;

struct GpsdFix
{
    NmeaFix fix;                      // position, accuracy, UTC time and date, kind; sentence "TPV",
                                      // its epoch done
    FixKind kind = FixKind::Measured; // from the report's status
    int mode = 0;                     // 2 or 3
    int status = 1;                   // the report's status; gpsd leaves out a plain fix's 1
};

// Reads gpsd's reports from a byte stream fed in any chunks. A line ends at LF (a CR before
// it is dropped). A line longer than kGpsdLineLimit, nesting deeper than kGpsdDepthLimit, or
// that is no JSON object with a "class" string is refused and counted; the reader keeps at
// most kGpsdLineLimit bytes, whatever it is fed.
//
// The fix is the first TPV with mode 2 or 3 and a finite latitude and longitude within
// range. Its accuracy is "eph", or else the hypotenuse of "epx" and "epy", in metres; its
// time "time" (ISO 8601 UTC); its kind follows "status": 5 (dead reckoning) DeadReckoning, 7
// (a surveyed time receiver's fixed position) Manual, 8 Simulated, any other Measured. What
// comes after the fix does not change it.
class CGpsdReader
{
public:
    void Feed(const char* bytes, std::size_t count);
    void Reset();

    // gpsd greeted the client (its VERSION report came): gpsd is at the other end.
    bool Answered() const { return m_answered; }
    // Devices of the last DEVICES report, raised to one by a DEVICE report that a device was
    // activated; none before either came.
    const std::optional<std::size_t>& Devices() const { return m_devices; }
    // Reports read (any class) and lines refused; both saturate.
    unsigned Reports() const { return m_reports; }
    unsigned Refused() const { return m_refused; }
    const std::optional<GpsdFix>& Fix() const { return m_fix; }
    // Bytes of an unfinished line kept, never above kGpsdLineLimit.
    std::size_t Held() const { return m_line.size(); }

private:
    void EndLine();
    bool Read(std::string_view line);

    std::string m_line;
    bool m_overlong = false; // the line under way passed the limit: skipped up to its LF
    bool m_answered = false;
    std::optional<std::size_t> m_devices;
    unsigned m_reports = 0;
    unsigned m_refused = 0;
    std::optional<GpsdFix> m_fix;
};

// gpsd's ISO 8601 UTC time, "2026-12-07T12:03:04.250Z" (fraction optional, at most to the
// millisecond kept): its date and time of day, or nothing when it is not that form or not a
// date of the calendar.
bool ReadGpsdTime(std::string_view text, NmeaDate& date, NmeaTime& time);
