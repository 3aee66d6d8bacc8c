#pragma once

#include "settings/file_store.h"

#include <string>

// The program's lookup cache: positions of base stations looked up before, kept in cache.ini
// beside the program (they belong to the handset, whichever settings file is open). Read at
// its first use only, so with the cache off nothing is read or written; written back with the
// settings' safe replacement once the send that changed it has started the browser.

// Reads the file now, if it has not been read: a send about to need it (while the module
// answers) then finds it ready.
void LoadPositionCache();
// A fresh position of the stations of `csid`; the hit counts as a use.
bool CachedPosition(const std::wstring& csid, std::wstring& position);
// Keeps a position the lookup gave for `csid`.
void RememberPosition(const std::wstring& csid, const std::wstring& position);
// Writes the file when a hit or a new position changed the cache since it was last written.
void SavePositionCache();
// Removes every entry and the file; false (with `failure` and `code` saying why) when the file
// could not be deleted. `path` receives the file's path.
bool ClearPositionCache(std::wstring& path, FileFailure& failure, unsigned& code);
