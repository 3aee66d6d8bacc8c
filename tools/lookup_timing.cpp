// Times the lookup round trip: lookup_timing.exe SERVICE_URL [COUNT]
// Sends COUNT lookups (after three warm-up ones) with the program's own request code and
// prints the mean and median time per lookup in microseconds, and the time of the very
// first one, which also loads the internet library.
#include "network/location_service.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fwprintf(stderr, L"usage: lookup_timing SERVICE_URL [COUNT]\n");
        return 2;
    }
    std::wstring request = std::wstring(argv[1]) + L"?my=http://map.example/m&pos=$location";
    int count = argc > 2 ? std::max(1, _wtoi(argv[2])) : 200;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> micros;
    double first = 0;
    for (int i = -3; i < count; ++i) {
        std::wstring body, location, error;
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        bool ok = CLocationService::RequestLocation(request, std::wstring(), true, L"1234/5", body, location, error);
        QueryPerformanceCounter(&end);
        if (!ok) {
            std::fwprintf(stderr, L"lookup failed: %ls\n", error.c_str());
            return 1;
        }
        const double elapsed =
            1e6 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
        if (i == -3) {
            first = elapsed;
        } else if (i >= 0) {
            micros.push_back(elapsed);
        }
    }
    if (micros.empty()) {
        return 1;
    }
    double sum = 0;
    for (double m : micros) {
        sum += m;
    }
    std::sort(micros.begin(), micros.end());
    std::printf("lookups=%d mean_us=%.0f median_us=%.0f first_us=%.0f\n", static_cast<int>(micros.size()),
                sum / static_cast<double>(micros.size()), micros[micros.size() / 2], first);
    return 0;
}
