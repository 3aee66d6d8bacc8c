#include "ui/job_rules.h"

JobStep FirstJobStep(bool getFirst, const JobSettings& settings)
{
    if (getFirst) {
        return JobStep::Acquire;
    }
    return UsesCache(settings) ? JobStep::ConsultCache : JobStep::CheckInputs;
}

JobStep NextJobStep(JobStep done, StepOutcome outcome, const JobSettings& settings, const SendJob& job)
{
    if (outcome == StepOutcome::Failed || outcome == StepOutcome::Left) {
        return JobStep::Done;
    }
    const bool cached = job.Cached();
    switch (done) {
    case JobStep::Acquire:
        if (UsesCache(settings)) {
            return JobStep::ConsultCache;
        }
        return settings.waitMs != 0 ? JobStep::WaitBeforeSend : JobStep::CheckInputs;
    case JobStep::ConsultCache:
        // The wait comes before a connection and a lookup; a position from the cache needs neither.
        return settings.waitMs != 0 && !cached ? JobStep::WaitBeforeSend : JobStep::CheckInputs;
    case JobStep::WaitBeforeSend:
        return JobStep::CheckInputs;
    case JobStep::CheckInputs:
        if (cached) {
            return JobStep::Locate;
        }
        // Coordinates and fixes need the service only to connect for its network.
        return !settings.LocalPosition() || settings.autoConnect ? JobStep::ChooseService : JobStep::Locate;
    case JobStep::ChooseService:
        return settings.autoConnect ? JobStep::CheckNetwork : JobStep::Locate;
    case JobStep::CheckNetwork:
        return outcome == StepOutcome::Ok ? JobStep::Locate : JobStep::Connect;
    case JobStep::Connect:
        return JobStep::Locate;
    case JobStep::Locate:
        return JobStep::Log;
    case JobStep::Log:
        return settings.startBrowser ? JobStep::StartBrowser : JobStep::Done;
    case JobStep::StartBrowser:
    case JobStep::Done:
        break;
    }
    return JobStep::Done;
}

PositionSource ChoosePositionSource(const JobSettings& settings, const SendJob& job)
{
    if (settings.module == ModuleKind::Nmea) {
        return PositionSource::Receiver;
    }
    if (settings.simpleCoordinates) {
        return PositionSource::Coordinates;
    }
    return job.Cached() ? PositionSource::Cache : PositionSource::Lookup;
}

bool KeepsLookedUpPosition(const JobSettings& settings, bool isPosition)
{
    return UsesCache(settings) && isPosition;
}
