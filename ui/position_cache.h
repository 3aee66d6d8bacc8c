#pragma once

#include "settings/file_store.h"

#include <windows.h>

#include <string>

// The program's lookup cache: positions of base stations looked up before, kept in cache.ini
// beside the program (they belong to the handset, whichever settings file is open). Read at
// its first use only, so with the cache off nothing is read or written; written back with the
// settings' safe replacement, on a worker, a second after the send that changed it (its browser
// is loading meanwhile), or at exit.

// Starts reading the file on a worker, if it has not been read: a send about to need it (while
// the module answers) then finds it ready.
void LoadPositionCache();
// A fresh position of the stations of `csid`; the hit counts as a use.
bool CachedPosition(const std::wstring& csid, std::wstring& position);
// Keeps a position the lookup gave for `csid`.
void RememberPosition(const std::wstring& csid, const std::wstring& position);
// Has the file written, on a worker, when a hit or a new position changed the cache since.
void SavePositionCache();
// Program exit: writes what changed and waits at most `waitMs` for the writes on their way;
// true when none is left.
bool FinishPositionCacheWrites(DWORD waitMs);
// Removes every entry and the file; false (with `failure` and `code` saying why) when the file
// could not be deleted. `path` receives the file's path.
bool ClearPositionCache(std::wstring& path, FileFailure& failure, unsigned& code);
