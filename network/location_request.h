#pragma once

#include "network/location_service.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstddef>

// The handset's User-Agent, sent with every lookup.
extern const wchar_t kHandsetAgent[];

// One lookup in flight, which the window may give up on. Only the worker that runs it opens
// and closes its handles (a handle closed from another thread could be reused at once, and a
// call on it would reach someone else's request); giving up only asks it to stop at its next
// step. Each of its calls ends within what is left of the lookup's deadline.
class CLookupCall
{
public:
    CLookupCall() = default;
    CLookupCall(const CLookupCall&) = delete;
    CLookupCall& operator=(const CLookupCall&) = delete;

    // The window gave up: no further call is made.
    void Cancel() { m_cancelled = true; }
    bool Cancelled() const { return m_cancelled.load(); }

private:
    std::atomic<bool> m_cancelled{false};
};

// A WinINet handle of one worker's, closed when it goes (a request before its connection, the
// connection before the internet handle: the reverse of their opening).
class CInternetHandle
{
public:
    explicit CInternetHandle(HINTERNET handle) : m_handle(handle) {}
    ~CInternetHandle();
    CInternetHandle(const CInternetHandle&) = delete;
    CInternetHandle& operator=(const CInternetHandle&) = delete;
    HINTERNET Get() const { return m_handle; }

private:
    HINTERNET m_handle;
};

// Sets the time-outs `options` of a handle: `callLimitMs` a call, and never more than is left of
// the deadline (CLocationService::kLookupDeadlineMs from the tick `start`) and `beyondMs`, so
// every step ends with the deadline (and `beyondMs`) at the latest.
constexpr DWORD kCallTimeoutMs = 10000;
void LimitTo(HINTERNET handle, DWORD start, const DWORD* options, size_t count, DWORD callLimitMs = kCallTimeoutMs,
             DWORD beyondMs = 0);
