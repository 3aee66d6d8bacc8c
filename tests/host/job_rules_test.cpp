#include "ui/job_rules.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The steps a job runs when every step does what it is for, and a check that says no where
// `no` names it.
std::vector<JobStep> StepsOf(bool getFirst, const JobSettings& settings, JobStep no = JobStep::Done)
{
    std::vector<JobStep> steps;
    for (JobStep step = FirstJobStep(getFirst, settings); step != JobStep::Done && steps.size() < 20;) {
        steps.push_back(step);
        step = NextJobStep(step, step == no ? StepOutcome::No : StepOutcome::Ok, settings);
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
    JobSettings hit = miss;
    hit.cached = true;
    struct Case
    {
        bool getFirst;
        JobSettings settings;
        JobStep no;
        std::vector<JobStep> steps;
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
        {true, hit, S::Done, {S::Acquire, S::ConsultCache, S::CheckInputs, S::Locate, S::Log, S::StartBrowser}},
        {false, hit, S::Done, {S::ConsultCache, S::CheckInputs, S::Locate, S::Log, S::StartBrowser}},
        {true,
         miss,
         S::CheckNetwork,
         {S::Acquire, S::ConsultCache, S::WaitBeforeSend, S::CheckInputs, S::ChooseService, S::CheckNetwork, S::Connect,
          S::Locate, S::Log, S::StartBrowser}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StepsOf(c.getFirst, c.settings, c.no), c.steps) << &c - cases;
    }
}

TEST(JobRules, AStepThatStopsEndsTheJob)
{
    JobSettings settings;
    settings.autoConnect = true;
    settings.startBrowser = true;
    settings.waitMs = 100;
    for (JobStep step : {JobStep::Acquire, JobStep::WaitBeforeSend, JobStep::CheckInputs, JobStep::ChooseService,
                         JobStep::CheckNetwork, JobStep::Connect, JobStep::Locate}) {
        EXPECT_EQ(NextJobStep(step, StepOutcome::Stop, settings), JobStep::Done) << static_cast<int>(step);
    }
}
