#include "platform/device_sim.h"

#include "common/deadline.h"
#include "platform/ras.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>

namespace {

// {436EF144-B4FB-4863-A041-8F905A62C572}, the Internet destination of the handheld.
const GUID kInternet = {0x436ef144, 0xb4fb, 0x4863, {0xa0, 0x41, 0x8f, 0x90, 0x5a, 0x62, 0xc5, 0x72}};
const wchar_t* const kDescriptions[] = {L"The Internet", L"Work"};

// A hung-up connection answers a few more status queries before it is gone.
constexpr int kPollsAfterHangUp = 2;

struct Request
{
    HANDLE event = nullptr; // the handle given out, auto-reset
    DWORD status = CONNMGR_STATUS_UNKNOWN;
    std::vector<DeviceProfile::Step> steps; // timed steps still to come
    HANDLE stop = nullptr;
    HANDLE driver = nullptr;
    bool real = false;
    ce::HRASCONN dialup = nullptr; // the dial-up connection it shows as, if any
};

struct Dialup
{
    ce::HRASCONN handle;
    DWORD state;
    int pollsLeft;          // -1 while not hung up
    HANDLE owner = nullptr; // the request it stands for, if any
    DWORD releasedAt = 0;   // with cachedMs: when its request was released
    DWORD cachedMs = 0;     // non-zero while it stays up after that release
};

class Simulation
{
public:
    Simulation()
    {
        InitializeCriticalSection(&m_lock);
        LoadFromEnvironment();
    }
    // Lives until the process ends: static destructors may still release connections.
    Simulation(const Simulation&) = delete;
    Simulation& operator=(const Simulation&) = delete;

    void Lock() { EnterCriticalSection(&m_lock); }
    void Unlock() { LeaveCriticalSection(&m_lock); }

    void Apply(const DeviceProfile& profile)
    {
        m_profile = profile;
        m_realRequests = 0;
        m_dialups.clear();
        for (const DeviceProfile::Dialup& d : profile.dialups) {
            ce::HRASCONN handle = nullptr;
            if (d.hasHandle) {
                handle = NewDialupHandle();
            }
            m_dialups.push_back(Dialup{handle, d.state, -1});
        }
    }

    ce::HRASCONN NewDialupHandle()
    {
        auto handle = reinterpret_cast<ce::HRASCONN>(static_cast<uintptr_t>(m_nextDialup));
        m_nextDialup += 4;
        return handle;
    }

    void LoadFromEnvironment()
    {
        DeviceProfile profile;
        wchar_t path[MAX_PATH];
        DWORD n = GetEnvironmentVariableW(L"TAVRIN_DEVICE_SIM", path, MAX_PATH);
        if (n > 0 && n < MAX_PATH) {
            std::string text;
            if (ReadFileText(path, text)) {
                std::string error;
                DeviceProfile parsed;
                if (ParseDeviceProfile(text, parsed, error)) {
                    profile = parsed;
                } else {
                    OutputDebugStringA(("device simulation profile ignored: " + error + "\n").c_str());
                }
            }
        }
        Apply(profile);
    }

    DeviceProfile m_profile;
    int m_realRequests = 0;
    std::vector<Dialup> m_dialups;
    uintptr_t m_nextDialup = 0x1000;
    std::map<HANDLE, std::unique_ptr<Request>> m_requests;
    devicesim::Counters m_counters;

private:
    static bool ReadFileText(const wchar_t* path, std::string& text)
    {
        HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return false;
        }
        char buffer[4096];
        DWORD read = 0;
        while (text.size() < (1u << 20) && ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
            text.append(buffer, read);
        }
        CloseHandle(file);
        return true;
    }

    CRITICAL_SECTION m_lock;
};

Simulation& Sim()
{
    static Simulation* sim = new Simulation(); // never destroyed, see above
    return *sim;
}

