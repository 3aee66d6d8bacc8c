#include "settings/lookup_cache.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr int64_t kDay = 86400, kT = 1796054400;
using Result = CLookupCache::Result;

std::vector<unsigned char> Utf16(const std::wstring& text)
{
    std::vector<unsigned char> out = {0xFF, 0xFE};
    for (wchar_t c : text) {
        out.insert(out.end(), {static_cast<unsigned char>(c & 0xFF), static_cast<unsigned char>(c >> 8)});
    }
    return out;
}

// The CS-ID texts of a parse, oldest used first; a parse replaces what was there.
std::vector<std::wstring> ParsedTexts(const std::vector<unsigned char>& bytes)
{
    CLookupCache cache;
    cache.Store(L"9/9", L"old", kT);
    cache.Parse(bytes.data(), bytes.size());
    std::vector<std::wstring> texts;
    for (const auto& entry : cache.Entries()) {
        texts.push_back(entry.m_csId);
    }
    return texts;
}

TEST(LookupCache, KeyIsTheSetOfStations)
{
    const wchar_t* cases[][2] = {
        {L"12/3,45/6", L"12/3,45/6"},
        {L"45/6,12/3,45/6", L"12/3,45/6"},
        {L",45/6,,12/3,", L"12/3,45/6"},
        {L"ab/1,AB/1,0a/2", L"0A/2,AB/1"}, // the INI functions ignore case in keys
        {L"", L""},
        {L",,,", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CLookupCache::KeyOf(c[0]), c[1]) << c[0];
    }
}

TEST(LookupCache, FreshForThirtyDaysAndUpToADayAheadAndOnlyFreshHitsAreUses)
{
    const struct
    {
        int64_t lookedUp, now;
        Result result;
    } cases[] = {
        {kT, kT + 30 * kDay, Result::Fresh},   {kT, kT + 30 * kDay + 1, Result::Stale},
        {kT, kT - kDay, Result::Fresh},        {kT, kT - kDay - 1, Result::Stale}, // a clock set back
        {INT64_MIN, INT64_MAX, Result::Stale}, {INT64_MAX, INT64_MIN, Result::Stale},
    };
    for (const auto& c : cases) {
        CLookupCache cache;
        cache.Store(L"1/1", L"P", c.lookedUp);
        cache.Store(L"2/2", L"Q", c.now);
        std::wstring position;
        EXPECT_EQ(cache.Lookup(L"1/1", c.now, position), c.result) << c.lookedUp << " " << c.now;
        EXPECT_EQ(position + cache.Entries().back().m_csId, c.result == Result::Fresh ? L"P1/1" : L"P2/2");
    }
}

TEST(LookupCache, StaleEntryIsReplacedByANewLookupAndKeptWithoutOne)
{
    CLookupCache cache;
    ASSERT_TRUE(cache.Store(L"12/3,45/6", L"N1E1", kT));
    std::wstring position;
    EXPECT_FALSE(cache.Store(L"45/6,12/3", L"", kT + 31 * kDay)); // the new lookup gave nothing
    EXPECT_EQ(cache.Lookup(L"12/3,45/6", kT + 31 * kDay, position), Result::Stale);
    ASSERT_TRUE(cache.Store(L"45/6,12/3", L"N2E2", kT + 31 * kDay));
    EXPECT_EQ(cache.Lookup(L"12/3,45/6", kT + 31 * kDay, position), Result::Fresh);
    EXPECT_EQ(position + L" " + cache.Entries().front().m_csId, L"N2E2 45/6,12/3");
    EXPECT_EQ(cache.Size(), 1u);
}

TEST(LookupCache, LeastRecentlyUsedGoesFirstBeyondAThousand)
{
    CLookupCache cache;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(cache.Store(std::to_wstring(i) + L"/1", L"P", kT + i));
    }
    std::wstring position;
    ASSERT_EQ(cache.Lookup(L"0/1", kT, position), Result::Fresh); // 1 is now the oldest used
    ASSERT_TRUE(cache.Store(L"2/1", L"new", kT));                 // a replacement evicts nothing
    ASSERT_TRUE(cache.Store(L"1000/1", L"P", kT) && cache.Store(L"1001/1", L"P", kT));
    EXPECT_EQ(cache.Size(), 1000u);
    std::wstring hits;
    for (const wchar_t* csId : {L"0/1", L"1/1", L"2/1", L"3/1", L"4/1", L"1001/1"}) {
        hits += cache.Lookup(csId, kT, position) == Result::Fresh ? L'+' : L'-';
    }
    EXPECT_EQ(hits, L"+-+-++");
}

TEST(LookupCache, RefusesTextsTheIniFunctionsWouldChange)
{
    const std::wstring longest(CLookupCache::kMaxTextChars, L'1');
    CLookupCache cache;
    EXPECT_TRUE(cache.Store(longest, L"!#$%&()*+,-./:<>?@\\^_`{|}~", kT));
    EXPECT_FALSE(cache.Store(longest + L"1", L"P", kT));
    EXPECT_FALSE(cache.Store(L",,", L"P", kT)); // no station
    EXPECT_FALSE(cache.Store(L"1/3", L"", kT));
    for (wchar_t c : std::wstring(L" \t=;[]\"'\x7F北")) {
        EXPECT_FALSE(cache.Store(c + std::wstring(L"1/3"), L"P", kT)) << static_cast<int>(c);
        EXPECT_FALSE(cache.Store(L"1/3", L"P" + std::wstring(1, c), kT)) << static_cast<int>(c);
    }
    EXPECT_EQ(cache.Size(), 1u);
}

