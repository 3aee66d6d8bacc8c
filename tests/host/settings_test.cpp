#include "settings/memory_settings_host.h"
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

// Controls that behave as the main window's do: unsorted combo boxes, check boxes,
// edits that hand out at most the characters asked for.
class CFakeControls : public ISettingsControls
{
public:
    struct Combo
    {
        std::vector<std::wstring> items;
        int selection = -1;
    };
    std::map<int, Combo> m_combos;
    std::map<int, int> m_checks;
    std::map<int, std::wstring> m_texts;
    std::map<int, int> m_carets;

    void ResetCombo(int id) override { m_combos[id] = Combo(); }
    void AddComboString(int id, const std::wstring& text) override { m_combos[id].items.push_back(text); }
    void SetComboSelection(int id, int index) override
    {
        Combo& combo = m_combos[id];
        combo.selection = index >= 0 && static_cast<size_t>(index) < combo.items.size() ? index : -1;
    }
    int GetComboSelection(int id) override { return m_combos[id].selection; }
    void SetCheck(int id, int state) override { m_checks[id] = state; }
    int GetCheck(int id) override { return m_checks[id]; }
    void SetText(int id, const std::wstring& text) override { m_texts[id] = text; }
    std::wstring GetText(int id, size_t maxChars) override { return m_texts[id].substr(0, maxChars); }
    void SetCaret(int id, int position) override { m_carets[id] = position; }
};

constexpr int kUrlCombo = 1029, kBrowserCombo = 1030, kWait = 1020, kLog = 1014;
constexpr int kLocateEasy = 1018, kStartupAll = 1006, kAutoConnect = 1004, kAutoBrowser = 1005;

std::vector<unsigned char> Utf16File(const std::wstring& text)
{
    std::vector<unsigned char> out = {0xFF, 0xFE};
    for (wchar_t c : text) {
        out.push_back(static_cast<unsigned char>(c & 0xFF));
        out.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
    }
    return out;
}

class SettingsTest : public ::testing::Test
{
protected:
    SettingsTest() : settings(&host) { host.m_controls = &controls; }

    void PutFile(const std::wstring& path, const std::wstring& text) { host.m_files.m_files[path] = Utf16File(text); }

    // The record's stored fields, for comparing a whole record at once.
    struct Snapshot
    {
        std::vector<CListEntry> urls, browsers;
        int urlIndex, browserIndex, flags[4];
        int32_t connectWait, browserWait;
        std::wstring log, path;
        bool operator==(const Snapshot& o) const
        {
            return urls == o.urls && browsers == o.browsers && urlIndex == o.urlIndex &&
                   browserIndex == o.browserIndex && std::equal(flags, flags + 4, o.flags) &&
                   connectWait == o.connectWait && browserWait == o.browserWait && log == o.log && path == o.path;
        }
    };
    Snapshot Take() const { return Take(settings); }
    static Snapshot Take(const CSettings& s)
    {
        return {s.m_urlList,
                s.m_browserList,
                s.m_nUrlIndex,
                s.m_nBrowserIndex,
                {s.m_bLocateEasy, s.m_bStartupAll, s.m_bAutoConnect, s.m_bAutoBrowser},
                s.m_nConnectWait,
                s.m_nBrowserWait,
                s.m_strLog,
                s.m_szIniPath};
    }

    CFakeControls controls;
    CMemorySettingsHost host;
    CSettings settings;
};

