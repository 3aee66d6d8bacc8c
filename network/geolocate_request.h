#pragma once

#include "network/location_request.h"

#include <string>

// One POST of the geolocation request `json` to the service `url` (http or https, the
// platform checking an https service's certificate), no redirect followed, no cache, within
// CLocationService::kLookupDeadlineMs from its start. True when the service answered: `status`
// is the HTTP status and `body` what came of the answer's body, at most kGeolocateAnswerLimit
// bytes and one more (so a longer answer is known as such), read until it ends or the deadline
// passes. False when no answer came; `error` then names the failing call and its error code,
// as the lookup words it. A URL whose path holds CR or LF once decoded is never asked. Shows
// nothing itself; with `call`, another thread can give it up (it stops before its next call).
bool PostGeolocateRequest(const std::wstring& url, const std::string& json, int& status, std::string& body,
                          std::wstring& error, CLookupCall* call = nullptr);
