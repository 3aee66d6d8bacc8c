#pragma once

#include "settings/file_store.h"

#include <string>

// The program's lookup cache: positions of base stations looked up before, kept in cache.ini
// beside the program (they belong to the handset, whichever settings file is open). Read at
// its first use only, so with the cache off nothing is read or written; saved after every
// change, with the settings' safe replacement.

// A fresh position of the stations of `csid`; the hit counts as a use.
bool CachedPosition(const std::wstring& csid, std::wstring& position);
// Keeps a position the lookup gave for `csid`.
void RememberPosition(const std::wstring& csid, const std::wstring& position);
// Removes every entry and the file; false (with `failure` and `code` saying why) when the file
// could not be deleted. `path` receives the file's path.
bool ClearPositionCache(std::wstring& path, FileFailure& failure, unsigned& code);
