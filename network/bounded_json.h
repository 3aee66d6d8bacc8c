#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string_view>

// JSON from a peer, read with bounds: a text above `sizeLimit` bytes, nesting deeper than
// `depthLimit`, invalid JSON or UTF-8, or a number that is not finite gives a discarded
// value. The nesting is counted on the way (SAX), so a deep text is refused before any tree
// is built. Never throws.
nlohmann::json ParseBoundedJson(std::string_view text, std::size_t sizeLimit, int depthLimit);
