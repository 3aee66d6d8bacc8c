#include "settings/memory_settings_host.h"
#include "settings/settings.h"
#include "tests/host/settings_fakes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr int kUrlCombo = 1029, kBrowserCombo = 1030, kWait = 1020, kAutoBrowser = 1005;

class SettingsTest : public ::testing::Test
{
protected:
    SettingsTest() : settings(&host) { host.m_controls = &controls; }
    void PutFile(const std::wstring& path, const std::wstring& text) { host.m_files.m_files[path] = Utf16File(text); }

    CFakeControls controls;
    CMemorySettingsHost host;
    CSettings settings;
};

TEST_F(SettingsTest, FactoryPresetsShowAndSaveAsTheReferenceFile)
{
    settings.Exchange(true);
    EXPECT_EQ(controls.m_items[kUrlCombo].size(), 5u);
    EXPECT_EQ(controls.m_items[kBrowserCombo], (std::vector<std::wstring>{L"InternetExplorer", L"Opera"}));
    EXPECT_EQ(controls.m_selection[kUrlCombo] + controls.m_selection[kBrowserCombo], 0);
    EXPECT_EQ(controls.m_checks, (std::map<int, int>{{1018, 0}, {1006, 0}, {1004, 0}, {kAutoBrowser, 1}}));
    EXPECT_EQ(controls.m_texts[kWait], L"3000");
    EXPECT_TRUE(controls.m_carets.empty()); // empty status text: caret left alone

    ASSERT_TRUE(settings.Save(L"\\out.ini"));
    std::ifstream golden(TAVRIN_TEST_DATA_DIR "/factory_settings.ini", std::ios::binary);
    std::vector<unsigned char> expected((std::istreambuf_iterator<char>(golden)), std::istreambuf_iterator<char>());
    EXPECT_EQ(host.m_files.m_files[L"\\out.ini"], expected);
    EXPECT_STREQ(settings.m_szIniPath, L"\\out.ini");
}

TEST_F(SettingsTest, SaveThenLoadRestoresTheRecord)
{
    settings.m_urlList.resize(2);
    settings.m_urlList[1].m_values = {L"", L"http://h/p", L"a=$el&b=$nl"}; // empty title
    settings.m_browserList.push_back(settings.m_browserList[0]);
    settings.m_browserList[2].m_values[0] = L"Third";
    settings.m_nUrlIndex = 1;
    settings.m_nBrowserIndex = 2;
    settings.m_bLocateEasy = settings.m_bStartupAll = settings.m_bAutoConnect = 1;
    settings.m_bAutoBrowser = 0;
    settings.m_nConnectWait = -250;
    settings.m_nBrowserWait = 123456;
    settings.m_lookupCache = false;
    settings.Exchange(true);
    ASSERT_TRUE(settings.Save(L"\\a.ini"));

    CSettings other(&host);
    ASSERT_TRUE(other.Load(L"\\a.ini"));
    EXPECT_EQ(Fields(other), Fields(settings));
}

