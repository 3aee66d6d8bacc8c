#pragma once

#include "network/location_service.h"

#include <windows.h>
#include <wininet.h>

#include <mutex>
#include <vector>

// The handset's User-Agent, sent with every lookup.
extern const wchar_t kHandsetAgent[];

// The handles of one lookup in flight, closed once each, by whichever thread comes first.
// Closing them from the user-interface thread ends a blocking call on Windows (Wine's
// WinINet lets the call run to its own time-out, so the caller never waits for it).
class CLookupCall
{
public:
    CLookupCall() = default;
    ~CLookupCall() { CloseAll(); }
    CLookupCall(const CLookupCall&) = delete;
    CLookupCall& operator=(const CLookupCall&) = delete;

    // Takes a handle just opened (null is ignored); false, with the handle closed, once the
    // call has been cancelled.
    bool Hold(HINTERNET handle);
    // Closes what is held, newest first.
    void CloseAll();
    // Ends the call: what is held is closed, and so is anything opened later.
    void Cancel();

private:
    std::mutex m_lock;
    std::vector<HINTERNET> m_handles;
    bool m_cancelled = false;
};