TEST_F(SettingsTest, FreshRecordShowsTheFactoryPresets)
{
    settings.Exchange(true);
    const auto& urls = controls.m_combos[kUrlCombo];
    EXPECT_EQ(urls.items, (std::vector<std::wstring>{L"ORVEL 提供", L"Brannikのホームページ 提供",
                                                     L"Sorrimのぶろぐ 提供", L"Yahoo! Map", L"Mapion"}));
    EXPECT_EQ(urls.selection, 0);
    EXPECT_EQ(controls.m_combos[kBrowserCombo].items, (std::vector<std::wstring>{L"InternetExplorer", L"Opera"}));
    EXPECT_EQ(controls.m_combos[kBrowserCombo].selection, 0);
    EXPECT_EQ(controls.m_checks,
              (std::map<int, int>{{kLocateEasy, 0}, {kStartupAll, 0}, {kAutoConnect, 0}, {kAutoBrowser, 1}}));
    EXPECT_EQ(controls.m_texts[kWait], L"3000");
    EXPECT_TRUE(controls.m_carets.empty()); // empty status text: caret left alone
    for (const auto& entry : settings.m_urlList) {
        EXPECT_EQ(entry.m_names, settings.m_urlColumns);
        EXPECT_EQ(entry.Value(1).rfind(L"http://", 0), 0u);
    }
}

TEST_F(SettingsTest, SavedFactoryPresetsMatchTheReferenceFileByteForByte)
{
    settings.Exchange(true);
    ASSERT_TRUE(settings.Save(L"\\out.ini"));
    std::ifstream golden(TAVRIN_TEST_DATA_DIR "/factory_settings.ini", std::ios::binary);
    ASSERT_TRUE(golden.good());
    std::vector<unsigned char> expected((std::istreambuf_iterator<char>(golden)), std::istreambuf_iterator<char>());
    EXPECT_EQ(host.m_files.m_files[L"\\out.ini"], expected);
    EXPECT_STREQ(settings.m_szIniPath, L"\\out.ini");
}

TEST_F(SettingsTest, SaveThenLoadRestoresTheRecord)
{
    settings.m_urlList.resize(2);
    settings.m_urlList[1] = CListEntry();
    for (const wchar_t* name : {L"名前", L"URL", L"書式"}) {
        settings.m_urlList[1].Add(name, L"");
    }
    settings.m_urlList[1].m_values = {L"", L"http://h/p", L"a=$el&b=$nl"}; // empty title
    settings.m_browserList.push_back(settings.m_browserList[0]);
    settings.m_browserList[2].m_values[0] = L"Third";
    settings.m_nUrlIndex = 1;
    settings.m_nBrowserIndex = 2;
    settings.m_bLocateEasy = 1;
    settings.m_bStartupAll = 1;
    settings.m_bAutoConnect = 1;
    settings.m_bAutoBrowser = 0;
    settings.m_nConnectWait = -250;
    settings.m_nBrowserWait = 123456;
    settings.Exchange(true);
    ASSERT_TRUE(settings.Save(L"\\a.ini"));
    const Snapshot saved = Take();

    CSettings other(&host);
    ASSERT_TRUE(other.Load(L"\\a.ini"));
    EXPECT_EQ(Take(other), saved);
    EXPECT_EQ(other.m_urlList[1].Value(0), L"");
}

struct LoadCase
{
    const char* name;
    std::wstring body; // after the header line
    size_t urls;
    int urlIndex;
    std::vector<std::wstring> firstUrl; // values of URL entry 0, when there is one
    int locateEasy, autoBrowser;
    int32_t connectWait;
};

