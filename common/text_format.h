#pragma once

#include <string>

// printf-style formatting into a wide string. Wide strings are passed with %ls, never %s
// (the C libraries of Linux and Windows read %s differently in wide formats).
//
// FormatString replaces target's content with at most 1023 characters of output (longer
// output is cut there); an empty result leaves target unchanged.
void FormatString(std::wstring& target, const wchar_t* format, ...);

// The same, returning the text.
std::wstring Format(const wchar_t* format, ...);

// The text without the spaces and tabs around it, as the settings' values are read.
std::wstring TrimBlanks(const std::wstring& text);
