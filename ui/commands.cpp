#include "ui/commands.h"

#include "acquisition/acquire_logic.h"
#include "acquisition/cs_id.h"
#include "acquisition/fix_wait.h"
#include "acquisition/module_setting.h"
#include "acquisition/receiver_address.h"
#include "common/message_box.h"
#include "common/system_library_win.h"
#include "common/text_format.h"
#include "network/connection_rules.h"
#include "network/geolocate.h"
#include "network/geolocate_request.h"
#include "network/location_request.h"
#include "network/location_service.h"
#include "network/service_url.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "ui/acquire_dialog.h"
#include "ui/app_state.h"
#include "ui/command_logic.h"
#include "ui/connecting_dialog.h"
#include "ui/device_wait.h"
#include "ui/fix_dialog.h"
#include "ui/job_rules.h"
#include "ui/list_editor.h"
#include "ui/modem_dialog.h"
#include "ui/position_cache.h"
#include "ui/progress_dialog.h"

#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The last value of each acquisition mode; a send can repeat without a new acquisition.
std::wstring g_strCsId;
std::wstring g_strSimpleCoords;
std::optional<WgsPosition> g_lastFix; // a receiver's
std::optional<CellTower> g_lastCell;  // a modem's

namespace {

FixKind g_lastFixKind = FixKind::Measured;
// The receiver's port is still open after "取得～送信" took a fix whose epoch was being read.
bool g_bFixEpochOpen = false;

constexpr UINT_PTR kConnectButtonTimer = 100;
// The lookup cache is written this long after a send, not while the browser it started loads.
constexpr UINT kCacheWriteDelayMs = 1000;
// A send waits this long at most for the cache's file, read while the module answered.
constexpr DWORD kCacheReadWaitMs = 3000;
// The Connection Manager's check: its own wait is 400 ms, and earlier work gets kConnectionWorkWaitMs.
constexpr DWORD kNetworkCheckLimitMs = 10000;
// A wait shorter than this shows no dialog: a quick check or lookup does not flash one.
constexpr DWORD kShowProgressAfterMs = 300;

const wchar_t kCaptionConfirm[] = L"確認";
const wchar_t kCaptionWarning[] = L"警告";
const wchar_t kCaptionError[] = L"Error";

// One command at a time: while one runs (its dialogs and waits keep the window answering),
// the commands that would start another do nothing.
bool g_bCommandRunning = false;
// A device's box asked for the port search: the window opens it when the command has ended.
bool g_searchPortsAsked = false;

class CCommandRun
{
public:
    CCommandRun() { g_bCommandRunning = true; }
    ~CCommandRun() { g_bCommandRunning = false; }
    CCommandRun(const CCommandRun&) = delete;
    CCommandRun& operator=(const CCommandRun&) = delete;
};

void Warn(HWND window, const wchar_t* text)
{
    ShowMessageBox(window, text, kCaptionWarning, MB_OK | MB_ICONEXCLAMATION);
}

// Every log line rewrites all controls from the record, so callers read the controls
// back first (Exchange(false)) or the user's unsaved changes on screen are lost. The text
// and its line end go in with one rewrite: the log field takes milliseconds to refill.
void AppendLogLine(const std::wstring& text)
{
    AppendToLog(g_settings.m_strLog, text + L"\r\n");
    g_settings.Exchange(true);
}

// Starts the selected browser on the URL; a browser that cannot be started is said, naming its
// file (on a desktop the factory entries name handset paths).
void LaunchBrowser(HWND window, const std::wstring& url)
{
    std::wstring file;
    if (!g_settings.GetSelectedBrowserFile(file) || file.empty()) {
        return;
    }
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = nullptr;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.lpParameters = url.c_str();
    info.lpDirectory = nullptr;
    info.nShow = SW_SHOWNORMAL;
    // No wait: the browser lives on its own.
    if (!ShellExecuteExW(&info)) {
        const DWORD error = GetLastError();
        ShowMessageBox(window, BrowserFailureText(file, FileFailureFromError(error), error), kCaptionError,
                       MB_OK | MB_ICONERROR);
    }
}

JobSettings CurrentJobSettings(bool getFirst)
{
    JobSettings settings;
    settings.module = ModuleFromSetting(g_settings.m_module);
    // Simple coordinates are the W-SIM's own: with a receiver the box means nothing.
    settings.simpleCoordinates = g_settings.m_bLocateEasy != 0 && settings.module == ModuleKind::WSim;
    settings.autoConnect = g_settings.m_bAutoConnect != 0;
    settings.startBrowser = g_settings.m_bAutoBrowser != 0;
    settings.useCache = g_settings.m_lookupCache.value_or(false);
    if (getFirst) {
        settings.waitMs = ConnectWaitMilliseconds(settings.autoConnect, static_cast<long>(g_settings.m_nConnectWait));
    }
    return settings;
}

// A receiver's fix as the templates and the log take it.
WgsPosition ReceiverPosition(const NmeaFix& fix)
{
    WgsPosition position;
    position.latitude = fix.latitude;
    position.longitude = fix.longitude;
    position.accuracyM = fix.accuracyM;
    if (fix.time) {
        position.time = JapanTime(*fix.time, fix.date);
    }
    return position;
}

// Whether the URL of the selected entry takes the accuracy.
bool SelectedTemplateTakesAccuracy()
{
    std::wstring format;
    g_settings.GetSelectedFormat(format); // an empty format keeps the template in force
    return g_locationService.TemplateUses(format.c_str(), L"$acc");
}

// Nothing answered on the port, and its box was asked to search the ports: the settings screen
// with the search, once this command has ended (no screen opens while a command runs).
void SearchPortsIfAsked(INT_PTR result)
{
    if (result == kWaitSearchPorts) {
        g_searchPortsAsked = true;
    }
}

// A receiver's first fix: the speed a search found and the fix go to the log; the fix only when
// no send follows, which logs it (once, and with one refill of the log before the browser). The
// fix waits for its epoch's accuracy when the URL takes it or when it is kept for later sends;
// otherwise it goes on at once, and the port stays open for the rest of its epoch.
StepOutcome AcquireFix(HWND window, bool thenSend)
{
    // A place the receiver cannot be at is said, as the settings screen says it, before anything
    // is opened or sent.
    const ReceiverAddressParse where = ParseReceiverAddress(g_settings.m_port);
    if (!where.address) {
        Warn(window, where.reason.c_str());
        return StepOutcome::Failed;
    }
    g_csId.ClosePort(); // a W-SIM port left open holds the device
    g_bFixEpochOpen = false;
    NmeaFix fix;
    unsigned speedFound = 0;
    const bool accuracyWanted = !thenSend || SelectedTemplateTakesAccuracy();
    const INT_PTR result = ShowFixDialog(g_hInstance, window, *where.address, BaudFromSetting(g_settings.m_baud),
                                         FixWaitSeconds(g_settings.m_fixWait), fix, speedFound, accuracyWanted);
    if (result != 1) {
        SearchPortsIfAsked(result);
        return StepOutcome::Failed;
    }
    if (!IsWindow(window)) {
        return StepOutcome::Left; // the program is closing
    }
    const WgsPosition position = ReceiverPosition(fix);
    g_lastFix = position;
    g_lastFixKind = fix.kind;
    g_bFixEpochOpen = thenSend && !fix.epochDone;
    std::wstring lines = speedFound != 0 ? SpeedFoundText(where.address->device, speedFound) : std::wstring();
    if (!thenSend) {
        lines += (lines.empty() ? L"" : L"\r\n") + WgsPositionText(position) + FixKindText(fix.kind);
    }
    if (!lines.empty()) {
        AppendLogLine(lines);
    }
    return StepOutcome::Ok;
}

// A modem's serving cell: the cell goes to the log.
StepOutcome AcquireCell(HWND window)
{
    const std::wstring port = ModuleDeviceName(g_settings.m_port);
    g_csId.ClosePort(); // a W-SIM port left open holds the device
    CellTower cell;
    const INT_PTR result = ShowModemDialog(g_hInstance, window, port, BaudFromSetting(g_settings.m_baud), cell);
    if (result != 1) {
        SearchPortsIfAsked(result);
        return StepOutcome::Failed;
    }
    if (!IsWindow(window)) {
        return StepOutcome::Left; // the program is closing
    }
    g_lastCell = cell;
    AppendLogLine(CellLogText(cell));
    return StepOutcome::Ok;
}

// The acquisition, with the question about an existing line: Ok with the new value logged,
// Left when the user keeps the line, Failed when the dialogs said why (or the user left them).
// `thenSend`: a send follows ("取得～送信").
StepOutcome Acquire(HWND window, bool thenSend)
{
    g_settings.Exchange(false);
    const JobSettings settings = CurrentJobSettings(false);
    if (settings.module == ModuleKind::Nmea) {
        // The send that usually follows finds its libraries loaded while the receiver works.
        PostMessageW(window, WM_TAVRIN_PRELOAD, LibrariesForSend(true, g_settings.m_bAutoBrowser), 0);
        return AcquireFix(window, thenSend); // a receiver needs no line cut
    }
    if (settings.module == ModuleKind::Modem) {
        // The lookup's libraries and the cache are loaded while the modem answers. Its AT port
        // is not the data line: nothing needs to be cut.
        PostMessageW(window, WM_TAVRIN_PRELOAD, LibrariesForSend(false, g_settings.m_bAutoBrowser),
                     UsesCache(settings));
        return AcquireCell(window);
    }
    if (ConnectionExists()) {
        if (ShowMessageBox(window, L"接続中です。切断してもよろしいですか？", kCaptionConfirm, MB_YESNO) != IDYES) {
            return StepOutcome::Left;
        }
        if (RunDisconnectDialog(g_hInstance, window) == 2) {
            return StepOutcome::Failed;
        }
    }
    g_settings.Exchange(false);
    g_csId.SetBoxOwner(window); // closing a port left open on another device may fail
    g_csId.SetDeviceName(ModuleDeviceName(g_settings.m_port));
    // The send that usually follows finds its libraries (and its cache) loaded while the W-SIM
    // answers: the dialog's message loop delivers this once the command is on its way.
    PostMessageW(window, WM_TAVRIN_PRELOAD, LibrariesForSend(g_settings.m_bLocateEasy, g_settings.m_bAutoBrowser),
                 UsesCache(settings));
    const std::wstring* obtained;
    if (g_settings.m_bLocateEasy) {
        if (ShowSimpleCoordinatesDialog(g_hInstance, window) != 1) {
            return StepOutcome::Failed;
        }
        g_strSimpleCoords = g_strLocation;
        obtained = &g_strSimpleCoords;
    } else {
        if (ShowCsIdDialog(g_hInstance, window) != 1) {
            return StepOutcome::Failed;
        }
        g_strCsId = g_strLocation;
        obtained = &g_strCsId;
    }
    if (!IsWindow(window)) {
        return StepOutcome::Left; // the program is closing
    }
    AppendLogLine(*obtained);
    return StepOutcome::Ok;
}

StepOutcome OkOr(bool ok, StepOutcome otherwise)
{
    return ok ? StepOutcome::Ok : otherwise;
}

// The lookup cache's file is read while the module answers; a send that needs it before the
// read has reported waits for it here, beside the window.
StepOutcome ConsultCache(HWND window, SendJob& job, const JobSettings& settings)
{
    // Turned on after the acquisition (from the menu), the cache was not read meanwhile: it is
    // read now, on its worker, never here.
    LoadPositionCache();
    if (PositionCacheReading()) {
        ProgressRequest wait;
        wait.caption = L"待機中…";
        wait.text = L"キャッシュを読み込んでいます。";
        wait.limitMs = kCacheReadWaitMs;
        wait.showAfterMs = kShowProgressAfterMs;
        wait.until = [] { return !PositionCacheReading(); };
        const ProgressEnd end = RunProgress(g_hInstance, window, wait);
        if (end == ProgressEnd::Cancelled || end == ProgressEnd::Closed) {
            return StepOutcome::Left;
        }
    }
    // A read still on its way (a slow card) gives no position: the send asks the service.
    const std::wstring key = CacheKey(settings, job);
    return OkOr(!key.empty() && CachedPosition(key, job.cachedPosition), StepOutcome::No);
}

// The wait of the "接続時" field, between the acquisition and the send. It keeps the user's value but
// the window keeps answering, "中断" ends it, and so does closing the window.
StepOutcome WaitBeforeSend(HWND window, std::uint32_t waitMs)
{
    ProgressRequest wait;
    wait.caption = L"待機中…";
    wait.text = Format(L"送信の前に %lu ミリ秒待ちます。", static_cast<unsigned long>(waitMs));
    wait.limitMs = waitMs;
    wait.showAfterMs = kShowProgressAfterMs;
    return OkOr(RunProgress(g_hInstance, window, wait) == ProgressEnd::TimedOut, StepOutcome::Left);
}

// A value of the mode and a destination: the job takes them here, as they are now.
StepOutcome CheckInputs(HWND window, SendJob& job, const JobSettings& settings)
{
    if (settings.module == ModuleKind::Nmea) {
        if (!job.fix) {
            Warn(window, L"GNSS受信機で位置を取得してください。");
            return StepOutcome::Failed;
        }
    } else if (settings.module == ModuleKind::Modem) {
        if (!job.cell) {
            Warn(window, L"モデムで基地局の情報を取得してください。");
            return StepOutcome::Failed;
        }
    } else if (settings.simpleCoordinates && job.coordinates.empty()) {
        Warn(window, L"簡易座標を取得してください。");
        return StepOutcome::Failed;
    } else if (!settings.simpleCoordinates && job.csId.empty()) {
        Warn(window, L"CS-IDを取得してください。");
        return StepOutcome::Failed;
    }
    if (!g_settings.GetSelectedUrl(job.url)) {
        Warn(window, L"送信先のURLを指定してください。");
        return StepOutcome::Failed;
    }
    g_settings.GetSelectedFormat(job.format); // an empty format keeps the template in force
    g_settings.Exchange(false);
    return OkOr(RequireSystemLibraries(LibrariesForSend(settings.LocalPosition(), g_settings.m_bAutoBrowser), window),
                StepOutcome::Failed);
}

// The lookup service the settings choose; one the user named but that cannot be asked is
// refused, and nothing is sent anywhere. A modem's cell goes only to the geolocation service
// the user named: there is no built-in one.
StepOutcome ChooseService(HWND window, ModuleKind module, std::wstring& serviceUrl)
{
    if (module == ModuleKind::Modem) {
        const std::optional<std::wstring>& configured = g_settings.m_geolocateUrl;
        if (!configured || !IsUsableServiceUrl(*configured)) {
            Warn(window, MissingGeolocateText(configured).c_str());
            return StepOutcome::Failed;
        }
        serviceUrl = *configured;
        return StepOutcome::Ok;
    }
    const std::wstring* chosen = g_locationService.UseService(g_settings.m_serviceUrl);
    if (chosen == nullptr) {
        Warn(window, UnusableServiceText(*g_settings.m_serviceUrl).c_str());
        return StepOutcome::Failed;
    }
    serviceUrl = *chosen;
    return StepOutcome::Ok;
}

// Whether the service's network is usable now; the Connection Manager may take its time, so
// it is asked from a worker, within a limit like every other wait.
StepOutcome CheckNetwork(HWND window, const std::wstring& serviceUrl)
{
    auto state = std::make_shared<NetworkState>(NetworkState::NotUsable);
    ProgressRequest check;
    check.caption = L"接続中…";
    check.text = L"ネットワークを確認しています。";
    check.limitMs = kNetworkCheckLimitMs;
    check.showAfterMs = kShowProgressAfterMs;
    check.work = [state, serviceUrl](const CWorkerTask&) { *state = CheckNetworkState(serviceUrl.c_str()); };
    switch (RunProgress(g_hInstance, window, check)) {
    case ProgressEnd::Done:
        break;
    case ProgressEnd::TimedOut:
        ShowMessageBox(window, NetworkCheckTimeoutText(kNetworkCheckLimitMs), kCaptionError, MB_OK | MB_ICONSTOP);
        return StepOutcome::Failed;
    default:
        return StepOutcome::Left;
    }
    if (*state == NetworkState::Busy) {
        ShowMessageBox(window, ConnectionBusyText(), kCaptionError, MB_OK | MB_ICONSTOP);
        return StepOutcome::Failed;
    }
    return OkOr(*state == NetworkState::Usable, StepOutcome::No);
}

// The lookup runs on a worker against one deadline; the window gives up on it at the
// deadline, at "中断" or when it closes, and the worker stops at its next call. Ok with the
// position in the job, Failed when the lookup failed (its box shown), Left when given up.
struct LookupOutcome
{
    bool ok = false;
    std::wstring body;
    std::wstring location;
    std::wstring error;
};

StepOutcome LookUp(HWND window, SendJob& job)
{
    auto call = std::make_shared<CLookupCall>();
    auto outcome = std::make_shared<LookupOutcome>();
    const std::wstring request = g_locationService.LookupRequestUrl(job.url);
    const std::wstring csid = job.csId;
    ProgressRequest lookup;
    lookup.caption = L"送信中…";
    lookup.text = L"位置情報を問い合わせています。";
    lookup.limitMs = CLocationService::kLookupDeadlineMs;
    lookup.showAfterMs = kShowProgressAfterMs;
    lookup.work = [call, outcome, request, csid](const CWorkerTask&) {
        outcome->ok = CLocationService::RequestLocation(request, std::wstring(), true, csid, outcome->body,
                                                        outcome->location, outcome->error, call.get());
    };
    const ProgressEnd end = RunProgress(g_hInstance, window, lookup);
    if (end != ProgressEnd::Done) {
        call->Cancel();
    }
    switch (end) {
    case ProgressEnd::Done:
        if (outcome->ok) {
            return OkOr(g_locationService.ExpandFromLocation(job.url.c_str(), job.format.c_str(), outcome->location,
                                                             job.expandedUrl, job.position),
                        StepOutcome::Failed);
        }
        ShowMessageBox(window, outcome->error, kCaptionError, MB_OK | MB_ICONERROR);
        return StepOutcome::Failed;
    case ProgressEnd::TimedOut:
        ShowMessageBox(window, LookupTimeoutText(), kCaptionError, MB_OK | MB_ICONERROR);
        return StepOutcome::Failed;
    default:
        return StepOutcome::Left; // the user left, or the window went away: nothing more is said
    }
}

// The cell asked of the geolocation service on a worker, against the lookup's deadline. Ok with
// the position in the job and `position`; Failed when the service's answer was told in its own box (`told`) or
// when the request failed (its box shown, the general one to follow); Left when given up.
struct GeolocateCall
{
    bool answered = false;
    int status = 0;
    std::string body;
    std::wstring error;
};

StepOutcome GeolocateCell(HWND window, SendJob& job, bool& told, WgsPosition& position)
{
    told = false;
    auto call = std::make_shared<CLookupCall>();
    auto outcome = std::make_shared<GeolocateCall>();
    const std::wstring url = job.serviceUrl;
    const std::string request = BuildGeolocateRequest(*job.cell);
    ProgressRequest lookup;
    lookup.caption = L"送信中…";
    lookup.text = L"位置情報を問い合わせています。";
    lookup.limitMs = CLocationService::kLookupDeadlineMs;
    lookup.showAfterMs = kShowProgressAfterMs;
    lookup.work = [call, outcome, url, request](const CWorkerTask&) {
        outcome->answered =
            PostGeolocateRequest(url, request, outcome->status, outcome->body, outcome->error, call.get());
    };
    const ProgressEnd end = RunProgress(g_hInstance, window, lookup);
    if (end != ProgressEnd::Done) {
        call->Cancel();
    }
    switch (end) {
    case ProgressEnd::Done:
        break;
    case ProgressEnd::TimedOut:
        ShowMessageBox(window, LookupTimeoutText(), kCaptionError, MB_OK | MB_ICONERROR);
        return StepOutcome::Failed;
    default:
        return StepOutcome::Left;
    }
    if (!outcome->answered) {
        ShowMessageBox(window, outcome->error, kCaptionError, MB_OK | MB_ICONERROR);
        return StepOutcome::Failed;
    }
    const GeolocateOutcome answer = ReadGeolocateAnswer(outcome->status, outcome->body);
    if (answer.result != GeolocateResult::Position) {
        // The service's own words say it all: no second box after this one.
        ShowMessageBox(window, answer.text, kCaptionError, MB_OK | MB_ICONERROR);
        told = true;
        return StepOutcome::Failed;
    }
    position.latitude = answer.latitude;
    position.longitude = answer.longitude;
    position.accuracyM = answer.accuracy;
    job.fallback = answer.fallback;
    return OkOr(
        g_locationService.ExpandFromWgs84(job.url.c_str(), job.format.c_str(), position, job.expandedUrl, job.position),
        StepOutcome::Failed);
}

// The rest of the fix's epoch, read while the port stayed open: its accuracy, date and kind.
// Waited for beside the window, at most kEpochWaitMs; what came by then is what the fix has.
void FinishFixEpoch(HWND window, SendJob& job)
{
    if (!job.fixEpochOpen || !job.fix || !g_bFixEpochOpen) {
        return;
    }
    g_bFixEpochOpen = false;
    ProgressRequest wait;
    wait.limitMs = kEpochWaitMs;
    wait.showAfterMs = INFINITE;
    wait.work = [](const CWorkerTask& task) {
        for (;;) {
            const std::optional<NmeaFix> fix = ReceiverFix();
            if (!fix || fix->epochDone || task.Cancelled()) {
                return;
            }
            Sleep(10);
        }
    };
    RunProgress(g_hInstance, window, wait);
    const std::optional<NmeaFix> fix = ReceiverFix();
    if (fix) {
        job.fix = ReceiverPosition(*fix);
        job.fixKind = fix->kind;
        g_lastFix = job.fix;
        g_lastFixKind = fix->kind;
    }
}

StepOutcome Locate(HWND window, SendJob& job, const JobSettings& settings)
{
    bool told = false; // the failure's own box said everything
    StepOutcome outcome = StepOutcome::Failed;
    switch (ChoosePositionSource(settings, job)) {
    case PositionSource::Coordinates:
        outcome = OkOr(g_locationService.ExpandFromSimpleCoordinates(job.url.c_str(), job.format.c_str(),
                                                                     job.coordinates, job.expandedUrl, job.position),
                       StepOutcome::Failed);
        break;
    case PositionSource::Receiver:
        // The entry chosen while the receiver was heard may take $acc after all.
        if (g_locationService.TemplateUses(job.format.c_str(), L"$acc")) {
            FinishFixEpoch(window, job);
        }
        outcome = OkOr(g_locationService.ExpandFromWgs84(job.url.c_str(), job.format.c_str(), *job.fix, job.expandedUrl,
                                                         job.position),
                       StepOutcome::Failed);
        break;
    case PositionSource::Cache:
        outcome = OkOr(g_locationService.ExpandFromPosition(job.url.c_str(), job.format.c_str(), job.cachedPosition,
                                                            job.expandedUrl, job.position),
                       StepOutcome::Failed);
        break;
    case PositionSource::Lookup:
        outcome = LookUp(window, job);
        if (outcome == StepOutcome::Ok && KeepsLookedUpPosition(settings, CLocationService::IsPosition(job.position))) {
            RememberPosition(CacheKey(settings, job), job.position);
        }
        break;
    case PositionSource::CachedCell: {
        WgsPosition cached;
        outcome = OkOr(ReadCachedWgs(job.cachedPosition, cached) &&
                           g_locationService.ExpandFromWgs84(job.url.c_str(), job.format.c_str(), cached,
                                                             job.expandedUrl, job.position),
                       StepOutcome::Failed);
        break;
    }
    case PositionSource::Geolocate: {
        WgsPosition answered;
        outcome = GeolocateCell(window, job, told, answered);
        // A guess from the cell's area is not the cell's position: it is not kept under the cell.
        if (outcome == StepOutcome::Ok && KeepsLookedUpPosition(settings, job.fallback.empty())) {
            RememberPosition(CacheKey(settings, job), CachedWgsText(answered));
        }
        break;
    }
    }
    if (outcome == StepOutcome::Failed && !told) {
        ShowMessageBox(window, L"位置情報の取得に失敗しました。", kCaptionError, MB_OK | MB_ICONERROR);
    }
    return outcome;
}

// The values of the last acquisitions, as the job works from them.
void TakeAcquired(SendJob& job)
{
    job.csId = g_strCsId;
    job.coordinates = g_strSimpleCoords;
    job.fix = g_lastFix;
    job.fixKind = g_lastFixKind;
    job.cell = g_lastCell;
}

StepOutcome RunStep(JobStep step, HWND window, SendJob& job, const JobSettings& settings)
{
    switch (step) {
    case JobStep::Acquire:
        return Acquire(window, true);
    case JobStep::ConsultCache:
        return ConsultCache(window, job, settings);
    case JobStep::WaitBeforeSend:
        return WaitBeforeSend(window, settings.waitMs);
    case JobStep::CheckInputs:
        return CheckInputs(window, job, settings);
    case JobStep::ChooseService:
        return ChooseService(window, settings.module, job.serviceUrl);
    case JobStep::CheckNetwork:
        return CheckNetwork(window, job.serviceUrl);
    case JobStep::Connect:
        return OkOr(RunConnectDialog(g_hInstance, window, job.serviceUrl.c_str()) != 2, StepOutcome::Failed);
    case JobStep::Locate:
        return Locate(window, job, settings);
    case JobStep::Log:
        if (job.fixEpochOpen) {
            FinishFixEpoch(window, job);
            if (!IsWindow(window)) {
                return StepOutcome::Left; // closed while the epoch was read
            }
            job.position = WgsPositionText(*job.fix);
        }
        AppendLogLine(JobLogLine(settings, job));
        return StepOutcome::Ok;
    case JobStep::StartBrowser:
        LaunchBrowser(window, job.expandedUrl);
        return StepOutcome::Ok;
    case JobStep::Done:
        break;
    }
    return StepOutcome::Left;
}

// "送信" and "取得～送信": one job, its steps in the order the rules give. Each step reads the
// controls into the record first, as a command always has; the job's own values travel in `job`.
void RunSendJob(HWND window, bool getFirst)
{
    SendJob job;
    job.getFirst = getFirst;
    TakeAcquired(job);
    g_settings.Exchange(false);
    JobSettings settings = CurrentJobSettings(getFirst);
    JobStep step = FirstJobStep(getFirst, settings);
    while (step != JobStep::Done) {
        const StepOutcome outcome = RunStep(step, window, job, settings);
        if (!IsWindow(window)) {
            CloseFixPort();
            g_bFixEpochOpen = false;
            return; // the window was closed while the step waited
        }
        if (step == JobStep::Acquire && outcome == StepOutcome::Ok) {
            TakeAcquired(job);
            job.fixEpochOpen = g_bFixEpochOpen && settings.module == ModuleKind::Nmea;
        }
        g_settings.Exchange(false);
        settings = CurrentJobSettings(getFirst);
        step = NextJobStep(step, outcome, settings, job);
    }
    CloseFixPort(); // a receiver's port, once its fix has gone on
    g_bFixEpochOpen = false;
    // Later: the browser it started is loading now, and the user does not wait for the file.
    SavePositionCache(kCacheWriteDelayMs);
}

LRESULT OnConnect(HWND window)
{
    if (ConnectionExists()) {
        RunDisconnectDialog(g_hInstance, window);
        return 0;
    }
    std::wstring serviceUrl;
    g_settings.Exchange(false);
    if (ChooseService(window, ModuleFromSetting(g_settings.m_module), serviceUrl) != StepOutcome::Ok ||
        CheckNetwork(window, serviceUrl) != StepOutcome::No) {
        return 0;
    }
    RunConnectDialog(g_hInstance, window, serviceUrl.c_str());
    return 0;
}

// The list editor works on a copy; the list and its index change only after OK.
void EditList(HWND window, std::vector<CListEntry>& list, int kind, int& index)
{
    ResetListEditor();
    if (RunListEditor(g_hInstance, window, list, kind, index) != 1) {
        return;
    }
    GetEditedList(list);
    const int selection = g_nEditorSelection;
    if (selection >= 0 && static_cast<size_t>(selection) < list.size()) {
        index = selection;
    }
    g_settings.Exchange(true);
}

LRESULT OnEditUrlList(HWND window)
{
    std::wstring ignored;
    g_settings.GetSelectedUrl(ignored); // takes the combo's selection into m_nUrlIndex
    EditList(window, g_settings.GetUrlList(), 0, g_settings.m_nUrlIndex);
    return 0;
}

LRESULT OnEditBrowserList(HWND window)
{
    std::wstring ignored;
    g_settings.GetSelectedBrowserFile(ignored);
    EditList(window, g_settings.GetBrowserList(), 1, g_settings.m_nBrowserIndex);
    return 0;
}

} // namespace

