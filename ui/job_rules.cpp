#include "ui/job_rules.h"

JobStep FirstJobStep(bool getFirst)
{
    return getFirst ? JobStep::Acquire : JobStep::CheckInputs;
}

JobStep NextJobStep(JobStep done, StepOutcome outcome, const JobSettings& settings)
{
    if (outcome == StepOutcome::Stop) {
        return JobStep::Done;
    }
    switch (done) {
    case JobStep::Acquire:
        return settings.waitMs != 0 ? JobStep::WaitBeforeSend : JobStep::CheckInputs;
    case JobStep::WaitBeforeSend:
        return JobStep::CheckInputs;
    case JobStep::CheckInputs:
        // Coordinates need the service only to connect for its network.
        return !settings.simpleCoordinates || settings.autoConnect ? JobStep::ChooseService : JobStep::Locate;
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
