#pragma once

// The device simulation behind the Connection Manager and dial-up stand-ins. Its profile
// comes from the file named by TAVRIN_DEVICE_SIM when set, else the always-online default;
// tests replace it in-process.

#include "platform/connmgr.h"
#include "platform/device_profile.h"

#include <vector>

namespace devicesim {

// Replaces the profile, drops every dial-up connection in favour of the profile's and
// restarts the count of real requests. Open Connection Manager requests are kept.
void SetProfile(const DeviceProfile& profile);
// Back to the file named by TAVRIN_DEVICE_SIM, or the default.
void ResetProfile();

// What the program asked of the simulation since the last ResetCounters.
struct Counters
{
    int enumerations = 0;
    int mappings = 0;
    int testRequests = 0;
    int realRequests = 0;
    int statusQueries = 0;
    std::vector<LONG> releases; // cache value of each release, in order
    int hangUps = 0;
    CONNMGR_CONNECTIONINFO lastTest{};
    CONNMGR_CONNECTIONINFO lastReal{};
};
Counters GetCounters();
void ResetCounters();

// Connection Manager requests not yet released.
int OpenRequests();
// Dial-up connections still listed.
int DialupCount();

// The handset's storage card as the profile has it: a file replaced waits here first (called on
// the thread that writes).
void DelayStorageWrite();
// The same for a file read (called on the thread that reads).
void DelayStorageRead();

} // namespace devicesim