void LogLine(const std::wstring& text)
{
    g_settings.Exchange(false);
    AppendLogLine(text);
}

bool CommandRunning()
{
    return g_bCommandRunning;
}

LRESULT OnControlCommand(HWND window, WPARAM wParam, LPARAM /*lParam*/)
{
    const ControlCommand command = ControlCommandFromId(LOWORD(wParam));
    if (command == ControlCommand::Ignore || command == ControlCommand::Default) {
        return command == ControlCommand::Ignore ? 0 : -1;
    }
    if (g_bCommandRunning) {
        return 0; // a second command while one runs does nothing
    }
    CCommandRun run;
    switch (command) {
    case ControlCommand::GetLocation:
        Acquire(window, false);
        CloseFixPort();
        break;
    case ControlCommand::Send:
        RunSendJob(window, false);
        break;
    case ControlCommand::Connect:
        OnConnect(window);
        break;
    case ControlCommand::GetAndSend:
        RunSendJob(window, true);
        break;
    case ControlCommand::EditUrlList:
        OnEditUrlList(window);
        break;
    case ControlCommand::EditBrowserList:
        OnEditBrowserList(window);
        break;
    default:
        break;
    }
    if (std::exchange(g_searchPortsAsked, false) && IsWindow(window)) {
        PostMessageW(window, WM_TAVRIN_SEARCH_PORTS, 0, 0);
    }
    return 0;
}

LRESULT OnTimer(HWND window, UINT_PTR timerId)
{
    if (timerId != kConnectButtonTimer) {
        return 0;
    }
    HWND button = GetDlgItem(window, IDC_CONNECT);
    wchar_t current[100] = {};
    GetWindowTextW(button, current, 100);
    const wchar_t* wanted = ConnectionExists() ? L"切断" : L"接続";
    if (wcscmp(current, wanted) != 0) {
        SetWindowTextW(button, wanted);
    }
    return 0;
}
