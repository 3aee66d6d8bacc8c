#include "acquisition/acquire_logic.h"

#include "common/texts.h"
#include "resources/resource.h"

namespace {

constexpr unsigned kCsIdFailed = IDS_WSIM_CSID_FAILED;
constexpr unsigned kSimpleFailed = IDS_WSIM_SIMPLE_FAILED;
constexpr unsigned kErrorStyle = 0x10; // MB_OK | MB_ICONERROR
constexpr unsigned kNoticeStyle = 0;   // MB_OK, no icon

AnswerDecision Decision(AnswerAction action, unsigned textId)
{
    return AnswerDecision{action, Text(textId), Text(IDS_CAPTION_ERROR), kErrorStyle};
}

} // namespace

std::wstring AcquireProgressText(int mode)
{
    return Text(mode == ACQUIRE_SIMPLE_COORDINATES ? IDS_WSIM_SIMPLE_PROGRESS : IDS_WSIM_CSID_PROGRESS);
}

AnswerDecision AcquireSendFailure(int mode)
{
    return Decision(AnswerAction::Fail, mode == ACQUIRE_SIMPLE_COORDINATES ? kSimpleFailed : kCsIdFailed);
}

AnswerDecision DecideAnswer(int kind, bool parsed, int& retryCount, int retryLimit)
{
    switch (kind) {
    case RESP_K20:
        return Decision(parsed ? AnswerAction::Succeed : AnswerAction::Fail, kCsIdFailed);
    case RESP_LBC1:
        return Decision(AnswerAction::SendQuery, kSimpleFailed);
    case RESP_LBCQ:
        if (parsed) {
            return Decision(AnswerAction::Succeed, kSimpleFailed);
        }
        if (retryCount < retryLimit) {
            ++retryCount;
            return Decision(AnswerAction::RepeatFix, kSimpleFailed);
        }
        return Decision(AnswerAction::Fail, kSimpleFailed);
    default:
        return AnswerDecision{AnswerAction::Fail, Text(IDS_WSIM_UNKNOWN_ANSWER), Text(IDS_CAPTION_CONFIRM),
                              kNoticeStyle};
    }
}

AnswerDecision CAnswerWait::Decide(int kind, bool parsed, int& retryCount, int retryLimit)
{
    if (!m_bAwaiting) {
        return AnswerDecision{AnswerAction::Ignore, std::wstring(), std::wstring(), 0};
    }
    m_bAwaiting = false;
    return DecideAnswer(kind, parsed, retryCount, retryLimit);
}

std::wstring ModuleDeviceName(const std::optional<std::wstring>& port)
{
    return port && !port->empty() ? *port : std::wstring(L"COM1:");
}
