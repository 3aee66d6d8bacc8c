#pragma once

#include "acquisition/nmea_reader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The wait for a GNSS receiver's first fix, free of the window system: which line speed to
// listen at, when to try the next, and when the wait ends without a fix. The window ticks it
// (a few times a second) with the time since the port opened and what the reader heard.

enum class FixWaitStep
{
    Listen,      // keep listening at Speed()
    SwitchSpeed, // nothing heard at this speed: set the line to Speed() (now the next) and Reset the reader
    SpeedFound,  // the first good sentence at this speed (told once; see SearchedSpeed)
    NoReceiver,  // nothing that speaks NMEA at any speed: no receiver answers on this port
    NoFix,       // a receiver was heard, but no fix came within the fix wait (counted from the port's opening)
};

class CFixWait
{
public:
    // `baud`: the speed set by BAUD (none: search kNmeaSpeeds); `fixWaitSeconds`: FIXWAIT.
    CFixWait(std::optional<unsigned> baud, unsigned fixWaitSeconds);

    // The speed to listen at now.
    unsigned Speed() const { return m_speeds[m_index]; }
    // True when the speed was found by the search (not set), for the log.
    bool SearchedSpeed() const { return m_speeds.size() > 1; }
    // One tick: `elapsedMs` since the port opened, `goodSentences` heard at the current speed.
    FixWaitStep OnTick(std::uint32_t elapsedMs, unsigned goodSentences);
    std::uint32_t FixWaitMs() const { return m_fixWaitMs; }

private:
    std::vector<unsigned> m_speeds;
    std::size_t m_index = 0;
    std::uint32_t m_speedSince = 0; // when listening at the current speed began
    bool m_found = false;
    std::uint32_t m_fixWaitMs;
};

// A receiver set to one speed gets this long to be heard: some need seconds after the port opens.
constexpr std::uint32_t kSetSpeedListenMs = 5000;

// The texts of the fix wait.
std::wstring FixWaitProgressText(const std::wstring& port);
std::wstring NoReceiverText(const std::wstring& port);
std::wstring NoFixText(unsigned seconds);
std::wstring SpeedFoundText(const std::wstring& port, unsigned speed);