TEST_F(SettingsTest, LoadMapsKeysToTheRecord)
{
    const struct
    {
        const char* name;
        std::wstring body; // after the header line
        size_t urls;
        int urlIndex;
        std::vector<std::wstring> firstUrl; // values of URL entry 0, when there is one
        int locateEasy, autoBrowser;
        int32_t wait;
    } cases[] = {
        {"gap ends the list", L"URL0=a;u;f\r\nURL1=b\r\nURL3=d\r\n", 2, 0, {L"a", L"u", L"f"}, 0, 0, 0},
        {"too few fields", L"URL0=a;u\r\n", 1, 0, {L"a", L"u", L""}, 0, 0, 0},
        {"too many fields", L"URL0=a;u;f;g\r\n", 1, 0, {L"a", L"u", L"f"}, 0, 0, 0},
        {"empty fields", L"URL0=;u;\r\nURL1=\r\n", 2, 0, {L"", L"u", L""}, 0, 0, 0},
        {"negative index", L"URLINDEX=-1\r\nURL0=a\r\n", 1, 0, {L"a", L"", L""}, 0, 0, 0},
        {"index beyond the list", L"URLINDEX=7\r\nURL0=a\r\n", 1, 7, {L"a", L"", L""}, 0, 0, 0},
        {"index without entries", L"URLINDEX=3\r\n", 0, 3, {}, 0, 0, 0},
        {"first duplicate decides", L"AUTOBROWSER=TRUE\r\nAUTOBROWSER=FALSE\r\n", 0, -1, {}, 0, 1, 0},
        {"flags are exact", L"LOCATEEASY=true\r\nAUTOBROWSER= TRUE\r\n", 0, -1, {}, 0, 0, 0},
        {"digits then text", L"CONNECTWAIT=  +1500ms\r\n", 0, -1, {}, 0, 0, 1500},
        {"no digits", L"CONNECTWAIT=abc\r\n", 0, -1, {}, 0, 0, 0},
        {"huge wait saturates", L"CONNECTWAIT=99999999999999999999\r\n", 0, -1, {}, 0, 0, INT32_MAX},
    };
    for (const auto& c : cases) {
        CSettings s(&host);
        s.m_bLocateEasy = s.m_bAutoBrowser = 1; // a file without the flag clears it
        PutFile(L"c.ini", L"[tavrin]\r\n" + c.body);
        ASSERT_TRUE(s.Load(L"c.ini")) << c.name;
        EXPECT_EQ(s.m_urlList.size(), c.urls) << c.name;
        EXPECT_EQ(s.m_nUrlIndex, c.urlIndex) << c.name;
        if (!c.firstUrl.empty() && !s.m_urlList.empty()) {
            EXPECT_EQ(s.m_urlList[0].m_values, c.firstUrl) << c.name;
        }
        EXPECT_EQ(std::make_tuple(s.m_bLocateEasy, s.m_bAutoBrowser, s.m_nConnectWait),
                  std::make_tuple(c.locateEasy, c.autoBrowser, c.wait))
            << c.name;
        EXPECT_EQ(std::make_tuple(s.m_browserList.size(), s.m_nBrowserIndex), std::make_tuple(size_t{0}, -1)) << c.name;
    }
}

TEST_F(SettingsTest, ServiceUrlAndPortAreSavedExactlyAsReadAndOnlyWhenPresent)
{
    ASSERT_TRUE(settings.Save(L"\\factory.ini"));
    const std::vector<unsigned char> factory = host.m_files.m_files[L"\\factory.ini"];
    // Values the program cannot use (an unusable URL, an empty port) are kept all the same.
    std::vector<unsigned char> withKeys = factory;
    const std::vector<unsigned char> keys = Utf16File(L"SERVICEURL=ftp://h /x\r\nPORT=\r\n");
    withKeys.insert(withKeys.end(), keys.begin() + 2, keys.end()); // without the byte order mark
    host.m_files.m_files[L"\\keys.ini"] = withKeys;
    ASSERT_TRUE(settings.Load(L"\\keys.ini"));
    EXPECT_EQ(settings.m_serviceUrl.value_or(L"none") + L"|" + settings.m_port.value_or(L"none"), L"ftp://h /x|");
    ASSERT_TRUE(settings.Save(L"\\saved.ini"));
    EXPECT_EQ(host.m_files.m_files[L"\\saved.ini"], withKeys);

    CSettings fresh(&host); // a record that never had them saves without them
    ASSERT_TRUE(fresh.Load(L"\\factory.ini"));
    ASSERT_TRUE(fresh.Save(L"\\saved.ini"));
    EXPECT_EQ(host.m_files.m_files[L"\\saved.ini"], factory);
}

