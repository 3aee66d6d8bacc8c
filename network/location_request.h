#pragma once

#include "network/location_service.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>

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
