#include "acquisition/fix_wait.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

struct Tick
{
    std::uint32_t ms;
    unsigned good; // good sentences heard at the current speed
    FixWaitStep step;
    unsigned speed; // the speed to listen at after the tick
};

} // namespace

TEST(FixWait, TheSpeedSearchAndTheFixWaitEndWhereTheyShould)
{
    using S = FixWaitStep;
    struct Case
    {
        const char* name;
        std::optional<unsigned> baud;
        unsigned fixWait;
        std::vector<Tick> ticks;
    };
    const Case cases[] = {
        {"heard at once at 4800", std::nullopt, 60, {{250, 1, S::SpeedFound, 4800}, {59999, 9, S::Listen, 4800}}},
        {"found at 38400 after two silent speeds",
         std::nullopt,
         60,
         {{1999, 0, S::Listen, 4800},
          {2000, 0, S::SwitchSpeed, 9600},
          {3999, 0, S::Listen, 9600},
          {4000, 0, S::SwitchSpeed, 38400},
          {4500, 2, S::SpeedFound, 38400},
          {64000, 9, S::NoFix, 38400}}},
        {"silent at every speed",
         std::nullopt,
         60,
         {{2000, 0, S::SwitchSpeed, 9600},
          {4000, 0, S::SwitchSpeed, 38400},
          {6000, 0, S::SwitchSpeed, 115200},
          {8000, 0, S::NoReceiver, 115200}}},
        // A set speed is given longer, and never changed.
        {"BAUD set, silent",
         9600u,
         60,
         {{2000, 0, S::Listen, 9600}, {4999, 0, S::Listen, 9600}, {5000, 0, S::NoReceiver, 9600}}},
        {"BAUD set, heard late", 9600u, 60, {{4000, 3, S::SpeedFound, 9600}, {60000, 9, S::NoFix, 9600}}},
        // A fix wait shorter than the search never cuts it short: no fix is told before a receiver is heard.
        {"FIXWAIT below the search",
         std::nullopt,
         1,
         {{1500, 0, S::Listen, 4800}, {2100, 4, S::SpeedFound, 4800}, {2200, 4, S::NoFix, 4800}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFixWait wait(c.baud, c.fixWait);
        for (const Tick& tick : c.ticks) {
            EXPECT_EQ(tick.step, wait.OnTick(tick.ms, tick.good)) << tick.ms;
            EXPECT_EQ(tick.speed, wait.Speed()) << tick.ms;
        }
        EXPECT_EQ(!c.baud.has_value(), wait.SearchedSpeed());
    }
}

TEST(FixWait, AFixGoesOnAtOnceOrWithItsEpochsAccuracy)
{
    using S = FixWaitStep;
    NmeaFix open;
    NmeaFix done;
    done.epochDone = true;
    struct Step
    {
        std::uint32_t ms;
        std::optional<NmeaFix> fix;
        S step;
    };
    struct Case
    {
        const char* name;
        bool accuracyWanted;
        unsigned fixWait;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"no $acc: the fix goes on as it comes",
         false,
         60,
         {{250, std::nullopt, S::SpeedFound}, {300, open, S::HandOver}}},
        {"$acc: the fix waits until its epoch is done",
         true,
         60,
         {{250, std::nullopt, S::SpeedFound},
          {300, open, S::Listen},
          {550, open, S::Listen},
          {600, done, S::HandOver}}},
        {"$acc: an epoch that never ends is waited for at most kEpochWaitMs from the first step that saw the fix",
         true,
         60,
         {{250, std::nullopt, S::SpeedFound},
          {400, open, S::Listen},
          {400 + kEpochWaitMs - 1, open, S::Listen},
          {400 + kEpochWaitMs, open, S::HandOver}}},
        // The fix wait's end while the epoch is awaited: the fix is there, so no "no fix" box.
        {"$acc: the fix wait runs out during the epoch",
         true,
         1,
         {{250, std::nullopt, S::SpeedFound},
          {900, open, S::Listen},
          {1000, open, S::Listen},
          {1900, done, S::HandOver}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFixWait wait(std::nullopt, c.fixWait, c.accuracyWanted);
        for (const Step& step : c.steps) {
            EXPECT_EQ(step.step, wait.Step(step.ms, 3, step.fix)) << step.ms;
            // A tick that judges the wait alone never ends one whose fix is in.
            if (step.fix) {
                EXPECT_EQ(S::Listen, wait.OnTick(step.ms + 1, 3)) << step.ms;
            }
        }
    }
}
