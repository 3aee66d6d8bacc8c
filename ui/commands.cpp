#include "ui/commands.h"

// Placeholder until the main window's commands land: every control command gets the
// default processing, and the timer has nothing to refresh.
LRESULT OnControlCommand(HWND, WPARAM, LPARAM)
{
    return -1;
}

LRESULT OnTimer(HWND, UINT_PTR)
{
    return 0;
}