TEST_F(SettingsTest, LoadMapsKeysToTheRecord)
{
    const LoadCase cases[] = {
        {"gap ends the list", L"URL0=a;u;f\r\nURL1=b\r\nURL3=d\r\n", 2, 0, {L"a", L"u", L"f"}, 0, 0, 0},
        {"space before = is another key", L"URL0 =a;u;f\r\nURL1=b\r\n", 0, -1, {}, 0, 0, 0},
        {"too few fields", L"URL0=a;u\r\n", 1, 0, {L"a", L"u", L""}, 0, 0, 0},
        {"too many fields", L"URL0=a;u;f;g\r\n", 1, 0, {L"a", L"u", L"f"}, 0, 0, 0},
        {"empty title", L"URL0=;u;f\r\n", 1, 0, {L"", L"u", L"f"}, 0, 0, 0},
        {"empty line value", L"URL0=\r\n", 1, 0, {L"", L"", L""}, 0, 0, 0},
        {"format keeps =", L"URL0=Y;u;el=$el&nl=$nl\r\n", 1, 0, {L"Y", L"u", L"el=$el&nl=$nl"}, 0, 0, 0},
        {"index missing", L"URL0=a\r\nURL1=b\r\nURL2=c\r\n", 3, 0, {L"a", L"", L""}, 0, 0, 0},
        {"negative index", L"URLINDEX=-1\r\nURL0=a\r\n", 1, 0, {L"a", L"", L""}, 0, 0, 0},
        {"index beyond the list", L"URLINDEX=7\r\nURL0=a\r\nURL1=b\r\n", 2, 7, {L"a", L"", L""}, 0, 0, 0},
        {"index without entries", L"URLINDEX=3\r\n", 0, 3, {}, 0, 0, 0},
        {"first duplicate decides", L"AUTOBROWSER=TRUE\r\nAUTOBROWSER=FALSE\r\n", 0, -1, {}, 0, 1, 0},
        {"flags are case-sensitive", L"LOCATEEASY=true\r\nAUTOBROWSER=1\r\n", 0, -1, {}, 0, 0, 0},
        {"flag with spaces", L"LOCATEEASY= TRUE\r\nAUTOBROWSER=TRUE\r\n", 0, -1, {}, 0, 1, 0},
        {"wait with text after digits", L"CONNECTWAIT=  +1500ms\r\n", 0, -1, {}, 0, 0, 1500},
        {"wait without digits", L"CONNECTWAIT=abc\r\n", 0, -1, {}, 0, 0, 0},
        {"huge wait saturates", L"CONNECTWAIT=99999999999999999999\r\n", 0, -1, {}, 0, 0, 2147483647},
        {"huge negative wait", L"CONNECTWAIT=-99999999999999999999\r\n", 0, -1, {}, 0, 0, INT32_MIN},
        {"last line without crlf", L"LOCATEEASY=TRUE\r\nAUTOBROWSER=TRUE", 0, -1, {}, 1, 0, 0},
    };
    for (const auto& c : cases) {
        CSettings settings(&host);
        settings.m_bLocateEasy = settings.m_bAutoBrowser = 1;
        PutFile(L"c.ini", L"[tavrin]\r\n" + c.body);
        ASSERT_TRUE(settings.Load(L"c.ini")) << c.name;
        EXPECT_EQ(settings.m_urlList.size(), c.urls) << c.name;
        EXPECT_EQ(settings.m_nUrlIndex, c.urlIndex) << c.name;
        if (!c.firstUrl.empty()) {
            ASSERT_FALSE(settings.m_urlList.empty()) << c.name;
            EXPECT_EQ(settings.m_urlList[0].m_values, c.firstUrl) << c.name;
            EXPECT_EQ(settings.m_urlList[0].m_names, settings.m_urlColumns) << c.name;
        }
        EXPECT_EQ(settings.m_bLocateEasy, c.locateEasy) << c.name;
        EXPECT_EQ(settings.m_bAutoBrowser, c.autoBrowser) << c.name;
        EXPECT_EQ(settings.m_nConnectWait, c.connectWait) << c.name;
        EXPECT_TRUE(settings.m_browserList.empty()) << c.name;
        EXPECT_EQ(settings.m_nBrowserIndex, -1) << c.name;
    }
}

TEST_F(SettingsTest, IndexBeyondTheListShowsNoSelectionAndReadsBackAsNone)
{
    PutFile(L"c.ini", L"[tavrin]\r\nURLINDEX=7\r\nURL0=a;u;f\r\nURL1=b;v;g\r\n");
    ASSERT_TRUE(settings.Load(L"c.ini"));
    EXPECT_EQ(controls.m_combos[kUrlCombo].selection, -1);
    std::wstring url = L"before";
    EXPECT_FALSE(settings.GetSelectedUrl(url));
    EXPECT_EQ(url, L"before");
    EXPECT_EQ(settings.m_nUrlIndex, -1);
}

