#include "network/lookup_url.h"

const wchar_t kLookupUrl[] = TAVRIN_LOOKUP_URL;
