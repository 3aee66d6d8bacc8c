#include "ui/command_logic.h"

#include "common/system_library.h"
#include "common/text_format.h"
#include "common/texts.h"
#include "resources/resource.h"

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
    return value.size() > kShownChars ? Text(IDS_VALUE_CUT, {value.substr(0, kShownChars)}) : value;
}

} // namespace

std::wstring UnusableServiceText(const std::wstring& value)
{
    const std::wstring shown = ShownValue(value);
    return Text(IDS_SERVICEURL_UNUSABLE, {shown});
}

std::wstring NetworkCheckTimeoutText(unsigned limitMs)
{
    return Text(IDS_NETWORK_CHECK_TIMEOUT, {NumberText(limitMs / 1000)});
}

std::wstring LookupTimeoutText()
{
    constexpr unsigned kInternetTimeout = 12002; // ERROR_INTERNET_TIMEOUT
    return Text(IDS_HTTP_SEND_REQUEST, {HexText(kInternetTimeout)});
}

std::wstring SettingsFileFailureText(bool saving, const std::wstring& path, FileFailure failure, unsigned code)
{
    return Text(saving ? IDS_SETTINGS_SAVE_FAILED : IDS_SETTINGS_READ_FAILED, {path, FileFailureText(failure, code)});
}

std::wstring CacheClearFailureText(const std::wstring& path, FileFailure failure, unsigned code)
{
    return Text(IDS_CACHE_CLEAR_FAILED, {path, FileFailureText(failure, code)});
}

std::wstring ModuleChosenText(ModuleKind module, const std::wstring& port)
{
    switch (module) {
    case ModuleKind::Nmea:
        return Text(IDS_MODULE_NMEA_CHOSEN, {port});
    case ModuleKind::Modem:
        return Text(IDS_MODULE_MODEM_CHOSEN, {port});
    case ModuleKind::WSim:
        break;
    }
    return Text(IDS_MODULE_WSIM_CHOSEN, {port});
}

std::wstring CacheWriteFailureText(FileFailure failure, unsigned code)
{
    // A line of the log, not a box: the send it follows has done its work.
    return Text(IDS_CACHE_WRITE_FAILED, {FileFailureText(failure, code)});
}

std::wstring BrowserFailureText(const std::wstring& file, FileFailure failure, unsigned code)
{
    return Text(IDS_BROWSER_FAILED, {file, FileFailureText(failure, code)});
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
        return Text(IDS_GEOLOCATEURL_MISSING);
    }
    return Text(IDS_GEOLOCATEURL_UNUSABLE, {ShownValue(*value)});
}