TEST_F(SettingsTest, ModuleKeysAreSavedExactlyAsReadAndOnlyWhenPresent)
{
    ASSERT_TRUE(settings.Save(L"\\factory.ini"));
    const std::vector<unsigned char> factory = host.m_files.m_files[L"\\factory.ini"];
    std::vector<unsigned char> withKeys = factory;
    // values the program would not use are kept all the same
    const std::vector<unsigned char> keys =
        Utf16File(L"MODULE=nmea\r\nBAUD=fast\r\nFIXWAIT=\r\nGEOLOCATEURL=https://geo.example/v1/geolocate?key=k\r\n");
    withKeys.insert(withKeys.end(), keys.begin() + 2, keys.end()); // without the byte order mark
    host.m_files.m_files[L"\\keys.ini"] = withKeys;
    ASSERT_TRUE(settings.Load(L"\\keys.ini"));
    EXPECT_EQ(std::make_tuple(settings.m_module, settings.m_baud, settings.m_fixWait, settings.m_geolocateUrl),
              std::make_tuple(std::optional<std::wstring>(L"nmea"), std::optional<std::wstring>(L"fast"),
                              std::optional<std::wstring>(L""),
                              std::optional<std::wstring>(L"https://geo.example/v1/geolocate?key=k")));
    ASSERT_TRUE(settings.Save(L"\\saved.ini"));
    EXPECT_EQ(host.m_files.m_files[L"\\saved.ini"], withKeys);

    // A file without them keeps them: they describe this machine, not a set of destinations.
    ASSERT_TRUE(settings.Load(L"\\factory.ini"));
    EXPECT_EQ(settings.m_module, std::optional<std::wstring>(L"nmea"));
    ASSERT_TRUE(settings.Save(L"\\saved.ini"));
    EXPECT_EQ(host.m_files.m_files[L"\\saved.ini"], withKeys);
}

TEST_F(SettingsTest, LookupCacheFlagIsOffWithoutTheKeyAndSavedOnlyOnceSet)
{
    ASSERT_TRUE(settings.Save(L"\\factory.ini"));
    const auto withLine = [factory = host.m_files.m_files[L"\\factory.ini"]](const std::wstring& line) {
        std::vector<unsigned char> bytes = factory, tail = Utf16File(line);
        bytes.insert(bytes.end(), tail.begin() + 2, tail.end()); // without the byte order mark
        return bytes;
    };
    const std::tuple<std::wstring, std::optional<bool>, std::wstring> cases[] = {
        // line after the factory keys, the flag read, the line saved back
        {L"", std::nullopt, L""},
        {L"LOOKUPCACHE=TRUE\r\n", true, L"LOOKUPCACHE=TRUE\r\n"},
        {L"LOOKUPCACHE=FALSE\r\n", false, L"LOOKUPCACHE=FALSE\r\n"},
        {L"LOOKUPCACHE=true\r\n", false, L"LOOKUPCACHE=FALSE\r\n"}, // exact, like the other flags
    };
    for (const auto& [line, read, saved] : cases) {
        CSettings s(&host);
        host.m_files.m_files[L"\\in.ini"] = withLine(line);
        ASSERT_TRUE(s.Load(L"\\in.ini"));
        EXPECT_EQ(s.m_lookupCache, read) << line;
        ASSERT_TRUE(s.Save(L"\\out.ini"));
        EXPECT_EQ(host.m_files.m_files[L"\\out.ini"], withLine(saved)) << line;
    }
    settings.m_lookupCache = true; // turned on where the file had no key
    ASSERT_TRUE(settings.Save(L"\\out.ini"));
    EXPECT_EQ(host.m_files.m_files[L"\\out.ini"], withLine(L"LOOKUPCACHE=TRUE\r\n"));
}

