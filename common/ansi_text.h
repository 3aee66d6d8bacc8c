#pragma once

#include <cstddef>
#include <string>

// Bytes from the serial device and from HTTP bodies are text in the system's ANSI code page.
// Converts `count` bytes, stopping at the first NUL.
std::wstring AnsiToWide(const char* bytes, size_t count);
