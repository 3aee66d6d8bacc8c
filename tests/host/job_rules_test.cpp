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
