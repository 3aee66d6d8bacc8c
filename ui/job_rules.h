#pragma once

#include "acquisition/modem_dialogue.h"
#include "acquisition/module_setting.h"
#include "acquisition/nmea_reader.h"
#include "network/location_service.h"

#include <cstdint>
#include <optional>
#include <string>

// The steps of "送信" and "取得～送信" and what comes after each. The window system runs the
// steps; which one comes next, and where the position comes from, is decided here, from the
// step's outcome, the settings as they are when it ended, and the job's own state.

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
    Ok,     // the step did what it is for
    No,     // a check said no (the network is not usable yet, the cache has no position)
    Failed, // the step failed, and the user has been told why
    Left,   // the user left ("中断", No to a question) or the window went away: nothing more is said
};

// The settings the decisions read.
struct JobSettings
{
    ModuleKind module = ModuleKind::WSim; // MODULE: what is on the port
    bool simpleCoordinates = false;       // the W-SIM's own coordinates instead of a CS-ID
    bool autoConnect = false;
    bool startBrowser = false;
    bool useCache = false;    // LOOKUPCACHE
    std::uint32_t waitMs = 0; // the wait before the send (ConnectWaitMilliseconds), "取得～送信" only

    // The position is worked out here, no lookup service asked: the W-SIM's simple coordinates
    // or a receiver's fix.
    bool LocalPosition() const { return module == ModuleKind::Nmea || simpleCoordinates; }
};

// One send, from the press to the browser: what it works from, fixed when it begins (or once
// its acquisition has given it), and what each step hands to the next. Nothing of it is read
// from elsewhere while the job runs.
struct SendJob
{
    bool getFirst = false;               // "取得～送信": the acquisition comes first
    std::wstring csId;                   // the CS-ID text the lookup and the cache ask about
    std::wstring coordinates;            // the simple-coordinates text
    std::optional<WgsPosition> fix;      // a receiver's last fix
    std::optional<CellTower> cell;       // a modem's last serving cell
    std::wstring url;                    // the destination entry's URL
    std::wstring format;                 // and its query template (may be empty)
    std::wstring serviceUrl;             // the lookup service the settings chose
    std::wstring cachedPosition;         // what the lookup cache gave (its text); empty when it gave nothing
    std::wstring expandedUrl;            // the browser's URL
    std::wstring position;               // the position text the log gets
    FixKind fixKind = FixKind::Measured; // how the receiver came by its fix
    // "取得～送信" went on with a receiver's fix whose epoch was still being read (no $acc): the
    // browser starts first, and the log line takes the accuracy that came meanwhile.
    bool fixEpochOpen = false;
    std::string fallback; // the geolocation answer's "fallback": its position is not the cell's

    bool Cached() const { return !cachedPosition.empty(); }
};

// Whether the job asks the cache: it is on, and the position comes from a CS-ID or a cell.
inline bool UsesCache(const JobSettings& settings)
{
    return settings.useCache && !settings.LocalPosition();
}

JobStep FirstJobStep(bool getFirst, const JobSettings& settings);
JobStep NextJobStep(JobStep done, StepOutcome outcome, const JobSettings& settings, const SendJob& job);

// The log line of the send: the position, and what it is when it is not the measured or looked
// up one (from the cache, from a receiver in its simulator mode or given by hand, a guess from
// the cell's area).
std::wstring JobLogLine(const JobSettings& settings, const SendJob& job);

// Where the Locate step takes the position from.
enum class PositionSource
{
    Coordinates, // worked out here from the simple coordinates
    Receiver,    // a receiver's fix, on WGS 84
    Cache,       // what the lookup cache gave
    Lookup,      // asked of the lookup service
    CachedCell,  // what the lookup cache gave for a modem's cell (CachedWgsText)
    Geolocate,   // a modem's cell asked of the geolocation service
};
PositionSource ChoosePositionSource(const JobSettings& settings, const SendJob& job);

// Whether a position the lookup gave is kept in the cache: only a position (a web address the
// service answered instead is not one), and only with the cache on.
bool KeepsLookedUpPosition(const JobSettings& settings, bool isPosition);

// What the cache is asked about: the CS-ID text, or a modem's cell as CellCacheKey; empty when
// the job has neither.
std::wstring CacheKey(const JobSettings& settings, const SendJob& job);

// A cell as the cache's key: "lte/440/10/6699/27075331" (radio, MCC, MNC with its digits, area
// and cell in decimal). Without commas: the cache reads a key's commas as between stations.
std::wstring CellCacheKey(const CellTower& cell);

// A WGS 84 position as the cache keeps it ("W35.689487,139.691706,1200": the answer's degrees
// at six decimals and its accuracy in metres, no spaces), and back. Reading refuses anything
// else, or a position off the globe.
std::wstring CachedWgsText(const WgsPosition& position);
bool ReadCachedWgs(const std::wstring& text, WgsPosition& position);
