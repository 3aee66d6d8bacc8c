#include "network/connection.h"

#include "common/texts.h"
#include "common/win_handle.h"
#include "network/connection_rules.h"
#include "resources/resource.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>

namespace {

constexpr DWORD kTestWaitMs = 400;
constexpr DWORD kStopWaitMs = 3000;
constexpr ULONG kTestLatencyMs = 4000;

} // namespace

class CConnection::Lock
{
public:
    explicit Lock(CRITICAL_SECTION& cs) : m_cs(cs) { EnterCriticalSection(&m_cs); }
    ~Lock() { LeaveCriticalSection(&m_cs); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    CRITICAL_SECTION& m_cs;
};

// What the caller and its workers share: the last message and each worker's silence.
struct CConnection::Shared
{
    Shared() { InitializeCriticalSection(&lock); }
    ~Shared() { DeleteCriticalSection(&lock); }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

    CRITICAL_SECTION lock;
    std::wstring lastMessage;
};

// One run of the connect worker: what it asks for, whom it tells, and its own stop request,
// so that no other run can take or miss it. The thread holds it too, so a worker that outlives
// its stop wait (or the connection object) never uses anything gone.
struct CConnection::Worker
{
    std::shared_ptr<Shared> shared;
    CONNMGR_CONNECTIONINFO request{};
    DWORD retryLimit = 0;
    DWORD retryPause = 0;
    HWND window = nullptr;
    int connectedMsg = -1;
    int endMsg = -1;
    CHandle stop; // manual-reset, never reset: a stop request cannot be lost
    CHandle thread;
    bool late = false;            // outlived its stop wait; guarded by the shared lock
    std::atomic<bool> giveBack{}; // the user gave up on it: its connection goes at once
};

CConnection::CConnection()
    : m_bInit(FALSE), m_hNotifyWnd(nullptr), m_nConnectedMsg(0), m_nEndMsg(0), m_shared(std::make_shared<Shared>()),
      m_dwRetryLimit(0), m_dwRetryPause(100), m_guidDestNet(), m_bProxy(FALSE)
{
    IsInit();
}

CConnection::~CConnection()
{
    // A worker still busy after its stop wait is left to end by itself: it holds what it uses.
    Abort(m_hNotifyWnd, m_nEndMsg);
}

BOOL CConnection::IsInit()
{
    if (m_bInit) {
        return TRUE;
    }
    for (int index = 0;; ++index) {
        CONNMGR_DESTINATION_INFO info{};
        if (FAILED(ConnMgrEnumDestinations(index, &info))) {
            break;
        }
        m_destinations.push_back(info);
    }
    if (!m_destinations.empty()) {
        m_bInit = TRUE;
    }
    return m_bInit;
}

HRESULT CConnection::GetNetworkFromPath(const wchar_t* path)
{
    if (path != nullptr) {
        m_strPath = path;
    }
    return ConnMgrMapURL(m_strPath.c_str(), &m_guidDestNet, nullptr);
}

HRESULT CConnection::IsAvailable(DWORD* status, const wchar_t* path, BOOL proxy)
{
    DWORD ignored = 0;
    DWORD& out = status != nullptr ? *status : ignored;
    HRESULT hr = GetNetworkFromPath(path);
    m_bProxy = proxy;
    out = 0;
    if (FAILED(hr)) {
        SetLastMessage(Text(IDS_CONN_NO_NETWORK));
        return hr;
    }

    // Only asks whether the network could be reached; nothing is connected.
    CONNMGR_CONNECTIONINFO info{};
    info.cbSize = sizeof info;
    info.guidDestNet = m_guidDestNet;
    info.dwParams = CONNMGR_PARAM_GUIDDESTNET | CONNMGR_PARAM_MAXCONNLATENCY;
    info.dwFlags = proxy ? CONNMGR_FLAG_PROXY_HTTP : 0;
    info.dwPriority = CONNMGR_PRIORITY_USERINTERACTIVE;
    info.bExclusive = FALSE;
    info.bDisabled = TRUE;
    info.ulMaxConnLatency = kTestLatencyMs;
    HANDLE request = nullptr;
    hr = ConnMgrEstablishConnection(&info, &request);
    if (FAILED(hr)) {
        SetLastMessage(Text(IDS_CONN_CHECK_NOT_TAKEN));
        return hr;
    }

    HRESULT result = hr;
    switch (WaitForSingleObject(request, kTestWaitMs)) {
    case WAIT_OBJECT_0:
        if (FAILED(ConnMgrConnectionStatus(request, &out))) {
            SetLastMessage(Text(IDS_CONN_CHECK_NO_STATUS));
            result = 1;
        } else if (IsUsableTestStatus(out)) {
            result = 0;
        } else {
            SetLastMessage(Text(IDS_CONN_CHECK_NOT_USABLE));
            result = 1;
        }
        break;
    case WAIT_TIMEOUT:
        SetLastMessage(Text(IDS_CONN_CHECK_TIMEOUT));
        result = E_FAIL;
        break;
    default:
        break;
    }
    ConnMgrReleaseConnection(request, 1);
    return result;
}

int CConnection::CheckAvailable(const wchar_t* path, DWORD* status)
{
    DWORD value = 0;
    HRESULT hr = IsAvailable(&value, path, TRUE);
    if (status != nullptr) {
        *status = value;
    }
    return AvailabilityVerdict(static_cast<int32_t>(hr), value);
}

BOOL CConnection::Connect(HWND window, const wchar_t* path, int connectedMessage, int endMessage)
{
    if (!m_bInit) {
        SetLastMessage(Text(IDS_CONN_NOT_READY));
        return FALSE;
    }
    m_nEndMsg = endMessage;
    m_hNotifyWnd = window;
    m_nConnectedMsg = connectedMessage;
    HRESULT hr = GetNetworkFromPath(path);
    m_bProxy = TRUE;
    if (FAILED(hr)) {
        return FALSE;
    }
    StopWorker(kStopWaitMs);

    auto worker = std::make_shared<Worker>();
    worker->shared = m_shared;
    CONNMGR_CONNECTIONINFO& info = worker->request;
    info.cbSize = sizeof info;
    info.dwParams = CONNMGR_PARAM_GUIDDESTNET;
    info.dwFlags = m_bProxy ? CONNMGR_FLAG_PROXY_HTTP : 0;
    info.dwPriority = CONNMGR_PRIORITY_USERINTERACTIVE;
    info.bExclusive = FALSE;
    info.bDisabled = FALSE;
    info.guidDestNet = m_guidDestNet;
    worker->retryLimit = m_dwRetryLimit;
    worker->retryPause = m_dwRetryPause;
    worker->window = window;
    worker->connectedMsg = connectedMessage;
    worker->endMsg = endMessage;
    worker->stop.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!worker->stop) {
        return FALSE;
    }
    auto* held = new std::shared_ptr<Worker>(worker);
    worker->thread.Reset(CreateThread(nullptr, 0, WorkerEntry, held, CREATE_SUSPENDED, nullptr));
    if (!worker->thread) {
        delete held;
        return FALSE;
    }
    {
        Lock lock(m_shared->lock);
        m_worker = worker;
    }
    ResumeThread(worker->thread.Get());
    return TRUE;
}

