#include "settings/lookup_cache.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr int64_t kDay = 86400;
constexpr int64_t kT = 1796054400;
using Result = CLookupCache::Result;

std::vector<unsigned char> Utf16(const std::wstring& text)
{
    std::vector<unsigned char> out = {0xFF, 0xFE};
    for (wchar_t c : text) {
        out.push_back(static_cast<unsigned char>(c & 0xFF));
        out.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
    }
    return out;
}

std::vector<CLookupCacheEntry> Entries(const CLookupCache& cache)
{
    return {cache.Entries().begin(), cache.Entries().end()};
}

CLookupCache Parsed(const std::vector<unsigned char>& bytes)
{
    CLookupCache cache;
    cache.Store(L"9/9", L"old", kT); // a parse replaces everything
    cache.Parse(bytes.data(), bytes.size());
    return cache;
}

TEST(LookupCache, KeyIsTheSetOfStations)
{
    const struct
    {
        const wchar_t* csId;
        const wchar_t* key;
    } cases[] = {
        {L"12/3,45/6", L"12/3,45/6"},
        {L"45/6,12/3", L"12/3,45/6"},
        {L"45/6,12/3,45/6", L"12/3,45/6"},
        {L",45/6,,12/3,", L"12/3,45/6"},
        {L"ab/1,AB/1,0a/2", L"0A/2,AB/1"}, // the INI functions ignore case in keys
        {L"", L""},
        {L",,,", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CLookupCache::KeyOf(c.csId), c.key) << c.csId;
    }

    CLookupCache cache;
    EXPECT_FALSE(cache.Store(L",,", L"N1E2", kT)); // no station, no entry
    ASSERT_TRUE(cache.Store(L"45/6,12/3", L"N1E2", kT));
    std::wstring position;
    EXPECT_EQ(cache.Lookup(L"12/3,,45/6,12/3", kT, position), Result::Fresh);
    EXPECT_EQ(position, L"N1E2");
    EXPECT_EQ(cache.Lookup(L"12/3", kT, position), Result::Miss);
    EXPECT_EQ(cache.Lookup(L"", kT, position), Result::Miss);
}

TEST(LookupCache, FreshForThirtyDaysAndUpToADayAhead)
{
    const struct
    {
        int64_t lookedUp, now;
        Result result;
    } cases[] = {
        {kT, kT, Result::Fresh},
        {kT, kT + 30 * kDay, Result::Fresh},
        {kT, kT + 30 * kDay + 1, Result::Stale},
        {kT, kT - kDay, Result::Fresh}, // the clock went back a little
        {kT, kT - kDay - 1, Result::Stale},
        {INT64_MIN, INT64_MAX, Result::Stale},
        {INT64_MAX, INT64_MIN, Result::Stale},
        {INT64_MIN, INT64_MIN + 30 * kDay, Result::Fresh},
    };
    for (const auto& c : cases) {
        CLookupCache cache;
        cache.Store(L"1/1", L"P", c.lookedUp);
        cache.Store(L"2/2", L"Q", c.now);
        std::wstring position;
        EXPECT_EQ(cache.Lookup(L"1/1", c.now, position), c.result) << c.lookedUp << " " << c.now;
        EXPECT_EQ(position, L"P"); // also when stale, for the caller to log
        // Only a fresh hit is a use.
        EXPECT_EQ(cache.Entries().back().m_csId, c.result == Result::Fresh ? L"1/1" : L"2/2");
    }
}

TEST(LookupCache, StaleEntryIsReplacedByANewLookupAndKeptWithoutOne)
{
    CLookupCache cache;
    ASSERT_TRUE(cache.Store(L"12/3,45/6", L"N1E1", kT));
    std::wstring position;
    ASSERT_EQ(cache.Lookup(L"45/6,12/3", kT + 31 * kDay, position), Result::Stale);
    EXPECT_FALSE(cache.Store(L"45/6,12/3", L"", kT + 31 * kDay)); // the lookup gave nothing
    EXPECT_EQ(cache.Lookup(L"12/3,45/6", kT + 31 * kDay, position), Result::Stale);
    ASSERT_TRUE(cache.Store(L"45/6,12/3", L"N2E2", kT + 31 * kDay));
    EXPECT_EQ(cache.Lookup(L"12/3,45/6", kT + 31 * kDay, position), Result::Fresh);
    EXPECT_EQ(position, L"N2E2");
    ASSERT_EQ(cache.Size(), 1u);
    EXPECT_EQ(cache.Entries().front().m_csId, L"45/6,12/3"); // the text as last heard
}

