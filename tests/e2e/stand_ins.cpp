#include "tests/e2e/stand_ins.h"

#include "tests/windows/test_support.h"

#include <windows.h>

#include <fstream>
#include <iterator>

const wchar_t kDefaultCsId[] = L"1234/5";
const wchar_t kDefaultPosition[] = L"N35.41.12.000E139.45.00.000";
const wchar_t kDefaultSimpleCoordinates[] = L"N35.41.12.000E139.45.00.000/";

bool LookupConfigure(const std::string& json)
{
    const std::wstring dir = WinePathFromEnv("TAVRIN_LOOKUP_DIR");
    if (dir.empty()) {
        return false;
    }
    const std::wstring temporary = dir + L"\\config.json.new";
    {
        std::ofstream out(temporary.c_str(), std::ios::binary | std::ios::trunc);
        out << json;
        if (!out) {
            return false;
        }
    }
    return MoveFileExW(temporary.c_str(), (dir + L"\\config.json").c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

size_t LookupRequestCount()
{
    const std::wstring dir = WinePathFromEnv("TAVRIN_LOOKUP_DIR");
    std::ifstream in((dir + L"\\requests.log").c_str(), std::ios::binary);
    size_t count = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, 4, "GET ") == 0) {
            ++count;
        }
    }
    return count;
}

void ResetStandIns()
{
    WsimReset();
    WsimClearLog();
    LookupConfigure("{}");
}
