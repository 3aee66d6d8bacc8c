#pragma once

// The address of the carrier's CS-ID lookup service. It lives in a translation unit of its own,
// linked into each program, so that a program for another address is one small object apart.
extern const wchar_t kLookupUrl[];
