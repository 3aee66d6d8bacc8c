#include "acquisition/replace_all.h"

#include <gtest/gtest.h>

TEST(ReplaceAll, ReplacesEveryOccurrenceWithoutSearchingInsertedText)
{
    struct Case
    {
        const wchar_t* text;
        const wchar_t* from;
        const wchar_t* to;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"12,3", L",", L"/", L"12/3"},
        {L"N35:41:12", L":", L".", L"N35.41.12"},
        {L",,a,,", L",", L"/", L"//a//"},
        {L"aaa", L"aa", L"b", L"ba"},   // left to right, no overlap
        {L"a,b", L",", L",,", L"a,,b"}, // `to` contains `from`: no loop
        {L"xyx", L"x", L"xx", L"xxyxx"},
        {L"abcabc", L"abc", L"", L""}, // removal
        {L"", L",", L"/", L""},
        {L"no match", L"$nl", L"35", L"no match"},
        {L"$nl$nl", L"$nl", L"N35", L"N35N35"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, ReplaceAll(c.text, c.from, c.to)) << c.text << " / " << c.from;
    }
    // Many matches with a replacement that grows or shrinks the text.
    EXPECT_EQ(std::wstring(8000, L'x'), ReplaceAll(std::wstring(4000, L'x'), L"x", L"xx"));
    EXPECT_EQ(std::wstring(2000, L'y') + L"z", ReplaceAll(std::wstring(4000, L'x') + L"z", L"xx", L"y"));
}

TEST(ReplaceAll, EmptyPatternLeavesTextUnchanged)
{
    EXPECT_EQ(L"abc", ReplaceAll(L"abc", L"", L"x"));
    EXPECT_EQ(L"", ReplaceAll(L"", L"", L"x"));
}
