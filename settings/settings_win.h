#pragma once

#include "settings/settings.h"

#include <memory>

// The Win32 side of the record: the real controls of the window in m_hWnd, the string
// table of m_hInstance, Win32 files (read-only opening, replacement through a temporary file).
ISettingsHost& Win32SettingsHost();

// A store of Win32 files of its own, for a thread other than the window's.
std::unique_ptr<IFileStore> NewWin32FileStore();
