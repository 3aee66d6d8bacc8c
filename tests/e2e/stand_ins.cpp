#include "tests/e2e/stand_ins.h"

const wchar_t kDefaultCsId[] = L"1234/5";
const wchar_t kDefaultPosition[] = L"N35.41.12.000E139.45.00.000";
const wchar_t kDefaultSimpleCoordinates[] = L"N35.41.12.000E139.45.00.000/";

LookupControl& Lookup()
{
    static LookupControl lookup;
    return lookup;
}

void ResetStandIns()
{
    WsimReset();
    WsimClearLog();
    Lookup().Configure("{}");
}
