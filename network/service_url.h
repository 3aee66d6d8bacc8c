#pragma once

#include <optional>
#include <string>

// The lookup service a settings file may name (key SERVICEURL) in place of the built-in one.

// Whether url is absolute http or https (scheme in any case) with a host: the part after "//"
// and any user name ("...@"), before any port (":..."), path, query or fragment, not empty.
bool IsHttpUrlWithHost(const std::wstring& url);

// Whether url can be asked: an http or https URL with a host, at most 255 characters, and no
// space or control character anywhere.
bool IsUsableServiceUrl(const std::wstring& url);

// The service to ask: the configured one when the settings name one (a non-empty value),
// otherwise the built-in one. Null when the configured one cannot be asked: the user chose a
// service of their own, so nothing goes to the built-in one instead. The settings keep the
// value as it was written.
const std::wstring* ChooseServiceUrl(const std::optional<std::wstring>& configured, const std::wstring& builtIn);

// Whether url is asked over TLS (scheme "https", in any case).
bool IsSecureUrl(const std::wstring& url);
