#pragma once

// Splits `path` at its last backslash into `folder` (without the backslash) and `file`,
// each a buffer of 260 wide characters. A path without a backslash gives an empty folder.
// False, with both buffers untouched, for no path or a path of 260 or more characters.
bool SplitPath(const wchar_t* path, wchar_t* folder, wchar_t* file);
