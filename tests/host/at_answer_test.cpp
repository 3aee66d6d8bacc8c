#include "acquisition/at_answer.h"

#include <gtest/gtest.h>

TEST(AtAnswer, CompleteOnlyWhenEndingInOkLine)
{
    EXPECT_TRUE(IsAnswerComplete(L"OK\r\n"));
    EXPECT_TRUE(IsAnswerComplete(L"AT@K20\r\r\n\r\n1234,5\r\n\r\nOK\r\n"));
    EXPECT_FALSE(IsAnswerComplete(L""));
    EXPECT_FALSE(IsAnswerComplete(L"K\r\n"));
    EXPECT_FALSE(IsAnswerComplete(L"AT@K20\r\r\n\r\nOK\r"));      // split before the LF
    EXPECT_FALSE(IsAnswerComplete(L"AT@K20\r\r\n\r\nERROR\r\n")); // error reply
    EXPECT_FALSE(IsAnswerComplete(L"OK\r\n\r\n"));
}

TEST(AtAnswer, ClassifiesByEcho)
{
    struct Case
    {
        const wchar_t* answer;
        int kind;
    };
    const Case cases[] = {
        {L"AT@K20\r\r\n\r\nOK\r\n", RESP_K20},
        {L"AT@LBC1\r\r\n\r\nOK\r\n", RESP_LBC1},
        {L"AT@LBC?\r\r\n\r\nOK\r\n", RESP_LBCQ},
        {L"AT@LBC2\r\r\n\r\nOK\r\n", RESP_LBC2},
        {L"AT@K20", RESP_K20},
        {L"AT@LBC", RESP_OTHER},
        {L"AT@K2", RESP_OTHER},
        {L"", RESP_OTHER},
        {L"OK\r\n", RESP_OTHER},
        {L"at@k20\r\r\n", RESP_OTHER},
        {L"\r\nAT@K20", RESP_OTHER},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.kind, ClassifyAnswer(c.answer)) << c.answer;
    }
}

TEST(AtAnswer, CsIdFromDataLines)
{
    struct Case
    {
        const wchar_t* answer;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"AT@K20\r\r\n\r\n1234,5\r\n\r\nOK\r\n", L"1234/5"},
        {L"AT@K20\r\r\n\r\n1,2\r\n3,4\r\n\r\nOK\r\n", L"1/2,3/4"},
        {L"AT@K20\r\r\n\r\nOK\r\n", L""},
        {L"AT@K20\r\r\n", L""},
        {L"AT@K20\r\r\n1,2,3\r\n", L"1/2/3"},
        {L"AT@K20\r\r\n1,2\r\nOK\r\n9,9\r\n", L"1/2"}, // stops at the OK line
        {L"AT@K20\r\r\n1,2\r\n3,4", L"1/2"},           // unterminated last line ignored
        {L"AT@K20X\r\n5\r\nOK\r\n", L"5"},             // any extra character is dropped
        {L"AT@K20\r\r\n OK\r\nOK \r\nOK\r\n", L" OK,OK "},
    };
    for (const Case& c : cases) {
        std::wstring out = L"old";
        EXPECT_TRUE(ParseCsIdAnswer(c.answer, out)) << c.answer;
        EXPECT_EQ(c.expected, out) << c.answer;
    }
}

TEST(AtAnswer, CsIdRejectsOtherEchoAndLeavesOutUnchanged)
{
    const wchar_t* answers[] = {
        L"AT@K20\r\n1,2\r\nOK\r\n", // no extra character: "AT@K2" is compared
        L"AT@K20\r\r",
        L"",
        L"\r\nOK\r\n",
        L"AT@LBC?\r\r\nN1\r\nOK\r\n",
        L"AT@K200\r\r\nOK\r\n",
        L"X\r\n",
    };
    for (const wchar_t* answer : answers) {
        std::wstring out = L"old";
        EXPECT_FALSE(ParseCsIdAnswer(answer, out)) << answer;
        EXPECT_EQ(L"old", out);
    }
}

TEST(AtAnswer, SimpleCoordinates)
{
    struct Case
    {
        const wchar_t* answer;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"AT@LBC?\r\r\n\r\nN35:41:12\r\nE139:45:00\r\n\r\nOK\r\n", L"N35.41.12.000E139.45.00.000/"},
        {L"AT@LBC?\r\r\nN1:2\r\nE3:4\r\nX\r\nOK\r\n", L"N1.2.000E3.4.000/X"},
        {L"AT@LBC?\r\r\nE3\r\nX:1\r\nN1\r\nOK\r\n", L"N1.000E3.000/X:1"},
        // the last line of each kind wins; "-" lines are ignored
        {L"AT@LBC?\r\r\nN1\r\nE2\r\nA\r\nN5\r\nE6\r\nB\r\n-N9\r\nOK\r\n", L"N5.000E6.000/B"},
        {L"AT@LBC?\r\r\nN1\r\nE2\r\nOK\r\nX\r\n", L"N1.000E2.000/"},
    };
    for (const Case& c : cases) {
        std::wstring out = L"old";
        EXPECT_TRUE(ParseSimpleCoordinatesAnswer(c.answer, out)) << c.answer;
        EXPECT_EQ(c.expected, out) << c.answer;
    }
}

TEST(AtAnswer, SimpleCoordinatesFailures)
{
    // A missing coordinate empties `out`.
    const wchar_t* missing[] = {
        L"AT@LBC?\r\r\n\r\n-\r\n-\r\n\r\nOK\r\n",
        L"AT@LBC?\r\r\nN1\r\nX\r\nOK\r\n",
        L"AT@LBC?\r\r\nE1\r\nOK\r\n",
        L"AT@LBC?\r\r\nN1\r\nOK\r\nE2\r\n",
        L"AT@LBC?\r\r\n",
    };
    for (const wchar_t* answer : missing) {
        std::wstring out = L"old";
        EXPECT_FALSE(ParseSimpleCoordinatesAnswer(answer, out)) << answer;
        EXPECT_EQ(L"", out);
    }
    // A wrong echo leaves it alone.
    const wchar_t* wrongEcho[] = {
        L"AT@LBC?\r\nN1\r\nE2\r\nOK\r\n",
        L"AT@LBC1\r\r\nN1\r\nE2\r\nOK\r\n",
        L"AT@LBC?\r\r",
        L"\r\n",
    };
    for (const wchar_t* answer : wrongEcho) {
        std::wstring out = L"old";
        EXPECT_FALSE(ParseSimpleCoordinatesAnswer(answer, out)) << answer;
        EXPECT_EQ(L"old", out);
    }
}

TEST(AtAnswer, EachCompleteAnswerAnnouncedOnce)
{
    const std::wstring answer = L"AT@LBC1\r\r\n\r\nOK\r\n";
    EXPECT_TRUE(ChunkCompletesAnswer(answer, 1));  // the LF of "OK\r\n" came last
    EXPECT_FALSE(ChunkCompletesAnswer(answer, 0)); // a chunk that began with a NUL adds nothing
}
