#pragma once

#include "platform/connmgr.h"
#include "platform/ras.h"

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
    // Starts the connect worker (stopping an earlier one); 1 when it was started.
    BOOL Connect(HWND window, const wchar_t* path, int connectedMessage, int endMessage);
    void Abort(HWND window, int endMessage);
    // Number of dial-up connections listed.
    int IsConnectionExists();
    // Hangs up every connected dial-up connection and returns once they are gone.
    void Disconnect();

    // Safe to call while a worker runs.
    std::wstring GetLastMessage() const;
    void SetRetry(DWORD limit, DWORD pauseMs);

private:
    class Lock;
    static DWORD WINAPI WorkerEntry(void* self);
    DWORD Worker();
    void SetLastMessage(const std::wstring& text);
    // Sets the abort event and waits for the worker; closes its handle afterwards.
    void StopWorker(bool untilEnded);
    void AbortWorker(HWND window, int endMessage, bool untilEnded);
    void PostToNotifyWindow(bool connected);
    enum class ListResult
    {
        Listed,
        NoMemory,
    };
    ListResult ListDialups(std::vector<ce::RASCONN>& list);
    // The state of a listed dial-up connection; false (with the message set) when it cannot be read.
    bool QueryDialupState(ce::HRASCONN connection, ce::RASCONNSTATUS& state);

    BOOL m_bInit;
    HWND m_hNotifyWnd;
    int m_nConnectedMsg;
    int m_nEndMsg;
    std::vector<CONNMGR_DESTINATION_INFO> m_destinations;
    std::wstring m_strLastMessage;
    HANDLE m_hAbortEvent;
    // Owned by this object, never by the worker: closed once, after the wait that forgets it.
    HANDLE m_hThread;
    HANDLE m_hConnection;
    DWORD m_dwStatus;
    DWORD m_dwRetryLimit;
    DWORD m_dwRetryPause;
    GUID m_guidDestNet;
    std::wstring m_strPath;
    BOOL m_bProxy;

    // Guards what the worker shares with the caller: the last message, the notify window
    // and messages, the destination network, the proxy flag, the handle and status.
    mutable CRITICAL_SECTION m_lock;
};
