#pragma once

#include "settings/file_store.h"

#include <windows.h>

#include <functional>
#include <string>

// The program's lookup cache: positions of base stations looked up before, kept in cache.ini
// beside the program (they belong to the handset, whichever settings file is open). Read at
// its first use only, so with the cache off nothing is read or written. The file is read and
// written on workers, one write at a time, each reporting to a window of the cache's own: the
// user-interface thread never waits on the disk. A write that fails is kept and tried again.

// Starts reading the file on a worker, if it has not been read: a send about to need it (while
// the module answers) then finds it ready.
void LoadPositionCache();
// Whether that read has not reported yet; a send waits for it (RunProgress until it is false).
bool PositionCacheReading();
// A fresh position of the stations of `key`; the hit counts as a use. False while the file has
// not been read (the read is started then, never done here).
bool CachedPosition(const std::wstring& key, std::wstring& position);
// Keeps a position the lookup gave for `key` (joining what the file holds once it is read).
void RememberPosition(const std::wstring& key, const std::wstring& position);
// Has the file written on a worker `delayMs` from now, when a hit or a new position changed the
// cache since its last write (a write still on its way is followed by the next one).
void SavePositionCache(UINT delayMs = 0);
// Program exit: writes what changed and waits at most `waitMs` for the writes on their way;
// true when none is left.
bool FinishPositionCacheWrites(DWORD waitMs);
// Removes every entry at once; a write still on its way removes the file again after it. The
// file itself goes with DeleteCacheFile (on a worker). Returns the file's path.
std::wstring ClearPositionCache();
// Deletes the cache file; false (with `failure` and `code` saying why) when it is still there.
// Safe on any thread.
bool DeleteCacheFile(const std::wstring& path, FileFailure& failure, unsigned& code);
// Where a write that failed is told, once for each run of failures (the main window's log).
void SetPositionCacheReport(std::function<void(const std::wstring& text)> report);
