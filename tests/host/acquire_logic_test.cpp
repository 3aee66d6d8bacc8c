#include "acquisition/acquire_logic.h"

#include <gtest/gtest.h>

namespace {

const std::wstring kCsIdFailed = L"CS-IDの取得に失敗しました。";
const std::wstring kSimpleFailed = L"簡易座標の取得に失敗しました。";

} // namespace

TEST(AcquireLogic, EachAnswerKindLeadsToItsStep)
{
    struct Case
    {
        int kind;
        bool parsed;
        AnswerAction action;
        std::wstring text;
        std::wstring caption;
        unsigned style;
    } cases[] = {
        {RESP_K20, true, AnswerAction::Succeed, kCsIdFailed, L"Error", 0x10},
        {RESP_K20, false, AnswerAction::Fail, kCsIdFailed, L"Error", 0x10},
        {RESP_LBC1, false, AnswerAction::SendQuery, kSimpleFailed, L"Error", 0x10},
        {RESP_LBCQ, true, AnswerAction::Succeed, kSimpleFailed, L"Error", 0x10},
        {RESP_LBCQ, false, AnswerAction::RepeatFix, kSimpleFailed, L"Error", 0x10},
        {RESP_LBC2, true, AnswerAction::Fail, L"不明なデータを取得しました", L"確認", 0},
        {RESP_OTHER, true, AnswerAction::Fail, L"不明なデータを取得しました", L"確認", 0},
        {77, false, AnswerAction::Fail, L"不明なデータを取得しました", L"確認", 0},
    };
    for (const Case& c : cases) {
        int retries = 0;
        AnswerDecision d = DecideAnswer(c.kind, c.parsed, retries);
        SCOPED_TRACE(c.kind);
        EXPECT_EQ(c.action, d.action);
        EXPECT_EQ(c.text, d.text);
        EXPECT_EQ(c.caption, d.caption);
        EXPECT_EQ(c.style, d.style);
        EXPECT_EQ(c.action == AnswerAction::RepeatFix ? 1 : 0, retries);
    }
}

TEST(AcquireLogic, FixIsRepeatedFiftyTimesThenFails)
{
    int retries = 0;
    int repeats = 0;
    for (;;) {
        AnswerDecision d = DecideAnswer(RESP_LBCQ, false, retries);
        if (d.action != AnswerAction::RepeatFix) {
            EXPECT_EQ(AnswerAction::Fail, d.action);
            EXPECT_EQ(kSimpleFailed, d.text);
            break;
        }
        ASSERT_LT(++repeats, 1000);
    }
    EXPECT_EQ(50, repeats);
    EXPECT_EQ(50, retries);
    // A success at the limit still counts.
    EXPECT_EQ(AnswerAction::Succeed, DecideAnswer(RESP_LBCQ, true, retries).action);
    // A limit of zero fails at the first miss.
    int none = 0;
    EXPECT_EQ(AnswerAction::Fail, DecideAnswer(RESP_LBCQ, false, none, 0).action);
    EXPECT_EQ(0, none);
}

TEST(AcquireLogic, ModeTextsAndFirstSendFailure)
{
    EXPECT_STREQ(L"W-SIMからCS-IDを取得しています。", AcquireProgressText(ACQUIRE_CS_ID));
    EXPECT_STREQ(L"W-SIMから簡易座標を取得しています。", AcquireProgressText(ACQUIRE_SIMPLE_COORDINATES));
    EXPECT_EQ(kCsIdFailed, AcquireSendFailure(ACQUIRE_CS_ID).text);
    EXPECT_EQ(kSimpleFailed, AcquireSendFailure(ACQUIRE_SIMPLE_COORDINATES).text);
    EXPECT_EQ(AnswerAction::Fail, AcquireSendFailure(ACQUIRE_CS_ID).action);
    EXPECT_EQ(0x10u, AcquireSendFailure(ACQUIRE_SIMPLE_COORDINATES).style);
}