TEST(LookupCache, LeastRecentlyUsedGoesFirstBeyondAThousand)
{
    CLookupCache cache;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(cache.Store(std::to_wstring(i) + L"/1", L"P" + std::to_wstring(i), kT + i));
    }
    std::wstring position;
    ASSERT_EQ(cache.Lookup(L"0/1", kT, position), Result::Fresh); // 0 used: 1 is now the oldest
    ASSERT_TRUE(cache.Store(L"2/1", L"new", kT));                 // a replacement evicts nothing
    ASSERT_EQ(cache.Size(), 1000u);
    ASSERT_TRUE(cache.Store(L"1000/1", L"P1000", kT));
    ASSERT_TRUE(cache.Store(L"1001/1", L"P1001", kT));
    EXPECT_EQ(cache.Size(), 1000u);
    for (const auto& c : {std::make_pair(L"1/1", Result::Miss), std::make_pair(L"3/1", Result::Miss),
                          std::make_pair(L"0/1", Result::Fresh), std::make_pair(L"2/1", Result::Fresh),
                          std::make_pair(L"4/1", Result::Fresh), std::make_pair(L"1001/1", Result::Fresh)}) {
        EXPECT_EQ(cache.Lookup(c.first, kT, position), c.second) << c.first;
    }
    cache.Clear();
    EXPECT_EQ(cache.Size(), 0u);
    EXPECT_EQ(cache.Lookup(L"0/1", kT, position), Result::Miss);
}

TEST(LookupCache, RefusesTextsTheIniFunctionsWouldChange)
{
    const std::wstring longest(CLookupCache::kMaxTextChars, L'1');
    const struct
    {
        std::wstring csId, position;
        bool stored;
    } cases[] = {
        {L"12/3,45/6", L"N34.41.10.250E135.30.05.500", true},
        {longest, L"!#$%&()*+-./:<>?@\\^_`{|}~", true},
        {longest + L"1", L"P", false},
        {L"12/3", L"", false},
        {L"12/3", std::wstring(CLookupCache::kMaxTextChars + 1, L'P'), false},
        {L" 12/3", L"P", false},
        {L"12/3", L"N1 E2", false},
        {L"12/3\t", L"P", false},
        {L"12/3", L"N1\r\nE2", false},
        {L"12/3=4", L"P", false},
        {L"12/3", L"a=b", false},
        {L";12/3", L"P", false},
        {L"12/3", L"N1;E2", false},
        {L"[12/3]", L"P", false},
        {L"\"12/3\"", L"P", false},
        {L"12/3", L"'P'", false},
        {L"12/3", L"\x7F", false},
        {L"12/3", L"北", false},
        {L"１２/3", L"P", false},
    };
    for (const auto& c : cases) {
        CLookupCache cache;
        EXPECT_EQ(cache.Store(c.csId, c.position, kT), c.stored) << c.csId << " " << c.position;
        EXPECT_EQ(cache.Size(), c.stored ? 1u : 0u);
    }
}

TEST(LookupCache, ParseSkipsDamagedLinesAndLaterDuplicates)
{
    const struct
    {
        const char* name;
        std::wstring lines; // after the header
        std::vector<std::wstring> csIds;
    } cases[] = {
        {"good", L"12/3,45/6=1796054400;N1E2;45/6,12/3\r\n2/2=-5;P;2/2\r\n", {L"45/6,12/3", L"2/2"}},
        {"bad times",
         L"1/1=;P;1/1\r\n2/2=x;P;2/2\r\n3/3=1.5;P;3/3\r\n4/4=+1;P;4/4\r\n5/5=9223372036854775808;P;5/5\r\n"
         L"6/6=-9223372036854775808;P;6/6\r\n",
         {L"6/6"}},
        {"fields", L"1/1=1;P\r\n2/2=1\r\n3/3=1;P;3/3;x\r\n4/4=1;;4/4\r\n5/5=1;P;\r\n6/6=1;P;6/6\r\n", {L"6/6"}},
        {"key not the text's",
         L"1/1=1;P;2/2\r\n2/2,1/1=1;P;1/1,2/2\r\n3/3 =1;P;3/3\r\nab/1=1;P;ab/1\r\n1/1,2/2=1;P;2/2,1/1\r\n",
         {L"2/2,1/1"}},
        {"unstorable", L"1/1=1;P Q;1/1\r\n2/2=1;\"P\";2/2\r\n3/3=1;P;3/3\r\n", {L"3/3"}},
        {"first of a key", L"1/1=1;first;1/1\r\n1/1=2;second;1/1\r\n", {L"1/1"}},
        // The INI functions trim keys and ignore their case: a damaged first line hides the rest.
        {"damaged first", L"1/1=bad\r\n1/1=1;P;1/1\r\n AB/1=bad\r\nAB/1=1;P;AB/1\r\n", {}},
        {"without crlf", L"1/1=1;P;1/1\r\n2/2=1;P;2/2", {L"1/1"}},
        {"comments and blanks", L"; note\r\n\r\n;1/1=1;P;1/1\r\n2/2=1;P;2/2\r\n", {L"2/2"}},
    };
    for (const auto& c : cases) {
        std::vector<std::wstring> csIds;
        const CLookupCache cache = Parsed(Utf16(L"[cache]\r\n" + c.lines));
        for (const auto& entry : cache.Entries()) {
            csIds.push_back(entry.m_csId);
        }
        EXPECT_EQ(csIds, c.csIds) << c.name;
    }
    EXPECT_EQ(Parsed(Utf16(L"[cache]\r\n12/3=1;N1E2;12/3\r\n")).Entries().front(),
              (CLookupCacheEntry{L"12/3", L"12/3", L"N1E2", 1}));
}