class Guard
{
public:
    Guard() { Sim().Lock(); }
    ~Guard() { Sim().Unlock(); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
};

// Sets a request's status and signals its handle; with the profile's option a connected
// real request also appears in the dial-up list. Called with the lock held.
void SetStatus(Request& request, DWORD status)
{
    request.status = status;
    SetEvent(request.event);
    Simulation& sim = Sim();
    if (request.real && status == CONNMGR_STATUS_CONNECTED && request.dialup == nullptr &&
        sim.m_profile.dialupFollowsConnection) {
        request.dialup = sim.NewDialupHandle();
        sim.m_dialups.push_back(Dialup{request.dialup, ce::RASCS_Connected, -1, request.event});
    }
}

// Plays a request's timed steps, each after its delay, until told to stop.
DWORD WINAPI DriveRequest(void* param)
{
    Request* request = static_cast<Request*>(param);
    for (size_t i = 0;; ++i) {
        DWORD delay;
        {
            Guard guard;
            if (i >= request->steps.size()) {
                return 0;
            }
            delay = request->steps[i].delayMs;
        }
        if (WaitForSingleObject(request->stop, delay) != WAIT_TIMEOUT) {
            return 0;
        }
        Guard guard;
        if (i >= request->steps.size()) { // cut short by a hang-up meanwhile
            return 0;
        }
        SetStatus(*request, request->steps[i].status);
    }
}

// Connections held on after their release go once their time has run out. Called with the
// lock held.
void DropExpiredDialups()
{
    std::vector<Dialup>& list = Sim().m_dialups;
    const DWORD now = GetTickCount();
    list.erase(std::remove_if(
                   list.begin(), list.end(),
                   [&](const Dialup& d) { return d.cachedMs != 0 && !StillWaiting(d.releasedAt, now, d.cachedMs); }),
               list.end());
}

Dialup* FindDialup(ce::HRASCONN handle)
{
    DropExpiredDialups();
    for (Dialup& d : Sim().m_dialups) {
        if (handle != nullptr && d.handle == handle) {
            return &d;
        }
    }
    return nullptr;
}

// Keeps the caller of a Connection Manager call waiting when the profile says so; called
// without the lock, so the rest of the simulation goes on meanwhile.
void BlockIf(DeviceProfile::Call call)
{
    DWORD ms = 0;
    {
        Guard guard;
        const DeviceProfile& profile = Sim().m_profile;
        ms = profile.blockingCall == call ? profile.blockMs : 0;
    }
    if (ms != 0) {
        Sleep(ms);
    }
}

// The storage card's delay of the profile's `field`, taken without the lock.
void DelayStorage(uint32_t DeviceProfile::*field)
{
    DWORD ms = 0;
    {
        Guard guard;
        ms = Sim().m_profile.*field;
    }
    if (ms != 0) {
        Sleep(ms);
    }
}

} // namespace

namespace devicesim {

void SetProfile(const DeviceProfile& profile)
{
    Guard guard;
    Sim().Apply(profile);
}

void ResetProfile()
{
    Guard guard;
    Sim().LoadFromEnvironment();
}

Counters GetCounters()
{
    Guard guard;
    return Sim().m_counters;
}

void ResetCounters()
{
    Guard guard;
    Sim().m_counters = Counters();
}

int OpenRequests()
{
    Guard guard;
    return static_cast<int>(Sim().m_requests.size());
}

int DialupCount()
{
    Guard guard;
    return static_cast<int>(Sim().m_dialups.size());
}

void DelayStorageWrite()
{
    DelayStorage(&DeviceProfile::storageWriteMs);
}

void DelayStorageRead()
{
    DelayStorage(&DeviceProfile::storageReadMs);
}

} // namespace devicesim

HRESULT ConnMgrEnumDestinations(int nIndex, CONNMGR_DESTINATION_INFO* pDestInfo)
{
    Guard guard;
    ++Sim().m_counters.enumerations;
    if (pDestInfo == nullptr) {
        return E_POINTER;
    }
    if (nIndex < 0 || nIndex >= Sim().m_profile.destinations) {
        return E_FAIL;
    }
    std::memset(pDestInfo, 0, sizeof *pDestInfo);
    pDestInfo->guid = kInternet;
    pDestInfo->guid.Data1 += static_cast<unsigned long>(nIndex);
    lstrcpynW(pDestInfo->szDescription, kDescriptions[nIndex == 0 ? 0 : 1], CONNMGR_MAX_DESC);
    return S_OK;
}

HRESULT ConnMgrMapURL(LPCWSTR pwszURL, GUID* pguid, DWORD* pdwIndex)
{
    Guard guard;
    ++Sim().m_counters.mappings;
    if (pguid == nullptr) {
        return E_POINTER;
    }
    if (pwszURL == nullptr || *pwszURL == L'\0' || Sim().m_profile.mappingFails) {
        return E_INVALIDARG;
    }
    *pguid = kInternet;
    if (pdwIndex != nullptr) {
        *pdwIndex = 0;
    }
    return S_OK;
}

