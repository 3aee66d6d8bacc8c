#pragma once

#include <string>
#include <vector>

// Drives the lookup stand-in that the harness started: its behaviour (config.json in
// TAVRIN_LOOKUP_DIR, re-read per request) and its record of requests (requests.log).
class LookupControl
{
public:
    // Starts with an empty record and the ordinary behaviour.
    LookupControl();
    // Puts the ordinary behaviour back.
    ~LookupControl();
    LookupControl(const LookupControl&) = delete;
    LookupControl& operator=(const LookupControl&) = delete;

    // config is the whole JSON object, e.g. {"mode": "stall"}.
    void Configure(const std::string& config);
    // Each request as its request line followed by its header lines.
    std::vector<std::vector<std::string>> Requests() const;

    static unsigned Port();
    static std::wstring ServiceUrl();
    // The port the stand-in took for https (0: it serves none), and the service there at
    // "localhost", the name its certificate holds (empty without https).
    unsigned HttpsPort() const;
    std::wstring HttpsServiceUrl() const;

private:
    std::wstring m_strDir;
};