TEST_F(SettingsTest, FileWithoutUsablePairsLoadsAsAnEmptySet)
{
    const std::vector<unsigned char> files[] = {
        Utf16File(L"[tavrin]\nURL0=a;u;f\nAUTOBROWSER=TRUE\n"),
        Utf16File(L"[other]\r\nURL0=a;u;f\r\nAUTOBROWSER=TRUE\r\n"),
        {'[', 't', 'a', 'v', 'r', 'i', 'n', ']', '\r', '\n', 'U', 'R', 'L', '0', '=', 'a', '\r', '\n'}, // ANSI text
    };
    for (const auto& bytes : files) {
        CSettings settings(&host);
        settings.m_bAutoConnect = 1;
        settings.Exchange(true);
        host.m_files.m_files[L"\\e.ini"] = bytes;
        ASSERT_TRUE(settings.Load(L"\\e.ini"));
        EXPECT_TRUE(settings.m_urlList.empty());
        EXPECT_TRUE(settings.m_browserList.empty());
        EXPECT_EQ(settings.m_nUrlIndex, -1);
        EXPECT_EQ(settings.m_nBrowserIndex, -1);
        EXPECT_EQ(settings.m_bAutoConnect + settings.m_bAutoBrowser + settings.m_bLocateEasy + settings.m_bStartupAll,
                  0);
        EXPECT_EQ(settings.m_nConnectWait, 0);
        EXPECT_EQ(settings.m_nBrowserWait, 0);
        EXPECT_STREQ(settings.m_szIniPath, L"\\e.ini");
        EXPECT_TRUE(controls.m_combos[kUrlCombo].items.empty());
        EXPECT_EQ(controls.m_checks[kAutoBrowser], 0);
    }
}

TEST_F(SettingsTest, FailedLoadChangesNothing)
{
    host.m_files.m_files[L"\\empty.ini"] = {};
    PutFile(L"\\broken.ini", L"[tavrin]\r\nURL0=a\r\n");
    host.m_files.m_unreadable.insert(L"\\broken.ini");
    const std::wstring longPath = L"\\" + std::wstring(259, L'x');
    PutFile(longPath, L"[tavrin]\r\nURL0=a\r\n");

    settings.m_strLog = L"log\r\n";
    ASSERT_TRUE(settings.Save(L"\\good.ini"));
    settings.Exchange(true);
    const Snapshot before = Take();
    const auto shown = controls.m_combos;
    for (const wchar_t* path : {L"\\missing.ini", L"\\empty.ini", L"\\broken.ini", longPath.c_str()}) {
        controls.m_combos.clear();
        EXPECT_FALSE(settings.Load(path));
        EXPECT_EQ(Take(), before);
        EXPECT_TRUE(controls.m_combos.empty()); // controls not rewritten
    }
    EXPECT_FALSE(CSettings().Load(L"\\good.ini"));
}

TEST_F(SettingsTest, FailedSaveKeepsTheOldFileAndPath)
{
    ASSERT_TRUE(settings.Save(L"\\first.ini"));
    const auto old = host.m_files.m_files;
    host.m_files.m_failWrites = true;
    settings.m_nConnectWait = 1;
    settings.Exchange(true);
    EXPECT_FALSE(settings.Save(L"\\first.ini"));
    EXPECT_FALSE(settings.Save(L"\\second.ini"));
    EXPECT_EQ(host.m_files.m_files, old);
    EXPECT_STREQ(settings.m_szIniPath, L"\\first.ini");

    host.m_files.m_failWrites = false;
    const std::wstring longPath = L"\\" + std::wstring(259, L'x');
    EXPECT_FALSE(settings.Save(longPath.c_str()));
    EXPECT_STREQ(settings.m_szIniPath, L"\\first.ini");
}

