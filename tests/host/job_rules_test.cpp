#include "ui/job_rules.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The steps a job runs when every step does what it is for, and a check that says no where
// `no` names it.
std::vector<JobStep> StepsOf(bool getFirst, const JobSettings& settings, JobStep no = JobStep::Done,
                             bool cached = false)
{
    SendJob job;
    job.getFirst = getFirst;
    std::vector<JobStep> steps;
    for (JobStep step = FirstJobStep(getFirst, settings); step != JobStep::Done && steps.size() < 20;) {
        steps.push_back(step);
        if (step == JobStep::ConsultCache && cached) {
            job.cachedPosition = L"N35.41.12.000E139.45.00.000";
        }
        step = NextJobStep(step, step == no ? StepOutcome::No : StepOutcome::Ok, settings, job);
    }
    return steps;
}

} // namespace

TEST(JobRules, StepsKeepTheirOrder)
{
    using S = JobStep;
    JobSettings plain;
    plain.startBrowser = true;
    JobSettings waiting = plain;
    waiting.autoConnect = true;
    waiting.waitMs = 500;
    JobSettings coordinates = plain;
    coordinates.simpleCoordinates = true;
    coordinates.startBrowser = false;
    JobSettings coordinatesConnecting = coordinates;
    coordinatesConnecting.autoConnect = true;
    coordinatesConnecting.useCache = true; // coordinates are never cached
    JobSettings miss = waiting;
    miss.useCache = true;
    struct Case
    {
        bool getFirst;
        JobSettings settings;
        JobStep no;
        std::vector<JobStep> steps;
        bool cached = false;
    };
    const Case cases[] = {
        {false, plain, S::Done, {S::CheckInputs, S::ChooseService, S::Locate, S::Log, S::StartBrowser}},
        {true, plain, S::Done, {S::Acquire, S::CheckInputs, S::ChooseService, S::Locate, S::Log, S::StartBrowser}},
        {true,
         waiting,
         S::Done,
         {S::Acquire, S::WaitBeforeSend, S::CheckInputs, S::ChooseService, S::CheckNetwork, S::Locate, S::Log,
          S::StartBrowser}},
        {false,
         waiting,
         S::CheckNetwork,
         {S::CheckInputs, S::ChooseService, S::CheckNetwork, S::Connect, S::Locate, S::Log, S::StartBrowser}},
        // Coordinates need no service, unless they connect for its network.
        {false, coordinates, S::Done, {S::CheckInputs, S::Locate, S::Log}},
        {false, coordinatesConnecting, S::Done, {S::CheckInputs, S::ChooseService, S::CheckNetwork, S::Locate, S::Log}},
        // A position from the cache skips the wait, the connection and the lookup.
        {true, miss, S::Done, {S::Acquire, S::ConsultCache, S::CheckInputs, S::Locate, S::Log, S::StartBrowser}, true},
        {false, miss, S::Done, {S::ConsultCache, S::CheckInputs, S::Locate, S::Log, S::StartBrowser}, true},
        {true,
         miss,
         S::CheckNetwork,
         {S::Acquire, S::ConsultCache, S::WaitBeforeSend, S::CheckInputs, S::ChooseService, S::CheckNetwork, S::Connect,
          S::Locate, S::Log, S::StartBrowser}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StepsOf(c.getFirst, c.settings, c.no, c.cached), c.steps) << &c - cases;
    }
}

TEST(JobRules, AFixWhoseEpochIsStillReadIsLoggedAfterTheBrowserOnce)
{
    using S = JobStep;
    JobSettings receiver;
    receiver.module = ModuleKind::Nmea;
    receiver.startBrowser = true;
    JobSettings noBrowser = receiver;
    noBrowser.startBrowser = false;
    SendJob open;
    open.fixEpochOpen = true;
    const struct
    {
        JobSettings settings;
        SendJob job;
        std::vector<JobStep> steps;
    } rows[] = {
        {receiver, open, {S::Acquire, S::CheckInputs, S::Locate, S::StartBrowser, S::Log}},
        {receiver, SendJob(), {S::Acquire, S::CheckInputs, S::Locate, S::Log, S::StartBrowser}},
        {noBrowser, open, {S::Acquire, S::CheckInputs, S::Locate, S::Log}},
    };
    for (const auto& row : rows) {
        std::vector<JobStep> steps;
        for (S step = FirstJobStep(true, row.settings); step != S::Done && steps.size() < 20;
             step = NextJobStep(step, StepOutcome::Ok, row.settings, row.job)) {
            steps.push_back(step);
        }
        EXPECT_EQ(row.steps, steps) << &row - rows;
    }
    // The browser box unticked while the browser started: the log line still comes, once.
    EXPECT_EQ(S::Log, NextJobStep(S::StartBrowser, StepOutcome::Ok, noBrowser, open));
    EXPECT_EQ(S::Done, NextJobStep(S::Log, StepOutcome::Ok, receiver, open));
}

