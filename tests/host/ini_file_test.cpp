#include "settings/ini_file.h"
#include "settings/split_path.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;

std::vector<unsigned char> Utf16(const std::wstring& text, bool bom = true)
{
    std::vector<unsigned char> out;
    if (bom) {
        out = {0xFF, 0xFE};
    }
    for (wchar_t c : text) {
        out.push_back(static_cast<unsigned char>(c & 0xFF));
        out.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
    }
    return out;
}

TEST(IniFile, ParsesOnlyWellFramedLinesOfItsSection)
{
    std::vector<unsigned char> oddLength = Utf16(L"[tavrin]\r\nA=1\r");
    oddLength.push_back('\n'); // the last LF is a single byte
    const struct
    {
        const char* name;
        std::vector<unsigned char> bytes;
        Pairs expected;
    } cases[] = {
        {"without bom", Utf16(L"[tavrin]\r\nA=1\r\nB=\r\n", false), {{L"A", L"1"}, {L"B", L""}}},
        {"lf only", Utf16(L"[tavrin]\nA=1\n"), {}},
        {"other section", Utf16(L"[other]\r\nA=1\r\n"), {}},
        {"longer section", Utf16(L"[tavrinx]\r\nA=1\r\n"), {}},
        {"header only, no crlf", Utf16(L"[tavrin]"), {}},
        {"last line without crlf", Utf16(L"[tavrin]\r\nA=1\r\nB=2"), {{L"A", L"1"}}},
        {"verbatim around =", Utf16(L"[tavrin]\r\nURL0 = x \r\n"), {{L"URL0 ", L" x "}}},
        {"first = splits", Utf16(L"[tavrin]\r\nF=el=$el&nl=$nl\r\n"), {{L"F", L"el=$el&nl=$nl"}}},
        {"no = skipped, empty key kept", Utf16(L"[tavrin]\r\nplain\r\n\r\n=v\r\n"), {{L"", L"v"}}},
        {"second header read on", Utf16(L"[tavrin]\r\nA=1\r\n[x]\r\nA=2\r\n"), {{L"A", L"1"}, {L"A", L"2"}}},
        {"text ends at nul", Utf16(std::wstring(L"[tavrin]\r\nA=1\r\n\0B=2\r\n", 22)), {{L"A", L"1"}}},
        {"lone cr stays in value", Utf16(L"[tavrin]\r\nA=1\rB=2\r\n"), {{L"A", L"1\rB=2"}}},
        {"odd length", oddLength, {{L"A", L"1"}}},
        {"bom only", {0xFF, 0xFE}, {}},
    };
    for (const auto& c : cases) {
        CIniFile ini;
        ini.SetValue(L"stale", L"1");
        ini.Parse(L"tavrin", c.bytes.data(), c.bytes.size());
        EXPECT_EQ(ini.Pairs(), c.expected) << c.name;
    }
}

TEST(IniFile, StoresPairsInOrderAndWritesThemBack)
{
    CMemoryFileStore files;
    CIniFile ini(&files);
    EXPECT_FALSE(ini.SetValue(L"", L"x"));
    EXPECT_FALSE(ini.SetValue(L"K", nullptr));
    const Pairs pairs = {{L"K", L"v=w;x"}, {L"E", L""}, {L"日本", L"語"}, {L"K", L"second"}};
    for (const auto& p : pairs) {
        EXPECT_TRUE(ini.SetValue(p.first.c_str(), p.second.c_str()));
    }
    std::wstring out = L"untouched";
    EXPECT_FALSE(ini.GetValue(L"k", out)); // case-sensitive
    EXPECT_FALSE(ini.GetValue(L"", out));
    EXPECT_EQ(out, L"untouched");
    EXPECT_TRUE(ini.GetValue(L"K", out));
    EXPECT_EQ(out, L"v=w;x"); // the first of repeated keys

    ASSERT_TRUE(ini.Write(L"tavrin", L"a.ini"));
    EXPECT_EQ(files.m_files[L"a.ini"], Utf16(L"[tavrin]\r\nK=v=w;x\r\nE=\r\n日本=語\r\nK=second\r\n"));
    EXPECT_EQ(ini.Serialize(L""), Utf16(L"K=v=w;x\r\nE=\r\n日本=語\r\nK=second\r\n", false));
    CIniFile back(&files);
    ASSERT_TRUE(back.Read(L"tavrin", L"a.ini"));
    EXPECT_EQ(back.Pairs(), pairs);
}

TEST(IniFile, LookupsFollowEveryReplacementOfThePairs)
{
    CIniFile ini;
    std::wstring text = L"[tavrin]\r\n";
    for (int i = 0; i < 10000; ++i) {
        text += L"URL" + std::to_wstring(i) + L"=" + std::to_wstring(i) + L"\r\n";
    }
    text += L"URL0=late\r\n";
    std::vector<unsigned char> big = Utf16(text);
    ini.Parse(L"tavrin", big.data(), big.size());
    std::wstring out;
    ASSERT_TRUE(ini.GetValue(L"URL0", out));
    EXPECT_EQ(out, L"0"); // first wins over a later repeat
    ASSERT_TRUE(ini.GetValue(L"URL9999", out));
    EXPECT_EQ(out, L"9999");
    EXPECT_EQ(ini.Pairs().back(), std::make_pair(std::wstring(L"URL0"), std::wstring(L"late")));
    EXPECT_EQ(ini.Serialize(L"tavrin"), big);

    // Whatever replaces the pairs takes the old keys out of the lookup too.
    std::vector<unsigned char> small = Utf16(L"[tavrin]\r\nB=1\r\n");
    ini.Parse(L"tavrin", small.data(), small.size());
    out = L"untouched";
    EXPECT_FALSE(ini.GetValue(L"URL0", out));
    EXPECT_TRUE(ini.GetValue(L"B", out));
    ini.Clear();
    EXPECT_FALSE(ini.GetValue(L"B", out));
    EXPECT_TRUE(ini.SetValue(L"B", L"2"));
    EXPECT_TRUE(ini.SetValue(L"B", L"3"));
    EXPECT_TRUE(ini.GetValue(L"B", out));
    EXPECT_EQ(out, L"2");
    CMemoryFileStore files;
    ini.SetFileStore(&files);
    EXPECT_FALSE(ini.Read(L"tavrin", L"missing.ini"));
    EXPECT_FALSE(ini.GetValue(L"B", out));
}

TEST(SplitPath, SplitsAtTheLastBackslashWithinTheLimit)
{
    const struct
    {
        std::wstring path, folder, file;
    } cases[] = {
        {L"\\My Documents\\a\\b.ini", L"\\My Documents\\a", L"b.ini"},
        {L"\\default.ini", L"", L"default.ini"},
        {L"default.ini", L"", L"default.ini"},
        {L"\\" + std::wstring(258, L'x'), L"", std::wstring(258, L'x')},
    };
    for (const auto& c : cases) {
        wchar_t folder[260];
        wchar_t file[260];
        ASSERT_TRUE(SplitPath(c.path.c_str(), folder, file)) << c.path.size();
        EXPECT_EQ(std::wstring(folder), c.folder);
        EXPECT_EQ(std::wstring(file), c.file);
    }
    wchar_t folder[260] = L"keep";
    wchar_t file[260] = L"keep";
    EXPECT_FALSE(SplitPath((L"\\" + std::wstring(259, L'x')).c_str(), folder, file));
    EXPECT_FALSE(SplitPath(nullptr, folder, file));
    EXPECT_EQ(std::wstring(folder) + file, L"keepkeep");
}

} // namespace