TEST_F(SettingsTest, LoadingAFileWithoutFlagsClearsThem)
{
    PutFile(L"set.ini", L"[tavrin]\r\nLOCATEEASY=TRUE\r\nSTARTUPALL=TRUE\r\nAUTOCONNECT=TRUE\r\nAUTOBROWSER=TRUE\r\n");
    PutFile(L"none.ini", L"[tavrin]\r\nURL0=a;b;c\r\n");
    ASSERT_TRUE(settings.Load(L"set.ini"));
    EXPECT_EQ(settings.m_bLocateEasy + settings.m_bStartupAll + settings.m_bAutoConnect + settings.m_bAutoBrowser, 4);
    ASSERT_TRUE(settings.Load(L"none.ini"));
    EXPECT_EQ(settings.m_bLocateEasy + settings.m_bStartupAll + settings.m_bAutoConnect + settings.m_bAutoBrowser, 0);
}

TEST_F(SettingsTest, LoadDefaultReadsDefaultIniBesideTheProgram)
{
    host.m_modulePath = L"\\Program Files\\tavrin\\tavrin.exe";
    settings.LoadDefault();
    EXPECT_STREQ(settings.m_szIniPath, L"\\Program Files\\tavrin\\default.ini");
    EXPECT_EQ(controls.m_combos[kUrlCombo].items.size(), 5u); // presets shown without a file

    PutFile(L"\\Program Files\\tavrin\\default.ini", L"[tavrin]\r\nURL0=only;u;f\r\n");
    CSettings fresh(&host);
    fresh.LoadDefault();
    EXPECT_EQ(fresh.m_urlList.size(), 1u);
    EXPECT_EQ(controls.m_combos[kUrlCombo].items, std::vector<std::wstring>{L"only"});
}

TEST_F(SettingsTest, LoadDefaultWithoutARoomyPathKeepsThePresets)
{
    // Folder + "\default.ini" one character too long for the path buffer; and no module path.
    const std::wstring folder = L"\\" + std::wstring(260 - 1 - 12, L'f');
    for (const std::wstring& module : {folder + L"\\tavrin.exe", std::wstring()}) {
        host.m_modulePath = module;
        PutFile((folder + L"\\default.ini").substr(0, 259), L"[tavrin]\r\n");
        CSettings s(&host);
        s.LoadDefault();
        EXPECT_STREQ(s.m_szIniPath, L"");
        EXPECT_EQ(s.m_urlList.size(), 5u);
        EXPECT_EQ(controls.m_combos[kUrlCombo].items.size(), 5u);
    }
    host.m_modulePath = folder.substr(0, folder.size() - 1) + L"\\tavrin.exe"; // fits exactly
    CSettings s(&host);
    s.LoadDefault();
    EXPECT_EQ(std::wstring(s.m_szIniPath).size(), 259u);
}

TEST_F(SettingsTest, ExchangeRoundTripKeepsTheRecord)
{
    settings.m_nUrlIndex = 4;
    settings.m_nBrowserIndex = -1;
    settings.m_bLocateEasy = settings.m_bStartupAll = 1;
    settings.m_bAutoBrowser = 0;
    settings.m_nConnectWait = -12345678;
    settings.m_strLog = std::wstring(4094, L'あ') + L"\r\n";
    settings.Exchange(true);
    EXPECT_EQ(controls.m_carets[kLog], 4095);
    const Snapshot shown = Take();
    settings.Exchange(false);
    EXPECT_EQ(Take(), shown);

    const struct
    {
        int urlIndex;
        int32_t wait;
        int expectedIndex;
        int32_t expectedWait;
    } lossy[] = {
        {5, 3000, -1, 3000},             // index equal to the list length
        {99, 1234567890, -1, 123456789}, // ten characters: the first nine count
        {0, -123456789, 0, -12345678},
    };
    for (const auto& c : lossy) {
        settings.m_nUrlIndex = c.urlIndex;
        settings.m_nConnectWait = c.wait;
        settings.Exchange(true);
        settings.Exchange(false);
        EXPECT_EQ(settings.m_nUrlIndex, c.expectedIndex);
        EXPECT_EQ(settings.m_nConnectWait, c.expectedWait);
    }
}

