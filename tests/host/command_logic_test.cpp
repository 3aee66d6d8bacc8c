#include "common/system_library.h"
#include "ui/command_logic.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

std::wstring Numbered(std::size_t count, wchar_t first)
{
    std::wstring text;
    for (std::size_t i = 0; i < count; ++i) {
        text += static_cast<wchar_t>(first + (i % 26));
    }
    return text;
}

} // namespace

TEST(AppendToLog, KeepsTheNewestCharactersAtTheLimit)
{
    struct Case
    {
        std::size_t before;
        std::size_t added;
    };
    const Case cases[] = {
        {0, 0}, {0, 10}, {4086, 10}, {4090, 6}, {4090, 10}, {4096, 1}, {4096, 0}, {10, 4096}, {100, 5000}, {0, 4097},
    };
    for (const Case& c : cases) {
        std::wstring log = Numbered(c.before, L'a');
        std::wstring text = Numbered(c.added, L'A');
        std::wstring whole = log + text;
        std::wstring expected = whole.size() > kLogLimit ? whole.substr(whole.size() - kLogLimit) : whole;
        AppendToLog(log, text);
        EXPECT_EQ(expected, log) << c.before << " + " << c.added;
        EXPECT_LE(log.size(), kLogLimit);
    }
}

TEST(AppendToLog, FullLogLosesItsFirstCharactersOnly)
{
    std::wstring log = L"abcd" + std::wstring(4086, L'x');
    AppendToLog(log, L"0123456789");
    ASSERT_EQ(kLogLimit, log.size());
    EXPECT_EQ(std::wstring(4086, L'x') + L"0123456789", log);
    AppendToLog(log, L"\r\n");
    EXPECT_EQ(L"89\r\n", log.substr(log.size() - 4));
    EXPECT_EQ(kLogLimit, log.size());
}

TEST(ConnectWait, OnlyAutomaticConnectionWaitsAndNegativeIsNoWait)
{
    EXPECT_EQ(0u, ConnectWaitMilliseconds(false, 3000));
    EXPECT_EQ(0u, ConnectWaitMilliseconds(true, 0));
    EXPECT_EQ(0u, ConnectWaitMilliseconds(true, -1));
    EXPECT_EQ(0u, ConnectWaitMilliseconds(true, std::numeric_limits<long>::min()));
    EXPECT_EQ(3000u, ConnectWaitMilliseconds(true, 3000));
    EXPECT_EQ(999999999u, ConnectWaitMilliseconds(true, 999999999));
}

TEST(ControlCommandFromId, FollowsTheMainWindowTable)
{
    struct Case
    {
        unsigned id;
        ControlCommand command;
    };
    const Case cases[] = {
        {1004, ControlCommand::Ignore},
        {1007, ControlCommand::Ignore},
        {1008, ControlCommand::GetLocation},
        {1009, ControlCommand::Send},
        {1013, ControlCommand::Connect},
        {1016, ControlCommand::GetAndSend},
        {1023, ControlCommand::EditUrlList},
        {1031, ControlCommand::EditBrowserList},
        {1018, ControlCommand::Default}, // 簡易座標で取得 has no command of its own
        {1014, ControlCommand::Default},
        {1029, ControlCommand::Default},
        {1003, ControlCommand::Default},
        {(1u << 16) | 1016, ControlCommand::GetAndSend}, // notification code ignored
        {(5u << 16) | 1009, ControlCommand::Send},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.command, ControlCommandFromId(c.id)) << c.id;
    }
}

TEST(LibrariesForSend, LookupOnlyForACsIdShellOnlyToStartTheBrowser)
{
    EXPECT_EQ(kInternetLibrary | kShellLibrary, LibrariesForSend(false, true));
    EXPECT_EQ(kInternetLibrary, LibrariesForSend(false, false));
    EXPECT_EQ(kShellLibrary, LibrariesForSend(true, true));
    EXPECT_EQ(0u, LibrariesForSend(true, false));
}

TEST(SystemLibrary, FailureTextNamesTheFileAndTheError)
{
    EXPECT_EQ(L"LoadLibraryEx(wininet.dll) Failed. (0x0000007e)", SystemLibraryFailureText(kInternetLibrary, 126));
    EXPECT_EQ(L"LoadLibraryEx(comdlg32.dll) Failed. (0x000000c1)",
              SystemLibraryFailureText(kCommonDialogsLibrary, 193));
    EXPECT_EQ(std::wstring(L"shell32.dll"), SystemLibraryFile(kShellLibrary));
    EXPECT_EQ(std::wstring(L"comctl32.dll"), SystemLibraryFile(kCommonControlsLibrary));
    EXPECT_EQ(nullptr, SystemLibraryFile(kShellLibrary | kInternetLibrary));
}

TEST(CommandTexts, BoxesNameWhatFailedAndStayOnTheScreen)
{
    const std::wstring longValue(300, L'a');
    EXPECT_EQ(std::wstring(100, L'a') + L"…",
              UnusableServiceText(longValue).substr(UnusableServiceText(longValue).find(L'=') + 1));

    struct Case
    {
        unsigned error;
        FileFailure failure;
    };
    const Case cases[] = {{2, FileFailure::NotFound},   {5, FileFailure::NoAccess}, {32, FileFailure::NoAccess},
                          {112, FileFailure::DiskFull}, {8, FileFailure::NoMemory}, {1117, FileFailure::Other}};
    for (const Case& c : cases) {
        EXPECT_EQ(FileFailureFromError(c.error), c.failure) << c.error;
    }
    EXPECT_EQ(L"設定ファイルを保存できませんでした。\nC:\\t\\a.ini\nディスクの空きが足りません。",
              SettingsFileFailureText(true, L"C:\\t\\a.ini", FileFailure::DiskFull, 112));
    EXPECT_EQ(L"設定ファイルを読み込めませんでした。\nb.ini\nエラー番号 1117",
              SettingsFileFailureText(false, L"b.ini", FileFailure::Other, 1117));
}

TEST(CommandTexts, ACellInTheLogAndTheGeolocationKeyInItsBox)
{
    struct Case
    {
        CellTower cell;
        const wchar_t* line;
    };
    const Case cases[] = {
        {{"lte", 440, 10, 2, 0x1A2B, 0x01A2B3C4}, L"LTE 440-10 TAC 6699 CI 27440068"},
        // a three-digit MNC keeps its leading zero; 2G and 3G have location areas
        {{"gsm", 310, 4, 3, 0x00A1, 0x1B2C}, L"GSM 310-004 LAC 161 CI 6956"},
        {{"wcdma", 262, 1, 2, 0xFFFD, 0x0FFFFFFF}, L"WCDMA 262-01 LAC 65533 CI 268435455"},
        // a 36-bit NR cell and a 24-bit tracking area
        {{"nr", 440, 20, 2, 0x01A2B3, 0x0B1C2D3E4}, L"NR 440-20 TAC 107187 CI 2982335460"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.line, CellLogText(c.cell));
    }
    for (const std::optional<std::wstring>& none : {std::optional<std::wstring>(), std::optional<std::wstring>(L"")}) {
        EXPECT_NE(std::wstring::npos, MissingGeolocateText(none).find(L"GEOLOCATEURL"));
    }
    const std::wstring refused = MissingGeolocateText(std::wstring(300, L'x'));
    EXPECT_EQ(L"GEOLOCATEURL=" + std::wstring(100, L'x') + L"…", refused.substr(refused.find(L'\n') + 1));
    EXPECT_NE(std::wstring::npos, ModuleChosenText(ModuleKind::Modem, L"COM3:").find(L"モデム（COM3:）"));
}
