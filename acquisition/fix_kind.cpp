#include "acquisition/fix_kind.h"

#include "common/texts.h"
#include "resources/resource.h"

std::wstring FixKindText(FixKind kind)
{
    switch (kind) {
    case FixKind::DeadReckoning:
        return Text(IDS_FIX_DEAD_RECKONING);
    case FixKind::Manual:
        return Text(IDS_FIX_MANUAL);
    case FixKind::Simulated:
        return Text(IDS_FIX_SIMULATED);
    case FixKind::Measured:
        break;
    }
    return std::wstring();
}
