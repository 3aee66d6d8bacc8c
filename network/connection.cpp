#include "network/connection.h"

#include "common/text_format.h"
#include "network/connection_rules.h"

#include <algorithm>
#include <memory>
#include <new>

namespace {

constexpr DWORD kTestWaitMs = 400;
constexpr DWORD kStopWaitMs = 3000;
constexpr ULONG kTestLatencyMs = 4000;
constexpr DWORD kRasStatusGone = ERROR_INVALID_HANDLE;

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

CConnection::CConnection()
    : m_bInit(FALSE), m_hNotifyWnd(nullptr), m_nConnectedMsg(0), m_nEndMsg(0), m_hAbortEvent(nullptr),
      m_hThread(nullptr), m_hConnection(nullptr), m_dwStatus(0), m_dwRetryLimit(0), m_dwRetryPause(100),
      m_guidDestNet(), m_bProxy(FALSE)
{
    InitializeCriticalSection(&m_lock);
    m_hAbortEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    IsInit();
}

CConnection::~CConnection()
{
    // The worker uses this object, so it must be gone before the object is.
    AbortWorker(m_hNotifyWnd, m_nEndMsg, true);
    if (m_hAbortEvent != nullptr) {
        CloseHandle(m_hAbortEvent);
    }
    DeleteCriticalSection(&m_lock);
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
    GUID network;
    {
        Lock lock(m_lock);
        network = m_guidDestNet;
    }
    HRESULT hr = ConnMgrMapURL(m_strPath.c_str(), &network, nullptr);
    Lock lock(m_lock);
    m_guidDestNet = network;
    return hr;
}

HRESULT CConnection::IsAvailable(DWORD* status, const wchar_t* path, BOOL proxy)
{
    DWORD ignored = 0;
    DWORD& out = status != nullptr ? *status : ignored;
    HRESULT hr = GetNetworkFromPath(path);
    CONNMGR_CONNECTIONINFO info{};
    {
        Lock lock(m_lock);
        m_bProxy = proxy;
        info.guidDestNet = m_guidDestNet;
    }
    out = 0;
    if (FAILED(hr)) {
        SetLastMessage(L"CConnection::IsAvailable(). GetNetworkFromPath(): Failed.");
        return hr;
    }

    // Only asks whether the network could be reached; nothing is connected.
    info.cbSize = sizeof info;
    info.dwParams = CONNMGR_PARAM_GUIDDESTNET | CONNMGR_PARAM_MAXCONNLATENCY;
    info.dwFlags = proxy ? CONNMGR_FLAG_PROXY_HTTP : 0;
    info.dwPriority = CONNMGR_PRIORITY_USERINTERACTIVE;
    info.bExclusive = FALSE;
    info.bDisabled = TRUE;
    info.ulMaxConnLatency = kTestLatencyMs;
    HANDLE request = nullptr;
    hr = ConnMgrEstablishConnection(&info, &request);
    if (FAILED(hr)) {
        SetLastMessage(L"CConnection::IsAvailable(). ConnMgrEstablishConnection(): Failed.");
        return hr;
    }

    HRESULT result = hr;
    switch (WaitForSingleObject(request, kTestWaitMs)) {
    case WAIT_OBJECT_0:
        if (FAILED(ConnMgrConnectionStatus(request, &out))) {
            SetLastMessage(L"CConnection::IsAvailable(). ConnMgrConnectionStatus(): Failed.");
            result = 1;
        } else if (IsUsableTestStatus(out)) {
            result = 0;
        } else {
            SetLastMessage(L"CConnection::IsAvailable(). dwStats != (CONNMGR_STATUS_CONNECTED || "
                           L"CONNMGR_STATUS_CONNECTIONDISABLED).");
            result = 1;
        }
        break;
    case WAIT_TIMEOUT:
        SetLastMessage(L"CConnection::IsAvailable(). WaitForSingleObject() == WAIT_TIMEOUT.");
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
        SetLastMessage(L"CConnection::Connect(). IsInit(): Failed.");
        return FALSE;
    }
    HRESULT hr = GetNetworkFromPath(path);
    {
        Lock lock(m_lock);
        m_bProxy = TRUE;
    }
    if (m_hAbortEvent == nullptr || FAILED(hr)) {
        Lock lock(m_lock);
        m_nEndMsg = endMessage;
        m_hNotifyWnd = window;
        m_nConnectedMsg = connectedMessage;
        return FALSE;
    }
    // The old worker is stopped before the new window is stored, so its end message goes to
    // the window that started it and cannot end the new caller's wait.
    StopWorker(false);
    {
        Lock lock(m_lock);
        m_nEndMsg = endMessage;
        m_hNotifyWnd = window;
        m_nConnectedMsg = connectedMessage;
    }
    // Drops a stop request meant for an earlier worker; one made from now on is kept.
    ResetEvent(m_hAbortEvent);
    m_hThread = CreateThread(nullptr, 0, WorkerEntry, this, 0, nullptr);
    return m_hThread != nullptr;
}

void CConnection::Abort(HWND window, int endMessage)
{
    AbortWorker(window, endMessage, false);
}

void CConnection::AbortWorker(HWND window, int endMessage, bool untilEnded)
{
    if (!m_bInit) {
        return;
    }
    StopWorker(untilEnded);
    {
        Lock lock(m_lock);
        m_hNotifyWnd = window;
        m_nEndMsg = endMessage;
    }
    if (window != nullptr && endMessage >= 0) {
        PostMessageW(window, static_cast<UINT>(endMessage), 0, 0);
    }
}

void CConnection::StopWorker(bool untilEnded)
{
    if (m_hThread == nullptr) {
        return;
    }
    SetEvent(m_hAbortEvent);
    if (WaitForSingleObject(m_hThread, kStopWaitMs) == WAIT_TIMEOUT && untilEnded) {
        WaitForSingleObject(m_hThread, INFINITE);
    }
    CloseHandle(m_hThread);
    m_hThread = nullptr;
}

DWORD WINAPI CConnection::WorkerEntry(void* self)
{
    return static_cast<CConnection*>(self)->Worker();
}

DWORD CConnection::Worker()
{
    CONNMGR_CONNECTIONINFO info{};
    info.cbSize = sizeof info;
    info.dwParams = CONNMGR_PARAM_GUIDDESTNET;
    info.dwPriority = CONNMGR_PRIORITY_USERINTERACTIVE;
    info.bExclusive = FALSE;
    info.bDisabled = FALSE;
    DWORD retryLimit;
    DWORD retryPause;
    {
        Lock lock(m_lock);
        info.dwFlags = m_bProxy ? CONNMGR_FLAG_PROXY_HTTP : 0;
        info.guidDestNet = m_guidDestNet;
        retryLimit = m_dwRetryLimit;
        retryPause = m_dwRetryPause;
        m_dwStatus = 0;
    }
    DWORD retries = 0;
    LONG cache = 1;
    DWORD status = 0;
    // Kept locally as well: a worker that outlived its stop must not touch a successor's handle.
    HANDLE connection = nullptr;

    for (bool requesting = true; requesting;) {
        requesting = false;
        HRESULT hr = ConnMgrEstablishConnection(&info, &connection);
        if (FAILED(hr)) {
            connection = nullptr;
            SetLastMessage(L"ConnMgrEstablishConnection() Failed.");
            cache = 0;
            break;
        }
        {
            Lock lock(m_lock);
            m_hConnection = connection;
        }
        for (;;) {
            HANDLE handles[2] = {connection, m_hAbortEvent};
            if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0) {
                ResetEvent(m_hAbortEvent);
                break;
            }
            DWORD value = 0;
            HRESULT query = ConnMgrConnectionStatus(connection, &value);
            if (FAILED(query)) {
                SetLastMessage(L"ConnMgrConnectionStatus() Failed.");
                status = static_cast<DWORD>(query);
                break;
            }
            status = value;
            {
                Lock lock(m_lock);
                m_dwStatus = status;
            }
            WorkerDecision decision = DecideWorkerStatus(status, retries, retryLimit);
            if (decision.action == WorkerDecision::Action::Retry) {
                // The failed request is given back before a new one replaces it, and a stop
                // request during the pause is honoured.
                ConnMgrReleaseConnection(connection, 0);
                connection = nullptr;
                {
                    Lock lock(m_lock);
                    m_hConnection = nullptr;
                }
                if (WaitForSingleObject(m_hAbortEvent, retryPause) != WAIT_TIMEOUT) {
                    break;
                }
                ++retries;
                requesting = true;
                break;
            }
            SetLastMessage(decision.message);
            if (decision.action == WorkerDecision::Action::End) {
                cache = decision.cache;
                break;
            }
            if (decision.action == WorkerDecision::Action::Connected) {
                PostToNotifyWindow(true);
            }
        }
    }

