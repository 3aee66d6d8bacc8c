#pragma once

#include <windows.h>

// The program's module instance, stored first thing at start-up.
extern HINSTANCE g_hInstance;
