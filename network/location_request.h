#pragma once

#include "network/location_service.h"

// The handset's User-Agent, sent with every lookup.
extern const wchar_t kHandsetAgent[];
