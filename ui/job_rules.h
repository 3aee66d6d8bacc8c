#pragma once

#include <cstdint>

// The steps of "送信" and "取得～送信" and what comes after each. The window system runs the
// steps; which one comes next is decided here, from the step's outcome and the settings as
// they are when it ended.

enum class JobStep
{
    Acquire,        // "取得～送信" only: the acquisition (with the question about an existing line)
    ConsultCache,   // the lookup cache, when it is on, for a position of the same base stations
    WaitBeforeSend, // the wait of the "接続時" field (only after an acquisition)
    CheckInputs,    // a value of the mode and a destination to send to
    ChooseService,  // the lookup service the settings choose, refused when it cannot be asked
    CheckNetwork,   // automatic connection: whether the service's network is usable now
    Connect,        // the connecting dialog
    Locate,         // the position: from the cache, the lookup, or worked out here for coordinates
    Log,            // the position into the log
    StartBrowser,   // the browser on the expanded URL
    Done,
};

enum class StepOutcome
{
    Ok,   // the step did what it is for
    No,   // a check said no (the network is not usable yet, the cache has no position)
    Stop, // failed (the user has been told), cancelled, or the window went away
};

// The settings the decisions read.
struct JobSettings
{
    bool simpleCoordinates = false;
    bool autoConnect = false;
    bool startBrowser = false;
    bool useCache = false;    // LOOKUPCACHE
    bool cached = false;      // the cache gave this job's position: no wait, connection or lookup
    std::uint32_t waitMs = 0; // the wait before the send (ConnectWaitMilliseconds), "取得～送信" only
};

// Whether the job asks the cache: it is on, and the position comes from a CS-ID.
inline bool UsesCache(const JobSettings& settings)
{
    return settings.useCache && !settings.simpleCoordinates;
}

JobStep FirstJobStep(bool getFirst, const JobSettings& settings);
JobStep NextJobStep(JobStep done, StepOutcome outcome, const JobSettings& settings);
