#include "guide_check.h"
#include "tests/guide/guide_tables.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

std::string Guide()
{
    std::ifstream file(TAVRIN_SOURCE_DIR "/docs/guide/index.md", std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The guide's line that starts with `start`, its line break included.
std::string LineOf(const std::string& guide, const std::string& start)
{
    const std::size_t at = guide.find("\n" + start);
    EXPECT_NE(at, std::string::npos) << start;
    return at == std::string::npos ? std::string() : guide.substr(at + 1, guide.find('\n', at + 1) - at);
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    return at == std::string::npos || from.empty() ? text : text.replace(at, from.size(), to);
}

// A fault without the guide's line, which a change above it moves.
std::string WithoutLine(const std::string& fault)
{
    const std::size_t colon = fault.find(": ");
    return fault.rfind("guide line ", 0) == 0 && colon != std::string::npos ? fault.substr(colon + 2) : fault;
}

// The faults of `after` that `before` does not have.
std::vector<std::string> NewFaults(const std::vector<std::string>& before, const std::vector<std::string>& after)
{
    std::vector<std::string> old;
    for (const std::string& fault : before) {
        old.push_back(WithoutLine(fault));
    }
    std::vector<std::string> added;
    for (const std::string& fault : after) {
        if (std::find(old.begin(), old.end(), WithoutLine(fault)) == old.end()) {
            added.push_back(fault);
        }
    }
    return added;
}

} // namespace

// Each fault on a line of its own, as a reader of the guide wants them.
static void ExpectNone(const std::vector<std::string>& faults)
{
    for (const std::string& fault : faults) {
        ADD_FAILURE() << fault;
    }
}

TEST(GuideCheck, EveryTextTheProgramShowsHasItsRowAndEveryRowIsAText)
{
    ExpectNone(CompareMessages(Guide(), TextEntries()));
}

TEST(GuideCheck, TheGuidesKeysAreTheProgramsKeys)
{
    ExpectNone(CompareKeys(Guide(), SettingKeys()));
}

TEST(GuideCheck, ARowShowsATextWithItsValuesAsAUserSeesThem)
{
    const struct
    {
        const wchar_t* pattern;
        const wchar_t* row;
        bool shows;
    } rows[] = {
        {L"%1 の GNSS受信機から応答がありません。", L"COM3: の GNSS受信機から応答がありません。", true},
        {L"GNSS受信機が %1 秒以内に測位できませんでした。", L"GNSS受信機が 60 秒以内に測位できませんでした。", true},
        {L"%1 のホスト名「%2」が見つかりません。",
         L"tcp://phone.local:11123 のホスト名「phone.local」が見つかりません。", true},
        {L"設定ファイルを読み込めませんでした。\n%1\n%2",
         L"設定ファイルを読み込めませんでした。\nC:\\地図\\today_maps.ini\nファイルが見つかりません。", true},
        {L"HttpSendRequest() Failed. (0x%1)", L"HttpSendRequest() Failed. (0x00002ee2)", true},
        {L"100%% の %1", L"100% の COM3:", true},
        // The same number stands for the same value.
        {L"%1 と %1", L"COM3: と COM3:", true},
        {L"%1 と %1", L"COM3: と COM4:", false},
        // A value is never empty, and the row shows values, not the entry's placeholders.
        {L"%1 の GNSS受信機から応答がありません。", L" の GNSS受信機から応答がありません。", false},
        // The words themselves must be the entry's, to the last character.
        {L"GNSS受信機が %1 秒以内に測位できませんでした。", L"GNSS受信機が 60 秒以内に測位できませんでした", false},
        {L"送信先のURLを指定してください。", L"送信先の URL を指定してください。", false},
        {L"CS-IDを取得してください。", L"CS-IDを取得してください。\n", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ShowsPattern(row.pattern, row.row), row.shows) << Utf8FromWide(row.row);
    }
}

// Each test below changes one row of the real guide and expects exactly one new fault.

TEST(GuideCheck, FailsOnARemovedRow)
{
    const std::string guide = Guide();
    const std::string changed = Replaced(guide, LineOf(guide, "| `キャッシュを消去しますか？` |"), "");
    EXPECT_THAT(NewFaults(CompareMessages(guide, TextEntries()), CompareMessages(changed, TextEntries())),
                ElementsAre(HasSubstr("\"キャッシュを消去しますか？\" has no row")));
}

TEST(GuideCheck, FailsOnARowThatNamesATextNotInTheTable)
{
    const std::string guide = Guide();
    const std::string row = LineOf(guide, "| `キャッシュを消去しますか？` |");
    const std::string changed = Replaced(guide, row, row + Replaced(row, "消去しますか", "消去してもよろしいですか"));
    EXPECT_THAT(NewFaults(CompareMessages(guide, TextEntries()), CompareMessages(changed, TextEntries())),
                ElementsAre(HasSubstr("\"キャッシュを消去してもよろしいですか？\" is no text of the program")));
}

TEST(GuideCheck, FailsOnAKeyRowWhoseFactoryValueDiffers)
{
    const std::string guide = Guide();
    const std::string row = LineOf(guide, "| `FIXWAIT` |");
    const std::string changed = Replaced(guide, row, Replaced(row, "| `60` |", "| `30` |"));
    EXPECT_THAT(NewFaults(CompareKeys(guide, SettingKeys()), CompareKeys(changed, SettingKeys())),
                ElementsAre(HasSubstr("FIXWAIT's factory value is \"30\", the program's \"60\"")));
}