HRESULT ConnMgrEstablishConnection(CONNMGR_CONNECTIONINFO* pConnInfo, HANDLE* phConnection)
{
    if (pConnInfo == nullptr || phConnection == nullptr) {
        return E_POINTER;
    }
    if (pConnInfo->cbSize != sizeof(CONNMGR_CONNECTIONINFO) || !(pConnInfo->dwParams & CONNMGR_PARAM_GUIDDESTNET)) {
        return E_INVALIDARG;
    }
    BlockIf(pConnInfo->bDisabled ? DeviceProfile::Call::Test : DeviceProfile::Call::Establish);
    Guard guard;
    Simulation& sim = Sim();
    const DeviceProfile& profile = sim.m_profile;
    auto request = std::make_unique<Request>();
    if (pConnInfo->bDisabled) {
        ++sim.m_counters.testRequests;
        sim.m_counters.lastTest = *pConnInfo;
        if (profile.testAnswer == DeviceProfile::TestAnswer::Refused) {
            return E_FAIL;
        }
        if (profile.testAnswer == DeviceProfile::TestAnswer::Status) {
            request->steps.push_back(DeviceProfile::Step{0, profile.testStatus});
        } else {
            request->status = CONNMGR_STATUS_WAITINGCONNECTION;
        }
    } else {
        ++sim.m_counters.realRequests;
        sim.m_counters.lastReal = *pConnInfo;
        size_t index = static_cast<size_t>(sim.m_realRequests++);
        if (!profile.attempts.empty()) {
            const DeviceProfile::Attempt& attempt = profile.attempts[std::min(index, profile.attempts.size() - 1)];
            if (attempt.refused) {
                return E_FAIL;
            }
            request->steps = attempt.steps;
        }
        request->status = CONNMGR_STATUS_WAITINGCONNECTION;
        request->real = true;
    }
    request->event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (request->event == nullptr) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    // Steps due at once are applied before the caller gets the handle.
    size_t due = 0;
    while (due < request->steps.size() && request->steps[due].delayMs == 0) {
        SetStatus(*request, request->steps[due].status);
        ++due;
    }
    request->steps.erase(request->steps.begin(), request->steps.begin() + due);
    if (!request->steps.empty()) {
        request->stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        request->driver = request->stop ? CreateThread(nullptr, 0, DriveRequest, request.get(), 0, nullptr) : nullptr;
        if (request->driver == nullptr) {
            HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
            if (request->stop) {
                CloseHandle(request->stop);
            }
            CloseHandle(request->event);
            return hr;
        }
    }
    *phConnection = request->event;
    sim.m_requests[request->event] = std::move(request);
    return S_OK;
}

HRESULT ConnMgrConnectionStatus(HANDLE hConnection, DWORD* pdwStatus)
{
    Guard guard;
    ++Sim().m_counters.statusQueries;
    if (pdwStatus == nullptr) {
        return E_POINTER;
    }
    auto it = Sim().m_requests.find(hConnection);
    if (it == Sim().m_requests.end()) {
        return E_INVALIDARG;
    }
    if (Sim().m_profile.statusQueryFails) {
        return E_FAIL;
    }
    *pdwStatus = it->second->status;
    return S_OK;
}

