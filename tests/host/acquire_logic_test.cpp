#include "acquisition/acquire_logic.h"

#include <gtest/gtest.h>

TEST(AcquireLogic, EachAnswerKindLeadsToItsStep)
{
    const std::wstring csId = L"CS-IDの取得に失敗しました。", simple = L"簡易座標の取得に失敗しました。",
                       unknown = L"不明なデータを取得しました";
    struct Case
    {
        int kind;
        bool parsed;
        AnswerAction action;
        std::wstring text;
        unsigned style;
    } cases[] = {
        {RESP_K20, true, AnswerAction::Succeed, csId, 0x10},
        {RESP_K20, false, AnswerAction::Fail, csId, 0x10},
        {RESP_LBC1, false, AnswerAction::SendQuery, simple, 0x10},
        {RESP_LBCQ, true, AnswerAction::Succeed, simple, 0x10},
        {RESP_LBCQ, false, AnswerAction::RepeatFix, simple, 0x10},
        {RESP_LBC2, true, AnswerAction::Fail, unknown, 0},
        {RESP_OTHER, true, AnswerAction::Fail, unknown, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        int retries = 0;
        AnswerDecision d = DecideAnswer(c.kind, c.parsed, retries);
        EXPECT_EQ(c.action, d.action);
        EXPECT_EQ(c.text, d.text);
        EXPECT_EQ(c.style == 0 ? L"確認" : L"Error", std::wstring(d.caption));
        EXPECT_EQ(c.style, d.style);
        EXPECT_EQ(c.action == AnswerAction::RepeatFix ? 1 : 0, retries);
    }
    EXPECT_EQ(simple, AcquireSendFailure(ACQUIRE_SIMPLE_COORDINATES).text);
    EXPECT_EQ(csId, AcquireSendFailure(ACQUIRE_CS_ID).text);
}

TEST(AcquireLogic, FixIsRepeatedFiftyTimesThenFails)
{
    int retries = 0;
    int repeats = 0;
    while (DecideAnswer(RESP_LBCQ, false, retries).action == AnswerAction::RepeatFix) {
        ASSERT_LT(++repeats, 1000);
    }
    EXPECT_EQ(50, repeats);
    EXPECT_EQ(50, retries);
    EXPECT_EQ(AnswerAction::Succeed, DecideAnswer(RESP_LBCQ, true, retries).action);
}

TEST(AcquireLogic, OnlyAnAwaitedAnswerIsHandled)
{
    CAnswerWait wait;
    int retries = 0;
    EXPECT_EQ(AnswerAction::Ignore, wait.Decide(RESP_LBCQ, false, retries).action); // nothing sent yet
    wait.CommandSent();
    EXPECT_EQ(AnswerAction::RepeatFix, wait.Decide(RESP_LBCQ, false, retries).action);
    wait.CommandSent();
    // A failure stops the wait before its box: an answer that arrives while it is open is ignored.
    EXPECT_EQ(AnswerAction::Fail, wait.Decide(RESP_OTHER, false, retries).action);
    EXPECT_EQ(AnswerAction::Ignore, wait.Decide(RESP_LBCQ, false, retries).action);
    EXPECT_EQ(1, retries);
}

TEST(AcquireLogic, ModuleIsOnThePortTheSettingsNameElseCom1)
{
    EXPECT_EQ(L"COM1:", ModuleDeviceName(std::nullopt));
    EXPECT_EQ(L"COM1:", ModuleDeviceName(std::wstring()));
    EXPECT_EQ(L"COM3:", ModuleDeviceName(std::wstring(L"COM3:")));
}