bool CConnection::Abort(HWND window, int endMessage)
{
    if (!m_bInit) {
        return false;
    }
    StopWorker(kStopWaitMs);
    m_hNotifyWnd = window;
    m_nEndMsg = endMessage;
    return window != nullptr && endMessage >= 0 && PostMessageW(window, static_cast<UINT>(endMessage), 0, 0);
}

void CConnection::CancelAttempt()
{
    Lock lock(m_shared->lock);
    if (m_worker) {
        m_worker->giveBack = true;
        SetEvent(m_worker->stop.Get());
    }
}

void CConnection::StopWithin(DWORD waitMs)
{
    if (m_bInit) {
        StopWorker(waitMs);
    }
}

void CConnection::StopWorker(DWORD waitMs)
{
    std::shared_ptr<Worker> worker;
    {
        Lock lock(m_shared->lock);
        worker.swap(m_worker);
    }
    if (!worker) {
        return;
    }
    SetEvent(worker->stop.Get());
    if (WaitForSingleObject(worker->thread.Get(), waitMs) != WAIT_OBJECT_0) {
        // Still inside a platform call: from now on it tells nobody anything.
        Lock lock(m_shared->lock);
        worker->late = true;
    }
}

DWORD WINAPI CConnection::WorkerEntry(void* param)
{
    std::unique_ptr<std::shared_ptr<Worker>> held(static_cast<std::shared_ptr<Worker>*>(param));
    return RunWorker(**held);
}

DWORD CConnection::RunWorker(Worker& worker)
{
    DWORD retries = 0;
    LONG cache = 1;
    DWORD status = 0;
    HANDLE connection = nullptr;

    for (bool requesting = true; requesting;) {
        requesting = false;
        if (FAILED(ConnMgrEstablishConnection(&worker.request, &connection))) {
            connection = nullptr;
            Report(worker, Text(IDS_CONN_ESTABLISH_FAILED));
            cache = 0;
            break;
        }
        for (;;) {
            HANDLE handles[2] = {connection, worker.stop.Get()};
            if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0) {
                break;
            }
            DWORD value = 0;
            HRESULT query = ConnMgrConnectionStatus(connection, &value);
            if (FAILED(query)) {
                Report(worker, Text(IDS_CONN_STATUS_FAILED));
                status = static_cast<DWORD>(query);
                break;
            }
            status = value;
            WorkerDecision decision = DecideWorkerStatus(status, retries, worker.retryLimit);
            if (decision.action == WorkerDecision::Action::Retry) {
                // The failed request is given back before a new one replaces it, and a stop
                // request during the pause is honoured.
                ConnMgrReleaseConnection(connection, 0);
                connection = nullptr;
                if (WaitForSingleObject(worker.stop.Get(), worker.retryPause) != WAIT_TIMEOUT) {
                    break;
                }
                ++retries;
                requesting = true;
                break;
            }
            Report(worker, decision.message);
            if (decision.action == WorkerDecision::Action::End) {
                cache = decision.cache;
                break;
            }
            if (decision.action == WorkerDecision::Action::Connected) {
                Post(worker, true);
            }
        }
    }

    if (connection != nullptr) {
        ConnMgrReleaseConnection(connection, worker.giveBack ? 0 : cache);
    }
    Post(worker, false);
    return status;
}

