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

std::wstring UnusableServiceText(const std::wstring& value)
{
    constexpr size_t kShownChars = 100;
    const std::wstring shown = value.size() > kShownChars ? value.substr(0, kShownChars) + L"…" : value;
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
    return Format(module == ModuleKind::Nmea ? L"位置を GNSS受信機（%ls）から取得します。"
                                             : L"位置を W-SIM（%ls）から取得します。",
                  port.c_str());
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
