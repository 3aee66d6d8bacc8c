#include "network/connection_rules.h"

#include "common/deadline.h"
#include "common/texts.h"
#include "resources/resource.h"

WorkerDecision DecideWorkerStatus(uint32_t status, uint32_t retryCount, uint32_t retryLimit)
{
    using Action = WorkerDecision::Action;
    if (status & kStatusFinalBit) {
        switch (status) {
        case kStatusDisconnected:
            return {Action::End, Text(IDS_CONN_STATUS_DISCONNECTED), 1};
        case kStatusConnectionFailed:
            if (retryCount < retryLimit) {
                return {Action::Retry, std::wstring(), 0};
            }
            return {Action::End, Text(IDS_CONN_STATUS_CONNECTIONFAILED), 0};
        case kStatusConnectionCanceled:
            return {Action::End, Text(IDS_CONN_STATUS_CANCELED), 0};
        default:
            return {Action::End, Text(IDS_CONN_STATUS_NUMBER, {NumberText(static_cast<int32_t>(status))}), 0};
        }
    }
    if (status == kStatusConnected) {
        return {Action::Connected, Text(IDS_CONN_STATUS_CONNECTED), 1};
    }
    if (status & kStatusWaitingBit) {
        return {Action::Wait, Text(IDS_CONN_STATUS_WAITING), 1};
    }
    return {Action::Wait, Text(IDS_CONN_STATUS_NUMBER, {NumberText(static_cast<int32_t>(status))}), 1};
}

int AvailabilityVerdict(int32_t checkResult, uint32_t status)
{
    if (checkResult < 0) {
        return -1;
    }
    return IsUsableTestStatus(status) ? 1 : 0;
}

uint32_t NextDialupCapacity(uint32_t records)
{
    uint32_t next = records + kFirstDialupCapacity;
    return next <= kMaxDialupCapacity ? next : 0;
}

bool KeepWaitingForHangUp(uint32_t answer, uint32_t start, uint32_t now)
{
    // "Invalid handle" means gone; any other failure leaves nothing to watch.
    return answer == 0 && StillWaiting(start, now, kHangUpWaitMs);
}

DialogAction DecideDialogStart(bool disconnectMode, bool dialupExists, int verdict)
{
    if (dialupExists) {
        return disconnectMode ? DialogAction::HangUp : DialogAction::EndDone;
    }
    if (verdict < 0) {
        return DialogAction::ReportCheckFailure;
    }
    if (disconnectMode) {
        // Usable means connected through the Connection Manager: there is something to cut.
        return verdict == 1 ? DialogAction::HangUp : DialogAction::EndDone;
    }
    return verdict == 1 ? DialogAction::EndDone : DialogAction::Connect;
}

bool HangUpCompleted(uint32_t answer, bool lastSeenConnected)
{
    constexpr uint32_t kInvalidHandle = 6; // the connection is gone from the list
    return answer == kInvalidHandle || !lastSeenConnected;
}

DialogAction DecideAfterHangUp(bool linesGone)
{
    return linesGone ? DialogAction::EndDone : DialogAction::ReportLineStillUp;
}

DialogAction DecideOnWorkerMessage(bool disconnectMode, bool connected)
{
    return connected || disconnectMode ? DialogAction::EndDone : DialogAction::EndFailed;
}

std::wstring ConnectionBusyText()
{
    return Text(IDS_CONNECTION_BUSY);
}
