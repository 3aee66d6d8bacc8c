#pragma once

#include "acquisition/port_search.h"

#include <windows.h>

#include <string>
#include <vector>

// The port search (templates 134 and 135): every port of `ports` is tried beside the window, all
// at once, each on a thread of its own (acquisition/port_prober.h), and listed with what answered
// there. "中断" stops the search: every port is closed, and the rows told so far stay to choose
// from; once the search has ended the button closes the screen. True, with `choice` set, when
// the user chose a row of a device the program can use ("選択", a double tap, or the done button).
bool RunPortSearch(HINSTANCE instance, HWND owner, const std::vector<std::wstring>& ports, SearchChoice& choice);

// How long "中断" waits for the ports to close before it says the search stopped anyway.
constexpr UINT kSearchStopWaitMs = 400;
