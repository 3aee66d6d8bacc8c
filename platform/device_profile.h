#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the simulated handset's Connection Manager and dial-up list do. The desktop default
// is a machine that is always online: one destination, connected, no dial-up connection.
struct DeviceProfile
{
    // Answer of the "could this network be reached" request.
    enum class TestAnswer
    {
        Status,  // signalled at once with testStatus
        Timeout, // never signalled
        Refused, // the request itself fails
    };

    struct Step
    {
        uint32_t delayMs; // after the previous step (or after the request)
        uint32_t status;
    };

    // One real connection request: refused, or the statuses it goes through.
    struct Attempt
    {
        bool refused = false;
        std::vector<Step> steps;
    };

    struct Dialup
    {
        bool hasHandle = true;
        uint32_t state = 0x2000;
    };

    int destinations = 1;
    bool mappingFails = false;
    TestAnswer testAnswer = TestAnswer::Status;
    uint32_t testStatus = 0x10;
    bool statusQueryFails = false;
    // The n-th real request uses attempts[n]; the last one repeats.
    std::vector<Attempt> attempts{Attempt{false, {Step{0, 0x10}}}};
    std::vector<Dialup> dialups;
    // A real request that reaches "connected" also shows as a connected dial-up connection
    // until it is released; hanging that one up disconnects the request.
    bool dialupFollowsConnection = false;
    // How long such a connection stays up after a release with a non-zero cache value.
    uint32_t cacheTimeMs = 0;

    // What a dial-up hang-up does: the connection goes after a few status queries, or the
    // call fails and the connection stays, or the call succeeds and the connection never goes.
    enum class HangUp
    {
        Completes,
        Fails,
        Never,
    };
    HangUp hangUp = HangUp::Completes;

    // A Connection Manager call that keeps its caller waiting `blockMs`: establishing or
    // releasing a real request, or the "could it be reached" test request.
    enum class Call
    {
        None,
        Establish,
        Release,
        Test,
    };
    Call blockingCall = Call::None;
    uint32_t blockMs = 0;

    // The handset's storage card: every file the program replaces takes this long to write, and
    // every file it reads in the background (the lookup cache) this long to read.
    uint32_t storageWriteMs = 0;
    uint32_t storageReadMs = 0;
};

// Reads a profile from its text form (see docs/connection.md). Keys not given keep their
// default. False with `error` set on the first malformed line; `profile` is then unspecified.
bool ParseDeviceProfile(const std::string& text, DeviceProfile& profile, std::string& error);