    if (connection != nullptr) {
        ConnMgrReleaseConnection(connection, cache);
    }
    {
        Lock lock(m_lock);
        if (m_hConnection == connection) {
            m_hConnection = nullptr;
        }
        m_dwStatus = status;
    }
    PostToNotifyWindow(false);
    return status;
}

void CConnection::PostToNotifyWindow(bool connected)
{
    HWND window;
    int message;
    {
        Lock lock(m_lock);
        window = m_hNotifyWnd;
        message = connected ? m_nConnectedMsg : m_nEndMsg;
    }
    if (window != nullptr && message >= 0) {
        PostMessageW(window, static_cast<UINT>(message), 0, 0);
    }
}

CConnection::ListResult CConnection::ListDialups(std::vector<ce::RASCONN>& list)
{
    list.clear();
    for (uint32_t records = kFirstDialupCapacity;;) {
        std::unique_ptr<ce::RASCONN[]> buffer(new (std::nothrow) ce::RASCONN[records]());
        if (!buffer) {
            SetLastMessage(
                Format(L"CConnection::IsConnectionExists(). new RASCONN[%d]: Failed.", static_cast<int>(records)));
            return ListResult::NoMemory;
        }
        buffer[0].dwSize = sizeof(ce::RASCONN);
        DWORD size = static_cast<DWORD>(records * sizeof(ce::RASCONN));
        DWORD count = 0;
        DWORD answer = ce::RasEnumConnections(buffer.get(), &size, &count);
        if (answer == ERROR_BUFFER_TOO_SMALL) {
            uint32_t next = NextDialupCapacity(records);
            if (next == 0) {
                SetLastMessage(Format(L"CConnection::IsConnectionExists(). RasEnumConnections() == "
                                      L"ERROR_BUFFER_TOO_SMALL: RsConnNum = %d.",
                                      static_cast<int>(records + kFirstDialupCapacity)));
                return ListResult::Listed;
            }
            records = next;
            continue;
        }
        if (answer != 0) {
            SetLastMessage(Format(L"CConnection::IsConnectionExists(). RasEnumConnections() == 0x%08x: Failed.",
                                  static_cast<unsigned>(answer)));
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
        SetLastMessage(L"CConnection::IsConnectionExists(). RasGetConnectStatus(): Failed.");
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

void CConnection::Disconnect()
{
    std::vector<ce::RASCONN> list;
    if (ListDialups(list) == ListResult::NoMemory) {
        return;
    }
    for (const ce::RASCONN& entry : list) {
        if (entry.hrasconn == nullptr) {
            continue;
        }
        ce::RASCONNSTATUS state{};
        if (!QueryDialupState(entry.hrasconn, state)) {
            break;
        }
        if (state.rasconnstate != ce::RASCS_Connected) {
            continue;
        }
        ce::RasHangUp(entry.hrasconn);
        // Gone once the query answers "invalid handle"; any other failure also ends the
        // wait, since such a connection can no longer be watched.
        for (;;) {
            Sleep(0);
            DWORD answer = ce::RasGetConnectStatus(entry.hrasconn, &state);
            if (answer == kRasStatusGone || answer != 0) {
                break;
            }
        }
    }
}

std::wstring CConnection::GetLastMessage() const
{
    Lock lock(m_lock);
    return m_strLastMessage;
}

void CConnection::SetLastMessage(const std::wstring& text)
{
    Lock lock(m_lock);
    m_strLastMessage = text;
}

void CConnection::SetRetry(DWORD limit, DWORD pauseMs)
{
    Lock lock(m_lock);
    m_dwRetryLimit = limit;
    m_dwRetryPause = pauseMs;
}
