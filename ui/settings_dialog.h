#pragma once

#include "settings/settings.h"

#include <windows.h>

// The settings screen ("設定…", templates 132 and 133): what is on the port, the port, its
// speed, the fix wait, the connection wait, the lookup cache and the two services. OK (its soft
// key, the caption's OK, Enter) keeps the values once every one of them passes the settings
// file's rules, and otherwise says why in a box and keeps the screen open; キャンセル (its soft
// key, Esc) keeps nothing. The record changes, as "開く" changes it; no file is written.
// True when OK kept the values; the caller then shows the record.
// With `searchAtOnce` the port search starts as soon as the ports are listed.
bool RunSettingsDialog(HINSTANCE instance, HWND owner, CSettings& record, bool searchAtOnce = false);

INT_PTR CALLBACK SettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
