#include "ui/app_state.h"

HINSTANCE g_hInstance = nullptr;
