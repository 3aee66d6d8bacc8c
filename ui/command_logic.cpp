#include "ui/command_logic.h"

#include "common/system_library.h"
#include "common/text_format.h"

void AppendToLog(std::wstring& log, const std::wstring& text)
{
    log += text;
    CSettings::KeepNewestLog(log);
}

std::uint32_t ConnectWaitMilliseconds(bool autoConnect, long wait)
{
    if (!autoConnect || wait <= 0) {
        return 0;
    }
    return static_cast<std::uint32_t>(wait);
}

ControlCommand ControlCommandFromId(unsigned id)
{
    switch (id & 0xFFFFu) {
    case 1004:
    case 1005:
    case 1006:
    case 1007:
        return ControlCommand::Ignore;
    case 1008:
        return ControlCommand::GetLocation;
    case 1009:
        return ControlCommand::Send;
    case 1013:
        return ControlCommand::Connect;
    case 1016:
        return ControlCommand::GetAndSend;
    case 1023:
        return ControlCommand::EditUrlList;
    case 1031:
        return ControlCommand::EditBrowserList;
    default:
        return ControlCommand::Default;
    }
}

unsigned LibrariesForSend(bool simpleCoordinates, bool startBrowser)
{
    return (simpleCoordinates ? 0u : kInternetLibrary) | (startBrowser ? kShellLibrary : 0u);
}

namespace {

// A value a box shows, cut so that the box stays on the screen.
std::wstring ShownValue(const std::wstring& value)
{
    constexpr size_t kShownChars = 100;
    return value.size() > kShownChars ? value.substr(0, kShownChars) + L"…" : value;
}

} // namespace

std::wstring UnusableServiceText(const std::wstring& value)
{
    const std::wstring shown = ShownValue(value);
    return Format(
        L"設定ファイルの SERVICEURL が正しい URL ではないため、位置検索サービスを使えません。\nSERVICEURL=%ls",
        shown.c_str());
}

std::wstring NetworkCheckTimeoutText(unsigned limitMs)
{
    return Format(L"接続確認に失敗しました。\nネットワークの確認が %u 秒以内に終わりませんでした。", limitMs / 1000);
}

std::wstring LookupTimeoutText()
{
    constexpr unsigned kInternetTimeout = 12002; // ERROR_INTERNET_TIMEOUT
    return Format(L"HttpSendRequest() Failed. (0x%08x)", kInternetTimeout);
}

std::wstring SettingsFileFailureText(bool saving, const std::wstring& path, FileFailure failure, unsigned code)
{
    return Format(saving ? L"設定ファイルを保存できませんでした。\n%ls\n%ls"
                         : L"設定ファイルを読み込めませんでした。\n%ls\n%ls",
                  path.c_str(), FileFailureText(failure, code).c_str());
}

std::wstring CacheClearFailureText(const std::wstring& path, FileFailure failure, unsigned code)
{
    return Format(L"キャッシュを消去できませんでした。\n%ls\n%ls", path.c_str(),
                  FileFailureText(failure, code).c_str());
}

std::wstring ModuleChosenText(ModuleKind module, const std::wstring& port)
{
    switch (module) {
    case ModuleKind::Nmea:
        return Format(L"位置を GNSS受信機（%ls）から取得します。", port.c_str());
    case ModuleKind::Modem:
        return Format(L"位置を モデム（%ls）の基地局から取得します。", port.c_str());
    case ModuleKind::WSim:
        break;
    }
    return Format(L"位置を W-SIM（%ls）から取得します。", port.c_str());
}

std::wstring CacheWriteFailureText(FileFailure failure, unsigned code)
{
    // A line of the log, not a box: the send it follows has done its work.
    return Format(L"キャッシュを保存できませんでした。%ls 保存はあとで、終了時にももう一度試みます。",
                  FileFailureText(failure, code).c_str());
}

std::wstring BrowserFailureText(const std::wstring& file, FileFailure failure, unsigned code)
{
    return Format(L"ブラウザを起動できませんでした。\n%ls\n%ls", file.c_str(), FileFailureText(failure, code).c_str());
}

std::wstring CellLogText(const CellTower& cell)
{
    std::wstring radio;
    for (char c : cell.radio) {
        radio += static_cast<wchar_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    const bool tracking = cell.radio == "lte" || cell.radio == "nr"; // a tracking area, not a location area
    return Format(L"%ls %03u-%0*u %ls %lu CI %llu", radio.c_str(), cell.mcc, static_cast<int>(cell.mncDigits), cell.mnc,
                  tracking ? L"TAC" : L"LAC", static_cast<unsigned long>(cell.area),
                  static_cast<unsigned long long>(cell.cell));
}

std::wstring MissingGeolocateText(const std::optional<std::wstring>& value)
{
    if (!value || value->empty()) {
        return L"設定ファイルに GEOLOCATEURL がないため、基地局の位置を問い合わせられません。\n"
               L"位置検索サービスの URL を GEOLOCATEURL に設定してください。";
    }
    return Format(L"設定ファイルの GEOLOCATEURL が正しい URL ではないため、基地局の位置を問い合わせられません。\n"
                  L"GEOLOCATEURL=%ls",
                  ShownValue(*value).c_str());
}
