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

std::vector<unsigned char> Utf8(const std::string& text, bool bom = false)
{
    std::vector<unsigned char> out;
    if (bom) {
        out = {0xEF, 0xBB, 0xBF};
    }
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

TEST(IniFile, ParsesTheLinesOfItsSection)
{
    std::vector<unsigned char> oddLength = Utf16(L"[tavrin]\r\nA=1\r");
    oddLength.push_back('\n'); // the last LF is a single byte
    const struct
    {
        const char* name;
        std::vector<unsigned char> bytes;
        Pairs expected;
        FileFailure failure;
    } cases[] = {
        {"without bom", Utf16(L"[tavrin]\r\nA=1\r\nB=\r\n", false), {{L"A", L"1"}, {L"B", L""}}, FileFailure::None},
        {"lf only", Utf16(L"[tavrin]\nA=1\n"), {{L"A", L"1"}}, FileFailure::None},
        {"other section", Utf16(L"[other]\r\nA=1\r\n"), {}, FileFailure::NoSection},
        {"longer section", Utf16(L"[tavrinx]\r\nA=1\r\n"), {}, FileFailure::NoSection},
        {"section after a line", Utf16(L"A=1\r\n[tavrin]\r\nB=2\r\n"), {}, FileFailure::NoSection},
        {"header only, no crlf", Utf16(L"[tavrin]"), {}, FileFailure::None},
        {"last line without crlf", Utf16(L"[tavrin]\r\nA=1\r\nB=2"), {{L"A", L"1"}, {L"B", L"2"}}, FileFailure::None},
        {"blank lines and spaces around the header",
         Utf16(L"\r\n \t\r\n [tavrin]\t\r\nA=1\r\n"),
         {{L"A", L"1"}},
         FileFailure::None},
        {"verbatim around =", Utf16(L"[tavrin]\r\nURL0 = x \r\n"), {{L"URL0 ", L" x "}}, FileFailure::None},
        {"first = splits", Utf16(L"[tavrin]\r\nF=el=$el&nl=$nl\r\n"), {{L"F", L"el=$el&nl=$nl"}}, FileFailure::None},
        {"no = skipped, empty key kept", Utf16(L"[tavrin]\r\nplain\r\n\r\n=v\r\n"), {{L"", L"v"}}, FileFailure::None},
        {"second header read on",
         Utf16(L"[tavrin]\r\nA=1\r\n[x]\r\nA=2\r\n"),
         {{L"A", L"1"}, {L"A", L"2"}},
         FileFailure::None},
        {"text ends at nul",
         Utf16(std::wstring(L"[tavrin]\r\nA=1\r\n\0B=2\r\n", 22)),
         {{L"A", L"1"}},
         FileFailure::None},
        {"lone cr stays in value", Utf16(L"[tavrin]\r\nA=1\rB=2\r\n"), {{L"A", L"1\rB=2"}}, FileFailure::None},
        {"odd length", oddLength, {{L"A", L"1"}}, FileFailure::None},
        {"bom only", {0xFF, 0xFE}, {}, FileFailure::NoSection},
        {"big endian",
         {0xFE, 0xFF, 0,   '[', 0,   't', 0,    'a', 0,   'v', 0,   'r',  0,
          'i',  0,    'n', 0,   ']', 0,   '\n', 0,   'A', 0,   '=', 0x65, 0xE5},
         {{L"A", L"日"}},
         FileFailure::None},
        // What editors and other programs make.
        {"utf-8",
         Utf8("[tavrin]\nURL0=地図;http://h/;q=$nl\n"),
         {{L"URL0", L"地図;http://h/;q=$nl"}},
         FileFailure::None},
        {"utf-8 bom crlf", Utf8("[tavrin]\r\nA=\xE3\x81\x82\r\n", true), {{L"A", L"あ"}}, FileFailure::None},
        {"utf-8 beyond the bmp as utf-16",
         Utf8("[tavrin]\nA=\xF0\x9F\x97\xBA"),
         {{L"A", L"\xD83D\xDDFA"}},
         FileFailure::None},
        {"ascii", Utf8("[tavrin]\r\nPORT=COM3:"), {{L"PORT", L"COM3:"}}, FileFailure::None},
        {"utf-8 of another program", Utf8("[Settings]\nA=1\n"), {}, FileFailure::NoSection},
        {"empty utf-8 bom", Utf8("", true), {}, FileFailure::NoSection},
        {"blank text", Utf8(" \r\n\r\n"), {}, FileFailure::NoSection},
        {"shift_jis", Utf8("[tavrin]\r\nURL0=\x92\x6E\x90\x7D;u;f\r\n"), {}, FileFailure::UnknownEncoding},
        {"latin-1", Utf8("[tavrin]\nA=caf\xE9\n"), {}, FileFailure::UnknownEncoding},
        {"overlong utf-8", Utf8("[tavrin]\nA=\xC0\xAF\n"), {}, FileFailure::UnknownEncoding},
        {"utf-8 surrogate", Utf8("[tavrin]\nA=\xED\xA0\x80\n"), {}, FileFailure::UnknownEncoding},
        {"utf-8 cut short", Utf8("[tavrin]\nA=\xE3\x81"), {}, FileFailure::UnknownEncoding},
        {"png",
         {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'},
         {},
         FileFailure::NotText},
        {"zip", {'P', 'K', 3, 4, 20, 0, 0, 0, 8, 0}, {}, FileFailure::NotText},
        {"text with a nul inside", Utf8(std::string("GIF89a\0\0[tavrin]\n", 17)), {}, FileFailure::NotText},
    };
    for (const auto& c : cases) {
        CIniFile ini;
        ini.SetValue(L"stale", L"1");
        EXPECT_EQ(ini.Parse(L"tavrin", c.bytes.data(), c.bytes.size()), c.failure) << c.name;
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
    EXPECT_EQ(ini.ReadFailure(), FileFailure::NotFound);
    EXPECT_FALSE(ini.GetValue(L"B", out));
    files.m_files[L"other.ini"] = Utf8("[other]\r\nB=1\r\n");
    EXPECT_FALSE(ini.Read(L"tavrin", L"other.ini"));
    EXPECT_EQ(ini.ReadFailure(), FileFailure::NoSection);
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