TEST_F(SettingsTest, OpeningAFileKeepsTheKeysOfThisMachineItLacks)
{
    // The machine's keys as default.ini had them.
    PutFile(L"\\default.ini", L"[tavrin]\r\nURL0=a;u;f\r\nSERVICEURL=https://lookup.example.jp/loc1/location\r\n"
                              L"PORT=COM3:\r\nLOOKUPCACHE=TRUE\r\n");
    const auto machine = [](const CSettings& s) { return std::make_tuple(s.m_serviceUrl, s.m_port, s.m_lookupCache); };
    const struct
    {
        const char* name;
        std::wstring body; // the opened file, after its header line
        std::optional<std::wstring> serviceUrl, port;
        std::optional<bool> lookupCache;
    } cases[] = {
        {"none named: all kept", L"URL0=b;v;g\r\n", L"https://lookup.example.jp/loc1/location", L"COM3:", true},
        {"named ones set", L"PORT=COM5:\r\nLOOKUPCACHE=FALSE\r\n", L"https://lookup.example.jp/loc1/location", L"COM5:",
         false},
        {"empty values set too", L"SERVICEURL=\r\nPORT=\r\n", L"", L"", true},
        {"a foreign file keeps them", L"", L"https://lookup.example.jp/loc1/location", L"COM3:", true},
    };
    for (const auto& c : cases) {
        CSettings s(&host);
        ASSERT_TRUE(s.Load(L"\\default.ini"));
        PutFile(L"\\open.ini", (c.body.empty() ? L"[other]\r\nPORT=COM9:\r\n" : L"[tavrin]\r\n" + c.body));
        EXPECT_EQ(s.Load(L"\\open.ini"), !c.body.empty()) << c.name; // a foreign file is refused whole
        EXPECT_EQ(machine(s), std::make_tuple(c.serviceUrl, c.port, c.lookupCache)) << c.name;
        ASSERT_TRUE(s.Save(L"\\saved.ini"));
        CSettings restarted(&host);
        ASSERT_TRUE(restarted.Load(L"\\saved.ini"));
        EXPECT_EQ(machine(restarted), machine(s)) << c.name;
    }
    // The guide's recipe with the file the program comes with: its destinations, and this
    // machine's keys, after "保存" as default.ini and a restart.
    std::ifstream today(TAVRIN_SOURCE_DIR "/settings/today_maps.ini", std::ios::binary);
    host.m_files.m_files[L"\\today_maps.ini"].assign(std::istreambuf_iterator<char>(today),
                                                     std::istreambuf_iterator<char>());
    CSettings s(&host), restarted(&host);
    ASSERT_TRUE(s.Load(L"\\default.ini") && s.Load(L"\\today_maps.ini") && s.Save(L"\\default.ini"));
    ASSERT_TRUE(restarted.Load(L"\\default.ini"));
    EXPECT_EQ(machine(restarted),
              std::make_tuple(std::optional<std::wstring>(L"https://lookup.example.jp/loc1/location"),
                              std::optional<std::wstring>(L"COM3:"), std::optional<bool>(true)));
    ASSERT_GT(restarted.m_urlList.size(), 5u);
    EXPECT_EQ(restarted.m_urlList[0].Value(0), L"OpenStreetMap");
}

