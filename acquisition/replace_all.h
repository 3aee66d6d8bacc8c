#pragma once

#include <string>

// Replaces every occurrence of `from` in `text` by `to`, searching from the start and going
// on behind each inserted `to`, so inserted text is never searched again. An empty `from`
// matches nothing: the text comes back unchanged.
std::wstring ReplaceAll(const std::wstring& text, const std::wstring& from, const std::wstring& to);
