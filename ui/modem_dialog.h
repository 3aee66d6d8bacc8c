#pragma once

#include "acquisition/modem_dialogue.h"

#include <windows.h>

#include <optional>
#include <string>

// The dialogue with a cellular modem's AT port, in the progress dialog (template 130,
// "取得中…", "中断"). The port is opened on a worker at BAUD's speed (without it the speeds are
// searched); the whole dialogue within kModemDeadlineMs. 1 with `cell` set; 2 after a box (not
// registered, refused, nothing answering, the deadline) or "中断"; 3 (kWaitSearchPorts) when
// nothing answered and the user asked to search the ports. The port is closed either
// way, after the formats the dialogue changed were put back.
constexpr unsigned kModemDeadlineMs = 30000;

INT_PTR ShowModemDialog(HINSTANCE instance, HWND parent, const std::wstring& port, std::optional<unsigned> baud,
                        CellTower& cell);