TEST(LookupCache, ParseSkipsDamagedLinesLaterDuplicatesAndForeignFiles)
{
    std::vector<unsigned char> huge = Utf16(L"[cache]\r\n1/1=1;P;1/1\r\n");
    huge.resize(CLookupCache::kMaxFileBytes + 1, 0);
    const struct
    {
        const char* name;
        std::vector<unsigned char> bytes;
        std::vector<std::wstring> texts;
    } cases[] = {
        {"good", Utf16(L"[cache]\r\n12/3,45/6=1796054400;N1E2;45/6,12/3\r\n2/2=-5;P;2/2\r\n"), {L"45/6,12/3", L"2/2"}},
        {"times",
         Utf16(L"[cache]\r\n1/1=;P;1/1\r\n2/2=x;P;2/2\r\n3/3=+1;P;3/3\r\n4/4=9223372036854775808;P;4/4\r\n"
               L"5/5=-9223372036854775808;P;5/5\r\n"),
         {L"5/5"}},
        {"fields", Utf16(L"[cache]\r\n1/1=1;P\r\n2/2=1;P;2/2;x\r\n3/3=1;;3/3\r\n4/4=1;P;\r\n5/5=1;P Q;5/5\r\n"), {}},
        {"key not the text's", Utf16(L"[cache]\r\n1/1=1;P;2/2\r\n2/2,1/1=1;P;1/1,2/2\r\nab/1=1;P;ab/1\r\n"), {}},
        {"first of a key", Utf16(L"[cache]\r\n1/1=1;first;1/1\r\n1/1=2;second;1/1\r\n"), {L"1/1"}},
        // The INI functions trim keys and ignore their case: a damaged first line hides the rest.
        {"damaged first", Utf16(L"[cache]\r\n1/1=bad\r\n1/1=1;P;1/1\r\n AB/1=x\r\nAB/1=1;P;AB/1\r\n"), {}},
        // Line ends and encodings as the settings file reads them, and as the INI functions do.
        {"last without crlf", Utf16(L"[cache]\r\n; note\r\n1/1=1;P;1/1\r\n2/2=1;P;2/2"), {L"1/1", L"2/2"}},
        {"other section", Utf16(L"[tavrin]\r\n1/1=1;P;1/1\r\n"), {}},
        {"lf only", Utf16(L"[cache]\n1/1=1;P;1/1\n"), {L"1/1"}},
        {"ansi",
         {'[', 'c', 'a', 'c', 'h', 'e', ']', '\r', '\n', '1', '=', '1', ';', 'P', ';', '1', '\r', '\n'},
         {L"1"}},
        {"binary", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0}, {}},
        {"too large", huge, {}},
        {"as large as allowed", std::vector<unsigned char>(huge.begin(), huge.end() - 1), {L"1/1"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParsedTexts(c.bytes), c.texts) << c.name;
    }
    std::wstring text = L"[cache]\r\n";
    for (int i = 0; i < 1002; ++i) {
        text += std::to_wstring(i) + L"/1=1;P;" + std::to_wstring(i) + L"/1\r\n";
    }
    const std::vector<std::wstring> newest = ParsedTexts(Utf16(text));
    EXPECT_EQ(newest.size(), 1000u);
    EXPECT_EQ(newest.front() + L" " + newest.back(), L"2/1 1001/1");
}

TEST(LookupCache, SavesInUseOrderAndLoadsTheSameEntries)
{
    CMemoryFileStore files;
    CLookupCache cache, loaded;
    cache.Store(L"45/6,12/3", L"N34.41.10.250E135.30.05.500", kT);
    cache.Store(L"ff/1,8/8,ff/1", L"P", INT64_MIN);
    std::wstring position;
    cache.Lookup(L"12/3,45/6", kT, position);
    ASSERT_TRUE(cache.Save(files, L"cache.ini"));
    EXPECT_EQ(files.m_files[L"cache.ini"], Utf16(L"[cache]\r\n8/8,FF/1=-9223372036854775808;P;ff/1,8/8,ff/1\r\n"
                                                 L"12/3,45/6=1796054400;N34.41.10.250E135.30.05.500;45/6,12/3\r\n"));
    loaded.Load(files, L"cache.ini");
    EXPECT_EQ(loaded.Entries(), cache.Entries());

    files.m_failWrites = true; // the old file stays
    EXPECT_FALSE(CLookupCache().Save(files, L"cache.ini"));
    loaded.Load(files, L"cache.ini");
    EXPECT_EQ(loaded.Size(), 2u);
    loaded.Load(files, L"missing.ini");
    EXPECT_EQ(loaded.Size(), 0u);

    // A full cache of the longest texts still loads.
    files.m_failWrites = false;
    for (int i = 0; i < 1000; ++i) {
        cache.Store(std::to_wstring(10000 + i) + L"," + std::wstring(CLookupCache::kMaxTextChars - 6, L'S'),
                    std::wstring(CLookupCache::kMaxTextChars, L'P'), INT64_MIN);
    }
    ASSERT_TRUE(cache.Save(files, L"cache.ini"));
    loaded.Load(files, L"cache.ini");
    EXPECT_EQ(loaded.Entries(), cache.Entries());
}

} // namespace
