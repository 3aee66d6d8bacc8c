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
    // The user gave up on the attempt: tells the worker to stop and give its connection back at
    // once (release cache 0), without waiting for it. Safe to call from another thread than
    // the one that started the worker.
    void CancelAttempt();
    // Program exit: stops the worker as Abort does (it gives its connection back), waiting at
    // most `waitMs` for it; posts nothing.
    void StopWithin(DWORD waitMs);
    // Number of dial-up connections listed.
    int IsConnectionExists();
    // Hangs up every connected dial-up connection and returns once they are gone, a hang-up
    // failed, or the shared wait of kHangUpWaitMs is over. True when no connection that was
    // up is still listed as up.
    bool Disconnect();

    // Safe to call while a worker runs.
    std::wstring GetLastMessage() const;
    void SetRetry(DWORD limit, DWORD pauseMs);

private:
    class Lock;
    struct Shared;
    struct Worker;
    static DWORD WINAPI WorkerEntry(void* worker);
    static DWORD RunWorker(Worker& worker);
    void SetLastMessage(const std::wstring& text);
    // What a worker records and posts; nothing once it has outlived its stop wait.
    static void Report(const Worker& worker, const std::wstring& text);
    static void Post(const Worker& worker, bool connected);
    // Asks the current worker to stop and waits up to `waitMs`. One that outlives it is
    // silenced and left to end by itself: it holds what it uses, so nothing waits for it.
    void StopWorker(DWORD waitMs);
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
    // The last message and its lock, shared with the workers, which may outlive this object.
    std::shared_ptr<Shared> m_shared;
    std::shared_ptr<Worker> m_worker; // the current worker; written under the shared lock
    DWORD m_dwRetryLimit;
    DWORD m_dwRetryPause;
    GUID m_guidDestNet;
    std::wstring m_strPath;
    BOOL m_bProxy;
};
