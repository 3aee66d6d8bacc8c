#pragma once

#include "acquisition/nmea_reader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The wait for a GNSS receiver's first fix, free of the window system: which line speed to
// listen at, when to try the next, when the fix is handed over, and when the wait ends without
// one. The window steps it with the time since the port opened and what the reader heard: on
// its ticks (a few times a second) and whenever the listener tells it the fix moved on.

enum class FixWaitStep
{
    Listen,      // keep listening at Speed()
    SwitchSpeed, // nothing heard at this speed: set the line to Speed() (now the next) and Reset the reader
    SpeedFound,  // the first good sentence at this speed (told once; see SearchedSpeed)
    NoReceiver,  // nothing that speaks NMEA at any speed: no receiver answers on this port
    NoFix,       // a receiver was heard, but no fix came within the fix wait (counted from the port's opening)
    HandOver,    // the fix is ready to go on: the wait is over (told again on every later step)
};

// How long a fix waits for the rest of its epoch when its accuracy is wanted. A receiver sends
// an epoch's sentences in one burst each second, so the next epoch's first sentence ends the
// wait about a second after the fix came; this bound holds for a receiver set to a slower rate,
// or one that falls silent.
constexpr std::uint32_t kEpochWaitMs = 1000;

// Whether a fix goes on now: at once when its accuracy is not wanted, else once its epoch is
// done or `sinceFixMs` (since the fix was first seen) reaches kEpochWaitMs. Any transport's wait
// (a serial port's CFixWait::Step, a network receiver's) hands over by this.
bool FixGoesOn(const NmeaFix& fix, bool accuracyWanted, std::uint32_t sinceFixMs);

class CFixWait
{
public:
    // `baud`: the speed set by BAUD (none: search kNmeaSpeeds); `fixWaitSeconds`: FIXWAIT;
    // `accuracyWanted`: the fix waits for its epoch's accuracy (the URL takes $acc, or it is
    // kept for later sends) rather than going on at once.
    CFixWait(std::optional<unsigned> baud, unsigned fixWaitSeconds, bool accuracyWanted = false);

    // The speed to listen at now.
    unsigned Speed() const { return m_speeds[m_index]; }
    // True when the speed was found by the search (not set), for the log.
    bool SearchedSpeed() const { return m_speeds.size() > 1; }
    // One step: `elapsedMs` since the port opened, `goodSentences` heard at the current speed and
    // the reader's `fix` (CNmeaReader::Fix()). With a fix: HandOver at once, or, when the
    // accuracy is wanted, once its epoch is done or kEpochWaitMs after the first step that saw
    // it; Listen meanwhile, and no NoFix from then on. Without one: as OnTick.
    FixWaitStep Step(std::uint32_t elapsedMs, unsigned goodSentences, const std::optional<NmeaFix>& fix);
    // The speed search and the fix wait alone; never HandOver, and only Listen once a fix was seen.
    FixWaitStep OnTick(std::uint32_t elapsedMs, unsigned goodSentences);
    std::uint32_t FixWaitMs() const { return m_fixWaitMs; }

private:
    std::vector<unsigned> m_speeds;
    std::size_t m_index = 0;
    std::uint32_t m_speedSince = 0; // when listening at the current speed began
    bool m_found = false;
    std::uint32_t m_fixWaitMs;
    bool m_accuracyWanted;
    std::optional<std::uint32_t> m_fixSince; // when a step first saw the fix
};

// A receiver set to one speed gets this long to be heard: some need seconds after the port opens.
constexpr std::uint32_t kSetSpeedListenMs = 5000;

// The texts of the fix wait.
std::wstring FixWaitProgressText(const std::wstring& port);
std::wstring NoReceiverText(const std::wstring& port);
std::wstring NoFixText(unsigned seconds);
std::wstring SpeedFoundText(const std::wstring& port, unsigned speed);