TEST(JobRules, TheLogLineSaysWhatThePositionIs)
{
    JobSettings receiver;
    receiver.module = ModuleKind::Nmea;
    JobSettings modem;
    modem.module = ModuleKind::Modem;
    const std::wstring position = L"N35.681236 E139.767125 ±5 m";
    SendJob simulated;
    simulated.position = position;
    simulated.fixKind = FixKind::Simulated;
    SendJob area;
    area.position = position;
    area.fallback = "lacf";
    SendJob cachedArea = area; // a guess is never kept, so a cached position is the cell's
    cachedArea.cachedPosition = L"W35.681236,139.767125,5";
    const struct
    {
        JobSettings settings;
        SendJob job;
        const wchar_t* line;
    } rows[] = {
        {receiver, simulated, L"N35.681236 E139.767125 ±5 m（シミュレーターの位置）"},
        {modem, simulated, L"N35.681236 E139.767125 ±5 m"}, // a receiver's fix left from before plays no part
        {modem, area, L"N35.681236 E139.767125 ±5 m（基地局の位置ではなく、エリアから推定した大まかな位置）"},
        {modem, cachedArea, L"N35.681236 E139.767125 ±5 m（キャッシュ）"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.line, JobLogLine(row.settings, row.job)) << &row - rows;
    }
}

TEST(JobRules, AStepThatFailsOrIsLeftEndsTheJob)
{
    JobSettings settings;
    settings.autoConnect = true;
    settings.startBrowser = true;
    settings.waitMs = 100;
    settings.useCache = true;
    for (StepOutcome outcome : {StepOutcome::Failed, StepOutcome::Left}) {
        for (JobStep step : {JobStep::Acquire, JobStep::ConsultCache, JobStep::WaitBeforeSend, JobStep::CheckInputs,
                             JobStep::ChooseService, JobStep::CheckNetwork, JobStep::Connect, JobStep::Locate}) {
            EXPECT_EQ(NextJobStep(step, outcome, settings, SendJob()), JobStep::Done) << static_cast<int>(step);
        }
    }
}

TEST(JobRules, ThePositionComesFromTheCoordinatesTheCacheOrTheLookup)
{
    JobSettings cacheOn;
    cacheOn.useCache = true;
    JobSettings coordinates = cacheOn;
    coordinates.simpleCoordinates = true;
    SendJob hit;
    hit.cachedPosition = L"N1.2E3.4";
    EXPECT_EQ(PositionSource::Lookup, ChoosePositionSource(cacheOn, SendJob()));
    EXPECT_EQ(PositionSource::Cache, ChoosePositionSource(cacheOn, hit));
    // a position left from the CS-ID mode never stands for coordinates
    EXPECT_EQ(PositionSource::Coordinates, ChoosePositionSource(coordinates, hit));

    JobSettings receiver = coordinates;
    receiver.module = ModuleKind::Nmea; // the box of the W-SIM's coordinates means nothing then
    EXPECT_EQ(PositionSource::Receiver, ChoosePositionSource(receiver, hit));

    // only a real position is kept, and only with the cache on
    EXPECT_TRUE(KeepsLookedUpPosition(cacheOn, true));
    EXPECT_FALSE(KeepsLookedUpPosition(cacheOn, false));
    EXPECT_FALSE(KeepsLookedUpPosition(JobSettings(), true));
    EXPECT_FALSE(KeepsLookedUpPosition(coordinates, true));
}