void CConnection::Report(const Worker& worker, const std::wstring& text)
{
    Lock lock(worker.shared->lock);
    if (!worker.late) {
        worker.shared->lastMessage = text;
    }
}

void CConnection::Post(const Worker& worker, bool connected)
{
    int message = connected ? worker.connectedMsg : worker.endMsg;
    // Under the lock, so a stop that gives up on this worker cannot cross the post.
    Lock lock(worker.shared->lock);
    if (!worker.late && worker.window != nullptr && message >= 0) {
        PostMessageW(worker.window, static_cast<UINT>(message), 0, 0);
    }
}

CConnection::ListResult CConnection::ListDialups(std::vector<ce::RASCONN>& list)
{
    list.clear();
    for (uint32_t records = kFirstDialupCapacity;;) {
        std::unique_ptr<ce::RASCONN[]> buffer(new (std::nothrow) ce::RASCONN[records]());
        if (!buffer) {
            SetLastMessage(Text(IDS_CONN_DIALUPS_NO_MEMORY, {NumberText(records)}));
            return ListResult::NoMemory;
        }
        buffer[0].dwSize = sizeof(ce::RASCONN);
        DWORD size = static_cast<DWORD>(records * sizeof(ce::RASCONN));
        DWORD count = 0;
        DWORD answer = ce::RasEnumConnections(buffer.get(), &size, &count);
        if (answer == ERROR_BUFFER_TOO_SMALL) {
            uint32_t next = NextDialupCapacity(records);
            if (next == 0) {
                SetLastMessage(Text(IDS_CONN_DIALUPS_TOO_MANY, {NumberText(records + kFirstDialupCapacity)}));
                return ListResult::Listed;
            }
            records = next;
            continue;
        }
        if (answer != 0) {
            SetLastMessage(Text(IDS_CONN_DIALUPS_FAILED, {HexText(answer)}));
            return ListResult::Listed;
        }
        list.assign(buffer.get(), buffer.get() + std::min<DWORD>(count, records));
        return ListResult::Listed;
    }
}

bool CConnection::QueryDialupState(ce::HRASCONN connection, ce::RASCONNSTATUS& state)
{
    state.dwSize = sizeof state;
    if (ce::RasGetConnectStatus(connection, &state) != 0) {
        SetLastMessage(Text(IDS_CONN_DIALUP_NO_STATUS));
        return false;
    }
    return true;
}

int CConnection::IsConnectionExists()
{
    std::vector<ce::RASCONN> list;
    if (ListDialups(list) == ListResult::NoMemory) {
        return 0;
    }
    for (const ce::RASCONN& entry : list) {
        if (entry.hrasconn == nullptr) {
            continue;
        }
        ce::RASCONNSTATUS state{};
        if (!QueryDialupState(entry.hrasconn, state)) {
            break;
        }
        if (state.rasconnstate == ce::RASCS_Connected) {
            break;
        }
    }
    return static_cast<int>(list.size());
}

bool CConnection::Disconnect()
{
    std::vector<ce::RASCONN> list;
    if (ListDialups(list) == ListResult::NoMemory) {
        return false;
    }
    const DWORD start = GetTickCount();
    bool allGone = true;
    for (const ce::RASCONN& entry : list) {
        if (entry.hrasconn == nullptr) {
            continue;
        }
        ce::RASCONNSTATUS state{};
        if (!QueryDialupState(entry.hrasconn, state)) {
            return false;
        }
        if (state.rasconnstate != ce::RASCS_Connected) {
            continue;
        }
        if (ce::RasHangUp(entry.hrasconn) != 0) {
            allGone = false; // nothing to wait for
            continue;
        }
        DWORD answer;
        do {
            Sleep(1); // a poll, not a spin: the hang-up may take the whole wait
            answer = ce::RasGetConnectStatus(entry.hrasconn, &state);
        } while (KeepWaitingForHangUp(answer, start, GetTickCount()));
        allGone = allGone && HangUpCompleted(answer, state.rasconnstate == ce::RASCS_Connected);
    }
    return allGone;
}

std::wstring CConnection::GetLastMessage() const
{
    Lock lock(m_shared->lock);
    return m_shared->lastMessage;
}

void CConnection::SetLastMessage(const std::wstring& text)
{
    Lock lock(m_shared->lock);
    m_shared->lastMessage = text;
}

void CConnection::SetRetry(DWORD limit, DWORD pauseMs)
{
    m_dwRetryLimit = limit;
    m_dwRetryPause = pauseMs;
}
