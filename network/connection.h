#pragma once

#include "platform/connmgr.h"
#include "platform/ras.h"

#include <memory>
#include <string>
#include <vector>

// Makes sure the handset has a data connection: asks the Connection Manager whether the
// network of a URL is usable, establishes and holds a connection on a worker thread, and
// lists and hangs up dial-up connections.
class CConnection
{
public:
    CConnection();
    ~CConnection();
    CConnection(const CConnection&) = delete;
    CConnection& operator=(const CConnection&) = delete;

    BOOL IsInit();
    HRESULT GetNetworkFromPath(const wchar_t* path);
    // 0 usable, 1 status not usable or unreadable, E_FAIL on time-out, else the failing HRESULT.
    HRESULT IsAvailable(DWORD* status, const wchar_t* path, BOOL proxy);
    // -1 check failed, 1 connected or connectable, 0 otherwise. `status` may be null.
    int CheckAvailable(const wchar_t* path, DWORD* status);
    // Starts the connect worker (stopping an earlier one); 1 when it was started. The worker
    // reports to `window` only: never to a later caller.
    BOOL Connect(HWND window, const wchar_t* path, int connectedMessage, int endMessage);
    // Stops the worker and posts the end message; true when it was posted (never while the
    // object is not initialised).
    bool Abort(HWND window, int endMessage);
    // Number of dial-up connections listed.
    int IsConnectionExists();
    // Hangs up every connected dial-up connection and returns once they are gone, a hang-up
    // failed, or the shared wait of kHangUpWaitMs is over.
    void Disconnect();

    // Safe to call while a worker runs.
    std::wstring GetLastMessage() const;
    void SetRetry(DWORD limit, DWORD pauseMs);

private:
    class Lock;
    struct Worker;
    static DWORD WINAPI WorkerEntry(void* worker);
    DWORD RunWorker(Worker& worker);
    void SetLastMessage(const std::wstring& text);
    // What a worker records and posts; nothing once it has outlived its stop wait.
    void Report(const Worker& worker, const std::wstring& text);
    void Post(const Worker& worker, bool connected);
    // Asks the current worker to stop and waits up to the stop limit. One that outlives it is
    // kept, silenced, until it ends: the destructor waits for it.
    void StopWorker();
    void ForgetEndedWorkers();
    enum class ListResult
    {
        Listed,
        NoMemory,
    };
    ListResult ListDialups(std::vector<ce::RASCONN>& list);
    // The state of a listed dial-up connection; false (with the message set) when it cannot be read.
    bool QueryDialupState(ce::HRASCONN connection, ce::RASCONNSTATUS& state);

    BOOL m_bInit;
    // The last caller's window and messages, for the destructor's stop.
    HWND m_hNotifyWnd;
    int m_nConnectedMsg;
    int m_nEndMsg;
    std::vector<CONNMGR_DESTINATION_INFO> m_destinations;
    std::wstring m_strLastMessage;
    std::unique_ptr<Worker> m_worker;
    // Workers that outlived their stop wait, until they end.
    std::vector<std::unique_ptr<Worker>> m_lateWorkers;
    DWORD m_dwRetryLimit;
    DWORD m_dwRetryPause;
    GUID m_guidDestNet;
    std::wstring m_strPath;
    BOOL m_bProxy;

    // Guards what workers share with the caller: the last message and each worker's silence.
    mutable CRITICAL_SECTION m_lock;
};