HRESULT ConnMgrReleaseConnection(HANDLE hConnection, LONG lCache)
{
    bool real = false;
    {
        Guard guard;
        auto it = Sim().m_requests.find(hConnection);
        if (it == Sim().m_requests.end()) {
            return E_INVALIDARG;
        }
        real = it->second->real;
    }
    if (real) {
        BlockIf(DeviceProfile::Call::Release);
    }
    std::unique_ptr<Request> request;
    {
        Guard guard;
        auto it = Sim().m_requests.find(hConnection);
        if (it == Sim().m_requests.end()) {
            return E_INVALIDARG;
        }
        request = std::move(it->second);
        Sim().m_requests.erase(it);
        Sim().m_counters.releases.push_back(lCache);
        // The connection it stood for ends with it, unless it is cached for a while.
        const DWORD cachedMs = lCache != 0 ? Sim().m_profile.cacheTimeMs : 0;
        std::vector<Dialup>& list = Sim().m_dialups;
        if (cachedMs == 0) {
            list.erase(std::remove_if(list.begin(), list.end(),
                                      [&](const Dialup& d) { return d.owner == hConnection && d.pollsLeft < 0; }),
                       list.end());
        }
        for (Dialup& d : list) {
            if (d.owner == hConnection) {
                d.owner = nullptr;
                d.releasedAt = GetTickCount();
                d.cachedMs = d.pollsLeft < 0 ? cachedMs : 0;
            }
        }
    }
    // The driver takes the lock itself, so it is stopped outside it.
    if (request->driver != nullptr) {
        SetEvent(request->stop);
        WaitForSingleObject(request->driver, INFINITE);
        CloseHandle(request->driver);
        CloseHandle(request->stop);
    }
    CloseHandle(request->event);
    return S_OK;
}

namespace ce {

DWORD RasEnumConnections(RASCONN* lprasconn, DWORD* lpcb, DWORD* lpcConnections)
{
    if (lpcb == nullptr || lpcConnections == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (lprasconn != nullptr && lprasconn->dwSize != sizeof(RASCONN)) {
        return 632; // ERROR_INVALID_SIZE
    }
    Guard guard;
    DropExpiredDialups();
    const std::vector<Dialup>& list = Sim().m_dialups;
    DWORD needed = static_cast<DWORD>(list.size() * sizeof(RASCONN));
    if (lprasconn == nullptr || *lpcb < needed) {
        *lpcb = needed;
        *lpcConnections = 0;
        return ERROR_BUFFER_TOO_SMALL;
    }
    for (size_t i = 0; i < list.size(); ++i) {
        RASCONN& out = lprasconn[i];
        std::memset(&out, 0, sizeof out);
        out.dwSize = sizeof(RASCONN);
        out.hrasconn = list[i].handle;
        wsprintfW(out.szEntryName, L"Dialup %u", static_cast<unsigned>(i + 1));
    }
    *lpcConnections = static_cast<DWORD>(list.size());
    return 0;
}

DWORD RasGetConnectStatus(HRASCONN hrasconn, RASCONNSTATUS* lprasconnstatus)
{
    if (lprasconnstatus == nullptr || lprasconnstatus->dwSize != sizeof(RASCONNSTATUS)) {
        return 632; // ERROR_INVALID_SIZE
    }
    Guard guard;
    Dialup* dialup = FindDialup(hrasconn);
    if (dialup == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (dialup->pollsLeft == 0) {
        std::vector<Dialup>& list = Sim().m_dialups;
        list.erase(list.begin() + (dialup - list.data()));
        return ERROR_INVALID_HANDLE;
    }
    if (dialup->pollsLeft > 0) {
        --dialup->pollsLeft;
    }
    lprasconnstatus->rasconnstate = dialup->state;
    lprasconnstatus->dwError = 0;
    lstrcpynW(lprasconnstatus->szDeviceType, L"modem", RAS_MaxDeviceType + 1);
    lstrcpynW(lprasconnstatus->szDeviceName, L"W-SIM", RAS_MaxDeviceName + 1);
    return 0;
}

DWORD RasHangUp(HRASCONN hrasconn)
{
    Guard guard;
    ++Sim().m_counters.hangUps;
    Dialup* dialup = FindDialup(hrasconn);
    if (dialup == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    switch (Sim().m_profile.hangUp) {
    case DeviceProfile::HangUp::Fails:
        return ERROR_GEN_FAILURE;
    case DeviceProfile::HangUp::Never:
        return 0; // accepted, and the connection stays as it is
    case DeviceProfile::HangUp::Completes:
        break;
    }
    if (dialup->pollsLeft < 0) {
        dialup->state = RASCS_Disconnected;
        dialup->pollsLeft = kPollsAfterHangUp;
        // Hanging up the line a request holds disconnects that request.
        auto owner = Sim().m_requests.find(dialup->owner);
        if (dialup->owner != nullptr && owner != Sim().m_requests.end()) {
            owner->second->steps.clear();
            SetStatus(*owner->second, CONNMGR_STATUS_DISCONNECTED);
        }
    }
    return 0;
}

} // namespace ce
