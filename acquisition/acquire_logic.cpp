#include "acquisition/acquire_logic.h"

namespace {

const wchar_t kCsIdFailed[] = L"CS-IDの取得に失敗しました。";
const wchar_t kSimpleFailed[] = L"簡易座標の取得に失敗しました。";
const wchar_t kUnknownAnswer[] = L"不明なデータを取得しました";
const wchar_t kErrorCaption[] = L"Error";
const wchar_t kNoticeCaption[] = L"確認";
constexpr unsigned kErrorStyle = 0x10; // MB_OK | MB_ICONERROR
constexpr unsigned kNoticeStyle = 0;   // MB_OK, no icon

AnswerDecision Decision(AnswerAction action, const wchar_t* text)
{
    return AnswerDecision{action, text, kErrorCaption, kErrorStyle};
}

} // namespace

const wchar_t* AcquireProgressText(int mode)
{
    return mode == ACQUIRE_SIMPLE_COORDINATES ? L"W-SIMから簡易座標を取得しています。"
                                              : L"W-SIMからCS-IDを取得しています。";
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
        return AnswerDecision{AnswerAction::Fail, kUnknownAnswer, kNoticeCaption, kNoticeStyle};
    }
}

AnswerDecision CAnswerWait::Decide(int kind, bool parsed, int& retryCount, int retryLimit)
{
    if (!m_bAwaiting) {
        return AnswerDecision{AnswerAction::Ignore, nullptr, nullptr, 0};
    }
    m_bAwaiting = false;
    return DecideAnswer(kind, parsed, retryCount, retryLimit);
}

std::wstring ModuleDeviceName(const std::optional<std::wstring>& port)
{
    return port && !port->empty() ? *port : std::wstring(L"COM1:");
}
