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

struct ParseCase
{
    const char* name;
    std::vector<unsigned char> bytes;
    Pairs expected;
};

TEST(IniFileParse, ReadsOnlyWellFramedLinesOfTheOwnSection)
{
    const ParseCase cases[] = {
        {"with bom", Utf16(L"[tavrin]\r\nA=1\r\nB=2\r\n"), {{L"A", L"1"}, {L"B", L"2"}}},
        {"without bom", Utf16(L"[tavrin]\r\nA=1\r\n", false), {{L"A", L"1"}}},
        {"lf only", Utf16(L"[tavrin]\nA=1\nB=2\n"), {}},
        {"other section", Utf16(L"[other]\r\nA=1\r\n"), {}},
        {"longer section", Utf16(L"[tavrinx]\r\nA=1\r\n"), {}},
        {"section with spaces", Utf16(L"[tavrin] \r\nA=1\r\n"), {}},
        {"no line end at all", Utf16(L"[tavrin]"), {}},
        {"last line without crlf", Utf16(L"[tavrin]\r\nA=1\r\nB=2"), {{L"A", L"1"}}},
        {"verbatim key and value", Utf16(L"[tavrin]\r\nURL0 = x \r\n"), {{L"URL0 ", L" x "}}},
        {"only first = splits", Utf16(L"[tavrin]\r\nF=el=$el&nl=$nl\r\n"), {{L"F", L"el=$el&nl=$nl"}}},
        {"lines without = skipped", Utf16(L"[tavrin]\r\nplain\r\n\r\nA=\r\n"), {{L"A", L""}}},
        {"empty key kept", Utf16(L"[tavrin]\r\n=v\r\n"), {{L"", L"v"}}},
        {"second header read on", Utf16(L"[tavrin]\r\nA=1\r\n[x]\r\nB=2\r\n"), {{L"A", L"1"}, {L"B", L"2"}}},
        {"duplicates kept in order", Utf16(L"[tavrin]\r\nA=1\r\nA=2\r\n"), {{L"A", L"1"}, {L"A", L"2"}}},
        {"text ends at nul", Utf16(std::wstring(L"[tavrin]\r\nA=1\r\n\0B=2\r\n", 22)), {{L"A", L"1"}}},
        {"cr alone is no line end", Utf16(L"[tavrin]\r\nA=1\rB=2\r\n"), {{L"A", L"1\rB=2"}}},
        {"japanese text", Utf16(L"[tavrin]\r\n名前=値\r\n"), {{L"名前", L"値"}}},
        {"bom only", {0xFF, 0xFE}, {}},
    };
    for (const auto& c : cases) {
        CIniFile ini;
        ini.SetValue(L"stale", L"1");
        ini.Parse(L"tavrin", c.bytes.data(), c.bytes.size());
        EXPECT_EQ(ini.Pairs(), c.expected) << c.name;
    }
}

TEST(IniFileParse, OddTrailingByteBecomesTheLowHalfOfAUnit)
{
    // The file's last LF is a single byte; it still ends the line.
    std::vector<unsigned char> bytes = Utf16(L"[x]\r\nA=1\r\nB=2\r");
    bytes.push_back('\n');
    CIniFile ini;
    ini.Parse(L"x", bytes.data(), bytes.size());
    EXPECT_EQ(ini.Pairs(), (Pairs{{L"A", L"1"}, {L"B", L"2"}}));
}

TEST(IniFileStore, LookupsAndAppends)
{
    CIniFile ini;
    EXPECT_FALSE(ini.SetValue(L"", L"x"));
    EXPECT_FALSE(ini.SetValue(nullptr, L"x"));
    EXPECT_FALSE(ini.SetValue(L"K", nullptr));
    EXPECT_TRUE(ini.SetValue(L"AUTOBROWSER", L"TRUE"));
    EXPECT_TRUE(ini.SetValue(L"AUTOBROWSER", L"FALSE"));
    EXPECT_TRUE(ini.SetValue(L"E", L""));
    EXPECT_EQ(ini.Pairs().size(), 3u);

    std::wstring out = L"untouched";
    EXPECT_FALSE(ini.GetValue(L"autobrowser", out));
    EXPECT_FALSE(ini.GetValue(L"AUTOBROWSE", out));
    EXPECT_FALSE(ini.GetValue(L"", out));
    EXPECT_FALSE(ini.GetValue(nullptr, out));
    EXPECT_EQ(out, L"untouched");
    EXPECT_TRUE(ini.GetValue(L"AUTOBROWSER", out));
    EXPECT_EQ(out, L"TRUE");
    EXPECT_TRUE(ini.GetValue(L"E", out));
    EXPECT_EQ(out, L"");
    ini.Clear();
    EXPECT_TRUE(ini.Pairs().empty());
}

