#include "common/texts.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>

TEST(Texts, ValuesGoInByNumberWhateverTheirOrderInTheText)
{
    struct Row
    {
        const wchar_t* pattern;
        const wchar_t* expected;
    } rows[] = {
        {L"%1 の %2", L"COM3: の 38400"},
        {L"%2（%1）", L"38400（COM3:）"},
        {L"%1%1", L"COM3:COM3:"},
        {L"100%% で %1", L"100% で COM3:"},
        {L"%3 は無い", L"%3 は無い"},         // a value not given stays visible
        {L"%0 と %a と %", L"%0 と %a と %"}, // not placeholders
        {L"", L""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(FillText(row.pattern, {L"COM3:", L"38400"}), row.expected) << row.pattern;
    }
    // A value is put in as it is: a "%1" inside it is not filled again.
    EXPECT_EQ(FillText(L"%1 %2", {L"%2", L"x"}), L"%2 x");
}

// Every identifier the code can name has its entry, read from the program's own compiled table.
TEST(Texts, EveryIdentifierHasAnEntry)
{
    EXPECT_EQ(Text(IDS_SOFTKEY_EXIT), L"終了");
    std::ifstream header(TAVRIN_SOURCE_DIR "/resources/resource.h");
    ASSERT_TRUE(header.good());
    const std::regex define(R"(^#define (IDS_\w+) (\d+))");
    std::string line;
    int count = 0;
    while (std::getline(header, line)) {
        std::smatch m;
        if (std::regex_search(line, m, define)) {
            ++count;
            EXPECT_FALSE(Text(static_cast<unsigned>(std::stoul(m[2]))).empty()) << m[1];
        }
    }
    EXPECT_GT(count, 20);
}