TEST_F(SettingsTest, ExchangeReadsWhatTheUserChanged)
{
    settings.Exchange(true);
    const struct
    {
        std::wstring text;
        int32_t wait;
    } waits[] = {{L"", 0}, {L"250ms", 250}, {L"  42", 42}, {L"x1", 0}};
    for (const auto& w : waits) {
        controls.m_texts[kWait] = w.text;
        settings.Exchange(false);
        EXPECT_EQ(settings.m_nConnectWait, w.wait) << w.text.size();
    }
    controls.m_checks[kAutoConnect] = 1;
    controls.m_checks[kAutoBrowser] = 2; // indeterminate counts as unchecked
    controls.m_texts[kLog] = std::wstring(5000, L'z');
    settings.Exchange(false);
    EXPECT_EQ(settings.m_bAutoConnect, 1);
    EXPECT_EQ(settings.m_bAutoBrowser, 0);
    EXPECT_EQ(settings.m_strLog.size(), 4096u);

    settings.m_strLog = L"ab";
    settings.Exchange(true);
    EXPECT_EQ(controls.m_carets[kLog], 1);
}

TEST_F(SettingsTest, SelectedValuesFollowTheComboBoxes)
{
    settings.m_urlList[1].m_values[2] = L"";
    settings.m_browserList[1].m_values.resize(1); // browser without a path
    settings.Exchange(true);
    const struct
    {
        int url, browser;
        bool urlOk, formatOk, browserOk;
        std::wstring url_, format, file;
    } cases[] = {
        {3, 0, true, true, true, L"http://map.yahoo.co.jp/pl", L"el=$el&nl=$nl", L"\\Windows\\iexplore.exe"},
        {1, 1, true, false, false, L"http://brannik.example.jp/glocal.html", L"", L""},
        {-1, -1, false, false, false, L"keep", L"keep", L"keep"},
    };
    for (const auto& c : cases) {
        controls.m_combos[kUrlCombo].selection = c.url;
        controls.m_combos[kBrowserCombo].selection = c.browser;
        std::wstring url = L"keep", format = L"keep", file = L"keep";
        EXPECT_EQ(settings.GetSelectedUrl(url), c.urlOk);
        EXPECT_EQ(settings.GetSelectedFormat(format), c.formatOk);
        EXPECT_EQ(settings.GetSelectedBrowserFile(file), c.browserOk);
        EXPECT_EQ(url, c.url_);
        EXPECT_EQ(format, c.format);
        EXPECT_EQ(file, c.file);
    }
    // A list cut short after the combo box was filled.
    controls.m_combos[kUrlCombo].selection = 4;
    settings.m_urlList.resize(2);
    std::wstring url = L"keep";
    EXPECT_FALSE(settings.GetSelectedUrl(url));
    EXPECT_EQ(url, L"keep");
}

TEST(SplitString, KeepsEmptyFieldsBetweenDelimiters)
{
    const struct
    {
        std::wstring text;
        std::vector<std::wstring> fields;
    } cases[] = {
        {L"", {}},
        {L"a", {L"a"}},
        {L";", {L"", L""}},
        {L"a;;b", {L"a", L"", L"b"}},
        {L";a;", {L"", L"a", L""}},
        {L"x=1;y=2", {L"x=1", L"y=2"}},
    };
    for (const auto& c : cases) {
        std::vector<std::wstring> out = {L"kept"};
        CSettings::SplitString(c.text, L";", out);
        out.erase(out.begin());
        EXPECT_EQ(out, c.fields) << c.text.size();
    }
}

} // namespace