TEST_F(SettingsTest, UnreadableAndForeignFilesChangeNothing)
{
    host.m_files.m_files[L"\\empty.ini"] = {};
    PutFile(L"\\broken.ini", L"[tavrin]\r\nURL0=a\r\n");
    host.m_files.m_unreadable.insert(L"\\broken.ini"); // opens, then the read fails
    const std::wstring longPath = L"\\" + std::wstring(259, L'x');
    PutFile(longPath, L"[tavrin]\r\nURL0=a\r\n");
    // Files of other programs, which once loaded as empty settings that "保存" then wrote over them.
    PutFile(L"\\other.ini", L"[other]\r\nURL0=a;u;f\r\nAUTOBROWSER=TRUE\r\n");
    const std::string sjis = "[tavrin]\r\nURL0=\x92\x6E\x90\x7D;u;f\r\n"; // Shift_JIS from an old editor
    host.m_files.m_files[L"\\sjis.ini"].assign(sjis.begin(), sjis.end());
    host.m_files.m_files[L"\\photo.ini"] = {0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F', 0};
    settings.m_strLog = L"log\r\n";
    settings.m_port = L"COM3:";
    ASSERT_TRUE(settings.Save(L"\\good.ini"));
    const auto before = Fields(settings);
    const std::tuple<const wchar_t*, FileFailure> cases[] = {
        {L"\\missing.ini", FileFailure::NotFound}, {L"\\empty.ini", FileFailure::Other},
        {L"\\broken.ini", FileFailure::NoAccess},  {longPath.c_str(), FileFailure::NotFound},
        {L"\\other.ini", FileFailure::NoSection},  {L"\\sjis.ini", FileFailure::UnknownEncoding},
        {L"\\photo.ini", FileFailure::NotText},
    };
    for (const auto& [path, failure] : cases) {
        controls.m_items.clear();
        EXPECT_FALSE(settings.Load(path));
        EXPECT_EQ(settings.LastFailure(), failure) << std::wstring(path).substr(0, 20);
        EXPECT_EQ(Fields(settings), before);
        EXPECT_EQ(settings.m_port, std::optional<std::wstring>(L"COM3:"));
        EXPECT_TRUE(controls.m_items.empty()); // controls not rewritten
    }
    // So "保存" offers the file in use, not the one that was refused.
    EXPECT_STREQ(settings.m_szIniPath, L"\\good.ini");
}

// The program's own file and the same settings from an editor give one record.
TEST_F(SettingsTest, EditorsFilesLoadAsTheProgramsOwn)
{
    settings.m_port = L"COM3:";
    settings.m_module = L"NMEA";
    settings.m_urlList[0].m_values[0] = L"地図";
    settings.Exchange(true);
    ASSERT_TRUE(settings.Save(L"\\own.ini"));
    const std::vector<unsigned char>& own = host.m_files.m_files[L"\\own.ini"];
    // The text as UTF-8 (only the BMP occurs here), as an editor saves it.
    std::string text;
    for (size_t i = 2; i + 1 < own.size(); i += 2) {
        const unsigned u = own[i] | (own[i + 1] << 8);
        if (u < 0x80) {
            text += static_cast<char>(u);
        } else if (u < 0x800) {
            text += {static_cast<char>(0xC0 | (u >> 6)), static_cast<char>(0x80 | (u & 0x3F))};
        } else {
            text += {static_cast<char>(0xE0 | (u >> 12)), static_cast<char>(0x80 | ((u >> 6) & 0x3F)),
                     static_cast<char>(0x80 | (u & 0x3F))};
        }
    }
    std::string lf;
    for (char c : text) {
        if (c != '\r') {
            lf += c;
        }
    }
    const std::string forms[] = {text, "\xEF\xBB\xBF" + text, lf, lf.substr(0, lf.size() - 1)};
    for (const std::string& form : forms) {
        host.m_files.m_files[L"\\editor.ini"].assign(form.begin(), form.end());
        CSettings s(&host);
        ASSERT_TRUE(s.Load(L"\\editor.ini")) << form.size();
        EXPECT_EQ(std::make_tuple(s.m_port, s.m_module), std::make_tuple(settings.m_port, settings.m_module));
        std::wcscpy(s.m_szIniPath, settings.m_szIniPath);
        EXPECT_EQ(Fields(s), Fields(settings)) << form.size();
        // Saved again, it is the program's own file once more.
        ASSERT_TRUE(s.Save(L"\\again.ini"));
        EXPECT_EQ(host.m_files.m_files[L"\\again.ini"], own);
    }
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
    host.m_files.m_failWrites = false;
    EXPECT_FALSE(settings.Save((L"\\" + std::wstring(259, L'x')).c_str())); // does not fit m_szIniPath
    EXPECT_EQ(host.m_files.m_files, old);
    EXPECT_STREQ(settings.m_szIniPath, L"\\first.ini");
}

TEST_F(SettingsTest, LoadDefaultReadsDefaultIniBesideTheProgramWhenItFits)
{
    const std::wstring longFolder = L"\\" + std::wstring(247, L'f'); // + "\default.ini" = 260 characters
    const struct
    {
        std::wstring module, iniPath;
        size_t urls;
    } cases[] = {
        {L"\\Program Files\\tavrin\\tavrin.exe", L"\\Program Files\\tavrin\\default.ini", 1},
        {L"\\Program Files\\tavrin.exe", L"\\Program Files\\default.ini", 5}, // no file: presets stay
        {longFolder.substr(0, 247) + L"\\t.exe", longFolder.substr(0, 247) + L"\\default.ini", 1},
        {longFolder + L"\\t.exe", L"", 5},
        {L"", L"", 5},
    };
    for (const auto& c : cases) {
        PutFile(c.iniPath.empty() ? L"x" : c.iniPath, L"[tavrin]\r\nURL0=only;u;f\r\n");
        host.m_files.m_files.erase(L"\\Program Files\\default.ini");
        host.m_modulePath = c.module;
        CSettings s(&host);
        s.LoadDefault();
        EXPECT_EQ(std::wstring(s.m_szIniPath), c.iniPath);
        EXPECT_EQ(s.m_urlList.size(), c.urls);
        EXPECT_EQ(controls.m_items[kUrlCombo].size(), c.urls); // shown with or without a file
    }
}

TEST_F(SettingsTest, LogReadBackKeepsTheNewestCharacters)
{
    const std::wstring full = std::wstring(CSettings::kMaxLogChars - 2, L'x') + L"\r\n";
    controls.m_texts[1014] = full;
    settings.Exchange(false);
    EXPECT_EQ(settings.m_strLog, full);
    controls.m_texts[1014] = L"old" + full + L"typed"; // typed at the end of a full log
    settings.Exchange(false);
    EXPECT_EQ(settings.m_strLog, full.substr(5) + L"typed");
}

// Every log line exchanges the whole record: a list that has not changed is not put in again,
// a log that only grew gets its new lines alone, and anything else is shown whole.
TEST_F(SettingsTest, ExchangePutsInOnlyWhatChanged)
{
    constexpr int kLog = 1014;
    struct Counting : CFakeControls
    {
        int resets = 0, logsSet = 0;
        std::vector<std::wstring> appended;
        void ResetCombo(int id) override { ++resets, CFakeControls::ResetCombo(id); }
        void SetText(int id, const std::wstring& text) override
        {
            logsSet += id == kLog ? 1 : 0;
            CFakeControls::SetText(id, text);
        }
        void AppendText(int id, const std::wstring& text) override { appended.push_back(text), m_texts[id] += text; }
    } shown;
    host.m_controls = &shown;
    settings.m_strLog = L"a\r\n";
    settings.Exchange(true);
    EXPECT_EQ(2, shown.resets);
    settings.m_strLog += L"b\r\n";
    settings.Exchange(true);
    EXPECT_EQ(2, shown.resets);
    EXPECT_EQ((std::vector<std::wstring>{L"a\r\n", L"b\r\n"}), shown.appended);
    EXPECT_EQ(L"a\r\nb\r\n", shown.m_texts[kLog]);

    shown.m_texts[kLog] = L"X\r\n"; // typed over since it was read
    settings.Exchange(true);
    EXPECT_EQ(L"a\r\nb\r\n", shown.m_texts[kLog]);
    EXPECT_EQ(1, shown.logsSet);

    settings.m_urlList[0].m_values[0] = L"改名";
    settings.m_nBrowserIndex = 7; // past the end: no selection, the list unchanged
    settings.Exchange(true);
    EXPECT_EQ(3, shown.resets);
    EXPECT_EQ(L"改名", shown.m_items[kUrlCombo][0]);
    EXPECT_EQ(-1, shown.m_selection[kBrowserCombo]);
}

TEST_F(SettingsTest, SelectedValuesFollowTheComboBoxes)
{
    settings.m_urlList[1].m_values[2] = L""; // no query template
    settings.Exchange(true);
    controls.m_selection[kUrlCombo] = 1;
    controls.m_texts[kWait] = L"250ms";
    std::wstring url, format = L"keep";
    EXPECT_TRUE(settings.GetSelectedUrl(url));
    EXPECT_EQ(url, L"http://brannik.example.jp/glocal.html");
    EXPECT_FALSE(settings.GetSelectedFormat(format));
    EXPECT_EQ(settings.m_nConnectWait, 250); // the controls were read first

    controls.m_selection[kUrlCombo] = 4; // the list was cut short after the combo box was filled
    settings.m_urlList.resize(2);
    controls.m_selection[kBrowserCombo] = -1;
    url = format = L"keep";
    EXPECT_FALSE(settings.GetSelectedUrl(url));
    EXPECT_FALSE(settings.GetSelectedBrowserFile(format));
    EXPECT_EQ(url + format, L"keepkeep");
}

} // namespace