TEST(JobRules, AModemsCellGoesToTheGeolocationServiceUnlessTheCacheKnowsIt)
{
    using S = JobStep;
    JobSettings modem;
    modem.module = ModuleKind::Modem;
    modem.startBrowser = true;
    modem.autoConnect = true;
    modem.simpleCoordinates = false;
    JobSettings cached = modem;
    cached.useCache = true;
    // A cell needs the service's network; a cached one needs neither it nor a connection.
    EXPECT_EQ(StepsOf(true, modem, S::CheckNetwork),
              (std::vector<JobStep>{S::Acquire, S::CheckInputs, S::ChooseService, S::CheckNetwork, S::Connect,
                                    S::Locate, S::Log, S::StartBrowser}));
    EXPECT_EQ(StepsOf(false, cached, S::CheckNetwork, true),
              (std::vector<JobStep>{S::ConsultCache, S::CheckInputs, S::Locate, S::Log, S::StartBrowser}));

    SendJob job;
    job.csId = L"12/3"; // left from the W-SIM: never asked about for a modem
    EXPECT_EQ(L"", CacheKey(cached, job));
    EXPECT_EQ(PositionSource::Geolocate, ChoosePositionSource(cached, job));
    job.cell = CellTower{"lte", 440, 10, 2, 0x1A2B, 0x01A2B3C4};
    EXPECT_EQ(L"lte/440/10/6699/27440068", CacheKey(cached, job));
    job.cachedPosition = L"W35.689487,139.691706,1200";
    EXPECT_EQ(PositionSource::CachedCell, ChoosePositionSource(cached, job));
    EXPECT_TRUE(KeepsLookedUpPosition(cached, true));
    // and the W-SIM's key stays its CS-ID, whatever cell is left
    EXPECT_EQ(L"12/3", CacheKey(JobSettings(), job));
    JobSettings receiver;
    receiver.module = ModuleKind::Nmea;
    EXPECT_EQ(L"", CacheKey(receiver, job));
}

TEST(JobRules, CellKeysTellNetworksApart)
{
    // 310-04 and 310-004 are two operators; radios differ too.
    const CellTower two{"gsm", 310, 4, 2, 161, 6956};
    const CellTower three{"gsm", 310, 4, 3, 161, 6956};
    const CellTower umts{"wcdma", 310, 4, 2, 161, 6956};
    EXPECT_EQ(L"gsm/310/04/161/6956", CellCacheKey(two));
    EXPECT_EQ(L"gsm/310/004/161/6956", CellCacheKey(three));
    EXPECT_EQ(L"wcdma/310/04/161/6956", CellCacheKey(umts));
    EXPECT_EQ(L"nr/440/20/107187/2937859390", CellCacheKey(CellTower{"nr", 440, 20, 2, 0x01A2B3, 0xAF1C2D3E}));
}

TEST(JobRules, ACachedPositionReadsBackAsAnswered)
{
    WgsPosition answered;
    answered.latitude = -33.868820;
    answered.longitude = 151.209290;
    answered.accuracyM = 1200.4;
    const std::wstring text = CachedWgsText(answered);
    EXPECT_EQ(L"W-33.868820,151.209290,1200", text);
    WgsPosition read;
    ASSERT_TRUE(ReadCachedWgs(text, read));
    EXPECT_EQ(-33.86882, read.latitude);
    EXPECT_EQ(151.20929, read.longitude);
    EXPECT_EQ(1200.0, read.accuracyM.value_or(-1));
    ASSERT_TRUE(ReadCachedWgs(L"W1.5,-2.5", read));
    EXPECT_FALSE(read.accuracyM);

    // Anything else (a CS-ID position, a damaged line) gives no position at all.
    for (const wchar_t* damaged :
         {L"", L"W", L"N35.41.12.000E139.45.00.000", L"W35.1", L"W35.1,", L"W35.1,139.2,", L"W35.1,139.2,5,6", L"W91,0",
          L"W0,180.5", L"W0,0,-1", L"W0,0,1e9", L"W0x1,2", L"Wnan,0", L"W1,,2", L"W 1,2"}) {
        WgsPosition untouched;
        untouched.latitude = 7;
        EXPECT_FALSE(ReadCachedWgs(damaged, untouched)) << std::wstring(damaged).size();
        EXPECT_EQ(7, untouched.latitude);
    }
}