TEST(LookupCache, FilesOfAnotherFormOrTooLargeGiveAnEmptyCache)
{
    std::vector<unsigned char> huge = Utf16(L"[cache]\r\n1/1=1;P;1/1\r\n");
    huge.resize(CLookupCache::kMaxFileBytes + 1, 0);
    std::vector<unsigned char> limit = huge;
    limit.resize(CLookupCache::kMaxFileBytes);
    const std::vector<unsigned char> other[] = {
        {},
        {0xFF, 0xFE},
        Utf16(L"[tavrin]\r\n1/1=1;P;1/1\r\n"),
        Utf16(L"[cache]\n1/1=1;P;1/1\n"),
        {'[', 'c', 'a', 'c', 'h', 'e', ']', '\r', '\n', '1',  '/',
         '1', '=', '1', ';', 'P', ';', '1', '/',  '1',  '\r', '\n'},
        huge,
    };
    for (const auto& bytes : other) {
        EXPECT_EQ(Parsed(bytes).Size(), 0u) << bytes.size();
    }
    EXPECT_EQ(Parsed(limit).Size(), 1u);
}

TEST(LookupCache, ParseKeepsTheLastThousandOfTheFile)
{
    std::wstring text = L"[cache]\r\n";
    for (int i = 0; i < 1005; ++i) {
        const std::wstring csId = std::to_wstring(i) + L"/1";
        text += csId + L"=" + std::to_wstring(i) + L";P;" + csId + L"\r\n";
    }
    const CLookupCache cache = Parsed(Utf16(text));
    ASSERT_EQ(cache.Size(), 1000u);
    EXPECT_EQ(cache.Entries().front().m_csId, L"5/1");
    EXPECT_EQ(cache.Entries().back().m_csId, L"1004/1");
}

TEST(LookupCache, SerializesInUseOrderAndReadsBackTheSame)
{
    CLookupCache cache;
    cache.Store(L"45/6,12/3", L"N34.41.10.250E135.30.05.500", kT);
    cache.Store(L"7/7", L"N1E1", -1);
    cache.Store(L"ff/1,8/8,ff/1", L"P", INT64_MIN);
    std::wstring position;
    cache.Lookup(L"12/3,45/6", kT, position);
    const std::vector<unsigned char> bytes = cache.Serialize();
    EXPECT_EQ(bytes, Utf16(L"[cache]\r\n7/7=-1;N1E1;7/7\r\n8/8,FF/1=-9223372036854775808;P;ff/1,8/8,ff/1\r\n"
                           L"12/3,45/6=1796054400;N34.41.10.250E135.30.05.500;45/6,12/3\r\n"));
    EXPECT_EQ(Entries(Parsed(bytes)), Entries(cache));

    // A full cache of the longest texts still loads.
    CLookupCache full;
    const std::wstring stations(CLookupCache::kMaxTextChars - 6, L'S');
    const std::wstring longPosition(CLookupCache::kMaxTextChars, L'P');
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(full.Store(std::to_wstring(10000 + i) + L"," + stations, longPosition, INT64_MIN));
    }
    EXPECT_EQ(Entries(Parsed(full.Serialize())), Entries(full));
}

TEST(LookupCache, SaveReplacesTheFileOrKeepsTheOldOne)
{
    CMemoryFileStore files;
    CLookupCache cache;
    cache.Store(L"1/1", L"P", kT);
    ASSERT_TRUE(cache.Save(files, L"cache.ini"));
    const auto saved = files.m_files;
    cache.Clear();
    files.m_failWrites = true;
    EXPECT_FALSE(cache.Save(files, L"cache.ini"));
    EXPECT_EQ(files.m_files, saved);

    CLookupCache loaded;
    loaded.Load(files, L"cache.ini");
    EXPECT_EQ(loaded.Size(), 1u);
    files.m_unreadable.insert(L"cache.ini");
    for (const wchar_t* path : {L"cache.ini", L"missing.ini"}) {
        loaded.Store(L"2/2", L"Q", kT);
        loaded.Load(files, path);
        EXPECT_EQ(loaded.Size(), 0u);
    }
}

} // namespace