TEST(IniFileStore, WriteThenReadKeepsEveryPair)
{
    CMemoryFileStore files;
    CIniFile ini(&files);
    const Pairs pairs = {{L"K", L"v=w;x"}, {L"E", L""}, {L"日本", L"語 テキスト"}, {L"K", L"second"}};
    for (const auto& p : pairs) {
        ini.SetValue(p.first.c_str(), p.second.c_str());
    }
    ASSERT_TRUE(ini.Write(L"tavrin", L"a.ini"));
    const auto& bytes = files.m_files[L"a.ini"];
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);
    EXPECT_EQ(std::vector<unsigned char>(bytes.end() - 4, bytes.end()), (std::vector<unsigned char>{'\r', 0, '\n', 0}));

    CIniFile back(&files);
    ASSERT_TRUE(back.Read(L"tavrin", L"a.ini"));
    EXPECT_EQ(back.Pairs(), pairs);
    // Without a section name there is neither byte order mark nor header.
    EXPECT_EQ(ini.Serialize(L""), Utf16(L"K=v=w;x\r\nE=\r\n日本=語 テキスト\r\nK=second\r\n", false));
}

TEST(IniFileStore, UnreadableFilesGiveFalse)
{
    CMemoryFileStore files;
    files.m_files[L"empty.ini"] = {};
    files.m_files[L"broken.ini"] = Utf16(L"[tavrin]\r\nA=1\r\n");
    files.m_unreadable.insert(L"broken.ini");
    CIniFile ini(&files);
    for (const wchar_t* path : {L"missing.ini", L"empty.ini", L"broken.ini"}) {
        ini.SetValue(L"A", L"x");
        EXPECT_FALSE(ini.Read(L"tavrin", path)) << path;
    }
    EXPECT_FALSE(ini.Read(nullptr, L"broken.ini"));
    EXPECT_FALSE(ini.Read(L"tavrin", nullptr));
    EXPECT_FALSE(ini.Write(L"tavrin", nullptr));
    files.m_failWrites = true;
    EXPECT_FALSE(ini.Write(L"tavrin", L"new.ini"));
    EXPECT_EQ(files.m_files.count(L"new.ini"), 0u);
    EXPECT_FALSE(CIniFile().Write(L"tavrin", L"nowhere.ini"));
}

TEST(SplitPath, SplitsAtTheLastBackslash)
{
    const struct
    {
        std::wstring path, folder, file;
    } cases[] = {
        {L"\\My Documents\\a\\b.ini", L"\\My Documents\\a", L"b.ini"},
        {L"\\default.ini", L"", L"default.ini"},
        {L"default.ini", L"", L"default.ini"},
        {L"\\folder\\", L"\\folder", L""},
        {L"", L"", L""},
        {L"\\" + std::wstring(258, L'x'), L"", std::wstring(258, L'x')},
    };
    for (const auto& c : cases) {
        wchar_t folder[260];
        wchar_t file[260];
        ASSERT_TRUE(SplitPath(c.path.c_str(), folder, file)) << c.path.size();
        EXPECT_EQ(std::wstring(folder), c.folder);
        EXPECT_EQ(std::wstring(file), c.file);
    }
}

TEST(SplitPath, RefusesLongPathsAndLeavesTheBuffers)
{
    wchar_t folder[260] = L"keep";
    wchar_t file[260] = L"keep";
    const std::wstring tooLong = L"\\" + std::wstring(259, L'x');
    EXPECT_FALSE(SplitPath(tooLong.c_str(), folder, file));
    EXPECT_FALSE(SplitPath(nullptr, folder, file));
    EXPECT_EQ(std::wstring(folder), L"keep");
    EXPECT_EQ(std::wstring(file), L"keep");
}

} // namespace
