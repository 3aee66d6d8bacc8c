#include "ui/line_breaks.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The text with "|" where a line may start, as NextLineStart finds them one after another.
std::wstring Phrases(std::wstring_view text)
{
    std::wstring shown;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t next = NextLineStart(text, start + 1);
        shown += text.substr(start, next - start);
        if (next < text.size()) {
            shown += L'|';
        }
        start = next;
    }
    return shown;
}

} // namespace

// The program's own progress texts and boxes: a line starts only where a phrase does.
TEST(LineBreaks, TheProgramsTextsBreakBetweenPhrases)
{
    const struct
    {
        const wchar_t* text;
        const wchar_t* phrases;
    } rows[] = {
        {L"モデム（COM3:）から基地局の情報を取得しています。",
         L"モデム（COM3:）|から|基地局の|情報を|取得しています。"},
        {L"W-SIMからCS-IDを取得しています。", L"W-SIMから|CS-IDを|取得しています。"},
        {L"送信の前に 3000 ミリ秒待ちます。", L"送信の|前に |3000 |ミリ秒待ちます。"},
        {L"https://lookup.example.jp/loc1/location へ接続を開始します。",
         L"https://|lookup.example.jp/|loc1/|location |へ|接続を|開始します。"},
        {L"CreateFile failed: COM3:", L"CreateFile |failed: |COM3:"},
        // No line starts with a closing mark, a small kana or a long vowel mark.
        {L"キャッシュを読み込んでいます。", L"キャッシュを|読み込んでいます。"},
        {L"ネットワークを確認しています。", L"ネットワークを|確認しています。"},
        {L"", L""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Phrases(row.text), row.phrases);
    }
}

TEST(LineBreaks, TheWordBreakProcedureFindsTheNearestPhraseOnEitherSide)
{
    const std::wstring_view text = L"基地局の情報を取得";
    // Inside "情報" the nearest line starts are before it and after "を".
    EXPECT_EQ(PreviousLineStart(text, 5), 4u);
    EXPECT_EQ(NextLineStart(text, 5), 7u);
    EXPECT_EQ(PreviousLineStart(text, 4), 0u);
    EXPECT_EQ(NextLineStart(text, 8), text.size());
    EXPECT_EQ(NextLineStart(text, 100), text.size());
    EXPECT_EQ(PreviousLineStart(text, 100), 7u);
}
