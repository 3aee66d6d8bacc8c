#include "common/text_format.h"

#include <gtest/gtest.h>

TEST(TextFormat, FormatsWideTextNumbersAndHex)
{
    EXPECT_EQ(L"CreateFile failed: COM1:", Format(L"CreateFile failed: %ls", L"COM1:"));
    EXPECT_EQ(L"WinErr = (0x0000001f)", Format(L"WinErr = (0x%08x)", 31u));
    EXPECT_EQ(L"-1", Format(L"%d", -1));
    EXPECT_EQ(L"3000", Format(L"%ld", 3000L));
}

TEST(TextFormat, CutsAt1023AndEmptyResultKeepsTarget)
{
    std::wstring target = L"old";
    FormatString(target, L"%ls", L"");
    EXPECT_EQ(L"old", target);
    FormatString(target, L"%ls", std::wstring(4000, L'a').c_str());
    EXPECT_EQ(std::wstring(1023, L'a'), target);
}
